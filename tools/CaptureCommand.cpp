// trctool capture: the options, and the printing of each record as it
// arrives; the capture itself (open, trace, drain, keep, close, report) is
// CaptureSession's.

#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <string>
#include <vector>

#include "filter/DisplayFilter.h"
#include "platform/File.h"
#include "trace/LogFile.h"
#include "tools/AdapterSession.h"
#include "tools/CaptureRing.h"
#include "tools/CaptureSession.h"
#include "tools/Commands.h"
#include "tools/Extcap.h"
#include "tools/Options.h"
#include "trace/RecordPrinter.h"
#include "trace/RecordStream.h"
#include "trace/TraceLog.h"

namespace tools {
namespace {

constexpr std::string_view kCountNeeded = "--count needs a positive number";
constexpr std::string_view kSecondsNeeded = "--seconds needs a positive number of seconds, at most a year";
constexpr std::string_view kFormatNeeded = "--format is log, pcapng or pcap";

// The capture takes no operands; anything it does not know is "unexpected".
constexpr OperandRules kCaptureOperands{0, {}, "unexpected "};

bool ParseCount(const std::string& text, long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
}

// The format a file name asks for by its extension: .pcapng, .pcap, else a
// trace log.
trace::StreamFormat FormatOfName(const std::filesystem::path& file) {
    for (const trace::StreamFormat format : {trace::StreamFormat::PcapNg, trace::StreamFormat::Pcap}) {
        if (file.extension() == trace::StreamExtension(format)) return format;
    }
    return trace::StreamFormat::Log;
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
    options.keptBy = "standard output";
    CaptureSession session(std::move(options), adapter, [&stream, &displayFilter](const trace::CTraceLog& log, int index) {
        if (displayFilter && !displayFilter->Matches(log, index)) return true;
        return stream.Add(*log.GetRecord(index)) == 0;
    });
    // Ctrl-C while the reader of standard output takes nothing ends the capture at once.
    stream.SetGiveUp([&session] { return session.StopAtOnceOnSignal(); });
    return session.Run();
}

// A ring runs for weeks: the part of the card's trace log file that the ring
// already holds is handed back to the file system in steps of 4 MiB. The
// file keeps its length, and the writer and the reader their places, so the
// disk holds little more than the ring. Where the file system cannot punch
// holes the file simply grows.
void ReleaseWhatTheRingHolds(const trace::CLogFile* file, std::int64_t end, std::int64_t& released) {
    constexpr std::int64_t kBlock = 4096;
    constexpr std::int64_t kStep = std::int64_t{4} << 20;
    if (file == nullptr || !file->IsOpen()) return;
    const std::int64_t upTo = end / kBlock * kBlock;
    const std::int64_t from = std::max(released, kBlock);  // the block with the file header stays
    if (upTo - from < kStep) return;
    if (::fallocate(file->GetFd(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, from, upTo - from) == 0 ||
        errno == EOPNOTSUPP)
        released = upTo;
}

// -w FILE -b ...: the capture goes into a ring of files beside FILE, each
// record whole into one of them, and is printed as usual; the trace log file
// the card writes is only the way there and is deleted at the end.
int RingCapture(CaptureOptions options, AdapterSession& adapter, trace::StreamFormat format, const RingOptions& ring,
                std::optional<filter::DisplayFilter> displayFilter) {
    const std::filesystem::path base = *options.keepAs;
    options.keepAs.reset();
    const std::filesystem::path pattern = CaptureRing::FileName(base, format, 1, 0);
    options.keptBy = (pattern.parent_path() / (base.stem().string() + "_*" + pattern.extension().string())).string();
    adapter.traceLogFolder = TemporaryFolder();
    CaptureRing files(base, format, ring);
    std::fflush(stdout);
    trace::RecordWriter printer(STDOUT_FILENO, options.print);
    std::int64_t released = 0;
    CaptureSession session(
        std::move(options), adapter,
        [&](const trace::CTraceLog& log, int index) {
            if (files.Add(*log.GetRecord(index)) != 0) return false;
            ReleaseWhatTheRingHolds(adapter.doc ? adapter.doc->GetLogFile() : nullptr, log.GetReaderRecordEnd(),
                                    released);
            if (displayFilter && !displayFilter->Matches(log, index)) return true;  // kept, not printed
            return printer.Add(log, index);
        },
        [&printer] { return printer.Flush(); });
    // Ctrl-C while standard output takes nothing ends the capture at once;
    // the records the printer holds are in the ring already.
    printer.SetGiveUp([&session] { return session.StopAtOnceOnSignal(); });
    const int status = session.Run();
    if (files.Error() == 0) return status;
    const auto& left = files.Files();
    std::fprintf(stderr, "trctool: writing %s failed: %s; %lld records kept in %zu files%s%s%s%s\n",
                 files.FailedFile().c_str(), platform::ErrorText(files.Error()).c_str(), files.RecordsWritten(),
                 left.size(), left.empty() ? "" : ", ", left.empty() ? "" : left.front().c_str(),
                 left.size() > 1 ? " to " : "", left.size() > 1 ? left.back().c_str() : "");
    return 1;
}

// What the capture's arguments ask for.
struct CaptureArguments {
    CaptureOptions options;
    std::optional<filter::DisplayFilter> displayFilter;  // -Y: what is printed; the file keeps every record
    std::optional<trace::StreamFormat> format;
    std::optional<RingOptions> ring;  // -b: a ring of files after -w FILE
};

// Reads the arguments into `parsed` and the adapter's choice into `adapter`;
// nullopt to go on, else the exit status (a usage error, or 0 after --help).
std::optional<int> ParseCaptureArguments(const Command& self, std::span<char* const> args, AdapterSession& adapter,
                                         CaptureArguments& parsed) {
    CaptureOptions& options = parsed.options;
    const Option table[] = {
        AdapterOption(adapter),
        {"--count", {}, "N", "stop after N records",
         [&options](std::string_view value) {
             long long n = 0;
             if (!ParseCount(std::string(value), n)) return std::string(kCountNeeded);
             options.count = n;
             return std::string();
         },
         kCountNeeded},
        {"--seconds", {}, "S", "stop after S seconds",
         [&options](std::string_view value) {
             double seconds = 0;
             if (!ParseSeconds(value, seconds)) return std::string(kSecondsNeeded);
             options.seconds = seconds;
             return std::string();
         },
         kSecondsNeeded},
        {"-w", {}, "FILE", "keep the trace in FILE (-: stream it to standard output)",
         [&options](std::string_view value) {
             options.keepAs = std::filesystem::path(value);
             return std::string();
         },
         "-w needs FILE or -"},
        {"--force", {}, {}, "replace FILE when it exists", SetFlag(options.force)},
        {"--format", {}, "F", "log, pcapng or pcap (default: by FILE's extension; pcapng on standard output)",
         [&parsed](std::string_view value) {
             parsed.format = trace::StreamFormatNamed(std::string(value));
             return parsed.format ? std::string() : std::string(kFormatNeeded);
         },
         kFormatNeeded},
        {"-b", {}, "RING", "a ring of files after -w FILE: filesize:KB, duration:S, files:N (repeatable)",
         [&parsed](std::string_view value) {
             if (!parsed.ring) parsed.ring.emplace();
             return TakeRingOption(value, *parsed.ring);
         },
         "-b takes filesize:KB, duration:S or files:N"},
        {"--quiet", "-q", {}, "print nothing of the records", SetFlag(options.quiet)},
        {"--tree", {}, {}, "each record's decode tree below its line", SetFlag(options.print.tree)},
        {"--hex", {}, {}, "each record's bytes in hex", SetFlag(options.print.hex)},
        {"-Y", {}, "FILTER", "print only the records the display filter lets through (all are kept)",
         SetDisplayFilter(parsed.displayFilter), "-Y needs a display filter"},
    };
    return ParseArguments(self, table, kCaptureOperands, args).exitStatus;
}

// The capture printed on standard output: records are formatted into one
// buffer that goes out after each batch the reader delivers, so a capture
// at the card's full speed costs one write per batch, not one per record.
int PrintCapture(CaptureOptions options, AdapterSession& adapter, std::optional<filter::DisplayFilter> displayFilter) {
    std::fflush(stdout);
    trace::RecordWriter printer(STDOUT_FILENO, options.print);
    CaptureSession session(
        std::move(options), adapter,
        [&printer, &displayFilter](const trace::CTraceLog& log, int index) {
            if (displayFilter && !displayFilter->Matches(log, index)) return true;
            return printer.Add(log, index);
        },
        // A reader that went away (| head) ends the capture quietly.
        [&printer] { return printer.Flush(); });
    // Ctrl-C while standard output takes nothing ends the capture at once.
    printer.SetGiveUp([&session] { return session.StopAtOnceOnSignal(); });
    session.CountUnprintedWith([&printer] { return printer.Unwritten(); });
    return session.Run();
}

}  // namespace

int RunCapture(std::span<char* const> args, const CommandContext& context) {
    const Command& self = FindCommand("capture");
    AdapterSession adapter(context);
    CaptureArguments parsed;
    if (const std::optional<int> status = ParseCaptureArguments(self, args, adapter, parsed)) return *status;
    CaptureOptions& options = parsed.options;

    const bool streaming = options.keepAs && *options.keepAs == "-";
    if (parsed.ring) {
        if (!options.keepAs || streaming) return UsageError(self, "-b needs -w FILE, the name the ring's files are made from");
        if (!parsed.ring->fileSizeKB && !parsed.ring->durationSeconds)
            return UsageError(self, "-b needs filesize:KB or duration:S to know when a new file begins");
        if (std::filesystem::is_directory(*options.keepAs))
            return UsageError(self, options.keepAs->string() + " is a folder; -w needs a file name");
        return RingCapture(std::move(options), adapter, parsed.format.value_or(FormatOfName(*options.keepAs)),
                           *parsed.ring, std::move(parsed.displayFilter));
    }
    if (parsed.format && !options.keepAs) return UsageError(self, "--format needs -w FILE or -w -");
    // Standard output gets pcapng, what packet analysers reading a pipe
    // expect; a file gets the format its name ends in, unless --format says.
    if (streaming)
        return StreamCapture(std::move(options), adapter, parsed.format.value_or(trace::StreamFormat::PcapNg),
                             std::move(parsed.displayFilter));
    if (options.keepAs) {
        switch (parsed.format.value_or(FormatOfName(*options.keepAs))) {
            case trace::StreamFormat::PcapNg: options.convertTo = tracefile::CaptureFormat::PcapNg; break;
            case trace::StreamFormat::Pcap: options.convertTo = tracefile::CaptureFormat::Pcap; break;
            case trace::StreamFormat::Log: break;
        }
    }
    if (const std::string refused = CaptureSession::CheckKeepAs(options); !refused.empty())
        return UsageError(self, refused);
    return PrintCapture(std::move(options), adapter, std::move(parsed.displayFilter));
}

}  // namespace tools
