#pragma once
// The walk over the information elements of one Q.931 message: where each
// element starts, its identifier, length, active codeset and content octets.
// The element decoders and the call analysis both walk messages with it.
// Header-only so the walk inlines into each visitor; any thread.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "decode/ByteReader.h"

namespace decode {

// One element as the walk finds it, before any text is made.
struct Element {
    std::size_t offset = 0;
    std::uint8_t id = 0;
    bool singleOctet = false;
    std::optional<std::uint8_t> length;  // absent when the frame ends after the identifier
    int codeset = 0;                     // the active codeset for this element
    ByteReader body;                     // content octets, cut at the element's length and the frame's end

    // Octets of the element inside the frame.
    std::size_t Size() const {
        if (singleOctet) return 1;
        return (length ? 2 : 1) + body.Remaining();
    }
};

// Calls visit(const Element&) for each element in frame order until it
// answers false. Keeps the codeset state: a non-locking shift applies to the
// next element only, a locking shift to every later one. headerLength is the
// layer-2 header in front of the protocol discriminator: 4 for an I frame, 3
// for a UI frame.
template <class Visit>
inline void WalkElements(std::span<const std::uint8_t> frame, std::size_t headerLength, Visit&& visit) {
    ByteReader reader(frame);
    if (!reader.Skip(headerLength)) return;
    const auto discriminator = reader.U8();
    if (!discriminator || *discriminator != 0x08) return;
    const auto callRefLength = reader.U8();
    if (!callRefLength || !reader.Skip(*callRefLength & 0x0F)) return;
    const auto messageType = reader.U8();
    if (!messageType) return;
    // The whole octet is compared: 0x80 is not an escape here, so the octet
    // after it is read as the first element.
    if (*messageType == 0x00 && !reader.Skip(1)) return;

    int active = 0;
    int locked = 0;
    while (!reader.Empty()) {
        Element element;
        element.offset = reader.Offset();
        element.id = *reader.U8();
        element.codeset = active;
        if (element.id & 0x80) {
            element.singleOctet = true;
            if (active == 0) {
                if ((element.id & 0xF0) == 0x90) {
                    if (element.id & 0x08) {
                        active = element.id & 0x07;
                    } else {
                        locked = std::max(locked, element.id & 0x07);
                        active = locked;
                    }
                }
            } else {
                active = locked;
            }
        } else {
            element.length = reader.U8();
            element.body = reader.SubUpTo(element.length.value_or(0));
            if (active != 0) active = locked;
        }
        if (!visit(static_cast<const Element&>(element))) return;
    }
}

}  // namespace decode
