// Command states through wxUpdateUIEvent.
#include "framework/wx/CmdUIUpdate.h"

#include "framework/CmdUI.h"
#include "framework/Document.h"

#include <wx/event.h>

bool ApplyCommandState(fw::CDocument* pDoc, wxUpdateUIEvent& event)
{
    if (!pDoc)
        return false;
    fw::CCmdUI state(CommandFromWxId(event.GetId()));
    if (!pDoc->OnUpdateCommand(state))
        return false;
    // Enabled first, then the mark, as the handlers set them.
    if (state.m_bEnableChanged)
        event.Enable(state.m_bEnabled != 0);
    if (state.m_bCheckChanged)
        event.Check(state.m_nCheck == 1);
    if (state.m_bRadioChanged)
        event.Check(state.m_bRadio != 0);
    return true;
}
