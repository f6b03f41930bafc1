// The document base.
#include "framework/Document.h"

#include "framework/Archive.h"
#include "framework/MessageBox.h"
#include "framework/Wnd.h"

#include <algorithm>
#include <filesystem>

namespace fw {

namespace {
// The framework's own message when a file cannot be written.
std::string SaveFailedText(const std::string& path)
{
    return "Can't save the file " + path + ".";
}
} // namespace

CDocument::CDocument() = default;

CDocument::~CDocument()
{
    std::lock_guard lock(m_viewLock);
    for (CView* pView : m_views)
        pView->m_pDocument = nullptr;
}

void CDocument::SetPathName(const std::string& path)
{
    m_strPathName = path;
    SetTitle(std::filesystem::path(path).filename().string());
}

std::string CDocument::GetDocString(int index) const
{
    size_t begin = 0;
    for (int i = 0; i < index; ++i)
    {
        begin = m_strTemplate.find('\n', begin);
        if (begin == std::string::npos)
            return std::string();
        ++begin;
    }
    const size_t end = m_strTemplate.find('\n', begin);
    return m_strTemplate.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

void CDocument::AddView(CView* pView)
{
    {
        std::lock_guard lock(m_viewLock);
        if (std::find(m_views.begin(), m_views.end(), pView) != m_views.end())
            return;
        if (pView->m_pDocument && pView->m_pDocument != this)
            pView->m_pDocument->RemoveView(pView);
        m_views.push_back(pView);
        pView->m_pDocument = this;
    }
    pView->OnInitialUpdate();
}

void CDocument::RemoveView(CView* pView)
{
    std::lock_guard lock(m_viewLock);
    auto it = std::find(m_views.begin(), m_views.end(), pView);
    if (it != m_views.end())
    {
        m_views.erase(it);
        pView->m_pDocument = nullptr;
    }
}

std::vector<CView*> CDocument::GetViews() const
{
    std::lock_guard lock(m_viewLock);
    return m_views;
}

void CDocument::UpdateAllViews(CView* pSender, intptr_t lHint)
{
    for (CView* pView : GetViews())
        if (pView != pSender)
            pView->OnUpdate(pSender, lHint);
}

BOOL CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.clear();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnOpenDocument(const std::string&)
{
    return FALSE;
}

BOOL CDocument::OnSaveDocument(const std::string& path)
{
    std::optional<CFileArchive> archive;
    try
    {
        archive.emplace(path, CArchive::store);
    }
    catch (const CFileException&)
    {
        MessageBox(SaveFailedText(path), kMbOk | kMbIconHand);
        return FALSE;
    }
    Serialize(*archive);
    // A failure that Serialize met has been reported by it; one that only the final flush
    // meets is reported here. Either way the save has not happened.
    const bool reported = archive->HasFailed();
    try
    {
        archive->Close();
    }
    catch (const CFileException&)
    {
        if (!reported)
            MessageBox(SaveFailedText(path), kMbOk | kMbIconHand);
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    SetPathName(path);
    return TRUE;
}

void CDocument::OnCloseDocument()
{
    DeleteContents();
}

BOOL CDocument::DoFileSave()
{
    return DoSave(m_strPathName);
}

BOOL CDocument::DoSave(const std::string& path)
{
    std::string target = path;
    if (target.empty())
    {
        if (!m_pPrompts)
            return FALSE;
        const std::string ext = GetDocString(4);
        std::string proposed = m_strTitle;
        if (!ext.empty() && (proposed.size() < ext.size() ||
                             proposed.compare(proposed.size() - ext.size(), ext.size(), ext) != 0))
            proposed += ext;
        std::optional<std::string> chosen = m_pPrompts->AskSavePath(proposed, GetDocString(3), ext);
        if (!chosen || chosen->empty())
            return FALSE;
        target = *chosen;
    }
    return OnSaveDocument(target);
}

BOOL CDocument::SaveModified()
{
    if (!IsModified())
        return TRUE;
    const int answer = m_pPrompts ? m_pPrompts->AskSaveChanges(m_strTitle) : kIdNo;
    if (answer == kIdCancel)
        return FALSE;
    if (answer == kIdYes)
        return DoFileSave();
    return TRUE;
}

BOOL CDocument::OnFileNew()
{
    if (!SaveModified())
        return FALSE;
    return OnNewDocument();
}

BOOL CDocument::OnUpdateCommand(CCmdUI&)
{
    return FALSE;
}

BOOL CDocument::OnCommand(uint32_t id)
{
    switch (id)
    {
    case ID_FILE_SAVE:
        DoFileSave();
        return TRUE;
    case ID_FILE_SAVE_AS:
        DoSave(std::string());
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CDocument::ExecuteCommand(uint32_t id)
{
    CCmdUI state(id);
    OnUpdateCommand(state);
    if (state.m_bEnableChanged && !state.m_bEnabled)
        return FALSE;
    return OnCommand(id);
}

} // namespace fw
