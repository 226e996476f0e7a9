#pragma once
// Version resources of PE images (the product library and drivers of the
// adapter), read without any loader: the PE headers lead to the resource
// directory, its RT_VERSION entry to the VS_VERSIONINFO block, and a path of
// block keys ("\StringFileInfo\040904b0\ProductVersion") to one value.
// Every read is bounded by the input, whatever sizes and offsets the image
// claims. Pure functions, callable from any thread.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The VS_VERSIONINFO block of a PE image (a view into the image), or nullopt
// when the image has no readable version resource.
std::optional<std::span<const std::uint8_t>> FindVersionResource(std::span<const std::uint8_t> image);

// A text value of a version block by its sub-block path, as 8-bit text
// (UTF-16 characters above 0xFF become '?'). Keys compare without regard to
// ASCII case. nullopt when a key is missing or the value is not text.
std::optional<std::string> QueryVersionString(std::span<const std::uint8_t> versionInfo,
                                              std::string_view subBlock);

// Both steps for a file on disk: nullopt when the file is missing, unreadable,
// not a PE image, or lacks the value.
std::optional<std::string> ReadFileVersionString(const std::filesystem::path& file,
                                                 std::string_view subBlock);

// The folder that stands for the Windows system directory: MARLOTRC_SYSTEM_DIR
// when set, else the emulated card's product files installed with the program.
std::filesystem::path SystemDirectory();

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
// the given string tables and a matching VarFileInfo translation list. Used
// to make the emulated card's product files and test fixtures.
std::vector<std::uint8_t> MakeVersionPeImage(const VersionPeRequest& request);

}  // namespace platform
