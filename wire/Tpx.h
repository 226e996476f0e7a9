#pragma once
// The contract between the Tpx library and the card's driver and firmware,
// written once: the driver request block, the adapter message header, the
// trace indication, and the D-channel record a trace indication becomes in a
// trace log. The library writes these, the emulated card answers them, and
// the trace readers read the records back; each takes the layout from here.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "wire/Bytes.h"

namespace wire {

// ---- The driver request block: one control code, one layout ------------

// The device the driver answers on (the emulated card's, with no card).
inline constexpr char kDeviceName[] = R"(\\.\ORINTPX)";
inline constexpr std::uint32_t kControlCode = 0xCCCC2004u;
inline constexpr std::size_t kBlockSize = 332;
using RequestBlock = std::array<std::uint8_t, kBlockSize>;

enum RequestCode : std::uint32_t {
    kRegister = 1,
    kOpen = 2,
    kClose = 3,
    kRead = 4,
    kWrite = 5,
    kUnregister = 6,
};

// Offsets within the request block.
inline constexpr std::size_t kOffCode = 0;
inline constexpr std::size_t kOffClientId = 4;
inline constexpr std::size_t kOffConnectionId = 8;   // Register out: adapter count
inline constexpr std::size_t kOffNames = 12;         // Register out: 8 x 40 bytes
inline constexpr std::size_t kNameSlotBytes = 40;
inline constexpr std::size_t kOffOpenName = 8;       // Open in: overlays the connection id
inline constexpr std::size_t kOffOpenConnectionId = 48;
inline constexpr std::size_t kOffOpenResult = 52;
inline constexpr std::size_t kOffCloseResult = 12;
inline constexpr std::size_t kOffReadHeaderLength = 12;
inline constexpr std::size_t kOffReadDataLength = 14;
inline constexpr std::size_t kOffReadMessage = 16;
inline constexpr std::size_t kOffWriteType = 12;
inline constexpr std::size_t kOffWriteHeaderLength = 14;
inline constexpr std::size_t kOffWriteDataLength = 16;
inline constexpr std::size_t kOffWriteMessage = 18;

// The offset of adapter a's name slot (16-bit characters) after Register.
constexpr std::size_t NameSlot(std::size_t a) { return kOffNames + a * kNameSlotBytes; }

// The only message type a Write carries, and its bound (header plus data).
inline constexpr std::uint8_t kWriteMessageType = 2;
inline constexpr std::size_t kMaxMessageBytes = 314;

// ---- Adapter messages -----------------------------------------------------

inline constexpr std::size_t kHeaderGroupOffset = 0;
inline constexpr std::size_t kHeaderConstantOffset = 2;
inline constexpr std::uint16_t kHeaderConstant = 1;
inline constexpr std::size_t kGsmHeaderLength = 12;
inline constexpr std::size_t kLineHeaderLength = 16;
inline constexpr std::size_t kTraceHeaderLength = 20;  // trace control and trace indications

// Trace control: the mode word after the line header.
inline constexpr std::size_t kTraceModeOffset = 16;
inline constexpr std::uint32_t kTraceModeOn = 2;
inline constexpr std::uint32_t kTraceModeOff = 0;

// The address word of line, link and trace messages: B channel in bits 0-2,
// LN in bits 4-6 (trace indications), link number in bits 8-15. Line
// messages carry kLineAddress.
inline constexpr std::uint32_t kLineAddress = 0x11u;
constexpr std::uint32_t LinkAddress(std::uint32_t link) { return kLineAddress + 256u * (link & 0xFFu); }
constexpr std::uint32_t LinkOf(std::uint32_t address) { return (address >> 8) & 0xFF; }
constexpr std::uint8_t BChannelOf(std::uint32_t address) { return static_cast<std::uint8_t>(address & 0x07); }
constexpr std::uint8_t LnOf(std::uint32_t address) { return static_cast<std::uint8_t>((address >> 4) & 0x07); }
constexpr std::uint32_t TraceAddress(std::uint8_t b, std::uint8_t ln) {
    return static_cast<std::uint32_t>((b & 0x07) | ((ln & 0x07) << 4)) | (static_cast<std::uint32_t>(ln) << 8);
}

// The side flags of a trace indication (header octet 10, record octet 17):
// exactly one of bits 0 and 2 set means the frame came from the network
// side. Writers of frames from the network side set bit 0 alone.
inline constexpr std::uint8_t kFlagNetworkSide = 0x01;
constexpr bool FromNetworkSide(std::uint8_t flags) { return ((flags ^ (flags >> 2)) & 0x01) != 0; }

// ---- Trace log records --------------------------------------------------

// Every record of a trace log starts with the same 16 octets: total length,
// type, sequence number, time of day, B channel and LN. An ASCII or hex
// record then gives its data length and its data; a D-channel record has a
// 24-byte header (frame flags and data length after the common part), the
// frame, and, like every record, its total length again as a 4-byte
// trailer. The trace log readers refuse records whose frame is longer than
// kMaxDChannelData, so no writer makes one.
inline constexpr std::uint16_t kAsciiRecordType = 1;
inline constexpr std::uint16_t kHexRecordType = 2;
inline constexpr std::uint16_t kDChannelRecordType = 3;
inline constexpr std::size_t kRecordHeaderSize = 16;
inline constexpr std::size_t kTextHeaderSize = 20;      // ASCII and hex records
inline constexpr std::size_t kDChannelHeaderSize = 24;
inline constexpr std::size_t kRecordTrailerSize = 4;
inline constexpr std::size_t kDChannelOverhead = kDChannelHeaderSize + kRecordTrailerSize;
inline constexpr std::uint32_t kMinRecordLength = 20;
inline constexpr std::uint32_t kMaxRecordLength = 5000;
inline constexpr std::uint32_t kMaxDChannelData = 280;

inline constexpr std::size_t kRecLength = 0;
inline constexpr std::size_t kRecType = 4;
inline constexpr std::size_t kRecSequence = 6;
inline constexpr std::size_t kRecHour = 8;
inline constexpr std::size_t kRecMinute = 9;
inline constexpr std::size_t kRecSecond = 10;
inline constexpr std::size_t kRecHundredths = 11;
inline constexpr std::size_t kRecBChannel = 12;
inline constexpr std::size_t kRecLn = 13;
inline constexpr std::size_t kRecTextDataLength = 16;  // ASCII and hex records
inline constexpr std::size_t kRecFlags = 17;           // D-channel records: the side flags
inline constexpr std::size_t kRecFrameFlags = 18;      // D-channel records, see kSideUnknownBit
inline constexpr std::size_t kRecDataLength = 20;      // D-channel records

// Bit 0 of a D-channel record's octet 18 is set on a frame read from a
// capture file that did not say which side sent it. The frame shows as the
// user side's, and an export writes it again without a direction rather
// than inventing one.
inline constexpr std::uint8_t kSideUnknownBit = 0x01;

// Where a record of the given type keeps its data.
constexpr std::size_t RecordDataOffset(std::uint16_t type) {
    return type == kDChannelRecordType ? kDChannelHeaderSize : kTextHeaderSize;
}

// The fields of a record's header (the flags belong to D-channel records).
struct RecordHeader {
    std::uint16_t sequence = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t hundredths = 0;
    std::uint8_t bChannel = 0;
    std::uint8_t ln = 0;
    std::uint8_t flags = 0;
    bool sideUnknown = false;
};

// A record's time of day in hundredths of a second since midnight.
inline constexpr std::uint32_t kHundredthsPerDay = 24u * 60u * 60u * 100u;
constexpr std::uint32_t HundredthsOfDay(unsigned hour, unsigned minute, unsigned second, unsigned hundredths) {
    return ((hour * 60u + minute) * 60u + second) * 100u + hundredths;
}
constexpr std::uint32_t HundredthsOfDay(const RecordHeader& h) {
    return HundredthsOfDay(h.hour, h.minute, h.second, h.hundredths);
}

// The record's total length for a frame of n octets.
constexpr std::uint32_t DChannelRecordLength(std::size_t n) {
    return static_cast<std::uint32_t>(kDChannelOverhead + n);
}

// The 24-byte header of a record carrying dataLength octets.
inline std::array<std::uint8_t, kDChannelHeaderSize> DChannelHeaderBytes(const RecordHeader& h,
                                                                       std::uint32_t dataLength) {
    std::array<std::uint8_t, kDChannelHeaderSize> out{};
    Put<kRecLength>(out, DChannelRecordLength(dataLength));
    Put<kRecType>(out, kDChannelRecordType);
    Put<kRecSequence>(out, h.sequence);
    Put<kRecHour>(out, h.hour);
    Put<kRecMinute>(out, h.minute);
    Put<kRecSecond>(out, h.second);
    Put<kRecHundredths>(out, h.hundredths);
    Put<kRecBChannel>(out, h.bChannel);
    Put<kRecLn>(out, h.ln);
    Put<kRecFlags>(out, h.flags);
    Put<kRecFrameFlags>(out, h.sideUnknown ? kSideUnknownBit : std::uint8_t{0});
    Put<kRecDataLength>(out, dataLength);
    return out;
}

// The 4-byte trailer of a record carrying dataLength octets.
inline std::array<std::uint8_t, kRecordTrailerSize> DChannelTrailerBytes(std::uint32_t dataLength) {
    std::array<std::uint8_t, kRecordTrailerSize> out{};
    Put<0>(out, DChannelRecordLength(dataLength));
    return out;
}

// A whole record into `record` (its memory reused by a writer of many);
// frames longer than kMaxDChannelData are cut to it. Octets the header does
// not name are 0.
inline void WriteDChannelRecord(std::vector<std::uint8_t>& record, const RecordHeader& h,
                                std::span<const std::uint8_t> frame) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(frame.size(), kMaxDChannelData));
    const auto header = DChannelHeaderBytes(h, n);
    const auto trailer = DChannelTrailerBytes(n);
    record.resize(DChannelRecordLength(n));
    std::copy(header.begin(), header.end(), record.begin());
    std::copy_n(frame.begin(), n, record.begin() + kDChannelHeaderSize);
    std::copy(trailer.begin(), trailer.end(), record.end() - kRecordTrailerSize);
}

