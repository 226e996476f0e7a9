#include "app/MainFrame.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/LockKeys.h"
#include "app/QtUiServices.h"
#include "app/ToolbarIcons.h"
#include "platform/MessageBox.h"
#include "platform/Version.h"
#include "trace/RecordPrinter.h"
#include "trace/CaptureExport.h"
#include "trace/TraceLog.h"
#include "views/CallsWindow.h"
#include "views/MarloTrcHexView.h"
#include "views/MarloTrcListView.h"
#include "views/MarloTrcTreeView.h"
#include "views/BackgroundLoad.h"
#include "views/TraceChildFrame.h"

namespace app {

CChildFrame::CChildFrame(std::shared_ptr<trace::CDocument> document, QWidget* content, QString kind,
                         QMdiSubWindow* list)
    : m_document(std::move(document)), m_kind(std::move(kind)), m_list(list), m_content(content) {
    setWidget(content);
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit CloseRequested(this);
}

CMainFrame::CMainFrame(DocumentServices& documents, QWidget* parent)
    : QMainWindow(parent), m_services(documents) {
    setObjectName(QString::fromLatin1(kMainWindowClass));
    setWindowTitle(QStringLiteral("MarloTrc"));
    m_ui = std::make_unique<QtUiServices>(
        this, [this](const std::string& text) { SetTraceStatusText(text); },
        [this](const std::string& name) {
            // Only files go in, by the name they are opened by again; an
            // adapter's name is none.
            const QFileInfo file(QString::fromStdString(name));
            if (file.isFile()) AddToRecentFiles(file.canonicalFilePath());
        });

    m_mdi = std::make_unique<QMdiArea>(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi.get());
    connect(m_mdi.get(), &QMdiArea::subWindowActivated, this, [this] {
        UpdateMenus();
        UpdateProblemCount();
        // Notes and the trace pane speak of the active document.
        if (m_noteDocument != nullptr && m_noteDocument != ActiveDocument()) {
            statusBar()->clearMessage();
            m_noteDocument = nullptr;
        }
        ShowTraceText();
    });

    CreateActions();
    GroupTimeFormats();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    UpdateMenus();
    m_services.AttachMainFrame(*this);

    m_loads = new views::BackgroundLoads(this);
    connect(m_loads, &views::BackgroundLoads::Progress, this,
            [this](trace::CDocument* document, const QString& text) {
                if (SharedDocument(*document) != nullptr) ShowNote(document, text);
            });
    connect(m_loads, &views::BackgroundLoads::Ended, this,
            [this](trace::CDocument* document, trace::CMarloLogDoc::LoadStep step) {
                if (step == trace::CMarloLogDoc::LoadStep::Refused) {
                    CloseDocument(*document);
                    return;
                }
                if (step == trace::CMarloLogDoc::LoadStep::IntactPartKept) RetitleFrames(*document);
                if (step == trace::CMarloLogDoc::LoadStep::Complete)
                    ShowNote(document, tr("Loaded: %1 records.").arg(document->GetTraceLog()->GetRecordCount()));
                UpdateMenus();
            });
}

CMainFrame::~CMainFrame() {
    // The menus no longer follow the active window while the windows go.
    disconnect(m_mdi.get(), nullptr, this, nullptr);
}

QAction* CMainFrame::Action(int id) const {
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

template <typename Command>
void CMainFrame::WithTraceDocument(Command command) {
    trace::CDocument* document = ActiveDocument();
    if (document == nullptr || m_services.KindOf(*document) != DocumentKind::Trace) return;
    const Speaking about(*this, document);
    command(*document);
}

// One row a command: what it is called, what the status bar and its tool
// tip say, its keys, and what it does. A row without a handler is a command
// nothing handles yet; kDisabled keeps it greyed for good.
using K = QKeySequence;
const CMainFrame::ActionRow CMainFrame::kActionRows[] = {
    {ID_FILE_OPEN, QT_TR_NOOP("&Open Adapter..."), QT_TR_NOOP("Open an existing document"),
     QT_TR_NOOP("Open Adapter"), {K(Qt::CTRL | Qt::Key_O)}, kPlain,
     [](CMainFrame& f) {
         // The adapter document's own handler re-opens its adapter;
         // otherwise a new adapter document.
         trace::CDocument* document = f.ActiveDocument();
         if (document != nullptr && f.m_services.KindOf(*document) == DocumentKind::Trace) {
             const Speaking about(f, document);
             f.OnAdapterReopened(*document, f.m_services.ReopenAdapter(*document));
         } else {
             f.OnFileOpenAdapter();
         }
     }},
    {ID_FILE_OPEN_LOG, QT_TR_NOOP("Open &Log File..."), QT_TR_NOOP("Open a trace log file"), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.OnFileOpenLog(); }},
    {ID_FILE_OPEN_LOG_NODOC, QT_TR_NOOP("Open &Log File..."), QT_TR_NOOP("Open a trace log file"), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.OnFileOpenLog(); }},
    {ID_FILE_SAVE, QT_TR_NOOP("&Save Log File"), QT_TR_NOOP("Save the active document"), QT_TR_NOOP("Save Log File"),
     {K(Qt::CTRL | Qt::Key_S)}, kPlain, [](CMainFrame& f) { f.OnFileSave(); }},
    {ID_FILE_CLOSE, QT_TR_NOOP("&Close "), QT_TR_NOOP("Close the active document"), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.OnFileClose(); }},
    {ID_FILE_EXPORT, QT_TR_NOOP("&Export..."),
     QT_TR_NOOP("Export the D-channel frames for a packet analyser (pcapng, pcap)"), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.OnFileExport(); }},
    {ID_FILE_SAVE_DIAGNOSTICS, QT_TR_NOOP("Save &Diagnostics"),
     QT_TR_NOOP("To save varied diagnostics information to a file."), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.WithTraceDocument([&f](trace::CDocument& d) { f.m_services.SaveDiagnostics(d); }); }},
    {ID_APP_EXIT, QT_TR_NOOP("E&xit"), QT_TR_NOOP("Quit the application; prompts to save documents"), nullptr, {},
     kPlain, [](CMainFrame& f) { f.close(); }},
    {ID_FILE_NEW, QT_TR_NOOP("&New"), QT_TR_NOOP("Create a new document"), nullptr, {K(Qt::CTRL | Qt::Key_N)}, kPlain,
     [](CMainFrame& f) { f.OnFileNew(); }},

    // Nothing in the program handles these: present, always disabled.
    {ID_EDIT_UNDO, QT_TR_NOOP("&Undo"), QT_TR_NOOP("Undo the last action"), nullptr,
     {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)}, kDisabled, nullptr},
    {ID_EDIT_CUT, QT_TR_NOOP("Cu&t"), QT_TR_NOOP("Cut the selection and put it on the Clipboard"), QT_TR_NOOP("Cut"),
     {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)}, kDisabled, nullptr},
    {ID_EDIT_COPY, QT_TR_NOOP("&Copy"), QT_TR_NOOP("Copy the selection and put it on the Clipboard"),
     QT_TR_NOOP("Copy"), {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}, kPlain,
     [](CMainFrame& f) { f.OnEditCopy(); }},
    {ID_EDIT_FIND, QT_TR_NOOP("&Find..."),
     QT_TR_NOOP("Find a record by display filter, by text in its cells or tree, or by its octets"), nullptr,
     {K(Qt::CTRL | Qt::Key_F)}, kPlain, [](CMainFrame& f) { f.OnEditFind(); }},
    {ID_EDIT_FIND_NEXT, QT_TR_NOOP("Find &Next"), QT_TR_NOOP("Find the next record"), nullptr, {K(Qt::Key_F3)},
     kPlain, [](CMainFrame& f) { f.FindAgain(true); }},
    {ID_EDIT_FIND_PREVIOUS, QT_TR_NOOP("Find Pre&vious"), QT_TR_NOOP("Find the previous record"), nullptr,
     {K(Qt::SHIFT | Qt::Key_F3)}, kPlain, [](CMainFrame& f) { f.FindAgain(false); }},
    {ID_EDIT_PASTE, QT_TR_NOOP("&Paste"), QT_TR_NOOP("Insert Clipboard contents"), QT_TR_NOOP("Paste"),
     {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)}, kDisabled, nullptr},
    {ID_FILE_PRINT, QT_TR_NOOP("&Print..."), QT_TR_NOOP("Print the active document"), QT_TR_NOOP("Print"),
     {K(Qt::CTRL | Qt::Key_P)}, kDisabled, nullptr},

    // The bars' own toggles are wired where the bars are made.
    {ID_VIEW_TOOLBAR, QT_TR_NOOP("&Toolbar"), QT_TR_NOOP("Show or hide the toolbar"), nullptr, {}, kCheckable,
     nullptr},
    {ID_VIEW_STATUS_BAR, QT_TR_NOOP("&Status Bar"), QT_TR_NOOP("Show or hide the status bar"), nullptr, {},
     kCheckable, nullptr},
    {ID_VIEW_CARD_STATUS, QT_TR_NOOP("&Card Status"), QT_TR_NOOP("Show the status of the card"), nullptr, {},
     kCheckable,
     [](CMainFrame& f) { f.WithTraceDocument([&f](trace::CDocument& d) { f.m_services.ToggleCardStatus(d); }); }},
    {ID_VIEW_CARD_STATISTICS, QT_TR_NOOP("C&ard Statistics"), QT_TR_NOOP("Show the statistics for the card."),
     nullptr, {}, kCheckable, [](CMainFrame& f) { f.OnCardStatistics(); }},
    {ID_VIEW_INFORMATION, QT_TR_NOOP("&Information"), QT_TR_NOOP("Show the adapter information"), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.WithTraceDocument([&f](trace::CDocument& d) { f.m_services.ShowInformation(d); }); }},
    {ID_VIEW_AUTO_SCROLL, QT_TR_NOOP("A&uto Scroll"), QT_TR_NOOP("Keep the newest record in view while records arrive"),
     nullptr, {}, kCheckable,
     [](CMainFrame& f) {
         if (views::CTraceChildFrame* frame = f.ActiveTraceFrame())
             frame->ListView()->SetAutoScroll(f.Action(ID_VIEW_AUTO_SCROLL)->isChecked());
     }},
    {ID_VIEW_TIME_OF_DAY, QT_TR_NOOP("Time of &Day"), QT_TR_NOOP("Show the time of day of each record"), nullptr, {},
     kCheckable, [](CMainFrame& f) { f.SetTimeFormat(views::RecordListModel::TimeFormat::TimeOfDay); }},
    {ID_VIEW_TIME_SINCE_FIRST, QT_TR_NOOP("Seconds Since &First Record"),
     QT_TR_NOOP("Show the seconds since the first record"), nullptr, {}, kCheckable,
     [](CMainFrame& f) { f.SetTimeFormat(views::RecordListModel::TimeFormat::SinceFirst); }},
    {ID_VIEW_TIME_SINCE_PREVIOUS, QT_TR_NOOP("Seconds Since Pre&vious Record"),
     QT_TR_NOOP("Show the seconds since the record shown above"), nullptr, {}, kCheckable,
     [](CMainFrame& f) { f.SetTimeFormat(views::RecordListModel::TimeFormat::SincePrevious); }},
    {ID_VIEW_COLOUR_ROWS, QT_TR_NOOP("Colour &Rows"),
     QT_TR_NOOP("Colour the records by kind: call control, supervisory, link set-up, TEI management, text"), nullptr,
     {}, kCheckable,
     [](CMainFrame& f) {
         f.m_colourRows = f.Action(ID_VIEW_COLOUR_ROWS)->isChecked();
         for (QMdiSubWindow* window : f.m_mdi->subWindowList())
             if (auto* frame = qobject_cast<views::CTraceChildFrame*>(window))
                 frame->ListView()->Model().SetColoured(f.m_colourRows);
     }},
    {ID_VIEW_ELEMENT_DETAILS, QT_TR_NOOP("&Element Details"),
     QT_TR_NOOP("Show under each information element what its octets mean, field by field"), nullptr, {}, kCheckable,
     [](CMainFrame& f) {
         f.m_elementDetails = f.Action(ID_VIEW_ELEMENT_DETAILS)->isChecked();
         for (QMdiSubWindow* window : f.m_mdi->subWindowList())
             if (auto* frame = qobject_cast<views::CTraceChildFrame*>(window))
                 frame->TreeView()->SetTreeBuilder(f.DecodeTreeBuilder());
     }},
    {ID_VIEW_CALLS, QT_TR_NOOP("Ca&lls"), QT_TR_NOOP("List the calls of the trace and show their ladders"), nullptr,
     {}, kCheckable, [](CMainFrame& f) { f.ToggleAnalysisWindow(AnalysisWindow::Calls); }},
    {ID_VIEW_PROBLEMS, QT_TR_NOOP("&Problems"), QT_TR_NOOP("List the problems found in the trace"), nullptr, {},
     kCheckable, [](CMainFrame& f) { f.ToggleAnalysisWindow(AnalysisWindow::Problems); }},
    {ID_TRACE_START, QT_TR_NOOP("Star&t"), QT_TR_NOOP("Start a trace"), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.WithTraceDocument([&f](trace::CDocument& d) { f.m_services.TraceStart(d); }); }},
    {ID_TRACE_STOP, QT_TR_NOOP("Sto&p"), QT_TR_NOOP("Stop the trace"), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.WithTraceDocument([&f](trace::CDocument& d) { f.m_services.TraceStop(d); }); }},

    {ID_WINDOW_NEW, QT_TR_NOOP("&New Window"), QT_TR_NOOP("Open another window for the active document"), nullptr,
     {}, kPlain, [](CMainFrame& f) { f.OnWindowNew(); }},
    {ID_WINDOW_CASCADE, QT_TR_NOOP("&Cascade"), QT_TR_NOOP("Arrange windows so they overlap"), nullptr, {}, kPlain,
     [](CMainFrame& f) { f.m_mdi->cascadeSubWindows(); }},
    {ID_WINDOW_TILE_HORZ, QT_TR_NOOP("&Tile"), QT_TR_NOOP("Arrange windows as non-overlapping tiles"), nullptr, {},
     kPlain, [](CMainFrame& f) { f.m_mdi->tileSubWindows(); }},
    {ID_WINDOW_ARRANGE, QT_TR_NOOP("&Arrange Icons"), QT_TR_NOOP("Arrange icons at the bottom of the window"),
     nullptr, {}, kPlain, [](CMainFrame& f) { f.ArrangeIcons(); }},
    {ID_APP_ABOUT, QT_TR_NOOP("&About MarloTrc..."),
     QT_TR_NOOP("Display program information, version number and copyright"), QT_TR_NOOP("About"), {}, kPlain,
     [](CMainFrame& f) { f.OnAbout(); }},
    {ID_NEXT_PANE, QT_TR_NOOP("Next Pane"), QT_TR_NOOP("Switch to the next window pane"), nullptr,
     {K(Qt::Key_F6)}, kPlain, [](CMainFrame& f) { f.MovePaneFocus(1); }},
    {ID_PREV_PANE, QT_TR_NOOP("Previous Pane"), QT_TR_NOOP("Switch back to the previous window pane"), nullptr,
     {K(Qt::SHIFT | Qt::Key_F6)}, kPlain, [](CMainFrame& f) { f.MovePaneFocus(-1); }},
};

