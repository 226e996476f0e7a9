#pragma once
// RecordListModel: the rows of the record list, one per record of the
// document's CTraceLog, with every cell text made when the view asks for it
// (no per-row objects). The model keeps only its row count, because the rows
// follow the document's hints rather than the store itself. Owned by its
// list view; user-interface thread only.

#include <QAbstractTableModel>
#include <functional>

namespace trace {
class CDocument;
}

namespace views {

class RecordListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordListModel(trace::CDocument& document, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Drops every row and shows one per record now in the store.
    void ResetToStore();
    // Shows rows up to (excluding) `count`; several appends end up in one
    // insertion when the view batches them.
    void GrowTo(int count);

    // Problem marks: the severity (0 note, 1 warning, 2 error) flagged on a
    // row, or -1; shown as an icon in the first column.
    using MarkProvider = std::function<int(int row)>;
    void SetMarkProvider(MarkProvider provider) { m_marks = std::move(provider); }

private:
    MarkProvider m_marks;
    trace::CDocument& m_document;
    int m_rows = 0;
};

}  // namespace views
