// trctool status: the line and link states of the card, with the labels of
// the diagnostics report. Both links are asked, as the Card Status window
// asks them, whatever number of terminals the registry configures.

#include <cstdio>

#include "tools/AdapterSession.h"
#include "tools/Commands.h"
#include "trace/RecordPrinter.h"

namespace tools {

int RunStatus(std::span<char* const> args, const CommandContext& context) {
    const Command& self = FindCommand("status");
    AdapterSession session(context);
    if (const auto done = OpenAdapterOnlySession(self, args, session)) return *done;

    adapter::LineStatusTexts texts;
    std::string errorText;
    session.doc->QueryLineStatus(errorText, 2, texts);
    for (std::size_t i = 0; i < adapter::kStatusTextCount; ++i) {
        std::printf("%s%s\n", adapter::kStatusLabels[i].data(), trace::EscapeCell(texts[i]).c_str());
    }
    std::fflush(stdout);
    return EndSession(session, errorText);
}

}  // namespace tools
