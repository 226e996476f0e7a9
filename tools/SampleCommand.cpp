// trctool sample: writes a small trace log file of one outgoing call on a
// basic-rate line, so the tools can be tried without a card.

#include <cstdio>
#include <ctime>
#include <string_view>
#include <vector>

#include "platform/File.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "tracefile/RawRecord.h"
#include "wire/Tpx.h"

namespace tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kFromUser = 0x00;
constexpr std::uint8_t kFromNetwork = wire::kFlagNetworkSide;

struct SampleFrame {
    std::uint8_t flags;
    Bytes frame;
};

const std::vector<SampleFrame>& SampleCall() {
    static const std::vector<SampleFrame> frames = {
        {kFromUser, {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF}},  // TEI identity request
        {kFromNetwork, {0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x02, 0x81}},  // TEI 64 assigned
        {kFromUser, {0x00, 0x81, 0x7F}},                                  // SABME
        {kFromNetwork, {0x00, 0x81, 0x73}},                               // UA
        {kFromUser, {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05,      // SETUP
                     0x04, 0x03, 0x80, 0x90, 0xA2,                        //   speech, 64 kbit/s, mu-law
                     0x18, 0x01, 0x83,                                    //   any B channel
                     0x6C, 0x06, 0x21, 0x80, '5', '5', '5', '1',          //   calling number
                     0x70, 0x08, 0xA1, '5', '5', '5', '1', '2', '3', '4', //   called number
                     0xA1}},                                              //   sending complete
        {kFromNetwork, {0x02, 0x81, 0x00, 0x02, 0x08, 0x01, 0x81, 0x02, 0x18, 0x01, 0x89}},  // CALL PROCEEDING
        {kFromUser, {0x02, 0x81, 0x01, 0x03}},                                                  // RR
        {kFromNetwork, {0x02, 0x81, 0x02, 0x02, 0x08, 0x01, 0x81, 0x01, 0x1E, 0x02, 0x81, 0x88}},  // ALERTING
        {kFromNetwork, {0x02, 0x81, 0x04, 0x02, 0x08, 0x01, 0x81, 0x07,                         // CONNECT
                        0x28, 0x05, 'H', 'e', 'l', 'l', 'o',                                    //   display
                        0x29, 0x06, 0x60, 0x0C, 0x1F, 0x17, 0x3B, 0x00}},                       //   date/time
        {kFromUser, {0x00, 0x81, 0x02, 0x06, 0x08, 0x01, 0x01, 0x0F}},                          // CONNECT ACK
        {kFromUser, {0x00, 0x81, 0x04, 0x06, 0x08, 0x01, 0x01, 0x45, 0x08, 0x02, 0x80, 0x90}},  // DISCONNECT
        {kFromNetwork, {0x02, 0x81, 0x06, 0x06, 0x08, 0x01, 0x81, 0x4D}},                       // RELEASE
        {kFromUser, {0x00, 0x81, 0x06, 0x08, 0x08, 0x01, 0x01, 0x5A}},                          // RELEASE COMPLETE
        {kFromNetwork, {0x02, 0x81, 0x01, 0x08}},                                               // RR
    };
    return frames;
}

// A record of the sample call, `hundredths` after 09:30:00.
Bytes Record(std::uint16_t type, std::uint16_t sequence, int hundredths, std::uint8_t flags, const Bytes& data) {
    wire::RecordHeader header;
    header.sequence = sequence;
    header.hour = 9;
    header.minute = 30;
    header.second = static_cast<std::uint8_t>(hundredths / 100 % 60);
    header.hundredths = static_cast<std::uint8_t>(hundredths % 100);
    header.flags = flags;
    return wire::Record(type, header, data);
}

}  // namespace

int RunSample(std::span<char* const> args, const CommandContext& /*context*/) {
    const Command& self = FindCommand("sample");
    // One FILE and nothing else; whatever is wrong, the usage says what is right.
    const ParsedArguments parsed = ParseArguments(self, {}, OperandRules{1, {}, {}}, args);
    if (parsed.exitStatus) return *parsed.exitStatus;
    if (parsed.operands.size() != 1 || parsed.operands.front() == "-") return UsageError(self);
    const char* path = parsed.operands.front().data();

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const auto header = tracefile::BuildFileHeader(local);
    Bytes file(header.begin(), header.end());
    std::uint16_t sequence = 1;
    const std::string_view note = "Sample trace:\toutgoing call to 5551234";
    auto append = [&](const Bytes& r) { file.insert(file.end(), r.begin(), r.end()); };
    append(Record(tracefile::kAsciiRecord, sequence++, 0, 0, Bytes(note.begin(), note.end())));
    int time = 12;
    for (const SampleFrame& f : SampleCall()) {
        append(Record(tracefile::kDChannelRecord, sequence++, time, f.flags, f.frame));
        time += 37;
    }
    append(Record(tracefile::kHexRecord, sequence++, time, 0, Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x7F}));

    int error = 0;
    std::remove(path);
    platform::UniqueFd fd = platform::CreateExclusiveWriter(path, &error);
    if (fd) error = platform::WriteAll(fd.Get(), file);
    if (error != 0) {
        std::fprintf(stderr, "trctool: cannot write %s: %s\n", path, platform::ErrorText(error).c_str());
        return 1;
    }
    return 0;
}

}  // namespace tools
