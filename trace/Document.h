#pragma once
// The document/view core: a document holds its views and tells them about
// changes with a numeric hint; views read records only through the document's
// CTraceLog. Hints are single bits. User-interface thread only.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace trace {

class CTraceLog;
class CDocument;

enum ViewHint : std::uint32_t {
    HINT_INITIAL_UPDATE = 0,            // the view is first shown
    HINT_RECORD_SELECTED = 0x20,        // object: index of the selected record
    HINT_TREE_NODE_SELECTED = 0x80,     // object: item data of the selected tree node
    HINT_TRACE_RESTARTED = 0x200,       // the record list was emptied for a new trace
    HINT_RECORD_ADDED = 0x800,          // object: index of the new record
    HINT_RECORDS_LOADED = 0x1000,       // object: the record count after a step of a log's load
};

class RecordTarget;

class CView {
public:
    virtual ~CView() = default;
    // Called for every hint of the document, except those this view sent.
    virtual void OnUpdate(CView* sender, std::uint32_t hint, std::intptr_t object) = 0;
    // Where the live reader hands its records when this is the document's
    // first view (the record list); null for views that take none.
    virtual RecordTarget* GetRecordTarget() { return nullptr; }
};

class CDocument {
public:
    virtual ~CDocument() = default;

    // In the order they registered (see ViewRegistration).
    const std::vector<CView*>& GetViews() const { return *m_views; }
    // Sends the hint to every view but the sender (null: to all).
    void UpdateAllViews(CView* sender, std::uint32_t hint, std::intptr_t object = 0);

    // Null when the document has none (an adapter document that is closing).
    virtual CTraceLog* GetTraceLog() = 0;

    const std::string& GetPathName() const { return m_pathName; }
    void SetPathName(const std::string& path) { m_pathName = path; }
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }

    virtual bool OnOpenDocument(const std::filesystem::path& path) = 0;
    virtual bool OnSaveDocument(const std::filesystem::path& /*path*/) { return false; }
    // Asked before the document closes, while everything is still in place:
    // whether and where to keep what it holds. False when the user cancelled;
    // the document then stays open exactly as it was.
    virtual bool SaveModified() { return true; }
    virtual void OnCloseDocument() {}

private:
    friend class ViewRegistration;
    // Not owned: the windows own their views. Shared with the registrations,
    // which see from it whether the document is still there.
    std::shared_ptr<std::vector<CView*>> m_views = std::make_shared<std::vector<CView*>>();
    std::string m_pathName;
    std::string m_title;
};

// A view's place in its document's list of views: taken when this is made,
// given back when it goes. Either may go first: once the document has gone,
// Document() is null and giving the place back does nothing.
class ViewRegistration {
public:
    ViewRegistration(CDocument& document, CView& view);
    ~ViewRegistration();
    ViewRegistration(const ViewRegistration&) = delete;
    ViewRegistration& operator=(const ViewRegistration&) = delete;

    CDocument* Document() const { return m_views.expired() ? nullptr : m_document; }

private:
    CDocument* m_document;
    CView* m_view;
    std::weak_ptr<std::vector<CView*>> m_views;
};

}  // namespace trace
