// The console front end of a test run.
#include "cli/ConsoleFront.h"

#include "cli/Output.h"
#include "engine/RatemarkDoc.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"

#include <cstdio>

namespace cli {

CConsoleBoxes::CConsoleBoxes(EReadErrorPolicy policy, bool (*interrupted)())
    : m_policy(policy), m_pInterrupted(interrupted)
{}

int CConsoleBoxes::Show(const fw::SMessageBoxRequest& request)
{
    m_texts.push_back(request.m_strText);
    if ((request.m_nType & fw::kMbButtonMask) != fw::kMbYesNoCancel)
    {
        PrintErr("ratemark-cli: " + request.m_strText + "\n");
        return fw::kIdOk;
    }
    // The only question of a run is the read-error question; any other is declined.
    if (request.m_nStringId != res::IDS_READ_ERROR_QUESTION)
        return fw::kIdCancel;
    switch (m_policy)
    {
    case EReadErrorPolicy::Ask:
        if (platform::IsTerminal(platform::EStdStream::In) &&
            platform::IsTerminal(platform::EStdStream::Err))
            return Ask(request.m_strText);
        [[fallthrough]];
    case EReadErrorPolicy::Continue:
        return fw::kIdNo;
    case EReadErrorPolicy::Stop:
        break;
    }
    return fw::kIdCancel;
}

int CConsoleBoxes::Show(const std::string& text, unsigned type)
{
    return Show(fw::SMessageBoxRequest{text, type, 0});
}

int CConsoleBoxes::Ask(const std::string& text)
{
    PrintErr("\n" + text + "\n[y]es / [n]o / [c]ancel? ");
    for (;;)
    {
        // An interrupt (Ctrl+C) or the end of input abandons the test.
        if (m_pInterrupted && m_pInterrupted())
            return fw::kIdCancel;
        const int c = platform::ReadInputByte(100);
        if (c == platform::kInputTimeout)
            continue;
        if (c == platform::kInputEnd)
            return fw::kIdCancel;
        switch (c)
        {
        case 'y':
        case 'Y':
            return fw::kIdYes;
        case 'n':
        case 'N':
            return fw::kIdNo;
        case 'c':
        case 'C':
            return fw::kIdCancel;
        default:
            break;
        }
    }
}

CConsoleFrame::CConsoleFrame(fw::CMessageQueue& queue, int driveIndex, bool showProgress)
    : CWnd(queue), m_nDrive(driveIndex), m_bShowProgress(showProgress),
      m_bEscapes(platform::TerminalTakesEscapes())
{}

std::string CConsoleFrame::ProgressLine(const std::string& text, int columns, bool escapes)
{
    // The last column stays free: a terminal that wraps at the margin would start a new line.
    const size_t room = static_cast<size_t>(columns > 1 ? columns - 1 : 79);
    std::string line = text.substr(0, room);
    if (escapes)
        return "\r" + line + "\033[K";
    line.resize(room, ' ');
    return "\r" + line;
}

void CConsoleFrame::EndProgress()
{
    if (m_bLineShown)
    {
        const std::string blank =
            ProgressLine("", platform::TerminalColumns(platform::EStdStream::Err), m_bEscapes);
        PrintErr(blank + "\r");
        m_bLineShown = false;
    }
}

intptr_t CConsoleFrame::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    switch (msg)
    {
    case UM_TEST_BEGIN:
        m_bBegan = true;
        m_dwStartTicks = platform::TickCount();
        return 1;
    case UM_TEST_END:
        m_bEnded = true;
        EndProgress();
        return 1;
    case UM_PROGRESS:
        if (m_bShowProgress && m_pDoc)
        {
            const uint32_t seconds = (platform::TickCount() - m_dwStartTicks) / 1000;
            const std::string cylinder = CRatemarkDoc::FormatStatText(10, m_pDoc->GetStat(10));
            const std::string speed = CRatemarkDoc::FormatStatText(9, m_pDoc->GetStat(9));
            const std::string text = Format(
                "%s %3u%%  cylinder %s  %s  %u:%02u",
                res::LoadString(static_cast<uint32_t>(lParam)), static_cast<unsigned>(wParam),
                m_pDoc->GetStat(10) == CRatemarkDoc::kNoValue ? "-" : cylinder.c_str(),
                m_pDoc->GetStat(9) == CRatemarkDoc::kNoValue ? "" : speed.c_str(), seconds / 60,
                seconds % 60);
            PrintErr(ProgressLine(text, platform::TerminalColumns(platform::EStdStream::Err),
                                  m_bEscapes));
            m_bLineShown = true;
        }
        return 1;
    default:
        return 0;
    }
}

} // namespace cli
