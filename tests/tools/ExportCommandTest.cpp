// trctool export as a script sees it, and what a packet analyser makes of the
// result: tshark reads every frame of a realistic call with the same SAPI,
// TEI, frame type, N(S), N(R), direction, message type, call reference and
// cause as our own decode.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <unistd.h>

#include "platform/MessageBox.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::RunProgram;

std::optional<std::string> FindTshark() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const auto candidate = std::filesystem::path(dir) / "tshark";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return std::nullopt;
}

// Splits at each separator; a separator at the end ends an empty last field.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

std::vector<std::string> Lines(const std::string& text) {
    auto lines = Split(text, '\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

int Number(const std::string& text) { return static_cast<int>(std::stol(text, nullptr, 0)); }

// The fields tshark is asked for, in order.
const std::vector<std::string> kFields = {
    "lapd.direction", "lapd.sapi",        "lapd.tei",          "lapd.control.ftype",  "lapd.control.s_ftype",
    "lapd.control.u_modifier_cmd",        "lapd.control.u_modifier_resp", "lapd.control.n_s", "lapd.control.n_r",
    "q931.message_type", "q931.call_ref", "q931.call_ref_flag", "q931.cause_value",
};

// Our frame-type text for tshark's frame type and function fields.
std::string FrameTypeOf(const std::map<std::string, std::string>& f) {
    const int ftype = Number(f.at("lapd.control.ftype"));
    if ((ftype & 1) == 0) return "I";
    if (ftype == 1) {
        static const std::map<int, std::string> s = {{0x0, "RR"}, {0x4, "RNR"}, {0x8, "REJ"}};
        const auto it = s.find(Number(f.at("lapd.control.s_ftype")));
        return it == s.end() ? "" : it->second;
    }
    static const std::map<int, std::string> u = {{0x00, "UI"},   {0x03, "DM"},   {0x10, "DISC"}, {0x18, "UA"},
                                                 {0x1B, "SABE"}, {0x21, "FRMR"}, {0x2B, "XID"}};
    const std::string& modifier = f.at("lapd.control.u_modifier_cmd").empty() ? f.at("lapd.control.u_modifier_resp")
                                                                               : f.at("lapd.control.u_modifier_cmd");
    const auto it = u.find(Number(modifier));
    return it == u.end() ? "" : it->second;
}

const std::map<int, std::string> kMessageNames = {
    {0x01, "ALERTING"}, {0x02, "CALL PROCEEDING"}, {0x05, "SETUP"},   {0x07, "CONNECT"}, {0x0F, "CONNECT ACKNOWLEDGE"},
    {0x45, "DISCONNECT"}, {0x4D, "RELEASE"},       {0x5A, "RELEASE COMPLETE"},
};

// The cause value our decode shows: the CAUSE element's mnemonic starts "(16) ...".
std::string OurCause(const trace::CTraceLog& log, int index) {
    for (int k = 0; k < log.GetItemCount(index); ++k) {
        const auto item = log.GetItem(index, k);
        if (item && item->name.starts_with("CAUSE") && item->mnemonic.starts_with("("))
            return std::to_string(Number(item->mnemonic.substr(1, item->mnemonic.find(')') - 1)));
    }
    return "";
}

class ExportCommand : public testsupport::TempDirTest {
protected:
    std::filesystem::path Sample() {
        const auto path = m_dir / "call.log";
        const auto r = RunProgram(TRCTOOL_PATH, {"sample", path.string()});
        EXPECT_EQ(r.status, 0) << r.err;
        return path;
    }
};

TEST_F(ExportCommand, PacketAnalyserReadsEveryFrameAsWeDecodeIt) {
    const auto tshark = FindTshark();
    if (!tshark) GTEST_SKIP() << "tshark is not installed";
    const auto log = Sample();
    trace::CTraceLog ours;
    ASSERT_EQ(ours.LoadFile(log), 1);
    std::vector<int> frames;  // indexes of our D-channel records
    for (int i = 0; i < ours.GetRecordCount(); ++i)
        if (ours.GetMnemonic(i) == "DCH") frames.push_back(i);
    ASSERT_GE(frames.size(), 10u);

    for (const char* name : {"call.pcap", "call.pcapng"}) {
        SCOPED_TRACE(name);
        const auto out = m_dir / name;
        const auto exported = RunProgram(TRCTOOL_PATH, {"export", "-o", out.string(), log.string()});
        ASSERT_EQ(exported.status, 0) << exported.err;

        std::vector<std::string> args = {"-n", "-r", out.string(), "-T", "fields", "-E", "separator=;", "-E",
                                         "occurrence=f"};
        for (const auto& f : kFields) args.insert(args.end(), {"-e", f});
        const auto read = RunProgram(*tshark, args);
        ASSERT_EQ(read.status, 0) << read.err;
        const auto lines = Lines(read.out);
        ASSERT_EQ(lines.size(), frames.size()) << read.out;

        for (std::size_t n = 0; n < frames.size(); ++n) {
            const int i = frames[n];
            SCOPED_TRACE("frame " + std::to_string(n + 1) + ": " + ours.GetFrameType(i) + " " + ours.GetMessage(i));
            const auto values = Split(lines[n], ';');
            ASSERT_EQ(values.size(), kFields.size()) << lines[n];
            std::map<std::string, std::string> f;
            for (std::size_t k = 0; k < kFields.size(); ++k) f[kFields[k]] = values[k];

            EXPECT_EQ(f["lapd.direction"] == "1" ? "NT" : "TE", ours.GetSource(i));
            const std::string address = ours.GetAddress(i);  // "SS-TTT-C"
            EXPECT_EQ(Number(f["lapd.sapi"]), std::stoi(address.substr(0, 2)));
            EXPECT_EQ(Number(f["lapd.tei"]), std::stoi(address.substr(3, 3)));
            EXPECT_EQ(FrameTypeOf(f), ours.GetFrameType(i));
            EXPECT_EQ(f["lapd.control.n_s"].empty() ? "" : std::to_string(Number(f["lapd.control.n_s"])),
                      ours.GetNS(i).empty() ? "" : std::to_string(std::stoi(ours.GetNS(i))));
            EXPECT_EQ(f["lapd.control.n_r"].empty() ? "" : std::to_string(Number(f["lapd.control.n_r"])),
                      ours.GetNR(i).empty() ? "" : std::to_string(std::stoi(ours.GetNR(i))));

            if (ours.HasLayer3(i) && !ours.GetCallReference(i).empty()) {
                ASSERT_FALSE(f["q931.message_type"].empty());
                const auto known = kMessageNames.find(Number(f["q931.message_type"]));
                ASSERT_NE(known, kMessageNames.end()) << f["q931.message_type"];
                EXPECT_EQ(known->second, ours.GetMessage(i));
                // tshark shows the value octets with the flag bit cleared, and the flag apart.
                const std::string crv = ours.GetCallReference(i);  // "O00001" or "D00001"
                EXPECT_EQ(f["q931.call_ref_flag"] == "1" || f["q931.call_ref_flag"] == "True" ? 'D' : 'O', crv[0]);
                EXPECT_EQ(std::stoi(f["q931.call_ref"], nullptr, 16), std::stoi(crv.substr(1)));
                EXPECT_EQ(f["q931.cause_value"], OurCause(ours, i));
            } else {
                EXPECT_EQ(f["q931.message_type"], "");
            }
        }
    }
}

// What a script relies on: the format follows the name unless given, an
// existing file is kept without --force, skipped records are counted on
// standard error, and failures exit non-zero.
TEST_F(ExportCommand, ChoosesFormatByNameKeepsFilesAndCountsSkippedRecords) {
    const auto log = Sample();
    const auto magic = [](const std::filesystem::path& p) {
        const auto b = testsupport::ReadFile(p);
        return b.size() < 4 ? 0u : unsigned(b[0]) | unsigned(b[1]) << 8 | unsigned(b[2]) << 16 | unsigned(b[3]) << 24;
    };
    const struct {
        std::vector<std::string> args;
        const char* out;
        int status;
        unsigned magic;  // 0: no file expected
        const char* err;
    } cases[] = {
        {{"-o", "a.pcap"}, "a.pcap", 0, 0xA1B2C3D4, "14 frames written; 2 ASCII and hex records skipped"},
        {{"-o", "a.cap"}, "a.cap", 0, 0x0A0D0D0A, "skipped"},
        {{"--format", "pcapng", "-o", "b.pcap"}, "b.pcap", 0, 0x0A0D0D0A, "skipped"},
        {{"--format=pcap", "-o", "c.pcapng"}, "c.pcapng", 0, 0xA1B2C3D4, "skipped"},
        {{"--format", "pcapng", "-o", "a.pcap"}, "a.pcap", 1, 0xA1B2C3D4, "already exists (--force replaces it)"},
        {{"--force", "--format", "pcapng", "-o", "a.pcap"}, "a.pcap", 0, 0x0A0D0D0A, "skipped"},
        {{"--format", "erf", "-o", "d.pcap"}, "d.pcap", 2, 0, "--format is pcap or pcapng"},
        {{}, "e.pcap", 2, 0, "-o OUT is missing"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"export"};
        for (const auto& a : c.args) args.push_back(a == c.out ? (m_dir / a).string() : a);
        args.push_back(log.string());
        const auto r = RunProgram(TRCTOOL_PATH, args);
        SCOPED_TRACE(args[args.size() - 2]);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.magic != 0) {
            EXPECT_EQ(magic(m_dir / c.out), c.magic);
        } else {
            EXPECT_FALSE(std::filesystem::exists(m_dir / c.out));
        }
    }
    const auto missing = RunProgram(TRCTOOL_PATH, {"export", "-o", (m_dir / "x.pcap").string(), (m_dir / "none.log").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "x.pcap"));
}

}  // namespace
