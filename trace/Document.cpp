#include "trace/Document.h"

#include <algorithm>

namespace trace {

void CDocument::AddView(CView* view) {
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) m_views.push_back(view);
}

void CDocument::RemoveView(CView* view) { std::erase(m_views, view); }

void CDocument::UpdateAllViews(CView* sender, std::uint32_t hint, std::intptr_t object) {
    // A view may remove itself while handling a hint: walk a copy.
    const std::vector<CView*> views = m_views;
    for (CView* view : views)
        if (view != sender) view->OnUpdate(sender, hint, object);
}

}  // namespace trace
