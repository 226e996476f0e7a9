#pragma once
// Layout of the packet capture files MarloTrc writes and reads: classic pcap
// (one file header, then a 16-byte header per packet) and pcapng (blocks of
// type, total length, body, total length again). Both carry LAPD in one of
// two link types: 177 puts a 16-byte big-endian pseudo-header in front of the
// frame that says which way it went; 203 is the bare frame, whose direction
// pcapng keeps in the packet block's flags and classic pcap cannot keep.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "wire/Bytes.h"

namespace tracefile {

enum class CaptureFormat { Pcap, PcapNg };

// Which side of the bus sent a frame, when the capture says.
enum class FrameSide { User, Network, Unknown };

inline constexpr std::uint32_t kLinkTypeLinuxLapd = 177;
inline constexpr std::uint32_t kLinkTypeLapd = 203;

// Classic pcap: the magic tells the byte order and whether the fraction of a
// second is in microseconds or nanoseconds.
inline constexpr std::uint32_t kPcapMagicMicro = 0xA1B2C3D4;
inline constexpr std::uint32_t kPcapMagicNano = 0xA1B23C4D;
inline constexpr std::size_t kPcapFileHeaderSize = 24;
inline constexpr std::size_t kPcapPacketHeaderSize = 16;

// pcapng block types and the options this system writes or reads.
inline constexpr std::uint32_t kBlockSectionHeader = 0x0A0D0D0A;
inline constexpr std::uint32_t kBlockInterface = 1;
inline constexpr std::uint32_t kBlockObsoletePacket = 2;
inline constexpr std::uint32_t kBlockSimplePacket = 3;
inline constexpr std::uint32_t kBlockEnhancedPacket = 6;
inline constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
inline constexpr std::uint16_t kOptEnd = 0;
inline constexpr std::uint16_t kOptShbUserAppl = 4;
inline constexpr std::uint16_t kOptIfTsResol = 9;
inline constexpr std::uint16_t kOptIfTsOffset = 14;
inline constexpr std::uint16_t kOptPacketFlags = 2;  // epb_flags, and pack_flags of the obsolete block
inline constexpr std::uint32_t kFlagsInbound = 1;    // bits 1..0 of the flags word
inline constexpr std::uint32_t kFlagsOutbound = 2;

// The LINUX_LAPD pseudo-header: packet type, hardware type, address length,
// 8 address octets, protocol. Packet type 4 is "sent by this host", 0
// "received by it", 3 "to another host" (overheard); address octet 0 is 1 when the capturing host was the
// network side of the bus, 0 when it was the user side.
inline constexpr std::size_t kLapdPseudoHeaderSize = 16;
inline constexpr std::uint16_t kPacketReceived = 0;
inline constexpr std::uint16_t kPacketOtherHost = 3;
inline constexpr std::uint16_t kPacketSent = 4;
inline constexpr std::uint16_t kHardwareTypeLapd = 8445;  // ARPHRD_LAPD
inline constexpr std::uint16_t kProtocolLapd = 0x0030;    // ETH_P_LAPD

// Bounds on what a reader accepts before it allocates: a pcap packet beyond
// 256 KiB or a pcapng block beyond 16 MiB cannot be a capture's own data.
inline constexpr std::uint32_t kMaxPacketLength = 256 * 1024;
inline constexpr std::uint32_t kMaxBlockLength = 16 * 1024 * 1024;

using wire::ByteOrder;
using wire::FieldReader;

// True when the first four octets are a pcap magic (either byte order, micro
// or nano) or a pcapng section header.
bool IsCaptureMagic(std::span<const std::uint8_t> head);

}  // namespace tracefile
