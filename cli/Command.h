// The sub-commands of ratemark-cli: each parses its own options and returns an exit code.
#pragma once

#include <CLI/CLI.hpp>

namespace cli {

enum ExitCode
{
    kExitOk = 0,
    kExitFailure = 1,
    kExitUsage = 2,
    kExitReadErrors = 3,
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

class CTestCommand : public CCommand
{
public:
    explicit CTestCommand(CLI::App& parent);
    int Perform() override;
    CLI::App* m_pApp;

private:
    std::string m_strDrive;
    bool m_bFast = false;
    bool m_bFull = false;
    uint32_t m_nFrom = 0;
    uint32_t m_nTo = 0;
    bool m_bNoRandomAccess = false;
    bool m_bNoBurst = false;
    bool m_bNoHighPriority = false;
    std::string m_strOnReadError = "ask";
    std::string m_strDat;
    std::string m_strJson;
    std::string m_strPng;
    std::string m_strSvg;
    std::string m_strSize = "1024x600";
    bool m_bQuiet = false;
};

} // namespace cli
