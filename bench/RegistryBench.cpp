// Reading registry exports: one binary value spread over many continuation
// lines, the shape that once took time quadratic in its length. Parsing
// 2,000 to 32,000 lines from memory shows the growth (reported as the
// complexity fit); loading a 64 MB export from disk, as the configuration
// read does on the user-interface thread, should take well under a second.

#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/Result.h"
#include "platform/Registry.h"

namespace {

// "REGEDIT4", a key, and "Blob"=hex: with `lines` continuation lines of
// 23 bytes (73 characters) each, then one value after it.
std::string ContinuedExport(std::size_t lines) {
    std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OrinTlan\\Parameters]\n"
                       "\"Blob\"=hex:00,\\\n";
    text.reserve(text.size() + lines * 80 + 64);
    for (std::size_t i = 0; i < lines; ++i) text += "  00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff,01,02,03,04,05,06,07,\\\n";
    text += "  08\n\"Line0.SwitchStyle\"=dword:00000002\n";
    return text;
}

void BM_ParseContinuedValue(benchmark::State& state) {
    const std::string text = ContinuedExport(static_cast<std::size_t>(state.range(0)));
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    for (auto _ : state) {
        const platform::Registry registry = platform::Registry::Parse(bytes);
        benchmark::DoNotOptimize(registry.KeyCount());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseContinuedValue)->Arg(2000)->Arg(16000)->Arg(32000)->Arg(128000)
    ->Unit(benchmark::kMillisecond)->Complexity();

// Just under the 64 MiB the reader accepts.
void BM_Load64MegabyteExport(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("marlo-registry-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "large.reg";
    const std::string text = ContinuedExport((64u * 1024 * 1024 - 4096) / 73);
    std::ofstream(path, std::ios::binary) << text;
    std::string problem;
    const auto processorMs = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    };
    double bestMs = 0;
    for (auto _ : state) {
        const double start = processorMs();
        const platform::Registry registry = platform::Registry::Load(path, &problem);
        if (registry.KeyCount() != 1) state.SkipWithError(("the export was not read: " + problem).c_str());
        const double ms = processorMs() - start;
        if (bestMs == 0 || ms < bestMs) bestMs = ms;
    }
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
    bench::Result("registry export of 64 MB read (processor time)", bestMs, "ms", "value<500");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_Load64MegabyteExport)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
