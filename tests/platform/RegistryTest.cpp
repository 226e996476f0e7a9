#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using platform::Registry;

enum class Encoding { Regedit4, Version5Utf16 };

// The same export in either file format: REGEDIT4 8-bit text, or the
// version 5 header in UTF-16LE with a byte order mark and CR LF line ends.
std::vector<std::uint8_t> Export(Encoding encoding, const std::string& body) {
    std::vector<std::uint8_t> out;
    if (encoding == Encoding::Regedit4) {
        const std::string text = "REGEDIT4\n\n" + body;
        out.assign(text.begin(), text.end());
        return out;
    }
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (char c : body) {
        if (c == '\n') text += '\r';
        text += c;
    }
    out = {0xFF, 0xFE};
    for (char c : text) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

class RegistryEncodings : public ::testing::TestWithParam<Encoding> {};

TEST_P(RegistryEncodings, ReadsKeysAndValuesWithoutRegardToCase) {
    const std::string body =
        "; comment line\n"
        "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\OrinTlan2\\Parameters]\n"
        "\"Line0.SwitchStyle\"=dword:00000007\n"
        "\"Line0.LTerm0.DN\"=\"2125551234\"\n"
        "\"Path\"=\"C:\\\\Orin\\\\\\\"x\\\"\"\n"
        "\"Long\"=\"0123456789012345678901234567890123456789\"\n"
        "@=\"default\"\n"
        "\"Bad\"=dword:xyz\n"
        "\"Unterminated\"=\"abc\n"
        "\"Expand\"=hex(2):25,00,41,00,\\\n"
        "  00,00\n"
        "\n"
        "[HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1]\n"
        "\"VANumber\"=\"2\"\n";
    const Registry reg = Registry::Parse(Export(GetParam(), body));

    const auto key = reg.OpenLocalMachineKey("SYSTEM\\currentcontrolset\\Services\\orintlan2\\PARAMETERS");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryDword("line0.switchstyle"), 7u);
    EXPECT_EQ(key->QueryString("LINE0.LTERM0.DN", 32), "2125551234");
    EXPECT_EQ(key->QueryString("Path", 32), "C:\\Orin\\\"x\"");
    EXPECT_EQ(key->QueryString("Long", 32), "0123456789012345678901234567890");  // 31 characters
    EXPECT_EQ(key->QueryString("", 32), "default");
    EXPECT_FALSE(key->QueryDword("Bad"));
    EXPECT_FALSE(key->FindValue("Unterminated"));
    const bool utf16 = GetParam() == Encoding::Version5Utf16;
    // hex(2) holds UTF-16 in version 5 files and 8-bit text in REGEDIT4 files.
    EXPECT_EQ(key->QueryString("Expand", 32), utf16 ? "%A" : std::string("%"));

    // Types do not convert: a string is no DWORD and a DWORD no string.
    EXPECT_FALSE(key->QueryDword("Line0.LTerm0.DN"));
    EXPECT_FALSE(key->QueryString("Line0.SwitchStyle", 32));
    EXPECT_FALSE(key->QueryDword("Missing"));

    // Both hive spellings name the same keys; parents of listed keys exist.
    const auto cards = reg.OpenKey("HKEY_LOCAL_MACHINE\\software\\microsoft\\windows nt\\currentversion\\networkcards\\1\\");
    ASSERT_TRUE(cards);
    EXPECT_EQ(cards->QueryString("vanumber", 32), "2");
    const auto parent = reg.OpenLocalMachineKey("System\\CurrentControlSet\\Services");
    ASSERT_TRUE(parent);
    EXPECT_FALSE(parent->FindValue("Line0.SwitchStyle"));
    EXPECT_FALSE(reg.OpenLocalMachineKey("System\\CurrentControlSet\\Services\\OrinTlan"));
    EXPECT_FALSE(reg.OpenLocalMachineKey("System\\CurrentControlSet\\Services\\OrinTlan2\\Param"));
    EXPECT_FALSE(reg.OpenKey("HKEY_CURRENT_USER\\System"));
}

TEST_P(RegistryEncodings, LaterLinesOverrideAndDeleteEarlierOnes) {
    const std::string body =
        "[HKEY_LOCAL_MACHINE\\A\\B]\n"
        "\"V\"=dword:1\n"
        "\"W\"=\"w\"\n"
        "[HKEY_LOCAL_MACHINE\\A\\C]\n"
        "\"X\"=\"x\"\n"
        "[hkey_local_machine\\a\\b]\n"
        "\"v\"=dword:00000002\n"
        "\"W\"=-\n"
        "[-HKEY_LOCAL_MACHINE\\A\\C]\n";
    const Registry reg = Registry::Parse(Export(GetParam(), body));
    const auto b = reg.OpenLocalMachineKey("A\\B");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->QueryDword("V"), 2u);
    EXPECT_FALSE(b->FindValue("W"));
    EXPECT_FALSE(reg.OpenLocalMachineKey("A\\C"));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RegistryEncodings,
                         ::testing::Values(Encoding::Regedit4, Encoding::Version5Utf16));

