#pragma once
// RecordListModel: the rows of the record list, one per record of the
// document's CTraceLog, with every cell text made when the view asks for it
// (no per-row objects). The model keeps only its row count, because the rows
// follow the document's hints rather than the store itself. Owned by its
// list view; user-interface thread only.

#include <QAbstractTableModel>
#include <functional>
#include <QColor>
#include <functional>
#include <optional>
#include <vector>

#include "filter/DisplayFilter.h"

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

    // Drops every row and shows one per record now in the store (that the
    // filter lets through).
    void ResetToStore();
    // Shows rows for the records up to (excluding) `count`; several appends
    // end up in one insertion when the view batches them.
    void GrowTo(int count);

    // Problem marks: the severity (0 note, 1 warning, 2 error) flagged on a
    // row, or -1; shown as an icon in the first column.
    using MarkProvider = std::function<int(int row)>;
    void SetMarkProvider(MarkProvider provider) { m_marks = std::move(provider); }
    // The record a row shows, and the row of a record (-1 when it is hidden
    // or not shown yet).
    int RecordAt(int row) const;
    int RowOf(int record) const;
    // Records known to the model, shown or not.
    int RecordCount() const { return m_records; }

    // Shows only the records the filter lets through; nullopt shows all.
    // `progress` is called now and then with the records looked at so far
    // and answers false to cancel (the rows stay as they were, and false is
    // returned).
    using Progress = std::function<bool(int done, int total)>;
    bool SetFilter(std::optional<filter::DisplayFilter> displayFilter, const Progress& progress = {});
    bool IsFiltered() const { return m_filter.has_value(); }

    // Rows coloured by what their record is (on by default).
    enum class RowKind { CallControl, Supervisory, LinkControl, TeiManagement, Other, TextOrHex, Damaged };
    static RowKind KindOf(const trace::CTraceLog& log, int record);
    static QColor Colour(RowKind kind);
    void SetColoured(bool on);
    bool Coloured() const { return m_coloured; }

    // What the Timestamp column shows: the time of day (the default), or
    // seconds since the first record, or since the record of the row above.
    enum class TimeFormat { TimeOfDay, SinceFirst, SincePrevious };
    void SetTimeFormat(TimeFormat format);

private:
    MarkProvider m_marks;
    trace::CDocument& m_document;
    int m_rows = 0;     // rows shown
    int m_records = 0;  // records looked at: all rows when unfiltered
    std::optional<filter::DisplayFilter> m_filter;
    std::vector<int> m_shown;  // with a filter: the record of each row
    bool m_coloured = true;
    TimeFormat m_timeFormat = TimeFormat::TimeOfDay;
};

}  // namespace views
