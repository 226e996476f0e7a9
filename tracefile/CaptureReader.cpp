// The pcap and pcapng readers: no record, no file, no message; just frames.
#include "tracefile/CaptureReader.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>

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

// What a packet block carries, before its interface is looked up.
struct BlockPacket {
    std::uint32_t interfaceId = 0;
    bool timed = true;        // a simple packet block has no time stamp
    std::uint64_t units = 0;  // the time stamp in the interface's units
    std::uint32_t flags = 0;  // epb_flags
    std::span<const std::uint8_t> data;
};

// "Carry on" (nullopt), or the result the read ends with.
using Stop = std::optional<CaptureReadResult>;

// Reads the blocks of a pcapng file one at a time: the loop reads a whole
// block and hands it to the reader of its type. Keeps what the blocks read
// so far tell: the section's byte order and interfaces, the frames delivered.
class PcapNgBlocks {
public:
    PcapNgBlocks(Input& in, Bytes& block, const std::function<void(const CaptureFrame&)>& onFrame, Skipped& skipped)
        : m_in(in), m_block(block), m_onFrame(onFrame), m_skipped(skipped) {}

    CaptureReadResult Read() {
        for (bool first = true;; first = false) {
            const std::uint64_t offset = first ? 0 : m_in.Offset();
            if (Stop stop = ReadBlock(first, offset)) return *stop;
            const FieldReader b(m_block, m_order);
            const std::uint32_t type = *b.U32(0);
            Stop stop;
            switch (type) {
                case kBlockSectionHeader: stop = SectionHeader(b); break;
                case kBlockInterface: stop = InterfaceDescription(b, offset); break;
                case kBlockEnhancedPacket:
                case kBlockObsoletePacket: stop = EnhancedPacket(b, type); break;
                case kBlockSimplePacket: stop = SimplePacket(b); break;
                default: break;  // statistics, name resolution, comments: nothing to show
            }
            if (stop) return *stop;
        }
    }

private:
    // Reads the next block whole into m_block, its length checked at both
    // ends; a section header's byte-order mark sets the order first. Stops
    // with Ok at the end of the file.
    Stop ReadBlock(bool first, std::uint64_t offset) {
        if (!first) {
            m_block.clear();
            const std::size_t got = m_in.Append(m_block, 8);
            if (got == 0) return CaptureReadResult{CaptureStatus::Ok, {}, m_frames};
            if (got < 8) return Truncated(m_frames);
        } else if (m_in.Append(m_block, 8 - m_block.size()) + 4 < 8) {
            return Damaged("it is too short to hold its section header", 0);
        }
        // The section header's type reads the same both ways.
        if (LittleU32(m_block) == kBlockSectionHeader) {
            if (Stop stop = ReadByteOrderMark(first, offset)) return stop;
        }
        const FieldReader head(m_block, m_order);
        const std::uint32_t length = *head.U32(4);
        const std::uint32_t minimum = *head.U32(0) == kBlockSectionHeader ? 28 : 12;
        if (length < minimum || length % 4 != 0 || length > kMaxBlockLength)
            return Damaged(Format("the block at offset %llu gives the length %u",
                                  static_cast<unsigned long long>(offset), length),
                           m_frames);
        const std::size_t rest = length - m_block.size();
        if (m_in.Append(m_block, rest) < rest) return Truncated(m_frames);
        if (*FieldReader(m_block, m_order).U32(length - 4) != length)
            return Damaged(Format("the block at offset %llu ends with the wrong length",
                                  static_cast<unsigned long long>(offset)),
                           m_frames);
        return std::nullopt;
    }

    Stop ReadByteOrderMark(bool first, std::uint64_t offset) {
        if (m_in.Append(m_block, 4) < 4)
            return first ? Damaged("it is too short to hold its section header", 0) : Truncated(m_frames);
        const std::uint32_t bom = LittleU32(m_block, 8);
        if (bom == kByteOrderMagic) {
            m_order = ByteOrder::Little;
        } else if (bom == Swap32(kByteOrderMagic)) {
            m_order = ByteOrder::Big;
        } else {
            return Damaged(Format("the section header at offset %llu has no byte-order mark",
                                  static_cast<unsigned long long>(offset)),
                           m_frames);
        }
        return std::nullopt;
    }

    // Where a block's options end: before its trailing length.
    static std::size_t OptionsEnd(const FieldReader& b) { return b.Size() - 4; }

    Stop SectionHeader(const FieldReader& b) {
        if (*b.U16(12) != 1) return Unsupported(*b.U16(12), *b.U16(14), m_frames);
        m_interfaces.clear();  // interface numbers start again in each section
        return std::nullopt;
    }

