#pragma once
// The subcommands of trctool. Each takes the arguments after its own name and
// returns the process exit status: 0 done, 1 failed, 2 usage error.

#include <chrono>
#include <optional>
#include <span>
#include <string_view>

namespace tools {

// What a command runs with besides its arguments.
struct CommandContext {
    // How long a card command's adapter document waits for each answer of the
    // card; nullopt: the document's own wait (tests shorten it).
    std::optional<std::chrono::milliseconds> responseTimeout;
};

struct Command {
    std::string_view name;
    std::string_view usage;    // one line: "dump [--tree] [--hex] FILE"
    std::string_view summary;  // one line of what it does
    int (*run)(std::span<char* const> args, const CommandContext& context);
};

int RunCapture(std::span<char* const> args, const CommandContext& context);
int RunDump(std::span<char* const> args, const CommandContext& context);
int RunCalls(std::span<char* const> args, const CommandContext& context);
int RunCheck(std::span<char* const> args, const CommandContext& context);
int RunExport(std::span<char* const> args, const CommandContext& context);
int RunSample(std::span<char* const> args, const CommandContext& context);
int RunStatus(std::span<char* const> args, const CommandContext& context);
int RunStats(std::span<char* const> args, const CommandContext& context);
int RunDiag(std::span<char* const> args, const CommandContext& context);
int RunInfo(std::span<char* const> args, const CommandContext& context);

// Prints the command's usage and summary on standard output; returns 0.
int PrintCommandHelp(const Command& command);

// Prints "usage: trctool <usage>" on standard error and returns 2.
int UsageError(const Command& command, std::string_view problem = {});
const Command& FindCommand(std::string_view name);

// Says on standard error why a trace file did not open (a folder is said to
// be one); returns 1.
int TraceOpenError(const char* path, int error);

// The whole program: picks the command named by argv[1].
int RunTrctool(int argc, char** argv, const CommandContext& context = {});

}  // namespace tools