void CMainFrame::CreateActions() {
    for (const ActionRow& row : kActionRows) {
        auto* action = new QAction(tr(row.text), this);
        action->setStatusTip(tr(row.prompt));
        if (row.tip != nullptr) action->setToolTip(tr(row.tip));
        action->setData(row.id);
        action->setShortcuts(row.keys);
        // Keys work whichever menu is shown, as one accelerator table serves
        // all.
        action->setShortcutContext(Qt::WindowShortcut);
        action->setCheckable((row.flags & kCheckable) != 0);
        if ((row.flags & kDisabled) != 0) action->setEnabled(false);
        addAction(action);
        if (row.handler != nullptr) {
            connect(action, &QAction::triggered, this, [this, handler = row.handler] {
                handler(*this);
                UpdateCommandStates();
            });
        }
        m_actions[row.id] = action;
    }
}

void CMainFrame::GroupTimeFormats() {
    // The three time formats are one choice.
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (int id : {ID_VIEW_TIME_OF_DAY, ID_VIEW_TIME_SINCE_FIRST, ID_VIEW_TIME_SINCE_PREVIOUS}) group->addAction(Action(id));
}

void CMainFrame::SetTimeFormat(views::RecordListModel::TimeFormat format) {
    m_timeFormat = format;
    for (QMdiSubWindow* window : m_mdi->subWindowList())
        if (auto* frame = qobject_cast<views::CTraceChildFrame*>(window)) frame->ListView()->Model().SetTimeFormat(format);
}

