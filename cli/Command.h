// The sub-commands of ratemark-cli: each parses its own options and returns an exit code.
#pragma once

#include "cli/Output.h"
#include "engine/RunOutcome.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

class CAppCore;
namespace fw {
class CMessageQueue;
}
class CRatemarkDoc;

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

class CConsoleBoxes;
class CConsoleFrame;
struct SResolvedDrive;

class CTestCommand : public CCommand
{
public:
    explicit CTestCommand(CLI::App& parent);
    ~CTestCommand() override;
    int Perform() override;
    CLI::App* m_pApp;

private:
    // An output with, once prepared, the temporary it is written into.
    struct SPreparedOutput
    {
        SOutput Spec;
        std::unique_ptr<platform::COutputFile> File; // JSON and pictures
        std::unique_ptr<fw::CFileArchive> Archive;   // the result file
    };

    // The steps of Perform, in order; each that can fail returns 0 or the exit code.
    int CheckOptions();
    int PrepareOutputs();
    void StoreRunOptions(CAppCore& core);
    SRunOutcome RunTest(CRatemarkDoc& doc, fw::CMessageQueue& queue, CConsoleFrame& frame);
    bool WriteResultFile(CRatemarkDoc& doc, CConsoleBoxes& boxes, SPreparedOutput& out);
    bool WriteJson(CRatemarkDoc& doc, const CAppCore& core, const SResolvedDrive& drive,
                   const SRunOutcome& outcome, SPreparedOutput& out);
    bool WritePicture(CRatemarkDoc& doc, SPreparedOutput& out);
    // All the files and a stdout output, each whole or not at all; false when one failed.
    bool WriteOutputs(CRatemarkDoc& doc, const CAppCore& core, const SResolvedDrive& drive,
                      CConsoleBoxes& boxes, const SRunOutcome& outcome);
    void PrintRows(CRatemarkDoc& doc);
    bool HadReadErrors(CRatemarkDoc& doc) const;

    // Set by CheckOptions.
    int32_t m_nWidth = 1024;
    int32_t m_nHeight = 600;
    bool m_bRange = false;
    bool m_bRowsToStderr = false;
    std::vector<SPreparedOutput> m_outputs;

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
