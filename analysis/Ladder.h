#pragma once
// The ladder of one call and the call table's texts: what the Calls window
// and `trctool calls` show, made from the analyser's results and the frames
// of the trace. No toolkit types.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Analysis.h"

namespace analysis {

// One arrow of a ladder: a Q.931 message of the call, or a layer 2 event of
// its data link (drawn in grey).
struct LadderStep {
    std::uint32_t record = 0;
    std::uint32_t time = 0;
    Side from = Side::TE;
    bool layer2 = false;
    std::string label;    // message name or frame type
    std::string details;  // key elements: numbers, cause, channel
};

// The frame of a record, or nullopt when the record is no D-channel record.
using FrameLookup = std::function<std::optional<FrameInput>(std::uint32_t record)>;

// The arrows of call `index` in record order: its messages, and the layer 2
// events of its data link from one second before its first message to its last.
std::vector<LadderStep> BuildLadder(const Analyzer& analyzer, std::size_t index, const FrameLookup& frameOf);

// "HH:MM:SS.hh" of a time in hundredths, as a time of day (a time of the
// trace's next day, past 24 hours, is shown as the clock shows it).
std::string FormatTime(std::uint32_t hundredths);
// Who calls whom, as far as the numbers are known: "A -> B", "from A",
// "to B", or nothing at all.
std::string CallParties(const std::string& calling, const std::string& called);
// "M:SS.hh" of a duration.
std::string FormatDuration(std::uint32_t hundredths);

// The call table's columns, by position.
enum CallColumn : std::size_t {
    kCallNumber,
    kCallStart,
    kCallEnd,
    kCallDuration,
    kCallDirection,
    kCallTei,
    kCallCrv,
    kCallCalling,
    kCallCalled,
    kCallBearer,
    kCallChannel,
    kCallState,
    kCallOutcome,
    kCallCause,
    kCallClearedBy,
    kCallMessages,
    kCallColumnCount
};

// The columns of the call table and one call's cells, in that order.
std::span<const std::string_view> CallColumns();
std::vector<std::string> CallCells(const Call& call, std::size_t index);

// A display filter expression that keeps what the ladder of `call` shows:
// its messages (on its TEI, and on TEI 127 for a broadcast offer), told by
// call reference and by the side that allocated it, from its first message
// to its last, and the layer 2 events of its TEI from one second before.
// Until its RELEASE COMPLETE is seen the call may go on, so the expression
// keeps everything of it from its start on.
std::string CallFilter(const Call& call);

// The ladder as text lines: TE on the left, NT on the right, each arrow
// with its record's name as `nameOf` gives it (see RecordNames).
using RecordNamer = std::function<std::string(std::uint32_t record)>;
std::vector<std::string> LadderLines(const std::vector<LadderStep>& steps, const RecordNamer& nameOf);

}  // namespace analysis