void CMainFrame::OnEditFind() {
    if (ActiveTraceFrame() == nullptr) return;
    bool ok = false;
    const QString what = QInputDialog::getText(this, tr("Find"),
                                               tr("Display filter, text in the cells or the tree, or octets (08 01):"),
                                               QLineEdit::Normal, m_findText, &ok);
    if (!ok || what.trimmed().isEmpty()) return;
    m_findText = what;
    FindAgain(true);
}

void CMainFrame::FindAgain(bool forward) {
    views::CTraceChildFrame* frame = ActiveTraceFrame();
    if (frame == nullptr || m_findText.isEmpty()) return;
    // Find looks through every record: a log still loading is read to its end first.
    if (!m_loads->Finish(frame->GetDocument())) return;
    frame->ListView()->Find(m_findText, forward);
}

void CMainFrame::OnEditCopy() {
    views::CTraceChildFrame* frame = ActiveTraceFrame();
    if (frame == nullptr) return;
    const QString text = frame->CopyText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void CMainFrame::ArrangeIcons() {
    // Minimised windows line up along the bottom edge.
    int x = 0;
    for (QMdiSubWindow* frame : m_mdi->subWindowList()) {
        if (!frame->isMinimized()) continue;
        frame->move(x, m_mdi->viewport()->height() - frame->height());
        x += frame->width();
    }
}

void CMainFrame::CreateMenus() {
    auto menu = [this](int resource, const QString& title, std::initializer_list<int> ids) {
        auto* m = new QMenu(title, this);
        for (int id : ids) {
            if (id == ID_SEPARATOR)
                m->addSeparator();
            else
                m->addAction(Action(id));
        }
        connect(m, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });
        // The menu that holds the window commands lists the open windows.
        if (std::find(ids.begin(), ids.end(), ID_WINDOW_NEW) != ids.end())
            connect(m, &QMenu::aboutToShow, this, [this, m] { ListWindows(*m); });
        // The File menu lists the recent files above Exit.
        if (std::find(ids.begin(), ids.end(), ID_APP_EXIT) != ids.end())
            connect(m, &QMenu::aboutToShow, this, [this, m] { ListRecentFiles(*m); });
        m_menus[resource].push_back(m);
    };
    menu(IDR_MAINFRAME, tr("&File"), {ID_FILE_OPEN, 0, ID_FILE_OPEN_LOG_NODOC, 0, ID_APP_EXIT});
    menu(IDR_MAINFRAME, tr("&View"), {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR});
    menu(IDR_MAINFRAME, tr("&Help"), {ID_APP_ABOUT});

    menu(IDR_MARLOTTYPE, tr("&File"),
         {ID_FILE_OPEN, 0, ID_FILE_OPEN_LOG, ID_FILE_SAVE, ID_FILE_CLOSE, ID_FILE_EXPORT, 0, ID_FILE_SAVE_DIAGNOSTICS, 0,
          ID_APP_EXIT});
    menu(IDR_MARLOTTYPE, tr("&Edit"),
         {ID_EDIT_UNDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_EDIT_FIND, ID_EDIT_FIND_NEXT,
          ID_EDIT_FIND_PREVIOUS});
    menu(IDR_MARLOTTYPE, tr("&View"),
         {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, 0, ID_VIEW_AUTO_SCROLL, ID_VIEW_COLOUR_ROWS, 0, ID_VIEW_TIME_OF_DAY,
          ID_VIEW_TIME_SINCE_FIRST, ID_VIEW_TIME_SINCE_PREVIOUS, 0, ID_VIEW_CARD_STATUS, ID_VIEW_CARD_STATISTICS,
          ID_VIEW_INFORMATION, 0, ID_VIEW_ELEMENT_DETAILS, 0, ID_VIEW_CALLS, ID_VIEW_PROBLEMS});
    menu(IDR_MARLOTTYPE, tr("&Trace"), {ID_TRACE_START, ID_TRACE_STOP});
    menu(IDR_MARLOTTYPE, tr("&Window"), {ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE});
    menu(IDR_MARLOTTYPE, tr("&Help"), {ID_APP_ABOUT});

    menu(IDR_LOGTYPE, tr("&File"),
         {ID_FILE_OPEN, 0, ID_FILE_OPEN_LOG, ID_FILE_SAVE, ID_FILE_CLOSE, ID_FILE_EXPORT, 0, ID_APP_EXIT});
    menu(IDR_LOGTYPE, tr("&Edit"),
         {ID_EDIT_UNDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_EDIT_FIND, ID_EDIT_FIND_NEXT,
          ID_EDIT_FIND_PREVIOUS});
    menu(IDR_LOGTYPE, tr("&View"),
         {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, 0, ID_VIEW_AUTO_SCROLL, ID_VIEW_COLOUR_ROWS, 0, ID_VIEW_TIME_OF_DAY,
          ID_VIEW_TIME_SINCE_FIRST, ID_VIEW_TIME_SINCE_PREVIOUS, 0, ID_VIEW_ELEMENT_DETAILS, 0, ID_VIEW_CALLS,
          ID_VIEW_PROBLEMS});
    menu(IDR_LOGTYPE, tr("&Window"), {ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE});
    menu(IDR_LOGTYPE, tr("&Help"), {ID_APP_ABOUT});
}

