// The build's product-file writer: asking it for help or giving it an option
// where the file name belongs writes no file.

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "tests/support/RunProgram.h"

namespace {

namespace fs = std::filesystem;

TEST(MakeVersionPe, OptionsInPlaceOfTheFileNameWriteNothing) {
    const fs::path dir = fs::temp_directory_path() / ("mkversionpe-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    struct Case {
        const char* first;
        int status;
        bool usageOnStdout;
    };
    for (const Case& c : {Case{"--help", 0, true}, Case{"-h", 0, true}, Case{"--lang", 2, false}}) {
        SCOPED_TRACE(c.first);
        const auto result = testsupport::RunProgram(MKVERSIONPE_PATH, {c.first, "040904b0"},
                                                    "cd " + testsupport::ShellQuote(dir.string()) + " && ");
        EXPECT_EQ(result.status, c.status);
        const std::string& usage = c.usageOnStdout ? result.out : result.err;
        EXPECT_EQ(usage.rfind("usage: mkversionpe OUTPUT", 0), 0u) << usage;
        EXPECT_TRUE(fs::is_empty(dir));
    }
    // A file name still gets its image.
    const fs::path out = dir / "product.dll";
    const auto made = testsupport::RunProgram(MKVERSIONPE_PATH, {out.string(), "--lang", "040904b0", "FileVersion=1.0"});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(fs::exists(out));
    fs::remove_all(dir);
}

}  // namespace
