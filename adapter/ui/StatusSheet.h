#pragma once
// The Card Status window: a property sheet of three pages (Line, Link 1,
// Link 2) over one status snapshot, and the small tool window that holds
// it. The snapshot is taken once, when the window is made; nothing here
// talks to the card. User-interface thread only.

#include <QTabWidget>
#include <QWidget>

#include "adapter/StatusTexts.h"

class QLabel;

namespace adapter::ui {

inline constexpr const char* kCardStatusTitle = "Card Status";

// CLinePage: the line's state and its two layer-1 signals.
class CLinePage final : public QWidget {
    Q_OBJECT
public:
    explicit CLinePage(const LineStatusTexts& texts, QWidget* parent = nullptr);
};

// The layer 2 and layer 3 states of one link (Link 1 and Link 2 pages).
class CLinkPage final : public QWidget {
    Q_OBJECT
public:
    // link: 1 or 2, choosing the two texts of the snapshot.
    CLinkPage(const LineStatusTexts& texts, int link, QWidget* parent = nullptr);
};
using CLink1Page = CLinkPage;
using CLink2Page = CLinkPage;

// CStatusSheet: the three pages, in the order Line, Link 1, Link 2.
class CStatusSheet final : public QTabWidget {
    Q_OBJECT
public:
    explicit CStatusSheet(const LineStatusTexts& texts, QWidget* parent = nullptr);
};

// CStatusFrame: the floating Card Status window. Owned by the main window
// (a tool window above it), exactly as large as its sheet, not resizable.
// Closed with its close box it is destroyed; whoever made it learns of
// that through QObject::destroyed.
class CStatusFrame final : public QWidget {
    Q_OBJECT
public:
    CStatusFrame(const LineStatusTexts& texts, QWidget* owner);

    CStatusSheet* Sheet() const { return m_sheet; }
    // Places the window's frame centred over the owner's frame.
    void CenterOverOwner();

private:
    CStatusSheet* m_sheet;
};

}  // namespace adapter::ui
