#include "tracefile/RawRecord.h"

#include <algorithm>
#include <cstdio>

namespace tracefile {

HeaderCheck CheckRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize> header) {
    const std::uint16_t type = ReadU16(header, wire::kRecType);
    if (type < 1 || type > kLastFramedType) return HeaderCheck::BadType;
    const std::uint32_t length = ReadU32(header, wire::kRecLength);
    if (length > kMaxRecordLength || length < kMinRecordLength) return HeaderCheck::BadLength;
    return HeaderCheck::Ok;
}

BodyCheck CheckRecordBody(std::span<const std::uint8_t> record) {
    const std::uint32_t length = RecordLength(record);
    if (ReadU32(record, length - wire::kRecordTrailerSize) != length) return BodyCheck::BadTrailer;
    const std::uint32_t n = ReadU32(record, wire::kRecTextDataLength);  // data length of types 1 and 2
    constexpr std::size_t kTextOverhead = wire::kTextHeaderSize + wire::kRecordTrailerSize;
    switch (RecordTypeOf(record)) {
        case kAsciiRecord:
            return std::uint64_t{n} + kTextOverhead == length ? BodyCheck::Ok : BodyCheck::InconsistentAscii;
        case kHexRecord:
            return std::uint64_t{n} + kTextOverhead == length ? BodyCheck::Ok : BodyCheck::InconsistentHex;
        case kDChannelRecord: {
            // A type-3 record is at least 20 bytes here, so offset 20 may be
            // the trailer itself; n is then checked against the length below.
            const std::uint32_t frameLength =
                length >= wire::kDChannelHeaderSize ? ReadU32(record, wire::kRecDataLength) : 0;
            if (length < wire::kDChannelOverhead || std::uint64_t{frameLength} + wire::kDChannelOverhead != length ||
                frameLength > kMaxDChannelData)
                return BodyCheck::InconsistentDChannel;
            return BodyCheck::Ok;
        }
        default:
            return BodyCheck::NoBody;
    }
}

std::uint32_t DataLength(std::span<const std::uint8_t> record) {
    return RecordTypeOf(record) == kDChannelRecord ? ReadU32(record, wire::kRecDataLength)
                                                   : ReadU32(record, wire::kRecTextDataLength);
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

}  // namespace tracefile
