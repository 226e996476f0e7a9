#include "views/RecordFinder.h"

#include <QRegularExpression>
#include <algorithm>
#include <string_view>

#include "filter/DisplayFilter.h"
#include "trace/DecodeTree.h"
#include "trace/RecordCells.h"
#include "trace/TraceLog.h"

namespace views {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether text holds needle (already lower case), ignoring the case of ASCII letters.
bool ContainsIgnoringCase(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) return false;
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return Lower(a) == b; }) != text.end();
}

}  // namespace

RecordFinder::RecordFinder(const trace::CTraceLog& log, const QString& what) {
    const std::string text = what.toStdString();
    static const QRegularExpression kOctets(QStringLiteral("^\\s*[0-9A-Fa-f]{2}([ :][0-9A-Fa-f]{2})*\\s*$"));
    if (auto parsed = filter::DisplayFilter::Parse(text)) {
        m_matches = [&log, f = std::move(*parsed)](int record) { return f.Matches(log, record); };
        return;
    }
    if (kOctets.match(what).hasMatch()) {
        std::string octets;
        for (const QString& pair : what.simplified().split(QRegularExpression(QStringLiteral("[ :]"))))
            octets.push_back(static_cast<char>(pair.toInt(nullptr, 16)));
        m_matches = [&log, octets](int record) {
            const std::optional<trace::CTraceRecord> r = log.GetRecord(record);
            if (!r) return false;
            const auto frameOctets = r->GetData();
            const std::string_view bytes(reinterpret_cast<const char*>(frameOctets.data()), frameOctets.size());
            return bytes.find(octets) != std::string_view::npos;
        };
        return;
    }
    std::string needle = what.toLower().toStdString();
    m_matches = [&log, needle = std::move(needle), label = std::string()](int record) mutable {
        // The tree's labels hold every cell's text but the time as the list
        // writes it and the record's kind.
        for (const trace::Column c : {trace::Column::Timestamp, trace::Column::Mod})
            if (ContainsIgnoringCase(trace::CellText(log, record, c), needle)) return true;
        bool found = false;
        trace::VisitDecodeTreeLabels(log, record, false, [&](int, std::string_view prefix, std::string_view rest) {
            if (found) return;
            label.assign(prefix);
            label.append(rest);
            found = ContainsIgnoringCase(label, needle);
        });
        return found;
    };
}

}  // namespace views
