// trctool status: the line and link states of the card, with the labels of
// the diagnostics report.

#include <cstdio>

#include "tools/AdapterSession.h"
#include "tools/Commands.h"

namespace tools {

int RunStatus(std::span<char* const> args) {
    const Command& self = FindCommand("status");
    AdapterSession session;
    if (const auto done = TakeAdapterOnlyArguments(self, args, session)) return *done;
    if (const int status = OpenSession(session)) return status;

    adapter::LineStatusTexts texts;
    std::string errorText;
    session.doc->QueryLineStatus(errorText, session.doc->Configuration().logicalTerminalCount, texts);
    for (std::size_t i = 0; i < adapter::kStatusTextCount; ++i) {
        std::printf("%s%s\n", adapter::kStatusLabels[i].data(), texts[i].c_str());
    }
    std::fflush(stdout);
    return CommandStatus(session, true, errorText);
}

}  // namespace tools
