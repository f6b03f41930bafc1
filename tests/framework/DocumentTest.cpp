// The document base: new-document preparation, views, command routing, the save protocol and
// the file archive's error reporting.
#include "framework/Document.h"
#include "fixtures/RecordingWindows.h"
#include "fixtures/TempDir.h"
#include "framework/Archive.h"
#include "framework/CmdUI.h"
#include "framework/SettingsStore.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

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

// Writes to regular files fail past limit bytes (EFBIG) while it lives.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t limit)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// The names in dir, sorted.
std::vector<std::string> Names(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(DocumentBase, AFailedSaveLeavesTheOldFileThePathAndTheModifiedFlag)
{
    // Past the archive's buffer the error surfaces inside Serialize; a short file's only at
    // the final flush, which the framework reports itself.
    struct SCase
    {
        int lines;
        bool serializeSaw;
        size_t frameworkBoxes;
    };
    const std::string target = m_dir.File("curve.dat");
    for (const SCase c : {SCase{1000, true, 0}, SCase{2, false, 1}})
    {
        std::ofstream(target, std::ios::binary) << "0 100\n";
        CLinesDoc doc;
        doc.SetPathName(m_dir.File("earlier.dat"));
        doc.m_nLines = c.lines;
        doc.SetModifiedFlag();
        const size_t before = m_boxes.Boxes().size();
        {
            CFileSizeLimit limit(10);
            EXPECT_FALSE(doc.OnSaveDocument(target)) << c.lines;
        }
        EXPECT_EQ(doc.m_bSawError, c.serializeSaw) << c.lines;
        EXPECT_EQ(m_boxes.Boxes().size() - before, c.frameworkBoxes) << c.lines;
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.GetPathName(), m_dir.File("earlier.dat"));
        EXPECT_EQ(ReadFile(target), "0 100\n") << c.lines;
        EXPECT_EQ(Names(m_dir.Path()), std::vector<std::string>{"curve.dat"}) << c.lines;
    }
    // Targets that are no regular file, or have no folder, are refused before a byte.
    for (const std::string& path :
         {std::string("/dev/full"), std::string("/dev/null"), m_dir.File("no/such/dir.dat"),
          m_dir.Path().string(), std::string()})
    {
        CLinesDoc doc;
        doc.SetModifiedFlag();
        const size_t before = m_boxes.Boxes().size();
        EXPECT_FALSE(doc.OnSaveDocument(path)) << path;
        EXPECT_EQ(m_boxes.Boxes().size() - before, 1u) << path;
        EXPECT_TRUE(doc.IsModified()) << path;
        EXPECT_EQ(doc.GetPathName(), "") << path;
    }
    EXPECT_EQ(Names(m_dir.Path()), std::vector<std::string>{"curve.dat"});
}

TEST_F(DocumentBase, ASaveReplacesTheFileWholeAndWritesThroughALink)
{
    const std::string target = m_dir.File("curve.dat"), link = m_dir.File("latest.dat");
    std::ofstream(target, std::ios::binary) << std::string(5000, 'x');
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink(target, link);
    m_doc.m_nLines = 2;
    m_doc.SetModifiedFlag();
    EXPECT_TRUE(m_doc.OnSaveDocument(link));
    EXPECT_EQ(ReadFile(target), "0123456789\n0123456789\n");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::status(target).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    EXPECT_EQ(Names(m_dir.Path()), (std::vector<std::string>{"curve.dat", "latest.dat"}));
    EXPECT_FALSE(m_doc.IsModified());
}

TEST(FileArchive, ErrorsAreStickyAndReportedAtCloseAndNothingIsLeft)
{
    CTempDir dir;
    const std::string path = dir.File("out.dat");
    {
        CFileSizeLimit limit(6);
        fw::CFileArchive ar(path, fw::CArchive::store, 8);
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
            EXPECT_EQ(e.m_lOsError, EFBIG);
        }
    }
    EXPECT_TRUE(Names(dir.Path()).empty());
    {
        // An archive that is never closed leaves nothing either.
        fw::CFileArchive ar(path, fw::CArchive::store, 8);
        ar.Write("123456789", 9);
    }
    EXPECT_TRUE(Names(dir.Path()).empty());
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
