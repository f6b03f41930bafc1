// The message-box service on wx.
#include "framework/wx/MessageBoxService.h"

#include "resources/StringTable.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace {
constexpr uint32_t kStrAppTitle = 57344;
constexpr unsigned kIconMask = 0xF0;
} // namespace

long WxMessageBoxStyle(unsigned type)
{
    long style = wxOK;
    switch (type & fw::kMbButtonMask)
    {
    case fw::kMbYesNoCancel:
        style = wxYES_NO | wxCANCEL;
        break;
    case fw::kMbYesNo:
        style = wxYES_NO;
        break;
    default:
        break;
    }
    switch (type & kIconMask)
    {
    case fw::kMbIconHand:
        style |= wxICON_ERROR;
        break;
    case fw::kMbIconQuestion:
        style |= wxICON_QUESTION;
        break;
    case fw::kMbIconExclamation:
        style |= wxICON_WARNING;
        break;
    case fw::kMbIconInformation:
        style |= wxICON_INFORMATION;
        break;
    default:
        break;
    }
    return style;
}

int CWxMessageBoxService::Show(const std::string& text, unsigned type)
{
    wxWindow* parent = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    wxMessageDialog dialog(parent, wxString::FromUTF8(text),
                           wxString::FromUTF8(res::LoadString(kStrAppTitle)),
                           WxMessageBoxStyle(type));
    switch (dialog.ShowModal())
    {
    case wxID_YES:
        return fw::kIdYes;
    case wxID_NO:
        return fw::kIdNo;
    case wxID_CANCEL:
        return fw::kIdCancel;
    default:
        return fw::kIdOk;
    }
}
