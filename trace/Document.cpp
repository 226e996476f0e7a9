#include "trace/Document.h"

#include <algorithm>

namespace trace {

ViewRegistration::ViewRegistration(CDocument& document, CView& view)
    : m_document(&document), m_view(&view), m_views(document.m_views) {
    std::vector<CView*>& views = *document.m_views;
    if (std::find(views.begin(), views.end(), m_view) == views.end()) views.push_back(m_view);
}

ViewRegistration::~ViewRegistration() {
    if (const auto views = m_views.lock()) std::erase(*views, m_view);
}

void CDocument::UpdateAllViews(CView* sender, std::uint32_t hint, std::intptr_t object) {
    // A view may remove itself while handling a hint: walk a copy.
    const std::vector<CView*> views = *m_views;
    for (CView* view : views)
        if (view != sender) view->OnUpdate(sender, hint, object);
}

}  // namespace trace
