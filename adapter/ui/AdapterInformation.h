#pragma once
// The "Adapter Information" sheet: the registry configuration (Configuration
// Info) and the installed product versions (Product Info). The configuration
// page shows a snapshot it is given; the product page reads the version
// resources of the product files when it first opens. Nothing is read back.
// User-interface thread only.

#include <QDialog>
#include <QWidget>
#include <array>
#include <functional>

#include "adapter/AdapterConfiguration.h"
#include "adapter/ProductVersions.h"

class QLabel;
class QTabWidget;

namespace adapter::ui {

inline constexpr const char* kAdapterInformationTitle = "Adapter Information";

// CConfigurePage: switch type, terminal management (AT&T switches only) and
// the number and SPID of both logical terminals.
class CConfigurePage final : public QWidget {
    Q_OBJECT
public:
    explicit CConfigurePage(const AdapterConfiguration& config, QWidget* parent = nullptr);
};

// CProductPage: the four product versions, with their dialog texts until
// the files have been read.
class CProductPage final : public QWidget {
    Q_OBJECT
public:
    using Reader = std::function<ProductVersions()>;
    // reader: the versions as the files hold them (default: the system directory's files).
    explicit CProductPage(Reader reader = {}, QWidget* parent = nullptr);

    // Reads the versions into the page; done once, when the page is first shown.
    void ReadProductVersions();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Reader m_reader;
    std::array<QLabel*, 4> m_values{};
    bool m_read = false;
};

// The modal sheet: Configuration Info then Product Info, OK and Cancel, no Apply.
class CAdapterInfoSheet final : public QDialog {
    Q_OBJECT
public:
    CAdapterInfoSheet(const AdapterConfiguration& config, QWidget* parent = nullptr,
                      CProductPage::Reader reader = {});
    QTabWidget* Tabs() const { return m_tabs; }

private:
    QTabWidget* m_tabs;
};

}  // namespace adapter::ui
