// The options of a test run, and the settings keys they are kept under: the one place the
// keys are spelt.
#pragma once

#include "platform/Types.h"

namespace fw {
class ISettingsStore;
}

namespace settings_keys {
inline constexpr const char* kSection = "Settings";
inline constexpr const char* kHighPriority = "HighPriority";
inline constexpr const char* kFastTest = "FastTest";
inline constexpr const char* kBurstTest = "BurstTest";
inline constexpr const char* kRandomAccess = "RandomAccess";
} // namespace settings_keys

struct SRunOptions
{
    BOOL m_bHighPriority = 1; // read at time-critical priority
    BOOL m_bFastTest = 0;     // sample about a hundred cylinders instead of all
    BOOL m_bBurstTest = 1;    // the read-burst test (the NT family only)
    BOOL m_bRandomAccess = 1; // the random access test

    friend bool operator==(const SRunOptions&, const SRunOptions&) = default;
};

// The options when nothing is stored: the burst test is on only on the NT family.
SRunOptions DefaultRunOptions(BOOL bNT);
// The stored options, each key missing taking its default.
SRunOptions ReadRunOptions(fw::ISettingsStore& settings, BOOL bNT);
// Stores the options, in the order they are read.
void WriteRunOptions(fw::ISettingsStore& settings, const SRunOptions& options);
