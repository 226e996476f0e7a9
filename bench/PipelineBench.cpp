// The live capture pipeline end to end: emulated card, Tpx library, trace log
// file, reader thread, user-interface loop, record built and decoded.
//   PipelineThroughput  records per second at the card's highest rate, and
//                       how many of the records the card sent never arrived
//   DeliveryLatency     time from a record's last byte in the file to its
//                       arrival on the user-interface loop, at 5000 records/s
//   QuietProcessorUse   processor time of the whole process while tracing a
//                       silent line, in percent of one core

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "adapter/MarloTrcDoc.h"
#include "bench/Result.h"
#include "cardsim/Card.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "trace/LogFile.h"
#include "trace/RecordQueue.h"
#include "trace/TraceLog.h"

namespace {

using Clock = std::chrono::steady_clock;

class NoUi : public trace::UiServices {
public:
    std::optional<std::filesystem::path> AskSaveFileName(const trace::FileDialogRequest&) override { return {}; }
    std::optional<std::filesystem::path> AskOpenFileName(const trace::FileDialogRequest&) override { return {}; }
    std::optional<int> SelectAdapter(const std::vector<std::string>&) override { return 0; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void SetTraceStatusText(const std::string&) override {}
};

class QueueView : public trace::CView {
public:
    void OnUpdate(trace::CView*, std::uint32_t, std::intptr_t) override {}
    trace::RecordTarget* GetRecordTarget() override { return &queue; }
    trace::RecordQueue queue;
};

// A scratch folder as the current directory, where trace log files are made.
class ScratchFolder {
public:
    ScratchFolder() : m_old(std::filesystem::current_path()) {
        m_dir = std::filesystem::temp_directory_path() / ("marlo-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
        std::filesystem::current_path(m_dir);
    }
    ~ScratchFolder() {
        std::filesystem::current_path(m_old);
        std::filesystem::remove_all(m_dir);
    }
    const std::filesystem::path& Path() const { return m_dir; }

private:
    std::filesystem::path m_old;
    std::filesystem::path m_dir;
};

struct Session {
    explicit Session(const std::string& card) {
        std::string error;
        auto settings = cardsim::ParseSettings(card, &error);
        m_card = std::make_shared<cardsim::Card>(std::move(*settings));
        cardsim::InstallCard(m_card);
        doc = std::make_unique<adapter::CMarloTrcDoc>(ui);
        doc->AddView(&view);
        doc->OnOpenDocument("bench");
    }
    ~Session() {
        doc.reset();
        cardsim::UninstallCard();
    }
    bool Pump(std::chrono::milliseconds wait) {
        const auto params = view.queue.Next(wait);
        if (params) doc->OnTraceRecord(**params);
        return params.has_value();
    }

