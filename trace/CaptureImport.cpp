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

namespace trace {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A file descriptor as a byte source, read through one buffer.
class FdSource final : public ByteSource {
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

void WriteCaptureRecord(Bytes& raw, std::uint16_t sequence, const CaptureFrame& frame,
                        const std::optional<std::tm>& local) {
    wire::RecordHeader header;
    header.sequence = sequence;
    if (local) {
        header.hour = static_cast<std::uint8_t>(local->tm_hour);
        header.minute = static_cast<std::uint8_t>(local->tm_min);
        header.second = static_cast<std::uint8_t>(std::min(local->tm_sec, 59));  // a leap second shows as :59
    }
    header.hundredths = static_cast<std::uint8_t>(frame.nanoseconds / 10000000 % 100);
    header.flags = frame.side == FrameSide::Network ? wire::kFlagNetworkSide : 0;
    header.sideUnknown = frame.side == FrameSide::Unknown;
    wire::WriteDChannelRecord(raw, header, frame.lapd);
}

}  // namespace

int ReadCaptureRecords(ByteSource& source, const CaptureRecordSink& sink) {
    bool cut = false;
    bool sideless = false;
    std::uint16_t sequence = 0;
    LocalClock clock;
    Bytes raw;
    bool first = true;
    const CaptureReadResult result = ReadCapture(source, [&](const CaptureFrame& frame) {
        // The first frame dates the trace (sequence numbers wrap after 65535).
        if (first && sink.firstFrameDate) sink.firstFrameDate(LocalTraceDate(static_cast<std::time_t>(frame.seconds)));
        cut = cut || frame.lapd.size() > kMaxDChannelData;
        sideless = sideless || frame.side == FrameSide::Unknown;
        first = false;
        WriteCaptureRecord(raw, ++sequence, frame, clock.Local(frame.seconds));
        sink.addRecord(raw);
    });
    if (cut) platform::MessageBox("Frames longer than 280 octets were cut to their first 280 octets.");
    if (sideless)
        platform::MessageBox(
            "This capture file does not say which side sent each frame; its frames are shown as from the user "
            "side (TE), and the side is unknown.");
    if (result.skippedPackets > 0)
        platform::MessageBox(std::to_string(result.skippedPackets) +
                             (result.skippedPackets == 1 ? " packet" : " packets") +
                             " of other link types (the first of link type " +
                             std::to_string(result.skippedLinkType) +
                             ") were skipped; the LAPD frames are shown.");
    if (result.status != CaptureStatus::Ok) platform::MessageBox(result.message);
    switch (result.status) {
        case CaptureStatus::Ok: return 1;
        case CaptureStatus::Truncated: return 2;
        default: return 0;
    }
}

int ReadCaptureFile(int fd, const CaptureRecordSink& sink) {
    FdSource source(fd);
    return ReadCaptureRecords(source, sink);
}

bool IsCaptureFile(int fd) {
    std::uint8_t head[4];
    return ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) && IsCaptureMagic(head);
}

}  // namespace trace
