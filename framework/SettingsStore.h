// The integer settings store (the registry profile on Windows) and its in-memory stand-in.
#pragma once

#include "platform/Types.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace fw {

class ISettingsStore
{
public:
    virtual ~ISettingsStore() = default;
    // The value of key in section, or nDefault when it is not stored.
    virtual int GetProfileInt(const std::string& section, const std::string& key, int nDefault) = 0;
    // Stores value; returns 0 when the store refused it.
    virtual BOOL WriteProfileInt(const std::string& section, const std::string& key, int value) = 0;
};

// Settings held in memory: for tests and for a console program that keeps none.
class CMemorySettingsStore : public ISettingsStore
{
public:
    int GetProfileInt(const std::string& section, const std::string& key, int nDefault) override
    {
        std::lock_guard lock(m_mutex);
        auto it = m_values.find({section, key});
        return it == m_values.end() ? nDefault : it->second;
    }
    BOOL WriteProfileInt(const std::string& section, const std::string& key, int value) override
    {
        std::lock_guard lock(m_mutex);
        m_values[{section, key}] = value;
        return TRUE;
    }
    bool Has(const std::string& section, const std::string& key) const
    {
        std::lock_guard lock(m_mutex);
        return m_values.count({section, key}) != 0;
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, int> m_values;
};

} // namespace fw
