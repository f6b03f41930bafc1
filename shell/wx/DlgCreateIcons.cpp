// The "Create icons" dialog, laid out from its template in dialog units.
#include "shell/wx/DlgCreateIcons.h"

#include "resources/DialogTemplates.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>

CDlgCreateIcons::CDlgCreateIcons(wxWindow* parent)
{
    const res::SDialogTemplate* layout = res::FindDialog(res::kDlgCreateIcons);
    Create(parent, wxID_ANY, wxString::FromUTF8(layout->caption), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    SetClientSize(ConvertDialogToPixels(wxSize(layout->cx, layout->cy)));
    for (size_t i = 0; i < layout->nControls; ++i)
    {
        const res::SDialogControl& c = layout->controls[i];
        const wxPoint pos = ConvertDialogToPixels(wxPoint(c.x, c.y));
        const wxSize size = ConvertDialogToPixels(wxSize(c.cx, c.cy));
        const wxString text = wxString::FromUTF8(c.text ? c.text : "");
        switch (c.kind)
        {
        case res::EControlKind::Static:
            new wxStaticText(this, wxID_ANY, text, pos, size);
            break;
        case res::EControlKind::EtchedLine:
            new wxStaticLine(this, wxID_ANY, pos, wxSize(size.x, -1));
            break;
        case res::EControlKind::CheckBox:
        {
            auto* box = new wxCheckBox(this, c.nId, text, pos, size);
            if (c.nId == res::kIdCheckDesktop)
                m_pDesktop = box;
            else if (c.nId == res::kIdCheckStartMenu)
                m_pStartMenu = box;
            break;
        }
        case res::EControlKind::DefPushButton:
        case res::EControlKind::PushButton:
        {
            const int id = c.nId == res::kIdOkButton       ? wxID_OK
                           : c.nId == res::kIdCancelButton ? wxID_CANCEL
                                                           : c.nId;
            auto* button = new wxButton(this, id, text, pos, size);
            if (c.kind == res::EControlKind::DefPushButton)
                button->SetDefault();
            break;
        }
        }
    }
    CentreOnScreen();
}

bool CDlgCreateIcons::TransferDataToWindow()
{
    if (m_pDesktop)
        m_pDesktop->SetValue(m_bDesktop != 0);
    if (m_pStartMenu)
        m_pStartMenu->SetValue(m_bStartMenu != 0);
    return true;
}

bool CDlgCreateIcons::TransferDataFromWindow()
{
    if (m_pDesktop)
        m_bDesktop = m_pDesktop->GetValue() ? 1 : 0;
    if (m_pStartMenu)
        m_bStartMenu = m_pStartMenu->GetValue() ? 1 : 0;
    return true;
}

bool CWxCreateIconsPrompt::Ask(SCreateIconsChoice& choice)
{
    CDlgCreateIcons dlg(nullptr);
    dlg.m_bDesktop = choice.m_bDesktop;
    dlg.m_bStartMenu = choice.m_bStartMenu;
    if (dlg.ShowModal() != wxID_OK)
        return false;
    choice.m_bDesktop = dlg.m_bDesktop;
    choice.m_bStartMenu = dlg.m_bStartMenu;
    return true;
}
