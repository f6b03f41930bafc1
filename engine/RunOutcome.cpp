// Names of the ways a run ends.
#include "engine/RunOutcome.h"

const char* RunEndName(ERunEnd end)
{
    switch (end)
    {
    case ERunEnd::None:
        return "none";
    case ERunEnd::Running:
        return "running";
    case ERunEnd::Completed:
        return "completed";
    case ERunEnd::Stopped:
        return "stopped";
    case ERunEnd::Cancelled:
        return "cancelled";
    case ERunEnd::Failed:
        return "failed";
    }
    return "none";
}
