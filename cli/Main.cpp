// ratemark-cli: drive speed analysis from a terminal.
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "cli/Output.h"
#include "platform/Console.h"
#include "platform/DeviceBroker.h"
#include "platform/Signals.h"
#include "platform/System.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv)
{
    platform::ReserveStandardStreams();
    // From here a first Ctrl+C asks a run to stop, a second ends the program at once; every
    // signal that ends it removes the temporaries of unfinished output files first; a reader
    // of stdout that goes away is a write error, never the end before the files are written.
    platform::InstallTerminationHandling();

    CLI::App app{"Ratemark: hard-disk read speed analyser", "ratemark-cli"};
    app.set_version_flag("--version", "ratemark-cli " RATEMARK_VERSION);
    app.require_subcommand(1);
    // Global options are accepted after the sub-command too.
    app.fallthrough();
    std::string backEnd;
    app.add_option("--backend", backEnd,
                   "Drive back-end: bios (the BIOS services of the low-level I/O library) or os "
                   "(the operating system's whole-disk devices); default: the platform's")
        ->check(CLI::IsMember({"bios", "os"}));

    auto list = std::make_unique<cli::CListCommand>(app);
    auto partitions = std::make_unique<cli::CPartitionsCommand>(app);
    auto test = std::make_unique<cli::CTestCommand>(app);

    try
    {
        app.parse(argc, argv);
    }
    catch (const CLI::ParseError& e)
    {
        const int rc = app.exit(e);
        return rc == 0 ? cli::kExitOk : cli::kExitUsage;
    }

    if (!platform::PlatformOverrideIsValid())
    {
        cli::PrintErr(cli::Format("ratemark-cli: %s=%s names no platform (win9x, nt or a number)\n",
                                  platform::kPlatformOverrideVariable,
                                  std::getenv(platform::kPlatformOverrideVariable)));
        return cli::kExitUsage;
    }

    // A disk this user may not open is authorised on the terminal when nothing else asks.
    platform::SetTerminalAuthorisation(true);

    if (backEnd == "bios")
        cli::ChooseBackEnd(cli::EBackEnd::Bios);
    else if (backEnd == "os")
        cli::ChooseBackEnd(cli::EBackEnd::Os);

    int rc = cli::kExitUsage;
    try
    {
        if (list->m_pApp->parsed())
            rc = list->Perform();
        else if (partitions->m_pApp->parsed())
            rc = partitions->Perform();
        else if (test->m_pApp->parsed())
            rc = test->Perform();
    }
    catch (const std::exception& e)
    {
        cli::PrintErr(cli::Format("ratemark-cli: %s\n", e.what()));
        rc = cli::kExitFailure;
    }
    // A table or list that did not reach stdout is a failure, whatever else went well.
    if (const int out = cli::StdoutResult(); out != cli::kExitOk && rc != cli::kExitFailure)
        return out;
    return rc;
}