// A whole record, as WriteDChannelRecord writes it.
inline std::vector<std::uint8_t> DChannelRecord(const RecordHeader& h, std::span<const std::uint8_t> frame) {
    std::vector<std::uint8_t> record;
    WriteDChannelRecord(record, h, frame);
    return record;
}

// An ASCII or hex record (type 1 or 2) carrying `data`, cut to the longest
// data a record holds; a D-channel record as WriteDChannelRecord writes it.
inline std::vector<std::uint8_t> Record(std::uint16_t type, const RecordHeader& h,
                                        std::span<const std::uint8_t> data) {
    if (type == kDChannelRecordType) return DChannelRecord(h, data);
    const std::size_t n = std::min<std::size_t>(data.size(), kMaxRecordLength - kTextHeaderSize - kRecordTrailerSize);
    std::vector<std::uint8_t> record(kTextHeaderSize + n + kRecordTrailerSize);
    const auto length = static_cast<std::uint32_t>(record.size());
    const FieldWriter out = LittleOut(record);
    out.U32(kRecLength, length);
    out.U16(kRecType, type);
    out.U16(kRecSequence, h.sequence);
    out.U8(kRecHour, h.hour);
    out.U8(kRecMinute, h.minute);
    out.U8(kRecSecond, h.second);
    out.U8(kRecHundredths, h.hundredths);
    out.U8(kRecBChannel, h.bChannel);
    out.U8(kRecLn, h.ln);
    out.U32(kRecTextDataLength, static_cast<std::uint32_t>(n));
    std::copy_n(data.begin(), n, record.begin() + kTextHeaderSize);
    out.U32(length - kRecordTrailerSize, length);
    return record;
}

