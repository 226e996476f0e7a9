// trctool status, stats, diag and info against the emulated card, run as a
// program so the card, its faults and the installed registry and product
// files are those a user would meet.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/RunProgram.h"

namespace {

using testsupport::ProgramResult;

ProgramResult Trctool(const std::vector<std::string>& args, const std::string& card = "") {
    return testsupport::RunProgram(TRCTOOL_PATH, args,
                                   "env -u MARLOTRC_REGISTRY -u MARLOTRC_SYSTEM_DIR ORINTPX_EMULATOR=" +
                                       testsupport::ShellQuote(card) + " ");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(AdapterCommands, StatusPrintsTheSevenStatesWithTheReportLabels) {
    const auto r = Trctool({"status"}, "line=0;rx=2;tx=2");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 7u) << r.out;
    EXPECT_EQ(lines[0], "Line Status: Layer 1 inactive");
    EXPECT_EQ(lines[1], "Receiving Signal: INFO 2");
    EXPECT_EQ(lines[2], "Transmission Signal: INFO 3");
    EXPECT_EQ(lines[3].rfind("Layer 2 Link 1 State: ", 0), 0u);
    EXPECT_EQ(lines[6].rfind("Layer 3 Link 2 State: ", 0), 0u);
}

TEST(AdapterCommands, RefusedAndMissingCardsExitWithOne) {
    struct Case { std::vector<std::string> args; const char* card; const char* message; };
    const Case cases[] = {
        {{"status"}, "refuse=8800:5", "TpxLineGetStatus Response 5"},
        {{"stats"}, "refuse=8B00:7", "TpxLineGetStatistics Response 7"},
        {{"stats", "--reset"}, "refuse=8C00:9", "TpxLineZeroStatistics Response 9"},
        {{"diag"}, "refuse=8900:3", "TpxLinkGetStatus Response 3"},
        {{"info"}, "absent=1", "Tpx Register "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.card);
        const auto r = Trctool(c.args, c.card);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(AdapterCommands, SeveralAdaptersNeedAChoice) {
    const auto none = Trctool({"status"}, "adapters=2");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("0 OrinBri1 - Inactive\n1 OrinBri2 - Inactive\n"), std::string::npos) << none.err;
    EXPECT_EQ(none.out, "");

    for (const char* choice : {"OrinBri2", "1"}) {
        const auto r = Trctool({"info", "--adapter", choice}, "adapters=2");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Adapter:                      OrinBri2\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Switch Type:                  ETSI: Euro ISDN\n"), std::string::npos) << r.out;
    }
    EXPECT_EQ(Trctool({"info", "--adapter=OrinBri7"}, "adapters=2").status, 2);
    EXPECT_EQ(Trctool({"info", "--adapter", "OrinBri7"}).status, 2);
    EXPECT_EQ(Trctool({"info", "--adapter"}).status, 2);
}

TEST(AdapterCommands, InfoShowsTheInstalledConfigurationAndProductVersions) {
    const auto r = Trctool({"info"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* line : {"Switch Type:                  ATT: AT&T ESS 5\n",
                             "Terminal Management:          Enabled\n",
                             "Line 1 Phone:                 212 - 555 - 1234\n",
                             "Product Version:              3.0.2.0\n",
                             "Software Revision:            1.0.0.7\n",
                             "OrinTpx Driver Version:       1.2.0.4\n",
                             "OrinTlan Driver Version:      1.2.0.3\n"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    }
}

// -o FILE and -o - give the report's bytes (no line end after the last
// line); without -o it is text that ends with a line end.
TEST(AdapterCommands, DiagWritesTheSameReportToStandardOutputAndToAFile) {
    const auto raw = Trctool({"diag", "-o", "-"});
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out.rfind("Registry Information\nLine 1 SPID: 21255512340101\n", 0), 0u) << raw.out;
    EXPECT_NE(raw.out.find("Number of Logical Terminals: 2\nLine 2 SPID: "), std::string::npos);
    ASSERT_FALSE(raw.out.empty());
    EXPECT_NE(raw.out.back(), '\n');

    const auto shown = Trctool({"diag"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out, raw.out + "\n");

    const auto path = std::filesystem::path(::testing::TempDir()) / "marlotrc_trctool_diag.txt";
    const auto f = Trctool({"diag", "-o", path.string()});
    EXPECT_EQ(f.status, 0) << f.err;
    EXPECT_EQ(f.out, "");
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), raw.out);
    std::filesystem::remove(path);

    const auto bad = Trctool({"diag", "-o", "/nonexistent-marlotrc/x.txt"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("The file /nonexistent-marlotrc/x.txt\ncould not be opened."), std::string::npos) << bad.err;
}

TEST(AdapterCommands, StatsPrintsLineAndBothLinks) {
    const auto r = Trctool({"stats", "--reset"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u + 2 + 13 + 13) << r.out;
    EXPECT_EQ(lines[0], "Line Statistics");
    EXPECT_EQ(lines[1], "  Line Type:           ISDN S/T Interface");
    EXPECT_EQ(lines[3], "Link 1 Statistics");
    EXPECT_EQ(lines[17], "Link 2 Statistics");
    // Every row is "Label: value" (the window's "Out Octets" label has no colon).
    for (const std::string& line : lines) {
        if (line.ends_with("Statistics")) continue;
        EXPECT_TRUE(line.starts_with("  ") && line.find(": ") != std::string::npos) << line;
    }
    EXPECT_EQ(lines[12].rfind("  Out Octets:  ", 0), 0u) << lines[12];
}

}  // namespace
