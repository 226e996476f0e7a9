// The live capture pipeline end to end: emulated card, Tpx library, trace log
// file, reader thread, user-interface loop, record built and decoded.
//   PipelineThroughput  records per second at the card's highest rate, and
//                       how many of the records the card sent never arrived
//   DeliveryLatency     time from a record's last byte in the file to its
//                       arrival on the user-interface loop, at 5000 records/s
//                       of the emulated line's calls; with analysis, the
//                       loop also brings the calls and problems up to date
//                       twice a second, as a trace window does
//   QuietProcessorUse   processor time of the whole process while tracing a
//                       silent line, in percent of one core

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <thread>
#include <unistd.h>

#include "adapter/MarloTrcDoc.h"
#include "analysis/TraceFeed.h"
#include "bench/Result.h"
#include "cardsim/Card.h"
#include "cardsim/Conversation.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "trace/LogFile.h"
#include "trace/RecordQueue.h"
#include "trace/TraceLog.h"
#include "wire/Tpx.h"

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
        registration.emplace(*doc, view);
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

    testsupport::RecordingMessageBox boxes;  // the closing question is answered No
    NoUi ui;
    QueueView view;
    std::shared_ptr<cardsim::Card> m_card;
    std::unique_ptr<adapter::CMarloTrcDoc> doc;
    std::optional<trace::ViewRegistration> registration;
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

// The emulated line's frames, one faulty round in ten, as many as asked.
std::vector<cardsim::TraceFrame> LineFrames(std::size_t count) {
    std::vector<cardsim::TraceFrame> frames;
    for (unsigned round = 0; frames.size() < count; ++round) {
        auto more = round % 10 == 9 ? cardsim::CallsConversation::FaultyRound(round)
                                    : cardsim::CallsConversation::Round(round);
        for (auto& f : more) {
            if (frames.size() == count) break;
            frames.push_back(std::move(f));
        }
    }
    return frames;
}

// Writes records as the library does (header, frame, trailer) at a fixed
// pace, noting the steady clock at the moment each record's last byte went
// in. With analysis (range 1), the loop feeds the analyser the records that
// came in every half second, as a trace window's timer does.
void DeliveryLatency(benchmark::State& state) {
    ScratchFolder folder;
    const int count = static_cast<int>(state.range(0));
    const bool analyse = state.range(1) != 0;
    const auto period = std::chrono::microseconds(200);  // 5000 records per second
    const std::vector<cardsim::TraceFrame> frames = LineFrames(static_cast<std::size_t>(count));
    for (auto _ : state) {
        trace::CTraceLog log;
        std::unique_ptr<trace::CLogFile> file;
        trace::CreateTraceLogFile(file, log, folder.Path());
        trace::RecordQueue queue;
        log.SetTarget(&queue);
        log.StartReader();
        std::vector<double> latenciesMs;
        latenciesMs.reserve(static_cast<std::size_t>(count));
        std::vector<std::atomic<Clock::rep>> written(static_cast<std::size_t>(count));

        std::thread writer([&] {
            auto next = Clock::now();
            for (int i = 0; i < count; ++i) {
                const cardsim::TraceFrame& frame = frames[static_cast<std::size_t>(i)];
                wire::RecordHeader header;
                header.sequence = static_cast<std::uint16_t>(i + 1);
                const int hundredths = i / 50;  // the time of day the records say, from midnight
                header.hour = static_cast<std::uint8_t>(hundredths / 360000);
                header.minute = static_cast<std::uint8_t>(hundredths / 6000 % 60);
                header.second = static_cast<std::uint8_t>(hundredths / 100 % 60);
                header.hundredths = static_cast<std::uint8_t>(hundredths % 100);
                header.flags = frame.flags;
                const std::vector<std::uint8_t> record = wire::DChannelRecord(header, frame.data);
                platform::WriteAll(file->GetFd(), {record.data(), record.size() - 4});
                written[static_cast<std::size_t>(i)].store(Clock::now().time_since_epoch().count(),
                                                           std::memory_order_release);
                platform::WriteAll(file->GetFd(), {record.data() + record.size() - 4, 4});
                next += period;
                std::this_thread::sleep_until(next);
            }
        });
        analysis::Analyzer analyzer;
        int fed = 0;
        double longestFeedMs = 0;
        auto nextFeed = Clock::now() + std::chrono::milliseconds(500);
        const auto feed = [&] {
            const auto start = Clock::now();
            fed = analysis::FeedRecords(analyzer, log, fed);
            longestFeedMs =
                std::max(longestFeedMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        };
        while (static_cast<int>(latenciesMs.size()) < count) {
            const auto params = queue.Next(std::chrono::seconds(5));
            if (!params) break;
            const auto now = Clock::now().time_since_epoch().count();
            // Each record's place: the records arrive in the order written.
            for (std::size_t k = 0; k < (*params)->records.size() && static_cast<int>(latenciesMs.size()) < count; ++k) {
                const Clock::rep stamp = written[latenciesMs.size()].load(std::memory_order_acquire);
                latenciesMs.push_back(static_cast<double>(now - stamp) / 1e6);
            }
            log.AddReaderRecords(**params);
            platform::SetEvent(log.GetAckEvent());
            if (analyse && Clock::now() >= nextFeed) {
                feed();
                nextFeed += std::chrono::milliseconds(500);
            }
        }
        writer.join();
        log.StopReader();
        if (analyse) feed();
        std::sort(latenciesMs.begin(), latenciesMs.end());
        state.counters["delivered"] = static_cast<double>(latenciesMs.size());
        state.counters["p50_ms"] = latenciesMs[latenciesMs.size() / 2];
        state.counters["p99_ms"] = latenciesMs[latenciesMs.size() * 99 / 100];
        state.counters["max_ms"] = latenciesMs.back();
        const double p99 = latenciesMs[latenciesMs.size() * 99 / 100];
        if (!analyse) {
            bench::Result("live delivery latency p99 (5000/s)", p99, "ms", "value<20");
            continue;
        }
        state.counters["calls"] = static_cast<double>(analyzer.Calls().size());
        state.counters["problems"] = static_cast<double>(analyzer.Problems().size());
        state.counters["longest_feed_ms"] = longestFeedMs;
        bench::Result("live delivery latency p99 with analysis (5000/s)", p99, "ms", "value<20");
        bench::Result("records delivered but not analysed", static_cast<double>(count - static_cast<int>(analyzer.RecordsSeen())),
                      "records", "value<=0");
        bench::Result("analysis of half a second of records, longest", longestFeedMs, "ms", "-");
    }
}
BENCHMARK(DeliveryLatency)->Args({10000, 0})->Args({10000, 1})->Iterations(1)->Unit(benchmark::kMillisecond);

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
