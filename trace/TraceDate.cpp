#include "trace/TraceDate.h"

#include "tracefile/RawRecord.h"

namespace trace {
namespace {

// Two decimal digits at `at`, or -1.
int TwoDigits(std::span<const std::uint8_t> b, std::size_t at) {
    if (at + 2 > b.size()) return -1;
    const int hi = b[at] - '0';
    const int lo = b[at + 1] - '0';
    if (hi < 0 || hi > 9 || lo < 0 || lo > 9) return -1;
    return hi * 10 + lo;
}

constexpr std::int64_t kHalfDay = 12 * 3600 * 100;  // hundredths

}  // namespace

std::optional<TraceDate> ParseBannerDate(std::span<const std::uint8_t> header) {
    // "dd/mm/yy hh:mm:ss" right behind the 28-character prefix.
    constexpr std::size_t at = tracefile::kBannerPrefix.size();
    if (header.size() < at + 17) return std::nullopt;
    const auto sep = [&](std::size_t i, char c) { return header[at + i] == static_cast<std::uint8_t>(c); };
    if (!sep(2, '/') || !sep(5, '/') || !sep(8, ' ') || !sep(11, ':') || !sep(14, ':')) return std::nullopt;
    TraceDate d;
    d.day = TwoDigits(header, at);
    d.month = TwoDigits(header, at + 3);
    const int yy = TwoDigits(header, at + 6);
    d.hour = TwoDigits(header, at + 9);
    d.minute = TwoDigits(header, at + 12);
    d.second = TwoDigits(header, at + 15);
    if (d.day < 1 || d.day > 31 || d.month < 1 || d.month > 12 || yy < 0 || d.hour < 0 || d.hour > 23 ||
        d.minute < 0 || d.minute > 59 || d.second < 0 || d.second > 60)
        return std::nullopt;
    d.year = yy < 70 ? 2000 + yy : 1900 + yy;
    return d;
}

TraceDate LocalTraceDate(std::time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

RecordClock::RecordClock(const TraceDate& start)
    : m_start(start),
      m_previous(wire::HundredthsOfDay(static_cast<unsigned>(start.hour), static_cast<unsigned>(start.minute),
                                       static_cast<unsigned>(start.second), 0)) {}

RecordClock::Stamp RecordClock::Next(int hours, int minutes, int seconds, int hundredths) {
    const std::int64_t now = wire::HundredthsOfDay(static_cast<unsigned>(hours), static_cast<unsigned>(minutes),
                                                   static_cast<unsigned>(seconds), static_cast<unsigned>(hundredths));
    if (now + kHalfDay < m_previous) ++m_dayOffset;
    m_previous = now;

    if (m_dayOffset != m_cachedDay || hours != m_cachedHour) {
        std::tm t{};
        t.tm_year = m_start.year - 1900;
        t.tm_mon = m_start.month - 1;
        t.tm_mday = m_start.day + m_dayOffset;  // mktime carries the day into month and year
        t.tm_hour = hours;
        t.tm_isdst = -1;
        m_cachedHourStart = static_cast<std::int64_t>(std::mktime(&t));
        m_cachedDay = m_dayOffset;
        m_cachedHour = hours;
    }
    // Hundredths beyond 99 (never written by the card) carry into the seconds.
    return {m_cachedHourStart + std::int64_t{minutes} * 60 + seconds + hundredths / 100,
            static_cast<std::uint32_t>(hundredths % 100) * 10000};
}

}  // namespace trace
