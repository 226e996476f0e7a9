#pragma once
// Test support for the shell: documents of both kinds the shell can drive
// without a card, and a sample trace log made by trctool.

#include <QFile>
#include <QProcess>
#include <QString>
#include <map>
#include <memory>

#include "app/DocumentServices.h"
#include "trace/MarloLogDoc.h"
#include "trace/TraceLog.h"

namespace apptest {

// An adapter document without an adapter: it counts what the shell asks of it.
class FakeTraceDoc final : public trace::CDocument {
public:
    trace::CTraceLog* GetTraceLog() override { return m_closed ? nullptr : &m_log; }
    bool OnOpenDocument(const std::filesystem::path&) override {
        if (failOpen) return false;
        SetPathName("OrinBri1");
        SetTitle("OrinBri1");
        return true;
    }
    void OnCloseDocument() override {
        ++closeCount;
        m_closed = true;
    }
    bool failOpen = false;
    bool tracing = false;
    bool saved = false;
    bool cardStatusOpen = false;
    int reopenCount = 0;
    int closeCount = 0;

private:
    trace::CTraceLog m_log;
    bool m_closed = false;
};

class FakeServices final : public app::DocumentServices {
public:
    std::shared_ptr<trace::CDocument> CreateDocument(app::DocumentKind kind, trace::UiServices& ui) override {
        if (kind == app::DocumentKind::Log) return std::make_shared<trace::CMarloLogDoc>(ui);
        auto doc = std::make_shared<FakeTraceDoc>();
        doc->failOpen = failNextOpen;
        traceDocs.push_back(doc);
        return doc;
    }
    app::DocumentKind KindOf(const trace::CDocument& d) const override {
        return dynamic_cast<const FakeTraceDoc*>(&d) ? app::DocumentKind::Trace : app::DocumentKind::Log;
    }
    bool IsTracing(trace::CDocument& d) override { return Fake(d).tracing; }
    void TraceStart(trace::CDocument& d) override { Fake(d).tracing = true; }
    void TraceStop(trace::CDocument& d) override { Fake(d).tracing = false; }
    app::Reopened ReopenAdapter(trace::CDocument& d) override {
        ++Fake(d).reopenCount;
        return failNextOpen ? app::Reopened::NotOpened : app::Reopened::Opened;
    }
    void MarkSaved(trace::CDocument& d) override { Fake(d).saved = true; }
    void SaveDiagnostics(trace::CDocument&) override {}
    void ToggleCardStatus(trace::CDocument& d) override { Fake(d).cardStatusOpen = !Fake(d).cardStatusOpen; }
    bool IsCardStatusOpen(trace::CDocument& d) override { return Fake(d).cardStatusOpen; }
    void ShowInformation(trace::CDocument&) override {}
    void OnTraceRecord(trace::CDocument&, trace::TraceReaderParams&) override {}

    static FakeTraceDoc& Fake(trace::CDocument& d) { return dynamic_cast<FakeTraceDoc&>(d); }
    std::vector<std::weak_ptr<FakeTraceDoc>> traceDocs;
    bool failNextOpen = false;
};

// `trctool sample`: a log of one outgoing call (row 5 is its SETUP).
inline bool MakeSampleLog(const QString& path) {
    return QProcess::execute(QStringLiteral(TRCTOOL_PATH), {QStringLiteral("sample"), path}) == 0;
}
inline constexpr int kSetupRow = 5;

// The sample's records over and over until there are at least `minRecords`,
// less `cutBytes` at the end: a log large enough to load in slices. Returns
// its record count (whole records before any cut), or -1 when it cannot be written.
inline int WriteRepeatedSample(const QString& sample, const QString& path, int minRecords, qint64 cutBytes = 0) {
    QFile in(sample);
    if (!in.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = in.readAll();
    trace::CTraceLog log;
    if (log.LoadFile(sample.toStdString()) != 1 || log.GetRecordCount() == 0) return -1;
    const int perSample = log.GetRecordCount();
    const int repeats = (minRecords + perSample - 1) / perSample;
    QByteArray large = bytes.left(tracefile::kFileHeaderSize);
    for (int i = 0; i < repeats; ++i) large += bytes.mid(tracefile::kFileHeaderSize);
    large.chop(cutBytes);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(large) != large.size()) return -1;
    return repeats * perSample - (cutBytes > 0 ? 1 : 0);
}

}  // namespace apptest
