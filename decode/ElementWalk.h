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
#include "decode/ProtocolNames.h"

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

// The Q.931 header of one message, as far as the frame holds it.
struct Q931Header {
    std::uint8_t discriminator = 0;
    std::optional<std::uint8_t> callReferenceLength;  // the value octets the length octet claims
    std::optional<ByteReader> callReference;  // the value octets; absent when they run past the frame
    std::optional<std::uint8_t> messageType;  // the whole octet
    std::optional<std::uint8_t> national;     // the octet behind a nationally specific type
    std::optional<std::size_t> elements;      // where the information elements start
};

// Reads the header behind headerLength octets of layer 2; absent when the
// frame ends before the protocol discriminator. Only the Q.931 discriminator
// is read further, unless anyDiscriminator asks for the header of whatever
// protocol there is, read as Q.931's (as packet analysers read SAPI 0). Two rules differ on purpose: the message summary takes
// any type whose low seven bits are 0 as nationally specific (named by the
// octet behind it), while the elements start behind a second octet only when
// the whole type octet is 0x00: behind 0x80 the next octet is read as the
// first element.
inline std::optional<Q931Header> ReadQ931Header(std::span<const std::uint8_t> frame, std::size_t headerLength,
                                                bool anyDiscriminator = false) {
    ByteReader reader(frame);
    if (!reader.Skip(headerLength)) return std::nullopt;
    const auto discriminator = reader.U8();
    if (!discriminator) return std::nullopt;
    Q931Header header;
    header.discriminator = *discriminator;
    if (header.discriminator != kQ931Discriminator && !anyDiscriminator) return header;
    const auto lengthOctet = reader.U8();
    if (!lengthOctet) return header;
    header.callReferenceLength = static_cast<std::uint8_t>(*lengthOctet & 0x0F);
    header.callReference = reader.Sub(*header.callReferenceLength);
    if (!header.callReference) return header;
    header.messageType = reader.U8();
    if (!header.messageType) return header;
    ByteReader behind = reader;
    if ((*header.messageType & 0x7F) == 0x00) header.national = behind.U8();
    if (*header.messageType == 0x00 && !reader.Skip(1)) return header;
    header.elements = reader.Offset();
    return header;
}

// Calls visit(const Element&) for each element in frame order until it
// answers false. Keeps the codeset state: a non-locking shift applies to the
// next element only, a locking shift to every later one. headerLength is the
// layer-2 header in front of the protocol discriminator: 4 for an I frame, 3
// for a UI frame.
template <class Visit>
inline void WalkElements(std::span<const std::uint8_t> frame, std::size_t headerLength, Visit&& visit) {
    const auto header = ReadQ931Header(frame, headerLength);
    if (!header || !header->elements) return;
    ByteReader reader(frame);
    if (!reader.Skip(*header->elements)) return;

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
