#pragma once
// What the octets of the common information elements mean, field by field:
// the element details the decode tree shows under an element's node when
// asked for them. Each detail names one field, gives its value in words and
// covers the octets it was read from, so a detail points at its bytes.
// Stateless functions over the frame octets; any thread.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decode/DecodeItem.h"

namespace decode {

struct ElementDetail {
    std::string label;             // "Field: meaning"
    std::uint32_t firstOctet = 0;  // in the frame
    std::uint32_t octetCount = 0;

    bool operator==(const ElementDetail&) const = default;
};

// The details of an element decoded from `frame`, in octet order. Empty for
// single-octet elements, elements outside codeset 0 and elements the details
// do not cover. Only octets inside both the element and the frame are read:
// a field whose octet is missing is left out, and octets the element holds
// beyond the fields it defines are shown as further octets.
std::vector<ElementDetail> DescribeElement(const DecodeItem& item, std::span<const std::uint8_t> frame);

}  // namespace decode
