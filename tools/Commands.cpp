// The command table of trctool and its dispatch.

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/File.h"
#include "platform/Version.h"
#include "tools/Commands.h"
#include "tools/Extcap.h"

namespace tools {
namespace {

constexpr std::array kCommands = {
    Command{"capture", "capture [--adapter NAME|INDEX] [--count N] [--seconds S] [-w FILE [--force] [--format F] | -w - [--format F] | -w FILE -b filesize:KB|duration:S [-b files:N] [--format F]] [-q] [--tree] [--hex] [-Y FILTER]",
            "Trace the adapter's D-channel and print each record as it arrives.", RunCapture},
    Command{"dump", "dump [--tree [--detail]] [--hex] [-Y FILTER] FILE", "Print every record of a trace log file (or a LAPD pcap/pcapng capture).", RunDump},
    Command{"calls", "calls [--ladder N] FILE",
            "Print the calls of a trace, one a line (or call N's ladder), tab-separated.", RunCalls},
    Command{"check", "check FILE",
            "Print the problems of a trace; exit 1 when any is an error.", RunCheck},
    Command{"export", "export [--format pcap|pcapng] [--force] -o OUT FILE",
            "Write the D-channel frames of a trace as a pcap or pcapng capture file.", RunExport},
    Command{"sample", "sample FILE", "Write a small trace log file of one call, to try the tools.", RunSample},
    Command{"status", "status [--adapter NAME|INDEX]", "Print the line and link states of the card.", RunStatus},
    Command{"stats", "stats [--reset] [--watch] [--adapter NAME|INDEX]",
            "Print the line and link statistics; --watch refreshes every 5 seconds.", RunStats},
    Command{"diag", "diag [-o FILE|-] [--adapter NAME|INDEX]",
            "Show the diagnostics report, or write its file (-o - : its bytes to standard output).", RunDiag},
    Command{"info", "info [--adapter NAME|INDEX]", "Print the card's configuration and product file versions.", RunInfo},
};

void PrintHelp(std::FILE* out) {
    std::fprintf(out, "usage: trctool COMMAND [OPTIONS]\n\ncommands:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  %-40s %s\n", c.usage.data(), c.summary.data());
    std::fprintf(out, "\n'trctool COMMAND --help' shows one command; 'trctool --version' the version.\n");
}

}  // namespace

const Command& FindCommand(std::string_view name) {
    for (const Command& c : kCommands)
        if (c.name == name) return c;
    std::abort();  // only called with names from the table
}

int PrintCommandHelp(const Command& command) {
    std::printf("usage: trctool %s\n%s\n", command.usage.data(), command.summary.data());
    return 0;
}

int UsageError(const Command& command, std::string_view problem) {
    if (!problem.empty()) std::fprintf(stderr, "trctool %s: %.*s\n", command.name.data(), int(problem.size()), problem.data());
    std::fprintf(stderr, "usage: trctool %s\n", command.usage.data());
    return 2;
}

int TraceOpenError(const char* path, int error) {
    if (error == EISDIR)
        std::fprintf(stderr, "trctool: %s is a folder; give a trace log or capture file\n", path);
    else
        std::fprintf(stderr, "trctool: cannot open %s: %s\n", path, platform::ErrorText(error).c_str());
    return 1;
}

int RunTrctool(int argc, char** argv, const CommandContext& context) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    // A packet analyser calls with extcap options and no command.
    if (IsExtcapCall({argv + 1, static_cast<std::size_t>(argc - 1)}))
        return RunExtcap({argv + 1, static_cast<std::size_t>(argc - 1)}, context);
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("trctool %s\n", platform::kVersionText);
        return 0;
    }
    for (const Command& c : kCommands)
        if (c.name == name) return c.run({argv + 2, static_cast<std::size_t>(argc - 2)}, context);
    std::fprintf(stderr, "trctool: unknown command '%s'\n", argv[1]);
    PrintHelp(stderr);
    return 2;
}

}  // namespace tools

