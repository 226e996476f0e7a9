// trctool dump: loads a trace log file exactly as the log document does and
// prints every record.

#include <cstdio>
#include <string_view>

#include "platform/File.h"
#include "tools/Commands.h"
#include "tools/RecordPrinter.h"
#include "trace/TraceLog.h"

namespace tools {

int RunDump(std::span<char* const> args) {
    const Command& self = FindCommand("dump");
    PrintOptions options;
    const char* path = nullptr;
    for (std::string_view arg : args) {
        if (arg == "--tree") {
            options.tree = true;
        } else if (arg == "--hex") {
            options.hex = true;
        } else if (arg == "--help" || arg == "-h") {
            return PrintCommandHelp(self);
        } else if (arg.starts_with("-") && arg != "-") {
            return UsageError(self, "unknown option " + std::string(arg));
        } else if (path) {
            return UsageError(self, "only one FILE");
        } else {
            path = arg.data();
        }
    }
    if (!path) return UsageError(self, "FILE is missing");

    trace::CTraceLog log;
    int openError = 0;
    const int loaded = log.LoadFile(path, &openError);
    if (openError != 0) {
        std::fprintf(stderr, "trctool: cannot open %s: %s\n", path, platform::ErrorText(openError).c_str());
        return 1;
    }
    for (int i = 0; i < log.GetRecordCount(); ++i) PrintRecord(stdout, log, i, options);
    std::fflush(stdout);
    return loaded == 1 ? 0 : 1;
}

}  // namespace tools
