// Capture files as trace records: frames become D-channel records.
#include "trace/CaptureImport.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <optional>
#include <unistd.h>

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "tracefile/RawRecord.h"
#include "tracefile/WiretapReader.h"

namespace trace {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A file descriptor as a byte source, read through one buffer.
class FdSource final : public tracefile::ByteSource {
public:
    explicit FdSource(int fd) : m_in(fd) {}
    std::size_t Read(std::uint8_t* out, std::size_t n) override { return m_in.Read(out, n); }

private:
    platform::BufferedReader m_in;
};

}  // namespace

namespace {

// Local time of day of capture stamps, for frames in time order: the
// conversion is made once per minute (a time zone's offset does not change
// within a minute) and the seconds are added to it.
class LocalClock {
public:
    std::optional<std::tm> Local(std::int64_t seconds) {
        const std::int64_t minute = seconds - ((seconds % 60) + 60) % 60;
        if (!m_valid || minute != m_minute) {
            m_minute = minute;
            m_valid = Convert(minute, m_start);
        }
        if (!m_valid) return std::nullopt;
        std::tm local = m_start;
        local.tm_sec += static_cast<int>(seconds - minute);
        if (local.tm_sec > 59) {
            // An offset with seconds in it: convert this stamp on its own.
            if (!Convert(seconds, local)) return std::nullopt;
        }
        return local;
    }

private:
    static bool Convert(std::int64_t seconds, std::tm& out) {
        const auto when = static_cast<std::time_t>(seconds);
        return localtime_r(&when, &out) != nullptr;
    }

    std::int64_t m_minute = 0;
    bool m_valid = false;
    std::tm m_start{};
};

void WriteCaptureRecord(Bytes& raw, std::uint16_t sequence, const tracefile::CaptureFrame& frame,
                        const std::optional<std::tm>& local) {
    wire::RecordHeader header;
    header.sequence = sequence;
    if (local) {
        header.hour = static_cast<std::uint8_t>(local->tm_hour);
        header.minute = static_cast<std::uint8_t>(local->tm_min);
        header.second = static_cast<std::uint8_t>(std::min(local->tm_sec, 59));  // a leap second shows as :59
    }
    header.hundredths = static_cast<std::uint8_t>(frame.nanoseconds / 10000000 % 100);
    header.flags = frame.side == tracefile::FrameSide::Network ? wire::kFlagNetworkSide : 0;
    header.sideUnknown = frame.side == tracefile::FrameSide::Unknown;
    wire::WriteDChannelRecord(raw, header, frame.lapd);
}

}  // namespace

class CaptureLoad::LocalClock : public trace::LocalClock {};

CaptureLoad::CaptureLoad(std::unique_ptr<tracefile::ByteSource> source, std::unique_ptr<tracefile::CaptureReader> reader,
                         std::int64_t size)
    : m_source(std::move(source)), m_reader(std::move(reader)), m_size(size), m_clock(std::make_unique<LocalClock>()) {}

CaptureLoad::~CaptureLoad() = default;

double CaptureLoad::Fraction() const {
    if (m_size <= 0) return 1.0;
    return std::min(1.0, static_cast<double>(m_reader->BytesRead()) / static_cast<double>(m_size));
}

int CaptureLoad::Step(const CaptureRecordSink& sink, int records, std::vector<std::string>& messages) {
    const std::optional<tracefile::CaptureReadResult> result = m_reader->Read(records, [&](const tracefile::CaptureFrame& frame) {
        // The first frame dates the trace (sequence numbers wrap after 65535).
        if (m_first && sink.firstFrameDate) sink.firstFrameDate(LocalTraceDate(static_cast<std::time_t>(frame.seconds)));
        m_first = false;
        m_cut = m_cut || frame.lapd.size() > tracefile::kMaxDChannelData;
        m_sideless = m_sideless || frame.side == tracefile::FrameSide::Unknown;
        WriteCaptureRecord(m_raw, ++m_sequence, frame, m_clock->Local(frame.seconds));
        sink.addRecord(m_raw);
    });
    if (!result) return kCaptureLoadGoesOn;
    if (m_cut) messages.emplace_back("Frames longer than 280 octets were cut to their first 280 octets.");
    if (m_sideless)
        messages.emplace_back(
            "This capture file does not say which side sent each frame; its frames are shown as from the user "
            "side (TE), and the side is unknown.");
    if (result->skippedPackets > 0 && result->status != tracefile::CaptureStatus::NoLapd)
        messages.emplace_back(std::to_string(result->skippedPackets) +
                              (result->skippedPackets == 1 ? " packet that is not D-channel LAPD ("
                                                           : " packets that are not D-channel LAPD (the first of them ") +
                              result->skippedKind + (result->skippedPackets == 1 ? ") was" : ") were") +
                              " skipped; the LAPD frames are shown.");
    if (result->status == tracefile::CaptureStatus::NotCapture) messages.emplace_back(kNotLogFileMessage);
    else if (result->status != tracefile::CaptureStatus::Ok) messages.push_back(result->message);
    switch (result->status) {
        case tracefile::CaptureStatus::Ok: return 1;
        case tracefile::CaptureStatus::Truncated: return 2;
        default: return 0;
    }
}

std::unique_ptr<CaptureLoad> OpenCaptureLoad(int fd, tracefile::CaptureReadResult* failure) {
    const std::int64_t size = platform::FileSize(fd);
    if (IsCaptureFile(fd)) {
        // pcap and pcapng: the project's own reader, the fastest.
        auto source = std::make_unique<FdSource>(fd);
        auto reader = tracefile::NewPcapReader(*source);
        return std::make_unique<CaptureLoad>(std::move(source), std::move(reader), size);
    }
    // Every other format: libwiretap opens the same file by its name in /proc.
    auto reader = tracefile::OpenWiretapCapture("/proc/self/fd/" + std::to_string(fd), failure);
    if (!reader) {
        if (failure->status == tracefile::CaptureStatus::NotCapture) failure->message = kNotLogFileMessage;
        return nullptr;
    }
    return std::make_unique<CaptureLoad>(nullptr, std::move(reader), size);
}

bool IsCaptureFile(int fd) {
    std::uint8_t head[4];
    return ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) && tracefile::IsCaptureMagic(head);
}

}  // namespace trace
