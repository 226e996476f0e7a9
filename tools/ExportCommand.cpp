// trctool export: writes the D-channel frames of a trace log file (or of a
// pcap or pcapng file, which loads the same way) as a capture file for packet
// analysers. The format is --format when given, else pcap for an output name
// ending in ".pcap" and pcapng for any other. An existing output file is kept
// unless --force says to replace it; "-o -" writes to standard output.
// Records that are not frames (ASCII, hex) are counted on standard error.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

#include "tools/Commands.h"
#include "tools/Options.h"
#include "trace/CaptureExport.h"
#include "trace/TraceLog.h"

namespace tools {
namespace {

void ReportSkipped(const trace::ExportResult& result) {
    if (result.recordsSkipped > 0)
        std::fprintf(stderr, "trctool export: %d frames written; %d ASCII and hex records skipped\n",
                     result.framesWritten, result.recordsSkipped);
    if (result.sidelessInPcap > 0)
        std::fprintf(stderr,
                     "trctool export: %d frames of unknown side written as the user side's (pcap must name a side; "
                     "pcapng keeps them without one)\n",
                     result.sidelessInPcap);
    if (!result.dateNote.empty()) std::fprintf(stderr, "trctool export: %s\n", result.dateNote.c_str());
}

// The format --format names, else pcap for an OUT ending in ".pcap" and
// pcapng for any other; nullopt when --format names neither.
std::optional<tracefile::CaptureFormat> ChosenFormat(const std::optional<std::string>& format, std::string_view out) {
    if (!format || format->empty())
        return out.ends_with(".pcap") ? tracefile::CaptureFormat::Pcap : tracefile::CaptureFormat::PcapNg;
    if (*format == "pcap") return tracefile::CaptureFormat::Pcap;
    if (*format == "pcapng") return tracefile::CaptureFormat::PcapNg;
    return std::nullopt;
}

// "-o -": the capture to standard output, which must not be a terminal, and
// only from a trace read to its end; nullopt (said why) when nothing was
// written.
std::optional<trace::ExportResult> ExportToStandardOutput(const char* in, tracefile::CaptureFormat format) {
    if (::isatty(STDOUT_FILENO)) {
        std::fprintf(stderr, "trctool export: standard output is a terminal; redirect it or give -o OUT\n");
        return std::nullopt;
    }
    trace::CTraceLog log;
    int openError = 0;
    if (const int loaded = log.LoadFile(in, &openError); loaded != 1) {
        std::fprintf(stderr, "trctool export: %s %s\n", in,
                     loaded == 2 ? "ends in the middle of a packet; nothing was exported" : "could not be read");
        return std::nullopt;
    }
    return trace::ExportTraceToFd(log, STDOUT_FILENO, format);
}

}  // namespace

int RunExport(std::span<char* const> args, const CommandContext& /*context*/) {
    const Command& self = FindCommand("export");
    std::optional<std::string> format;
    std::optional<std::string> out;
    bool force = false;
    const Option table[] = {
        {"-o", {}, "OUT", "the capture file to write; - : standard output", SetText(out)},
        {"--format", {}, "pcap|pcapng",
         "pcap (link type 177, LINUX_LAPD) or pcapng (203, LAPD, with direction flags); default: by OUT's name",
         SetText(format)},
        {"--force", {}, {}, "replace OUT when it exists", SetFlag(force)},
    };
    const ParsedArguments parsed = ParseFileArguments(self, table, args);
    if (parsed.exitStatus) return *parsed.exitStatus;
    if (!out || out->empty()) return UsageError(self, "-o OUT is missing");
    const char* in = parsed.operands.front().data();

    trace::ExportOptions options;
    options.replaceExisting = force;
    const std::optional<tracefile::CaptureFormat> chosen = ChosenFormat(format, *out);
    if (!chosen) return UsageError(self, "--format is pcap or pcapng");
    options.format = *chosen;

    trace::ExportResult result;
    if (*out == "-") {
        std::optional<trace::ExportResult> written = ExportToStandardOutput(in, options.format);
        if (!written) return 1;
        result = std::move(*written);
    } else {
        result = trace::ExportTrace(std::filesystem::path(in), std::filesystem::path(*out), options);
    }
    if (!result.ok) {
        std::fprintf(stderr, "trctool export: %s%s\n", result.error.c_str(),
                     result.error.ends_with("already exists") ? " (--force replaces it)" : "");
        return 1;
    }
    ReportSkipped(result);
    return 0;
}

}  // namespace tools
