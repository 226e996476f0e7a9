#include "adapter/ui/AdapterInformation.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "adapter/ui/PageLayout.h"

namespace adapter::ui {

namespace {

// Room for the longest switch text and for a formatted directory number.
const QString kWidestSwitch = QStringLiteral("NTI: Northern Telecom DMS 100");
const QString kWidestNumber = QStringLiteral("21255512340101 - 0000");
const QString kWidestVersion = QStringLiteral("00.00.0000.0000");

QGroupBox* LinkGroup(const QString& title, const std::string& number, const std::string& spid, int link) {
    auto* group = new QGroupBox(title);
    group->setObjectName(QStringLiteral("link%1Group").arg(link));
    QFormLayout* form = MakeFormLayout();
    form->addRow(QObject::tr("Telephone:"), MakeValueLabel(QStringLiteral("number%1").arg(link), Latin1(number), kWidestNumber));
    form->addRow(QObject::tr("SPID:"), MakeValueLabel(QStringLiteral("spid%1").arg(link), Latin1(spid), kWidestNumber));
    group->setLayout(form);
    return group;
}

}  // namespace

CConfigurePage::CConfigurePage(const AdapterConfiguration& config, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    QFormLayout* top = MakeFormLayout();
    top->addRow(tr("Switch Type:"), MakeValueLabel(QStringLiteral("switchType"), Latin1(config.switchType), kWidestSwitch));
    auto* managementLabel = new QLabel(tr("Terminal Mgmt:"));
    managementLabel->setObjectName(QStringLiteral("terminalManagementLabel"));
    QLabel* management = MakeValueLabel(QStringLiteral("terminalManagement"), Latin1(config.terminalManagement), kWidestSwitch);
    top->addRow(managementLabel, management);
    // Terminal management is an AT&T switch's setting; other switches have none to show.
    top->setRowVisible(managementLabel, config.switchType.find("ATT") != std::string::npos);
    layout->addLayout(top);
    // Both groups always show: a second terminal that is not configured says so.
    layout->addWidget(LinkGroup(tr(" Link1 ISDN Configuration "), config.number1, config.spid1, 1));
    layout->addWidget(LinkGroup(tr(" Link 2 ISDN Configuration "), config.number2, config.spid2, 2));
    layout->addStretch(1);
}

CProductPage::CProductPage(Reader reader, QWidget* parent) : QWidget(parent), m_reader(std::move(reader)) {
    if (!m_reader) m_reader = [] { return adapter::ReadProductVersions(); };
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(tr(" Orin Strandex PCI 1 S/T Adapter Setup "));
    group->setObjectName(QStringLiteral("productGroup"));
    QFormLayout* form = MakeFormLayout();
    const ProductVersions rows = DefaultProductVersions();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        m_values[i] = MakeValueLabel(QStringLiteral("version%1").arg(rows[i].control), Latin1(rows[i].text), kWidestVersion);
        form->addRow(Latin1(rows[i].label), m_values[i]);
    }
    // The card reports no firmware version to the host; the row stays hidden.
    auto* firmwareLabel = new QLabel(tr("Firmware :"));
    firmwareLabel->setObjectName(QStringLiteral("firmwareLabel"));
    form->addRow(firmwareLabel, MakeValueLabel(QStringLiteral("firmwareVersion"), tr("Firmware version"), kWidestVersion));
    form->setRowVisible(firmwareLabel, false);
    group->setLayout(form);
    layout->addWidget(group);
    layout->addStretch(1);
}

void CProductPage::ReadProductVersions() {
    const ProductVersions rows = m_reader();
    for (std::size_t i = 0; i < rows.size(); ++i) m_values[i]->setText(Latin1(rows[i].text));
    m_read = true;
}

void CProductPage::showEvent(QShowEvent* event) {
    if (!m_read) ReadProductVersions();
    QWidget::showEvent(event);
}

CAdapterInfoSheet::CAdapterInfoSheet(const AdapterConfiguration& config, QWidget* parent, CProductPage::Reader reader)
    : QDialog(parent), m_tabs(new QTabWidget(this)) {
    setWindowTitle(QString::fromLatin1(kAdapterInformationTitle));
    m_tabs->addTab(new CConfigurePage(config), tr("Configuration Info"));
    m_tabs->addTab(new CProductPage(std::move(reader)), tr("Product Info"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace adapter::ui
