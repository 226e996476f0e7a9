#pragma once
// The Calls and Problems windows of a trace window, and the analysis they
// share with the record list's problem marks. The analysis follows the
// document's records as they arrive (a live capture) or all at once (a
// loaded file), a few times a second, so record delivery never waits for it.
// User-interface thread only.

#include <QAbstractTableModel>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/Analysis.h"
#include "analysis/Ladder.h"
#include "analysis/TraceFeed.h"

class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;

namespace trace {
class CDocument;
}

namespace views {

class CTraceChildFrame;

// The analyser of one document, fed with the records it has not seen yet.
class DocumentAnalysis {
public:
    explicit DocumentAnalysis(trace::CDocument& document) : m_document(document) {}
    // Feeds new records (starting over when the trace was restarted), at
    // most `budget` of them when budget is not negative; true when anything
    // was fed.
    bool Update(int budget = -1);
    // True while records of the log are not fed yet.
    bool Behind() const;
    const analysis::Analyzer& Analyzer() const { return m_analyzer; }
    std::optional<analysis::FrameInput> Frame(std::uint32_t record) const;
    // The record as the record list shows it (see analysis::RecordNames).
    std::string RecordName(std::uint32_t record);
    // Counted each time the analysis starts over, so windows know to rebuild.
    unsigned Generation() const { return m_generation; }

private:
    trace::CDocument& m_document;
    analysis::Analyzer m_analyzer;
    analysis::RecordNames m_names;
    int m_fed = 0;
    unsigned m_logEmptied = 0;  // the log's TimesEmptied when last fed
    unsigned m_generation = 0;
};

// One call's ladder: TE on the left, NT on the right, an arrow per message
// pointing away from its sender, layer 2 events in grey. A click on an
// arrow reports its record.
class LadderWidget final : public QWidget {
    Q_OBJECT
public:
    explicit LadderWidget(QWidget* parent = nullptr);
    void SetSteps(std::vector<analysis::LadderStep> steps);
    const std::vector<analysis::LadderStep>& Steps() const { return m_steps; }
    QSize sizeHint() const override;
    // The step drawn at a point of the widget, or -1.
    int StepAt(QPoint point) const;

signals:
    void RecordClicked(int record);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::vector<analysis::LadderStep> m_steps;
    int m_selected = -1;
};

class CCallsWindow final : public QWidget {
    Q_OBJECT
public:
    CCallsWindow(CTraceChildFrame& frame, std::shared_ptr<DocumentAnalysis> analysis, QWidget* parent = nullptr);
    // Brings the table up to date with the analysis.
    void Refresh();
    QTableWidget* Table() const { return m_table; }
    LadderWidget* Ladder() const { return m_ladder; }
    QPushButton* OnlyThisCall() const { return m_onlyThisCall; }
    // Above the ladder: the selected call in a line.
    QLabel* Heading() const { return m_title; }
    // The window's width at which the table shows every column, as wide as
    // its text, without a horizontal scroll bar (even beside a vertical one).
    int WidthForEveryColumn() const;

private:
    void ShowCall(int row);
    void SelectRecord(int record);
    void ShowOnlyCall(bool only);

    QPointer<CTraceChildFrame> m_frame;
    std::shared_ptr<DocumentAnalysis> m_analysis;
    QTableWidget* m_table = nullptr;
    LadderWidget* m_ladder = nullptr;
    QLabel* m_title = nullptr;
    QPushButton* m_onlyThisCall = nullptr;
    QString m_callFilter;  // the display filter the button applied, empty when off
    QTimer* m_timer = nullptr;
    unsigned m_generation = ~0u;
    std::uint32_t m_seen = 0;
};

// The problems of an analysis as a table (record, severity, problem,
// related records) without a copy of them: a row is an index into the
// analyser's problems, so a window over hundreds of thousands of problems
// costs four bytes a problem. Rows are in record order until sorted by a
// column; problems found later are merged in where they belong.
class ProblemsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kRecord, kSeverity, kProblem, kRelated, kColumnCount };
    explicit ProblemsModel(std::shared_ptr<DocumentAnalysis> analysis, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    // Takes in the problems the analysis found since the last call.
    void Update();
    // The problem a row shows.
    const analysis::Problem& ProblemAt(int row) const;
    // The longest text of a column, for its width.
    QString WidestText(int column) const;

private:
    bool Before(std::uint32_t a, std::uint32_t b) const;
    QString RecordName(std::uint32_t record) const;
    QString RelatedRecords(const analysis::Problem& p) const;
    // Reorders the rows, keeping the selection and current row on their problems.
    void Reorder(const std::function<void()>& reorder);

    std::shared_ptr<DocumentAnalysis> m_analysis;
    std::vector<std::uint32_t> m_rows;  // index into the analyser's problems, per row
    unsigned m_generation = ~0u;
    int m_sortColumn = kRecord;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

class CProblemsWindow final : public QWidget {
    Q_OBJECT
public:
    CProblemsWindow(CTraceChildFrame& frame, std::shared_ptr<DocumentAnalysis> analysis, QWidget* parent = nullptr);
    void Refresh();
    QTableView* Table() const { return m_table; }
    ProblemsModel* Model() const { return m_model; }

private:
    // Selects the problem's record in the list (double click, Enter).
    void Jump(const QModelIndex& index);
    void FitColumns();

    QPointer<CTraceChildFrame> m_frame;
    std::shared_ptr<DocumentAnalysis> m_analysis;
    ProblemsModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QTimer* m_timer = nullptr;
    std::uint32_t m_seen = ~0u;
};

// Selects and shows a record in the frame's record list (the tree and hex
// panes follow), as a click on its row would.
void SelectRecordInList(CTraceChildFrame& frame, int record);

}  // namespace views
