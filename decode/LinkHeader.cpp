#include "decode/LinkHeader.h"

#include <cstddef>
#include <iterator>

namespace decode {
namespace {

// U-frame modifier: the first control octet with P/F cleared, shifted right by 2.
constexpr struct {
    std::uint8_t modifier;
    FrameType type;
} kUFrames[] = {
    {0x00, FrameType::UI},    {0x03, FrameType::DM},   {0x10, FrameType::DISC}, {0x18, FrameType::UA},
    {0x1B, FrameType::SABME}, {0x21, FrameType::FRMR}, {0x2B, FrameType::XID},
};

// Supervisory function, bits 3..2 of the first control octet; 3 has no name.
constexpr FrameType kSFrames[] = {FrameType::RR, FrameType::RNR, FrameType::REJ, FrameType::Unknown};

constexpr bool RowsInOrder() {
    for (std::size_t i = 0; i < std::size(kFrameTypes); ++i)
        if (static_cast<std::size_t>(kFrameTypes[i].type) != i + 1) return false;
    return true;
}
static_assert(RowsInOrder(), "kFrameTypes holds one row per type, in the order of FrameType");

const FrameTypeRow* RowOf(FrameType type) {
    const auto at = static_cast<std::size_t>(type);
    if (at == 0 || at > std::size(kFrameTypes)) return nullptr;
    return &kFrameTypes[at - 1];
}

FrameType UFrameType(std::uint8_t control) {
    const auto modifier = static_cast<std::uint8_t>((control & 0xEF) >> 2);
    for (const auto& row : kUFrames)
        if (row.modifier == modifier) return row.type;
    return FrameType::Unknown;
}

}  // namespace

std::string_view ShownName(FrameType type) {
    const FrameTypeRow* row = RowOf(type);
    return row ? row->shown : std::string_view();
}

std::string_view LapdName(FrameType type) {
    const FrameTypeRow* row = RowOf(type);
    return row ? row->lapd : std::string_view();
}

std::uint8_t LinkHeader::ControlLength() const {
    switch (kind) {
        case FrameKind::None: return 0;
        case FrameKind::U: return 1;
        case FrameKind::I:
        case FrameKind::S: return 2;
    }
    return 0;
}

LinkHeader ReadLink(std::span<const std::uint8_t> frame) {
    LinkHeader link;
    if (frame.size() < 2) return link;
    link.hasAddress = true;
    link.sapi = static_cast<std::uint8_t>(frame[0] >> 2);
    link.cr = static_cast<std::uint8_t>((frame[0] >> 1) & 0x01);
    link.tei = static_cast<std::uint8_t>(frame[1] >> 1);
    if (frame.size() < 3) return link;

    const std::uint8_t control = frame[2];
    link.control = control;
    const bool second = frame.size() >= 4;
    if ((control & 0x01) == 0) {
        link.kind = FrameKind::I;
        link.type = FrameType::I;
        link.ns = static_cast<std::uint8_t>(control >> 1);
        link.layer3Offset = 4;
    } else if ((control & 0x03) == 0x01) {
        link.kind = FrameKind::S;
        link.type = kSFrames[(control >> 2) & 0x03];
    } else {
        link.kind = FrameKind::U;
        link.type = UFrameType(control);
        link.hasPf = true;
        link.pf = static_cast<std::uint8_t>((control >> 4) & 0x01);
    }
    if (link.kind != FrameKind::U && second) {
        link.hasNr = link.hasPf = true;
        link.nr = static_cast<std::uint8_t>(frame[3] >> 1);
        link.pf = static_cast<std::uint8_t>(frame[3] & 0x01);
    }
    if (link.type != FrameType::UI) return link;

    link.teiManagement =
        link.sapi == kSapiManagement && link.tei == kGroupTei && second && frame[3] == kManagementEntity;
    if (!link.teiManagement) {
        link.layer3Offset = 3;
        return link;
    }
    if (frame.size() >= 8) {
        link.teiMessage = TeiFields{static_cast<std::uint16_t>(frame[4] << 8 | frame[5]), frame[6],
                                    static_cast<std::uint8_t>(frame[7] >> 1)};
    }
    return link;
}

}  // namespace decode
