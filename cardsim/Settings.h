#pragma once
// What the emulated card does, from ORINTPX_EMULATOR or set by tests: a list
// of key=value settings separated by ';' (README, "Emulated card").

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "linekit/tpx.h"

namespace cardsim {

// One D-channel frame as the card reports it in a trace indication.
struct TraceFrame {
    std::vector<std::uint8_t> data;  // from the LAPD address field on
    std::uint8_t flags = 0;          // indication header byte 10: 0x01 network side, 0 user side
    std::uint8_t b = 1;              // B number, bits 0-2 of the address word
    std::uint8_t ln = 1;             // LN number, bits 4-6; also the link the frame counts for
};

enum class Traffic { Calls, Faulty, None, Replay };

// A message key: group in the high half, opcode in the low half, so GSM Open
// (group 1, opcode 1) never meets a line opcode.
using MessageKey = std::uint64_t;
constexpr MessageKey Key(std::uint16_t group, std::uint32_t opcode) {
    return (static_cast<MessageKey>(group) << 32) | opcode;
}
inline constexpr MessageKey kGsmOpen = Key(1, 1);
inline constexpr MessageKey kGsmClose = Key(1, 2);

struct Settings {
    int adapters = 1;                  // 1..8, named OrinBri1, OrinBri2, ...
    double rate = 10.0;                // trace frames per second; 0: as fast as they are read
    Traffic traffic = Traffic::Calls;
    std::vector<TraceFrame> replay;    // traffic=replay: the frames of the log, in order
    bool absent = false;               // no device at all
    std::set<MessageKey> unanswered;   // commands the card never answers
    std::map<MessageKey, std::uint32_t> refuse;  // commands answered with this result word
    std::set<std::uint32_t> stall;     // request codes (1-6) the driver never completes
    std::optional<std::uint64_t> unplugAfter;  // trace frames before the card is gone
    std::uint8_t line = 3;             // TpxLineStatus state: layer 3 active
    std::uint8_t rx = 4;               // INFO 4
    std::uint8_t tx = 2;               // INFO 3
    std::uint8_t l2 = 6;               // multiple frame established
    std::uint8_t l3 = 3;               // layer 3 active
};

// Parses a settings text. A bad or unknown setting gives nullopt and *error
// "ORINTPX_EMULATOR: bad setting "<item>"" with the reason.
std::optional<Settings> ParseSettings(std::string_view text, std::string* error);

// The D-channel records of a trace log file, read bounds-safely; nullopt
// with a reason when the file cannot be read, is no trace log or holds none.
std::optional<std::vector<TraceFrame>> LoadReplayFrames(const std::string& path, std::string* error);

}  // namespace cardsim
