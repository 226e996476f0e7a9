// Fuzz target for the calls and problems analyser: the input is a run of
// records, each a control octet (bit 0: the network side sent it; bits 7..1:
// hundredths since the record before, 127 meaning a jump of an hour), a
// length octet and that many frame octets (fewer at the end of the input).
// The analyser takes them as a live capture would, then as the end of a
// file; every call gets its ladder and table cells, and what the analyser
// reports must hold together: problems on records it was given, counts that
// match the problems, a mark on every problem's record, calls whose records
// are its own, and a display filter for every call that parses.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/Analysis.h"
#include "analysis/Ladder.h"
#include "filter/DisplayFilter.h"

volatile std::size_t g_sink;

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint32_t kDay = 24u * 3600u * 100u;
    // Exactly sized copies, so a read past a frame is a heap overflow.
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<analysis::FrameInput> inputs;
    std::uint32_t time = 0;
    for (std::size_t at = 0; at + 1 < size;) {
        const std::uint8_t control = data[at];
        const std::size_t length = data[at + 1];
        at += 2;
        const std::size_t take = length < size - at ? length : size - at;
        frames.emplace_back(data + at, data + at + take);
        at += take;
        const std::uint32_t step = control >> 1;
        time = (time + (step == 127 ? 360000u : step)) % kDay;  // a trace may run past midnight
        analysis::FrameInput in;
        in.record = static_cast<std::uint32_t>(inputs.size());
        in.time = time;
        in.sender = (control & 0x01) != 0 ? analysis::Side::NT : analysis::Side::TE;
        inputs.push_back(in);
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) inputs[i].frame = frames[i];

    analysis::Analyzer analyzer;
    for (const analysis::FrameInput& in : inputs) analyzer.Add(in);
    Check(analyzer.RecordsSeen() == inputs.size());
    analyzer.Finish();

    std::size_t counts[3] = {};
    std::size_t total = 0;
    for (const analysis::Problem& problem : analyzer.Problems()) {
        Check(!problem.records.empty() && !problem.text.empty());
        for (const std::uint32_t record : problem.records) Check(record < inputs.size());
        const auto mark = analyzer.RecordSeverity(problem.records.front());
        Check(mark && *mark >= problem.severity);
        ++counts[static_cast<std::size_t>(problem.severity)];
        total += problem.text.size();
    }
    for (const analysis::Severity s :
         {analysis::Severity::Note, analysis::Severity::Warning, analysis::Severity::Error})
        Check(analyzer.Count(s) == counts[static_cast<std::size_t>(s)]);

    const analysis::FrameLookup frameOf = [&inputs](std::uint32_t record) -> std::optional<analysis::FrameInput> {
        if (record >= inputs.size()) return std::nullopt;
        return inputs[record];
    };
    const auto& calls = analyzer.Calls();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const analysis::Call& call = calls[i];
        Check(call.start <= call.end);
        Check(call.messages == call.records.size());
        for (std::size_t k = 0; k < call.records.size(); ++k) {
            Check(call.records[k] < inputs.size());
            if (k > 0) Check(call.records[k - 1] < call.records[k]);
        }
        const std::vector<analysis::LadderStep> steps = analysis::BuildLadder(analyzer, i, frameOf);
        for (const analysis::LadderStep& step : steps) Check(step.record < inputs.size());
        for (const std::string& line : analysis::LadderLines(steps, [](std::uint32_t r) { return std::to_string(r); })) total += line.size();
        const std::vector<std::string> cells = analysis::CallCells(call, i);
        Check(cells.size() == analysis::CallColumns().size());
        for (const std::string& cell : cells) total += cell.size();
        Check(filter::DisplayFilter::Parse(analysis::CallFilter(call)).has_value());
    }
    g_sink = total;
    return 0;
}
