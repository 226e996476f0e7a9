#include "adapter/ProductVersions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Registry.h"
#include "adapter/data/VersionPeWriter.h"

namespace {

namespace fs = std::filesystem;

void WriteImage(const fs::path& path, const std::string& language,
                std::vector<std::pair<std::string, std::string>> strings) {
    versionpe::VersionPeRequest request;
    request.tables.push_back({language, std::move(strings)});
    const auto image = versionpe::MakeVersionPeImage(request);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

std::vector<std::string> Texts(const adapter::ProductVersions& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row.text);
    return out;
}

TEST(ProductVersions, RowsKeepTheirDialogTextUnlessTheFileSaysOtherwise) {
    const fs::path dir = fs::path(::testing::TempDir()) / "marlotrc_system_dir";
    fs::remove_all(dir);
    using V = std::vector<std::string>;
    EXPECT_EQ(Texts(adapter::ReadProductVersions(dir)), (V{"3.0.0.0", "1.0.0.5", "Driver version", "Driver version"}));

    WriteImage(dir / "orinbri.dll", "040904b0", {{"ProductVersion", "3.2.0.0"}, {"FileVersion", "1.0.0.9"}});
    EXPECT_EQ(Texts(adapter::ReadProductVersions(dir)), (V{"3.2.0.0", "1.0.0.9", "Driver version", "Driver version"}));

    // Another language block only, a file that is no PE image, a missing field.
    WriteImage(dir / "drivers" / "orintpx.sys", "040704b0", {{"FileVersion", "7.7.7.7"}});
    { std::ofstream(dir / "drivers" / "orintlan.sys") << "not a PE image"; }
    WriteImage(dir / "orinbri.dll", "040904b0", {{"FileVersion", "1.0.1.0"}});
    EXPECT_EQ(Texts(adapter::ReadProductVersions(dir)), (V{"3.0.0.0", "1.0.1.0", "Driver version", "Driver version"}));

    WriteImage(dir / "drivers" / "orintlan.sys", "040904b0", {{"FileVersion", "2.0.0.1"}});
    EXPECT_EQ(Texts(adapter::ReadProductVersions(dir)), (V{"3.0.0.0", "1.0.1.0", "Driver version", "2.0.0.1"}));
    fs::remove_all(dir);
}

TEST(ProductVersions, TheSystemDirectoryFollowsTheEnvironment) {
    const fs::path dir = fs::path(::testing::TempDir()) / "marlotrc_system_env";
    fs::remove_all(dir);
    WriteImage(dir / "drivers" / "orintpx.sys", "040904b0", {{"FileVersion", "5.6.7.8"}});
    ::setenv("MARLOTRC_SYSTEM_DIR", dir.c_str(), 1);
    const auto rows = adapter::ReadProductVersions();
    ::unsetenv("MARLOTRC_SYSTEM_DIR");
    EXPECT_EQ(Texts(rows), (std::vector<std::string>{"3.0.0.0", "1.0.0.5", "5.6.7.8", "Driver version"}));
    fs::remove_all(dir);
}

TEST(ProductVersions, TheInstalledEmulatedCardHasItsOwnVersions) {
    const auto rows = adapter::ReadProductVersions(platform::InstalledDataPath("system"));
    for (const auto& row : rows) {
        EXPECT_NE(row.text, adapter::DefaultProductVersions()[static_cast<std::size_t>(&row - rows.data())].text)
            << row.label;
    }
}

}  // namespace
