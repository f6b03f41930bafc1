// The window tests' program: the toolkit started once on the test's display, with a window
// manager inside it for minimise, maximise and raise.
#include "shell/wx/RatemarkApp.h"

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/utils.h>

extern char** environ;

wxIMPLEMENT_APP_NO_MAIN(CRatemarkApp);

namespace {

// Starts openbox on the display; 0 when it is not installed.
pid_t StartWindowManager()
{
    pid_t pid = 0;
    const char* args[] = {"openbox", "--sm-disable", nullptr};
    if (posix_spawnp(&pid, "openbox", nullptr, nullptr, const_cast<char* const*>(args), environ) !=
        0)
        return 0;
    // Long enough for it to take the display over.
    wxMilliSleep(500);
    return pid;
}

// A toolkit assertion fails the test that caused it instead of showing a dialog.
void OnToolkitAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                     const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " "
        << msg.utf8_string();
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    wxSetAssertHandler(OnToolkitAssert);
    if (!std::getenv("DISPLAY"))
    {
        std::fprintf(stderr, "wx_tests: no display (run under xvfb-run)\n");
        return 1;
    }
    const pid_t wm = StartWindowManager();
    wxApp::SetInstance(new CRatemarkApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv))
    {
        std::fprintf(stderr, "wx_tests: the toolkit cannot start\n");
        return 1;
    }
    // Toolkit log messages go to stderr, not into dialogs nobody answers.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    wxInitAllImageHandlers();
    int rc = 0;
    {
        wxEventLoop loop;
        wxEventLoopActivator active(&loop);
        rc = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    if (wm > 0)
    {
        kill(wm, SIGTERM);
        waitpid(wm, nullptr, 0);
    }
    return rc;
}
