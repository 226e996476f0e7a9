#include "views/BackgroundLoad.h"

#include <QTimer>
#include <algorithm>
#include <limits>

#include "trace/TraceLog.h"

namespace views {

void BackgroundLoads::Follow(const std::shared_ptr<trace::CMarloLogDoc>& document) {
    if (document == nullptr || !document->IsLoading()) return;
    m_documents.push_back(document);
    QueueSlice();
}

bool BackgroundLoads::Finish(trace::CDocument& document) {
    auto* log = dynamic_cast<trace::CMarloLogDoc*>(&document);
    if (log == nullptr || !log->IsLoading()) return true;
    return Step(*log, std::numeric_limits<int>::max()) != trace::CMarloLogDoc::LoadStep::Refused;
}

QString BackgroundLoads::ProgressText(const trace::CMarloLogDoc& document) {
    const int percent = static_cast<int>(document.LoadedFraction() * 100.0);
    return tr("Loading… %1% (%2 records)").arg(percent).arg(document.RecordCount());
}

void BackgroundLoads::QueueSlice() {
    if (m_queued) return;
    m_queued = true;
    QTimer::singleShot(0, this, [this] { Slice(); });
}

void BackgroundLoads::Slice() {
    m_queued = false;
    // A copy: a message about damage runs the event loop, and a step may end
    // a load and drop it from the list.
    const std::vector<std::weak_ptr<trace::CMarloLogDoc>> documents = m_documents;
    for (const auto& weak : documents)
        if (const auto document = weak.lock(); document != nullptr && document->IsLoading())
            Step(*document, kSliceRecords);
    std::erase_if(m_documents, [](const std::weak_ptr<trace::CMarloLogDoc>& weak) {
        const auto document = weak.lock();
        return document == nullptr || !document->IsLoading();
    });
    if (!m_documents.empty()) QueueSlice();
}

trace::CMarloLogDoc::LoadStep BackgroundLoads::Step(trace::CMarloLogDoc& document, int records) {
    const trace::CMarloLogDoc::LoadStep step = document.ContinueLoading(records);
    if (const trace::CTraceLog* log = document.GetTraceLog())
        document.UpdateAllViews(nullptr, trace::HINT_RECORDS_LOADED, log->GetRecordCount());
    if (step == trace::CMarloLogDoc::LoadStep::GoesOn) {
        emit Progress(&document, ProgressText(document));
        return step;
    }
    emit Ended(&document, step);
    return step;
}

}  // namespace views
