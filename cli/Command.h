// The sub-commands of ratemark-cli: each parses its own options and returns an exit code.
#pragma once

#include <CLI/CLI.hpp>

namespace cli {

enum ExitCode
{
    kExitOk = 0,
    kExitFailure = 1,
    kExitUsage = 2,
};

class CCommand
{
public:
    virtual ~CCommand() = default;
    // Runs the command after its options were parsed; returns the exit code.
    virtual int Perform() = 0;
};

class CListCommand : public CCommand
{
public:
    explicit CListCommand(CLI::App& parent);
    int Perform() override;
    CLI::App* m_pApp;

private:
    bool m_bJson = false;
};

class CPartitionsCommand : public CCommand
{
public:
    explicit CPartitionsCommand(CLI::App& parent);
    int Perform() override;
    CLI::App* m_pApp;

private:
    std::string m_strDrive;
    bool m_bJson = false;
};

} // namespace cli
