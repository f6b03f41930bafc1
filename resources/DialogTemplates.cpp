// Dialog layouts.
#include "resources/DialogTemplates.h"

#include <iterator>

namespace res {

namespace {

constexpr SDialogControl kCreateIconsControls[] = {
    {-1, EControlKind::Static, "To create icons check the boxes below", 17, 7, 162, 8},
    {-1, EControlKind::EtchedLine, "", 7, 17, 172, 1},
    {kIdCheckStartMenu, EControlKind::CheckBox, "Create Start menu icon", 17, 22, 162, 10},
    {kIdCheckDesktop, EControlKind::CheckBox, "Create Desktop icon", 17, 36, 162, 10},
    {kIdOkButton, EControlKind::DefPushButton, "OK", 71, 58, 50, 14},
    {kIdCancelButton, EControlKind::PushButton, "Cancel", 129, 58, 50, 14},
};

constexpr SDialogTemplate kDialogs[] = {
    {kDlgCreateIcons, "Create icons", 186, 79, "MS Sans Serif", 8, kCreateIconsControls,
     std::size(kCreateIconsControls)},
};

} // namespace

const SDialogTemplate* FindDialog(uint32_t id)
{
    for (const SDialogTemplate& dialog : kDialogs)
        if (dialog.id == id)
            return &dialog;
    return nullptr;
}

} // namespace res
