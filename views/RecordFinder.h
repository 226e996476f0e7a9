#pragma once
// What Edit > Find looks for in a record: a display filter when the text
// parses as one, octets when it is hex pairs ("08 01" or "08:01"), and
// otherwise text in the record's cells or decode tree, ignoring case. The
// tree's labels are walked, never built, so a search through a million
// records costs no allocation per node. User-interface thread (it reads
// the CTraceLog).

#include <QString>
#include <functional>
#include <string>

namespace trace {
class CTraceLog;
}

namespace views {

class RecordFinder {
public:
    RecordFinder(const trace::CTraceLog& log, const QString& what);
    bool Matches(int record) const { return m_matches(record); }

private:
    std::function<bool(int)> m_matches;
};

}  // namespace views
