// Trace log loading: a generated file of 1,000,000 D-channel records (the
// realistic frame mix, repeated) loaded through CTraceLog::LoadFile, as the
// log document opens it. Reports records per second and the resident memory
// each loaded record costs at the peak of the load.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/FrameMix.h"
#include "bench/MixRecords.h"
#include "bench/TempFolder.h"
#include "bench/Result.h"
#include "tracefile/RawRecord.h"
#include "trace/TraceLog.h"

namespace {

constexpr int kRecords = 1'000'000;

// Writes the file once per process, into a folder of its own.
const std::filesystem::path& GeneratedFile() {
    // Made before the file's name, so it goes after it (a function
    // registered with atexit here would run after the name was gone).
    static const bench::TempFolder folder("marlo-bench");
    static const std::filesystem::path path = [] {
        const auto file = folder.Path() / "million.log";
        std::tm when{};
        when.tm_mday = 7;
        when.tm_mon = 2;
        when.tm_year = 97;
        const auto header = tracefile::BuildFileHeader(when);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
        const std::vector<bench::MixFrame> mix = bench::RealisticMix();
        for (int i = 0; i < kRecords; ++i) {
            const std::vector<std::uint8_t> record = bench::MixRecord(mix, i);
            out.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
        }
        return file;
    }();
    return path;
}

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
long StatusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size())) * 1024;
    }
    return 0;
}

// Resets the peak resident size, so VmHWM covers what follows only.
void ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

void BM_LoadFile(benchmark::State& state) {
    const auto& path = GeneratedFile();
    double perRecord = 0;
    double bestMs = 1e300;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const long before = StatusBytes("VmRSS");
        ResetPeak();
        trace::CTraceLog log;
        if (log.LoadFile(path) != 1 || log.GetRecordCount() != kRecords) {
            state.SkipWithError("load failed");
            return;
        }
        bestMs = std::min(bestMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        const long peak = StatusBytes("VmHWM");
        // Freed records of an earlier iteration stay mapped; the first load
        // is the one that shows the true growth.
        perRecord = std::max(perRecord, static_cast<double>(peak - before) / kRecords);
        benchmark::DoNotOptimize(log.GetMessage(kRecords - 1));
        state.PauseTiming();  // freeing a million records is not part of the load
        log.DeleteRecords();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords);
    state.counters["peak_bytes_per_record"] = perRecord;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    bench::Result("load 1M-record log (best)", bestMs, "ms", "-");
    bench::Result("loaded log, peak resident per record", perRecord, "bytes", "value<=64");
}
BENCHMARK(BM_LoadFile)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// A live document: the same million records appended one at a time, as the
// reader delivers them, with the peak resident memory they cost.
void BM_LiveAppend(benchmark::State& state) {
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    std::vector<std::vector<std::uint8_t>> raws;
    for (int i = 0; i < static_cast<int>(mix.size()); ++i) raws.push_back(bench::MixRecord(mix, i));
    double perRecord = 0;
    for (auto _ : state) {
        const long before = StatusBytes("VmRSS");
        ResetPeak();
        trace::CTraceLog log;
        for (int i = 0; i < kRecords; ++i) {
            auto& r = raws[static_cast<std::size_t>(i) % raws.size()];
            r[6] = static_cast<std::uint8_t>(i);
            r[7] = static_cast<std::uint8_t>(i >> 8);
            log.AddRawRecord(r);
        }
        const long peak = StatusBytes("VmHWM");
        perRecord = std::max(perRecord, static_cast<double>(peak - before) / kRecords);
        benchmark::DoNotOptimize(log.GetMessage(kRecords - 1));
        state.PauseTiming();
        log.DeleteRecords();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRecords);
    state.counters["peak_bytes_per_record"] = perRecord;
    bench::Result("live log, peak resident per record", perRecord, "bytes", "value<=64");
}
BENCHMARK(BM_LiveAppend)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
