#include "views/RecordListModel.h"

#include <QApplication>
#include <QStyle>

#include <algorithm>

#include "decode/Frame.h"
#include "decode/InfoElements.h"
#include "trace/Document.h"
#include "trace/RecordCells.h"
#include "trace/TraceLog.h"

namespace views {

RecordListModel::RecordListModel(trace::CDocument& document, QObject* parent)
    : QAbstractTableModel(parent), m_document(document) {}

int RecordListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : trace::kColumnCount;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
    const auto column = static_cast<trace::Column>(index.column());
    switch (role) {
        case Qt::DisplayRole: {
            // An adapter document that is closing has no store: nothing to show.
            const trace::CTraceLog* log = m_document.GetTraceLog();
            if (log == nullptr) return {};
            const int record = RecordAt(index.row());
            if (column == trace::Column::Timestamp && m_timeFormat != TimeFormat::TimeOfDay) {
                const int from = m_timeFormat == TimeFormat::SinceFirst ? 0 : RecordAt(index.row() - 1);
                const auto hundredths = [log](int r) { return static_cast<int>(log->GetTimeOfDay(r)); };
                int elapsed = from < 0 ? 0 : hundredths(record) - hundredths(from);
                if (elapsed < 0) elapsed += static_cast<int>(wire::kHundredthsPerDay);  // past midnight
                return QStringLiteral("%1.%2").arg(elapsed / 100).arg(elapsed % 100, 2, 10, QLatin1Char('0'));
            }
            return QString::fromStdString(trace::CellText(*log, record, column));
        }
        case Qt::BackgroundRole:
        case Qt::ForegroundRole: {
            const trace::CTraceLog* log = m_document.GetTraceLog();
            if (!m_coloured || log == nullptr) return {};
            // Pale rows with dark text read the same on light and dark themes.
            if (role == Qt::ForegroundRole) return QColor(0x10, 0x10, 0x10);
            return Colour(KindOf(*log, RecordAt(index.row())));
        }
        case Qt::DecorationRole: {
            if (index.column() != 0 || !m_marks) return {};
            const int severity = m_marks(RecordAt(index.row()));
            if (severity < 0) return {};
            const QStyle::StandardPixmap icon = severity >= 2   ? QStyle::SP_MessageBoxCritical
                                                : severity == 1 ? QStyle::SP_MessageBoxWarning
                                                                : QStyle::SP_MessageBoxInformation;
            return QApplication::style()->standardIcon(icon);
        }
        case Qt::TextAlignmentRole:
            return column == trace::Column::Message ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                    : QVariant(Qt::AlignCenter);
        default: return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= trace::kColumnCount) return {};
    if (role == Qt::DisplayRole) {
        const std::string_view heading = trace::kColumns[static_cast<std::size_t>(section)].heading;
        return QString::fromLatin1(heading.data(), static_cast<qsizetype>(heading.size()));
    }
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignCenter);
    return {};
}

RecordListModel::RowKind RecordListModel::KindOf(const trace::CTraceLog& log, int record) {
    const std::optional<trace::CTraceRecord> r = log.GetRecord(record);
    if (!r) return RowKind::Other;
    if (tracefile::RecordTypeOf(r->GetHeaderCopy()) != tracefile::kDChannelRecord) return RowKind::TextOrHex;
    const std::span<const std::uint8_t> frame = r->GetData();
    const decode::LinkHeader link = decode::ReadLink(frame);
    if (link.kind == decode::FrameKind::None) return RowKind::Damaged;
    if (link.teiManagement) return RowKind::TeiManagement;
    if (link.CarriesLayer3()) {
        // Call control: damaged when the frame ends inside its header or an
        // element's length runs past the frame.
        const decode::FrameLayout layout = decode::LayoutOf(frame);
        if (layout.messageType.count == 0) return RowKind::Damaged;
        bool cut = false;
        decode::WalkElements(frame, link.layer3Offset, [&](const decode::Element& e) {
            if (!e.singleOctet && (!e.length || e.body.Remaining() < *e.length)) cut = true;
            return !cut;
        });
        return cut ? RowKind::Damaged : RowKind::CallControl;
    }
    return link.kind == decode::FrameKind::S ? RowKind::Supervisory : RowKind::LinkControl;
}

