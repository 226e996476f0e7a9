// The display filter language on a hand-built trace whose answers are known
// record by record: every field, its other names, the operators, and every
// message a malformed expression can get.

#include <gtest/gtest.h>

#include "filter/DisplayFilter.h"
#include "tests/support/TraceFiles.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::MakeRecord;
using testsupport::RecordFields;

constexpr std::uint8_t kTe = 0x00;
constexpr std::uint8_t kNt = 0x01;

// Record index: what it is.
//  0 TE SABME, TEI 64            1 NT UA              2 TE I SETUP, CRV 1, called 5551234, calling 4567
//  3 NT RR, N(R) 1               4 NT I DISCONNECT, N(S) 0, N(R) 1, CRV 1 (D), cause 16
//  5 TE TEI management ID_REQ    6 ASCII "hello world" 7 hex record
//  8 NT UI SETUP on TEI 127, CRV 5, called 50, calling 987       9 a frame of one octet
class DisplayFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        AddFrame(kTe, {0x00, 0x81, 0x7F});
        AddFrame(kNt, {0x00, 0x81, 0x73});
        AddFrame(kTe, {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0xA1, 0x04, 0x03, 0x80, 0x90, 0xA3, 0x18,
                       0x01, 0x83, 0x6C, 0x06, 0x01, 0x80, '4', '5', '6', '7', 0x70, 0x08, 0x81, '5', '5', '5', '1',
                       '2', '3', '4'});
        AddFrame(kNt, {0x02, 0x81, 0x01, 0x02});
        AddFrame(kNt, {0x02, 0x81, 0x00, 0x02, 0x08, 0x01, 0x81, 0x45, 0x08, 0x02, 0x80, 0x90});
        AddFrame(kTe, {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF});
        RecordFields ascii;
        ascii.type = 1;
        ascii.sequence = 77;
        ascii.hours = 1;
        ascii.minutes = 2;
        ascii.seconds = 3;
        ascii.hundredths = 4;
        ascii.b = 2;
        ascii.ln = 11;
        const std::string text = "hello world";
        ascii.data.assign(text.begin(), text.end());
        Add(ascii);
        RecordFields hex = Fields();
        hex.type = 2;
        hex.data = {0x41, 0x00, 0xFF};
        Add(hex);
        AddFrame(kNt, {0x02, 0xFF, 0x03, 0x08, 0x01, 0x05, 0x05, 0x04, 0x02, 0x88, 0x90, 0x18, 0x01, 0x8A, 0x6C,
                       0x04, 0x81, '9', '8', '7', 0x70, 0x03, 0x80, '5', '0'});
        AddFrame(kTe, {0x00});
    }

    // Record i: sequence 100 + i at 10:00:0i.00.
    RecordFields Fields() const {
        RecordFields fields;
        const int i = m_log.GetRecordCount();
        fields.sequence = static_cast<std::uint16_t>(100 + i);
        fields.hours = 10;
        fields.minutes = 0;
        fields.seconds = static_cast<std::uint8_t>(i);
        fields.hundredths = 0;
        return fields;
    }
    void AddFrame(std::uint8_t flags, Bytes frame) {
        RecordFields fields = Fields();
        fields.flags = flags;
        fields.data = std::move(frame);
        Add(fields);
    }
    void Add(const RecordFields& fields) { ASSERT_GE(m_log.AddRawRecord(MakeRecord(fields)), 0); }

    std::vector<int> Matching(const std::string& expression) {
        filter::FilterError error;
        const auto parsed = filter::DisplayFilter::Parse(expression, &error);
        if (!parsed) {
            ADD_FAILURE() << expression << ": " << error.Text();
            return {};
        }
        return filter::MatchingRecords(*parsed, m_log, 0, m_log.GetRecordCount());
    }

    trace::CTraceLog m_log;
};

struct MatchCase {
    const char* expression;
    std::vector<int> records;
};

void Check(DisplayFilterTest& test, std::initializer_list<MatchCase> cases,
           const std::function<std::vector<int>(const std::string&)>& matching) {
    (void)test;
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_EQ(matching(c.expression), c.records);
    }
}

