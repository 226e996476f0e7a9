// The pcap and pcapng reader of the project against libwiretap, the
// capture-file library of packet analysers, on the same million frames of
// the realistic mix: each reads every frame of the file (best of three runs,
// file in the page cache). libwiretap reads every other capture format; the
// project keeps its own reader for pcap and pcapng only while libwiretap
// takes more than twice its time on them.
//
//   capture_read_bench [FRAMES]

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/FrameMix.h"
#include "bench/Result.h"
#include "bench/TempFolder.h"
#include "platform/File.h"
#include "trace/CaptureExport.h"
#include "tracefile/CaptureReader.h"
#include "tracefile/WiretapReader.h"

namespace {

class FileSource final : public tracefile::ByteSource {
public:
    explicit FileSource(int fd) : m_in(fd) {}
    std::size_t Read(std::uint8_t* out, std::size_t n) override { return m_in.Read(out, n); }

private:
    platform::BufferedReader m_in;
};

void Write(const std::filesystem::path& path, tracefile::CaptureFormat format, long frames) {
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    std::vector<std::uint8_t> out;
    trace::CaptureWriter writer(format, out);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::exit(1);
    for (long i = 0; i < frames; ++i) {
        const bench::MixFrame& f = mix[static_cast<std::size_t>(i) % mix.size()];
        writer.AddFrame({1700000000 + i / 100, static_cast<std::uint32_t>(i % 100) * 10000},
                        f.flags ? tracefile::FrameSide::Network : tracefile::FrameSide::User, f.octets);
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), file);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), file);
    if (std::fclose(file) != 0) std::exit(1);
}

// Reads every frame; answers the frames read, or -1 when the read failed.
long ReadAll(tracefile::CaptureReader& reader) {
    long frames = 0;
    std::size_t octets = 0;
    for (;;) {
        const auto result = reader.Read(1 << 16, [&](const tracefile::CaptureFrame& frame) {
            ++frames;
            octets += frame.lapd.size();
        });
        if (result) return result->status == tracefile::CaptureStatus::Ok && octets > 0 ? frames : -1;
    }
}

double BestMilliseconds(const std::function<long()>& read, long frames) {
    double best = 1e300;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (read() != frames) {
            std::fprintf(stderr, "capture_read_bench: a read did not give every frame\n");
            std::exit(1);
        }
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const long frames = argc > 1 ? std::atol(argv[1]) : 1000000;
    bench::TempFolder folder("marlo-capture-read-bench");
    for (const auto format : {tracefile::CaptureFormat::Pcap, tracefile::CaptureFormat::PcapNg}) {
        const char* name = format == tracefile::CaptureFormat::Pcap ? "pcap" : "pcapng";
        const auto path = folder.Path() / (std::string("frames.") + name);
        Write(path, format, frames);
        const double own = BestMilliseconds(
            [&] {
                platform::UniqueFd fd = platform::OpenForReading(path);
                FileSource source(fd.Get());
                return ReadAll(*tracefile::NewPcapReader(source));
            },
            frames);
        const double wiretap = BestMilliseconds(
            [&] {
                tracefile::CaptureReadResult failure;
                auto reader = tracefile::OpenWiretapCapture(path.string(), &failure);
                return reader ? ReadAll(*reader) : -1;
            },
            frames);
        const std::string figure = "read 1M-frame " + std::string(name) + ", own reader";
        const std::string reference = "libwiretap " + std::to_string(wiretap).substr(0, 6) + " ms";
        bench::Result(figure.c_str(), own, "ms", "-", reference.c_str(), wiretap / own);
    }
    return 0;
}
