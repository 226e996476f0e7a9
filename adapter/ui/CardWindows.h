#pragma once
// CCardWindows: the card windows of one adapter document: Card Status
// (toggled from View, a snapshot of the line and link states), Adapter
// Information (modal), the statistics form, and Save Diagnostics. It holds
// the document's window flags and its current status window. One per
// adapter document, owned next to it by the program; user-interface thread.

#include <QObject>
#include <QPointer>
#include <memory>

#include "adapter/MarloTrcDoc.h"
#include "adapter/ui/CardWindowFlags.h"
#include "adapter/ui/StatusSheet.h"

class QWidget;

namespace adapter::ui {

class CStatsForm;

inline constexpr std::string_view kCardNotResponding = "The card is not responding.";

class CCardWindows final : public QObject {
    Q_OBJECT
public:
    // mainWindow owns the Card Status window and centres it.
    CCardWindows(CMarloTrcDoc& document, QWidget* mainWindow);
    ~CCardWindows() override;
    CCardWindows(const CCardWindows&) = delete;
    CCardWindows& operator=(const CCardWindows&) = delete;

    // View > Card Status: closes the window when one is open, else asks the
    // adapter for its line and link states once and shows them.
    void ToggleCardStatus();
    // The menu's check mark.
    bool IsCardStatusOpen() const { return m_flags->statusWindow != 0; }
    CStatusFrame* StatusFrame() const { return m_statusFrame; }
    // Command 821: the status window is gone (its close box or the toggle).
    void OnStatusWindowClosed();
    // The document opened its adapter again: a status window showing the
    // earlier connection's states goes, and the flag with it.
    void OnAdapterOpened();

    // View > Information: reads the registry configuration afresh and shows
    // the modal sheet.
    void ShowAdapterInformation();

    // File > Save Diagnostics, with the statistics refresh held meanwhile.
    void SaveDiagnostics();

    // A new statistics form for this document; setWindowFlag is the main
    // frame's statistics window flag.
    CStatsForm* CreateStatsForm(std::function<void(int)> setWindowFlag, QWidget* parent = nullptr);

    const CardWindowFlags& Flags() const { return *m_flags; }

private:
    // Clears the statistics refresh flag for the lifetime of the scope, so
    // no statistics tick talks to the adapter inside another conversation.
    class RefreshPause;

    CMarloTrcDoc& m_document;
    QPointer<QWidget> m_mainWindow;
    std::shared_ptr<CardWindowFlags> m_flags = std::make_shared<CardWindowFlags>();
    QPointer<CStatusFrame> m_statusFrame;
};

}  // namespace adapter::ui
