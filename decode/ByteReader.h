#pragma once
// Bounds-checked reader over the octets of one frame; a value type, owned by
// whoever decodes, any thread. Offsets are absolute within the frame, so an
// element body read through Sub() still reports the octet's place in the
// frame. A read that cannot be satisfied answers nullopt and consumes nothing.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace decode {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data, std::size_t base = 0)
        : m_data(data), m_base(base) {}

    std::optional<std::uint8_t> U8() {
        if (m_pos >= m_data.size()) return std::nullopt;
        return m_data[m_pos++];
    }

    // The octet `ahead` places after the current one, without consuming it.
    std::optional<std::uint8_t> Peek(std::size_t ahead = 0) const {
        if (ahead >= m_data.size() - m_pos) return std::nullopt;
        return m_data[m_pos + ahead];
    }

    bool Skip(std::size_t n) {
        if (n > m_data.size() - m_pos) return false;
        m_pos += n;
        return true;
    }

    // The next n octets as a reader of their own; fails when fewer remain.
    std::optional<ByteReader> Sub(std::size_t n) {
        if (n > m_data.size() - m_pos) return std::nullopt;
        ByteReader sub(m_data.subspan(m_pos, n), Offset());
        m_pos += n;
        return sub;
    }

    // Like Sub(), but cut at the end of the data: for a body whose length
    // octet claims more than the frame holds.
    ByteReader SubUpTo(std::size_t n) {
        const std::size_t take = n < Remaining() ? n : Remaining();
        ByteReader sub(m_data.subspan(m_pos, take), Offset());
        m_pos += take;
        return sub;
    }

    std::span<const std::uint8_t> Rest() const { return m_data.subspan(m_pos); }
    std::size_t Remaining() const { return m_data.size() - m_pos; }
    bool Empty() const { return m_pos >= m_data.size(); }
    std::size_t Offset() const { return m_base + m_pos; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_base = 0;  // offset of m_data[0] within the frame
    std::size_t m_pos = 0;
};

}  // namespace decode