TEST_F(DisplayFilterTest, LayerTwoFields) {
    Check(*this,
          {
              {"", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
              {"   ", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
              {"sapi == 0", {0, 1, 2, 3, 4, 8}},
              {"lapd.sapi == 63", {5}},
              {"tei == 64", {0, 1, 2, 3, 4}},
              {"lapd.tei == 127", {5, 8}},
              {"cr == C", {0, 2, 3, 4, 5, 8}},
              {"cr == 0", {1}},
              {"lapd.cr == 0", {0, 1, 2, 5}},  // the bit as sent, whoever sent it
              {"lapd.cr == 1", {3, 4, 8}},
              {"ftype == SABME", {0}},
              {"ftype == sabe", {0}},
              {"ftype == UA", {1}},
              {"ftype == I", {2, 4}},
              {"ftype == RR", {3}},
              {"ftype == UI", {5, 8}},
              {"ftype == ID_REQ", {5}},
              {"ftype contains \"id_\"", {5}},
              {"ns == 0", {2, 4}},
              {"lapd.control.n_s == 1", {}},
              {"nr == 1", {3, 4}},
              {"lapd.control.n_r >= 0", {2, 3, 4}},
              {"pf == 1", {0, 1}},
              {"lapd.control.p", {0}},  // P of a command, F of a response, only when set
              {"lapd.control.f == 1", {1}},
              {"lapd.control.f == 0", {}},
              {"source == NT", {1, 3, 4, 8}},
              {"source == te", {0, 2, 5, 9}},
              {"lapd.direction == 1", {1, 3, 4, 8}},
              {"len == 3", {0, 1, 7}},
              {"frame.len > 20", {2, 8}},
          },
          [this](const std::string& e) { return Matching(e); });
}

TEST_F(DisplayFilterTest, HeaderAndElementFields) {
    Check(*this,
          {
              {"crv == 1", {2, 4}},
              {"q931.call_ref == 5", {8}},
              {"crflag == D", {4}},
              {"q931.call_ref_flag == 0", {2, 8}},
              {"msg == \"SETUP\"", {2, 8}},
              {"msg == setup", {2, 8}},
              {"q931.message_type == 5", {2, 8}},
              {"q931.message_type == 0x45", {4}},
              {"msg == CALL_PROCEEDING", {}},
              {"msg contains \"conn\"", {4}},
              {"ie == \"CAUSE\"", {4}},
              {"ie == \"bearer capability\"", {2, 8}},
              {"ie == \"BEARER CAPABIL\"", {2, 8}},
              {"ie == \"BEARER\"", {}},
              {"ie contains \"bearer\"", {2, 8}},
              {"ie == 0x70", {2, 8}},
              {"ie == \"SENDING COMPLET\"", {2}},
              {"cause == 16", {4}},
              {"cause != 16", {0, 1, 2, 3, 5, 6, 7, 8, 9}},
              {"q931.cause_value != 17", {4}},  // a packet analyser's name: only records with the field
              {"cause", {4}},
              {"called contains \"555\"", {2}},
              {"called == 50", {8}},
              {"q931.called_party_number.digits == \"5551234\"", {2}},
              {"calling == \"4567\"", {2}},
              {"q931.calling_party_number.digits matches \"^9\"", {8}},
              {"msg == \"SETUP\" and called contains \"555\"", {2}},
          },
          [this](const std::string& e) { return Matching(e); });
}

TEST_F(DisplayFilterTest, RecordFields) {
    Check(*this,
          {
              {"mod == ASC", {6}},
              {"mod == hex", {7}},
              {"mod == DCH", {0, 1, 2, 3, 4, 5, 8, 9}},
              {"mod == 1", {6}},
              {"seq == 77", {6}},
              {"seq >= 108", {8, 9}},
              {"time < 09:00", {6}},
              {"time == 01:02:03.04", {6}},
              {"time > 36005", {7, 8, 9}},
              {"time >= 10:00:08", {8, 9}},
              {"time < 166666666666666666", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
              {"b == 2 and ln == 11", {6}},
              {"text contains \"HELLO\"", {6}},
              {"text == \"SETUP\"", {2, 8}},
              {"text matches \"^disc\"", {4}},
              {"text contains \"ID_REQ\"", {5}},
              {"frame contains 08:01", {2, 4, 8}},
              {"frame == 00:81:7f", {0}},
              {"frame contains \"hello\"", {6}},
              {"frame contains 0xFF", {5, 7, 8}},
              {"frame matches \"^A\"", {7}},
          },
          [this](const std::string& e) { return Matching(e); });
}

// A pattern that makes a backtracking matcher take exponential time (or
// recurse once per octet) is matched in linear time over the longest frame,
// and patterns work on octets, whatever their value.
TEST_F(DisplayFilterTest, PatternsMatchOctetsInLinearTime) {
    AddFrame(kTe, Bytes(280, 'a'));
    Check(*this,
          {
              {"frame matches \"^(a|aa)*b$\"", {}},
              {"frame matches \"^(a*)*$\"", {10}},
              {"text matches \"(x+x+)+y\"", {}},
              {"frame matches \"\\xff$\"", {5, 7}},
              {"frame matches \"^\\x41\\x00\"", {7}},
          },
          [this](const std::string& e) { return Matching(e); });
}

TEST_F(DisplayFilterTest, PresenceLogicAndPrecedence) {
    Check(*this,
          {
              {"lapd", {0, 1, 2, 3, 4, 5, 8, 9}},
              {"q931", {2, 4, 8}},
              {"tei", {0, 1, 2, 3, 4, 5, 8}},
              {"not tei", {6, 7, 9}},
              {"crv", {2, 4, 8}},
              {"tei != 64", {5, 6, 7, 8, 9}},
              {"!(sapi == 0) && lapd", {5, 9}},
              {"sapi == 0 and (ftype == RR or ftype == UA)", {1, 3}},
              {"sapi == 63 or sapi == 0 and tei == 127", {5, 8}},
              {"(sapi == 63 or sapi == 0) and tei == 127", {5, 8}},
              {"not not tei == 64", {0, 1, 2, 3, 4}},
              {"TEI == 64 || Mod == asc", {0, 1, 2, 3, 4, 6}},
              {"tei eq 64 and nr ge 1", {3, 4}},
              {"tei == 0x40 and ftype != I", {0, 1, 3}},
          },
          [this](const std::string& e) { return Matching(e); });
}

TEST(DisplayFilterErrors, NamePositionAndWhatWasExpected) {
    struct ErrorCase {
        const char* expression;
        std::size_t position;
        const char* message;
    };
    const ErrorCase cases[] = {
        {"tei ==", 7, "expected a value after \"==\", found the end"},
        {"foo == 1", 1, "unknown field \"foo\""},
        {"(tei == 1", 10, "expected \")\" to close the \"(\" at character 1, found the end"},
        {"tei == 1 tei", 10, "expected \"and\", \"or\" or the end of the expression, found \"tei\""},
        {"== 1", 1, "expected a field name, \"not\" or \"(\", found \"==\""},
        {"tei == 1 and", 13, "expected a field name, \"not\" or \"(\", found the end"},
        {"tei = 1", 5, "\"=\" is not an operator: write \"==\""},
        {"text == \"abc", 9, "the string has no closing quote"},
        {"tei == 1 $", 10, "unexpected character \"$\""},
        {"tei == abc", 8, "tei is a number, not \"abc\""},
        {"tei == 99999999999999999999", 8, "bad number \"99999999999999999999\""},
        {"tei contains 1", 5, "\"contains\" does not apply to tei, which is a number"},
        {"seq matches \"1\"", 5, "\"matches\" does not apply to seq, which is not a text"},
        {"msg == \"SETUPX\"", 8, "unknown message \"SETUPX\""},
        {"ftype == FOO", 10,
         "unknown ftype \"FOO\": expected one of I, RR, RNR, REJ, SABME, DM, UI, DISC, UA, FRMR, XID, ID_REQ, "
         "ID_ASN, ID_DEN, ID_CRQ, ID_CRS, ID_REM, ID_VER, SABE"},
        {"source == XX", 11, "unknown source \"XX\": expected one of TE, NT, USER, NETWORK"},
        {"cr < C", 4, "\"<\" does not apply to cr, unless it is compared with a number"},
        {"text matches \"(\"", 14, "bad regular expression \"(\": "},
        {"time == 25:00", 9, "time takes hh:mm, hh:mm:ss or hh:mm:ss.cc, not \"25:00\""},
        {"time == 10:00:00.1.2", 9, "time takes hh:mm, hh:mm:ss or hh:mm:ss.cc"},
        {"time contains 1", 6, "\"contains\" does not apply to time, which is a time of day"},
        {"frame contains 0g:01", 16, "expected octets as hex pairs separated by \":\" (08:01), found \"0g:01\""},
        {"frame contains 08:", 16, "expected octets as hex pairs"},
        {"frame contains 0x100", 16, "a byte is 0 to 255 (0xFF), not \"0x100\""},
        {"frame > 01", 7, "\">\" does not apply to frame, which is a byte sequence"},
        {"lapd == 1", 6, "\"==\" does not apply to lapd, which is only present or not"},
        {"text < \"a\"", 6, "\"<\" does not apply to text, which is a text"},
        {"called == 08:01", 11, "called is a text: put it in quotes"},
        {"ie contains 8", 4, "\"contains\" does not apply to ie, compared with a number"},
        {"text == \"\\x4\"", 10, "\"\\x\" needs two hex digits"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.expression);
        filter::FilterError error;
        EXPECT_FALSE(filter::DisplayFilter::Parse(c.expression, &error).has_value());
        EXPECT_EQ(error.position, c.position);
        EXPECT_TRUE(error.message.starts_with(c.message)) << error.message;
    }
    filter::FilterError error{4, "unknown field \"x\""};
    EXPECT_EQ(error.Text(), "unknown field \"x\" (at character 4)");
}

TEST(DisplayFilterKinds, ElementFieldsAreKnownBeforeMatching) {
    EXPECT_TRUE(filter::DisplayFilter::Parse("")->IsEverything());
    EXPECT_FALSE(filter::DisplayFilter::Parse("tei")->IsEverything());
    EXPECT_FALSE(filter::DisplayFilter::Parse("tei == 1 and msg == SETUP")->ReadsElements());
    EXPECT_TRUE(filter::DisplayFilter::Parse("tei == 1 or cause == 16")->ReadsElements());
    EXPECT_TRUE(filter::DisplayFilter::Parse("not ie")->ReadsElements());
}

}  // namespace
