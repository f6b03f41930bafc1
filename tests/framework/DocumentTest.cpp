// The document base: new-document preparation, views, command routing, the save protocol and
// the file archive's error reporting.
#include "framework/Document.h"
#include "fixtures/RecordingWindows.h"
#include "fixtures/TempDir.h"
#include "framework/Archive.h"
#include "framework/CmdUI.h"
#include "framework/SettingsStore.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace testing_fx;

namespace {

constexpr uint32_t kCmdHandled = 100, kCmdDisabled = 101;

class CLinesDoc : public fw::CDocument
{
public:
    CLinesDoc() { SetDocTemplateString("Ratemark\n\nRtMark\nDat Files (*.dat)\n.dat\nX.Doc\nX"); }
    void DeleteContents() override { ++m_nDeletes; }
    void Serialize(fw::CArchive& ar) override
    {
        if (!ar.IsStoring())
            return;
        try
        {
            for (int i = 0; i < m_nLines; ++i)
                ar.Write("0123456789\n", 11);
        }
        catch (const fw::CFileException&)
        {
            m_bSawError = true;
        }
    }
    BOOL OnUpdateCommand(fw::CCmdUI& ui) override
    {
        if (ui.m_nID == kCmdDisabled)
        {
            ui.Enable(FALSE);
            return TRUE;
        }
        return CDocument::OnUpdateCommand(ui);
    }
    BOOL OnCommand(uint32_t id) override
    {
        m_commands.push_back(id);
        return id == kCmdHandled || id == kCmdDisabled || CDocument::OnCommand(id);
    }

    int m_nLines = 3;
    int m_nDeletes = 0;
    bool m_bSawError = false;
    std::vector<uint32_t> m_commands;
};

class CScriptedPrompts : public fw::IDocumentPrompts
{
public:
    std::optional<std::string> AskSavePath(const std::string& proposed, const std::string& filter,
                                           const std::string& ext) override
    {
        m_asked.push_back(proposed + "|" + filter + "|" + ext);
        return m_path;
    }
    int AskSaveChanges(const std::string& title) override
    {
        m_questions.push_back(title);
        return m_nAnswer;
    }
    std::optional<std::string> m_path;
    int m_nAnswer = fw::kIdYes;
    std::vector<std::string> m_asked, m_questions;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class DocumentBase : public ::testing::Test
{
protected:
    fw::CMessageQueue m_queue;
    CScriptedBoxes m_boxes{&m_queue};
    CMessageBoxScope m_scope{&m_boxes, &m_queue};
    CTempDir m_dir;
    CScriptedPrompts m_prompts;
    CLinesDoc m_doc;

    void SetUp() override
    {
        m_doc.SetPrompts(&m_prompts);
        m_doc.SetTitle("HardDrive0");
    }
};

} // namespace

TEST_F(DocumentBase, NewDocumentClearsContentsPathAndModifiedFlag)
{
    m_doc.SetPathName(m_dir.File("old.dat"));
    m_doc.SetModifiedFlag();
    EXPECT_EQ(m_doc.GetTitle(), "old.dat");
    EXPECT_TRUE(m_doc.OnNewDocument());
    EXPECT_EQ(m_doc.m_nDeletes, 1);
    EXPECT_EQ(m_doc.GetPathName(), "");
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_FALSE(m_doc.OnOpenDocument(m_dir.File("old.dat")));
}

TEST_F(DocumentBase, ViewsAttachUpdateAndLeave)
{
    CRecordingView first(m_queue);
    auto second = std::make_unique<CRecordingView>(m_queue);
    m_doc.AddView(&first);
    m_doc.AddView(second.get());
    EXPECT_EQ(first.GetDocument(), &m_doc);
    EXPECT_EQ(first.m_updates.size(), 1u); // the initial update
    m_doc.UpdateAllViews(&first, 7);
    EXPECT_EQ(first.m_updates.size(), 1u);
    ASSERT_EQ(second->m_updates.size(), 2u);
    EXPECT_EQ(second->m_updates[1].Sender, &first);
    EXPECT_EQ(second->m_updates[1].Hint, 7);
    second.reset();
    EXPECT_EQ(m_doc.GetViews(), (std::vector<fw::CView*>{&first}));
}

TEST_F(DocumentBase, DisabledCommandsAreIgnored)
{
    EXPECT_TRUE(m_doc.ExecuteCommand(kCmdHandled));
    EXPECT_FALSE(m_doc.ExecuteCommand(kCmdDisabled));
    EXPECT_EQ(m_doc.m_commands, (std::vector<uint32_t>{kCmdHandled}));
}

TEST_F(DocumentBase, SaveAsProposesTitleWithExtensionAndSaveReusesThePath)
{
    const std::string path = m_dir.File("run.dat");
    m_prompts.m_path = path;
    m_doc.SetModifiedFlag();
    EXPECT_TRUE(m_doc.ExecuteCommand(fw::ID_FILE_SAVE_AS));
    EXPECT_EQ(m_prompts.m_asked,
              (std::vector<std::string>{"HardDrive0.dat|Dat Files (*.dat)|.dat"}));
    EXPECT_EQ(ReadFile(path), "0123456789\n0123456789\n0123456789\n");
    EXPECT_EQ(m_doc.GetPathName(), path);
    EXPECT_EQ(m_doc.GetTitle(), "run.dat");
    EXPECT_FALSE(m_doc.IsModified());

    m_doc.m_nLines = 1;
    m_doc.SetModifiedFlag();
    EXPECT_TRUE(m_doc.DoFileSave());
    EXPECT_EQ(m_prompts.m_asked.size(), 1u);
    EXPECT_EQ(ReadFile(path), "0123456789\n");
}

TEST_F(DocumentBase, SaveIsCancelledWithoutAName)
{
    m_doc.SetModifiedFlag();
    EXPECT_FALSE(m_doc.DoFileSave());
    EXPECT_TRUE(m_doc.IsModified());
}

TEST_F(DocumentBase, SaveBeforeReplaceFollowsTheAnswer)
{
    m_prompts.m_path = m_dir.File("kept.dat");
    struct SCase
    {
        int answer;
        BOOL goesOn;
        bool saved;
    };
    for (const SCase c : {SCase{fw::kIdYes, TRUE, true}, SCase{fw::kIdNo, TRUE, false},
                          SCase{fw::kIdCancel, FALSE, false}})
    {
        std::filesystem::remove(*m_prompts.m_path);
        m_doc.SetModifiedFlag();
        m_prompts.m_nAnswer = c.answer;
        const int deletes = m_doc.m_nDeletes;
        EXPECT_EQ(m_doc.OnFileNew(), c.goesOn) << c.answer;
        EXPECT_EQ(std::filesystem::exists(*m_prompts.m_path), c.saved) << c.answer;
        EXPECT_EQ(m_doc.m_nDeletes, deletes + (c.goesOn ? 1 : 0)) << c.answer;
    }
    // Not modified: nothing is asked.
    m_doc.SetModifiedFlag(FALSE);
    const size_t asked = m_prompts.m_questions.size();
    EXPECT_TRUE(m_doc.SaveModified());
    EXPECT_EQ(m_prompts.m_questions.size(), asked);
}

TEST_F(DocumentBase, FailedWritesKeepTheDocumentModified)
{
    // Past the archive's buffer the error surfaces inside Serialize; a short file's only at
    // the final flush, which the framework reports itself.
    struct SCase
    {
        int lines;
        bool serializeSaw;
        size_t frameworkBoxes;
    };
    for (const SCase c : {SCase{1000, true, 0}, SCase{2, false, 1}})
    {
        CLinesDoc doc;
        doc.m_nLines = c.lines;
        doc.SetModifiedFlag();
        const size_t before = m_boxes.Boxes().size();
        EXPECT_FALSE(doc.OnSaveDocument("/dev/full")) << c.lines;
        EXPECT_EQ(doc.m_bSawError, c.serializeSaw) << c.lines;
        EXPECT_EQ(m_boxes.Boxes().size() - before, c.frameworkBoxes) << c.lines;
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.GetPathName(), "");
    }
    CLinesDoc doc;
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnSaveDocument(m_dir.File("no/such/dir.dat")));
    EXPECT_TRUE(doc.IsModified());
}

