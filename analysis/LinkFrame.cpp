#include "analysis/LinkFrame.h"

#include "decode/ElementWalk.h"

namespace analysis {

LinkFrame ParseLinkFrame(std::span<const std::uint8_t> frame, Side sender) {
    LinkFrame f;
    static_cast<decode::LinkHeader&>(f) = decode::ReadLink(frame);
    f.sender = sender;
    f.command = f.IsCommand(sender == Side::NT);
    if (!f.CarriesLayer3()) return f;

    const auto header = decode::ReadQ931Header(frame, f.layer3Offset);
    if (!header || header->discriminator != decode::kQ931Discriminator || !header->callReferenceLength) return f;
    f.callRefLength = *header->callReferenceLength;
    f.callRefCut = !header->callReference;
    if (!header->callReference || !header->messageType) return f;
    decode::ByteReader value = *header->callReference;
    if (const auto first = value.U8()) {
        f.callRefFlag = (*first & 0x80) != 0;
        f.callRef = *first & 0x7F;
        while (const auto next = value.U8()) f.callRef = f.callRef << 8 | *next;
    }
    f.messageType = *header->messageType & 0x7F;
    f.q931 = true;
    return f;
}

}  // namespace analysis