TEST(Registry, UnknownHeadersAndGarbageGiveAnEmptyRegistry) {
    const std::string noHeader = "[HKEY_LOCAL_MACHINE\\A]\n\"V\"=dword:1\n";
    const std::vector<std::uint8_t> bytes(noHeader.begin(), noHeader.end());
    EXPECT_EQ(Registry::Parse(bytes).KeyCount(), 0u);
    EXPECT_EQ(Registry::Parse({}).KeyCount(), 0u);
    EXPECT_EQ(Registry::Load("/nonexistent/marlotrc.reg").KeyCount(), 0u);
    EXPECT_FALSE(Registry().OpenLocalMachineKey("A"));
}

TEST(Registry, EveryPrefixAndByteFlipOfAFileParsesSafely) {
    const std::string body =
        "[HKEY_LOCAL_MACHINE\\S\\P]\n\"A\"=\"a\\\\b\"\n\"B\"=dword:0000000a\n\"C\"=hex(2):41,00,\\\n 42,00\n";
    for (Encoding e : {Encoding::Regedit4, Encoding::Version5Utf16}) {
        const auto full = Export(e, body);
        for (std::size_t n = 0; n <= full.size(); ++n) {
            const std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            const Registry reg = Registry::Parse(cut);
            if (auto key = reg.OpenLocalMachineKey("S\\P")) (void)key->QueryString("C", 32);
        }
        for (std::size_t i = 0; i < full.size(); ++i) {
            auto flipped = full;
            flipped[i] ^= 0xA5;
            const Registry reg = Registry::Parse(flipped);
            if (auto key = reg.OpenLocalMachineKey("S\\P")) (void)key->QueryString("A", 32);
        }
    }
}

// A file that is no readable export gives an empty registry and says why;
// none of them blocks, whatever kind of file the name is.
TEST(Registry, FilesThatCannotBeReadSayWhy) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "marlotrc_registry_problems";
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.reg");
    ASSERT_EQ(::mkfifo((dir / "fifo.reg").c_str(), 0600), 0);
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    };
    const std::string good = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\T]\n\"V\"=dword:00000005\n";
    std::string utf16NoMark;
    std::string utf16BigEndian = "\xFE\xFF";
    for (char c : std::string("Windows Registry Editor Version 5.00\r\n")) {
        utf16NoMark += c;
        utf16NoMark += '\0';
        utf16BigEndian += '\0';
        utf16BigEndian += c;
    }
    std::string crOnly = good;
    for (char& c : crOnly) c = c == '\n' ? '\r' : c;
    struct Case {
        fs::path path;
        const char* reason;
    };
    const Case cases[] = {
        {dir / "missing.reg", "No such file or directory"},
        {dir / "folder.reg", "it is a folder"},
        {dir / "fifo.reg", "it is not a regular file"},
        {write("empty.reg", ""), "it is empty"},
        {write("random.reg", std::string("\x8F\x13\xC4\x00\x7Fzq\x01\xFE", 9)), "it is no registry export"},
        {write("utf16-no-mark.reg", utf16NoMark), "it is no registry export"},
        {write("utf16-big-endian.reg", utf16BigEndian), "it is no registry export"},
        {write("cr-only.reg", crOnly), "it is no registry export"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.filename().string());
        std::string problem = "left over";
        const Registry reg = Registry::Load(c.path, &problem);
        EXPECT_EQ(reg.KeyCount(), 0u);
        EXPECT_EQ(problem.rfind(c.reason, 0), 0u) << problem;
    }
    std::string problem = "left over";
    EXPECT_EQ(Registry::Load(write("good.reg", good), &problem).KeyCount(), 1u);
    EXPECT_EQ(problem, "");
    fs::remove_all(dir);
}

// One binary value continued over many lines is joined as a whole, whatever
// its length (reading it is linear; bench/RegistryBench measures the time).
TEST(Registry, AValueContinuedOverManyLinesIsReadWhole) {
    std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\T]\n\"Blob\"=hex:00,\\\n";
    constexpr int kLines = 5000;
    for (int i = 0; i < kLines; ++i) text += "  01,02,03,04,\\\n";
    text += "  05\n\"After\"=hex(2):41,00,00,00\n";
    const Registry reg = Registry::Parse(std::vector<std::uint8_t>(text.begin(), text.end()));
    const auto key = reg.OpenLocalMachineKey("T");
    ASSERT_TRUE(key);
    const auto* blob = key->FindValue("Blob");
    ASSERT_TRUE(blob);
    EXPECT_EQ(blob->type, platform::RegistryType::Binary);
    EXPECT_EQ(key->QueryString("After", 32), "A") << "the line after the last continuation is a value of its own";
}

