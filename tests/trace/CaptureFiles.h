#pragma once
// Test support: byte-exact pcap and pcapng files in either byte order, built
// field by field so that malformed files can be made too.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace capturefiles {

using Bytes = std::vector<std::uint8_t>;

class Writer {
public:
    explicit Writer(bool big) : m_big(big) {}
    Writer& U8(std::uint8_t v) {
        m_out.push_back(v);
        return *this;
    }
    Writer& U16(std::uint16_t v) { return Put(v, 2); }
    Writer& U32(std::uint32_t v) { return Put(v, 4); }
    Writer& Raw(const Bytes& b) {
        m_out.insert(m_out.end(), b.begin(), b.end());
        return *this;
    }
    Writer& Pad() {
        while (m_out.size() % 4 != 0) m_out.push_back(0);
        return *this;
    }
    Bytes& Out() { return m_out; }
    bool Big() const { return m_big; }

private:
    Writer& Put(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) m_out.push_back(static_cast<std::uint8_t>(v >> (8 * (m_big ? n - 1 - i : i))));
        return *this;
    }
    bool m_big;
    Bytes m_out;
};

// The 16-octet LINUX_LAPD pseudo-header in front of a frame.
inline Bytes LinuxLapd(std::uint16_t packetType, std::uint8_t networkHost, const Bytes& frame) {
    Bytes b = {static_cast<std::uint8_t>(packetType >> 8), static_cast<std::uint8_t>(packetType), 0x20, 0xFD, 0, 1,
               networkHost, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x30};
    b.insert(b.end(), frame.begin(), frame.end());
    return b;
}

struct PcapPacket {
    PcapPacket(std::uint32_t s, std::uint32_t f, Bytes d, std::optional<std::uint32_t> captured = {})
        : seconds(s), fraction(f), data(std::move(d)), capturedLength(captured) {}
    std::uint32_t seconds;
    std::uint32_t fraction;  // micro- or nanoseconds, by the file's magic
    Bytes data;
    std::optional<std::uint32_t> capturedLength;  // default: data.size()
};

inline Bytes Pcap(bool big, bool nano, std::uint32_t linkType, const std::vector<PcapPacket>& packets,
                  std::uint32_t snapLength = 65535) {
    Writer w(big);
    w.U32(nano ? 0xA1B23C4D : 0xA1B2C3D4).U16(2).U16(4).U32(0).U32(0).U32(snapLength).U32(linkType);
    for (const PcapPacket& p : packets) {
        const auto n = static_cast<std::uint32_t>(p.data.size());
        w.U32(p.seconds).U32(p.fraction).U32(p.capturedLength.value_or(n)).U32(n).Raw(p.data);
    }
    return w.Out();
}

// pcapng blocks, appended in the order called.
class PcapNg {
public:
    explicit PcapNg(bool big) : m_w(big) {}

    PcapNg& Section(std::uint16_t major = 1) {
        const std::size_t start = Open(0x0A0D0D0A);
        m_w.U32(0x1A2B3C4D).U16(major).U16(0).U32(0xFFFFFFFF).U32(0xFFFFFFFF);
        return Close(start);
    }
    PcapNg& Interface(std::uint16_t linkType, std::optional<std::uint8_t> resolution = {},
                      std::optional<std::int64_t> offset = {}, std::uint32_t snapLength = 0) {
        const std::size_t start = Open(1);
        m_w.U16(linkType).U16(0).U32(snapLength);
        if (resolution) m_w.U16(9).U16(1).U8(*resolution).Pad();
        if (offset) {
            const auto v = static_cast<std::uint64_t>(*offset);
            m_w.U16(14).U16(8);
            if (m_w.Big()) m_w.U32(static_cast<std::uint32_t>(v >> 32)).U32(static_cast<std::uint32_t>(v));
            else m_w.U32(static_cast<std::uint32_t>(v)).U32(static_cast<std::uint32_t>(v >> 32));
        }
        if (resolution || offset) m_w.U16(0).U16(0);
        return Close(start);
    }
    PcapNg& Packet(std::uint32_t interfaceId, std::uint64_t units, const Bytes& data,
                   std::optional<std::uint32_t> flags = {}, std::optional<std::uint32_t> capturedLength = {}) {
        const std::size_t start = Open(6);
        const auto n = static_cast<std::uint32_t>(data.size());
        m_w.U32(interfaceId).U32(static_cast<std::uint32_t>(units >> 32)).U32(static_cast<std::uint32_t>(units));
        m_w.U32(capturedLength.value_or(n)).U32(n).Raw(data).Pad();
        if (flags) m_w.U16(2).U16(4).U32(*flags).U16(0).U16(0);
        return Close(start);
    }
    PcapNg& ObsoletePacket(std::uint16_t interfaceId, std::uint64_t units, const Bytes& data,
                           std::optional<std::uint32_t> flags = {}) {
        const std::size_t start = Open(2);
        const auto n = static_cast<std::uint32_t>(data.size());
        m_w.U16(interfaceId).U16(0).U32(static_cast<std::uint32_t>(units >> 32)).U32(static_cast<std::uint32_t>(units));
        m_w.U32(n).U32(n).Raw(data).Pad();
        if (flags) m_w.U16(2).U16(4).U32(*flags).U16(0).U16(0);
        return Close(start);
    }
    PcapNg& SimplePacket(const Bytes& data) {
        const std::size_t start = Open(3);
        m_w.U32(static_cast<std::uint32_t>(data.size())).Raw(data).Pad();
        return Close(start);
    }
    // A block of a type no reader needs (a name resolution block).
    PcapNg& Other() {
        const std::size_t start = Open(4);
        m_w.U16(0).U16(0);
        return Close(start);
    }
    Bytes& Out() { return m_w.Out(); }

private:
    std::size_t Open(std::uint32_t type) {
        const std::size_t start = m_w.Out().size();
        m_w.U32(type).U32(0);
        return start;
    }
    PcapNg& Close(std::size_t start) {
        const auto length = static_cast<std::uint32_t>(m_w.Out().size() - start + 4);
        m_w.U32(length);
        Writer patch(m_w.Big());
        patch.U32(length);
        std::copy(patch.Out().begin(), patch.Out().end(), m_w.Out().begin() + static_cast<std::ptrdiff_t>(start + 4));
        return *this;
    }
    Writer m_w;
};

// Sets the process's time zone for a test's lifetime; POSIX rules, so no
// zone database is needed.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) m_old = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (m_old) ::setenv("TZ", m_old->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> m_old;
};

}  // namespace capturefiles
