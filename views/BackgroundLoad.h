#pragma once
// BackgroundLoads: reads the rest of the log documents that opened with their
// first records only (CMarloLogDoc::LoadInSteps), a slice at a time between
// events, so a large log shows its first screen at once and stays usable
// while it loads. Each slice tells the document's views how many records
// there are (HINT_RECORDS_LOADED) and the status bar how far the load got.
// User-interface thread only.

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "trace/MarloLogDoc.h"

namespace views {

class BackgroundLoads final : public QObject {
    Q_OBJECT
public:
    // The records read before a log's window first shows: more than any
    // screen holds, few enough to take a millisecond or two.
    static constexpr int kFirstRecords = 4096;
    // Records read per slice between events: a few milliseconds' work.
    static constexpr int kSliceRecords = 65536;

    using QObject::QObject;

    // Reads the rest of the document's file in slices from the next turn of
    // the event loop on. Nothing happens for a document that is not loading.
    void Follow(const std::shared_ptr<trace::CMarloLogDoc>& document);
    // Reads the rest of the document's file now, for what needs every
    // record (saving, exporting, finding). False when the file turned out
    // damaged and the user declined its intact part: Ended has been sent
    // and the document is to be closed.
    bool Finish(trace::CDocument& document);

    // "Loading… 37% (370000 records)" for the status bar.
    static QString ProgressText(const trace::CMarloLogDoc& document);

signals:
    void Progress(trace::CDocument* document, const QString& text);
    // The load of the document ended: Complete, IntactPartKept (retitle its
    // windows) or Refused (close it).
    void Ended(trace::CDocument* document, trace::CMarloLogDoc::LoadStep step);

private:
    void QueueSlice();
    void Slice();
    // One step of the document's load, told to its views and, when it ends
    // the load, to whoever follows Ended.
    trace::CMarloLogDoc::LoadStep Step(trace::CMarloLogDoc& document, int records);

    std::vector<std::weak_ptr<trace::CMarloLogDoc>> m_documents;
    bool m_queued = false;
};

}  // namespace views
