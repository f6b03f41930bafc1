// ratemark: the desktop program.
#include "shell/CommandLine.h"
#include "shell/wx/RatemarkApp.h"

#include <cstdio>
#include <cstdlib>
#include <wx/init.h>

wxIMPLEMENT_APP_NO_MAIN(CRatemarkApp);

int main(int argc, char** argv)
{
    // What needs no display is answered before the toolkit starts.
    CRtmCommandLineInfo info;
    info.Parse(argc, argv);
    if (info.m_bHelp)
    {
        std::fputs(RatemarkUsage().c_str(), stdout);
        return 0;
    }
    if (!info.m_strError.empty())
    {
        std::fprintf(stderr, "ratemark: %s\n\n%s", info.m_strError.c_str(),
                     RatemarkUsage().c_str());
        return 2;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!(x11 && *x11) && !(wayland && *wayland))
    {
        std::fputs("ratemark: no display to open a window on; ratemark-cli measures drives "
                   "from a terminal\n",
                   stderr);
        return 1;
    }
    wxApp::SetInstance(new CRatemarkApp);
    // A start-up that ended early makes wxEntry fail; its own exit code says why.
    const int rc = wxEntry(argc, argv);
    return rc == 0 ? 0 : CRatemarkApp::LastExitCode();
}
