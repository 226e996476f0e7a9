#pragma once
// CMainFrame: the program's main window: the MDI area holding the trace
// windows, the menus that follow the active document (128, 129, 134), the
// toolbar, the five-pane status bar, and the routing of every command to
// the document or window that serves it. It owns the open documents (the
// windows on a document share it). User-interface thread only.

#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "app/CommandIds.h"
#include "app/DocumentServices.h"
#include "trace/UiServices.h"
#include "views/MarloTrcTreeView.h"
#include "views/RecordListModel.h"

class QLabel;
class QMdiArea;
class QMenu;

namespace views {
class CTraceChildFrame;
class BackgroundLoads;
}

namespace app {

// The main window's class name: its object name, and (with the user id) the
// name a second start of the program finds the first one by.
inline constexpr char kMainWindowClass[] = "AfxMDIFrame40d";

// CChildFrame: a plain MDI child (the statistics window's frame) showing
// `content`, a window on the document. Like the trace windows it shares
// ownership of its document, and its content goes before it. Closing it is
// the main frame's decision, as for the trace windows.
class CChildFrame final : public QMdiSubWindow {
    Q_OBJECT
public:
    // `kind` names the window after its document's title ("Problems" gives
    // "OrinBri1 – Problems"); `list` is the record list window it serves,
    // if any: it goes when that window goes.
    CChildFrame(std::shared_ptr<trace::CDocument> document, QWidget* content, QString kind,
                QMdiSubWindow* list = nullptr);
    const QString& Kind() const { return m_kind; }
    QMdiSubWindow* List() const { return m_list; }
signals:
    void CloseRequested(QMdiSubWindow* frame);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::shared_ptr<trace::CDocument> m_document;
    QString m_kind;
    QPointer<QMdiSubWindow> m_list;
    std::unique_ptr<QWidget> m_content;  // held after the document, so it goes first
};

class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kTraceStatusPaneWidth = 450;  // pixels
    static constexpr int kRecentFileCount = 4;
    // The title a new adapter document starts with, until it names itself
    // after the adapter it opens.
    static constexpr const char* kAdapterTitle = "Orin Strandex PCI 1 ST Adapter";

    explicit CMainFrame(DocumentServices& documents, QWidget* parent = nullptr);
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    QAction* Action(int id) const;
    trace::CDocument* ActiveDocument() const;
    views::CTraceChildFrame* ActiveTraceFrame() const;

    // Commands that tests and other windows call directly.
    void OnFileOpenAdapter();
    void OnFileOpenLog();
    bool OpenLogFile(const std::filesystem::path& path);
    void OnCardStatistics();
    // Open Adapter inside an adapter document ended: when it left the
    // adapter the document had, its windows follow.
    void OnAdapterReopened(trace::CDocument& document, Reopened how);
    void OnWindowNew();
    void OnFileClose();
    // Puts what the active trace window's active pane offers on the clipboard.
    void OnEditCopy();
    // Asks what to find, then finds it from the selected record on; Find
    // Next and Find Previous look again for the same.
    void OnEditFind();
    void FindAgain(bool forward);
    // The Timestamp column of every trace window.
    void SetTimeFormat(views::RecordListModel::TimeFormat format);
    // Closes every document through its closing sequence (program exit),
    // oldest first; false when the user cancelled one (it and the later
    // ones stay open).
    bool CloseAllDocuments();

    // The trace status pane speaks of the active document: each document's
    // last text is kept and shown while one of its windows is active (a
    // long one cut in the middle, whole in the tool tip). The last word of
    // a document that closes goes to the message area for a while instead.
    // Repainted at once.
    void SetTraceStatusText(const std::string& text);

    // Recent-file list, newest first, at most four entries.
    void AddToRecentFiles(const QString& name);
    const QStringList& RecentFiles() const { return m_recentFiles; }
    void SetRecentFiles(const QStringList& files);

    // The card statistics window: the factory makes its form, which shows the
    // line and link counters; the form sets the flag when it starts and
    // clears it when it goes.
    using StatisticsFormFactory = std::function<QWidget*(trace::CDocument& document, CMainFrame& frame)>;
    void SetStatisticsFormFactory(StatisticsFormFactory factory) { m_statsFactory = std::move(factory); }
    void SetStatisticsWindowFlag(int flag);

    // Enables, disables and checks every command for the active document.
    void UpdateCommandStates();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Tests' and benchmarks' view of the window (tests/support/MainFramePeer.h).
    friend class MainFramePeer;

