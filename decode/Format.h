#pragma once
// printf-style formatting into a std::string for the decoders' display
// texts (the texts are defined by printf formats, so they are made with them).

#include <string>

namespace decode {

[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...);

}  // namespace decode
