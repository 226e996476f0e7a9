// trctool diag: the diagnostics report, written by the same steps as File >
// Save Diagnostics. With -o FILE it goes to FILE and with -o - to standard
// output, byte for byte as the file keeps it (no line end after the last
// line). Without -o it is shown as text for a terminal or a script: every
// value escaped as `trctool dump` escapes cells, so each stays on its line,
// and the last line ends with a line end.

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "adapter/Diagnostics.h"
#include "tools/AdapterSession.h"
#include "tools/Commands.h"
#include "trace/RecordPrinter.h"

namespace tools {

namespace {

std::string ReportAsText(const adapter::AdapterConfiguration& config, const adapter::LineStatusTexts& states) {
    adapter::AdapterConfiguration shown = config;
    for (std::string* value : {&shown.number1, &shown.number2, &shown.spid1, &shown.spid2, &shown.switchType,
                               &shown.terminalManagement})
        *value = trace::EscapeCell(*value);
    adapter::LineStatusTexts shownStates;
    for (std::size_t i = 0; i < states.size(); ++i) shownStates[i] = trace::EscapeCell(states[i]);
    return adapter::FormatDiagnosticsReport(shown, shownStates) + "\n";
}

}  // namespace

int RunDiag(std::span<char* const> args, const CommandContext& context) {
    const Command& self = FindCommand("diag");
    AdapterSession session(context);
    const Option table[] = {
        {"-o", {}, "FILE|-", "write the report's file (-: its bytes to standard output)",
         [&session](std::string_view value) {
             session.ui.saveFile = std::filesystem::path(value);
             return std::string();
         },
         "-o needs FILE"},
        AdapterOption(session),
    };
    if (const auto done = ParseArguments(self, table, kCardCommand, args).exitStatus) return *done;
    const bool toStandardOutput = session.ui.saveFile && *session.ui.saveFile == "-";
    if (toStandardOutput && ::isatty(STDOUT_FILENO)) {
        std::fprintf(stderr, "trctool diag: standard output is a terminal; redirect it, or leave out -o -\n");
        return 1;
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
    if (session.ui.saveFile && !toStandardOutput) {
        if (!adapter::WriteDiagnosticsReport(*session.ui.saveFile, readConfiguration, queryStatus)) {
            return std::max(EndSession(session, errorText), 1);
        }
    } else {
        const adapter::AdapterConfiguration& config = readConfiguration();
        const adapter::LineStatusTexts states = queryStatus(config.logicalTerminalCount);
        const std::string report =
            toStandardOutput ? adapter::FormatDiagnosticsReport(config, states) : ReportAsText(config, states);
        std::fwrite(report.data(), 1, report.size(), stdout);
        if (std::fflush(stdout) != 0) errorText = "standard output could not be written";
    }
    return EndSession(session, errorText);
}

}  // namespace tools
