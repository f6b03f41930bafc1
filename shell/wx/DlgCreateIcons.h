// The "Create icons" dialog of the first start, and the prompt the registration asks through.
#pragma once

#include "shell/Installation.h"

#include <wx/dialog.h>

class wxCheckBox;

class CDlgCreateIcons : public wxDialog
{
public:
    explicit CDlgCreateIcons(wxWindow* parent);

    int m_bDesktop = 0;   // "Create Desktop icon"
    int m_bStartMenu = 1; // "Create Start menu icon"

    wxCheckBox* GetDesktopBox() const { return m_pDesktop; }
    wxCheckBox* GetStartMenuBox() const { return m_pStartMenu; }

    // The boxes show the members; OK copies them back.
    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

private:
    wxCheckBox* m_pDesktop = nullptr;
    wxCheckBox* m_pStartMenu = nullptr;
};

// Asks with the dialog, modally, over no window (start-up has none yet).
class CWxCreateIconsPrompt : public ICreateIconsPrompt
{
public:
    bool Ask(SCreateIconsChoice& choice) override;
};
