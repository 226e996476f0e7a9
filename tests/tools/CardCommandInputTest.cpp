// trctool's card commands meeting bad input and scripts: registry and
// product files that cannot be read (a message, never a hang), values with
// control characters (one value, one line), the --adapter forms, and output
// a script can rely on. Run as a program, as a user or a script runs it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "adapter/data/VersionPeWriter.h"
#include "tests/support/RunProgram.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProgramResult;
using testsupport::ShellQuote;

// Runs trctool with the emulated card settings and, when given, its own
// registry file and system directory instead of the installed ones.
ProgramResult Trctool(const std::vector<std::string>& args, const std::string& card = "",
                      const std::string& registry = "", const std::string& systemDir = "") {
    std::string env = "env -u MARLOTRC_REGISTRY -u MARLOTRC_SYSTEM_DIR ORINTPX_EMULATOR=" + ShellQuote(card) + " ";
    if (!registry.empty()) env += "MARLOTRC_REGISTRY=" + ShellQuote(registry) + " ";
    if (!systemDir.empty()) env += "MARLOTRC_SYSTEM_DIR=" + ShellQuote(systemDir) + " ";
    // A command that blocks on a special file would hang the test: cut it off.
    std::vector<std::string> command = {"20", TRCTOOL_PATH};
    command.insert(command.end(), args.begin(), args.end());
    return testsupport::RunProgram("timeout", command, env);
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class CardCommandInput : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::path(::testing::TempDir()) / ("marlotrc_card_input_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path Write(const std::string& name, const std::string& bytes) {
        const fs::path path = m_dir / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    fs::path m_dir;
};

// Every kind of registry file that cannot be read is said once on standard
// error, with the reason; the command goes on with "Not Configured".
TEST_F(CardCommandInput, AnUnreadableRegistryFileIsSaidOnceAndWhy) {
    fs::create_directories(m_dir / "folder.reg");
    ASSERT_EQ(::mkfifo((m_dir / "fifo.reg").c_str(), 0600), 0);
    std::string utf16NoMark;
    for (char c : std::string("Windows Registry Editor Version 5.00\r\n")) utf16NoMark += std::string{c, '\0'};
    struct Case {
        fs::path path;
        const char* reason;
    };
    const Case cases[] = {
        {m_dir / "missing.reg", "No such file or directory"},
        {m_dir / "folder.reg", "it is a folder"},
        {m_dir / "fifo.reg", "it is not a regular file"},
        {Write("random.reg", std::string("\x8F\x13\xC4\x00\x7Fzq", 7)), "it is no registry export"},
        {Write("utf16.reg", utf16NoMark), "it is no registry export"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.filename().string());
        for (const char* command : {"info", "diag"}) {  // diag reads the registry twice
            SCOPED_TRACE(command);
            const auto r = Trctool({command}, "", c.path.string());
            EXPECT_EQ(r.status, 0) << r.err;
            const std::string message = "The registry file " + c.path.string() + " could not be read: " + c.reason;
            EXPECT_EQ(Count(r.err, message), 1u) << r.err;
            EXPECT_EQ(Count(r.err, "could not be read"), 1u) << r.err;
            EXPECT_NE(r.out.find("Switch Type: "), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("Not Configured"), std::string::npos) << r.out;
        }
    }
}

TEST_F(CardCommandInput, AFifoInPlaceOfAProductFileKeepsTheDialogText) {
    const fs::path system = m_dir / "system";
    fs::create_directories(system / "drivers");
    ASSERT_EQ(::mkfifo((system / "orinbri.dll").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((system / "drivers" / "orintpx.sys").c_str(), 0600), 0);
    const auto r = Trctool({"info"}, "", "", system.string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Product Version:              3.0.0.0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("OrinTpx Driver Version:       Driver version\n"), std::string::npos) << r.out;
}

// Registry strings and version texts with line feeds and escape sequences
// stay on their own line, escaped as trctool dump escapes cells; the file
// written with -o keeps the values as they are.
TEST_F(CardCommandInput, ControlCharactersInValuesCannotForgeLines) {
    const fs::path registry = Write("card.reg",
        "REGEDIT4\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OrinTlan\\Parameters]\n"
        "\"Line0.SwitchStyle\"=dword:00000002\n\"Line0.LogicalTerminals\"=dword:00000001\n"
        "\"Line0.LTerm0.SPID\"=hex(1):31,0a,46,61,6b,65,3a,20,78,1b,5b,33,31,6d,00\n");
    versionpe::VersionPeRequest request;
    request.tables.push_back({"040904b0", {{"ProductVersion", "3.0\nForged: 1"}, {"FileVersion", "1.0\x1b[2J"}}});
    const auto image = versionpe::MakeVersionPeImage(request);
    Write("system/orinbri.dll", std::string(image.begin(), image.end()));

    const auto info = Trctool({"info"}, "", registry.string(), (m_dir / "system").string());
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(testsupport::Lines(info.out).size(), 12u) << info.out;
    EXPECT_NE(info.out.find("Line 1 SPID:                  1\\nFake: x\\x1b[31m\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Product Version:              3.0\\nForged: 1\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Software Revision:            1.0\\x1b[2J\n"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find('\x1b'), std::string::npos);

    const auto shown = Trctool({"diag"}, "", registry.string());
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("Line 1 SPID: 1\\nFake: x\\x1b[31m\n"), std::string::npos) << shown.out;
    const auto raw = Trctool({"diag", "-o", "-"}, "", registry.string());
    EXPECT_NE(raw.out.find("Line 1 SPID: 1\nFake: x\x1b[31m\n"), std::string::npos) << raw.out;
}

// One terminal in the registry does not hide link 2 from `status`, which
// asks both links as the Card Status window does.
TEST_F(CardCommandInput, StatusShowsBothLinksWhateverTheRegistrySays) {
    const fs::path registry = Write("one.reg",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OrinTlan\\Parameters]\n"
        "\"Line0.LogicalTerminals\"=dword:00000001\n");
    const auto r = Trctool({"status"}, "l2=7;l3=1", registry.string());
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = testsupport::Lines(r.out);
    ASSERT_EQ(lines.size(), 7u) << r.out;
    EXPECT_EQ(lines[5], "Layer 2 Link 2 State: Timer recovery");
    EXPECT_EQ(lines[6], "Layer 3 Link 2 State: Layer 3 initialization pending");
}

// The same --adapter forms whatever the number of adapters; a refusal says
// which forms there are.
TEST_F(CardCommandInput, AdapterAcceptsNamesAndIndexesWithLeadingZeros) {
    struct Case {
        const char* card;
        const char* adapter;
        int status;
        const char* name;
    };
    const Case cases[] = {
        {"", "OrinBri1", 0, "OrinBri1"},  {"", "0", 0, "OrinBri1"},
        {"", "00", 0, "OrinBri1"},        {"", "1", 2, nullptr},
        {"", "OrinBri2", 2, nullptr},     {"", "", 2, nullptr},
        {"adapters=3", "002", 0, "OrinBri3"}, {"adapters=3", "0", 0, "OrinBri1"},
        {"adapters=3", "OrinBri2", 0, "OrinBri2"}, {"adapters=3", "3", 2, nullptr},
        {"adapters=3", "-1", 2, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.card) + " --adapter=" + c.adapter);
        const auto r = Trctool({"info", std::string("--adapter=") + c.adapter}, c.card);
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.name) {
            EXPECT_NE(r.out.find(std::string("Adapter:                      ") + c.name + "\n"), std::string::npos);
        } else {
            EXPECT_NE(r.err.find("--adapter takes an adapter's name or its index (0, 1, ...; leading zeros allowed)"),
                      std::string::npos) << r.err;
            EXPECT_NE(r.err.find("0 OrinBri1 - Inactive\n"), std::string::npos) << r.err;
        }
    }
}

TEST_F(CardCommandInput, AnAbsentCardSaysWhatTheCodeMeans) {
    const auto r = Trctool({"status"}, "absent=1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("trctool: Tpx Register 6: no adapter card answered: the device \\\\.\\ORINTPX is not there\n"),
              std::string::npos) << r.err;
}

// Each --watch block starts with the time of day; an interrupt ends the
// command cleanly.
TEST_F(CardCommandInput, WatchedStatisticsBlocksStartWithTheTimeOfDay) {
    const auto r = testsupport::RunProgram(
        "timeout", {"--preserve-status", "-s", "INT", "2", TRCTOOL_PATH, "stats", "--watch"},
        "env -u MARLOTRC_REGISTRY -u MARLOTRC_SYSTEM_DIR -u ORINTPX_EMULATOR ");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = testsupport::Lines(r.out);
    ASSERT_GE(lines.size(), 2u) << r.out;
    const std::string& time = lines[0];
    ASSERT_EQ(time.size(), 14u) << time;
    EXPECT_EQ(time.rfind("Time: ", 0), 0u) << time;
    EXPECT_EQ(time[8], ':');
    EXPECT_EQ(time[11], ':');
    EXPECT_EQ(lines[1], "Line Statistics");
}

}  // namespace
