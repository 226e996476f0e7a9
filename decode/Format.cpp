#include "decode/Format.h"

#include <cstdarg>
#include <cstdio>

namespace decode {

std::string Format(const char* format, ...) {
    char buffer[128];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::string text;
    if (n < 0) {
        va_end(again);
        return text;
    }
    if (static_cast<std::size_t>(n) < sizeof buffer) {
        text.assign(buffer, static_cast<std::size_t>(n));
    } else {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return text;
}

char* WritePadded(char* p, unsigned value, int width, char pad) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int k = count; k < width; ++k) *p++ = pad;
    while (count > 0) *p++ = digits[--count];
    return p;
}

}  // namespace decode
