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

// The resource type of a version resource (RT_VERSION), and the bit of a
// resource directory entry's name or offset that marks a subdirectory.
inline constexpr std::uint32_t kResourceTypeVersion = 16;
inline constexpr std::uint32_t kResourceSubdirectoryBit = 0x80000000u;

// The folder that stands for the Windows system directory: MARLOTRC_SYSTEM_DIR
// when set, else the emulated card's product files installed with the program.
std::filesystem::path SystemDirectory();

}  // namespace platform
