#pragma once
// Reading packet capture files of LAPD frames (pcap in either byte order with
// micro- or nanosecond stamps, and pcapng), so that captures made by other
// tools show in MarloTrc as D-channel records. The readers take the file as a
// stream of bytes, bound every length by what they have read, and never cast
// bytes to structures. Runs on the thread that loads the file.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "trace/CaptureFormat.h"

namespace trace {

class CTraceLog;

struct CaptureFrame {
    std::int64_t seconds = 0;  // since 1970-01-01 00:00 UTC
    std::uint32_t nanoseconds = 0;
    FrameSide side = FrameSide::Unknown;
    std::span<const std::uint8_t> lapd;  // from the first address octet; valid during the call only
};

// Bytes of a capture file, front to back. Read answers fewer than n bytes
// only at the end of the input.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Read(std::uint8_t* out, std::size_t n) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::size_t Read(std::uint8_t* out, std::size_t n) override;

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
};

enum class CaptureStatus {
    Ok,
    NotCapture,       // no pcap or pcapng magic
    Damaged,          // a header or block that cannot be right
    Truncated,        // the file ends inside a packet: what came before is good
    UnknownLinkType,  // not LAPD
};

struct CaptureReadResult {
    CaptureStatus status = CaptureStatus::Ok;
    std::string message;  // for the user, empty when Ok
    int frames = 0;
    // pcapng packets on interfaces of other link types, passed over; the
    // link type of the first of them.
    int skippedPackets = 0;
    std::uint32_t skippedLinkType = 0;
};

// Reads a whole capture file, calling onFrame for every LAPD frame in file
// order; stops at the first problem.
CaptureReadResult ReadCapture(ByteSource& source, const std::function<void(const CaptureFrame&)>& onFrame);

// Loads a capture file into the log as D-channel records: sequence numbers
// from 1, the local time of day of each frame, the side into the frame flags
// (byte 17 bit 0 set for the network side), frames cut to the 280 octets a
// record holds. Frames without a side are shown as from the user side and
// keep the side-unknown bit. What the user should know (cut frames, no
// sides, packets of other link types skipped, a damaged or truncated file,
// another link type) is said once each through platform::MessageBox. Returns
// 1 when every frame was loaded, 2 when the file ends inside a packet (the
// frames before it are loaded), 0 when the file could not be read as a LAPD
// capture.
int LoadCapture(CTraceLog& log, ByteSource& source);

// The same for an open file read from its current position.
int LoadCaptureFile(CTraceLog& log, int fd);

// True when the file behind fd starts with a capture magic; reads at offset 0
// without moving the file position.
bool IsCaptureFile(int fd);

// The raw D-channel record a frame becomes (28 + at most 280 octets).
std::vector<std::uint8_t> CaptureRecord(std::uint16_t sequence, const CaptureFrame& frame);

}  // namespace trace
