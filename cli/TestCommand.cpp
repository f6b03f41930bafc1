// ratemark-cli test: one test run through the document, the way the desktop program runs it.
#include "cli/Command.h"
#include "cli/ConsoleFront.h"
#include "cli/DriveArgument.h"
#include "engine/Commands.h"
#include "engine/RatemarkDoc.h"
#include "framework/MessageQueue.h"
#include "platform/Errors.h"
#include "views/DataList.h"
#include "views/GraphData.h"
#include "views/cairo/GraphImage.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <unistd.h>

namespace cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int)
{
    g_interrupted = 1;
}

// Ctrl+C asks for a stop; a second one ends the program at once.
class CInterruptScope
{
public:
    CInterruptScope()
    {
        g_interrupted = 0;
        struct sigaction sa
        {};
        sa.sa_handler = OnInterrupt;
        sa.sa_flags = SA_RESETHAND; // no SA_RESTART: a prompt's read returns
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &m_old);
    }
    ~CInterruptScope() { sigaction(SIGINT, &m_old, nullptr); }

private:
    struct sigaction m_old
    {};
};

const char* const kStatKeys[CRatemarkDoc::kStatCount] = {
    "cylinders",     "heads",         "sectors",          "access_time",
    "burst_speed",   "max_speed",     "min_speed",        "min_speed_cylinder",
    "average_speed", "current_speed", "current_cylinder", "cylinders_tested",
    "test_time"};

// Writes text to path ("-" for stdout); false with a message on stderr when it cannot.
bool WriteText(const std::string& path, const std::string& text, const char* what)
{
    if (path == "-")
    {
        std::cout << text;
        std::cout.flush();
        return static_cast<bool>(std::cout);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
    {
        out << text;
        out.flush();
    }
    if (!out)
    {
        std::fprintf(stderr, "ratemark-cli: cannot write the %s to %s\n", what, path.c_str());
        return false;
    }
    return true;
}

bool ParseSize(const std::string& text, int32_t* w, int32_t* h)
{
    unsigned long a = 0, b = 0;
    char x = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%lu%c%lu%c", &a, &x, &b, &rest) != 3 || (x != 'x' && x != 'X'))
        return false;
    if (a < 1 || b < 1 || a > kMaxGraphImageSide || b > kMaxGraphImageSide)
        return false;
    *w = static_cast<int32_t>(a);
    *h = static_cast<int32_t>(b);
    return true;
}

} // namespace

CTestCommand::CTestCommand(CLI::App& parent)
    : m_pApp(parent.add_subcommand("test", "Measure a drive's read speed across its surface"))
{
    m_pApp->add_option("--drive", m_strDrive, "Index in the drive list, or a device or image path")
        ->required();
    auto* fast = m_pApp->add_flag("--fast", m_bFast, "Fast test: about a hundred sample cylinders");
    auto* full = m_pApp->add_flag("--full", m_bFull, "Full test: every track (the default)");
    fast->excludes(full);
    auto* from = m_pApp->add_option("--from", m_nFrom, "First cylinder of a range run");
    auto* to = m_pApp->add_option("--to", m_nTo, "Cylinder after the last one of a range run");
    from->needs(to);
    to->needs(from);
    m_pApp->add_flag("--no-random-access", m_bNoRandomAccess, "Skip the random access test");
    m_pApp->add_flag("--no-burst", m_bNoBurst, "Skip the read burst speed test");
    m_pApp->add_flag("--no-high-priority", m_bNoHighPriority,
                     "Read at normal priority instead of the highest");
    m_pApp->add_option("--on-read-error", m_strOnReadError, "ask (on a terminal), continue or stop")
        ->check(CLI::IsMember({"ask", "continue", "stop"}));
    auto* out = m_pApp->add_option("--out", m_strDat, "Write the speed curve as a .dat file");
    out->excludes(from);
    m_pApp->add_option("--json", m_strJson, "Write the run as JSON (- for stdout)");
    m_pApp->add_option("--png", m_strPng, "Write the speed graph as a PNG picture");
    m_pApp->add_option("--svg", m_strSvg, "Write the speed graph as an SVG picture");
    m_pApp->add_option("--size", m_strSize, "Picture size WxH")->default_str("1024x600");
    m_pApp->add_flag("--quiet", m_bQuiet, "No progress line");
}

