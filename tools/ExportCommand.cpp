// trctool export: writes the D-channel frames of a trace log file (or of a
// pcap or pcapng file, which loads the same way) as a capture file for packet
// analysers. The format is --format when given, else pcap for an output name
// ending in ".pcap" and pcapng for any other. An existing output file is kept
// unless --force says to replace it; "-o -" writes to standard output.
// Records that are not frames (ASCII, hex) are counted on standard error.

#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

#include "tools/Commands.h"
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

}  // namespace

int RunExport(std::span<char* const> args, const CommandContext& /*context*/) {
    const Command& self = FindCommand("export");
    std::string_view format;
    std::string_view out;
    const char* in = nullptr;
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            PrintCommandHelp(self);
            std::printf("  --format pcap     link type 177 (LINUX_LAPD)\n"
                        "  --format pcapng   link type 203 (LAPD) with direction flags\n"
                        "  default: pcap when OUT ends in .pcap, else pcapng\n"
                        "  --force           replace OUT when it exists\n"
                        "  -o -              write to standard output\n");
            return 0;
        } else if (arg == "--format" || arg == "-o") {
            if (i + 1 == args.size()) return UsageError(self, std::string(arg) + " needs a value");
            (arg == "-o" ? out : format) = args[++i];
        } else if (arg.starts_with("--format=")) {
            format = arg.substr(9);
        } else if (arg == "--force") {
            force = true;
        } else if (arg.starts_with("-") && arg != "-") {
            return UsageError(self, "unknown option " + std::string(arg));
        } else if (in) {
            return UsageError(self, "only one FILE");
        } else {
            in = args[i];
        }
    }
    if (!in) return UsageError(self, "FILE is missing");
    if (out.empty()) return UsageError(self, "-o OUT is missing");

    trace::ExportOptions options;
    options.replaceExisting = force;
    if (format == "pcap") {
        options.format = trace::CaptureFormat::Pcap;
    } else if (format == "pcapng") {
        options.format = trace::CaptureFormat::PcapNg;
    } else if (!format.empty()) {
        return UsageError(self, "--format is pcap or pcapng");
    } else {
        options.format = out.ends_with(".pcap") ? trace::CaptureFormat::Pcap : trace::CaptureFormat::PcapNg;
    }

    trace::ExportResult result;
    if (out == "-") {
        if (::isatty(STDOUT_FILENO)) {
            std::fprintf(stderr, "trctool export: standard output is a terminal; redirect it or give -o OUT\n");
            return 1;
        }
        trace::CTraceLog log;
        int openError = 0;
        if (const int loaded = log.LoadFile(in, &openError); loaded != 1) {
            std::fprintf(stderr, "trctool export: %s %s\n", in,
                         loaded == 2 ? "ends in the middle of a packet; nothing was exported" : "could not be read");
            return 1;
        }
        result = trace::ExportTraceToFd(log, STDOUT_FILENO, options.format);
    } else {
        result = trace::ExportTrace(std::filesystem::path(in), std::filesystem::path(out), options);
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
