#pragma once
// Layout of a binary trace log file: the 52-byte file header and the records
// behind it. Integers are little-endian; records repeat their total length in
// a 4-byte trailer. Both readers (the loader and the live reader) apply the
// same framing checks, in the same order, through these helpers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string_view>

#include "wire/Tpx.h"

namespace tracefile {

inline constexpr std::size_t kFileHeaderSize = 52;
inline constexpr std::string_view kBannerPrefix = "Orin Intl Binary Trace File ";  // 28 characters
inline constexpr std::size_t kRecordHeaderSize = wire::kRecordHeaderSize;  // length, type, sequence, time, B, LN
inline constexpr std::size_t kHeaderCopySize = wire::kDChannelHeaderSize;  // what a record keeps of its raw bytes
inline constexpr std::uint32_t kMinRecordLength = wire::kMinRecordLength;
inline constexpr std::uint32_t kMaxRecordLength = wire::kMaxRecordLength;
inline constexpr std::uint32_t kMaxDChannelData = wire::kMaxDChannelData;

enum RecordType : std::uint16_t {
    kAsciiRecord = wire::kAsciiRecordType,
    kHexRecord = wire::kHexRecordType,
    kDChannelRecord = wire::kDChannelRecordType,
    kLastFramedType = 6,  // types 4 to 6 are framed by their length but have no body
};

// The log's little-endian fields, read and written through the one field
// reader and writer. Callers frame the record first, so a field outside it is
// a mistake in the caller: it throws rather than reading or writing past.
inline std::uint16_t ReadU16(std::span<const std::uint8_t> b, std::size_t at) { return wire::Little(b).U16(at).value(); }
inline std::uint32_t ReadU32(std::span<const std::uint8_t> b, std::size_t at) { return wire::Little(b).U32(at).value(); }
inline void WriteU16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) { wire::LittleOut(b).U16(at, v); }
inline void WriteU32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) { wire::LittleOut(b).U32(at, v); }

// What a 16-byte record header says, before the body is read.
enum class HeaderCheck { Ok, BadType, BadLength };
HeaderCheck CheckRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize> header);

// What a complete record (L bytes, header included) says about its body.
enum class BodyCheck { Ok, BadTrailer, InconsistentAscii, InconsistentHex, InconsistentDChannel, NoBody };
BodyCheck CheckRecordBody(std::span<const std::uint8_t> record);

inline std::uint32_t RecordLength(std::span<const std::uint8_t> record) { return ReadU32(record, wire::kRecLength); }
inline std::uint16_t RecordTypeOf(std::span<const std::uint8_t> record) { return ReadU16(record, wire::kRecType); }

// Offset of the first data byte and the data length of a record that passed
// both checks (types 1 to 3).
constexpr std::size_t DataOffset(std::uint16_t type) { return wire::RecordDataOffset(type); }
std::uint32_t DataLength(std::span<const std::uint8_t> record);

// The 52-byte file header for a file created at the given local time.
std::array<std::uint8_t, kFileHeaderSize> BuildFileHeader(const std::tm& localTime);

// True when the first bytes carry the banner prefix (at least 28 bytes needed).
bool HasBanner(std::span<const std::uint8_t> head);

}  // namespace tracefile
