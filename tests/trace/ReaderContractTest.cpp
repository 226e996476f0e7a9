// The file loader and the live reader frame records by the same rules: given
// the same bytes, each delivers the same records, in order, up to the first
// record that breaks the framing, and none of a record cut short. (After a
// fault the loader stops and the live reader resynchronises; what comes after
// a fault is each reader's own business and is checked in their own tests.)

#include <gtest/gtest.h>

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "tests/support/QueueTarget.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TraceFiles.h"
#include "trace/LogFile.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::Concat;
using testsupport::MakeRecord;
using testsupport::RecordFields;

enum class Reader { File, Live };

Bytes Record(std::uint16_t type, std::uint16_t sequence, std::size_t dataLength) {
    RecordFields s;
    s.type = type;
    s.sequence = sequence;
    s.data.assign(dataLength, 0x41);
    if (type == 3 && dataLength >= 3) s.data[0] = 0x00, s.data[1] = 0x81, s.data[2] = 0x01;
    return MakeRecord(s);
}

Bytes WithField(Bytes record, std::size_t at, std::uint32_t value, bool wide) {
    if (wide) testsupport::PutU32(record, at, value);
    else testsupport::PutU16(record, at, value);
    return record;
}

struct Case {
    const char* name;
    Bytes records;                  // behind the file header
    std::vector<int> delivered;     // sequence numbers, in order
};

std::vector<Case> Cases() {
    const Bytes good = Concat({Record(3, 1, 4), Record(2, 2, 6), Record(1, 3, 5), Record(3, 4, 280)});
    const Bytes one = Record(3, 1, 4);
    std::vector<Case> cases = {
        {"GoodRecordsOfEveryKind", good, {1, 2, 3, 4}},
        {"BodilessTypesAreSkipped", Concat({one, WithField(Record(2, 2, 2), 4, 4, false),
                                            WithField(Record(2, 3, 0), 4, 6, false), Record(3, 4, 3)}),
         {1, 4}},
        {"TypeZero", Concat({one, WithField(Record(3, 2, 4), 4, 0, false)}), {1}},
        {"TypeSeven", Concat({one, WithField(Record(3, 2, 4), 4, 7, false)}), {1}},
        {"Length19", Concat({one, WithField(Record(2, 2, 0), 0, 19, true)}), {1}},
        {"Length5001", Concat({one, WithField(Record(2, 2, 4977), 0, 5001, true)}), {1}},
        {"TrailerDisagrees", Concat({one, [] {
                                         Bytes r = Record(3, 2, 4);
                                         r.back() ^= 0xFF;
                                         return r;
                                     }()}),
         {1}},
        {"HexDataLengthDisagrees", Concat({one, WithField(Record(2, 2, 6), 16, 5, true)}), {1}},
        {"DChannelDataLengthDisagrees", Concat({one, WithField(Record(3, 2, 6), 20, 5, true)}), {1}},
        {"DChannelLongerThan280", Concat({one, Record(3, 2, 281)}), {1}},
    };
    // Cut at every length: only the records wholly before the cut count.
    std::vector<std::size_t> ends;
    for (std::size_t at = 0; at < good.size(); at += *wire::Little(good).U32(at)) ends.push_back(at);
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<int> whole;
        for (std::size_t i = 0; i < ends.size(); ++i) {
            const std::size_t end = i + 1 < ends.size() ? ends[i + 1] : good.size();
            if (end <= cut) whole.push_back(static_cast<int>(i) + 1);
        }
        cases.push_back({"CutAt", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)), whole});
    }
    return cases;
}

class ReaderContract : public testsupport::TempDirTest, public ::testing::WithParamInterface<Reader> {
protected:
    std::vector<int> Read(const Bytes& records, std::size_t expected) {
        testsupport::RecordingMessageBox box;  // the loader says what stopped it; not compared here
        trace::CTraceLog log;
        std::vector<int> sequences;
        if (GetParam() == Reader::File) {
            const auto path = m_dir / "case.log";
            testsupport::WriteFile(path, Concat({testsupport::FileHeader(), records}));
            log.LoadFile(path);
        } else {
            std::unique_ptr<trace::CLogFile> file;
            testsupport::QueueTarget target;
            EXPECT_EQ(trace::CreateTraceLogFile(file, log, m_dir), 1);
            EXPECT_EQ(platform::WriteAll(file->GetFd(), records), 0);
            log.SetTarget(&target);
            log.StartReader();
            // The records it should find, then whatever else it posted by the
            // time it stops.
            while (static_cast<std::size_t>(log.GetRecordCount()) < expected) {
                const auto params = target.Next();
                if (!params) break;
                log.AddReaderRecords(**params);
                platform::SetEvent(log.GetAckEvent());
            }
            log.StopReader();
            while (const auto params = target.Next(std::chrono::milliseconds(0))) log.AddReaderRecords(**params);
        }
        for (int i = 0; i < log.GetRecordCount(); ++i) sequences.push_back(log.GetSequence(i));
        return sequences;
    }
};

TEST_P(ReaderContract, DeliversTheSameRecordsUpToTheFirstFault) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(std::string(c.name) + " (" + std::to_string(c.records.size()) + " octets)");
        EXPECT_EQ(Read(c.records, c.delivered.size()), c.delivered);
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, ReaderContract, ::testing::Values(Reader::File, Reader::Live),
                         [](const auto& p) { return std::string(p.param == Reader::File ? "File" : "Live"); });

}  // namespace
