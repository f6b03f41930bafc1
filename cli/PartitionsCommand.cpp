// ratemark-cli partitions: a drive's partition list in walk order.
#include "cli/Command.h"
#include "cli/DriveArgument.h"
#include "diskaccess/PartitionAnalyser.h"
#include "platform/Errors.h"
#include "platform/Memory.h"

namespace cli {

namespace {

// Reads the drive's first sector; 0, or the drive's error code when it cannot be read.
uint32_t ReadSectorZero(IHardDrive* drive, uint32_t bytesPerSector)
{
    platform::CPageBuffer buffer(bytesPerSector);
    if (!buffer)
        return platform::err::NotEnoughMemory;
    uint32_t read = 0;
    if (drive->ReadLba(0, 1, buffer.Get(), &read) && read == 1)
        return 0;
    const uint32_t error = drive->GetErrorCode();
    return error ? error : platform::err::SectorNotFound;
}

} // namespace

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
    // No partition may mean no table, or a first sector that cannot be read: only the first
    // is an answer.
    const uint32_t unreadable =
        parts.empty() ? ReadSectorZero(drive, resolved.Geometry.BytesPerSector) : 0;
    const auto* analyser = dynamic_cast<const CPartitionAnalyser*>(drive);
    const std::string label = analyser ? analyser->PartitionTableLabel() : "none";
    drive->Close();
    if (unreadable)
    {
        PrintErr(DescribeError("ratemark-cli: cannot read the partition table (sector 0) of " +
                                   DriveLabel(core, resolved.Geometry),
                               unreadable) +
                 "\n");
        return kExitFailure;
    }

    if (m_bJson)
    {
        const nlohmann::json doc = {{"label", label},
                                    {"drive", DriveJson(core, resolved.Path, resolved.Geometry)},
                                    {"partitions", parts}};
        PrintOut(doc.dump(2) + "\n");
        return kExitOk;
    }
    const GEOMETRY& g = resolved.Geometry;
    std::string text =
        Format("%s: %u cylinders, %u heads, %u sectors per track, %u bytes per sector\n",
               DriveLabel(core, g).c_str(), g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack,
               g.BytesPerSector);
    text += Format("Partition table: %s\n", label.c_str());
    if (parts.empty())
    {
        PrintOut(text + "No partitions.\n");
        return kExitOk;
    }
    text += Format("%-3s %12s %-5s %-10s %10s %10s %12s\n", "#", "Start", "Type", "Class",
                   "Start cyl", "Cylinders", "Sectors");
    int n = 0;
    for (const auto& p : parts)
    {
        text += Format("%-3d %12llu 0x%02X  %-10s %10u %10u %12llu", ++n,
                       static_cast<unsigned long long>(p["abs_start"].get<uint64_t>()),
                       p["type"].get<unsigned>(), p["class"].get<std::string>().c_str(),
                       p["start_cylinder"].get<uint32_t>(), p["cylinders"].get<uint32_t>(),
                       static_cast<unsigned long long>(p["sectors"].get<uint64_t>()));
        // A GUID table's partitions add their type and name.
        if (p.contains("type_guid"))
            text += Format("  %s \"%s\"", p["type_guid"].get<std::string>().c_str(),
                           p["name"].get<std::string>().c_str());
        text += "\n";
    }
    PrintOut(text);
    return kExitOk;
}

} // namespace cli
