// How a test run ended and what it ran, as data for the front ends (the console's exit code
// and JSON, the frame's status bar).
#pragma once

#include "platform/Types.h"

#include <cstdint>

enum class ERunEnd
{
    None,      // no run has been started on this document
    Running,   // a run has been started and has not ended yet
    Completed, // the linear test reached its last cylinder
    Stopped,   // a stop was requested (Stop command, Ctrl+C)
    Cancelled, // the read-error question was answered Cancel, or the drive went away
    Failed,    // the run could not start or go on: m_nMessageId says why
};

struct SRunOutcome
{
    ERunEnd m_eEnd = ERunEnd::None;
    // The string-table entry of the message that ended the run, 0 for none: for Failed the
    // box shown (10001, 10003, 10007; 0 after an unexpected exception, which is traced);
    // for Cancelled 10008 (the question answered Cancel) or 10056 (the drive went away).
    uint32_t m_nMessageId = 0;
    // For Cancelled: the drive's error code and position of the read that ended the run.
    uint32_t m_dwError = 0;
    uint32_t m_nErrorCylinder = 0;
    uint32_t m_nErrorHead = 0;

    // What the run did: the sub-tests it started, the fast test, a run over the selection.
    BOOL m_bRandomAccessRan = 0;
    BOOL m_bBurstRan = 0;
    BOOL m_bFast = 0;
    BOOL m_bSelectionRun = 0;

    friend bool operator==(const SRunOutcome&, const SRunOutcome&) = default;
};

// "none", "running", "completed", "stopped", "cancelled" or "failed".
const char* RunEndName(ERunEnd end);
