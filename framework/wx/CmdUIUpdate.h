// The document's command states applied to menu items and toolbar buttons.
#pragma once

#include <cstdint>

class wxUpdateUIEvent;

// wx window ids stay below 0x7FFF: a command id (32771 and up) is given the id 0x8000 lower.
inline constexpr int kWxIdShift = 0x8000;
inline constexpr int WxCommandId(uint32_t command)
{
    return static_cast<int>(command) - kWxIdShift;
}
inline constexpr uint32_t CommandFromWxId(int id)
{
    return static_cast<uint32_t>(id + kWxIdShift);
}

namespace fw {
class CDocument;
}

// Asks pDoc for the state of the event's command (the command of its wx id) and applies what its
// handler set; returns false when the document has no handler for it (the event is then left
// untouched).
bool ApplyCommandState(fw::CDocument* pDoc, wxUpdateUIEvent& event);
