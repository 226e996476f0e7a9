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

namespace trace {

inline constexpr std::size_t kFileHeaderSize = 52;
inline constexpr std::string_view kBannerPrefix = "Orin Intl Binary Trace File ";  // 28 characters
inline constexpr std::size_t kRecordHeaderSize = 16;  // length, type, sequence, time, B, LN
inline constexpr std::size_t kHeaderCopySize = 24;    // what a record keeps of its raw bytes
inline constexpr std::uint32_t kMinRecordLength = 20;
inline constexpr std::uint32_t kMaxRecordLength = 5000;
inline constexpr std::uint32_t kMaxDChannelData = wire::kMaxDChannelData;

// Byte 18 of a D-channel record, in the frame flags beside the side bits of
// byte 17: bit 0 is set on a frame read from a capture file that did not say
// which side sent it. The frame shows as the user side's, and an export
// writes it again without a direction rather than inventing one.
inline constexpr std::size_t kSideUnknownOffset = 18;
inline constexpr std::uint8_t kSideUnknownBit = 0x01;

enum RecordType : std::uint16_t {
    kAsciiRecord = 1,
    kHexRecord = 2,
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

inline std::uint32_t RecordLength(std::span<const std::uint8_t> record) { return ReadU32(record, 0); }
inline std::uint16_t RecordTypeOf(std::span<const std::uint8_t> record) { return ReadU16(record, 4); }

// Offset of the first data byte and the data length of a record that passed
// both checks (types 1 to 3).
std::size_t DataOffset(std::uint16_t type);
std::uint32_t DataLength(std::span<const std::uint8_t> record);

// The 52-byte file header for a file created at the given local time.
std::array<std::uint8_t, kFileHeaderSize> BuildFileHeader(const std::tm& localTime);

// True when the first bytes carry the banner prefix (at least 28 bytes needed).
bool HasBanner(std::span<const std::uint8_t> head);

}  // namespace trace
