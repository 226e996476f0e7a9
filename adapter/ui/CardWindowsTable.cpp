#include "adapter/ui/CardWindowsTable.h"

#include "adapter/ui/StatsForm.h"

namespace adapter::ui {

// A document and the card windows made on it, which (members going in the
// reverse order of their making) go before it.
struct CCardWindowsTable::Entry {
    std::shared_ptr<CMarloTrcDoc> document;
    std::unique_ptr<CCardWindows> windows;
    std::weak_ptr<std::map<const trace::CDocument*, CCardWindows*>> table;

    ~Entry() {
        if (auto map = table.lock()) map->erase(document.get());
    }
};

CCardWindowsTable::~CCardWindowsTable() = default;

std::shared_ptr<CMarloTrcDoc> CCardWindowsTable::Adopt(std::shared_ptr<CMarloTrcDoc> document) {
    if (!document) return nullptr;
    auto entry = std::make_shared<Entry>();
    entry->document = std::move(document);
    entry->windows = std::make_unique<CCardWindows>(*entry->document, m_mainWindow);
    entry->table = m_windows;
    (*m_windows)[entry->document.get()] = entry->windows.get();
    CMarloTrcDoc* raw = entry->document.get();
    return std::shared_ptr<CMarloTrcDoc>(std::move(entry), raw);
}

CCardWindows* CCardWindowsTable::Find(const trace::CDocument& document) const {
    const auto found = m_windows->find(&document);
    return found == m_windows->end() ? nullptr : found->second;
}

QWidget* CCardWindowsTable::CreateStatsForm(trace::CDocument& document, std::function<void(int)> setWindowFlag) const {
    CCardWindows* windows = Find(document);
    return windows != nullptr ? windows->CreateStatsForm(std::move(setWindowFlag)) : nullptr;
}

}  // namespace adapter::ui
