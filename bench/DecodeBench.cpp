// Decoder throughput on the realistic frame mix: the decode done once per
// record when it is built, and the texts a record list row formats on request.

#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/FrameMix.h"
#include "bench/Result.h"
#include "decode/Frame.h"

namespace {

void BM_DecodeFrame(benchmark::State& state) {
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (const bench::MixFrame& f : mix) benchmark::DoNotOptimize(decode::DecodeFrame(f.octets, f.flags));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * mix.size()));
    // Google Benchmark calls this with growing iteration counts; the last line is the one that counts.
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    bench::Result("decode frame (layer 2 and Q.931 header)", static_cast<double>(state.iterations() * mix.size()) / seconds / 1e6, "M frames/s", "-");
}
BENCHMARK(BM_DecodeFrame);

void BM_DecodeAndFormatRow(benchmark::State& state) {
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    const auto t0 = std::chrono::steady_clock::now();
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
    // Google Benchmark calls this with growing iteration counts; the last line is the one that counts.
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    bench::Result("decode frame and format its row texts", static_cast<double>(state.iterations() * mix.size()) / seconds / 1e6, "M frames/s", "-");
}
BENCHMARK(BM_DecodeAndFormatRow);

void BM_DecodeItems(benchmark::State& state) {
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (const bench::MixFrame& f : mix) {
            const decode::FrameSummary s = decode::DecodeFrame(f.octets, f.flags);
            benchmark::DoNotOptimize(s.Items(f.octets));
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * mix.size()));
    // Google Benchmark calls this with growing iteration counts; the last line is the one that counts.
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    bench::Result("decode frame and its elements", static_cast<double>(state.iterations() * mix.size()) / seconds / 1e6, "M frames/s", "-");
}
BENCHMARK(BM_DecodeItems);

}  // namespace

BENCHMARK_MAIN();
