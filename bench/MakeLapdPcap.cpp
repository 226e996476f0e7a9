// Writes the realistic frame mix, repeated to N frames, as a pcap file of
// link type LINUX_LAPD (177), for timing another decoder on the same frames
// as the loader benchmark: bench_make_lapd_pcap FILE [N].

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/FrameMix.h"

namespace {

void Put(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes, bool bigEndian) {
    for (int i = 0; i < bytes; ++i) {
        const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [N]\n", argv[0]);
        return 2;
    }
    const long count = argc > 2 ? std::atol(argv[2]) : 1000000;
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) return 1;
    std::vector<std::uint8_t> out;
    Put(out, 0xA1B2C3D4, 4, false);  // pcap magic, microseconds
    Put(out, 2, 2, false);
    Put(out, 4, 2, false);
    Put(out, 0, 4, false);
    Put(out, 0, 4, false);
    Put(out, 65535, 4, false);
    Put(out, 177, 4, false);  // LINKTYPE_LINUX_LAPD
    const std::vector<bench::MixFrame> mix = bench::RealisticMix();
    for (long i = 0; i < count; ++i) {
        const bench::MixFrame& f = mix[static_cast<std::size_t>(i) % mix.size()];
        const auto length = static_cast<std::uint32_t>(16 + f.octets.size());
        Put(out, static_cast<std::uint32_t>(i / 100), 4, false);
        Put(out, static_cast<std::uint32_t>(i % 100) * 10000, 4, false);
        Put(out, length, 4, false);
        Put(out, length, 4, false);
        // 16-byte pseudo header, big-endian: packet type (4 sent by us, 0
        // received), hardware type (LAPD), address length 1, address (its
        // first octet 1 when we are the network side), protocol (LAPD).
        Put(out, f.flags ? 0 : 4, 2, true);
        Put(out, 0x20FD, 2, true);
        Put(out, 1, 2, true);
        for (int k = 0; k < 8; ++k) out.push_back(0);
        Put(out, 0x0030, 2, true);
        out.insert(out.end(), f.octets.begin(), f.octets.end());
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), file);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), file);
    return std::fclose(file) == 0 ? 0 : 1;
}