void CMainFrame::ListWindows(QMenu& menu) {
    // Below the four commands: one numbered entry per open window, the
    // active one checked.
    const QList<QAction*> entries = menu.actions();
    for (qsizetype i = 4; i < entries.size(); ++i) {
        menu.removeAction(entries[i]);
        if (entries[i]->parent() == &menu) delete entries[i];
    }
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
    if (windows.isEmpty()) return;
    menu.addSeparator();
    // Two windows of one title (logs of one name in two folders) are told
    // apart by where their documents are.
    QMap<QString, int> titles;
    for (QMdiSubWindow* window : windows) ++titles[window->windowTitle()];
    const QFontMetrics metrics(menu.font());
    for (qsizetype i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows[i];
        QString shown = window->windowTitle();
        const trace::CDocument* document = DocumentOf(window);
        if (titles.value(shown) > 1 && document != nullptr && !document->GetPathName().empty()) {
            const QString where = QDir::toNativeSeparators(QString::fromStdString(document->GetPathName()));
            shown += QStringLiteral(" (") + metrics.elidedText(where, Qt::ElideMiddle, 360) + QLatin1Char(')');
        }
        QAction* entry = menu.addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
        entry->setCheckable(true);
        entry->setChecked(window == m_mdi->activeSubWindow());
        connect(entry, &QAction::triggered, this, [this, window] { m_mdi->setActiveSubWindow(window); });
    }
}

void CMainFrame::ListRecentFiles(QMenu& menu) {
    // Numbered entries and their separator, made afresh each time the menu
    // opens; they are the menu's own actions, Exit is not.
    for (QAction* entry : menu.actions()) {
        if (entry->parent() == &menu && entry->property("recentFile").isValid()) {
            menu.removeAction(entry);
            delete entry;
        }
    }
    if (m_recentFiles.isEmpty()) return;
    QAction* exit = Action(ID_APP_EXIT);
    const QFontMetrics metrics(menu.font());
    for (qsizetype i = 0; i < m_recentFiles.size(); ++i) {
        const QString path = m_recentFiles[i];
        const QString shown = metrics.elidedText(QDir::toNativeSeparators(path), Qt::ElideMiddle, 480);
        auto* entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), &menu);
        entry->setProperty("recentFile", path);
        entry->setStatusTip(tr("Open this document"));
        connect(entry, &QAction::triggered, this, [this, path] {
            if (!OpenLogFile(path.toStdString())) {
                m_recentFiles.removeAll(path);  // gone or unreadable: the loader said why
            }
        });
        menu.insertAction(exit, entry);
    }
    QAction* separator = new QAction(&menu);
    separator->setSeparator(true);
    separator->setProperty("recentFile", QString());
    menu.insertAction(exit, separator);
}