    // The commands of the menus, keys and toolbar (the table is in the source).
    enum ActionFlags : unsigned { kPlain = 0, kCheckable = 1, kDisabled = 2 };
    struct ActionRow {
        int id;
        const char* text;
        const char* prompt;
        const char* tip;  // nullptr: the tool tip is the text
        QList<QKeySequence> keys;
        unsigned flags;
        void (*handler)(CMainFrame&);
    };
    static const ActionRow kActionRows[];
    void CreateActions();
    void GroupTimeFormats();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void UpdateMenus();
    void ListWindows(QMenu& menu);
    void ListRecentFiles(QMenu& menu);
    void UpdateLockIndicators();
    void ShowTraceText();
    // A note in the message area about a document (null: about none); it
    // goes when the document goes or another document becomes active.
    void ShowNote(const trace::CDocument* document, const QString& text);
    // Status texts set while this lives are about `document`.
    class Speaking {
    public:
        Speaking(CMainFrame& frame, trace::CDocument* document)
            : m_frame(frame), m_previous(std::exchange(frame.m_speaking, document)) {}
        ~Speaking() { m_frame.m_speaking = m_previous; }
        Speaking(const Speaking&) = delete;
        Speaking& operator=(const Speaking&) = delete;

    private:
        CMainFrame& m_frame;
        trace::CDocument* m_previous;
    };
    void ArrangeIcons();

    views::CTraceChildFrame* OpenFrame(const std::shared_ptr<trace::CDocument>& document);
    // The decode tree the trace windows show: with element details or without.
    views::TreeBuilder DecodeTreeBuilder() const;
    void OnFrameCloseRequested(QMdiSubWindow* frame);
    // False when the user cancelled: the document stays open as it was.
    bool CloseDocument(trace::CDocument& document);
    std::vector<QMdiSubWindow*> FramesOf(const trace::CDocument& document) const;
    trace::CDocument* DocumentOf(QMdiSubWindow* frame) const;
    std::shared_ptr<trace::CDocument> SharedDocument(trace::CDocument& document) const;
    void RetitleFrames(const trace::CDocument& document);
    bool OpenStatisticsWindow(trace::CDocument& document);
    void CloseStatisticsWindow();
    void MovePaneFocus(int step);
    void OnFileNew();
    void OnFileSave();
    void OnFileExport();
    // View > Calls and View > Problems: one window of each per document, an
    // MDI child of its own; choosing the command again closes it.
    enum class AnalysisWindow { Calls, Problems };
    void ToggleAnalysisWindow(AnalysisWindow which);
    CChildFrame* FindChild(const trace::CDocument& document, const QString& kind) const;
    // The record list window a command on the document works with.
    views::CTraceChildFrame* ListFrameOf(const trace::CDocument& document) const;
    // Removes a window that is not the last record list of its document.
    void RemoveFrame(QMdiSubWindow* frame);
    void UpdateProblemCount();
    void OnAbout();
    template <typename Command>
    void WithTraceDocument(Command command);

    DocumentServices& m_services;
    std::unique_ptr<trace::UiServices> m_ui;
    std::map<int, QAction*> m_actions;
    std::map<int, std::vector<QMenu*>> m_menus;  // the menus of each menu bar (MenuId)
    int m_menuId = -1;  // the menu bar shown (MenuId); none before the first update
    QLabel* m_tracePane = nullptr;
    QString m_traceText;  // what the trace pane shows, whole
    std::map<const trace::CDocument*, QString> m_traceTexts;  // each document's last trace status text
    trace::CDocument* m_speaking = nullptr;  // the document status texts are about now
    trace::CDocument* m_closing = nullptr;   // the document whose closing sequence runs
    const trace::CDocument* m_noteDocument = nullptr;  // what the message area's note is about
    // Reads the rest of large logs between events after their first screen.
    views::BackgroundLoads* m_loads = nullptr;
    QLabel* m_problemsPane = nullptr;  // errors and warnings of the active window's trace
    std::array<QLabel*, 3> m_lockIndicators{};  // CAP, NUM, SCRL
    std::vector<std::shared_ptr<trace::CDocument>> m_documents;  // open documents, in opening order
    std::map<QMdiSubWindow*, trace::CDocument*> m_frameDocuments;  // every child frame and its document
    QStringList m_recentFiles;
    StatisticsFormFactory m_statsFactory;
    int m_statsWindowFlag = 0;
    QPointer<QMdiSubWindow> m_statsFrame;
    bool m_colourRows = true;
    bool m_elementDetails = false;  // View > Element Details, for every trace window
    QString m_findText;
    views::RecordListModel::TimeFormat m_timeFormat = views::RecordListModel::TimeFormat::TimeOfDay;
    // The MDI area and the windows in it, held after the documents and the
    // user-interface services the documents use, so it goes first: a window
    // shares ownership of its document, and a document needs those services
    // until it is gone.
    std::unique_ptr<QMdiArea> m_mdi;
};

}  // namespace app
