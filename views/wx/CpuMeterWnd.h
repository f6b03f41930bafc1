// The CPU meter's window: counts on every processor at idle priority and shows the load
// once a second as a column of ten segments and a percentage.
#pragma once

#include "views/CpuMeter.h"

#include <wx/timer.h>
#include <wx/window.h>

class wxPaintEvent;
class wxTimerEvent;

class CCpuMeterWnd : public wxWindow
{
public:
    // A child window of parent at pos and size; its counting threads start with it.
    CCpuMeterWnd(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize);
    // Stops the timer and the counting threads (each is given up to 10 seconds).
    ~CCpuMeterWnd() override;

    // The load the window shows, in percent.
    uint32_t GetUsage() const { return m_meter.GetUsage(); }
    // The once-a-second step, also for tests that do not wait for the timer.
    void Measure();

    static constexpr int kTimerId = 1;
    static constexpr int kPeriodMs = 1000;

private:
    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);

    CCpuMeter m_meter;
    wxTimer m_timer;
};
