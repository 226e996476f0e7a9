#pragma once
// One decoded Q.931 information element: where it lies in the frame, its
// identifier and length octets as numbers, and its name and meaning as
// texts. The index, identifier and length texts the views show are made
// from the numbers when asked.

#include <cstdint>
#include <optional>
#include <string>

namespace decode {

struct DecodeItem {
    std::uint32_t offset = 0;  // the element's first octet (its identifier) in the frame
    std::uint8_t id = 0;       // the identifier octet (or the whole single-octet element)
    bool singleOctet = false;
    std::optional<std::uint8_t> length;  // the length octet; absent when the frame ends before it
    std::uint32_t size = 0;  // octets of the element inside the frame: identifier, length and content present
    std::string name;        // "%-15s" element name; empty outside codeset 0
    std::string mnemonic;    // decoded meaning, or empty

    // "%04X" of the offset, "%02X" of the identifier, and "%02X" of the
    // length octet ("01" for a single-octet element, empty without one).
    std::string IndexText() const;
    std::string IdText() const;
    std::string LengthText() const;

    // The element's content octets within the frame: offset + 2 on, up to its
    // end in the frame (empty for single-octet elements).
    std::uint32_t ContentOffset() const { return singleOctet ? offset + 1 : offset + 2; }
    std::uint32_t ContentSize() const { return size > ContentOffset() - offset ? size - (ContentOffset() - offset) : 0; }

    bool operator==(const DecodeItem&) const = default;
};

}  // namespace decode
