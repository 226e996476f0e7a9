#pragma once
// The local date and time a trace began: from a trace log file's banner, or
// from the first frame of a capture file. Records carry only a time of day,
// so this is what puts them on a calendar when they leave the system.

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>

namespace trace {

struct TraceDate {
    int year = 1970;  // full year
    int month = 1;    // 1 to 12
    int day = 1;      // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The banner's "dd/mm/yy hh:mm:ss" (bytes 28 to 45 of the file header). The
// year has two digits: 00 to 69 are 2000 to 2069, 70 to 99 are 1970 to 1999.
// Nullopt when the header is short or a field is not a plausible number.
std::optional<TraceDate> ParseBannerDate(std::span<const std::uint8_t> header);

// The local date and time of a moment.
TraceDate LocalTraceDate(std::time_t when);

// Puts records' times of day on the calendar, starting on the trace's date.
// Records come in the order they were captured, so a time more than 12 hours
// earlier than the one before it means the trace ran past midnight: the
// date moves on one day. Local time becomes UTC through mktime, so a reader
// in the same time zone sees the times as they were recorded.
class RecordClock {
public:
    explicit RecordClock(const TraceDate& start);

    struct Stamp {
        std::int64_t seconds;  // since 1970-01-01 00:00 UTC
        std::uint32_t microseconds;
    };
    Stamp Next(int hours, int minutes, int seconds, int hundredths);

private:
    TraceDate m_start;
    int m_dayOffset = 0;
    std::int64_t m_previous;  // hundredths since midnight of the last time given
    // mktime costs a time zone lookup per call, so the UTC start of the last
    // hour asked for is kept: offsets change only on the hour.
    int m_cachedDay = -1;
    int m_cachedHour = -1;
    std::int64_t m_cachedHourStart = 0;
};

}  // namespace trace