// A complete D-channel record (its length already framed by the reader):
// the header and the frame when the lengths agree, nullopt otherwise.
struct DChannelView {
    RecordHeader header;
    std::span<const std::uint8_t> frame;
};
inline std::optional<DChannelView> ReadDChannelRecord(std::span<const std::uint8_t> record) {
    const FieldReader r = Little(record);
    const auto length = r.U32(kRecLength);
    const auto type = r.U16(kRecType);
    const auto n = r.U32(kRecDataLength);
    if (!length || !type || !n || *type != kDChannelRecordType || *length != record.size()) return std::nullopt;
    if (*n > kMaxDChannelData || DChannelRecordLength(*n) != *length) return std::nullopt;
    DChannelView view;
    view.header.sequence = *r.U16(kRecSequence);
    view.header.hour = record[kRecHour];
    view.header.minute = record[kRecMinute];
    view.header.second = record[kRecSecond];
    view.header.hundredths = record[kRecHundredths];
    view.header.bChannel = record[kRecBChannel] & 0x07;
    view.header.ln = record[kRecLn] & 0x07;
    view.header.flags = record[kRecFlags];
    view.header.sideUnknown = (record[kRecFrameFlags] & kSideUnknownBit) != 0;
    view.frame = record.subspan(kDChannelHeaderSize, *n);
    return view;
}

}  // namespace wire
