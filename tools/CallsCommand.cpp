// trctool calls and trctool check: the calls and the problems of a trace, as
// the desktop program's Calls and Problems windows show them. Both load the
// file as `trctool dump` does (trace logs, pcap and pcapng captures).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "analysis/Ladder.h"
#include "analysis/TraceFeed.h"
#include "platform/File.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "trace/RecordPrinter.h"
#include "trace/TraceLog.h"

namespace tools {
namespace {

// A trace file read whole and analysed.
struct AnalysedTrace {
    trace::CTraceLog log;
    analysis::Analyzer analyzer;
    bool complete = false;  // every byte was read
};

// Loads and analyses the file; false (with the message printed) when it
// cannot be opened or holds nothing to analyse (no trace at all, or a
// capture without LAPD).
bool Analyse(const char* path, AnalysedTrace& trace) {
    int openError = 0;
    const int loaded = trace.log.LoadFile(path, &openError);
    if (openError != 0) {
        TraceOpenError(path, openError);
        return false;
    }
    trace.complete = loaded == 1;
    if (loaded == 0 && trace.log.GetRecordCount() == 0) return false;  // the loader said why
    if (!trace.complete) {
        std::fprintf(stderr, "trctool: %s could not be read to its end; the %d records before the fault are analysed\n",
                     path, trace.log.GetRecordCount());
    }
    analysis::FeedRecords(trace.analyzer, trace.log, 0);
    trace.analyzer.Finish();
    return true;
}

void PrintRow(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += '\t';
        line += trace::EscapeCell(cells[i]);
    }
    std::printf("%s\n", line.c_str());
}

}  // namespace

int RunCalls(std::span<char* const> args, const CommandContext& /*context*/) {
    const Command& self = FindCommand("calls");
    long ladder = 0;
    const Option table[] = {
        {"--ladder", {}, "N", "call N's ladder instead of the list of calls",
         [&ladder](std::string_view value) {
             const std::string text(value);
             char* end = nullptr;
             ladder = std::strtol(text.c_str(), &end, 10);
             const bool whole = *end == '\0' && ladder >= 1;
             return whole ? std::string() : std::string("--ladder needs a call number from 1");
         },
         "--ladder needs a call number"},
    };
    const ParsedArguments parsed = ParseFileArguments(self, table, args);
    if (parsed.exitStatus) return *parsed.exitStatus;
    AnalysedTrace analysed;
    if (!Analyse(parsed.operands.front().data(), analysed)) return 1;
    const auto& calls = analysed.analyzer.Calls();
    if (ladder > 0) {
        if (static_cast<std::size_t>(ladder) > calls.size()) {
            std::fprintf(stderr, "trctool calls: the trace holds %zu calls, not %ld\n", calls.size(), ladder);
            return 1;
        }
        const auto steps = analysis::BuildLadder(analysed.analyzer, static_cast<std::size_t>(ladder - 1),
                                                 [&](std::uint32_t r) { return analysis::FrameOfRecord(analysed.log, r); });
        const auto cells = analysis::CallCells(calls[static_cast<std::size_t>(ladder - 1)],
                                               static_cast<std::size_t>(ladder - 1));
        using namespace analysis;
        const std::string& cause = cells[kCallCause];
        std::printf("call %s: %s %s -> %s, %s, %s\n", cells[kCallNumber].c_str(), cells[kCallDirection].c_str(),
                    cells[kCallCalling].c_str(), cells[kCallCalled].c_str(), cells[kCallOutcome].c_str(),
                    cause.empty() ? "no cause" : cause.c_str());
        analysis::RecordNames names;
        const auto nameOf = [&](std::uint32_t r) { return names.Name(analysed.log, r); };
        for (const std::string& line : analysis::LadderLines(steps, nameOf)) std::printf("%s\n", line.c_str());
    } else {
        const auto columns = analysis::CallColumns();
        PrintRow(std::vector<std::string>(columns.begin(), columns.end()));
        for (std::size_t i = 0; i < calls.size(); ++i) PrintRow(analysis::CallCells(calls[i], i));
    }
    std::fflush(stdout);
    return analysed.complete ? 0 : 1;
}

int RunCheck(std::span<char* const> args, const CommandContext& /*context*/) {
    const Command& self = FindCommand("check");
    const ParsedArguments parsed = ParseFileArguments(self, {}, args);
    if (parsed.exitStatus) return *parsed.exitStatus;
    AnalysedTrace analysed;
    if (!Analyse(parsed.operands.front().data(), analysed)) return 1;
    std::printf("record\tseverity\tproblem\trelated records\n");
    analysis::RecordNames names;
    for (const analysis::Problem& p : analysed.analyzer.Problems()) {
        std::string related;
        for (std::size_t i = 1; i < p.records.size(); ++i) {
            if (!related.empty()) related += ", ";
            related += names.Name(analysed.log, p.records[i]);
        }
        const std::string first = p.records.empty() ? std::string() : names.Name(analysed.log, p.records.front());
        PrintRow({first, std::string(analysis::SeverityName(p.severity)), p.text, related});
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%zu errors, %zu warnings, %zu notes\n", analysed.analyzer.Count(analysis::Severity::Error),
                 analysed.analyzer.Count(analysis::Severity::Warning), analysed.analyzer.Count(analysis::Severity::Note));
    if (!analysed.complete) return 1;
    return analysed.analyzer.Count(analysis::Severity::Error) > 0 ? 1 : 0;
}

}  // namespace tools
