// The program's window messages and the interface of everything that receives them.
#pragma once

#include <cstdint>

// The system's own numbers; a Windows header that defines them first gives the same values.
#ifndef WM_USER
inline constexpr uint32_t WM_USER = 0x0400;
#endif
#ifndef WM_CANCELMODE
inline constexpr uint32_t WM_CANCELMODE = 0x001F;
#endif

// The program's notifications, from the document and its worker to the frame and the views.
inline constexpr uint32_t UM_REFRESH = WM_USER + 21;        // 1045, posted to every view
inline constexpr uint32_t UM_SELECTION = WM_USER + 22;      // 1046, sent to the frame
inline constexpr uint32_t UM_TEST_BEGIN = WM_USER + 23;     // 1047, sent to the frame
inline constexpr uint32_t UM_TEST_END = WM_USER + 24;       // 1048, sent to the frame
inline constexpr uint32_t UM_PROGRESS = WM_USER + 25;       // 1049, posted to the frame
inline constexpr uint32_t UM_DRIVE_ACCEPTED = WM_USER + 26; // 1050, sent to the frame

namespace fw {

// A window as far as messages go. Handlers always run on the UI thread.
class IMessageTarget
{
public:
    virtual ~IMessageTarget() = default;
    // Delivers msg and returns the handler's result. From another thread it waits until the
    // UI thread has handled it; an exception of the handler passes to the sender.
    virtual intptr_t Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
    // Queues msg for the UI thread and returns at once.
    virtual void Post(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
};

} // namespace fw
