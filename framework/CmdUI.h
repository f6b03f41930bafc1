// The command-state record that a command's update handler fills.
#pragma once

#include "platform/Types.h"

#include <cstdint>

namespace fw {

// The framework's own command ids.
inline constexpr uint32_t ID_FILE_NEW = 57600;
inline constexpr uint32_t ID_FILE_SAVE = 57603;
inline constexpr uint32_t ID_FILE_SAVE_AS = 57604;

// What a menu item or toolbar button of command m_nID is to show. A front end applies the
// parts that the handler set; a record the handler left alone means "no handler".
class CCmdUI
{
public:
    explicit CCmdUI(uint32_t id) : m_nID(id) {}
    virtual ~CCmdUI() = default;

    virtual void Enable(BOOL bOn = TRUE)
    {
        m_bEnableChanged = true;
        m_bEnabled = bOn ? TRUE : FALSE;
    }
    // 0 unchecked, 1 checked, 2 indeterminate.
    virtual void SetCheck(int nCheck = 1)
    {
        m_bCheckChanged = true;
        m_nCheck = nCheck;
    }
    virtual void SetRadio(BOOL bOn = TRUE)
    {
        m_bRadioChanged = true;
        m_bRadio = bOn ? TRUE : FALSE;
    }

    uint32_t m_nID;
    bool m_bEnableChanged = false;
    BOOL m_bEnabled = TRUE;
    bool m_bCheckChanged = false;
    int m_nCheck = 0;
    bool m_bRadioChanged = false;
    BOOL m_bRadio = FALSE;
};

} // namespace fw
