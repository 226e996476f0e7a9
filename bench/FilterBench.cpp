// Display filters over a loaded log of 1,000,000 D-channel records (the
// realistic frame mix, repeated), as the record list applies them: one pass
// of DisplayFilter::Matches over every record. Targets: fields of the frame
// summary (sapi, tei, ftype, msg, crv) under 0.3 s a pass, element fields
// (cause, called, ie) under 1.5 s.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/FrameMix.h"
#include "bench/MixRecords.h"
#include "filter/DisplayFilter.h"
#include "trace/TraceLog.h"

namespace {

constexpr int kRecords = 1'000'000;

// The log, built once per process through the same record builder the loader uses.
const trace::CTraceLog& MillionRecords() {
    static const std::unique_ptr<trace::CTraceLog> log = [] {
        auto built = std::make_unique<trace::CTraceLog>();
        const std::vector<bench::MixFrame> mix = bench::RealisticMix();
        for (int i = 0; i < kRecords; ++i) {
            built->AddRawRecord(bench::MixRecord(mix, i));
        }
        return built;
    }();
    return *log;
}

void ApplyFilter(benchmark::State& state, const char* expression) {
    const trace::CTraceLog& log = MillionRecords();
    const auto parsed = filter::DisplayFilter::Parse(expression);
    if (!parsed) {
        state.SkipWithError("the expression does not parse");
        return;
    }
    std::size_t matched = 0;
    for (auto _ : state) {
        matched = filter::MatchingRecords(*parsed, log, 0, log.GetRecordCount()).size();
        benchmark::DoNotOptimize(matched);
    }
    state.counters["records"] = kRecords;
    state.counters["matched"] = static_cast<double>(matched);
}

}  // namespace

BENCHMARK_CAPTURE(ApplyFilter, sapi_tei, "sapi == 0 and tei == 64")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, ftype, "ftype == RR or ftype == SABME")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, msg, "msg == \"SETUP\"")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, crv_msg, "crv == 1 and q931.message_type == 0x45")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, cause, "cause == 16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, called, "msg == \"SETUP\" and called contains \"555\"")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, called_alone, "called contains \"123\"")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, ie, "ie == \"CHANNEL ID\"")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, text, "text contains \"connect\"")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ApplyFilter, frame, "frame contains 08:01")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
