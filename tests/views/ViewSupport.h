#pragma once
// Test support for the Qt panes: a document over an in-memory CTraceLog,
// record bytes, and a view that records every hint it is sent.

#include <QString>
#include <QTreeWidget>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "trace/Document.h"
#include "trace/TraceLog.h"

namespace viewtest {

using Bytes = std::vector<std::uint8_t>;

inline void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One D-channel record (type 3) carrying `frame`, sequence `seq`.
inline Bytes DChannelRecord(std::uint16_t seq, const Bytes& frame, std::uint8_t hundredths = 78) {
    Bytes r(24 + frame.size() + 4, 0);
    const auto length = static_cast<std::uint32_t>(r.size());
    PutU32(r, 0, length);
    r[4] = 3;
    r[6] = static_cast<std::uint8_t>(seq);
    r[7] = static_cast<std::uint8_t>(seq >> 8);
    r[8] = 12;
    r[9] = 34;
    r[10] = 56;
    r[11] = hundredths;
    r[12] = 1;
    r[13] = 2;
    PutU32(r, 20, static_cast<std::uint32_t>(frame.size()));
    std::copy(frame.begin(), frame.end(), r.begin() + 24);
    PutU32(r, length - 4, length);
    return r;
}

// A hex record (type 2) with `data`.
inline Bytes HexRecord(std::uint16_t seq, const Bytes& data) {
    Bytes r(20 + data.size() + 4, 0);
    const auto length = static_cast<std::uint32_t>(r.size());
    PutU32(r, 0, length);
    r[4] = 2;
    r[6] = static_cast<std::uint8_t>(seq);
    r[7] = static_cast<std::uint8_t>(seq >> 8);
    r[8] = 1;
    r[9] = 2;
    r[10] = 3;
    r[11] = 4;
    PutU32(r, 16, static_cast<std::uint32_t>(data.size()));
    std::copy(data.begin(), data.end(), r.begin() + 20);
    PutU32(r, length - 4, length);
    return r;
}

// A document over a CTraceLog filled by the test; `Drop` takes the store
// away, as an adapter document does while it closes.
class MemoryDocument final : public trace::CDocument {
public:
    trace::CTraceLog* GetTraceLog() override { return m_dropped ? nullptr : &m_log; }
    bool OnOpenDocument(const std::filesystem::path&) override { return true; }
    trace::CTraceLog& Log() { return m_log; }
    void Drop() { m_dropped = true; }

    // Appends and tells the views, as the adapter document does per live record.
    int Append(const Bytes& raw) {
        const int index = m_log.AddRawRecord(raw);
        UpdateAllViews(nullptr, trace::HINT_RECORD_ADDED, index);
        return index;
    }

private:
    trace::CTraceLog m_log;
    bool m_dropped = false;
};

class HintRecorder final : public trace::CView {
public:
    explicit HintRecorder(trace::CDocument& document) : m_registration(document, *this) {}
    void OnUpdate(trace::CView*, std::uint32_t hint, std::intptr_t object) override { hints.emplace_back(hint, object); }
    std::vector<std::pair<std::uint32_t, std::intptr_t>> hints;

private:
    trace::ViewRegistration m_registration;
};

// The tree node at a path of labels ("Layer 3/1- bearer capabil"), or null.
inline QTreeWidgetItem* Find(QTreeWidget& tree, const QString& path) {
    QTreeWidgetItem* item = nullptr;
    for (const QString& label : path.split(QLatin1Char('/'))) {
        QTreeWidgetItem* next = nullptr;
        const int count = item ? item->childCount() : tree.topLevelItemCount();
        for (int i = 0; i < count && next == nullptr; ++i) {
            QTreeWidgetItem* candidate = item ? item->child(i) : tree.topLevelItem(i);
            if (candidate->text(0) == label) next = candidate;
        }
        if (next == nullptr) return nullptr;
        item = next;
    }
    return item;
}

}  // namespace viewtest