void CMainFrame::CreateToolBar() {
    QToolBar* bar = addToolBar(tr("Toolbar"));
    bar->setObjectName(QStringLiteral("mainToolbar"));
    bar->setIconSize(QSize(16, 15));
    bar->setAllowedAreas(Qt::AllToolBarAreas);
    bar->setFloatable(true);
    for (int id : std::initializer_list<int>{ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_FILE_PRINT,
                   ID_APP_ABOUT}) {
        if (id == ID_SEPARATOR) {
            bar->addSeparator();
            continue;
        }
        Action(id)->setIcon(ToolbarIcon(id));
        bar->addAction(Action(id));
    }
    QAction* toggle = Action(ID_VIEW_TOOLBAR);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QToolBar::setVisible);
    connect(bar, &QToolBar::visibilityChanged, toggle, [toggle, bar] { toggle->setChecked(bar->isVisible()); });
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    // Pane 0: prompts, "Ready" when idle.
    auto* ready = new QLabel(tr("Ready"));
    bar->addWidget(ready, 1);
    m_problemsPane = new QLabel;
    m_problemsPane->setObjectName(QStringLiteral("problemsPane"));
    m_problemsPane->setFrameShape(QFrame::Panel);
    m_problemsPane->setFrameShadow(QFrame::Sunken);
    bar->addPermanentWidget(m_problemsPane);
    m_tracePane = new QLabel;
    m_tracePane->setObjectName(QStringLiteral("tracePane"));
    m_tracePane->setFixedWidth(kTraceStatusPaneWidth);
    m_tracePane->setFrameShape(QFrame::Panel);
    m_tracePane->setFrameShadow(QFrame::Sunken);
    bar->addPermanentWidget(m_tracePane);
    // The lock-key indicators: the text while the key is on, blank while
    // it is off, greyed where the display cannot tell.
    for (std::size_t i = 0; i < m_lockIndicators.size(); ++i) {
        auto* indicator = new QLabel;
        indicator->setAlignment(Qt::AlignCenter);
        indicator->setFrameShape(QFrame::Panel);
        indicator->setFrameShadow(QFrame::Sunken);
        indicator->setMinimumWidth(indicator->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        bar->addPermanentWidget(indicator);
        m_lockIndicators[i] = indicator;
    }
    UpdateLockIndicators();
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] { UpdateLockIndicators(); });
    poll->start(250);
    // A trace whose file filled up or whose card went away is stopped and
    // reported within half a second.
    auto* captures = new QTimer(this);
    connect(captures, &QTimer::timeout, this, [this] {
        const auto documents = m_documents;  // a message box runs the event loop
        bool stopped = false;
        for (const auto& document : documents) {
            const Speaking about(*this, document.get());
            stopped = m_services.CheckCapture(*document) || stopped;
        }
        if (stopped) UpdateMenus();
    });
    captures->start(500);
    QAction* toggle = Action(ID_VIEW_STATUS_BAR);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QStatusBar::setVisible);
}

void CMainFrame::UpdateLockIndicators() {
    static constexpr const char* kTexts[] = {"CAP", "NUM", "SCRL"};
    const auto state = ReadLockKeys();
    for (std::size_t i = 0; i < m_lockIndicators.size(); ++i) {
        QLabel* indicator = m_lockIndicators[i];
        indicator->setEnabled(state.has_value());
        const bool shown = !state || (*state)[i];
        const QString text = shown ? QString::fromLatin1(kTexts[i]) : QString();
        if (indicator->text() != text) indicator->setText(text);
    }
}

void CMainFrame::SetTraceStatusText(const std::string& text) {
    const trace::CDocument* about = m_speaking != nullptr ? m_speaking : ActiveDocument();
    const QString full = QString::fromStdString(text);
    if (about != nullptr && about == m_closing) {
        ShowNote(nullptr, full);  // the document goes: its pane text goes with it
        return;
    }
    m_traceTexts[about] = full;
    ShowTraceText();
}

void CMainFrame::ShowTraceText() {
    const auto found = m_traceTexts.find(ActiveDocument());
    m_traceText = found == m_traceTexts.end() ? QString() : found->second;
    const int room = m_tracePane->contentsRect().width() - 2 * m_tracePane->margin() - 4;
    m_tracePane->setText(m_tracePane->fontMetrics().elidedText(m_traceText, Qt::ElideMiddle, room));
    m_tracePane->setToolTip(m_traceText);
    m_tracePane->repaint();
}

void CMainFrame::ShowNote(const trace::CDocument* document, const QString& text) {
    m_noteDocument = document;
    statusBar()->showMessage(text, 8000);
}

void CMainFrame::UpdateMenus() {
    trace::CDocument* document = ActiveDocument();
    int id = IDR_MAINFRAME;
    if (document != nullptr) id = m_services.KindOf(*document) == DocumentKind::Trace ? IDR_MARLOTTYPE : IDR_LOGTYPE;
    if (id != m_menuId) {
        m_menuId = id;
        menuBar()->clear();
        for (QMenu* menu : m_menus[id]) menuBar()->addMenu(menu);
    }
    QString title = QStringLiteral("MarloTrc");
    if (QMdiSubWindow* active = m_mdi->activeSubWindow()) title += QStringLiteral(" - ") + active->windowTitle();
    setWindowTitle(title);
    UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
    trace::CDocument* document = ActiveDocument();
    const bool isTrace = document != nullptr && m_services.KindOf(*document) == DocumentKind::Trace;
    const bool tracing = isTrace && m_services.IsTracing(*document);
    Action(ID_FILE_SAVE)->setEnabled(document != nullptr);
    Action(ID_FILE_CLOSE)->setEnabled(document != nullptr);
    Action(ID_FILE_EXPORT)->setEnabled(document != nullptr && document->GetTraceLog() != nullptr &&
                                       document->GetTraceLog()->GetRecordCount() > 0);
    for (int id : {ID_FILE_SAVE_DIAGNOSTICS, ID_VIEW_CARD_STATUS, ID_VIEW_INFORMATION})
        Action(id)->setEnabled(isTrace);
    Action(ID_VIEW_CARD_STATUS)->setChecked(isTrace && m_services.IsCardStatusOpen(*document));
    Action(ID_TRACE_START)->setEnabled(isTrace && !tracing);
    Action(ID_TRACE_STOP)->setEnabled(tracing);
    Action(ID_VIEW_CARD_STATISTICS)->setChecked(m_statsWindowFlag != 0);
    for (const auto& [id, kind] : {std::pair{ID_VIEW_CALLS, tr("Calls")}, std::pair{ID_VIEW_PROBLEMS, tr("Problems")}}) {
        Action(id)->setEnabled(document != nullptr);
        Action(id)->setChecked(document != nullptr && FindChild(*document, kind) != nullptr);
    }
    const bool hasChild = m_mdi->activeSubWindow() != nullptr;
    for (int id : {ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE}) Action(id)->setEnabled(hasChild);
    Action(ID_WINDOW_NEW)->setEnabled(ActiveTraceFrame() != nullptr);
    views::CTraceChildFrame* traceFrame = ActiveTraceFrame();
    Action(ID_EDIT_COPY)->setEnabled(traceFrame != nullptr && !traceFrame->CopyText().isEmpty());
    Action(ID_VIEW_AUTO_SCROLL)->setEnabled(traceFrame != nullptr);
    Action(ID_EDIT_FIND)->setEnabled(traceFrame != nullptr);
    Action(ID_EDIT_FIND_NEXT)->setEnabled(traceFrame != nullptr && !m_findText.isEmpty());
    Action(ID_EDIT_FIND_PREVIOUS)->setEnabled(traceFrame != nullptr && !m_findText.isEmpty());
    Action(ID_VIEW_COLOUR_ROWS)->setChecked(m_colourRows);
    Action(ID_VIEW_ELEMENT_DETAILS)->setChecked(m_elementDetails);
    Action(ID_VIEW_TIME_OF_DAY)->setChecked(m_timeFormat == views::RecordListModel::TimeFormat::TimeOfDay);
    Action(ID_VIEW_TIME_SINCE_FIRST)->setChecked(m_timeFormat == views::RecordListModel::TimeFormat::SinceFirst);
    Action(ID_VIEW_TIME_SINCE_PREVIOUS)->setChecked(m_timeFormat == views::RecordListModel::TimeFormat::SincePrevious);
    Action(ID_VIEW_AUTO_SCROLL)->setChecked(traceFrame != nullptr && traceFrame->ListView()->AutoScroll());
    Action(ID_NEXT_PANE)->setEnabled(ActiveTraceFrame() != nullptr);
    Action(ID_PREV_PANE)->setEnabled(ActiveTraceFrame() != nullptr);
}

