// A whole call, from TEI assignment to RELEASE COMPLETE, written as a trace
// log file and read back through LoadFile: every record shows the texts and
// decode items the decoders give for its frame.

#include <gtest/gtest.h>

#include "tests/support/ItemTexts.h"
#include "tests/support/TraceFiles.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::RecordFields;

struct CallRecord {
    std::uint8_t flags;  // 0x01: from the network side
    Bytes frame;
    std::vector<std::string> texts;  // Source, Address, FTYP, P, NS, NR, CRV, Message
    int layer3;
    std::vector<testsupport::ItemTexts> items;
};

std::vector<std::string> Texts(const trace::CTraceLog& log, int i) {
    return {log.GetSource(i), log.GetAddress(i),       log.GetFrameType(i), log.GetPollFinal(i),
            log.GetNS(i),     log.GetNR(i),            log.GetCallReference(i), log.GetMessage(i)};
}

class CallDecodeTest : public testsupport::TempDirTest {};

TEST_F(CallDecodeTest, RealisticCallDecodesThroughLoadFile) {
    const std::vector<CallRecord> call = {
        {0x01, {0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x67, 0x02, 0x83},
         {"NT", "63-127-C", "UI", "0", "", "", "", "ID_ASN R:04711 A:065"}, 0, {}},
        {0x00,
         {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0xA1, 0x04, 0x02, 0x88, 0x90, 0x18, 0x01, 0x83, 0x6C, 0x06,
          0x01, 0x80, '4', '5', '6', '7', 0x70, 0x05, 0x81, '1', '2', '3', '4'},
         {"TE", "00-064-C", "I", "0", "000", "000", "O00001", "SETUP"},
         1,
         {{"0008", "A1", "01", "SENDING COMPLET", ""},
          {"0009", "04", "02", "BEARER CAPABIL ", "UNRESTRICTED DIGITAL 64K"},
          {"000D", "18", "01", "CHANNEL ID     ", "PREFERRED, ANY"},
          {"0010", "6C", "06", "CALLING NUMBER ", "4567"},
          {"0018", "70", "05", "CALLED NUMBER  ", "1234"}}},
        {0x01, {0x00, 0x81, 0x01, 0x02}, {"NT", "00-064-R", "RR", "0", "", "001", "", ""}, 0, {}},
        {0x01, {0x02, 0x81, 0x00, 0x02, 0x08, 0x01, 0x81, 0x02, 0x18, 0x01, 0x89},
         {"NT", "00-064-C", "I", "0", "000", "001", "D00001", "CALL PROCEEDING"},
         1,
         {{"0008", "18", "01", "CHANNEL ID     ", "EXCLUSIVE, B1"}}},
        {0x01, {0x02, 0x81, 0x02, 0x02, 0x08, 0x01, 0x81, 0x01, 0x1E, 0x02, 0x80, 0x88},
         {"NT", "00-064-C", "I", "0", "001", "001", "D00001", "ALERTING"},
         1,
         {{"0008", "1E", "02", "PROGRESS INDICA", "INFO/PATTERN NOW AVAILABLE"}}},
        {0x01,
         {0x02, 0x81, 0x04, 0x02, 0x08, 0x01, 0x81, 0x07, 0x29, 0x06, 0x60, 0x0C, 0x1F, 0x17, 0x3B, 0x00, 0x28, 0x05,
          'H', 'e', 'l', 'l', 'o'},
         {"NT", "00-064-C", "I", "0", "002", "001", "D00001", "CONNECT"},
         1,
         {{"0008", "29", "06", "DATE/TIME      ", "  96:12:31:23:59:00"},
          {"0010", "28", "05", "DISPLAY        ", "Hello"}}},
        {0x00, {0x02, 0x81, 0x01, 0x06}, {"TE", "00-064-R", "RR", "0", "", "003", "", ""}, 0, {}},
        {0x00, {0x00, 0x81, 0x02, 0x06, 0x08, 0x01, 0x01, 0x45, 0x08, 0x02, 0x80, 0x90},
         {"TE", "00-064-C", "I", "0", "001", "003", "O00001", "DISCONNECT"},
         1,
         {{"0008", "08", "02", "CAUSE          ", "(16) NORMAL CALL CLEARING"}}},
        {0x01, {0x02, 0x81, 0x06, 0x04, 0x08, 0x01, 0x81, 0x4D},
         {"NT", "00-064-C", "I", "0", "003", "002", "D00001", "RELEASE"}, 1, {}},
        {0x00, {0x00, 0x81, 0x04, 0x09, 0x08, 0x01, 0x01, 0x5A},
         {"TE", "00-064-C", "I", "1", "002", "004", "O00001", "RELEASE COMPLETE"}, 1, {}},
    };

    Bytes file = testsupport::FileHeader();
    for (std::size_t i = 0; i < call.size(); ++i) {
        RecordFields request;
        request.sequence = static_cast<std::uint16_t>(i + 1);
        request.flags = call[i].flags;
        request.data = call[i].frame;
        const Bytes record = testsupport::MakeRecord(request);
        file.insert(file.end(), record.begin(), record.end());
    }
    const auto path = m_dir / "call.log";
    testsupport::WriteFile(path, file);

    trace::CTraceLog log;
    ASSERT_EQ(log.LoadFile(path), 1);
    ASSERT_EQ(log.GetRecordCount(), static_cast<int>(call.size()));
    for (std::size_t i = 0; i < call.size(); ++i) {
        SCOPED_TRACE(i);
        const int index = static_cast<int>(i);
        EXPECT_EQ(log.GetMnemonic(index), "DCH");
        EXPECT_EQ(Texts(log, index), call[i].texts);
        EXPECT_EQ(log.HasLayer3(index), call[i].layer3);
        ASSERT_EQ(log.GetItemCount(index), static_cast<int>(call[i].items.size()));
        for (int k = 0; k < log.GetItemCount(index); ++k) EXPECT_EQ(testsupport::TextsOf(log.GetItem(index, k).value()), call[i].items[k]);
        EXPECT_EQ(log.GetItem(index, log.GetItemCount(index)), std::nullopt);
        EXPECT_EQ(log.GetItem(index, -1), std::nullopt);
    }
}

}  // namespace
