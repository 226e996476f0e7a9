// trctool dump's exact bytes for a varied trace: ASCII records with every
// kind of byte the escaping and the line rendering treat apart, hex records
// of every length class, and D-channel frames of every decode path (short,
// TEI management, I/S/U, Q.931 with odd call references, unknown protocols,
// random octets). The output of `dump --tree --hex` is pinned in
// data/varied-dump.txt; plain `dump`, `--tree` and `--hex` must print exactly
// its record lines, its record and tree lines, and its record and hex lines.
//
// When the output changes on purpose, rewrite the pinned file with
//   MARLO_UPDATE_PINNED=1 build/default/bin/tools_tests --gtest_filter='DumpOutputPin*'
// and review the difference like code.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "bench/FrameMix.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"

namespace {

using testsupport::Bytes;
using testsupport::RecordFields;

const std::string kTrctool = TRCTOOL_PATH;
const std::string kPinned = PINNED_DIR "/varied-dump.txt";

// A fixed pseudo-random sequence, so the trace is the same on every run.
class Lcg {
public:
    std::uint32_t Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return m_state >> 8;
    }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Next()); }

private:
    std::uint32_t m_state = 12345;
};

Bytes VariedTrace() {
    Lcg random;
    Bytes file = testsupport::FileHeader();
    std::uint16_t sequence = 0;
    auto add = [&](std::uint16_t type, Bytes data, std::uint8_t flags = 0) {
        RecordFields r;
        r.type = type;
        r.sequence = sequence;
        sequence = static_cast<std::uint16_t>(sequence * 7 + 13);
        r.hours = static_cast<std::uint8_t>(random.Next() % 24);
        r.minutes = static_cast<std::uint8_t>(random.Next() % 60);
        r.seconds = static_cast<std::uint8_t>(random.Next() % 60);
        r.hundredths = static_cast<std::uint8_t>(random.Next() % 100);
        r.b = static_cast<std::uint8_t>(random.Next() % 3);
        r.ln = static_cast<std::uint8_t>(random.Next() % 120);
        r.flags = flags;
        r.data = std::move(data);
        const Bytes raw = testsupport::MakeRecord(r);
        file.insert(file.end(), raw.begin(), raw.end());
    };
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };

    // ASCII: escapes, tabs at every column, the line break at 54 characters,
    // the cut after two lines, a dropped terminating zero, and nothing at all.
    add(1, text("plain text"));
    add(1, text("back\\slash\ttab\rreturn\nnewline\x01\x1b\x7f end"));
    add(1, text("terminated\0"));
    add(1, {});
    add(1, {0});
    add(1, text(std::string(54, 'x')));
    add(1, text(std::string(53, 'y') + "\t" + std::string(60, 'z')));
    add(1, text(std::string(300, 'w')));
    {
        Bytes all;
        for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
        add(1, all);
        // Hex records of lengths around the 16-byte line.
        for (const std::size_t n : {0u, 1u, 15u, 16u, 17u, 33u, 256u}) add(2, Bytes(all.begin(), all.begin() + n));
    }

    // D-channel: the benchmark mix from both sides, with each flag pattern.
    const std::uint8_t flags[] = {0x00, 0x01, 0x04, 0x05};
    int k = 0;
    for (const bench::MixFrame& f : bench::RealisticMix()) add(3, f.octets, flags[k++ % 4]);
    // Frames too short for some fields.
    add(3, {});
    add(3, {0x02});
    add(3, {0x02, 0x81});
    add(3, {0x02, 0x81, 0x00});
    add(3, {0x02, 0x81, 0x01});
    add(3, {0x02, 0x81, 0x13});
    // TEI management: every message, an unknown one, and one cut short.
    for (std::uint8_t type = 0; type <= 8; ++type) add(3, {0xFC, 0xFF, 0x03, 0x0F, 0xAB, 0xCD, type, 0x7F}, 0x01);
    add(3, {0xFC, 0xFF, 0x03, 0x0F, 0xAB, 0xCD, 0x01});
    // Q.931 headers: another protocol (its message ends in a line feed), a
    // national message with and without its octet, a reserved type, call
    // references of 0, 2 and 15 octets, and one that runs past the frame.
    add(3, {0x00, 0x81, 0x00, 0x00, 0x41, 0x01, 0x01, 0x05});
    add(3, {0x02, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x00, 0x42}, 0x01);
    add(3, {0x02, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x00});
    add(3, {0x02, 0x81, 0x03, 0x08, 0x00, 0x7F});
    add(3, {0x00, 0x81, 0x00, 0x00, 0x08, 0x02, 0xFF, 0xFF, 0x45, 0x08, 0x02, 0x80, 0x90});
    {
        Bytes longRef = {0x00, 0x81, 0x00, 0x00, 0x08, 0x0F};
        for (int i = 0; i < 15; ++i) longRef.push_back(static_cast<std::uint8_t>(0x91 + i * 17));
        longRef.push_back(0x05);
        add(3, longRef, 0x05);
    }
    add(3, {0x00, 0x81, 0x00, 0x00, 0x08, 0x03, 0x01});
    // Elements whose texts hold control characters and odd bytes.
    add(3, {0x02, 0x81, 0x04, 0x02, 0x08, 0x01, 0x81, 0x07, 0x28, 0x06, 'A', '\t', '\\', 0x00, 0xFF, '\n'}, 0x01);
    add(3, {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x70, 0x04, 0x81, '1', 0x0D, 0x9C, 0xA1, 0x96, 0x01});
    // Random frames, some long enough for several hex lines.
    for (int i = 0; i < 24; ++i) {
        Bytes frame(random.Next() % (i < 20 ? 40 : 281));
        for (std::uint8_t& b : frame) b = random.Byte();
        if (i % 2 == 0 && frame.size() > 4) {
            // An I frame with a Q.931 header, so the element walk runs on noise.
            frame[0] = 0x00, frame[1] = 0x81, frame[2] &= 0xFE, frame[4] = 0x08, frame[5] &= 0x03;
        }
        add(3, frame, flags[i % 4]);
    }
    return file;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Keeps the lines `keep` accepts, each with its line feed.
