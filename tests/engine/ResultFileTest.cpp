// The result file: "%d %d\n" lines of the whole-drive curve, saving, and a write that fails.
#include "EngineFixture.h"
#include "fixtures/TempDir.h"
#include "framework/Archive.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>

using namespace testing_fx;

namespace {

class CPrompts : public fw::IDocumentPrompts
{
public:
    std::optional<std::string> AskSavePath(const std::string& proposed, const std::string&,
                                           const std::string&) override
    {
        m_proposed.push_back(proposed);
        return m_path;
    }
    int AskSaveChanges(const std::string&) override { return m_nAnswer; }
    std::string m_path;
    int m_nAnswer = fw::kIdYes;
    std::vector<std::string> m_proposed;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

class ResultFile : public EngineTest
{
protected:
    CTempDir m_dir;
    CPrompts m_prompts;

    void BindForFile(const GEOMETRY& g)
    {
        Bind(g);
        m_doc->SetPrompts(&m_prompts);
        m_prompts.m_path = m_dir.File("out.dat");
    }
    bool SaveEnabled()
    {
        fw::CCmdUI ui(fw::ID_FILE_SAVE_AS);
        m_doc->OnUpdateCommand(ui);
        return ui.m_bEnabled;
    }
};

TEST_F(ResultFile, FullRunWritesOneLinePerCylinder)
{
    BindForFile(GEOMETRY{0, 1000, 1, 1, 512});
    EXPECT_FALSE(SaveEnabled()) << "nothing to save before a run";
    Run();
    EXPECT_TRUE(SaveEnabled());
    ASSERT_TRUE(m_doc->ExecuteCommand(fw::ID_FILE_SAVE_AS));
    EXPECT_EQ(m_prompts.m_proposed, (std::vector<std::string>{"HardDrive0.dat"}));
    const std::string text = ReadFile(m_prompts.m_path);
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(lines.front(), "0 512");
    EXPECT_EQ(lines.back(), "999 512");
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(m_doc->GetTitle(), "out.dat");
    EXPECT_FALSE(SaveEnabled());

    // A second run and Ctrl+S: the same file, no second question.
    m_drive.SetScript([](const SChsRead&, size_t) { return SReadOutcome{1, 1, 2, 0}; });
    Run();
    ASSERT_TRUE(m_doc->ExecuteCommand(fw::ID_FILE_SAVE));
    EXPECT_EQ(m_prompts.m_proposed.size(), 1u);
    EXPECT_EQ(Lines(ReadFile(m_prompts.m_path)).front(), "0 256");
}

TEST_F(ResultFile, FastRunWritesItsSamples)
{
    // One track of 1 024 bytes per cylinder: speed = F / ticks.
    m_env.m_nFrequency = 10080 * 10070;
    m_drive.SetScript([](const SChsRead& r, size_t) {
        return SReadOutcome{1, SReadOutcome::kAll, r.Cylinder == 2 ? 10080 : 10070, 0};
    });
    BindForFile(GEOMETRY{0, 250, 10, 2, 512});
    m_doc->ExecuteCommand(ID_FAST_TEST);
    Run();
    ASSERT_TRUE(m_doc->OnSaveDocument(m_prompts.m_path));
    const std::vector<std::string> lines = Lines(ReadFile(m_prompts.m_path));
    ASSERT_EQ(lines.size(), 126u);
    EXPECT_EQ(lines[0], "0 10080");
    EXPECT_EQ(lines[1], "2 10070");
    EXPECT_EQ(lines.back(), "249 10080");
}

TEST_F(ResultFile, StoppedRunAndSelectionRun)
{
    CGate gate;
    m_drive.SetScript([&](const SChsRead& r, size_t index) {
        if (r.Cylinder == 5 && index > 0)
            gate.Arrive();
        return SReadOutcome{};
    });
    BindForFile(GEOMETRY{0, 100, 1, 1, 512});
    ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
    ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));
    m_doc->ExecuteCommand(ID_STOP_DIAGNOSTIC);
    gate.Release();
    ASSERT_TRUE(PumpUntil([&] { return !m_doc->IsRunning(); }));
    const std::string expected = "0 512\n1 512\n2 512\n3 512\n4 512\n5 512\n";

    // A selection run does not reach the file.
    m_doc->SetSelection(50, 60, 100);
    Run();
    ASSERT_EQ(SelResults().size(), 10u);
    ASSERT_TRUE(m_doc->OnSaveDocument(m_prompts.m_path));
    EXPECT_EQ(ReadFile(m_prompts.m_path), expected);

    // Reading archives are left alone.
    fw::CFileArchive in(m_prompts.m_path, fw::CArchive::load);
    m_doc->Serialize(in);
    EXPECT_EQ(ReadFile(m_prompts.m_path), expected);
}

TEST_F(ResultFile, WriteErrorIsReportedAndTheDocumentStaysModified)
{
    BindForFile(GEOMETRY{0, 1000, 1, 1, 512});
    Run();
    // The file system refuses the file past its first bytes (a file-size limit stands in for
    // a full disk); the earlier file stays as it was.
    std::ofstream(m_prompts.m_path, std::ios::binary) << "earlier\n";
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit lowered = old;
    lowered.rlim_cur = 10;
    setrlimit(RLIMIT_FSIZE, &lowered);
    const BOOL saved = m_doc->OnSaveDocument(m_prompts.m_path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(m_prompts.m_path), "earlier\n");
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{"Writing to file error"}));
    EXPECT_EQ(m_boxes.Boxes()[0].Type, unsigned{fw::kMbOk | fw::kMbIconHand});
    EXPECT_TRUE(m_doc->IsModified());
    EXPECT_EQ(m_doc->GetPathName(), "");
    EXPECT_TRUE(SaveEnabled());
}

TEST_F(ResultFile, SavingBeforeCloseDuringARunStopsTheWorkerFirst)
{
    CGate gate;
    m_drive.SetScript([&](const SChsRead& r, size_t index) {
        if (r.Cylinder == 3 && index > 0)
            gate.Arrive();
        return SReadOutcome{};
    });
    BindForFile(GEOMETRY{0, 100, 1, 1, 512});
    ASSERT_TRUE(m_doc->ExecuteCommand(ID_START_DIAGNOSTIC));
    ASSERT_TRUE(PumpUntil([&] { return gate.Arrived(); }));
    gate.Release();
    // The framework offers to save a modified document before it closes.
    ASSERT_TRUE(m_doc->SaveModified());
    const std::vector<std::string> lines = Lines(ReadFile(m_prompts.m_path));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.size(), static_cast<size_t>(m_doc->GetResultCount()));
    EXPECT_TRUE(m_doc->IsIdle());
    m_doc->OnCloseDocument();
}
