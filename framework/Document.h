// The document base: title, path, modified flag, views, clearing, saving, command routing.
#pragma once

#include "framework/CmdUI.h"
#include "platform/Types.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fw {

class CArchive;
class CView;

// The front end's side of the save protocol: where to save and whether to save first.
class IDocumentPrompts
{
public:
    virtual ~IDocumentPrompts() = default;
    // The path to save to, proposing proposed, a file of the filter's kind ("Dat Files
    // (*.dat)") with extension ext (".dat"); nullopt when the user cancels.
    virtual std::optional<std::string>
    AskSavePath(const std::string& proposed, const std::string& filter, const std::string& ext) = 0;
    // Whether the modified document titled title is to be saved before it is replaced or
    // closed: kIdYes, kIdNo or kIdCancel.
    virtual int AskSaveChanges(const std::string& title) = 0;
};

class CDocument
{
public:
    CDocument();
    virtual ~CDocument();
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    const std::string& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::string& title) { m_strTitle = title; }
    // The file the document was last saved to; "" when none.
    const std::string& GetPathName() const { return m_strPathName; }
    // Records path and retitles the document after its file name.
    virtual void SetPathName(const std::string& path);

    // The modified flag; safe from any thread.
    virtual BOOL IsModified() { return m_bModified.load(); }
    virtual void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified.store(bModified ? 1 : 0); }

    // The document template string: "title\n\nnew name\nfilter name\n.ext\ntype id\ntype".
    void SetDocTemplateString(const std::string& text) { m_strTemplate = text; }
    // Field index of the template string; "" when missing.
    std::string GetDocString(int index) const;

    // Views. A view attached here gets OnInitialUpdate; a view leaves on its destruction.
    void AddView(CView* pView);
    void RemoveView(CView* pView);
    std::vector<CView*> GetViews() const;
    // Calls fn for every view in attachment order, from any thread; the list cannot change
    // meanwhile. fn must not attach or remove views.
    template <class Fn>
    void ForEachView(Fn fn) const
    {
        std::lock_guard lock(m_viewLock);
        for (CView* pView : m_views)
            fn(pView);
    }
    // Calls OnUpdate(pSender, lHint) of every view but pSender (UI thread).
    void UpdateAllViews(CView* pSender, intptr_t lHint = 0);

    // Empties the document's data; called before every new initialisation and at closing.
    virtual void DeleteContents() {}
    // Prepares a new document: clears it, forgets the path, clears the modified flag.
    virtual BOOL OnNewDocument();
    // Loads path; the base refuses every file.
    virtual BOOL OnOpenDocument(const std::string& path);
    // Writes the document to path through Serialize. On success the path is recorded and the
    // modified flag cleared; on a file error the document stays modified, a message is shown
    // unless Serialize already reported the error, and the result is FALSE.
    virtual BOOL OnSaveDocument(const std::string& path);
    // Clears the document at the end of its life; views stay attached.
    virtual void OnCloseDocument();
    virtual void Serialize(CArchive& /*ar*/) {}

    // The save protocol. Save (Ctrl+S) asks for a name only when the document has no path.
    BOOL DoFileSave();
    // Saves to path; "" asks for a name first (Save As). FALSE when cancelled or failed.
    BOOL DoSave(const std::string& path);
    // Before the document is replaced or closed: TRUE to go on (saved, not modified, or the
    // user declined to save), FALSE to keep the document as it is.
    virtual BOOL SaveModified();
    // The new-document command: SaveModified, then OnNewDocument.
    BOOL OnFileNew();

    // Where the save protocol asks its questions; with none, nothing is asked: Save As is
    // cancelled and a modified document is replaced unsaved.
    void SetPrompts(IDocumentPrompts* pPrompts) { m_pPrompts = pPrompts; }

    // Command routing. OnUpdateCommand fills the state of command id and returns TRUE when
    // the document handles id; OnCommand runs it and returns TRUE when handled.
    virtual BOOL OnUpdateCommand(CCmdUI& cmdUI);
    virtual BOOL OnCommand(uint32_t id);
    // What a menu pick or an accelerator does: a command whose handler disables it is ignored.
    // Returns TRUE when the command ran.
    BOOL ExecuteCommand(uint32_t id);

private:
    std::string m_strTitle;
    std::string m_strPathName;
    std::string m_strTemplate;
    std::atomic<BOOL> m_bModified{0};
    mutable std::mutex m_viewLock;
    std::vector<CView*> m_views;
    IDocumentPrompts* m_pPrompts = nullptr;
};

} // namespace fw
