#pragma once
// trctool as an external capture source of packet analysers (the extcap
// protocol): the analyser runs `trctool --extcap-interfaces` to list one
// interface per adapter, `--extcap-dlts` and `--extcap-config` for one of
// them, and `--capture --extcap-interface NAME --fifo PATH` to capture: a
// pcapng stream of link type 203 with each packet's direction in its flags,
// written frame by frame into the fifo until the analyser closes it or sends
// SIGTERM. Messages for the user go to standard error, which the analyser
// shows when trctool exits non-zero.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/Commands.h"

namespace tools {

// What the analyser asked for.
struct ExtcapRequest {
    enum class Action { Interfaces, Dlts, Config, Capture } action = Action::Interfaces;
    std::string interface;           // --extcap-interface: the adapter's name, e.g. OrinBri1
    std::string fifo;                // --fifo
    std::optional<long long> count;  // --count: stop after N records
};

// True when the arguments are an extcap call (any --extcap-... or --capture).
bool IsExtcapCall(std::span<char* const> args);

// Reads the arguments; nullopt with `problem` set when they make no sense.
std::optional<ExtcapRequest> ParseExtcapArguments(std::span<char* const> args, std::string& problem);

// The adapters the card reports, by name; empty when there is no card.
std::vector<std::string> ListAdapters();

// Where a capture keeps its working trace log file when the user named no
// file to keep: $TMPDIR, else /tmp.
std::filesystem::path TemporaryFolder();

// The whole extcap side of trctool; returns the exit status.
int RunExtcap(std::span<char* const> args, const CommandContext& context);

// The capture into the request's fifo; the exit status.
int RunExtcapCapture(const ExtcapRequest& request, const CommandContext& context);

}  // namespace tools
