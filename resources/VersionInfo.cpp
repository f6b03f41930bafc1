// The version record and its lookups.
#include "resources/VersionInfo.h"

#include <cstdio>
#include <strings.h>

#ifndef RATEMARK_VERSION_PARTS
#error "RATEMARK_VERSION_PARTS (the project version as 4 comma-separated numbers) is not set"
#endif

namespace res {

namespace {

constexpr unsigned kVersionParts[] = {RATEMARK_VERSION_PARTS};
static_assert(sizeof(kVersionParts) / sizeof(kVersionParts[0]) == 4);

constexpr uint16_t kLanguageUsEnglish = 0x0409;
constexpr uint16_t kCodePageUnicode = 0x04B0;

SVersionRecord MakeProgramRecord()
{
    char version[64];
    std::snprintf(version, sizeof version, "%u, %u, %u, %u", kVersionParts[0], kVersionParts[1],
                  kVersionParts[2], kVersionParts[3]);
    SVersionRecord record;
    record.translations.push_back({kLanguageUsEnglish, kCodePageUnicode});
    record.strings["040904B0"] = {
        {"CompanyName", "Zelqo"},
        {"FileDescription", "Ratemark hard-disk speed analyser"},
        {"FileVersion", version},
        {"InternalName", "Ratemark"},
        {"LegalCopyright", "Copyright (c) 2004-2026 Zelqo"},
        {"OriginalFilename", "ratemark"},
        {"ProductName", "Ratemark"},
        {"ProductVersion", version},
    };
    return record;
}

bool SameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Splits "\A\B\C" into its parts; an empty part (a doubled backslash) is dropped.
std::vector<std::string> Parts(const std::string& subBlock)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : subBlock + "\\")
    {
        if (c != '\\')
            part += c;
        else if (!part.empty())
            parts.push_back(std::move(part)), part.clear();
    }
    return parts;
}

} // namespace

const SVersionRecord& ProgramVersionRecord()
{
    static const SVersionRecord record = MakeProgramRecord();
    return record;
}

const char* ProgramVersion()
{
#ifdef RATEMARK_VERSION
    return RATEMARK_VERSION;
#else
    return "";
#endif
}

bool VerQueryTranslations(const SVersionRecord& record, const std::string& subBlock,
                          std::vector<SVersionRecord::STranslation>& out)
{
    const std::vector<std::string> parts = Parts(subBlock);
    if (parts.size() != 2 || !SameText(parts[0], "VarFileInfo") ||
        !SameText(parts[1], "Translation") || record.translations.empty())
        return false;
    out = record.translations;
    return true;
}

bool VerQueryString(const SVersionRecord& record, const std::string& subBlock, std::string& out)
{
    const std::vector<std::string> parts = Parts(subBlock);
    if (parts.size() != 3 || !SameText(parts[0], "StringFileInfo"))
        return false;
    for (const auto& [block, table] : record.strings)
    {
        if (!SameText(block, parts[1]))
            continue;
        for (const auto& [name, value] : table)
            if (SameText(name, parts[2]))
            {
                out = value;
                return true;
            }
    }
    return false;
}

} // namespace res
