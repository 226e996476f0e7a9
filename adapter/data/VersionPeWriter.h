#pragma once
// The writing side of version resources: a minimal PE image that carries
// one. The build makes the emulated card's product files with it (the
// mkversionpe tool), and tests make the images they read. The programs only
// read version resources (platform/VersionResource.h).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace versionpe {

// What MakeVersionPeImage writes: string tables by language block name
// ("040904b0"), each with its key/value pairs.
struct VersionStringTable {
    std::string language;
    std::vector<std::pair<std::string, std::string>> strings;
};

struct VersionPeRequest {
    std::vector<VersionStringTable> tables;
    std::uint16_t fileVersion[4] = {1, 0, 0, 0};    // VS_FIXEDFILEINFO, high to low
    std::uint16_t productVersion[4] = {1, 0, 0, 0};
};

// A minimal valid PE32 image (one .rsrc section) whose version resource holds
// the given string tables and a matching VarFileInfo translation list. Its
// resource directory and version block are laid out as the reader expects.
std::vector<std::uint8_t> MakeVersionPeImage(const VersionPeRequest& request);

}  // namespace versionpe
