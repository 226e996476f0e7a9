#include "adapter/ui/StatusSheet.h"

#include <QVBoxLayout>

#include "adapter/ui/PageLayout.h"

namespace adapter::ui {

namespace {

// The longest state text the command client gives, so every page of the
// sheet has the same width whatever the snapshot holds.
const QString kWidestStatus = QStringLiteral("Layer 2 active for all configured links");

}  // namespace

CLinePage::CLinePage(const LineStatusTexts& texts, QWidget* parent) : QWidget(parent) {
    QFormLayout* form = MakeFormLayout();
    form->addRow(tr("Status:"), MakeValueLabel(QStringLiteral("lineStatus"), Latin1(texts[kLineStatus]), kWidestStatus));
    form->addRow(tr("Receiving Signal:"),
                 MakeValueLabel(QStringLiteral("receivingSignal"), Latin1(texts[kReceivingSignal]), kWidestStatus));
    form->addRow(tr("Transmitting Signal:"),
                 MakeValueLabel(QStringLiteral("transmittingSignal"), Latin1(texts[kTransmissionSignal]), kWidestStatus));
    setLayout(form);
}

CLinkPage::CLinkPage(const LineStatusTexts& texts, int link, QWidget* parent) : QWidget(parent) {
    const bool second = link == 2;
    QFormLayout* form = MakeFormLayout();
    form->addRow(tr("Layer 2 State:"), MakeValueLabel(QStringLiteral("layer2State"),
                                                      Latin1(texts[second ? kLink2Layer2 : kLink1Layer2]), kWidestStatus));
    form->addRow(tr("Layer 3 State:"), MakeValueLabel(QStringLiteral("layer3State"),
                                                      Latin1(texts[second ? kLink2Layer3 : kLink1Layer3]), kWidestStatus));
    setLayout(form);
}

CStatusSheet::CStatusSheet(const LineStatusTexts& texts, QWidget* parent) : QTabWidget(parent) {
    setWindowTitle(QString::fromLatin1(kCardStatusTitle));
    addTab(new CLinePage(texts), tr("Line"));
    addTab(new CLink1Page(texts, 1), tr("Link 1"));
    addTab(new CLink2Page(texts, 2), tr("Link 2"));
    setObjectName(QStringLiteral("statusSheet"));
}

CStatusFrame::CStatusFrame(const LineStatusTexts& texts, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_sheet(new CStatusSheet(texts, this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromLatin1(kCardStatusTitle));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_sheet);
    // The window is exactly as large as the sheet and its margin: no sizing border.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setFocusProxy(m_sheet);
}

void CStatusFrame::CenterOverOwner() {
    adjustSize();
    QWidget* owner = parentWidget();
    if (owner == nullptr) return;
    const QRect over = owner->frameGeometry();
    QRect mine = frameGeometry();
    mine.moveCenter(over.center());
    move(mine.topLeft());
}

}  // namespace adapter::ui
