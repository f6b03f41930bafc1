// ratemark-cli partitions: a drive's partition list in walk order.
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "diskaccess/PartitionAnalyser.h"

#include <cstdio>
#include <iostream>

namespace cli {

CPartitionsCommand::CPartitionsCommand(CLI::App& parent)
    : m_pApp(parent.add_subcommand("partitions", "Show a drive's partitions"))
{
    m_pApp->add_option("--drive", m_strDrive, "Index in the drive list, or a device or image path")
        ->required();
    m_pApp->add_flag("--json", m_bJson, "Print the partitions as JSON");
}

int CPartitionsCommand::Perform()
{
    CAppCore core;
    SResolvedDrive resolved;
    if (const int rc = OpenDriveArgument(core, m_strDrive, &resolved))
        return rc;
    IHardDrive* drive = core.GetDrive();
    const nlohmann::json parts = PartitionsJson(drive);
    drive->Close();

    if (m_bJson)
    {
        const nlohmann::json doc = {{"drive", DriveJson(core, resolved.Path, resolved.Geometry)},
                                    {"partitions", parts}};
        std::cout << doc.dump(2) << '\n';
        return kExitOk;
    }
    const GEOMETRY& g = resolved.Geometry;
    std::printf("%s: %u cylinders, %u heads, %u sectors per track, %u bytes per sector\n",
                DriveLabel(core, g).c_str(), g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack,
                g.BytesPerSector);
    if (parts.empty())
    {
        std::printf("No partitions.\n");
        return kExitOk;
    }
    std::printf("%-3s %12s %-5s %-10s %10s %10s %12s\n", "#", "Start", "Type", "Class", "Start cyl",
                "Cylinders", "Sectors");
    int n = 0;
    for (const auto& p : parts)
        std::printf("%-3d %12u 0x%02X  %-10s %10u %10u %12u\n", ++n, p["abs_start"].get<uint32_t>(),
                    p["type"].get<unsigned>(), p["class"].get<std::string>().c_str(),
                    p["start_cylinder"].get<uint32_t>(), p["cylinders"].get<uint32_t>(),
                    p["sectors"].get<uint32_t>());
    return kExitOk;
}

} // namespace cli