trace::CDocument* CMainFrame::DocumentOf(QMdiSubWindow* frame) const {
    const auto found = m_frameDocuments.find(frame);
    return found == m_frameDocuments.end() ? nullptr : found->second;
}

trace::CDocument* CMainFrame::ActiveDocument() const { return DocumentOf(m_mdi->activeSubWindow()); }

views::CTraceChildFrame* CMainFrame::ActiveTraceFrame() const {
    return qobject_cast<views::CTraceChildFrame*>(m_mdi->activeSubWindow());
}

std::vector<QMdiSubWindow*> CMainFrame::FramesOf(const trace::CDocument& document) const {
    std::vector<QMdiSubWindow*> frames;
    for (QMdiSubWindow* frame : m_mdi->subWindowList())
        if (DocumentOf(frame) == &document) frames.push_back(frame);
    return frames;
}

std::shared_ptr<trace::CDocument> CMainFrame::SharedDocument(trace::CDocument& document) const {
    for (const auto& open : m_documents)
        if (open.get() == &document) return open;
    return nullptr;
}

views::TreeBuilder CMainFrame::DecodeTreeBuilder() const {
    return m_elementDetails ? trace::BuildDetailedDecodeTree : trace::BuildDecodeTree;
}

views::CTraceChildFrame* CMainFrame::OpenFrame(const std::shared_ptr<trace::CDocument>& document) {
    // A new window takes three quarters of the area, as a child window does
    // when the system picks its size.
    const QSize area = m_mdi->viewport()->size();
    const QSize size(std::max(640, area.width() * 3 / 4), std::max(480, area.height() * 3 / 4));
    auto* frame = new views::CTraceChildFrame(document, DecodeTreeBuilder(), size);
    frame->ListView()->Model().SetColoured(m_colourRows);
    frame->ListView()->Model().SetTimeFormat(m_timeFormat);
    if (m_services.KindOf(*document) == DocumentKind::Trace) {
        frame->ListView()->SetTraceRecordHandler([this, doc = document.get()](trace::TraceReaderParams& params) {
            m_services.OnTraceRecord(*doc, params);
        });
    }
    m_frameDocuments[frame] = document.get();
    connect(frame, &views::CTraceChildFrame::AnalysisUpdated, this, [this] { UpdateProblemCount(); });
    connect(frame, &views::CTraceChildFrame::StatusNote, this, [this, frame](const QString& text) {
        // A window on its way out has nothing more to say.
        if (const trace::CDocument* about = DocumentOf(frame)) ShowNote(about, text);
    });
    connect(frame->ListView(), &views::CMarloTrcListView::AutoScrollChanged, this, [this] { UpdateCommandStates(); });
    // Ctrl+C and the toolbar's Copy follow the selection, not only the menus.
    connect(frame, &views::CTraceChildFrame::CopySourceChanged, this, [this, frame] {
        if (ActiveTraceFrame() == frame) Action(ID_EDIT_COPY)->setEnabled(!frame->CopyText().isEmpty());
    });
    connect(frame, &views::CTraceChildFrame::CloseRequested, this,
            [this](views::CTraceChildFrame* f) { OnFrameCloseRequested(f); });
    m_mdi->addSubWindow(frame);
    RetitleFrames(*document);
    frame->show();
    frame->ListView()->setFocus();
    UpdateMenus();
    return frame;
}

void CMainFrame::RetitleFrames(const trace::CDocument& document) {
    QString title = QString::fromStdString(document.GetTitle());
    if (title.isEmpty()) title = QString::fromStdString(std::filesystem::path(document.GetPathName()).filename().string());
    const std::vector<QMdiSubWindow*> frames = FramesOf(document);
    const auto lists = std::count_if(frames.begin(), frames.end(), [](QMdiSubWindow* f) {
        return qobject_cast<views::CTraceChildFrame*>(f) != nullptr;
    });
    // Several list windows on one document: "name:1", "name:2", ...; the
    // other windows say what they are: "name – Problems".
    int n = 0;
    for (QMdiSubWindow* frame : frames) {
        if (auto* child = qobject_cast<CChildFrame*>(frame); child != nullptr && !child->Kind().isEmpty())
            frame->setWindowTitle(title + QStringLiteral(" \u2013 ") + child->Kind());
        else if (lists > 1 && qobject_cast<views::CTraceChildFrame*>(frame) != nullptr)
            frame->setWindowTitle(title + QStringLiteral(":%1").arg(++n));
        else if (lists <= 1)
            frame->setWindowTitle(title);
    }
}

void CMainFrame::OnFileOpenAdapter() {
    std::shared_ptr<trace::CDocument> document = m_services.CreateDocument(DocumentKind::Trace, *m_ui);
    const Speaking about(*this, document.get());
    if (!document->OnOpenDocument(kAdapterTitle)) {
        // A failed open still runs the closing sequence, which removes the
        // trace log file it had created.
        document->OnCloseDocument();
        return;
    }
    m_documents.push_back(document);
    OpenFrame(document);
}

void CMainFrame::OnFileOpenLog() {
    trace::FileDialogRequest request;
    request.defaultExtension = "log";
    request.initialName = "trace.log";
    request.filter = trace::kOpenFileFilter;
    const auto path = m_ui->AskOpenFileName(request);
    if (path) OpenLogFile(*path);
}

