// ratemark-cli test: one test run through the document, the way the desktop program runs it.
#include "cli/Command.h"
#include "cli/ConsoleFront.h"
#include "cli/DriveArgument.h"
#include "engine/Commands.h"
#include "engine/RatemarkDoc.h"
#include "framework/MessageQueue.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "platform/Signals.h"
#include "views/DataList.h"
#include "views/GraphData.h"
#include "views/cairo/GraphImage.h"

#include <cstdio>

namespace cli {

namespace {

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

// Ctrl+C means "stop and write what was measured" until everything is written (a second one
// ends the program, see main).
bool Interrupted()
{
    return platform::InterruptCount() > 0;
}

// The message boxes of one run go to the console's service, and back afterwards.
class CBoxesScope
{
public:
    CBoxesScope(CConsoleBoxes& boxes, fw::CMessageQueue& queue)
    {
        fw::SetMessageBoxService(&boxes);
        fw::SetMessageBoxQueue(&queue);
    }
    ~CBoxesScope()
    {
        fw::SetMessageBoxQueue(nullptr);
        fw::SetMessageBoxService(nullptr);
    }
};

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
    auto* out = m_pApp->add_option("--out", m_strDat,
                                   "Write the speed curve as a .dat file (- for stdout)");
    out->excludes(from);
    m_pApp->add_option("--json", m_strJson, "Write the run as JSON (- for stdout)");
    m_pApp->add_option("--png", m_strPng, "Write the speed graph as a PNG picture");
    m_pApp->add_option("--svg", m_strSvg, "Write the speed graph as an SVG picture");
    m_pApp->add_option("--size", m_strSize, "Picture size WxH")->default_str("1024x600");
    m_pApp->add_flag("--quiet", m_bQuiet,
                     "No progress line; with an output on stdout, no information rows either");
}

CTestCommand::~CTestCommand() = default;

int CTestCommand::Perform()
{
    if (const int rc = CheckOptions())
        return rc;

    CAppCore core;
    SResolvedDrive resolved;
    if (const int rc = ResolveDriveArgument(core, m_strDrive, &resolved))
        return rc;
    if (m_bRange && !(m_nFrom < m_nTo && m_nTo <= resolved.Geometry.Cylinders))
    {
        PrintErr(Format("ratemark-cli: --from %u --to %u is no range of this drive's cylinders "
                        "(0 to %u)\n",
                        m_nFrom, m_nTo, resolved.Geometry.Cylinders));
        return kExitUsage;
    }
    std::vector<SOutput> specs;
    for (const SPreparedOutput& out : m_outputs)
        specs.push_back(out.Spec);
    if (const int rc = CheckOutputPaths(specs, resolved.Path))
        return rc;
    if (const int rc = PrepareOutputs())
        return rc;
    StoreRunOptions(core);

    const EReadErrorPolicy policy = m_strOnReadError == "continue" ? EReadErrorPolicy::Continue
                                    : m_strOnReadError == "stop"   ? EReadErrorPolicy::Stop
                                                                   : EReadErrorPolicy::Ask;
    fw::CMessageQueue queue;
    CConsoleBoxes boxes(policy, Interrupted);
    CBoxesScope boxesScope(boxes, queue);
    CConsoleFrame frame(queue, resolved.Index,
                        !m_bQuiet && platform::IsTerminal(platform::EStdStream::Err));
    CRatemarkDoc doc(&core, queue);
    frame.SetDocument(&doc);
    doc.SetMainFrame(&frame);
    if (!doc.OnNewDocument())
    {
        NoteOpenRefusal(core);
        if (doc.IsShortOfResultMemory())
            std::fprintf(stderr, "ratemark-cli: not enough memory for %u cylinders\n",
                         doc.GetCylinders());
        return kExitFailure;
    }
    NoteCacheUse(core, resolved);
    if (m_bRange)
        doc.SelectCylinders(m_nFrom, m_nTo);

    const SRunOutcome outcome = RunTest(doc, queue, frame);

    // The files first, so that a reader of stdout that goes away cannot cost them.
    const bool outputsOk = WriteOutputs(doc, core, resolved, boxes, outcome);
    PrintRows(doc);
    const bool readErrors = HadReadErrors(doc);

    // The document is left unmodified so that closing it asks nothing.
    doc.SetModifiedFlag(FALSE);
    doc.OnCloseDocument();

    if (outcome.m_eEnd == ERunEnd::Failed || !outputsOk)
        return kExitFailure;
    return readErrors ? kExitReadErrors : kExitOk;
}

int CTestCommand::CheckOptions()
{
    if (!ParseSize(m_strSize, &m_nWidth, &m_nHeight))
    {
        PrintErr(Format("ratemark-cli: --size must be WxH with sides from 1 to %d\n",
                        kMaxGraphImageSide));
        return kExitUsage;
    }
    m_bRange = m_pApp->count("--from") > 0;
    const struct
    {
        const char* Option;
        EOutputFormat Format;
        const std::string& Path;
    } options[] = {{"--out", EOutputFormat::Dat, m_strDat},
                   {"--json", EOutputFormat::Json, m_strJson},
                   {"--png", EOutputFormat::Png, m_strPng},
                   {"--svg", EOutputFormat::Svg, m_strSvg}};
    m_outputs.clear();
    for (const auto& o : options)
        if (m_pApp->count(o.Option) > 0)
        {
            SPreparedOutput out;
            out.Spec.Option = o.Option;
            out.Spec.Format = o.Format;
            out.Spec.Path = o.Path;
            m_bRowsToStderr = m_bRowsToStderr || out.Spec.ToStdout();
            m_outputs.push_back(std::move(out));
        }
    return kExitOk;
}

int CTestCommand::PrepareOutputs()
{
    // The temporaries are made before the run, so that a folder that refuses them costs no
    // measuring time.
    for (SPreparedOutput& out : m_outputs)
    {
        if (out.Spec.ToStdout())
            continue;
        int error = 0;
        if (out.Spec.Format == EOutputFormat::Dat)
        {
            try
            {
                out.Archive =
                    std::make_unique<fw::CFileArchive>(out.Spec.Path, fw::CArchive::store);
            }
            catch (const fw::CFileException& e)
            {
                error = e.m_lOsError;
            }
        }
        else
        {
            out.File = std::make_unique<platform::COutputFile>();
            error = out.File->Create(out.Spec.Path);
        }
        if (error)
        {
            PrintErr(WriteFailure(out.Spec, error));
            return kExitFailure;
        }
    }
    return kExitOk;
}

void CTestCommand::StoreRunOptions(CAppCore& core)
{
    // The options the document reads at its construction.
    SRunOptions options;
    options.m_bFastTest = m_bFast ? 1 : 0;
    options.m_bRandomAccess = m_bNoRandomAccess ? 0 : 1;
    options.m_bBurstTest = m_bNoBurst || !core.IsNT() ? 0 : 1;
    options.m_bHighPriority = m_bNoHighPriority ? 0 : 1;
    WriteRunOptions(core.GetSettings(), options);
}

SRunOutcome CTestCommand::RunTest(CRatemarkDoc& doc, fw::CMessageQueue& queue, CConsoleFrame& frame)
{
    doc.ExecuteCommand(ID_START_DIAGNOSTIC);
    bool stopAsked = false;
    while (doc.IsRunning())
    {
        queue.Pump(100);
        if (Interrupted() && !stopAsked)
        {
            doc.OnStop();
            stopAsked = true;
        }
    }
    queue.Pump();
    frame.EndProgress();
    return doc.GetLastRun();
}

bool CTestCommand::WriteResultFile(CRatemarkDoc& doc, CConsoleBoxes& boxes, SPreparedOutput& out)
{
    // The document writes its curve and reports a write error itself (10009); the reason
    // follows here.
    const size_t shown = boxes.Texts().size();
    int error = 0;
    if (out.Spec.ToStdout())
    {
        CStdoutArchive archive;
        doc.Serialize(archive);
        try
        {
            archive.Flush();
        }
        catch (const fw::CFileException&)
        {}
        error = archive.Error();
    }
    else
    {
        doc.Serialize(*out.Archive);
        try
        {
            out.Archive->Close();
        }
        catch (const fw::CFileException& e)
        {
            error = e.m_lOsError;
        }
        out.Archive.reset();
    }
    if (error)
        PrintErr(WriteFailure(out.Spec, error));
    return error == 0 && boxes.Texts().size() == shown;
}

bool CTestCommand::WriteJson(CRatemarkDoc& doc, const CAppCore& core, const SResolvedDrive& drive,
                             const SRunOutcome& outcome, SPreparedOutput& out)
{
    nlohmann::json stats = nlohmann::json::object();
    for (int r = 0; r < CRatemarkDoc::kStatCount; ++r)
    {
        const uint32_t v = doc.GetStat(r);
        stats[kStatRows[r].m_pszKey] =
            v == CRatemarkDoc::kNoValue ? nlohmann::json() : nlohmann::json(v);
    }
    const CReadingResult* results = m_bRange ? doc.GetSelResults() : doc.GetResults();
    const int32_t count = m_bRange ? doc.GetSelResultCount() : doc.GetResultCount();
    nlohmann::json list = nlohmann::json::array();
    for (int32_t i = 0; i < count; ++i)
        list.push_back({{"cylinder", results[i].m_nCylinder},
                        {"speed", results[i].m_nSpeed},
                        {"error", results[i].m_dwError}});
    // What the run was made of, not what was asked for: the sub-tests run on full whole-drive
    // runs only, the burst test on back-ends that have one.
    nlohmann::json options = {{"fast", outcome.m_bFast != 0},
                              {"random_access", outcome.m_bRandomAccessRan != 0},
                              {"burst", outcome.m_bBurstRan != 0},
                              {"high_priority", doc.IsHighPriority() != 0},
                              {"on_read_error", m_strOnReadError}};
    if (m_bRange)
    {
        options["from"] = m_nFrom;
        options["to"] = m_nTo;
    }
    const nlohmann::json run = {{"drive", DriveJson(core, drive.Path, drive.Geometry)},
                                {"options", options},
                                {"stats", stats},
                                {"results", list},
                                {"partitions", PartitionsJson(doc.GetDrive())},
                                {"ended", RunEndName(outcome.m_eEnd)}};
    const std::string text = run.dump(2) + "\n";
    int error = 0;
    if (out.Spec.ToStdout())
        error = platform::WriteStream(platform::EStdStream::Out, text.data(), text.size());
    else
    {
        error = out.File->Write(text.data(), text.size());
        if (!error)
            error = out.File->Commit();
        out.File.reset();
    }
    if (error)
        PrintErr(WriteFailure(out.Spec, error));
    return error == 0;
}

bool CTestCommand::WritePicture(CRatemarkDoc& doc, SPreparedOutput& out)
{
    const SGraphData data = GraphDataOf(doc);
    const EGraphImageFormat format =
        out.Spec.Format == EOutputFormat::Png ? EGraphImageFormat::Png : EGraphImageFormat::Svg;
    // The picture is painted into the temporary, which then takes the target's place.
    if (const uint32_t error =
            WriteGraphImage(data, m_nWidth, m_nHeight, out.File->WriterPath(), format))
    {
        PrintErr(DescribeError("ratemark-cli: cannot write the picture " + out.Spec.Path, error) +
                 "\n");
        out.File.reset();
        return false;
    }
    const int error = out.File->Commit();
    out.File.reset();
    if (error)
        PrintErr(WriteFailure(out.Spec, error));
    return error == 0;
}

bool CTestCommand::WriteOutputs(CRatemarkDoc& doc, const CAppCore& core,
                                const SResolvedDrive& drive, CConsoleBoxes& boxes,
                                const SRunOutcome& outcome)
{
    bool ok = true;
    for (SPreparedOutput& out : m_outputs)
    {
        switch (out.Spec.Format)
        {
        case EOutputFormat::Dat:
            ok = WriteResultFile(doc, boxes, out) && ok;
            break;
        case EOutputFormat::Json:
            ok = WriteJson(doc, core, drive, outcome, out) && ok;
            break;
        case EOutputFormat::Png:
        case EOutputFormat::Svg:
            ok = WritePicture(doc, out) && ok;
            break;
        }
    }
    return ok;
}

bool CTestCommand::HadReadErrors(CRatemarkDoc& doc) const
{
    const CReadingResult* results = m_bRange ? doc.GetSelResults() : doc.GetResults();
    const int32_t count = m_bRange ? doc.GetSelResultCount() : doc.GetResultCount();
    for (int32_t i = 0; i < count; ++i)
        if (results[i].m_dwError != 0)
            return true;
    return false;
}

void CTestCommand::PrintRows(CRatemarkDoc& doc)
{
    // With an output on stdout the rows go to stderr, or nowhere when asked to be quiet.
    if (m_bRowsToStderr && m_bQuiet)
        return;
    std::string rows;
    for (int r = 0; r < CRatemarkDoc::kStatCount; ++r)
        rows += Format("%-20s %s\n", GetStatLabel(r).c_str(), doc.GetStatText(r).c_str());
    if (m_bRowsToStderr)
        PrintErr(rows);
    else
        PrintOut(rows);
}

} // namespace cli