QColor RecordListModel::Colour(RowKind kind) {
    switch (kind) {
        case RowKind::CallControl: return {0xD6, 0xE8, 0xFF};    // pale blue
        case RowKind::Supervisory: return {0xEE, 0xEE, 0xEE};    // pale grey
        case RowKind::LinkControl: return {0xFF, 0xF0, 0xC8};    // pale amber
        case RowKind::TeiManagement: return {0xEC, 0xDD, 0xFA};  // pale violet
        case RowKind::TextOrHex: return {0xDD, 0xF4, 0xDD};      // pale green
        case RowKind::Damaged: return {0xFF, 0xCC, 0xCC};        // pale red
        case RowKind::Other: break;
    }
    return {0xFF, 0xFF, 0xFF};
}

void RecordListModel::SetColoured(bool on) {
    if (m_coloured == on) return;
    m_coloured = on;
    if (m_rows > 0) emit dataChanged(index(0, 0), index(m_rows - 1, trace::kColumnCount - 1));
}

void RecordListModel::SetTimeFormat(TimeFormat format) {
    if (m_timeFormat == format) return;
    m_timeFormat = format;
    const int column = static_cast<int>(trace::Column::Timestamp);
    if (m_rows > 0) emit dataChanged(index(0, column), index(m_rows - 1, column));
}

int RecordListModel::RecordAt(int row) const {
    if (row < 0 || row >= m_rows) return -1;
    return m_filter ? m_shown[static_cast<std::size_t>(row)] : row;
}

int RecordListModel::RowOf(int record) const {
    if (!m_filter) return record >= 0 && record < m_rows ? record : -1;
    const auto found = std::lower_bound(m_shown.begin(), m_shown.end(), record);
    if (found == m_shown.end() || *found != record) return -1;
    return static_cast<int>(found - m_shown.begin());
}

void RecordListModel::ResetToStore() {
    beginResetModel();
    const trace::CTraceLog* log = m_document.GetTraceLog();
    m_records = log != nullptr ? log->GetRecordCount() : 0;
    m_shown.clear();
    if (m_filter && log != nullptr) m_shown = filter::MatchingRecords(*m_filter, *log, 0, m_records);
    m_rows = m_filter ? static_cast<int>(m_shown.size()) : m_records;
    endResetModel();
}

void RecordListModel::GrowTo(int count) {
    if (count <= m_records) return;
    if (!m_filter) {
        beginInsertRows({}, m_rows, count - 1);
        m_rows = m_records = count;
        endInsertRows();
        return;
    }
    const trace::CTraceLog* log = m_document.GetTraceLog();
    std::vector<int> added;
    if (log != nullptr) added = filter::MatchingRecords(*m_filter, *log, m_records, count);
    m_records = count;
    if (added.empty()) return;
    beginInsertRows({}, m_rows, m_rows + static_cast<int>(added.size()) - 1);
    m_shown.insert(m_shown.end(), added.begin(), added.end());
    m_rows = static_cast<int>(m_shown.size());
    endInsertRows();
}

bool RecordListModel::SetFilter(std::optional<filter::DisplayFilter> displayFilter, const Progress& progress) {
    if (displayFilter && displayFilter->IsEverything()) displayFilter.reset();
    std::vector<int> shown;
    const trace::CTraceLog* log = m_document.GetTraceLog();
    if (displayFilter && log != nullptr) {
        // In slices, so a long pass can show its progress and be cancelled.
        constexpr int kSlice = 20000;
        for (int first = 0; first < m_records; first += kSlice) {
            if (progress && !progress(first, m_records)) return false;
            const std::vector<int> part =
                filter::MatchingRecords(*displayFilter, *log, first, std::min(m_records, first + kSlice));
            shown.insert(shown.end(), part.begin(), part.end());
        }
        if (progress) progress(m_records, m_records);
    }
    beginResetModel();
    m_filter = std::move(displayFilter);
    m_shown = std::move(shown);
    m_rows = m_filter ? static_cast<int>(m_shown.size()) : m_records;
    endResetModel();
    return true;
}

}  // namespace views
