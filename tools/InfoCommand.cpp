// trctool info: the card's registry configuration and the versions of the
// installed product files, as the Adapter Information sheet shows them.

#include <cstdio>

#include "adapter/ProductVersions.h"
#include "tools/AdapterSession.h"
#include "tools/Commands.h"
#include "trace/RecordPrinter.h"

namespace tools {

int RunInfo(std::span<char* const> args, const CommandContext& context) {
    const Command& self = FindCommand("info");
    AdapterSession session(context);
    if (const auto done = OpenAdapterOnlySession(self, args, session)) return *done;

    const adapter::AdapterConfiguration& c = session.doc->Configuration();
    const std::pair<const char*, std::string> rows[] = {
        {"Adapter:", session.doc->GetPathName()},
        {"Switch Type:", c.switchType},
        {"Terminal Management:", c.terminalManagement},
        {"Number of Logical Terminals:", std::to_string(static_cast<std::int32_t>(c.logicalTerminalCount))},
        {"Line 1 SPID:", c.spid1},
        {"Line 1 Phone:", c.number1},
        {"Line 2 SPID:", c.spid2},
        {"Line 2 Phone:", c.number2},
    };
    // Registry strings and version texts are outside input: escaped, so
    // each value stays on its line and nothing reaches the terminal raw.
    for (const auto& [label, text] : rows) std::printf("%-29s %s\n", label, trace::EscapeCell(text).c_str());
    for (const auto& row : adapter::ReadProductVersions()) {
        std::printf("%-29s %s\n", row.label.data(), trace::EscapeCell(row.text).c_str());
    }
    std::fflush(stdout);
    return EndSession(session, {});
}

}  // namespace tools
