#include "cardsim/Settings.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>

#include "tracefile/CaptureReader.h"
#include "tracefile/RawRecord.h"
#include "wire/Tpx.h"

namespace cardsim {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Split(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = s.find(separator);
        parts.push_back(Trim(s.substr(0, at)));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

// An unsigned number; hex with a 0x prefix, or always hex when forced.
std::optional<std::uint64_t> Number(std::string_view s, bool hex = false) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        hex = true;
    }
    if (s.empty()) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, hex ? 16 : 10);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

std::optional<std::uint8_t> Byte(std::string_view s) {
    auto v = Number(s);
    if (!v || *v > 0xFF) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}

// An opcode of the unanswered and refuse lists: hex, or a GSM message name.
std::optional<MessageKey> Opcode(std::string_view s) {
    if (s == "gsmopen") return kGsmOpen;
    if (s == "gsmclose") return kGsmClose;
    auto v = Number(s, true);
    if (!v || *v > 0xFFFFFFFFu) return std::nullopt;
    return Key(2, static_cast<std::uint32_t>(*v));
}

// Each setting's reader: takes the value into the settings, or false with
// the reason it is not understood.
using SettingReader = bool (*)(Settings& settings, std::string_view value, std::string& reason);

bool ReadAdapters(Settings& settings, std::string_view value, std::string& reason) {
    auto v = Number(value);
    if (!v || *v < 1 || *v > 8) return reason = "adapters must be 1 to 8", false;
    settings.adapters = static_cast<int>(*v);
    return true;
}

bool ReadRate(Settings& settings, std::string_view value, std::string& reason) {
    double rate = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), rate);
    if (value.empty() || ec != std::errc() || end != value.data() + value.size() || !std::isfinite(rate) ||
        rate < 0 || rate > 1e6)
        return reason = "rate must be 0 (as fast as read) or frames per second up to 1000000", false;
    settings.rate = rate;
    return true;
}

bool ReadTraffic(Settings& settings, std::string_view value, std::string& reason) {
    if (value == "calls") {
        settings.traffic = Traffic::Calls;
    } else if (value == "faulty") {
        settings.traffic = Traffic::Faulty;
    } else if (value == "none") {
        settings.traffic = Traffic::None;
    } else if (value.substr(0, 7) == "replay:") {
        auto frames = LoadReplayFrames(std::string(value.substr(7)), &reason);
        if (!frames) return false;
        settings.traffic = Traffic::Replay;
        settings.replay = std::move(*frames);
    } else {
        return reason = "traffic must be calls, faulty, none or replay:PATH", false;
    }
    return true;
}

bool ReadAbsent(Settings& settings, std::string_view value, std::string& reason) {
    if (value != "0" && value != "1") return reason = "absent must be 0 or 1", false;
    settings.absent = value == "1";
    return true;
}

bool ReadUnanswered(Settings& settings, std::string_view value, std::string& reason) {
    for (std::string_view item : Split(value, ',')) {
        auto op = Opcode(item);
        if (!op) return reason = "not an opcode: " + std::string(item), false;
        settings.unanswered.insert(*op);
    }
    return true;
}

bool ReadRefuse(Settings& settings, std::string_view value, std::string& reason) {
    for (std::string_view item : Split(value, ',')) {
        const auto colon = item.find(':');
        auto op = Opcode(Trim(item.substr(0, colon)));
        auto result = colon == std::string_view::npos ? std::nullopt : Number(Trim(item.substr(colon + 1)));
        if (!op || !result || *result == 0 || *result > 0xFFFFFFFFu)
            return reason = "expected OPCODE:RESULT with a non-zero result: " + std::string(item), false;
        settings.refuse[*op] = static_cast<std::uint32_t>(*result);
    }
    return true;
}

bool ReadStall(Settings& settings, std::string_view value, std::string& reason) {
    for (std::string_view item : Split(value, ',')) {
        auto code = Number(item);
        if (!code || *code < 1 || *code > 6) return reason = "request codes are 1 to 6", false;
        settings.stall.insert(static_cast<std::uint32_t>(*code));
    }
    return true;
}

bool ReadUnplug(Settings& settings, std::string_view value, std::string& reason) {
    auto v = Number(value);
    if (!v) return reason = "unplug takes a number of trace frames", false;
    settings.unplugAfter = *v;
    return true;
}

// The line's and the links' status bytes, one reader each.
template <std::uint8_t Settings::*Field>
bool ReadStatusByte(Settings& settings, std::string_view value, std::string& reason) {
    auto v = Byte(value);
    if (!v) return reason = "a status byte is 0 to 255", false;
    settings.*Field = *v;
    return true;
}

