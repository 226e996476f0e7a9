#pragma once
// printf-style formatting into a std::string for the decoders' display
// texts (the texts are defined by printf formats, so they are made with them).

#include <string>
#include <string_view>

namespace decode {

[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...);

// Fast equivalents of the few formats the row texts use, writing at p and
// answering the end of what they wrote: "%.Nd" of an unsigned value (at
// least `digits` digits, zeros in front), "%Nd" (at least `width`
// characters, blanks in front), "%02X", and a plain text.
char* WritePadded(char* p, unsigned value, int width, char pad);
inline char* WriteZeroPadded(char* p, unsigned value, int digits) {
    if (digits == 2 && value < 100) {
        p[0] = static_cast<char>('0' + value / 10);
        p[1] = static_cast<char>('0' + value % 10);
        return p + 2;
    }
    if (digits == 3 && value < 1000) {
        p[0] = static_cast<char>('0' + value / 100);
        p[1] = static_cast<char>('0' + value / 10 % 10);
        p[2] = static_cast<char>('0' + value % 10);
        return p + 3;
    }
    return WritePadded(p, value, digits, '0');
}
inline char* WriteBlankPadded(char* p, unsigned value, int width) {
    if (width == 2 && value < 100) {
        p[0] = value < 10 ? ' ' : static_cast<char>('0' + value / 10);
        p[1] = static_cast<char>('0' + value % 10);
        return p + 2;
    }
    return WritePadded(p, value, width, ' ');
}
inline char* WriteHexOctet(char* p, unsigned value) {
    constexpr char kHex[] = "0123456789ABCDEF";
    p[0] = kHex[(value >> 4) & 0xF];
    p[1] = kHex[value & 0xF];
    return p + 2;
}
inline char* WriteText(char* p, std::string_view text) {
    for (const char c : text) *p++ = c;
    return p;
}

}  // namespace decode
