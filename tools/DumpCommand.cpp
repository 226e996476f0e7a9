// trctool dump: loads a trace log file exactly as the log document does and
// prints every record, or with -Y only those a display filter lets through.

#include <cstdio>
#include <optional>
#include <string_view>
#include <unistd.h>

#include "filter/DisplayFilter.h"
#include "platform/File.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "trace/RecordPrinter.h"
#include "trace/TraceLog.h"

namespace tools {

int RunDump(std::span<char* const> args, const CommandContext& /*context*/) {
    const Command& self = FindCommand("dump");
    trace::PrintOptions options;
    std::optional<filter::DisplayFilter> displayFilter;
    const Option table[] = {
        {"--tree", {}, {}, "each record's decode tree below its line", SetFlag(options.tree)},
        {"--detail", {}, {}, "the tree with every element's details (implies --tree)",
         [&options](std::string_view) {
             options.tree = options.detail = true;
             return std::string();
         }},
        {"--hex", {}, {}, "each record's bytes in hex", SetFlag(options.hex)},
        {"-Y", {}, "FILTER", "only the records the display filter lets through", SetDisplayFilter(displayFilter),
         "-Y needs a display filter"},
    };
    const ParsedArguments parsed = ParseFileArguments(self, table, args);
    if (parsed.exitStatus) return *parsed.exitStatus;
    const char* path = parsed.operands.front().data();

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