struct SettingRow {
    std::string_view key;
    SettingReader read;
};
constexpr SettingRow kSettings[] = {
    {"adapters", ReadAdapters},
    {"rate", ReadRate},
    {"traffic", ReadTraffic},
    {"absent", ReadAbsent},
    {"unanswered", ReadUnanswered},
    {"refuse", ReadRefuse},
    {"stall", ReadStall},
    {"unplug", ReadUnplug},
    {"line", ReadStatusByte<&Settings::line>},
    {"rx", ReadStatusByte<&Settings::rx>},
    {"tx", ReadStatusByte<&Settings::tx>},
    {"l2", ReadStatusByte<&Settings::l2>},
    {"l3", ReadStatusByte<&Settings::l3>},
};

// Applies one key=value; false with a reason when it is not understood.
bool Apply(Settings& settings, std::string_view key, std::string_view value, std::string& reason) {
    for (const SettingRow& row : kSettings) {
        if (row.key == key) return row.read(settings, value, reason);
    }
    return reason = "unknown setting", false;
}

// The frames of a pcap or pcapng capture of LAPD: the side as the capture
// says (a frame it does not place counts as the user side's), cut to the 280
// octets a trace record holds. A capture cut short replays what it holds.
std::optional<std::vector<TraceFrame>> CaptureFrames(std::span<const std::uint8_t> file, std::string& why) {
    std::vector<TraceFrame> frames;
    tracefile::MemorySource source(file);
    const auto result = tracefile::ReadCapture(source, [&](const tracefile::CaptureFrame& captured) {
        TraceFrame frame;
        const std::size_t n = std::min<std::size_t>(captured.lapd.size(), wire::kMaxDChannelData);
        frame.data.assign(captured.lapd.begin(), captured.lapd.begin() + static_cast<std::ptrdiff_t>(n));
        frame.flags = captured.side == tracefile::FrameSide::Network ? wire::kFlagNetworkSide : 0x00;
        frames.push_back(std::move(frame));
    });
    if (result.status != tracefile::CaptureStatus::Ok && result.status != tracefile::CaptureStatus::Truncated) {
        why = result.message;
        return std::nullopt;
    }
    return frames;
}

}  // namespace

std::optional<Settings> ParseSettings(std::string_view text, std::string* error) {
    Settings settings;
    for (std::string_view item : Split(text, ';')) {
        if (item.empty()) continue;
        const auto eq = item.find('=');
        std::string reason = "expected key=value";
        if (eq == std::string_view::npos || !Apply(settings, Trim(item.substr(0, eq)), Trim(item.substr(eq + 1)), reason)) {
            if (error) *error = "ORINTPX_EMULATOR: bad setting \"" + std::string(item) + "\" (" + reason + ")";
            return std::nullopt;
        }
    }
    return settings;
}

std::optional<std::vector<TraceFrame>> LoadReplayFrames(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::vector<TraceFrame>> {
        if (error) *error = why + ": " + path;
        return std::nullopt;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot read the trace log");
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (tracefile::IsCaptureMagic(file)) {
        std::string why;
        auto frames = CaptureFrames(file, why);
        if (!frames) return fail(why);
        if (frames->empty()) return fail("no frames in the capture file");
        return frames;
    }
    if (!tracefile::HasBanner(file)) return fail("not a trace log file");

    // The log file's framing: records from offset 52, each with its length at
    // its start and end. Reading stops at the first record that breaks it.
    std::vector<TraceFrame> frames;
    std::span<const std::uint8_t> rest(file);
    rest = rest.subspan(std::min(tracefile::kFileHeaderSize, rest.size()));
    while (rest.size() >= tracefile::kRecordHeaderSize) {
        const std::uint32_t length = *wire::Little(rest).U32(wire::kRecLength);
        if (length < tracefile::kMinRecordLength || length > tracefile::kMaxRecordLength || length > rest.size()) break;
        const auto record = rest.first(length);
        if (wire::Little(record).U32(length - 4) != length) break;
        if (const auto dChannel = wire::ReadDChannelRecord(record)) {
            TraceFrame frame;
            frame.data.assign(dChannel->frame.begin(), dChannel->frame.end());
            frame.flags = dChannel->header.flags;
            frame.b = dChannel->header.bChannel;
            frame.ln = dChannel->header.ln;
            frames.push_back(std::move(frame));
        }
        rest = rest.subspan(length);
    }
    if (frames.empty()) return fail("no D-channel records in the trace log");
    return frames;
}

}  // namespace cardsim
