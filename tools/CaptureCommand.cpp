// trctool capture: the options, and the printing of each record as it
// arrives; the capture itself (open, trace, drain, keep, close, report) is
// CaptureSession's.

#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <optional>
#include <unistd.h>
#include <string>
#include <vector>

#include "filter/DisplayFilter.h"
#include "platform/File.h"
#include "tools/AdapterSession.h"
#include "tools/CaptureSession.h"
#include "tools/Commands.h"
#include "tools/Extcap.h"
#include "tools/RecordPrinter.h"
#include "trace/RecordStream.h"
#include "trace/TraceLog.h"

namespace tools {
namespace {

// Longer than any capture a person runs, short enough that the deadline is
// an ordinary time point.
constexpr double kMaxSeconds = 366.0 * 24 * 3600;

bool ParseCount(const std::string& text, long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
}

// A finite positive number of seconds, at most a year: "inf", "nan" and 1e10
// would end the capture at once or never.
bool ParseSeconds(const std::string& text, double& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value) && value > 0 &&
           value <= kMaxSeconds;
}

// -w -: the capture goes to standard output as it arrives, one whole record
// per write; what a person reads goes to standard error. A reader that goes
// away ends the capture as Ctrl-C does. With -Y only the records the filter
// lets through are streamed.
int StreamCapture(CaptureOptions options, AdapterSession& adapter, trace::StreamFormat format,
                  std::optional<filter::DisplayFilter> displayFilter) {
    if (::isatty(STDOUT_FILENO)) {
        std::fprintf(stderr, "trctool capture: standard output is a terminal; pipe it into a program or a file\n");
        return 2;
    }
    options.keepAs.reset();
    adapter.traceLogFolder = TemporaryFolder();
    trace::RecordStream stream(STDOUT_FILENO, format, trace::LocalTraceDate(std::time(nullptr)));
    std::signal(SIGPIPE, SIG_IGN);
    if (const int error = stream.Begin()) {
        std::fprintf(stderr, "trctool capture: cannot write to standard output: %s\n", platform::ErrorText(error).c_str());
        return 1;
    }
    CaptureSession session(std::move(options), adapter, [&stream, &displayFilter](const trace::CTraceLog& log, int index) {
        if (displayFilter && !displayFilter->Matches(log, index)) return true;
        return stream.Add(*log.GetRecord(index)) == 0;
    });
    return session.Run();
}

}  // namespace

int RunCapture(std::span<char* const> args) {
    const Command& self = FindCommand("capture");
    std::vector<std::string> rest(args.begin(), args.end());
    AdapterSession adapter;
    std::string problem;
    if (!TakeAdapterOption(rest, adapter.ui.adapter, problem)) return UsageError(self, problem);

    CaptureOptions options;
    std::optional<filter::DisplayFilter> displayFilter;  // -Y: what is printed; the file keeps every record
    std::optional<trace::StreamFormat> format;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        const bool hasValue = i + 1 < rest.size();
        if (arg == "--tree") {
            options.print.tree = true;
        } else if (arg == "--hex") {
            options.print.hex = true;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "--help" || arg == "-h") {
            return PrintCommandHelp(self);
        } else if (arg == "--count" && hasValue) {
            long long n = 0;
            if (!ParseCount(rest[++i], n)) return UsageError(self, "--count needs a positive number");
            options.count = n;
        } else if (arg == "--seconds" && hasValue) {
            double s = 0;
            if (!ParseSeconds(rest[++i], s))
                return UsageError(self, "--seconds needs a positive number of seconds, at most a year");
            options.seconds = s;
        } else if (arg == "-w" && hasValue) {
            options.keepAs = rest[++i];
        } else if (arg == "-Y") {
            if (!hasValue) return UsageError(self, "-Y needs a display filter");
            filter::FilterError error;
            displayFilter = filter::DisplayFilter::Parse(rest[++i], &error);
            if (!displayFilter) return UsageError(self, "bad display filter: " + error.Text());
        } else if (arg == "--format" && hasValue) {
            format = trace::StreamFormatNamed(rest[++i]);
            if (!format) return UsageError(self, "--format is log, pcapng or pcap");
        } else {
            return UsageError(self, "unexpected " + arg);
        }
    }
    const bool streaming = options.keepAs && *options.keepAs == "-";
    if (format && !streaming) return UsageError(self, "--format needs -w - (the capture on standard output)");
    if (streaming)
        return StreamCapture(std::move(options), adapter, format.value_or(trace::StreamFormat::Log),
                             std::move(displayFilter));
    if (const std::string refused = CaptureSession::CheckKeepAs(options); !refused.empty())
        return UsageError(self, refused);

    const PrintOptions print = options.print;
    CaptureSession session(std::move(options), adapter, [print, displayFilter = std::move(displayFilter)](
                                                            const trace::CTraceLog& log, int index) {
        if (displayFilter && !displayFilter->Matches(log, index)) return true;
        PrintRecord(stdout, log, index, print);
        // A reader that went away (| head) ends the capture quietly.
        return std::fflush(stdout) == 0 && !std::ferror(stdout);
    });
    return session.Run();
}

}  // namespace tools
