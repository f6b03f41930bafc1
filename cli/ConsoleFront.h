// The console front end of a test run: the frame the document talks to, the answers to its
// message boxes, and the progress line.
#pragma once

#include "engine/RatemarkApp.h"
#include "framework/MessageBox.h"
#include "framework/Wnd.h"

#include <cstdint>
#include <string>
#include <vector>

class CRatemarkDoc;

namespace cli {

// How the read-error question is answered.
enum class EReadErrorPolicy
{
    Ask,      // on a terminal: the user answers; elsewhere like Continue
    Continue, // the answer No: go on, and ask no more
    Stop,     // the answer Cancel: abandon the test
};

// Shows the program's boxes on stderr and answers the read-error question by the policy.
// Runs on the UI thread (the boxes are marshalled there).
class CConsoleBoxes : public fw::IMessageBoxService
{
public:
    // interrupted tells whether the user has asked to stop (Ctrl+C); a question then ends.
    CConsoleBoxes(EReadErrorPolicy policy, bool (*interrupted)());

    int Show(const fw::SMessageBoxRequest& request) override;
    int Show(const std::string& text, unsigned type) override;

    // The texts of the boxes shown, in order.
    const std::vector<std::string>& Texts() const { return m_texts; }

private:
    int Ask(const std::string& text);

    EReadErrorPolicy m_policy;
    bool (*m_pInterrupted)();
    std::vector<std::string> m_texts;
};

// The main frame of the console program: its drive selector names one drive, and the
// progress messages become a line on stderr, cut to the terminal's width, redrawn with erase
// sequences only where the terminal takes them.
class CConsoleFrame : public fw::CWnd, public IRatemarkFrame
{
public:
    CConsoleFrame(fw::CMessageQueue& queue, int driveIndex, bool showProgress);

    int GetSelectedDrive() override { return m_nDrive; }
    void EnableDriveSelector(BOOL) override {}

    void SetDocument(CRatemarkDoc* doc) { m_pDoc = doc; }
    bool Began() const { return m_bBegan; }
    bool Ended() const { return m_bEnded; }
    // Clears the progress line, if one is shown.
    void EndProgress();

protected:
    intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

    // The progress line as shown on a terminal columns wide: "\r", the line cut so that it
    // never wraps, and then an erase to the line's end, or blanks over a terminal without
    // escape sequences.
    static std::string ProgressLine(const std::string& text, int columns, bool escapes);

private:
    int m_nDrive;
    bool m_bShowProgress;
    bool m_bEscapes;
    CRatemarkDoc* m_pDoc = nullptr;
    bool m_bBegan = false;
    bool m_bEnded = false;
    bool m_bLineShown = false;
    uint32_t m_dwStartTicks = 0;
};

} // namespace cli
