#include "analysis/LinkFrame.h"

#include "decode/ByteReader.h"

namespace analysis {

LinkFrame ParseLinkFrame(std::span<const std::uint8_t> frame, Side sender) {
    LinkFrame f;
    f.sender = sender;
    if (frame.size() < 3) return f;
    f.sapi = frame[0] >> 2;
    f.tei = frame[1] >> 1;
    // The network side sends commands with C/R = 1, the user side with C/R = 0.
    const bool cr = (frame[0] & 0x02) != 0;
    f.command = cr == (sender == Side::NT);
    const std::uint8_t control = frame[2];
    if ((control & 0x01) == 0) {
        f.kind = FrameKind::I;
        f.ns = control >> 1;
        if (frame.size() >= 4) {
            f.hasNr = true;
            f.nr = frame[3] >> 1;
            f.pollFinal = (frame[3] & 0x01) != 0;
        }
        f.layer3 = true;
        f.headerLength = 4;
    } else if ((control & 0x03) == 0x01) {
        f.kind = FrameKind::S;
        f.function = (control >> 2) & 0x03;
        if (frame.size() >= 4) {
            f.hasNr = true;
            f.nr = frame[3] >> 1;
            f.pollFinal = (frame[3] & 0x01) != 0;
        }
        return f;
    } else {
        f.kind = FrameKind::U;
        f.function = control & static_cast<std::uint8_t>(~0x10);
        f.pollFinal = (control & 0x10) != 0;
        if (f.function != kUi) return f;
        if (f.sapi == 63 && f.tei == kGroupTei && frame.size() >= 4 && frame[3] == 0x0F) {
            if (frame.size() >= 8) {
                f.kind = FrameKind::Management;
                f.ri = static_cast<std::uint16_t>(frame[4] << 8 | frame[5]);
                f.teiMessage = frame[6];
                f.ai = frame[7] >> 1;
            }
            return f;
        }
        f.layer3 = true;
        f.headerLength = 3;
    }

    decode::ByteReader reader(frame);
    reader.Skip(f.headerLength);
    const auto discriminator = reader.U8();
    if (!discriminator || *discriminator != 0x08) return f;
    const auto lengthOctet = reader.U8();
    if (!lengthOctet) return f;
    f.callRefLength = *lengthOctet & 0x0F;
    auto value = reader.Sub(f.callRefLength);
    if (!value) return f;
    if (const auto first = value->U8()) {
        f.callRefFlag = (*first & 0x80) != 0;
        f.callRef = *first & 0x7F;
        while (const auto next = value->U8()) f.callRef = f.callRef << 8 | *next;
    }
    const auto type = reader.U8();
    if (!type) return f;
    f.messageType = *type & 0x7F;
    f.q931 = true;
    return f;
}

}  // namespace analysis