    Stop InterfaceDescription(const FieldReader& b, std::uint64_t offset) {
        if (b.Size() < 20)
            return Damaged(Format("the interface block at offset %llu is too short",
                                  static_cast<unsigned long long>(offset)),
                           m_frames);
        Interface itf;
        itf.linkType = *b.U16(8);
        itf.snapLength = *b.U32(12);
        const bool whole = ForEachOption(b, 16, OptionsEnd(b), [&](std::uint16_t code, const FieldReader& value) {
            if (code == kOptIfTsResol && value.Size() >= 1) itf.resolution = *value.U8(0);
            if (code == kOptIfTsOffset && value.Size() >= 8) itf.offset = static_cast<std::int64_t>(*value.U64(0));
        });
        if (!whole)
            return Damaged(Format("the options of the interface block at offset %llu run past its end",
                                  static_cast<unsigned long long>(offset)),
                           m_frames);
        m_skipped.lapdInterface = m_skipped.lapdInterface || IsLapd(itf.linkType);
        m_interfaces.push_back(itf);
        return std::nullopt;
    }

    // An enhanced packet block, or the obsolete packet block it replaced
    // (whose interface number has 16 bits).
    Stop EnhancedPacket(const FieldReader& b, std::uint32_t type) {
        if (b.Size() < 32) return Damaged(Format("packet %d has a short block", m_frames + 1), m_frames);
        BlockPacket packet;
        packet.interfaceId = type == kBlockEnhancedPacket ? *b.U32(8) : *b.U16(8);
        packet.units = std::uint64_t{*b.U32(12)} << 32 | *b.U32(16);
        const std::uint32_t capturedLength = *b.U32(20);
        const std::size_t optionsEnd = OptionsEnd(b);
        const auto data = b.Bytes(28, capturedLength);
        if (!data || 28 + ((std::size_t{capturedLength} + 3) & ~std::size_t{3}) > optionsEnd)
            return Damaged(Format("packet %d claims more octets than its block holds", m_frames + 1), m_frames);
        packet.data = *data;
        if (!ForEachOption(b, 28 + ((capturedLength + 3u) & ~3u), optionsEnd,
                           [&](std::uint16_t code, const FieldReader& value) {
                               if (code == kOptPacketFlags && value.Size() >= 4) packet.flags = *value.U32(0);
                           }))
            return Damaged(Format("the options of packet %d run past the end of its block", m_frames + 1),
                           m_frames);
        return DeliverPacket(packet);
    }

    // No time stamp and no flags; the captured part is what the block holds,
    // up to the original length and the snapshot length.
    Stop SimplePacket(const FieldReader& b) {
        if (b.Size() < 16) return Damaged(Format("packet %d has a short block", m_frames + 1), m_frames);
        std::size_t captured = std::min<std::size_t>(*b.U32(8), OptionsEnd(b) - 12);
        if (!m_interfaces.empty() && m_interfaces[0].snapLength != 0)
            captured = std::min<std::size_t>(captured, m_interfaces[0].snapLength);
        BlockPacket packet;
        packet.data = *b.Bytes(12, captured);
        packet.timed = false;
        return DeliverPacket(packet);
    }

    Stop DeliverPacket(const BlockPacket& packet) {
        if (packet.interfaceId >= m_interfaces.size())
            return Damaged(Format("packet %d names interface %u, which the file does not describe", m_frames + 1,
                                  packet.interfaceId),
                           m_frames);
        const Interface& itf = m_interfaces[packet.interfaceId];
        if (!IsLapd(itf.linkType)) {
            // Another interface of the capture (Ethernet beside the D-channel):
            // its packets are not ours to show, the LAPD ones still are.
            if (m_skipped.packets++ == 0) m_skipped.linkType = itf.linkType;
            return std::nullopt;
        }
        std::int64_t seconds = 0;
        std::uint32_t nanoseconds = 0;
        if (packet.timed) {
            SplitStamp(packet.units, itf.resolution, seconds, nanoseconds);
            seconds += itf.offset;
        }
        if (!Deliver(itf.linkType, packet.data, seconds, nanoseconds, SideOfFlags(packet.flags), m_onFrame))
            return Damaged(Format("packet %d is shorter than its 16-octet LAPD header", m_frames + 1), m_frames);
        ++m_frames;
        return std::nullopt;
    }

    Input& m_in;
    Bytes& m_block;
    const std::function<void(const CaptureFrame&)>& m_onFrame;
    Skipped& m_skipped;
    ByteOrder m_order = ByteOrder::Little;
    std::vector<Interface> m_interfaces;
    int m_frames = 0;
};

CaptureReadResult ReadPcapNg(Input& in, Bytes& block, const std::function<void(const CaptureFrame&)>& onFrame) {
    Skipped skipped;
    CaptureReadResult result = PcapNgBlocks(in, block, onFrame, skipped).Read();
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
