#pragma once
// Record i of a benchmark trace: the realistic mix's frame i, numbered i and
// stamped i hundredths after midnight, laid out by the one record writer.

#include <cstdint>
#include <vector>

#include "bench/FrameMix.h"
#include "wire/Tpx.h"

namespace bench {

inline std::vector<std::uint8_t> MixRecord(const std::vector<MixFrame>& mix, int i) {
    const MixFrame& f = mix[static_cast<std::size_t>(i) % mix.size()];
    wire::RecordHeader header;
    header.sequence = static_cast<std::uint16_t>(i);
    header.hour = static_cast<std::uint8_t>(i / 360000 % 24);
    header.minute = static_cast<std::uint8_t>(i / 6000 % 60);
    header.second = static_cast<std::uint8_t>(i / 100 % 60);
    header.hundredths = static_cast<std::uint8_t>(i % 100);
    header.flags = f.flags;
    return wire::DChannelRecord(header, f.octets);
}

}  // namespace bench
