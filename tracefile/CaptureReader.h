#pragma once
// Reading packet capture files of LAPD frames (pcap in either byte order with
// micro- or nanosecond stamps, and pcapng). The readers take the file as a
// stream of bytes, bound every length by what they have read, and never cast
// bytes to structures. They know nothing of records, documents or messages
// to the user: they hand over frames, and say what stopped them.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "tracefile/CaptureFormat.h"

namespace trace {

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

}  // namespace trace
