#pragma once
// Frame builders shared by the decoder tests.

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace decode::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// An I frame from the user side, SAPI 0, TEI 64, carrying `layer3`.
inline Bytes IFrame(const Bytes& layer3) { return Join({{0x00, 0x81, 0x00, 0x00}, layer3}); }

// A broadcast UI frame carrying `layer3`.
inline Bytes UiFrame(const Bytes& layer3) { return Join({{0x02, 0xFF, 0x03}, layer3}); }

// The Q.931 header of a SETUP with the one-octet call reference 1: in an I
// frame its first element starts at offset 8.
inline const Bytes kSetupHeader = {0x08, 0x01, 0x01, 0x05};

}  // namespace decode::test
