// Filter fields with a packet analyser's names select what that analyser
// selects: each expression below runs through tshark and through the
// display filter over the same frames (the real captures' D-channels and
// the emulated card's faulty traffic), and both must keep the same frames.
// The frames go to tshark as one pcapng file, one frame a second, so a
// single tshark run counts every expression's frames second by second.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "filter/DisplayFilter.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"
#include "trace/CaptureExport.h"
#include "trace/TraceLog.h"

namespace {

const std::string kSource = SOURCE_DIR;

// Captures of LAPD frames only, so that frame N of a file is its record N - 1.
const char* const kCaptures[] = {
    "tests/data/realcaps/abis-accept-network.pcap",
    "tests/tools/data/realcaps-dchannel/i4b-dchannel.pcap",
    "tests/tools/data/realcaps-dchannel/toshiba-dchannel.pcap",
    "tests/tools/data/realcaps-dchannel/dct2000_test-dchannel.pcap",
    "tests/filter/data/faulty-emulated.pcapng",  // ORINTPX_EMULATOR=traffic=faulty, 180 frames
};

// Each written as a user pastes it from the analyser. None holds a comma:
// tshark's statistics take the expressions as one comma-separated list.
const char* const kExpressions[] = {
    // Address and control fields.
    "lapd.sapi == 0",
    "lapd.sapi == 63",
    "lapd.tei == 64",
    "lapd.tei >= 64 and lapd.tei < 127",
    "lapd.cr == 1",
    "lapd.cr == 0 and lapd.sapi == 0",
    "lapd.control.p",
    "lapd.control.f",
    "lapd.control.p == 1 and lapd.control.ftype == 1",
    "lapd.control.f == True",
    "lapd.control.ftype == 0",
    "lapd.control.ftype == 1",
    "lapd.control.ftype == 3",
    "lapd.control.s_ftype == 0",
    "lapd.control.s_ftype == 2",
    "lapd.control.u_modifier_cmd == 0x1b",
    "lapd.control.u_modifier_cmd == 0x00",
    "lapd.control.u_modifier_resp == 0x18",
    "lapd.control.u_modifier_resp",
    "lapd.control.n_s == 0",
    "lapd.control.n_r > 2",
    "lapd.direction == 1",
    // TEI management.
    "tei.msg == 1",
    "tei.msg == 4",
    "tei.reference == 0",
    "tei.action == 64",
    "tei.action == 127",
    "tei.entity == 0x0f",
    // Q.931: header, as tshark reads it whatever the discriminator.
    "q931",
    "lapd and not q931",
    "q931.disc == 0x08",
    "q931.disc != 0x08",
    "q931.call_ref_len == 2",
    "q931.call_ref_flag == 1",
    "q931.call_ref == 30",
    "q931.call_ref == 00:03",
    "q931.call_ref > 20",
    "q931.call_ref < 02",
    "q931.call_ref contains 00",
    "q931.message_type == 0x05",
    "q931.message_type == 0x5a and lapd.direction == 0",
    "q931.message_type == 7 and lapd.direction == 1",
    "lapd.control == 0x7f",
    "lapd.tei != 64",
    // Q.931 elements.
    "q931.cause_value == 16",
    "q931.cause_value",
    "q931.channel.exclusive == 1",
    "q931.channel.exclusive == 0",
    "q931.connected_number.digits contains \"555\"",
    "q931.called_party_number.digits == \"5551234\"",
    "q931.calling_party_number.digits",
    // The frame.
    "frame.len > 20",
    "frame.len == 4",
};

struct Origin {
    std::string file;
    int frame;  // from 1
};

// Every frame of the captures in one log, one a second from 01:00:00 on.
struct Frames {
    trace::CTraceLog log;
    std::vector<Origin> origins;

