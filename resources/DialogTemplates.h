// Dialog layouts: caption, size and controls in dialog units, the way the desktop program
// builds its dialogs from them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace res {

enum class EControlKind
{
    Static,        // a line of text
    EtchedLine,    // a horizontal etched line
    CheckBox,      // an automatic check box
    DefPushButton, // the default push button
    PushButton,
};

struct SDialogControl
{
    int nId; // -1 for controls the program never addresses
    EControlKind kind;
    const char* text;
    int x, y, cx, cy;
};

struct SDialogTemplate
{
    uint32_t id;
    const char* caption;
    int cx, cy;
    const char* font;
    int nPointSize;
    const SDialogControl* controls;
    size_t nControls;
};

// Standard button ids.
inline constexpr int kIdOkButton = 1;
inline constexpr int kIdCancelButton = 2;

// The "Create icons" dialog and its check boxes.
inline constexpr uint32_t kDlgCreateIcons = 146;
inline constexpr int kIdCheckStartMenu = 1007;
inline constexpr int kIdCheckDesktop = 1009;

// The layout of dialog id; nullptr when there is none.
const SDialogTemplate* FindDialog(uint32_t id);

} // namespace res
