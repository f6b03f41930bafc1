// Reading and writing the run options.
#include "engine/RunOptions.h"

#include "framework/SettingsStore.h"

SRunOptions DefaultRunOptions(BOOL bNT)
{
    SRunOptions options;
    options.m_bBurstTest = bNT;
    return options;
}

SRunOptions ReadRunOptions(fw::ISettingsStore& settings, BOOL bNT)
{
    using namespace settings_keys;
    const SRunOptions d = DefaultRunOptions(bNT);
    SRunOptions options;
    options.m_bHighPriority = settings.GetProfileInt(kSection, kHighPriority, d.m_bHighPriority);
    options.m_bFastTest = settings.GetProfileInt(kSection, kFastTest, d.m_bFastTest);
    options.m_bBurstTest = settings.GetProfileInt(kSection, kBurstTest, d.m_bBurstTest);
    options.m_bRandomAccess = settings.GetProfileInt(kSection, kRandomAccess, d.m_bRandomAccess);
    return options;
}

void WriteRunOptions(fw::ISettingsStore& settings, const SRunOptions& options)
{
    using namespace settings_keys;
    settings.WriteProfileInt(kSection, kHighPriority, options.m_bHighPriority);
    settings.WriteProfileInt(kSection, kFastTest, options.m_bFastTest);
    settings.WriteProfileInt(kSection, kBurstTest, options.m_bBurstTest);
    settings.WriteProfileInt(kSection, kRandomAccess, options.m_bRandomAccess);
}
