#include "views/RecordListModel.h"

#include <QApplication>
#include <QStyle>

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
            return QString::fromStdString(trace::CellText(*log, index.row(), column));
        }
        case Qt::DecorationRole: {
            if (index.column() != 0 || !m_marks) return {};
            const int severity = m_marks(index.row());
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

void RecordListModel::ResetToStore() {
    beginResetModel();
    const trace::CTraceLog* log = m_document.GetTraceLog();
    m_rows = log != nullptr ? log->GetRecordCount() : 0;
    endResetModel();
}

void RecordListModel::GrowTo(int count) {
    if (count <= m_rows) return;
    beginInsertRows({}, m_rows, count - 1);
    m_rows = count;
    endInsertRows();
}

}  // namespace views