bool CMainFrame::OpenLogFile(const std::filesystem::path& path) {
    // A file that is already open comes to the front instead of opening twice.
    std::error_code error;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(path, error);
    for (const auto& open : m_documents) {
        if (m_services.KindOf(*open) != DocumentKind::Log) continue;
        if (std::filesystem::weakly_canonical(open->GetPathName(), error) == wanted) {
            const std::vector<QMdiSubWindow*> frames = FramesOf(*open);
            if (!frames.empty()) m_mdi->setActiveSubWindow(frames.front());
            return true;
        }
    }
    std::shared_ptr<trace::CDocument> document = m_services.CreateDocument(DocumentKind::Log, *m_ui);
    // A large log shows its first records at once and reads the rest between events.
    const auto log = std::dynamic_pointer_cast<trace::CMarloLogDoc>(document);
    if (log != nullptr) log->LoadInSteps(views::BackgroundLoads::kFirstRecords);
    if (!document->OnOpenDocument(path)) return false;
    if (document->GetPathName().empty()) document->SetPathName(path.string());
    if (document->GetTitle().empty()) document->SetTitle(path.filename().string());
    AddToRecentFiles(QString::fromStdString(wanted.empty() ? path.string() : wanted.string()));
    m_documents.push_back(document);
    OpenFrame(document);
    m_loads->Follow(log);
    return true;
}

void CMainFrame::OnFileExport() {
    trace::CDocument* document = ActiveDocument();
    if (document == nullptr || document->GetTraceLog() == nullptr) return;
    // Save, Export, Find and the Calls and Problems windows take every
    // record: a log still loading is read to its end first (a few tens of
    // milliseconds for a million records); Close stops the load instead.
    if (!m_loads->Finish(*document)) return;
    const std::string base = document->GetPathName().empty() ? document->GetTitle() : document->GetPathName();
    // Every format holds the records the window shows (filtered or not).
    trace::TextExport text;
    std::vector<int> shown;
    views::CTraceChildFrame* frame = ActiveTraceFrame();
    if (frame != nullptr && &frame->GetDocument() == document) {
        shown = frame->ListView()->ShownRecords();
        text.records = static_cast<int>(shown.size());
        text.shown = &shown;
        text.write = [log = document->GetTraceLog(), &shown](int fd, bool csv) {
            return trace::WriteRecordsText(fd, *log, shown, csv);
        };
    }
    trace::ExportWithDialog(*document->GetTraceLog(), *m_ui, base.empty() ? std::string("trace") : base, text);
}

void CMainFrame::OnFileSave() {
    trace::CDocument* document = ActiveDocument();
    if (document == nullptr) return;
    if (m_services.KindOf(*document) == DocumentKind::Trace) {
        // Saving the adapter's log ends the adapter document: its closing
        // sequence offers the save dialog without asking first.
        m_services.MarkSaved(*document);
        CloseDocument(*document);
        return;
    }
    if (!m_loads->Finish(*document)) return;
    const std::string before = document->GetPathName();
    const Speaking about(*this, document);
    if (!document->OnSaveDocument(before)) return;
    // A log saved under another name goes by it from now on: its windows,
    // the main window's title and the message area say where it is.
    const QFileInfo saved(QString::fromStdString(document->GetPathName()));
    AddToRecentFiles(saved.canonicalFilePath());
    RetitleFrames(*document);
    UpdateMenus();
    ShowNote(document, tr("Saved as %1").arg(QDir::toNativeSeparators(saved.filePath())));
}

void CMainFrame::OnFileClose() {
    if (trace::CDocument* document = ActiveDocument()) CloseDocument(*document);
}

void CMainFrame::OnFileNew() {
    // The framework's New: choose a document type, then an empty document.
    const QStringList types{QStringLiteral("MarloT"), QStringLiteral("MarloT"), QStringLiteral("Log")};
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, tr("New"), tr("File New"), types, 0, false, &ok);
    if (!ok) return;
    const DocumentKind kind = chosen == QStringLiteral("Log") ? DocumentKind::Log : DocumentKind::Trace;
    std::shared_ptr<trace::CDocument> document = m_services.CreateDocument(kind, *m_ui);
    document->SetTitle(chosen.toStdString() + "1");
    m_documents.push_back(document);
    OpenFrame(document);
}

void CMainFrame::OnWindowNew() {
    views::CTraceChildFrame* active = ActiveTraceFrame();
    if (active == nullptr) return;
    if (std::shared_ptr<trace::CDocument> document = SharedDocument(active->GetDocument())) OpenFrame(document);
}

