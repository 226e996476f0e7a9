// Link state names and the signature search: exports that need no adapter.

#include <cstdio>
#include <cstring>
#include <string_view>

#include "linekit/Internal.h"

namespace linekit {
namespace {

// Q.921 data-link states 1 to 8, numbered from 0.
constexpr std::string_view kL2States[] = {
    "TEI unassigned",       "Assign awaiting TEI",   "Establish awaiting TEI",     "TEI assigned",
    "Awaiting establishment", "Awaiting release",    "Multiple frame established", "Timer recovery",
};
constexpr std::string_view kL3States[] = {
    "Layer 3 inactive",
    "Layer 3 initialization pending",
    "Layer 3 initialization request retrying",
    "Layer 3 active",
    "Layer 3 not initialized",
};
constexpr std::string_view kUnknownState = "State unknown";

template <std::size_t N>
std::uint32_t CopyStateName(const std::string_view (&table)[N], std::uint32_t code, char** destination) {
    if (!destination || !*destination) return 0;
    const std::uint8_t index = static_cast<std::uint8_t>(code);  // only the low byte counts
    const std::string_view text = index < N ? table[index] : kUnknownState;
    static_assert(TPX_STATE_TEXT_BYTES > 39);
    std::memcpy(*destination, text.data(), text.size());
    (*destination)[text.size()] = '\0';
    return static_cast<std::uint32_t>(text.size() + 1);
}

constexpr long kSignatureStart = 1024;
constexpr int kLineBytes = 512;

}  // namespace
}  // namespace linekit

using namespace linekit;

extern "C" {

TPX_API uint32_t GetL2LinkStateString(uint32_t code, char** destination) {
    return CopyStateName(kL2States, code, destination);
}

TPX_API uint32_t GetL3LinkStateString(uint32_t code, char** destination) {
    return CopyStateName(kL3States, code, destination);
}

TPX_API int SignatureSearch(FILE* stream, char* destination) {
    if (!stream || !destination) return -1;
    char line[kLineBytes] = {};
    std::fseek(stream, kSignatureStart, SEEK_SET);
    for (int c; (c = std::fgetc(stream)) != EOF;) {
        if (c == 'S') {
            std::ungetc('S', stream);
            break;
        }
    }
    if (!std::fgets(line, kLineBytes, stream)) {
        std::fputs("We did not find the correct string!\n", stderr);
    } else {
        // Up to three lines, each at most 511 characters and its terminator:
        // the 1536-byte destination always holds them.
        std::size_t at = 0;
        for (int i = 0; i < 3; ++i) {
            if (i > 0) {
                std::memset(line, 0, sizeof line);
                if (!std::fgets(line, kLineBytes, stream)) break;
            }
            std::printf("  %s", line);
            const std::size_t n = std::strlen(line) + 1;
            std::memcpy(destination + at, line, n);
            at += n;
        }
    }
    // Standard output belongs to the host program: flushed, never closed.
    std::fflush(stdout);
    return 0;
}

}  // extern "C"
