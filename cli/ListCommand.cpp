// ratemark-cli list: the drive list after start-up's clean-up.
#include "cli/Command.h"
#include "cli/DriveArgument.h"

namespace cli {

CListCommand::CListCommand(CLI::App& parent)
    : m_pApp(parent.add_subcommand("list", "List the drives that can be measured"))
{
    m_pApp->add_flag("--json", m_bJson, "Print the list as JSON");
}

int CListCommand::Perform()
{
    CAppCore core;
    if (const int rc = DiscoverDrives(core))
        return rc;
    if (m_bJson)
    {
        nlohmann::json list = nlohmann::json::array();
        for (int i = 0; i < core.GetDriveCount(); ++i)
        {
            const GEOMETRY g = core.GetDriveGeometry(i);
            nlohmann::json entry = DriveJson(core, core.DrivePath(g.Drive), g);
            entry["index"] = i;
            list.push_back(entry);
        }
        PrintOut(list.dump(2) + "\n");
        return kExitOk;
    }
    std::string text = Format("%-5s %-5s %-20s %10s %5s %7s %6s\n", "Index", "Drive", "Device",
                              "Cylinders", "Heads", "Sectors", "Bytes");
    for (int i = 0; i < core.GetDriveCount(); ++i)
    {
        const GEOMETRY g = core.GetDriveGeometry(i);
        text +=
            Format("%-5d %-5d %-20s %10u %5u %7u %6u\n", i, g.Drive, DriveLabel(core, g).c_str(),
                   g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack, g.BytesPerSector);
    }
    PrintOut(text);
    return kExitOk;
}

} // namespace cli