    Frames() {
        for (const char* name : kCaptures) {
            trace::CTraceLog one;
            const std::string path = kSource + "/" + name;
            EXPECT_EQ(one.LoadFile(path), 1) << path;
            for (int i = 0; i < one.GetRecordCount(); ++i) {
                const auto record = one.GetRecord(i);
                const auto header = record->GetHeaderCopy();
                const int k = log.GetRecordCount();
                testsupport::RecordFields fields;
                fields.sequence = static_cast<std::uint16_t>(k + 1);
                fields.hours = static_cast<std::uint8_t>(1 + k / 3600);
                fields.minutes = static_cast<std::uint8_t>(k / 60 % 60);
                fields.seconds = static_cast<std::uint8_t>(k % 60);
                fields.hundredths = 0;
                fields.flags = header.size() > 17 ? header[17] : 0;
                const auto data = record->GetData();
                fields.data.assign(data.begin(), data.end());
                EXPECT_GE(log.AddRawRecord(testsupport::MakeRecord(fields)), 0);
                origins.push_back({name, i + 1});
            }
        }
        // tshark's statistics leave out a last frame that starts its own
        // interval: one frame more, not compared, comes after it.
        testsupport::RecordFields last;
        last.hours = 23;
        last.data = {0x00, 0x81, 0x7F};
        EXPECT_GE(log.AddRawRecord(testsupport::MakeRecord(last)), 0);
    }
    int Count() const { return static_cast<int>(origins.size()); }
};

// The frames (1-based, in file order) that tshark's statistics count for
// each expression, from its table of one-second intervals.
std::vector<std::set<int>> TsharkFrames(const std::string& pcapng, std::size_t expressions, int count) {
    std::string statistics = "io,stat,1";
    for (const char* e : kExpressions) statistics += std::string(",") + e;
    const auto run = testsupport::RunProgram("tshark", {"-r", pcapng, "-q", "-z", statistics});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::set<int>> frames(expressions);
    for (const std::string& line : testsupport::Lines(run.out)) {
        // "|  12 <>  13 |      1 |    26 |      0 |     0 | ..."
        std::vector<std::string> cells;
        std::stringstream row(line);
        for (std::string cell; std::getline(row, cell, '|');) cells.push_back(cell);
        if (cells.size() < 2 + 2 * expressions || cells[1].find("<>") == std::string::npos) continue;
        const int second = std::stoi(cells[1]);
        for (std::size_t e = 0; e < expressions; ++e) {
            if (second < count && cells[2 + 2 * e].find_first_of("123456789") != std::string::npos)
                frames[e].insert(second + 1);
        }
    }
    return frames;
}

class WiresharkNames : public testsupport::TempDirTest {};

TEST_F(WiresharkNames, SelectWhatTsharkSelects) {
    if (testsupport::RunProgram("tshark", {"--version"}).status != 0)
        FAIL() << "tshark is needed (scripts/install-deps.sh installs it)";
    const Frames frames;
    ASSERT_GT(frames.Count(), 250);
    const auto pcapng = m_dir / "frames.pcapng";
    trace::ExportOptions options;
    options.format = tracefile::CaptureFormat::PcapNg;
    ASSERT_TRUE(trace::ExportTrace(frames.log, pcapng, options).ok);

    constexpr std::size_t kCount = std::size(kExpressions);
    static_assert(kCount >= 30);
    const auto tshark = TsharkFrames(pcapng.string(), kCount, frames.Count());
    for (std::size_t e = 0; e < kCount; ++e) {
        SCOPED_TRACE(kExpressions[e]);
        filter::FilterError error;
        const auto parsed = filter::DisplayFilter::Parse(kExpressions[e], &error);
        EXPECT_TRUE(parsed) << error.Text();
        if (!parsed) continue;
        std::set<int> ours;
        for (const int r : filter::MatchingRecords(*parsed, frames.log, 0, frames.Count()))
            ours.insert(r + 1);
        EXPECT_FALSE(tshark[e].empty()) << "an expression that keeps no frame tests nothing";
        for (const int f : tshark[e]) {
            if (!ours.count(f)) {
                const Origin& o = frames.origins[static_cast<std::size_t>(f - 1)];
                ADD_FAILURE() << "tshark keeps frame " << o.frame << " of " << o.file << ", the filter does not";
            }
        }
        for (const int f : ours) {
            if (!tshark[e].count(f)) {
                const Origin& o = frames.origins[static_cast<std::size_t>(f - 1)];
                ADD_FAILURE() << "the filter keeps frame " << o.frame << " of " << o.file << ", tshark does not";
            }
        }
    }
}

}  // namespace
