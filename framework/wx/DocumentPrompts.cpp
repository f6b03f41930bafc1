// The document's save questions on wx.
#include "framework/wx/DocumentPrompts.h"

#include "framework/MessageBox.h"

#include <wx/filedlg.h>

std::string SaveDialogWildcard(const std::string& filter, const std::string& ext)
{
    if (ext.empty())
        return filter + "|*";
    return filter + "|*" + ext;
}

std::string WithExtension(const std::string& path, const std::string& ext)
{
    if (ext.empty() || path.empty())
        return path;
    if (path.size() >= ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
        return path;
    return path + ext;
}

std::optional<std::string> CWxDocumentPrompts::AskSavePath(const std::string& proposed,
                                                           const std::string& filter,
                                                           const std::string& ext)
{
    wxFileDialog dialog(m_pParent, "Save As", wxString(), wxString::FromUTF8(proposed),
                        wxString::FromUTF8(SaveDialogWildcard(filter, ext)),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return std::nullopt;
    return WithExtension(dialog.GetPath().utf8_string(), ext);
}

int CWxDocumentPrompts::AskSaveChanges(const std::string& title)
{
    return fw::MessageBox("Save changes to " + title + "?",
                          fw::kMbYesNoCancel | fw::kMbIconExclamation);
}