// A file is read in pieces of 64 KiB. Whatever falls on the boundary between
// two pieces (a character of several bytes, half of a CR LF, a hex value's
// continuation, a line longer than a piece) reads as the same bytes do from
// memory, at every alignment around the boundary.
TEST(Registry, AFileReadsTheSameWhateverFallsOnAPieceBoundary) {
    namespace fs = std::filesystem;
    constexpr std::size_t kPiece = 1 << 16;
    enum class Text { EightBit, Utf8, Utf16 };
    struct Case {
        const char* what;
        Text text;
        std::string entry;  // the value's line as the file holds it (UTF-16: as 8-bit, widened below)
        std::size_t at;     // the byte of the entry to bring near the boundary
        const char* name;
        std::string expected;
    };
    const std::string longText(100000, 'L');
    const Case cases[] = {
        {"two-byte UTF-8", Text::Utf8, "\"Name\"=\"caf\xC3\xA9\"\r\n", 11, "Name", "caf\xE9"},
        {"three-byte UTF-8 beyond 8 bits", Text::Utf8, "\"Euro\"=\"\xE2\x82\xAC!\"\r\n", 8, "Euro", "?!"},
        {"UTF-16 surrogate pair", Text::Utf16, "\"Face\"=\"\x01\x02!\"\r\n", 8, "Face", "?!"},
        {"CR LF", Text::EightBit, "\"Crlf\"=\"v\"\r\n", 10, "Crlf", "v"},
        {"hex continuation", Text::EightBit, "\"Hex\"=hex(1):41,\\\r\n  42,00\r\n", 15, "Hex", "AB"},
        {"a line longer than a piece", Text::EightBit, "\"Long\"=\"" + longText + "\"\n", 0, "Long", longText},
    };
    const fs::path path = fs::path(::testing::TempDir()) / "marlotrc_registry_pieces.reg";
    for (const Case& c : cases) {
        // UTF-16: each character a unit; \x01\x02 stands for the pair D83D DE00.
        const auto encode = [&](const std::string& text) {
            std::string out;
            for (char ch : text) {
                if (c.text != Text::Utf16) {
                    out += ch;
                } else if (ch == '\x01') {
                    out += std::string("\x3D\xD8", 2);
                } else if (ch == '\x02') {
                    out += std::string("\x00\xDE", 2);
                } else {
                    out += ch;
                    out += '\0';
                }
            }
            return out;
        };
        const std::size_t unit = c.text == Text::Utf16 ? 2 : 1;
        const std::string mark = c.text == Text::Utf8 ? "\xEF\xBB\xBF" : c.text == Text::Utf16 ? "\xFF\xFE" : "";
        const std::string head = mark + encode(std::string(c.text == Text::Utf16 ? "Windows Registry Editor Version 5.00"
                                                                                 : "REGEDIT4") +
                                               "\r\n[HKEY_LOCAL_MACHINE\\P]\r\n\"Pad\"=\"");
        const std::string padEnd = encode("\"\r\n");
        const std::string entry = encode(c.entry);
        const std::string tail = encode("\"After\"=dword:00000001\r\n");
        const std::size_t entryAt = c.at * unit;
        for (std::size_t target = kPiece - 4; target <= kPiece + 4; ++target) {
            const std::size_t fixed = head.size() + padEnd.size() + entryAt;
            if ((target - fixed) % unit != 0) continue;
            const std::string file = head + encode(std::string((target - fixed) / unit, 'x')) + padEnd + entry + tail;
            ASSERT_EQ(file.size() - entry.size() - tail.size() + entryAt, target);
            SCOPED_TRACE(std::string(c.what) + ", byte at " + std::to_string(target));
            std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
            std::string problem;
            const Registry fromFile = Registry::Load(path, &problem);
            const Registry fromMemory = Registry::Parse(std::vector<std::uint8_t>(file.begin(), file.end()));
            EXPECT_EQ(problem, "");
            for (const Registry* reg : {&fromFile, &fromMemory}) {
                const auto key = reg->OpenLocalMachineKey("P");
                ASSERT_TRUE(key);
                EXPECT_EQ(key->QueryString(c.name, 200000), c.expected);
                EXPECT_EQ(key->QueryDword("After"), 1u);
            }
        }
    }
    fs::remove(path);
}

TEST(Registry, SystemRegistryFollowsTheEnvironment) {
    const std::string path = ::testing::TempDir() + "/marlotrc_registry_test.reg";
    {
        std::ofstream out(path, std::ios::binary);
        out << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\T]\n\"V\"=dword:00000005\n";
    }
    ::setenv("MARLOTRC_REGISTRY", path.c_str(), 1);
    const auto key = Registry::LoadSystem().OpenLocalMachineKey("t");
    ::unsetenv("MARLOTRC_REGISTRY");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryDword("v"), 5u);
    std::remove(path.c_str());
}

}  // namespace
