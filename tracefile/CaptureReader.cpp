// The pcap and pcapng readers: no record, no file, no message; just frames.
#include "tracefile/CaptureReader.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>


namespace trace {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t Swap32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

// A little-endian number in octets the caller has already read (a magic, a
// block type, a byte-order mark).
std::uint32_t LittleU32(std::span<const std::uint8_t> bytes, std::size_t at = 0) {
    return wire::Little(bytes).U32(at).value();
}
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...) {
    char text[256];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

CaptureReadResult Problem(CaptureStatus status, std::string message, int frames) {
    return {status, std::move(message), frames};
}
CaptureReadResult Damaged(const std::string& what, int frames) {
    return Problem(CaptureStatus::Damaged, "The capture file is damaged: " + what + ".", frames);
}
CaptureReadResult Truncated(int frames) {
    return Problem(CaptureStatus::Truncated,
                   "The capture file ends in the middle of a packet; the frames before it are shown.", frames);
}
CaptureReadResult UnknownLinkType(std::uint32_t linkType, int frames) {
    return Problem(CaptureStatus::UnknownLinkType,
                   Format("The capture file holds frames of link type %u. Only LAPD captures (link types 177 and "
                          "203) can be opened.",
                          linkType),
                   frames);
}
CaptureReadResult Unsupported(unsigned major, unsigned minor, int frames) {
    return Problem(CaptureStatus::Damaged,
                   Format("The capture file's format version %u.%u is not supported.", major, minor), frames);
}

bool IsLapd(std::uint32_t linkType) { return linkType == kLinkTypeLinuxLapd || linkType == kLinkTypeLapd; }

// Reads through a byte source and counts the offset, for messages.
class Input {
public:
    explicit Input(ByteSource& source) : m_source(source) {}
    // Appends up to n bytes to `into`; answers how many came.
    std::size_t Append(Bytes& into, std::size_t n) {
        const std::size_t old = into.size();
        into.resize(old + n);
        const std::size_t got = m_source.Read(into.data() + old, n);
        into.resize(old + got);
        m_offset += got;
        return got;
    }
    std::uint64_t Offset() const { return m_offset; }

private:
    ByteSource& m_source;
    std::uint64_t m_offset = 0;
};

// Splits a link type 177 packet into the side that sent it and the frame.
// The packet type says how the frame met the capturing host: 4 it sent the
// frame itself; 3 it overheard a frame meant for another host, which on a
// basic-rate bus is another terminal talking to the network, so the user
// side whichever side the host is on; 0 to 2 (to this host, broadcast,
// multicast) and any other type it received the frame from the other side.
// Address octet 0 is set when the host was the network side.
bool SplitLinuxLapd(std::span<const std::uint8_t> packet, FrameSide& side, std::span<const std::uint8_t>& lapd) {
    const FieldReader header(packet, ByteOrder::Big);
    const auto packetType = header.U16(0);
    const auto networkHost = header.U8(6);
    if (!packetType || !networkHost || packet.size() < kLapdPseudoHeaderSize) return false;
    const FrameSide hostSide = *networkHost != 0 ? FrameSide::Network : FrameSide::User;
    const FrameSide otherSide = *networkHost != 0 ? FrameSide::User : FrameSide::Network;
    switch (*packetType) {
        case kPacketSent: side = hostSide; break;
        case kPacketOtherHost: side = FrameSide::User; break;
        default: side = otherSide; break;
    }
    lapd = packet.subspan(kLapdPseudoHeaderSize);
    return true;
}

// Delivers one packet of the given link type; false when a 177 packet is too
// short for its pseudo-header.
bool Deliver(std::uint32_t linkType, std::span<const std::uint8_t> packet, std::int64_t seconds,
             std::uint32_t nanoseconds, FrameSide side,
             const std::function<void(const CaptureFrame&)>& onFrame) {
    CaptureFrame frame;
    frame.seconds = seconds + nanoseconds / 1000000000;
    frame.nanoseconds = nanoseconds % 1000000000;
    frame.side = side;
    frame.lapd = packet;
    if (linkType == kLinkTypeLinuxLapd && !SplitLinuxLapd(packet, frame.side, frame.lapd)) return false;
    onFrame(frame);
    return true;
}

CaptureReadResult ReadPcap(Input& in, Bytes& head, const std::function<void(const CaptureFrame&)>& onFrame) {
    const std::uint32_t magic = LittleU32(head);
    const ByteOrder order =
        magic == kPcapMagicMicro || magic == kPcapMagicNano ? ByteOrder::Little : ByteOrder::Big;
    const bool nano = magic == kPcapMagicNano || magic == Swap32(kPcapMagicNano);
    if (in.Append(head, kPcapFileHeaderSize - head.size()) + 4 < kPcapFileHeaderSize)
        return Damaged("it is too short to hold its file header", 0);
    const FieldReader header(head, order);
    if (*header.U16(4) != 2) return Unsupported(*header.U16(4), *header.U16(6), 0);
    // The snapshot length is not needed: every packet says its own length,
    // and a file that gives 0 (meaning no limit to some writers) reads the same.
    const std::uint32_t linkType = *header.U32(20) & 0xFFFF;  // the upper bits tell about checksums
    if (!IsLapd(linkType)) return UnknownLinkType(linkType, 0);

    int frames = 0;
    Bytes packet;
    for (;;) {
        packet.clear();
        const std::size_t got = in.Append(packet, kPcapPacketHeaderSize);
        if (got == 0) return {CaptureStatus::Ok, {}, frames};
        if (got < kPcapPacketHeaderSize) return Truncated(frames);
        // Read the header's fields before the body is appended: that may move the bytes.
        const FieldReader ph(packet, order);
        const std::uint32_t capturedLength = *ph.U32(8);
        const std::uint32_t wholeSeconds = *ph.U32(0);
        const std::uint64_t fraction = *ph.U32(4);
        if (capturedLength > kMaxPacketLength)
            return Damaged(Format("packet %d claims %u octets", frames + 1, capturedLength), frames);
        if (in.Append(packet, capturedLength) < capturedLength) return Truncated(frames);
        const auto nanoseconds = static_cast<std::uint32_t>(nano ? fraction % 1000000000 : fraction % 1000000 * 1000);
        const std::int64_t seconds = std::int64_t{wholeSeconds} +
                                     static_cast<std::int64_t>(nano ? fraction / 1000000000 : fraction / 1000000);
        if (!Deliver(linkType, std::span<const std::uint8_t>(packet).subspan(kPcapPacketHeaderSize), seconds,
                     nanoseconds, FrameSide::Unknown, onFrame))
            return Damaged(Format("packet %d is shorter than its 16-octet LAPD header", frames + 1), frames);
        ++frames;
    }
}

// One interface of a pcapng section.
struct Interface {
    std::uint32_t linkType = 0;
    std::uint32_t snapLength = 0;
    std::uint8_t resolution = 6;  // if_tsresol: 10^-6 unless the block says otherwise
    std::int64_t offset = 0;      // if_tsoffset, seconds
};

// Calls visit(code, value) for each option from `at` to `end`; options are
// padded to 4 octets. False when an option claims more octets than the block
// has left: the block is damaged, and its packet with it.
template <typename Visit>
bool ForEachOption(const FieldReader& block, std::size_t at, std::size_t end, Visit visit) {
    while (at + 4 <= end) {
        const std::uint16_t code = *block.U16(at);
        const std::uint16_t length = *block.U16(at + 2);
        if (code == kOptEnd) return true;
        const std::size_t padded = (std::size_t{length} + 3) & ~std::size_t{3};
        if (padded > end - at - 4) return false;
        visit(code, FieldReader(*block.Bytes(at + 4, length), block.Order()));
        at += 4 + padded;
    }
    return at == end;
}

FrameSide SideOfFlags(std::uint32_t flags) {
    switch (flags & 3) {
        case kFlagsInbound: return FrameSide::Network;  // we are the user side
        case kFlagsOutbound: return FrameSide::User;
        default: return FrameSide::Unknown;
    }
}

// Time stamp units to seconds and nanoseconds: 10^-p, or 2^-p when bit 7 of
// the resolution is set.
void SplitStamp(std::uint64_t units, std::uint8_t resolution, std::int64_t& seconds, std::uint32_t& nanoseconds) {
    std::uint64_t whole = 0;
    std::uint64_t nanos = 0;
    if (resolution & 0x80) {
        const unsigned p = std::min(resolution & 0x7Fu, 63u);
        whole = units >> p;
        std::uint64_t fraction = units & ((std::uint64_t{1} << p) - 1);
        unsigned bits = p;
        if (bits > 32) {  // keep fraction × 10^9 inside 64 bits
            fraction >>= bits - 32;
            bits = 32;
        }
        nanos = (fraction * 1000000000) >> bits;
    } else {
        const unsigned p = std::min(resolution & 0xFFu, 19u);
        std::uint64_t divisor = 1;
        for (unsigned i = 0; i < p; ++i) divisor *= 10;
        whole = units / divisor;
        nanos = units % divisor;
        for (unsigned i = p; i < 9; ++i) nanos *= 10;
        for (unsigned i = 9; i < p; ++i) nanos /= 10;
    }
    seconds = static_cast<std::int64_t>(whole);
    nanoseconds = static_cast<std::uint32_t>(nanos);
}

// Packets of a pcapng file that are not LAPD.
struct Skipped {
    int packets = 0;
    std::uint32_t linkType = 0;  // of the first one
    bool lapdInterface = false;  // whether any interface was LAPD at all
};

CaptureReadResult ReadPcapNgBlocks(Input& in, Bytes& block, const std::function<void(const CaptureFrame&)>& onFrame,
                                   Skipped& skipped) {
    ByteOrder order = ByteOrder::Little;
    std::vector<Interface> interfaces;
    int frames = 0;
    bool first = true;
    for (;;) {
        std::uint64_t blockOffset = 0;
        if (!first) {
            block.clear();
            blockOffset = in.Offset();
            const std::size_t got = in.Append(block, 8);
            if (got == 0) return {CaptureStatus::Ok, {}, frames};
            if (got < 8) return Truncated(frames);
        } else if (in.Append(block, 8 - block.size()) + 4 < 8) {
            return Damaged("it is too short to hold its section header", 0);
        }
        std::uint32_t type = LittleU32(block);  // the section header's type reads the same both ways
        if (type == kBlockSectionHeader) {
            if (in.Append(block, 4) < 4) return first ? Damaged("it is too short to hold its section header", 0)
                                                      : Truncated(frames);
            const std::uint32_t bom = LittleU32(block, 8);
            if (bom == kByteOrderMagic) {
                order = ByteOrder::Little;
            } else if (bom == Swap32(kByteOrderMagic)) {
                order = ByteOrder::Big;
            } else {
                return Damaged(Format("the section header at offset %llu has no byte-order mark",
                                      static_cast<unsigned long long>(blockOffset)),
                               frames);
            }
        }
        first = false;
        const std::uint32_t length = *FieldReader(block, order).U32(4);
        type = *FieldReader(block, order).U32(0);
        const std::uint32_t minimum = type == kBlockSectionHeader ? 28 : 12;
        if (length < minimum || length % 4 != 0 || length > kMaxBlockLength)
            return Damaged(Format("the block at offset %llu gives the length %u",
                                  static_cast<unsigned long long>(blockOffset), length),
                           frames);
        const std::size_t rest = length - block.size();
        if (in.Append(block, rest) < rest) return Truncated(frames);
        const FieldReader b(block, order);
        if (*b.U32(length - 4) != length)
            return Damaged(Format("the block at offset %llu ends with the wrong length",
                                  static_cast<unsigned long long>(blockOffset)),
                           frames);
        const std::size_t optionsEnd = length - 4;

        std::uint32_t interfaceId = 0;
        std::uint64_t units = 0;
        std::span<const std::uint8_t> packet;
        std::uint32_t flags = 0;
        bool timed = true;
        switch (type) {
            case kBlockSectionHeader:
                if (*b.U16(12) != 1) return Unsupported(*b.U16(12), *b.U16(14), frames);
                interfaces.clear();  // interface numbers start again in each section
                continue;
            case kBlockInterface: {
                Interface itf;
                if (length < 20)
                    return Damaged(Format("the interface block at offset %llu is too short",
                                          static_cast<unsigned long long>(blockOffset)),
                                   frames);
                itf.linkType = *b.U16(8);
                itf.snapLength = *b.U32(12);
                const bool whole = ForEachOption(b, 16, optionsEnd, [&](std::uint16_t code, const FieldReader& value) {
                    if (code == kOptIfTsResol && value.Size() >= 1) itf.resolution = *value.U8(0);
                    if (code == kOptIfTsOffset && value.Size() >= 8)
                        itf.offset = static_cast<std::int64_t>(*value.U64(0));
                });
                if (!whole)
                    return Damaged(Format("the options of the interface block at offset %llu run past its end",
                                          static_cast<unsigned long long>(blockOffset)),
                                   frames);
                skipped.lapdInterface = skipped.lapdInterface || IsLapd(itf.linkType);
                interfaces.push_back(itf);
                continue;
            }
            case kBlockEnhancedPacket:
            case kBlockObsoletePacket: {
                if (length < 32) return Damaged(Format("packet %d has a short block", frames + 1), frames);
                interfaceId = type == kBlockEnhancedPacket ? *b.U32(8) : *b.U16(8);
                units = std::uint64_t{*b.U32(12)} << 32 | *b.U32(16);
                const std::uint32_t capturedLength = *b.U32(20);
                const auto data = b.Bytes(28, capturedLength);
                if (!data || 28 + ((std::size_t{capturedLength} + 3) & ~std::size_t{3}) > optionsEnd)
                    return Damaged(Format("packet %d claims more octets than its block holds", frames + 1), frames);
                packet = *data;
                if (!ForEachOption(b, 28 + ((capturedLength + 3u) & ~3u), optionsEnd,
                                   [&](std::uint16_t code, const FieldReader& value) {
                                       if (code == kOptPacketFlags && value.Size() >= 4) flags = *value.U32(0);
                                   }))
                    return Damaged(Format("the options of packet %d run past the end of its block",
                                          frames + 1),
                                   frames);
                break;
            }
            case kBlockSimplePacket: {
                if (length < 16) return Damaged(Format("packet %d has a short block", frames + 1), frames);
                // No time stamp and no flags; the captured part is what the
                // block holds, up to the original length and the snapshot length.
                std::size_t captured = std::min<std::size_t>(*b.U32(8), optionsEnd - 12);
                if (!interfaces.empty() && interfaces[0].snapLength != 0)
                    captured = std::min<std::size_t>(captured, interfaces[0].snapLength);
                packet = *b.Bytes(12, captured);
                timed = false;
                break;
            }
            default:
                continue;  // statistics, name resolution, comments: nothing to show
        }
        if (interfaceId >= interfaces.size())
            return Damaged(Format("packet %d names interface %u, which the file does not describe", frames + 1,
                                  interfaceId),
                           frames);
        const Interface& itf = interfaces[interfaceId];
        if (!IsLapd(itf.linkType)) {
            // Another interface of the capture (Ethernet beside the D-channel):
            // its packets are not ours to show, the LAPD ones still are.
            if (skipped.packets++ == 0) skipped.linkType = itf.linkType;
            continue;
        }
        std::int64_t seconds = 0;
        std::uint32_t nanoseconds = 0;
        if (timed) {
            SplitStamp(units, itf.resolution, seconds, nanoseconds);
            seconds += itf.offset;
        }
        if (!Deliver(itf.linkType, packet, seconds, nanoseconds, SideOfFlags(flags), onFrame))
            return Damaged(Format("packet %d is shorter than its 16-octet LAPD header", frames + 1), frames);
        ++frames;
    }
}

CaptureReadResult ReadPcapNg(Input& in, Bytes& block, const std::function<void(const CaptureFrame&)>& onFrame) {
    Skipped skipped;
    CaptureReadResult result = ReadPcapNgBlocks(in, block, onFrame, skipped);
    // A file with no LAPD interface at all is not a D-channel capture.
    if (result.status == CaptureStatus::Ok && result.frames == 0 && skipped.packets > 0 && !skipped.lapdInterface)
        return UnknownLinkType(skipped.linkType, 0);
    result.skippedPackets = skipped.packets;
    result.skippedLinkType = skipped.linkType;
    return result;
}

}  // namespace

std::size_t MemorySource::Read(std::uint8_t* out, std::size_t n) {
    const std::size_t take = std::min(n, m_bytes.size() - m_pos);
    if (take > 0) std::memcpy(out, m_bytes.data() + m_pos, take);
    m_pos += take;
    return take;
}

bool IsCaptureMagic(std::span<const std::uint8_t> head) {
    if (head.size() < 4) return false;
    const std::uint32_t m = LittleU32(head);
    return m == kPcapMagicMicro || m == kPcapMagicNano || m == Swap32(kPcapMagicMicro) ||
           m == Swap32(kPcapMagicNano) || m == kBlockSectionHeader;
}

CaptureReadResult ReadCapture(ByteSource& source, const std::function<void(const CaptureFrame&)>& onFrame) {
    Input in(source);
    Bytes head;
    if (in.Append(head, 4) < 4 || !IsCaptureMagic(head))
        return Problem(CaptureStatus::NotCapture, "This file is not a pcap or pcapng capture file.", 0);
    if (LittleU32(head) == kBlockSectionHeader) return ReadPcapNg(in, head, onFrame);
    return ReadPcap(in, head, onFrame);
}

}  // namespace trace
