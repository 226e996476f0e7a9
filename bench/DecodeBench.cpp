// Decoder throughput on the realistic frame mix: the decode done once per
// record when it is built, and the texts a record list row formats on request.

#include <benchmark/benchmark.h>

#include "bench/FrameMix.h"
#include "decode/Frame.h"

namespace {

void BM_DecodeFrame(benchmark::State& state) {
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    for (auto _ : state) {
        for (const bench::MixFrame& f : mix) benchmark::DoNotOptimize(decode::DecodeFrame(f.octets, f.flags));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * mix.size()));
}
BENCHMARK(BM_DecodeFrame);

void BM_DecodeAndFormatRow(benchmark::State& state) {
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    for (auto _ : state) {
        for (const bench::MixFrame& f : mix) {
            const decode::FrameSummary s = decode::DecodeFrame(f.octets, f.flags);
            benchmark::DoNotOptimize(s.Source());
            benchmark::DoNotOptimize(s.Address());
            benchmark::DoNotOptimize(s.FrameType());
            benchmark::DoNotOptimize(s.PollFinal());
            benchmark::DoNotOptimize(s.NS());
            benchmark::DoNotOptimize(s.NR());
            benchmark::DoNotOptimize(s.CallReference());
            benchmark::DoNotOptimize(s.Message());
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * mix.size()));
}
BENCHMARK(BM_DecodeAndFormatRow);

void BM_DecodeItems(benchmark::State& state) {
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    for (auto _ : state) {
        for (const bench::MixFrame& f : mix) {
            const decode::FrameSummary s = decode::DecodeFrame(f.octets, f.flags);
            benchmark::DoNotOptimize(s.Items(f.octets));
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * mix.size()));
}
BENCHMARK(BM_DecodeItems);

}  // namespace

BENCHMARK_MAIN();
