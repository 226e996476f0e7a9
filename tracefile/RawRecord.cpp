#include "tracefile/RawRecord.h"

#include <algorithm>
#include <cstdio>

namespace trace {

HeaderCheck CheckRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize> header) {
    const std::uint16_t type = ReadU16(header, 4);
    if (type < 1 || type > kLastFramedType) return HeaderCheck::BadType;
    const std::uint32_t length = ReadU32(header, 0);
    if (length > kMaxRecordLength || length < kMinRecordLength) return HeaderCheck::BadLength;
    return HeaderCheck::Ok;
}

BodyCheck CheckRecordBody(std::span<const std::uint8_t> record) {
    const std::uint32_t length = RecordLength(record);
    if (ReadU32(record, length - 4) != length) return BodyCheck::BadTrailer;
    const std::uint32_t n = ReadU32(record, 16);  // data length of types 1 and 2
    switch (RecordTypeOf(record)) {
        case kAsciiRecord:
            return std::uint64_t{n} + 24 == length ? BodyCheck::Ok : BodyCheck::InconsistentAscii;
        case kHexRecord:
            return std::uint64_t{n} + 24 == length ? BodyCheck::Ok : BodyCheck::InconsistentHex;
        case kDChannelRecord: {
            // A type-3 record is at least 20 bytes here, so offset 20 may be
            // the trailer itself; n is then checked against the length below.
            const std::uint32_t frameLength = length >= 24 ? ReadU32(record, 20) : 0;
            if (length < 28 || std::uint64_t{frameLength} + 28 != length || frameLength > kMaxDChannelData)
                return BodyCheck::InconsistentDChannel;
            return BodyCheck::Ok;
        }
        default:
            return BodyCheck::NoBody;
    }
}

std::size_t DataOffset(std::uint16_t type) { return type == kDChannelRecord ? 24 : 20; }

std::uint32_t DataLength(std::span<const std::uint8_t> record) {
    return RecordTypeOf(record) == kDChannelRecord ? ReadU32(record, 20) : ReadU32(record, 16);
}

std::array<std::uint8_t, kFileHeaderSize> BuildFileHeader(const std::tm& t) {
    std::array<std::uint8_t, kFileHeaderSize> header{};
    char banner[128];
    // Each field is printed modulo 100 so the banner is always 46 characters.
    std::snprintf(banner, sizeof banner, "Orin Intl Binary Trace File %.2d/%.2d/%.2d %.2d:%.2d:%.2d\n",
                  t.tm_mday % 100, (t.tm_mon + 1) % 100, t.tm_year % 100, t.tm_hour % 100, t.tm_min % 100,
                  t.tm_sec % 100);
    std::copy_n(banner, 46, header.begin());
    WriteU16(header, 48, 0x0100);
    WriteU16(header, 50, 3);
    return header;
}

bool HasBanner(std::span<const std::uint8_t> head) {
    return head.size() >= kBannerPrefix.size() &&
           std::equal(kBannerPrefix.begin(), kBannerPrefix.end(), head.begin());
}

}  // namespace trace