template <class Keep>
std::string Filter(const std::string& text, Keep keep) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string_view line(text.data() + at, end - at);
        if (keep(line)) out += line;
        at = end;
    }
    return out;
}

class DumpOutputPinTest : public testsupport::TempDirTest {};

TEST_F(DumpOutputPinTest, EveryOptionPrintsThePinnedBytes) {
    const auto path = (m_dir / "varied.log").string();
    testsupport::WriteFile(path, VariedTrace());

    const auto full = testsupport::RunProgram(kTrctool, {"dump", "--tree", "--hex", path});
    ASSERT_EQ(full.status, 0) << full.err;
    EXPECT_EQ(full.err, "");
    if (std::getenv("MARLO_UPDATE_PINNED")) {
        std::ofstream(kPinned, std::ios::binary | std::ios::trunc) << full.out;
        GTEST_SKIP() << "rewrote " << kPinned;
    }
    const std::string pinned = ReadText(kPinned);
    ASSERT_FALSE(pinned.empty()) << kPinned;
    EXPECT_TRUE(full.out == pinned) << "dump --tree --hex differs from " << kPinned;

    // Record lines start in column 0, decode tree and hex lines are indented,
    // and only hex lines start with "  0x".
    const auto isRecord = [](std::string_view l) { return !l.starts_with(' '); };
    const auto isHex = [](std::string_view l) { return l.starts_with("  0x"); };
    const struct {
        std::vector<std::string> options;
        std::string expected;
    } cases[] = {
        {{}, Filter(pinned, isRecord)},
        {{"--hex"}, Filter(pinned, [&](std::string_view l) { return isRecord(l) || isHex(l); })},
        {{"--tree"}, Filter(pinned, [&](std::string_view l) { return !isHex(l); })},
        {{"--hex", "--tree"}, pinned},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"dump"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(path);
        const auto result = testsupport::RunProgram(kTrctool, args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(result.out == c.expected) << "dump with " << c.options.size() << " options differs";
    }
}

}  // namespace