    platform::RecordingMessageBox boxes;  // the closing question is answered No
    NoUi ui;
    QueueView view;
    std::shared_ptr<cardsim::Card> m_card;
    std::unique_ptr<adapter::CMarloTrcDoc> doc;
};

void PipelineThroughput(benchmark::State& state) {
    ScratchFolder folder;
    const int target = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Session s("rate=0");
        const auto start = Clock::now();
        s.doc->OnTraceStart();
        while (s.doc->GetTraceLog()->GetRecordCount() < target) s.Pump(std::chrono::milliseconds(100));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        // Silence the card, then let the reader bring in everything it sent.
        std::string error;
        s.doc->DisableTraceControl(error);
        const auto sent = static_cast<long long>(s.m_card->TraceFramesSent());
        const auto guard = Clock::now() + std::chrono::seconds(30);
        while (s.doc->GetTraceLog()->GetRecordCount() < sent && Clock::now() < guard)
            s.Pump(std::chrono::milliseconds(100));
        s.doc->OnTraceStop();
        state.SetIterationTime(seconds);
        state.counters["records_per_second"] = target / seconds;
        state.counters["records_sent"] = static_cast<double>(sent);
        state.counters["records_lost"] = static_cast<double>(sent - s.doc->GetTraceLog()->GetRecordCount());
        bench::Result("live pipeline throughput", target / seconds, "records/s", "value>=20000");
        bench::Result("live pipeline records lost", static_cast<double>(sent - s.doc->GetTraceLog()->GetRecordCount()),
                      "records", "value<=0");
    }
}
BENCHMARK(PipelineThroughput)->Arg(50000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Writes records as the library does (header, frame, trailer) at a fixed
// pace; each frame carries the steady clock at the moment its last byte went in.
void DeliveryLatency(benchmark::State& state) {
    ScratchFolder folder;
    const int count = static_cast<int>(state.range(0));
    const auto period = std::chrono::microseconds(200);  // 5000 records per second
    for (auto _ : state) {
        trace::CTraceLog log;
        std::unique_ptr<trace::CLogFile> file;
        trace::CreateTraceLogFile(file, log, folder.Path());
        trace::RecordQueue queue;
        log.SetTarget(&queue);
        log.StartReader();
        std::vector<double> latenciesMs;
        latenciesMs.reserve(static_cast<std::size_t>(count));

        std::thread writer([&] {
            auto next = Clock::now();
            for (int i = 0; i < count; ++i) {
                std::uint8_t record[28 + 12] = {};
                trace::WriteU32(record, 0, sizeof record);
                trace::WriteU16(record, 4, trace::kDChannelRecord);
                trace::WriteU16(record, 6, static_cast<std::uint16_t>(i + 1));
                trace::WriteU32(record, 20, 12);
                record[24] = 0x00, record[25] = 0x81, record[26] = 0x01, record[27] = 0x01;
                trace::WriteU32(record, sizeof record - 4, sizeof record);
                platform::WriteAll(file->GetFd(), {record, 24});
                const auto stamp = Clock::now().time_since_epoch().count();
                std::memcpy(record + 28, &stamp, sizeof stamp);
                platform::WriteAll(file->GetFd(), {record + 24, 12});
                platform::WriteAll(file->GetFd(), {record + 36, 4});
                next += period;
                std::this_thread::sleep_until(next);
            }
        });
        while (static_cast<int>(latenciesMs.size()) < count) {
            const auto params = queue.Next(std::chrono::seconds(5));
            if (!params) break;
            const auto now = Clock::now().time_since_epoch().count();
            Clock::rep stamp = 0;
            std::memcpy(&stamp, (*params)->data + 4, sizeof stamp);
            latenciesMs.push_back(static_cast<double>(now - stamp) / 1e6);
            log.AddReaderRecord(**params);
            platform::SetEvent(log.GetAckEvent());
        }
        writer.join();
        log.StopReader();
        std::sort(latenciesMs.begin(), latenciesMs.end());
        state.counters["delivered"] = static_cast<double>(latenciesMs.size());
        state.counters["p50_ms"] = latenciesMs[latenciesMs.size() / 2];
        state.counters["p99_ms"] = latenciesMs[latenciesMs.size() * 99 / 100];
        state.counters["max_ms"] = latenciesMs.back();
        bench::Result("live delivery latency p99 (5000/s)", latenciesMs[latenciesMs.size() * 99 / 100], "ms",
                      "value<20");
    }
}
BENCHMARK(DeliveryLatency)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void QuietProcessorUse(benchmark::State& state) {
    ScratchFolder folder;
    for (auto _ : state) {
        Session s("traffic=none");
        s.doc->OnTraceStart();
        const double cpuStart = ProcessSeconds();
        const auto start = Clock::now();
        while (Clock::now() - start < std::chrono::seconds(3)) s.Pump(std::chrono::milliseconds(100));
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = ProcessSeconds() - cpuStart;
        s.doc->OnTraceStop();
        state.counters["percent_of_a_core"] = 100.0 * cpu / wall;
        bench::Result("processor use, quiet line", 100.0 * cpu / wall, "% of a core", "value<1");
    }
}
BENCHMARK(QuietProcessorUse)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
