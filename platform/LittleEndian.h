#pragma once
// Little-endian fields in byte buffers, written and read one byte at a time,
// so no code ever casts bytes to a struct. Reads past the end give 0 and
// writes past the end are dropped: callers check lengths first, and a mistake
// costs a wrong value, never memory.

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

inline void PutU8(std::span<std::uint8_t> b, std::size_t off, std::uint8_t v) {
    if (off < b.size()) b[off] = v;
}
inline void PutU16(std::span<std::uint8_t> b, std::size_t off, std::uint16_t v) {
    PutU8(b, off, static_cast<std::uint8_t>(v));
    PutU8(b, off + 1, static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(std::span<std::uint8_t> b, std::size_t off, std::uint32_t v) {
    PutU16(b, off, static_cast<std::uint16_t>(v));
    PutU16(b, off + 2, static_cast<std::uint16_t>(v >> 16));
}
inline std::uint8_t GetU8(std::span<const std::uint8_t> b, std::size_t off) {
    return off < b.size() ? b[off] : 0;
}
inline std::uint16_t GetU16(std::span<const std::uint8_t> b, std::size_t off) {
    return static_cast<std::uint16_t>(GetU8(b, off) | (GetU8(b, off + 1) << 8));
}
inline std::uint32_t GetU32(std::span<const std::uint8_t> b, std::size_t off) {
    return GetU16(b, off) | (static_cast<std::uint32_t>(GetU16(b, off + 2)) << 16);
}

}  // namespace platform
