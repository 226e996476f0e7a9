// trctool diag: the diagnostics report, to standard output or with -o to a
// file, written by the same steps as File > Save Diagnostics.

#include <cstdio>

#include "adapter/Diagnostics.h"
#include "tools/AdapterSession.h"
#include "tools/Commands.h"

namespace tools {

int RunDiag(std::span<char* const> args) {
    const Command& self = FindCommand("diag");
    std::vector<std::string> rest(args.begin(), args.end());
    AdapterSession session;
    std::string problem;
    if (!TakeAdapterOption(rest, session.ui.adapter, problem)) return UsageError(self, problem);
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "-o" && i + 1 < rest.size()) {
            session.ui.saveFile = rest[++i];
        } else if (rest[i] == "--help" || rest[i] == "-h") {
            return PrintCommandHelp(self);
        } else {
            return UsageError(self, rest[i] == "-o" ? "-o needs FILE" : "unknown argument " + rest[i]);
        }
    }
    if (const int status = OpenSession(session)) return status;
    adapter::CMarloTrcDoc& doc = *session.doc;

    std::string errorText;
    const auto readConfiguration = [&doc]() -> const adapter::AdapterConfiguration& {
        doc.ReadAdapterConfiguration();
        return doc.Configuration();
    };
    const auto queryStatus = [&doc, &errorText](std::uint32_t links) {
        adapter::LineStatusTexts texts;
        doc.QueryLineStatus(errorText, links, texts);
        return texts;
    };
    if (session.ui.saveFile) {
        if (!adapter::WriteDiagnosticsReport(*session.ui.saveFile, readConfiguration, queryStatus)) return 1;
    } else {
        const adapter::AdapterConfiguration& config = readConfiguration();
        const std::string report = adapter::FormatDiagnosticsReport(config, queryStatus(config.logicalTerminalCount));
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::fflush(stdout);
    }
    return CommandStatus(session, true, errorText);
}

}  // namespace tools
