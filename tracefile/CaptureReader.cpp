// The pcap and pcapng readers: no record, no file, no message; just frames.
#include "tracefile/CaptureReader.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

namespace tracefile {
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
    CaptureReadResult result;
    result.status = status;
    result.message = std::move(message);
    result.frames = frames;
    return result;
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
bool SplitLinuxLapd(std::span<const std::uint8_t> packet, FrameSide& side, std::span<const std::uint8_t>& lapd) {
    const FieldReader header(packet, ByteOrder::Big);
    const auto packetType = header.U16(0);
    const auto networkHost = header.U8(6);
    if (!packetType || !networkHost || packet.size() < kLapdPseudoHeaderSize) return false;
    side = LinuxLapdSide(*packetType, *networkHost != 0);
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

// "Carry on" (nullopt), or the result the read ends with.
using Stop = std::optional<CaptureReadResult>;

// Reads a classic pcap file: the file header first, then one packet a step.
class PcapReader final : public CaptureReader {
public:
    PcapReader(const Input& in, Bytes head) : m_in(in), m_packet(std::move(head)) {}

    std::optional<CaptureReadResult> Read(int frames, const FrameSink& onFrame) override {
        if (!m_started) {
            m_started = true;
            if (Stop stop = ReadFileHeader()) return Finish(std::move(*stop));
        }
        for (const int before = m_frames; m_frames - before < frames;) {
            if (Stop stop = ReadPacket(onFrame)) return Finish(std::move(*stop));
        }
        return std::nullopt;
    }
    std::uint64_t BytesRead() const override { return m_in.Offset(); }

private:
    Stop ReadFileHeader() {
        const std::uint32_t magic = LittleU32(m_packet);
        m_order = magic == kPcapMagicMicro || magic == kPcapMagicNano ? ByteOrder::Little : ByteOrder::Big;
        m_nano = magic == kPcapMagicNano || magic == Swap32(kPcapMagicNano);
        if (m_in.Append(m_packet, kPcapFileHeaderSize - m_packet.size()) + 4 < kPcapFileHeaderSize)
            return CaptureDamaged("it is too short to hold its file header", 0);
        const FieldReader header(m_packet, m_order);
        if (*header.U16(4) != 2) return Unsupported(*header.U16(4), *header.U16(6), 0);
        // The snapshot length is not needed: every packet says its own length,
        // and a file that gives 0 (meaning no limit to some writers) reads the same.
        m_linkType = *header.U32(20) & 0xFFFF;  // the upper bits tell about checksums
        return std::nullopt;
    }

    Stop ReadPacket(const FrameSink& onFrame) {
        m_packet.clear();
        const std::size_t got = m_in.Append(m_packet, kPcapPacketHeaderSize);
        if (got == 0) return Problem(CaptureStatus::Ok, {}, m_frames);
        if (got < kPcapPacketHeaderSize) return CaptureTruncated(m_frames);
        // Read the header's fields before the body is appended: that may move the bytes.
        const FieldReader ph(m_packet, m_order);
        const std::uint32_t capturedLength = *ph.U32(8);
        const std::uint32_t wholeSeconds = *ph.U32(0);
        const std::uint64_t fraction = *ph.U32(4);
        const int number = m_frames + m_skipped.Count() + 1;
        if (capturedLength > kMaxPacketLength)
            return CaptureDamaged(Format("packet %d claims %u octets", number, capturedLength), m_frames);
        if (m_in.Append(m_packet, capturedLength) < capturedLength) return CaptureTruncated(m_frames);
        if (!IsLapd(m_linkType)) {
            m_skipped.Add(LinkTypeName(m_linkType));
            return std::nullopt;
        }
        const auto nanoseconds =
            static_cast<std::uint32_t>(m_nano ? fraction % 1000000000 : fraction % 1000000 * 1000);
        const std::int64_t seconds = std::int64_t{wholeSeconds} +
                                     static_cast<std::int64_t>(m_nano ? fraction / 1000000000 : fraction / 1000000);
        if (!Deliver(m_linkType, std::span<const std::uint8_t>(m_packet).subspan(kPcapPacketHeaderSize), seconds,
                     nanoseconds, FrameSide::Unknown, onFrame))
            return CaptureDamaged(Format("packet %d is shorter than its 16-octet LAPD header", number), m_frames);
        ++m_frames;
        return std::nullopt;
    }

    CaptureReadResult Finish(CaptureReadResult result) {
        // A file of another link type says what it holds; it may hold no packet at all.
        if (result.status == CaptureStatus::Ok && !IsLapd(m_linkType)) {
            if (m_skipped.Count() > 0) return m_skipped.NoLapd("pcap");
            return Problem(CaptureStatus::NoLapd,
                           "This capture file (pcap) holds no frames, and its link type, " + LinkTypeName(m_linkType) +
                               ", is not LAPD.",
                           0);
        }
        return result;
    }

    Input m_in;
    Bytes m_packet;
    bool m_started = false;
    ByteOrder m_order = ByteOrder::Little;
    bool m_nano = false;
    std::uint32_t m_linkType = 0;
    int m_frames = 0;
    SkippedPackets m_skipped;
};

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

// What a packet block carries, before its interface is looked up.
struct BlockPacket {
    std::uint32_t interfaceId = 0;
    bool timed = true;        // a simple packet block has no time stamp
    std::uint64_t units = 0;  // the time stamp in the interface's units
    std::uint32_t flags = 0;  // epb_flags
    std::span<const std::uint8_t> data;
};

// Reads the blocks of a pcapng file one at a time: the loop reads a whole
// block and hands it to the reader of its type. Keeps what the blocks read
// so far tell: the section's byte order and interfaces, the frames delivered.
class PcapNgReader final : public CaptureReader {
public:
    PcapNgReader(const Input& in, Bytes head) : m_in(in), m_block(std::move(head)) {}

    std::optional<CaptureReadResult> Read(int frames, const FrameSink& onFrame) override {
        m_onFrame = &onFrame;
        for (const int before = m_frames; m_frames - before < frames;) {
            if (Stop stop = Step()) return Finish(std::move(*stop));
        }
        return std::nullopt;
    }
    std::uint64_t BytesRead() const override { return m_in.Offset(); }

private:
    // Reads one block and hands it to the reader of its type.
    Stop Step() {
        const bool first = m_first;
        m_first = false;
        const std::uint64_t offset = first ? 0 : m_in.Offset();
        if (Stop stop = ReadBlock(first, offset)) return stop;
        const FieldReader b(m_block, m_order);
        const std::uint32_t type = *b.U32(0);
        switch (type) {
            case kBlockSectionHeader: return SectionHeader(b);
            case kBlockInterface: return InterfaceDescription(b, offset);
            case kBlockEnhancedPacket:
            case kBlockObsoletePacket: return EnhancedPacket(b, type);
            case kBlockSimplePacket: return SimplePacket(b);
            default: return std::nullopt;  // statistics, name resolution, comments: nothing to show
        }
    }

    CaptureReadResult Finish(CaptureReadResult result) {
        // A file with no LAPD interface at all is not a D-channel capture: it
        // says what it holds.
        if (result.status == CaptureStatus::Ok && result.frames == 0 && m_skipped.Count() > 0 && !m_lapdInterface)
            return m_skipped.NoLapd("pcapng");
        m_skipped.Into(result);
        return result;
    }

private:
    // Reads the next block whole into m_block, its length checked at both
    // ends; a section header's byte-order mark sets the order first. Stops
    // with Ok at the end of the file.
    Stop ReadBlock(bool first, std::uint64_t offset) {
        if (!first) {
            m_block.clear();
            const std::size_t got = m_in.Append(m_block, 8);
            if (got == 0) return Problem(CaptureStatus::Ok, {}, m_frames);
            if (got < 8) return CaptureTruncated(m_frames);
        } else if (m_in.Append(m_block, 8 - m_block.size()) + 4 < 8) {
            return CaptureDamaged("it is too short to hold its section header", 0);
        }
        // The section header's type reads the same both ways.
        if (LittleU32(m_block) == kBlockSectionHeader) {
            if (Stop stop = ReadByteOrderMark(first, offset)) return stop;
        }
        const FieldReader head(m_block, m_order);
        const std::uint32_t length = *head.U32(4);
        const std::uint32_t minimum = *head.U32(0) == kBlockSectionHeader ? 28 : 12;
        if (length < minimum || length % 4 != 0 || length > kMaxBlockLength)
            return CaptureDamaged(Format("the block at offset %llu gives the length %u",
                                  static_cast<unsigned long long>(offset), length),
                           m_frames);
        const std::size_t rest = length - m_block.size();
        if (m_in.Append(m_block, rest) < rest) return CaptureTruncated(m_frames);
        if (*FieldReader(m_block, m_order).U32(length - 4) != length)
            return CaptureDamaged(Format("the block at offset %llu ends with the wrong length",
                                  static_cast<unsigned long long>(offset)),
                           m_frames);
        return std::nullopt;
    }

    Stop ReadByteOrderMark(bool first, std::uint64_t offset) {
        if (m_in.Append(m_block, 4) < 4)
            return first ? CaptureDamaged("it is too short to hold its section header", 0) : CaptureTruncated(m_frames);
        const std::uint32_t bom = LittleU32(m_block, 8);
        if (bom == kByteOrderMagic) {
            m_order = ByteOrder::Little;
        } else if (bom == Swap32(kByteOrderMagic)) {
            m_order = ByteOrder::Big;
        } else {
            return CaptureDamaged(Format("the section header at offset %llu has no byte-order mark",
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
            return CaptureDamaged(Format("the interface block at offset %llu is too short",
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
            return CaptureDamaged(Format("the options of the interface block at offset %llu run past its end",
                                  static_cast<unsigned long long>(offset)),
                           m_frames);
        m_lapdInterface = m_lapdInterface || IsLapd(itf.linkType);
        m_interfaces.push_back(itf);
        return std::nullopt;
    }

    // An enhanced packet block, or the obsolete packet block it replaced
    // (whose interface number has 16 bits).
    Stop EnhancedPacket(const FieldReader& b, std::uint32_t type) {
        if (b.Size() < 32) return CaptureDamaged(Format("packet %d has a short block", m_frames + 1), m_frames);
        BlockPacket packet;
        packet.interfaceId = type == kBlockEnhancedPacket ? *b.U32(8) : *b.U16(8);
        packet.units = std::uint64_t{*b.U32(12)} << 32 | *b.U32(16);
        const std::uint32_t capturedLength = *b.U32(20);
        const std::size_t optionsEnd = OptionsEnd(b);
        const auto data = b.Bytes(28, capturedLength);
        if (!data || 28 + ((std::size_t{capturedLength} + 3) & ~std::size_t{3}) > optionsEnd)
            return CaptureDamaged(Format("packet %d claims more octets than its block holds", m_frames + 1), m_frames);
        packet.data = *data;
        if (!ForEachOption(b, 28 + ((capturedLength + 3u) & ~3u), optionsEnd,
                           [&](std::uint16_t code, const FieldReader& value) {
                               if (code == kOptPacketFlags && value.Size() >= 4) packet.flags = *value.U32(0);
                           }))
            return CaptureDamaged(Format("the options of packet %d run past the end of its block", m_frames + 1),
                           m_frames);
        return DeliverPacket(packet);
    }

    // No time stamp and no flags; the captured part is what the block holds,
    // up to the original length and the snapshot length.
    Stop SimplePacket(const FieldReader& b) {
        if (b.Size() < 16) return CaptureDamaged(Format("packet %d has a short block", m_frames + 1), m_frames);
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
            return CaptureDamaged(Format("packet %d names interface %u, which the file does not describe", m_frames + 1,
                                  packet.interfaceId),
                           m_frames);
        const Interface& itf = m_interfaces[packet.interfaceId];
        if (!IsLapd(itf.linkType)) {
            // Another interface of the capture (Ethernet beside the D-channel):
            // its packets are not ours to show, the LAPD ones still are.
            m_skipped.Add(LinkTypeName(itf.linkType));
            return std::nullopt;
        }
        std::int64_t seconds = 0;
        std::uint32_t nanoseconds = 0;
        if (packet.timed) {
            SplitStamp(packet.units, itf.resolution, seconds, nanoseconds);
            seconds += itf.offset;
        }
        if (!Deliver(itf.linkType, packet.data, seconds, nanoseconds, SideOfFlags(packet.flags), *m_onFrame))
            return CaptureDamaged(Format("packet %d is shorter than its 16-octet LAPD header", m_frames + 1), m_frames);
        ++m_frames;
        return std::nullopt;
    }

    Input m_in;
    Bytes m_block;
    const FrameSink* m_onFrame = nullptr;
    bool m_first = true;
    SkippedPackets m_skipped;
    bool m_lapdInterface = false;  // whether any interface was LAPD at all
    ByteOrder m_order = ByteOrder::Little;
    std::vector<Interface> m_interfaces;
    int m_frames = 0;
};

// A file without a capture magic.
class NotCaptureReader final : public CaptureReader {
public:
    explicit NotCaptureReader(std::uint64_t read) : m_read(read) {}
    std::optional<CaptureReadResult> Read(int, const FrameSink&) override {
        return Problem(CaptureStatus::NotCapture, "This file is not a pcap or pcapng capture file.", 0);
    }
    std::uint64_t BytesRead() const override { return m_read; }

private:
    std::uint64_t m_read;
};

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

std::unique_ptr<CaptureReader> NewPcapReader(ByteSource& source) {
    Input in(source);
    Bytes head;
    if (in.Append(head, 4) < 4 || !IsCaptureMagic(head)) return std::make_unique<NotCaptureReader>(in.Offset());
    if (LittleU32(head) == kBlockSectionHeader) return std::make_unique<PcapNgReader>(in, std::move(head));
    return std::make_unique<PcapReader>(in, std::move(head));
}

CaptureReadResult ReadCapture(ByteSource& source, const FrameSink& onFrame) {
    const std::unique_ptr<CaptureReader> reader = NewPcapReader(source);
    for (;;) {
        if (auto result = reader->Read(std::numeric_limits<int>::max(), onFrame)) return *result;
    }
}

FrameSide LinuxLapdSide(std::uint16_t packetType, bool networkHost) {
    const FrameSide hostSide = networkHost ? FrameSide::Network : FrameSide::User;
    const FrameSide otherSide = networkHost ? FrameSide::User : FrameSide::Network;
    switch (packetType) {
        case kPacketSent: return hostSide;
        case kPacketOtherHost: return FrameSide::User;
        default: return otherSide;
    }
}

FrameSide SideOfFlags(std::uint32_t flags) {
    switch (flags & 3) {
        case kFlagsInbound: return FrameSide::Network;  // we are the user side
        case kFlagsOutbound: return FrameSide::User;
        default: return FrameSide::Unknown;
    }
}

void SkippedPackets::Add(const std::string& kind) {
    ++m_count;
    for (auto& [name, count] : m_kinds) {
        if (name == kind) {
            ++count;
            return;
        }
    }
    m_kinds.emplace_back(kind, 1);
}

void SkippedPackets::Into(CaptureReadResult& result) const {
    result.skippedPackets = m_count;
    result.skippedKind = m_kinds.empty() ? std::string() : m_kinds.front().first;
}

CaptureReadResult SkippedPackets::NoLapd(const std::string& format) const {
    // The kinds the file holds, most frequent first: "DPNSS (92) and EyeSDN Layer 1 event (8)".
    std::vector<std::pair<std::string, int>> kinds = m_kinds;
    std::stable_sort(kinds.begin(), kinds.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string what;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (i > 0) what += i + 1 == kinds.size() ? " and " : ", ";
        what += kinds[i].first;
        if (kinds.size() > 1) what += " (" + std::to_string(kinds[i].second) + ")";
    }
    const std::string text = "This capture file (" + format + ") holds " + std::to_string(m_count) +
                             (m_count == 1 ? " frame of " + what + ", which is not LAPD."
                                           : " frames of " + what + ", none of them LAPD.");
    CaptureReadResult result = Problem(CaptureStatus::NoLapd, text, 0);
    Into(result);
    return result;
}

CaptureReadResult CaptureDamaged(const std::string& what, int frames) {
    return Problem(CaptureStatus::Damaged, "The capture file is damaged: " + what + ".", frames);
}

CaptureReadResult CaptureTruncated(int frames) {
    return Problem(CaptureStatus::Truncated,
                   "The capture file ends in the middle of a packet; the frames before it are shown.", frames);
}

}  // namespace tracefile
