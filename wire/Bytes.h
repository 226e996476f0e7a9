#pragma once
// Integers in byte buffers, read and written one octet at a time in a byte
// order the caller names, so no code ever casts bytes to a structure.
//
// Reading: every read that would leave the bytes answers nullopt, and the
// answer must be looked at. Writing: appended to a growing buffer (cannot
// fail); at a fixed offset of a fixed-size block, where the compiler checks
// the offset; or at an offset known only at run time, which throws when the
// field does not fit.
// Header only: every layer may use it, the decoder's included.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace wire {

enum class ByteOrder { Little, Big };

// Reads integers at offsets inside one header, block or record.
class FieldReader {
public:
    FieldReader(std::span<const std::uint8_t> bytes, ByteOrder order) : m_bytes(bytes), m_order(order) {}

    std::size_t Size() const { return m_bytes.size(); }
    ByteOrder Order() const { return m_order; }

    [[nodiscard]] std::optional<std::uint8_t> U8(std::size_t at) const {
        if (at >= m_bytes.size()) return std::nullopt;
        return m_bytes[at];
    }
    [[nodiscard]] std::optional<std::uint16_t> U16(std::size_t at) const {
        const auto v = Unsigned(at, 2);
        return v ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*v)) : std::nullopt;
    }
    [[nodiscard]] std::optional<std::uint32_t> U32(std::size_t at) const {
        const auto v = Unsigned(at, 4);
        return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
    }
    [[nodiscard]] std::optional<std::uint64_t> U64(std::size_t at) const { return Unsigned(at, 8); }
    [[nodiscard]] std::optional<std::span<const std::uint8_t>> Bytes(std::size_t at, std::size_t n) const {
        if (at > m_bytes.size() || n > m_bytes.size() - at) return std::nullopt;
        return m_bytes.subspan(at, n);
    }

private:
    std::optional<std::uint64_t> Unsigned(std::size_t at, std::size_t n) const {
        if (at > m_bytes.size() || n > m_bytes.size() - at) return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t k = m_order == ByteOrder::Big ? i : n - 1 - i;
            v = (v << 8) | m_bytes[at + k];
        }
        return v;
    }

    std::span<const std::uint8_t> m_bytes;
    ByteOrder m_order;
};

// Little-endian readers for the system's own formats (the trace log, the
// adapter's messages, the driver's request block).
inline FieldReader Little(std::span<const std::uint8_t> bytes) { return {bytes, ByteOrder::Little}; }

// A little-endian integer of type T at offset At of a fixed-size block; an
// offset past the block does not compile.
template <typename T, std::size_t At, std::size_t N>
T Get(const std::array<std::uint8_t, N>& block) {
    static_assert(At + sizeof(T) <= N, "field outside the block");
    std::uint64_t v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) v = (v << 8) | block[At + i];
    return static_cast<T>(v);
}

// Writes v's low `width` octets in the given order at out[0..width).
template <typename Out>
void StoreUnsigned(Out out, std::uint64_t v, std::size_t width, ByteOrder order) {
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t shift = 8 * (order == ByteOrder::Big ? width - 1 - i : i);
        out[i] = static_cast<std::uint8_t>(v >> shift);
    }
}

// Appends integers to a growing buffer.
class Appender {
public:
    Appender(std::vector<std::uint8_t>& out, ByteOrder order) : m_out(out), m_order(order) {}
    void U8(std::uint8_t v) { m_out.push_back(v); }
    void U16(std::uint16_t v) { Append(v, 2); }
    void U32(std::uint32_t v) { Append(v, 4); }
    void U64(std::uint64_t v) { Append(v, 8); }
    void Bytes(std::span<const std::uint8_t> bytes) { m_out.insert(m_out.end(), bytes.begin(), bytes.end()); }

private:
    void Append(std::uint64_t v, std::size_t width) {
        const std::size_t at = m_out.size();
        m_out.resize(at + width);
        StoreUnsigned(m_out.begin() + static_cast<std::ptrdiff_t>(at), v, width, m_order);
    }
    std::vector<std::uint8_t>& m_out;
    ByteOrder m_order;
};

// Writes integers at offsets inside a buffer of fixed size. A write outside
// it is a mistake in the caller's layout, not in outside input: it throws
// std::out_of_range and writes nothing.
class FieldWriter {
public:
    FieldWriter(std::span<std::uint8_t> bytes, ByteOrder order) : m_bytes(bytes), m_order(order) {}
    void U8(std::size_t at, std::uint8_t v) const { Store(at, v, 1); }
    void U16(std::size_t at, std::uint16_t v) const { Store(at, v, 2); }
    void U32(std::size_t at, std::uint32_t v) const { Store(at, v, 4); }
    void U64(std::size_t at, std::uint64_t v) const { Store(at, v, 8); }

private:
    void Store(std::size_t at, std::uint64_t v, std::size_t width) const {
        if (at > m_bytes.size() || width > m_bytes.size() - at) throw std::out_of_range("field outside the buffer");
        StoreUnsigned(m_bytes.begin() + static_cast<std::ptrdiff_t>(at), v, width, m_order);
    }
    std::span<std::uint8_t> m_bytes;
    ByteOrder m_order;
};

inline FieldWriter LittleOut(std::span<std::uint8_t> bytes) { return {bytes, ByteOrder::Little}; }

// A little-endian integer of type T at offset At of a fixed-size block; an
// offset past the block does not compile.
template <std::size_t At, typename T, std::size_t N>
void Put(std::array<std::uint8_t, N>& block, T v) {
    static_assert(At + sizeof(T) <= N, "field outside the block");
    StoreUnsigned(block.begin() + At, static_cast<std::uint64_t>(v), sizeof(T), ByteOrder::Little);
}

}  // namespace wire
