// ORINTPX_EMULATOR settings and the replay of a trace log.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "cardsim/Settings.h"
#include "wire/Bytes.h"

namespace {

using namespace cardsim;
namespace fs = std::filesystem;

TEST(Settings, EveryKnobIsRead) {
    std::string error;
    const auto s = ParseSettings(
        " adapters=3; rate=2.5;traffic=none;absent=0;unanswered=0x8800, 8900,gsmopen;"
        "refuse=0x8B00:7,gsmclose:0x20;stall=5,6;unplug=12;line=0;rx=2;tx=0x1;l2=7;l3=4;;",
        &error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->adapters, 3);
    EXPECT_DOUBLE_EQ(s->rate, 2.5);
    EXPECT_EQ(s->traffic, Traffic::None);
    EXPECT_FALSE(s->absent);
    EXPECT_EQ(s->unanswered, (std::set<MessageKey>{Key(2, 0x8800), Key(2, 0x8900), kGsmOpen}));
    EXPECT_EQ(s->refuse, (std::map<MessageKey, std::uint32_t>{{Key(2, 0x8B00), 7}, {kGsmClose, 0x20}}));
    EXPECT_EQ(s->stall, (std::set<std::uint32_t>{5, 6}));
    EXPECT_EQ(s->unplugAfter, 12u);
    EXPECT_EQ(s->line, 0);
    EXPECT_EQ(s->rx, 2);
    EXPECT_EQ(s->tx, 1);
    EXPECT_EQ(s->l2, 7);
    EXPECT_EQ(s->l3, 4);

    const auto defaults = ParseSettings("", &error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->adapters, 1);
    EXPECT_EQ(defaults->traffic, Traffic::Calls);
    EXPECT_GT(defaults->rate, 0);
    EXPECT_TRUE(ParseSettings("rate=0;absent=1", &error)->absent);
}

TEST(Settings, ABadSettingIsRefusedWithItsName) {
    const char* bad[] = {
        "adapters=0", "adapters=9", "adapters=two", "rate=-1", "rate=fast", "rate=nan", "traffic=music",
        "traffic=replay:/no/such/file.log", "absent=yes", "unanswered=0xZZ", "unanswered=", "refuse=0x8800",
        "refuse=0x8800:0", "stall=7", "stall=0", "unplug=-3", "line=256", "l2=x", "colour=blue", "adapters",
    };
    for (const char* item : bad) {
        SCOPED_TRACE(item);
        std::string error;
        EXPECT_FALSE(ParseSettings(std::string("rate=5;") + item + ";line=1", &error));
        EXPECT_NE(error.find("ORINTPX_EMULATOR: bad setting \"" + std::string(item) + "\""), std::string::npos)
            << error;
    }
}

// Writes a trace log: the banner, then records as given.
fs::path WriteLog(const std::string& name, const std::vector<std::vector<std::uint8_t>>& records,
                  std::string banner = "Orin Intl Binary Trace File 07/03/97 14:05:09\n") {
    const fs::path path = fs::temp_directory_path() / (name + std::to_string(::getpid()) + ".log");
    std::vector<std::uint8_t> file(52, 0);
    std::copy(banner.begin(), banner.end(), file.begin());
    for (const auto& r : records) file.insert(file.end(), r.begin(), r.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
    return path;
}

std::vector<std::uint8_t> Record(std::uint16_t type, std::vector<std::uint8_t> data, std::uint8_t flags = 0,
                                 std::uint8_t b = 1, std::uint8_t ln = 1) {
    const std::size_t body = type == 3 ? 8 : 4;
    const auto total = static_cast<std::uint32_t>(16 + body + data.size() + 4);
    std::vector<std::uint8_t> r(total, 0);
    wire::LittleOut(r).U32(0, total);
    wire::LittleOut(r).U16(4, type);
    r[12] = b;
    r[13] = ln;
    if (type == 3) {
        r[17] = flags;
        wire::LittleOut(r).U32(20, static_cast<std::uint32_t>(data.size()));
    } else {
        wire::LittleOut(r).U32(16, static_cast<std::uint32_t>(data.size()));
    }
    std::copy(data.begin(), data.end(), r.begin() + static_cast<std::ptrdiff_t>(16 + body));
    wire::LittleOut(r).U32(total - 4, total);
    return r;
}

TEST(Replay, TakesTheDChannelRecordsAndStopsAtBrokenFraming) {
    auto broken = Record(3, {9, 9, 9});
    broken[broken.size() - 1] = 0x7F;  // trailer differs from the length
    auto overlong = Record(3, std::vector<std::uint8_t>(281, 1));  // n above 280: skipped
    const fs::path path = WriteLog("cardsim-replay-",
                                   {Record(3, {0x02, 0x01, 0x7F}, 0x01, 1, 1), Record(1, {'h', 'i'}), overlong,
                                    Record(3, {0x00, 0x81, 0x01, 0x03}, 0x00, 2, 2), broken,
                                    Record(3, {0x55})});
    std::string error;
    const auto frames = LoadReplayFrames(path.string(), &error);
    ASSERT_TRUE(frames) << error;
    ASSERT_EQ(frames->size(), 2u);
    EXPECT_EQ((*frames)[0].data, (std::vector<std::uint8_t>{0x02, 0x01, 0x7F}));
    EXPECT_EQ((*frames)[0].flags, 0x01);
    EXPECT_EQ((*frames)[1].data, (std::vector<std::uint8_t>{0x00, 0x81, 0x01, 0x03}));
    EXPECT_EQ((*frames)[1].b, 2);
    EXPECT_EQ((*frames)[1].ln, 2);

    // Every cut of the file reads within its bounds (the sanitizer checks).
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t n = 0; n <= whole.size(); n += 7) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(whole.data(), static_cast<std::streamsize>(n));
        LoadReplayFrames(path.string(), &error);
    }
    fs::remove(path);

    const fs::path notLog = WriteLog("cardsim-notlog-", {Record(3, {1})}, "Something else entirely");
    EXPECT_FALSE(LoadReplayFrames(notLog.string(), &error));
    EXPECT_NE(error.find("not a trace log"), std::string::npos);
    fs::remove(notLog);
    const fs::path empty = WriteLog("cardsim-empty-", {Record(1, {'a'})});
    EXPECT_FALSE(LoadReplayFrames(empty.string(), &error));
    EXPECT_NE(error.find("no D-channel records"), std::string::npos);
    std::string setting = "traffic=replay:" + empty.string();
    EXPECT_FALSE(ParseSettings(setting, &error));
    EXPECT_NE(error.find(setting), std::string::npos);
    fs::remove(empty);
}

}  // namespace
