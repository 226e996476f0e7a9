#pragma once
// Versions of the adapter product's installed files, read from their version
// resources each time they are shown. Pure reads, any thread.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace adapter {

struct ProductVersionRow {
    std::string_view label;         // "Product Version:"
    std::string_view relativePath;  // below the system directory
    std::string_view field;         // version field of the US English, Unicode table
    int control;                    // value control of the Product Info page
    std::string text;               // the dialog's text until a version replaces it
};

using ProductVersions = std::array<ProductVersionRow, 4>;

// The four rows with their dialog texts, in reading order.
ProductVersions DefaultProductVersions();

// Reads each row's field from its file below systemDirectory. A missing
// file, a file without version information or without the field in the
// "040904b0" table keeps the row's dialog text.
ProductVersions ReadProductVersions(const std::filesystem::path& systemDirectory);

// Same, from platform::SystemDirectory().
ProductVersions ReadProductVersions();

}  // namespace adapter
