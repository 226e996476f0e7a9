// trctool dump: loads a trace log file exactly as the log document does and
// prints every record, or with -Y only those a display filter lets through.

#include <cstdio>
#include <optional>
#include <string_view>
#include <unistd.h>

#include "filter/DisplayFilter.h"
#include "platform/File.h"
#include "tools/Commands.h"
#include "trace/RecordPrinter.h"
#include "trace/TraceLog.h"

namespace tools {

int RunDump(std::span<char* const> args, const CommandContext& /*context*/) {
    const Command& self = FindCommand("dump");
    trace::PrintOptions options;
    const char* path = nullptr;
    std::optional<filter::DisplayFilter> displayFilter;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "-Y") {
            if (i + 1 >= args.size()) return UsageError(self, "-Y needs a display filter");
            filter::FilterError error;
            displayFilter = filter::DisplayFilter::Parse(args[++i], &error);
            if (!displayFilter) return UsageError(self, "bad display filter: " + error.Text());
        } else if (arg == "--tree") {
            options.tree = true;
        } else if (arg == "--detail") {
            options.tree = true;
            options.detail = true;
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

    // Each record is printed as soon as a batch of them is loaded, so the
    // file is never held whole; the loader's checks and messages are those
    // of File > Open.
    std::fflush(stdout);
    trace::RecordWriter writer(STDOUT_FILENO, options);
    trace::CTraceLog log;
    log.StreamRecords(
        [&writer, &displayFilter](const trace::CTraceLog& batch) {
            for (int i = 0; i < batch.GetRecordCount(); ++i) {
                if (displayFilter && !displayFilter->Matches(batch, i)) continue;
                if (!writer.Add(batch, i)) return;
            }
        },
        4096);
    int openError = 0;
    const int loaded = log.LoadFile(path, &openError);
    if (openError != 0) return TraceOpenError(path, openError);
    if (!writer.Flush()) {
        std::fprintf(stderr, "trctool: cannot write the records: %s\n", platform::ErrorText(writer.Error()).c_str());
        return 1;
    }
    return loaded == 1 ? 0 : 1;
}

}  // namespace tools
