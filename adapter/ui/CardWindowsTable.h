#pragma once
// CCardWindowsTable: the card windows of every open adapter document, so
// the program's menus find a document's windows from the document alone.
// A document's windows live exactly as long as the document: Adopt hands
// back the document owned together with its windows, and when the last
// owner lets go the windows (and a Card Status window still open) go first.
// One per program; user-interface thread only.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "adapter/MarloTrcDoc.h"
#include "adapter/ui/CardWindows.h"

namespace adapter::ui {

class CCardWindowsTable {
public:
    CCardWindowsTable() = default;
    ~CCardWindowsTable();
    CCardWindowsTable(const CCardWindowsTable&) = delete;
    CCardWindowsTable& operator=(const CCardWindowsTable&) = delete;

    // The window that owns the Card Status windows and the sheets.
    void SetMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }

    // The document, now owned together with its card windows.
    std::shared_ptr<CMarloTrcDoc> Adopt(std::shared_ptr<CMarloTrcDoc> document);

    // The windows of an adopted document; null for any other document.
    CCardWindows* Find(const trace::CDocument& document) const;

    // A statistics form for the document, or null when it has no card
    // windows (the main frame then reports "Command failed.").
    QWidget* CreateStatsForm(trace::CDocument& document, std::function<void(int)> setWindowFlag) const;

private:
    struct Entry;
    QPointer<QWidget> m_mainWindow;
    // Shared with each entry, so an entry outliving the table forgets nothing twice.
    std::shared_ptr<std::map<const trace::CDocument*, CCardWindows*>> m_windows =
        std::make_shared<std::map<const trace::CDocument*, CCardWindows*>>();
};

}  // namespace adapter::ui
