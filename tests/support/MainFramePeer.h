#pragma once
// Test support: what tests and benchmarks read and set on the main window
// beyond what the program itself calls (the program carries none of it).
// Peer(frame) is found by argument-dependent lookup.

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QString>
#include <cstddef>
#include <memory>
#include <utility>

#include "app/MainFrame.h"

namespace app {

class MainFramePeer {
public:
    explicit MainFramePeer(CMainFrame& frame) : m_frame(frame) {}

    // Dialogs go through these services; tests put scripted ones in place.
    trace::UiServices& Ui() const { return *m_frame.m_ui; }
    void SetUiServices(std::unique_ptr<trace::UiServices> ui) const { m_frame.m_ui = std::move(ui); }

    int CurrentMenuId() const { return m_frame.m_menuId; }
    QMdiArea* MdiArea() const { return m_frame.m_mdi.get(); }
    std::size_t DocumentCount() const { return m_frame.m_documents.size(); }
    QString TraceStatusText() const { return m_frame.m_traceText; }
    int StatisticsWindowFlag() const { return m_frame.m_statsWindowFlag; }
    QMdiSubWindow* StatisticsFrame() const { return m_frame.m_statsFrame; }
    // What Find Next and Find Previous look for, as if Find had asked.
    void SetFindText(const QString& text) const {
        m_frame.m_findText = text;
        m_frame.UpdateCommandStates();
    }

private:
    CMainFrame& m_frame;
};

inline MainFramePeer Peer(CMainFrame& frame) { return MainFramePeer(frame); }

}  // namespace app
