#pragma once
// Reading packet capture files of LAPD frames (pcap in either byte order with
// micro- or nanosecond stamps, and pcapng). The readers take the file as a
// stream of bytes, bound every length by what they have read, and never cast
// bytes to structures. They know nothing of records, documents or messages
// to the user: they hand over frames, and say what stopped them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tracefile/CaptureFormat.h"

namespace tracefile {

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
    NoLapd,           // frames, none of them LAPD (another link type, B channels)
};

struct CaptureReadResult {
    CaptureStatus status = CaptureStatus::Ok;
    std::string message;  // for the user, empty when Ok
    int frames = 0;
    // Packets that are not D-channel LAPD (other link types, B channels),
    // passed over; what the first of them was ("Ethernet").
    int skippedPackets = 0;
    std::string skippedKind;
};

using FrameSink = std::function<void(const CaptureFrame&)>;

// A capture file read a few frames at a time, so a large one shows its first
// frames at once and the rest arrive between other work.
class CaptureReader {
public:
    virtual ~CaptureReader() = default;
    // Hands up to `frames` LAPD frames to onFrame, in file order. Answers
    // nullopt while the file goes on, otherwise how the read ended (at the
    // end, or at the first problem); the reader is done then.
    virtual std::optional<CaptureReadResult> Read(int frames, const FrameSink& onFrame) = 0;
    // Octets of the file read so far.
    virtual std::uint64_t BytesRead() const = 0;
};

// The reader of pcap and pcapng files: source starts with their magic
// (IsCaptureMagic) and outlives the reader.
std::unique_ptr<CaptureReader> NewPcapReader(ByteSource& source);

// Packets a reader passes over because they are not D-channel LAPD,
// counted by what they are.
class SkippedPackets {
public:
    void Add(const std::string& kind);
    int Count() const { return m_count; }
    // The result of a file whose every packet was passed over: it says what
    // the file holds, "... holds 100 frames of DPNSS, none of them LAPD".
    CaptureReadResult NoLapd(const std::string& format) const;
    // Copies the count and the first kind into a result.
    void Into(CaptureReadResult& result) const;

private:
    int m_count = 0;
    std::vector<std::pair<std::string, int>> m_kinds;  // in the order first met
};

// The results every reader ends with when a file is damaged or cut short.
CaptureReadResult CaptureDamaged(const std::string& what, int frames);
CaptureReadResult CaptureTruncated(int frames);

// The side that sent a frame of link type 177, from its pseudo-header. The
// packet type says how the frame met the capturing host: 4 it sent the
// frame itself; 3 it overheard a frame meant for another host, which on a
// basic-rate bus is another terminal talking to the network, so the user
// side whichever side the host is on; 0 to 2 (to this host, broadcast,
// multicast) and any other type it received the frame from the other side.
// networkHost: the host was the network side (address octet 0 set).
FrameSide LinuxLapdSide(std::uint16_t packetType, bool networkHost);

// The side that sent a frame, from a pcapng packet's direction flags:
// inbound frames came from the network (the capture point is the user side).
FrameSide SideOfFlags(std::uint32_t flags);

// What a pcap link type carries, as packet analysers name it ("Ethernet").
std::string LinkTypeName(std::uint32_t linkType);

// Reads a whole capture file, calling onFrame for every LAPD frame in file
// order; stops at the first problem.
CaptureReadResult ReadCapture(ByteSource& source, const FrameSink& onFrame);

}  // namespace tracefile