TEST(FileArchive, ErrorsAreStickyAndReportedAtClose)
{
    fw::CFileArchive ar("/dev/full", fw::CArchive::store, 8);
    EXPECT_TRUE(ar.IsStoring());
    ar.Write("1234", 4);
    EXPECT_THROW(ar.Write("56789", 5), fw::CFileException);
    EXPECT_TRUE(ar.HasFailed());
    EXPECT_THROW(ar.Write("x", 1), fw::CFileException);
    try
    {
        ar.Close();
        ADD_FAILURE() << "Close reported success";
    }
    catch (const fw::CFileException& e)
    {
        EXPECT_EQ(e.m_lOsError, ENOSPC);
    }
    EXPECT_THROW(fw::CFileArchive("/nonexistent/dir/x", fw::CArchive::store), fw::CFileException);
}

TEST(CmdUI, RecordsOnlyWhatTheHandlerSet)
{
    fw::CCmdUI ui(32771);
    EXPECT_FALSE(ui.m_bEnableChanged || ui.m_bCheckChanged || ui.m_bRadioChanged);
    ui.Enable(FALSE);
    ui.SetRadio(7);
    EXPECT_TRUE(ui.m_bEnableChanged);
    EXPECT_EQ(ui.m_bEnabled, FALSE);
    EXPECT_EQ(ui.m_bRadio, TRUE);
    EXPECT_FALSE(ui.m_bCheckChanged);
}

TEST(MemorySettingsStore, StoresPerSectionWithDefaults)
{
    fw::CMemorySettingsStore store;
    EXPECT_EQ(store.GetProfileInt("Settings", "FastTest", 5), 5);
    EXPECT_TRUE(store.WriteProfileInt("Settings", "FastTest", 1));
    EXPECT_EQ(store.GetProfileInt("Settings", "FastTest", 5), 1);
    EXPECT_EQ(store.GetProfileInt("Other", "FastTest", 5), 5);
    EXPECT_TRUE(store.Has("Settings", "FastTest"));
}
