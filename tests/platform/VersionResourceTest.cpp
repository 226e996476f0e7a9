#include "platform/VersionResource.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <random>

#include "adapter/data/VersionPeWriter.h"

namespace {

using platform::FindVersionResource;
using platform::QueryVersionString;
using versionpe::MakeVersionPeImage;
using versionpe::VersionPeRequest;

VersionPeRequest Product() {
    VersionPeRequest request;
    request.tables = {
        {"040704b0", {{"FileVersion", "9.9.9.9"}}},
        {"040904b0", {{"CompanyName", "Orin"}, {"FileVersion", "1.0.0.7"}, {"ProductVersion", "3.1.0.0"}}},
    };
    return request;
}

TEST(VersionResource, GeneratedImagesReadBackByLanguageBlockAndKey) {
    const auto image = MakeVersionPeImage(Product());
    const auto info = FindVersionResource(image);
    ASSERT_TRUE(info);
    struct Case { const char* path; std::optional<std::string> expected; };
    const Case cases[] = {
        {"\\StringFileInfo\\040904b0\\ProductVersion", "3.1.0.0"},
        {"\\StringFileInfo\\040904b0\\FileVersion", "1.0.0.7"},
        {"\\stringfileinfo\\040904B0\\fileversion", "1.0.0.7"},
        {"\\StringFileInfo\\040704b0\\FileVersion", "9.9.9.9"},
        {"\\StringFileInfo\\040904e4\\FileVersion", std::nullopt},
        {"\\StringFileInfo\\040904b0\\Missing", std::nullopt},
        {"\\StringFileInfo\\040904b0", std::nullopt},  // a table, not a text
        {"\\VarFileInfo\\Translation", std::nullopt},   // binary, not a text
        {"\\", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QueryVersionString(*info, c.path), c.expected) << c.path;
    }
}

TEST(VersionResource, ImagesWithoutAVersionResourceGiveNothing) {
    std::vector<std::uint8_t> notPe(4096, 0);
    EXPECT_FALSE(FindVersionResource(notPe));
    EXPECT_FALSE(FindVersionResource({}));
    VersionPeRequest empty;
    const auto image = MakeVersionPeImage(empty);
    const auto info = FindVersionResource(image);
    ASSERT_TRUE(info);
    EXPECT_FALSE(QueryVersionString(*info, "\\StringFileInfo\\040904b0\\FileVersion"));
}

// The reader must stay inside the image whatever its headers claim: every
// prefix and many random corruptions run under the address sanitizer.
TEST(VersionResource, TruncatedAndCorruptedImagesNeverReadOutOfBounds) {
    const auto image = MakeVersionPeImage(Product());
    for (std::size_t n = 0; n < image.size(); ++n) {
        const std::vector<std::uint8_t> cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n));
        const auto info = FindVersionResource(cut);
        if (info) (void)QueryVersionString(*info, "\\StringFileInfo\\040904b0\\ProductVersion");
    }
    std::mt19937 rng(12345);
    const std::size_t headerEnd = 0x200 + 88 + 256;  // headers, directories and the first blocks
    for (int round = 0; round < 4000; ++round) {
        auto bad = image;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < flips; ++f) bad[rng() % headerEnd] = static_cast<std::uint8_t>(rng());
        const auto info = FindVersionResource(bad);
        if (info) (void)QueryVersionString(*info, "\\StringFileInfo\\040904b0\\ProductVersion");
    }
}

TEST(VersionResource, VersionBlocksWithLyingLengthsStayInBounds) {
    const auto image = MakeVersionPeImage(Product());
    const auto info = FindVersionResource(image);
    ASSERT_TRUE(info);
    const std::vector<std::uint8_t> block(info->begin(), info->end());
    for (std::size_t at = 0; at + 1 < block.size(); at += 2) {
        for (std::uint16_t v : {std::uint16_t{0}, std::uint16_t{5}, std::uint16_t{0xFFFF}}) {
            auto bad = block;
            bad[at] = static_cast<std::uint8_t>(v);
            bad[at + 1] = static_cast<std::uint8_t>(v >> 8);
            (void)QueryVersionString(bad, "\\StringFileInfo\\040904b0\\ProductVersion");
            (void)QueryVersionString(bad, "\\StringFileInfo\\040904b0\\FileVersion");
        }
    }
}

TEST(VersionResource, ReadsFilesOnDisk) {
    const std::string path = ::testing::TempDir() + "/marlotrc_version_test.dll";
    const auto image = MakeVersionPeImage(Product());
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    EXPECT_EQ(platform::ReadFileVersionString(path, "\\StringFileInfo\\040904b0\\ProductVersion"), "3.1.0.0");
    EXPECT_FALSE(platform::ReadFileVersionString(path + ".missing", "\\StringFileInfo\\040904b0\\ProductVersion"));
    std::remove(path.c_str());

    // A FIFO in the file's place is refused at once rather than waited on.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(platform::ReadFileVersionString(path, "\\StringFileInfo\\040904b0\\ProductVersion"));
    std::remove(path.c_str());
}

}  // namespace