void CMainFrame::MovePaneFocus(int step) {
    views::CTraceChildFrame* frame = ActiveTraceFrame();
    if (frame == nullptr) return;
    const std::array<QWidget*, 3> panes = {frame->ListView(), frame->TreeView(), frame->HexView()};
    const auto at = std::find(panes.begin(), panes.end(), frame->ActivePane());
    const int current = at == panes.end() ? 0 : static_cast<int>(at - panes.begin());
    panes[static_cast<std::size_t>((current + step + 3) % 3)]->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::OnCardStatistics() {
    if (m_statsWindowFlag != 0) {
        CloseStatisticsWindow();
        return;
    }
    trace::CDocument* document = m_mdi->activeSubWindow() != nullptr ? ActiveDocument() : nullptr;
    if (document == nullptr || !OpenStatisticsWindow(*document)) platform::MessageBox("Command failed.");
}

void CMainFrame::CloseStatisticsWindow() {
    if (m_statsFrame) {
        m_frameDocuments.erase(m_statsFrame);
        delete m_statsFrame;
    }
    m_statsWindowFlag = 0;
}

void CMainFrame::OnAdapterReopened(trace::CDocument& document, Reopened how) {
    // A cancel changed nothing: the windows stay as they are.
    if (how == Reopened::Unchanged) return;
    // The statistics window spoke of the adapter left: it starts afresh on
    // the adapter now open, or goes when none is. The windows are titled
    // after the adapter the document now goes by.
    if (m_statsFrame && DocumentOf(m_statsFrame) == &document) {
        CloseStatisticsWindow();
        if (how == Reopened::Opened) OpenStatisticsWindow(document);
    }
    RetitleFrames(document);
    UpdateMenus();
}

bool CMainFrame::OpenStatisticsWindow(trace::CDocument& document) {
    QWidget* form = m_statsFactory ? m_statsFactory(document, *this) : nullptr;
    if (form == nullptr) return false;
    auto* frame = new CChildFrame(SharedDocument(document), form, tr("Statistics"));
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    m_frameDocuments[frame] = &document;
    connect(frame, &CChildFrame::CloseRequested, this, [this](QMdiSubWindow* f) { OnFrameCloseRequested(f); });
    m_mdi->addSubWindow(frame);
    m_statsFrame = frame;
    RetitleFrames(document);
    frame->show();
    UpdateMenus();
    return true;
}

void CMainFrame::SetStatisticsWindowFlag(int flag) {
    m_statsWindowFlag = flag;
    Action(ID_VIEW_CARD_STATISTICS)->setChecked(flag != 0);
}

void CMainFrame::OnFrameCloseRequested(QMdiSubWindow* frame) {
    trace::CDocument* document = DocumentOf(frame);
    if (document == nullptr) return;
    // The last record list window of a document closes the document, and
    // with it its card windows; other list windows on it only close.
    const auto frames = FramesOf(*document);
    const auto lists = std::count_if(frames.begin(), frames.end(), [](QMdiSubWindow* f) {
        return qobject_cast<views::CTraceChildFrame*>(f) != nullptr;
    });
    if (qobject_cast<views::CTraceChildFrame*>(frame) == nullptr || lists > 1) {
        RemoveFrame(frame);
        return;
    }
    CloseDocument(*document);
}

void CMainFrame::RemoveFrame(QMdiSubWindow* frame) {
    trace::CDocument* document = DocumentOf(frame);
    if (document == nullptr) return;
    // The windows that serve a list window (its calls and problems) go with it.
    for (QMdiSubWindow* other : FramesOf(*document)) {
        if (auto* child = qobject_cast<CChildFrame*>(other); child != nullptr && child->List() == frame) {
            m_frameDocuments.erase(other);
            other->hide();
            other->deleteLater();
        }
    }
    m_frameDocuments.erase(frame);
    frame->hide();
    frame->deleteLater();
    RetitleFrames(*document);
    UpdateMenus();
}

bool CMainFrame::CloseDocument(trace::CDocument& document) {
    // Whether to keep what the document holds is asked while everything is
    // still in place; Cancel leaves it all as it was.
    {
        const Speaking about(*this, &document);
        if (!document.SaveModified()) return false;
        // The closing sequence may move files; the windows stay until it is done.
        m_closing = &document;
        if (m_noteDocument == &document) {
            statusBar()->clearMessage();
            m_noteDocument = nullptr;
        }
        document.OnCloseDocument();
        m_closing = nullptr;
    }
    m_traceTexts.erase(&document);
    for (QMdiSubWindow* frame : FramesOf(document)) {
        m_frameDocuments.erase(frame);
        // Hidden first, so the main window repaints without it at once.
        frame->hide();
        frame->deleteLater();
    }
    std::erase_if(m_documents, [&document](const auto& open) { return open.get() == &document; });
    UpdateMenus();
    ShowTraceText();
    return true;
}

bool CMainFrame::CloseAllDocuments() {
    while (!m_documents.empty())
        if (!CloseDocument(*m_documents.front())) return false;
    return true;
}

void CMainFrame::AddToRecentFiles(const QString& name) {
    if (name.isEmpty()) return;
    m_recentFiles.removeAll(name);
    m_recentFiles.prepend(name);
    while (m_recentFiles.size() > kRecentFileCount) m_recentFiles.removeLast();
}

void CMainFrame::SetRecentFiles(const QStringList& files) {
    m_recentFiles.clear();
    for (auto it = files.crbegin(); it != files.crend(); ++it) AddToRecentFiles(*it);
}

void CMainFrame::OnAbout() {
    QDialog about(this);
    about.setObjectName(QStringLiteral("100"));
    about.setWindowTitle(tr("About MarloTrc"));
    auto* icon = new QLabel;
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    auto* text = new QLabel(QStringLiteral("MarloTrc Version ") + QString::fromLatin1(platform::kVersionText));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(&about);
    layout->addLayout(row);
    about.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A Cancel keeps the program, and the documents not closed yet, open.
    if (CloseAllDocuments())
        event->accept();
    else
        event->ignore();
}

}  // namespace app

namespace app {

views::CTraceChildFrame* CMainFrame::ListFrameOf(const trace::CDocument& document) const {
    // The active record list window when it shows the document, else its first.
    if (views::CTraceChildFrame* active = ActiveTraceFrame(); active != nullptr && &active->GetDocument() == &document)
        return active;
    for (QMdiSubWindow* frame : FramesOf(document))
        if (auto* list = qobject_cast<views::CTraceChildFrame*>(frame)) return list;
    return nullptr;
}

CChildFrame* CMainFrame::FindChild(const trace::CDocument& document, const QString& kind) const {
    for (QMdiSubWindow* frame : FramesOf(document))
        if (auto* child = qobject_cast<CChildFrame*>(frame); child != nullptr && child->Kind() == kind) return child;
    return nullptr;
}

void CMainFrame::ToggleAnalysisWindow(AnalysisWindow which) {
    trace::CDocument* document = ActiveDocument();
    if (document == nullptr) return;
    const QString kind = which == AnalysisWindow::Calls ? tr("Calls") : tr("Problems");
    if (CChildFrame* open = FindChild(*document, kind)) {
        RemoveFrame(open);
        return;
    }
    views::CTraceChildFrame* list = ListFrameOf(*document);
    if (list == nullptr || !m_loads->Finish(*document)) return;
    QWidget* content = which == AnalysisWindow::Calls
                           ? static_cast<QWidget*>(new views::CCallsWindow(*list, list->Analysis()))
                           : static_cast<QWidget*>(new views::CProblemsWindow(*list, list->Analysis()));
    auto* frame = new CChildFrame(SharedDocument(*document), content, kind, list);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->setWindowIcon(list->windowIcon());
    m_frameDocuments[frame] = document;
    connect(frame, &CChildFrame::CloseRequested, this, [this](QMdiSubWindow* f) { OnFrameCloseRequested(f); });
    m_mdi->addSubWindow(frame);
    // The frame goes around the content at the size it opens at, as far as
    // the main window's area and the screen have room for it, and all of it
    // inside the area: where the area places it, moved back in as far as it
    // reaches out.
    const QSize area = m_mdi->viewport()->size();
    QSize room = area;
    if (const QScreen* shown = screen()) room = room.boundedTo(shown->availableGeometry().size());
    frame->resize(content->size().grownBy(frame->contentsMargins()).boundedTo(room));
    RetitleFrames(*document);
    frame->show();
    frame->move(std::max(0, std::min(frame->x(), area.width() - frame->width())),
                std::max(0, std::min(frame->y(), area.height() - frame->height())));
    UpdateMenus();
}

void CMainFrame::UpdateProblemCount() {
    if (m_problemsPane == nullptr) return;
    const trace::CDocument* document = ActiveDocument();
    views::CTraceChildFrame* frame = document != nullptr ? ListFrameOf(*document) : nullptr;
    if (frame == nullptr) {
        m_problemsPane->clear();
        return;
    }
    const analysis::Analyzer& a = frame->Analysis()->Analyzer();
    m_problemsPane->setText(tr("%1 errors, %2 warnings")
                                .arg(a.Count(analysis::Severity::Error))
                                .arg(a.Count(analysis::Severity::Warning)));
}

}  // namespace app
