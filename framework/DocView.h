// Single-document architecture: a template makes document, frame and view.
#pragma once
#include <windows.h>

#include <string>

#include "framework/Wnd.h"

namespace fw {

class Document {
public:
    virtual ~Document() = default;
    virtual BOOL OnNewDocument() { return TRUE; }
    BOOL IsModified() const { return m_modified; }
    void SetModifiedFlag(BOOL modified = TRUE) { m_modified = modified; }

private:
    BOOL m_modified = FALSE;
};

class View : public Wnd {
public:
    Document* GetDocument() const { return m_document; }
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs) { return TRUE; }
    virtual void OnDraw(HDC dc) = 0;
    BOOL CreateView(HWND parent, Document* doc);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override { delete this; }

private:
    Document* m_document = nullptr;
};

class FrameWnd : public Wnd {
public:
    // Creates the window from resource id: icon of that id, title from the
    // string of that id (its first part up to a newline).
    BOOL LoadFrame(UINT resourceId, Document* doc, View* view);
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs) { return TRUE; }
    // Asks whether the session may end: the document is saved first if modified.
    virtual BOOL OnQueryEndSession();
    View* GetActiveView() const { return m_view; }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override { delete this; }

protected:
    Document* m_document = nullptr;
    View* m_view = nullptr;
};

class DocTemplate {
public:
    DocTemplate(UINT resourceId) : m_resourceId(resourceId) {}
    virtual ~DocTemplate();
    // Makes document, frame and view and shows the frame with cmdShow.
    BOOL OpenNewDocument(int cmdShow);

protected:
    virtual Document* NewDocument() = 0;
    virtual FrameWnd* NewFrame() = 0;
    virtual View* NewView() = 0;

private:
    UINT m_resourceId;
    Document* m_document = nullptr;
};

template <class D, class F, class V>
class SingleDocTemplate : public DocTemplate {
public:
    using DocTemplate::DocTemplate;

protected:
    Document* NewDocument() override { return new D; }
    FrameWnd* NewFrame() override { return new F; }
    View* NewView() override { return new V; }
};

}  // namespace fw
