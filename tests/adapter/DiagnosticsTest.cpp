#include "adapter/Diagnostics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"

namespace {

using adapter::AdapterConfiguration;
using adapter::FormatDiagnosticsReport;
using adapter::LineStatusTexts;

LineStatusTexts States(bool twoLinks) {
    return {"Layer 3 active for all configured links", "INFO 4", "INFO 3",
            "Multiple Frame Established", "Active",
            twoLinks ? "TEI Assigned" : "Link not configured", twoLinks ? "" : "Link not configured"};
}

TEST(Diagnostics, ReportBytesWithOneAndTwoTerminals) {
    AdapterConfiguration two;
    two.spid1 = "21255512340101";
    two.number1 = "212 - 555 - 1234";
    two.spid2 = "21255512350101";
    two.number2 = "212 - 555 - 1235";
    two.switchType = "ATT: AT&T ESS 5";
    two.terminalManagement = "Enabled";
    two.logicalTerminalCount = 2;
    EXPECT_EQ(FormatDiagnosticsReport(two, States(true)),
              "Registry Information\n"
              "Line 1 SPID: 21255512340101\n"
              "Line 1 Phone: 212 - 555 - 1234\n"
              "Switch Type: ATT: AT&T ESS 5\n"
              "Terminal Management: Enabled\n"
              "Number of Logical Terminals: 2\n"
              "Line 2 SPID: 21255512350101\n"
              "Line 2 Phone: 212 - 555 - 1235\n"
              "\n"
              "Card Information\n"
              "Line Status: Layer 3 active for all configured links\n"
              "Receiving Signal: INFO 4\n"
              "Transmission Signal: INFO 3\n"
              "Layer 2 Link 1 State: Multiple Frame Established\n"
              "Layer 3 Link 1 State: Active\n"
              "Layer 2 Link 2 State: TEI Assigned\n"
              "Layer 3 Link 2 State: ");  // an empty last text ends on its label's space

    AdapterConfiguration neverRead;  // every value "Not Configured", count 0
    neverRead.logicalTerminalCount = 1;
    EXPECT_EQ(FormatDiagnosticsReport(neverRead, States(false)),
              "Registry Information\n"
              "Line 1 SPID: Not Configured\n"
              "Line 1 Phone: Not Configured\n"
              "Switch Type: Not Configured\n"
              "Terminal Management: Not Configured\n"
              "Number of Logical Terminals: 1\n"
              "\n"
              "Card Information\n"
              "Line Status: Layer 3 active for all configured links\n"
              "Receiving Signal: INFO 4\n"
              "Transmission Signal: INFO 3\n"
              "Layer 2 Link 1 State: Multiple Frame Established\n"
              "Layer 3 Link 1 State: Active\n"
              "Layer 2 Link 2 State: Link not configured\n"
              "Layer 3 Link 2 State: Link not configured");

    // The count is printed signed, and any count of 2 or more has the second terminal.
    AdapterConfiguration huge;
    huge.logicalTerminalCount = 0xFFFFFFFFu;
    const std::string report = FormatDiagnosticsReport(huge, States(true));
    EXPECT_NE(report.find("Number of Logical Terminals: -1\nLine 2 SPID: "), std::string::npos);
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Diagnostics, FileIsCreatedBeforeTheAdapterIsAskedAndReplacedWhole) {
    const auto path = std::filesystem::path(::testing::TempDir()) / "marlotrc_diag_test.txt";
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(4000, 'x');
    }
    testsupport::RecordingMessageBox boxes;
    AdapterConfiguration config;
    config.logicalTerminalCount = 1;
    std::uint32_t askedLinks = 0;
    const bool ok = adapter::WriteDiagnosticsReport(
        path, [&]() -> const AdapterConfiguration& { return config; },
        [&](std::uint32_t links) {
            askedLinks = links;
            return States(false);
        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(askedLinks, 1u);
    EXPECT_EQ(ReadAll(path), FormatDiagnosticsReport(config, States(false)));
    EXPECT_TRUE(boxes.Texts().empty());
    std::filesystem::remove(path);
}

TEST(Diagnostics, UncreatableAndUnwritableFilesAreReported) {
    testsupport::RecordingMessageBox boxes;
    bool asked = false;
    const auto readConfig = [&]() -> const AdapterConfiguration& {
        asked = true;
        static const AdapterConfiguration config;
        return config;
    };
    const auto query = [&](std::uint32_t) {
        asked = true;
        return adapter::InitialStatusTexts();
    };
    const std::string missingDir = "/nonexistent-marlotrc/OrinDiag.txt";
    EXPECT_FALSE(adapter::WriteDiagnosticsReport(missingDir, readConfig, query));
    EXPECT_FALSE(asked);  // nothing is read or asked when the file cannot be created

    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(adapter::WriteDiagnosticsReport("/dev/full", readConfig, query));
    }
    const auto texts = boxes.Texts();
    ASSERT_GE(texts.size(), 1u);
    EXPECT_EQ(texts[0], "The file " + missingDir + "\ncould not be opened.");
    if (texts.size() > 1) {
        EXPECT_EQ(texts[1], "The file /dev/full\ncould not be written.");
    }
}

}  // namespace
