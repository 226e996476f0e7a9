#pragma once
// The subcommands of trctool. Each takes the arguments after its own name and
// returns the process exit status: 0 done, 1 failed, 2 usage error.

#include <span>
#include <string_view>

namespace tools {

struct Command {
    std::string_view name;
    std::string_view usage;    // one line: "dump [--tree] [--hex] FILE"
    std::string_view summary;  // one line of what it does
    int (*run)(std::span<char* const> args);
};

int RunCapture(std::span<char* const> args);
int RunDump(std::span<char* const> args);
int RunCalls(std::span<char* const> args);
int RunCheck(std::span<char* const> args);
int RunExport(std::span<char* const> args);
int RunSample(std::span<char* const> args);
int RunStatus(std::span<char* const> args);
int RunStats(std::span<char* const> args);
int RunDiag(std::span<char* const> args);
int RunInfo(std::span<char* const> args);

// Prints the command's usage and summary on standard output; returns 0.
int PrintCommandHelp(const Command& command);

// Prints "usage: trctool <usage>" on standard error and returns 2.
int UsageError(const Command& command, std::string_view problem = {});
const Command& FindCommand(std::string_view name);

// The whole program: picks the command named by argv[1].
int RunTrctool(int argc, char** argv);

}  // namespace tools
