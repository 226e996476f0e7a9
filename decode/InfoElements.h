#pragma once
// The element decoders (codeset 0 with shifts and single-octet elements). Stateless
// functions over the frame octets; any thread.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/DecodeItem.h"
#include "decode/ElementWalk.h"
#include "decode/ProtocolNames.h"

namespace decode {

inline constexpr std::uint8_t kCauseId = ElementId("CAUSE");
inline constexpr std::uint8_t kCallingNumberId = ElementId("CALLING NUMBER");
inline constexpr std::uint8_t kCalledNumberId = ElementId("CALLED NUMBER");
inline constexpr std::uint8_t kConnectedNumberId = 0x4C;  // the list and tree show it as UNDEFINED [4C]

// One item per element, in frame order.
std::vector<DecodeItem> DecodeInfoElements(std::span<const std::uint8_t> frame, std::size_t headerLength);

// The number of items DecodeInfoElements makes, without formatting any.
std::uint32_t CountInfoElements(std::span<const std::uint8_t> frame, std::size_t headerLength);

// The item at a 0-based position, or nullopt past the last.
std::optional<DecodeItem> DecodeInfoElement(std::span<const std::uint8_t> frame, std::size_t headerLength,
                                            std::uint32_t position);

// The name of a cause value (bit 7 ignored), as the cause mnemonic shows it;
// empty for a value the table does not name.
std::string_view CauseName(std::uint8_t value);
// The names of a few fields' values as the mnemonics show them; empty for a
// value the tables do not name. Bit 7 is ignored where the field has 7 bits.
std::string_view TransferCapabilityName(std::uint8_t capability);  // 5 bits
std::string_view ProgressName(std::uint8_t description);
std::string_view NotificationName(std::uint8_t description);
std::string_view SignalName(std::uint8_t value);

// The element's name as its item shows it (padded to 15 characters; empty
// outside codeset 0).
std::string ElementName(const Element& element);

// The cause value (7 bits) of a codeset-0 cause element, when its octet is there.
std::optional<std::uint8_t> CauseValue(const Element& element);

// The digits of a codeset-0 called or calling party number element, as its
// mnemonic shows them, or of a connected number (laid out as a calling
// party number); nullopt for other elements.
std::optional<std::string> PartyDigits(const Element& element);

}  // namespace decode