int CTestCommand::Perform()
{
    int32_t width = 1024, height = 600;
    if (!ParseSize(m_strSize, &width, &height))
    {
        std::fprintf(stderr, "ratemark-cli: --size must be WxH with sides from 1 to %d\n",
                     kMaxGraphImageSide);
        return kExitUsage;
    }
    const bool range = m_pApp->count("--from") > 0;
    EReadErrorPolicy policy = EReadErrorPolicy::Ask;
    if (m_strOnReadError == "continue")
        policy = EReadErrorPolicy::Continue;
    else if (m_strOnReadError == "stop")
        policy = EReadErrorPolicy::Stop;

    CAppCore core;
    SResolvedDrive resolved;
    if (const int rc = ResolveDriveArgument(core, m_strDrive, &resolved))
        return rc;
    if (range && !(m_nFrom < m_nTo && m_nTo <= resolved.Geometry.Cylinders))
    {
        std::fprintf(stderr,
                     "ratemark-cli: --from %u --to %u is no range of this drive's cylinders "
                     "(0 to %u)\n",
                     m_nFrom, m_nTo, resolved.Geometry.Cylinders);
        return kExitUsage;
    }

    // The options the document reads at its construction.
    fw::ISettingsStore& settings = core.GetSettings();
    settings.WriteProfileInt("Settings", "FastTest", m_bFast ? 1 : 0);
    settings.WriteProfileInt("Settings", "RandomAccess", m_bNoRandomAccess ? 0 : 1);
    settings.WriteProfileInt("Settings", "BurstTest", m_bNoBurst || !core.IsNT() ? 0 : 1);
    settings.WriteProfileInt("Settings", "HighPriority", m_bNoHighPriority ? 0 : 1);

    fw::CMessageQueue queue;
    CConsoleBoxes boxes(policy, &g_interrupted);
    fw::SetMessageBoxService(&boxes);
    fw::SetMessageBoxQueue(&queue);
    struct SRestoreBoxes
    {
        ~SRestoreBoxes()
        {
            fw::SetMessageBoxQueue(nullptr);
            fw::SetMessageBoxService(nullptr);
        }
    } restoreBoxes;

    CConsoleFrame frame(queue, resolved.Index, !m_bQuiet && isatty(STDERR_FILENO));
    CRatemarkDoc doc(&core, queue);
    frame.SetDocument(&doc);
    doc.SetMainFrame(&frame);
    if (!doc.OnNewDocument())
    {
        if (doc.IsShortOfResultMemory())
            std::fprintf(stderr, "ratemark-cli: not enough memory for %u cylinders\n",
                         doc.GetCylinders());
        return kExitFailure;
    }
    NoteCacheUse(core, resolved);
    if (range)
        doc.SelectCylinders(m_nFrom, m_nTo);

    std::string ended = "completed";
    {
        CInterruptScope interrupts;
        doc.ExecuteCommand(ID_START_DIAGNOSTIC);
        bool stopAsked = false;
        while (doc.IsRunning())
        {
            queue.Pump(100);
            if (g_interrupted && !stopAsked)
            {
                doc.OnStop();
                stopAsked = true;
            }
        }
        queue.Pump();
        frame.EndProgress();
        if (boxes.Failed() || !frame.Began())
            ended = "failed";
        else if (boxes.Cancelled())
            ended = "cancelled";
        else if (stopAsked)
            ended = "stopped";
    }

    // What the run stored: the selection's results for a range run.
    const CReadingResult* results = range ? doc.GetSelResults() : doc.GetResults();
    const int32_t count = range ? doc.GetSelResultCount() : doc.GetResultCount();
    bool readErrors = false;
    for (int32_t i = 0; i < count; ++i)
        readErrors = readErrors || results[i].m_dwError != 0;

    for (int r = 0; r < CRatemarkDoc::kStatCount; ++r)
        std::printf("%-20s %s\n", GetStatLabel(r).c_str(), doc.GetStatText(r).c_str());
    std::fflush(stdout);

    bool outputsOk = true;
    if (!m_strDat.empty())
    {
        const size_t shown = boxes.Texts().size();
        // The document reports a write error itself (10009), through the boxes.
        if (!doc.OnSaveDocument(m_strDat) || boxes.Texts().size() != shown)
            outputsOk = false;
    }
    if (!m_strJson.empty())
    {
        nlohmann::json stats = nlohmann::json::object();
        for (int r = 0; r < CRatemarkDoc::kStatCount; ++r)
        {
            const uint32_t v = doc.GetStat(r);
            stats[kStatKeys[r]] =
                v == CRatemarkDoc::kNoValue ? nlohmann::json() : nlohmann::json(v);
        }
        nlohmann::json list = nlohmann::json::array();
        for (int32_t i = 0; i < count; ++i)
            list.push_back({{"cylinder", results[i].m_nCylinder},
                            {"speed", results[i].m_nSpeed},
                            {"error", results[i].m_dwError}});
        nlohmann::json options = {{"fast", doc.IsFastTest() != 0},
                                  {"random_access", doc.IsRandomAccess() != 0},
                                  {"burst", doc.IsBurstTest() != 0},
                                  {"high_priority", doc.IsHighPriority() != 0},
                                  {"on_read_error", m_strOnReadError}};
        if (range)
        {
            options["from"] = m_nFrom;
            options["to"] = m_nTo;
        }
        const nlohmann::json run = {{"drive", DriveJson(core, resolved.Path, resolved.Geometry)},
                                    {"options", options},
                                    {"stats", stats},
                                    {"results", list},
                                    {"partitions", PartitionsJson(doc.GetDrive())},
                                    {"ended", ended}};
        outputsOk = WriteText(m_strJson, run.dump(2) + "\n", "JSON") && outputsOk;
    }
    if (!m_strPng.empty() || !m_strSvg.empty())
    {
        const SGraphData data = GraphDataOf(doc);
        const std::pair<const std::string*, EGraphImageFormat> pictures[] = {
            {&m_strPng, EGraphImageFormat::Png}, {&m_strSvg, EGraphImageFormat::Svg}};
        for (const auto& [path, format] : pictures)
        {
            if (path->empty())
                continue;
            if (const uint32_t error = WriteGraphImage(data, width, height, *path, format))
            {
                std::fprintf(stderr, "%s\n",
                             DescribeError("ratemark-cli: cannot write the picture " + *path, error)
                                 .c_str());
                outputsOk = false;
            }
        }
    }
    // The document is left unmodified so that closing it asks nothing.
    doc.SetModifiedFlag(FALSE);
    doc.OnCloseDocument();

    if (ended == "failed" || !outputsOk)
        return kExitFailure;
    return readErrors ? kExitReadErrors : kExitOk;
}

} // namespace cli
