#pragma once
// The walk over the information elements of one Q.931 message and the element
// decoders (codeset 0 with shifts and single-octet elements). Stateless
// functions over the frame octets; any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/DecodeItem.h"

namespace decode {

// One item per element, in frame order. headerLength is the layer-2 header
// in front of the protocol discriminator: 4 for an I frame, 3 for a UI frame.
std::vector<DecodeItem> DecodeInfoElements(std::span<const std::uint8_t> frame, std::size_t headerLength);

// The number of items DecodeInfoElements makes, without formatting any.
std::uint32_t CountInfoElements(std::span<const std::uint8_t> frame, std::size_t headerLength);

// The item at a 0-based position, or nullopt past the last.
std::optional<DecodeItem> DecodeInfoElement(std::span<const std::uint8_t> frame, std::size_t headerLength,
                                            std::uint32_t position);

// The name of a cause value (bit 7 ignored), as the cause mnemonic shows it;
// empty for a value the table does not name.
std::string_view CauseName(std::uint8_t value);

}  // namespace decode
