// Resolution of --drive and the drive's JSON form.
#include "cli/DriveArgument.h"

#include "cli/Command.h"
#include "diskaccess/GptReader.h"
#include "diskaccess/NtHardDrive.h"
#include "diskaccess/W9xHardDrive.h"
#include "platform/Errors.h"
#include "platform/System.h"
#include "resources/StringTable.h"

#include <charconv>
#include <cstdio>

namespace cli {

namespace {

constexpr uint32_t kStrCantOpenDrive = 10000;
constexpr uint32_t kStrNoDrives = 10006;

EBackEnd g_backEnd = EBackEnd::Platform;

bool ParseIndex(const std::string& arg, int* index)
{
    if (arg.empty() || arg.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), *index);
    return ec == std::errc() && end == arg.data() + arg.size();
}

} // namespace

std::string DescribeError(const std::string& message, uint32_t code)
{
    return message + " (error " + std::to_string(code) + ": " + platform::ErrorText(code) + ")";
}

void ChooseBackEnd(EBackEnd choice)
{
    g_backEnd = choice;
}

int EnsureBackEnd(CAppCore& core)
{
    if (core.GetDrive())
        return kExitOk;
    bool created = false;
    switch (g_backEnd)
    {
    case EBackEnd::Platform:
        created = core.CreateBackEnd();
        break;
    case EBackEnd::Bios:
        created = core.CreateBackEndFor(platform::kPlatformWin9x);
        break;
    case EBackEnd::Os:
        created = core.CreateBackEndFor(platform::kPlatformNt);
        break;
    }
    if (created)
        return kExitOk;
    // The message box has said what is wrong; this says why.
    std::fprintf(stderr, "ratemark-cli: no drive back-end: %s\n",
                 core.BackEndError().empty() ? "none for this platform"
                                             : core.BackEndError().c_str());
    return kExitFailure;
}

std::string DriveLabel(const CAppCore& core, const GEOMETRY& geometry)
{
    if (core.GetNtDrive())
        return core.DrivePath(geometry.Drive);
    char label[32];
    std::snprintf(label, sizeof label, "BIOS %02Xh",
                  static_cast<unsigned>(geometry.Drive) + CW9xHardDrive::kFirstBiosDrive);
    return label;
}

int DiscoverDrives(CAppCore& core)
{
    if (const int rc = EnsureBackEnd(core))
        return rc;
    if (core.DiscoverDrives() == 0)
    {
        std::fprintf(stderr, "%s\n", res::LoadString(kStrNoDrives));
        if (const std::string advice = core.NoDriveAdvice(); !advice.empty())
            std::fprintf(stderr, "%s\n", advice.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int ResolveDriveArgument(CAppCore& core, const std::string& arg, SResolvedDrive* out)
{
    int index = 0;
    if (ParseIndex(arg, &index))
    {
        if (const int rc = DiscoverDrives(core))
            return rc;
        if (index >= core.GetDriveCount())
        {
            std::fprintf(stderr, "ratemark-cli: drive index %s is out of range (%d drive%s)\n",
                         arg.c_str(), core.GetDriveCount(), core.GetDriveCount() == 1 ? "" : "s");
            return kExitUsage;
        }
        out->Geometry = core.GetDriveGeometry(index);
        out->Index = index;
    }
    else
    {
        if (const int rc = EnsureBackEnd(core))
            return rc;
        CNtHardDrive* nt = core.GetNtDrive();
        if (!nt)
        {
            std::fprintf(stderr, "ratemark-cli: this back-end cannot open a path: %s\n",
                         arg.c_str());
            return kExitUsage;
        }
        const uint32_t error = nt->AddPathDrive(arg, &out->Geometry);
        if (error != 0)
        {
            std::fprintf(
                stderr, "%s\n",
                DescribeError(std::string(res::LoadString(kStrCantOpenDrive)) + ": " + arg, error)
                    .c_str());
            return kExitFailure;
        }
        if (out->Geometry.Cylinders == 0)
        {
            std::fprintf(stderr,
                         "ratemark-cli: %s is smaller than one cylinder (%u bytes); nothing to "
                         "measure\n",
                         arg.c_str(),
                         out->Geometry.TracksPerCylinder * out->Geometry.SectorsPerTrack *
                             out->Geometry.BytesPerSector);
            return kExitFailure;
        }
        out->Index = core.AddDrive(out->Geometry);
    }
    out->Path = core.DrivePath(out->Geometry.Drive);
    return kExitOk;
}

void NoteCacheUse(const CAppCore& core, const SResolvedDrive& drive)
{
    if (CNtHardDrive* nt = core.GetNtDrive(); nt && !nt->IsCacheBypassed())
        std::fprintf(stderr,
                     "ratemark-cli: note: %s is read through the OS cache (its file system "
                     "refuses direct I/O), so speeds measure memory, not the disk\n",
                     drive.Path.c_str());
}

void NoteOpenRefusal(const CAppCore& core)
{
    if (CNtHardDrive* nt = core.GetNtDrive(); nt && !nt->GetOpenRefusal().empty())
        std::fprintf(stderr, "ratemark-cli: the system refused access: %s\n",
                     nt->GetOpenRefusal().c_str());
}

int OpenDriveArgument(CAppCore& core, const std::string& arg, SResolvedDrive* out)
{
    if (const int rc = ResolveDriveArgument(core, arg, out))
        return rc;
    IHardDrive* drive = core.GetDrive();
    const GEOMETRY& g = out->Geometry;
    if (!drive->Open(g.Drive, g.Cylinders, g.TracksPerCylinder, g.SectorsPerTrack,
                     g.BytesPerSector))
    {
        std::fprintf(stderr, "%s\n",
                     DescribeError(std::string(res::LoadString(kStrCantOpenDrive)) + ": " +
                                       DriveLabel(core, g),
                                   drive->GetErrorCode())
                         .c_str());
        NoteOpenRefusal(core);
        return kExitFailure;
    }
    NoteCacheUse(core, *out);
    drive->AnalysePartitions();
    return kExitOk;
}

nlohmann::json PartitionsJson(IHardDrive* drive)
{
    nlohmann::json parts = nlohmann::json::array();
    auto* analyser = dynamic_cast<CPartitionAnalyser*>(drive);
    if (!analyser)
        return parts;
    for (int i = 0; i < drive->GetPartitionCount(); ++i)
    {
        const SPartEntry& e = analyser->Partitions()[static_cast<size_t>(i)];
        nlohmann::json part = {{"abs_start", e.Start()},
                               {"type", e.Type()},
                               {"class", PartitionClassLabel(e.Class())},
                               {"color", drive->GetPartitionColor(i)},
                               {"start_cylinder", drive->GetPartitionStartCylinder(i)},
                               {"cylinders", drive->GetPartitionCylinders(i)},
                               {"sectors", e.Sectors()}};
        if (e.Gpt)
        {
            part["name"] = e.Gpt->Name;
            part["type_guid"] = gpt::FormatGuid(e.Gpt->TypeGuid);
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

nlohmann::json DriveJson(const CAppCore& core, const std::string& path, const GEOMETRY& g)
{
    nlohmann::json drive = {{"path", path},
                            {"drive", g.Drive},
                            {"cylinders", g.Cylinders},
                            {"heads", g.TracksPerCylinder},
                            {"sectors_per_track", g.SectorsPerTrack},
                            {"bytes_per_sector", g.BytesPerSector}};
    if (!core.GetNtDrive())
        drive["bios_drive"] = static_cast<uint32_t>(g.Drive) + CW9xHardDrive::kFirstBiosDrive;
    return drive;
}

} // namespace cli
