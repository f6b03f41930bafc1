// ratemark-cli: drive speed analysis from a terminal.
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "platform/DeviceBroker.h"

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
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

    // A disk this user may not open is authorised on the terminal when nothing else asks.
    platform::SetTerminalAuthorisation(true);

    if (backEnd == "bios")
        cli::ChooseBackEnd(cli::EBackEnd::Bios);
    else if (backEnd == "os")
        cli::ChooseBackEnd(cli::EBackEnd::Os);

    try
    {
        if (list->m_pApp->parsed())
            return list->Perform();
        if (partitions->m_pApp->parsed())
            return partitions->Perform();
        if (test->m_pApp->parsed())
            return test->Perform();
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "ratemark-cli: %s\n", e.what());
        return cli::kExitFailure;
    }
    return cli::kExitUsage;
}
