// The program's version record (the version resource on Windows) and its lookups.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace res {

struct SVersionRecord
{
    struct STranslation
    {
        uint16_t wLanguage;
        uint16_t wCodePage;
    };
    // "\VarFileInfo\Translation": the languages and code pages the string tables are in.
    std::vector<STranslation> translations;
    // "\StringFileInfo\<block>\<name>": one table per block named by eight upper-case hex
    // digits (language id × 65536 + code page).
    std::map<std::string, std::map<std::string, std::string>> strings;
};

// The record of this program, built from the project's version: translation 0x0409 with code
// page 0x04B0, and FileVersion "3, 0, 1, 0" for version 3.0.1.0.
const SVersionRecord& ProgramVersionRecord();

// The program's version as the project states it, "3.0.1.0".
const char* ProgramVersion();

// The translation list of subBlock "\VarFileInfo\Translation"; false for any other sub-block
// or an empty list.
bool VerQueryTranslations(const SVersionRecord& record, const std::string& subBlock,
                          std::vector<SVersionRecord::STranslation>& out);

// The string at subBlock "\StringFileInfo\<block>\<name>" (names compared without regard to
// case, as the system does); false when the record has no such value.
bool VerQueryString(const SVersionRecord& record, const std::string& subBlock, std::string& out);

} // namespace res
