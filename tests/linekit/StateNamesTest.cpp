// The link state names and the signature search.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "linekit/tpx.h"

namespace {

TEST(StateNames, CodesGiveTheirTextsAndTheBytesCopied) {
    struct Case {
        std::uint32_t (*name)(std::uint32_t, char**);
        std::uint32_t code;
        const char* text;
    };
    const Case cases[] = {
        {GetL2LinkStateString, 0, "TEI unassigned"},
        {GetL2LinkStateString, 2, "Establish awaiting TEI"},
        {GetL2LinkStateString, 6, "Multiple frame established"},
        {GetL2LinkStateString, 7, "Timer recovery"},
        {GetL2LinkStateString, 8, "State unknown"},
        {GetL2LinkStateString, 0x106, "Multiple frame established"},  // only the low byte counts
        {GetL2LinkStateString, 0xFFFFFFFF, "State unknown"},
        {GetL3LinkStateString, 0, "Layer 3 inactive"},
        {GetL3LinkStateString, 2, "Layer 3 initialization request retrying"},  // the longest: 40 bytes
        {GetL3LinkStateString, 4, "Layer 3 not initialized"},
        {GetL3LinkStateString, 5, "State unknown"},
        {GetL3LinkStateString, 0x203, "Layer 3 active"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char buffer[TPX_STATE_TEXT_BYTES + 8];
        std::memset(buffer, '#', sizeof buffer);
        char* pointer = buffer;
        EXPECT_EQ(c.name(c.code, &pointer), std::strlen(c.text) + 1);
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(pointer, buffer) << "the caller's pointer is not changed";
        EXPECT_LE(std::strlen(c.text) + 1, std::size_t{TPX_STATE_TEXT_BYTES});
    }
    char* none = nullptr;
    EXPECT_EQ(GetL2LinkStateString(1, &none), 0u);
    EXPECT_EQ(GetL3LinkStateString(1, nullptr), 0u);
}

class SignatureSearchTest : public ::testing::Test {
protected:
    FILE* Stream(const std::string& content) {
        m_stream = std::tmpfile();
        std::fwrite(content.data(), 1, content.size(), m_stream);
        std::rewind(m_stream);
        return m_stream;
    }
    void TearDown() override {
        if (m_stream) std::fclose(m_stream);
    }
    FILE* m_stream = nullptr;
};

TEST_F(SignatureSearchTest, FindsUpToThreeLinesFromTheFirstSAfterByte1024) {
    struct Case {
        const char* name;
        std::string content;
        std::string destination;  // with its terminators
        std::string echoed;
    };
    const std::string head(1024, 'x');
    const std::string longLine = "S" + std::string(600, 'y') + "\n";
    const Case cases[] = {
        {"three of four lines", head + "abcSig one\ntwo\nthree\nfour\n",
         std::string("Sig one\n\0two\n\0three\n\0", 21), "  Sig one\n  two\n  three\n"},
        {"one line without a newline", head + "--Signature", std::string("Signature\0", 10), "  Signature"},
        {"a long line splits at 511 characters", head + longLine,
         longLine.substr(0, 511) + '\0' + longLine.substr(511) + '\0',
         "  " + longLine.substr(0, 511) + "  " + longLine.substr(511)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char destination[TPX_SIGNATURE_BYTES];
        std::memset(destination, '#', sizeof destination);
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(SignatureSearch(Stream(c.content), destination), 0);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.echoed);
        EXPECT_EQ(std::string(destination, c.destination.size()), c.destination);
        EXPECT_EQ(destination[c.destination.size()], '#');
        std::fclose(m_stream);
        m_stream = nullptr;
    }
}

TEST_F(SignatureSearchTest, WithoutTheTextItSaysSoAndLeavesTheDestinationAlone) {
    const std::string cases[] = {
        "S" + std::string(1023, 'x') + "tail without the letter\n",  // 'S' only before byte 1024
        "Short file with S\n",                                       // ends before byte 1024
    };
    for (const std::string& content : cases) {
        char destination[TPX_SIGNATURE_BYTES];
        std::memset(destination, '#', sizeof destination);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(SignatureSearch(Stream(content), destination), 0);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "We did not find the correct string!\n");
        EXPECT_EQ(destination[0], '#');
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    EXPECT_NE(::fcntl(STDOUT_FILENO, F_GETFD), -1) << "standard output stays open";
    EXPECT_EQ(SignatureSearch(nullptr, nullptr), -1);
}

}  // namespace
