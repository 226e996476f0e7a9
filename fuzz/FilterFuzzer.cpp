// Fuzz target for the display filter: the input up to its first NUL is an
// expression; what follows is a frame (its first octet the flags octet). A
// parsed filter is matched against that frame and a few fixed records of
// every kind; a refused one must name a position inside the text or just
// past its end.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "filter/DisplayFilter.h"

volatile int g_sink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t end = input.find('\0');
    const std::string_view expression = input.substr(0, end);
    filter::FilterError error;
    const auto parsed = filter::DisplayFilter::Parse(expression, &error);
    if (!parsed) {
        if (error.position < 1 || error.position > expression.size() + 1 || error.message.empty()) std::abort();
        return 0;
    }
    // Exactly sized copies, so a read past a frame is a heap overflow.
    std::vector<std::vector<std::uint8_t>> frames = {
        {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x02, 0x88, 0x90, 0x08, 0x02, 0x80, 0x90, 0x70,
         0x03, 0x81, '5', '5'},
        {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF},
        {0x02},
        {},
    };
    std::uint8_t flags = 0;
    if (end != std::string_view::npos && end + 1 < size) {
        flags = data[end + 1];
        frames.emplace_back(data + end + 2, data + size);
    }
    int matched = 0;
    for (std::uint16_t type = 1; type <= 3; ++type) {
        for (const auto& frame : frames) {
            filter::Subject subject;
            subject.type = type;
            subject.flagsOctet = flags;
            subject.data = frame;
            matched += parsed->Matches(subject) ? 1 : 0;
        }
    }
    g_sink = matched;
    return 0;
}
