// The document's save questions on wx: the Save As file dialog and the save-changes question.
#pragma once

#include "framework/Document.h"

class wxWindow;

class CWxDocumentPrompts : public fw::IDocumentPrompts
{
public:
    // Dialogs are shown over pParent (may be null).
    explicit CWxDocumentPrompts(wxWindow* pParent) : m_pParent(pParent) {}

    // A save file dialog with the filter and the extension; ext is appended to a name the
    // user typed without it.
    std::optional<std::string> AskSavePath(const std::string& proposed, const std::string& filter,
                                           const std::string& ext) override;
    // "Save changes to <title>?" with Yes, No and Cancel, through the message-box service.
    int AskSaveChanges(const std::string& title) override;

private:
    wxWindow* m_pParent;
};

// The wildcard of a file dialog for a filter name such as "Dat Files (*.dat)" and its
// extension ".dat": "Dat Files (*.dat)|*.dat".
std::string SaveDialogWildcard(const std::string& filter, const std::string& ext);
// path, with ext appended when its file name does not already end with it.
std::string WithExtension(const std::string& path, const std::string& ext);
