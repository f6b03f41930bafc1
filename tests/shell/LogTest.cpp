// The diagnostic log: one time-stamped line per call, appended, and dropped when the file is
// held or cannot be opened.
#include "shell/Log.h"

#include "fixtures/TempDir.h"
#include "platform/ExclusiveFile.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Runs the test in a temporary directory, where the log goes.
class LogTest : public ::testing::Test
{
protected:
    LogTest() : m_previous(fs::current_path()) { fs::current_path(m_dir.Path()); }
    ~LogTest() override { fs::current_path(m_previous); }

    std::string Content() const
    {
        std::ifstream in(m_dir.File(kLogFileName), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testing_fx::CTempDir m_dir;
    fs::path m_previous;
};

// The length of the time stamp "March 05, 2009, 14:03:07 " that line starts with, 0 when it
// starts with none.
size_t StampLength(const std::string& line)
{
    static const char* const months[] = {"January",   "February", "March",    "April",
                                         "May",       "June",     "July",     "August",
                                         "September", "October",  "November", "December"};
    for (const char* month : months)
    {
        const std::string name = std::string(month) + " ";
        if (line.rfind(name, 0) != 0)
            continue;
        // Then "DD, YYYY, HH:MM:SS ", digits where the template has a 9.
        const std::string shape = "99, 9999, 99:99:99 ";
        if (line.size() < name.size() + shape.size())
            return 0;
        for (size_t i = 0; i < shape.size(); ++i)
        {
            const char c = line[name.size() + i];
            if (shape[i] == '9' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i])
                return 0;
        }
        return name.size() + shape.size();
    }
    return 0;
}

// The messages of the lines WriteLog wrote, each behind its time stamp and ended by a line
// end; a single "<not a log line: ...>" for the first line that is none.
std::vector<std::string> Messages(const std::string& text)
{
    std::vector<std::string> messages;
    for (size_t at = 0; at < text.size();)
    {
        const size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        const size_t stamp = StampLength(line);
        if (end == std::string::npos || stamp == 0)
            return {"<not a log line: " + line.substr(0, 40) + ">"};
        messages.push_back(line.substr(stamp));
        at = end + 1;
    }
    return messages;
}

} // namespace

TEST(LogTimeStamp, FullEnglishMonthTwoDigitDayAndTrailingBlank)
{
    std::tm t{};
    t.tm_year = 2009 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 3;
    t.tm_sec = 7;
    EXPECT_EQ(LogTimeStamp(t), "March 05, 2009, 14:03:07 ");

    const char* months[] = {"January", "February", "March",     "April",   "May",      "June",
                            "July",    "August",   "September", "October", "November", "December"};
    for (int m = 0; m < 12; ++m)
    {
        t.tm_mon = m;
        EXPECT_EQ(LogTimeStamp(t).rfind(std::string(months[m]) + " 05, 2009", 0), 0u) << m;
    }
}

TEST_F(LogTest, FirstCallCreatesTheFileWithOneLineAndLaterCallsAppendInOrder)
{
    ASSERT_FALSE(fs::exists(kLogFileName));
    WriteLog("Try to GetDrives().");
    EXPECT_EQ(Messages(Content()), std::vector<std::string>{"Try to GetDrives()."});

    WriteLog("%d HDDs were found.", 2);
    WriteLog("Add  geometry to array.");
    WriteLog("0x%X drive geometry is Cylinders = %d", 0x80, 1024);
    EXPECT_EQ(Messages(Content()),
              (std::vector<std::string>{"Try to GetDrives().", "2 HDDs were found.",
                                        "Add  geometry to array.",
                                        "0x80 drive geometry is Cylinders = 1024"}));
}

TEST_F(LogTest, AppendsBehindExistingContentAndKeepsLongMessagesWhole)
{
    {
        std::ofstream(kLogFileName, std::ios::binary) << "earlier run\n";
    }
    const std::string longText(100000, 'x');
    WriteLog("%s!", longText.c_str());
    const std::string content = Content();
    ASSERT_EQ(content.rfind("earlier run\n", 0), 0u);
    EXPECT_EQ(Messages(content.substr(12)), std::vector<std::string>{longText + "!"});
}

TEST_F(LogTest, AFileHeldByAnotherOpenerIsLeftUnchanged)
{
    WriteLog("Application is started!");
    const std::string before = Content();

    // Held in this process.
    std::FILE* held = platform::OpenExclusiveAppend(kLogFileName);
    ASSERT_NE(held, nullptr);
    WriteLog("Application is exited!");
    EXPECT_EQ(Content(), before);
    platform::CloseExclusive(held);

    // Held by another process.
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        std::FILE* file = platform::OpenExclusiveAppend(kLogFileName);
        const char held = file ? 'y' : 'n';
        (void)!write(ready[1], &held, 1);
        pollfd wait{release[0], POLLIN, 0};
        poll(&wait, 1, 10000);
        _exit(0);
    }
    char childHeld = 0;
    pollfd wait{ready[0], POLLIN, 0};
    ASSERT_EQ(poll(&wait, 1, 10000), 1);
    ASSERT_EQ(read(ready[0], &childHeld, 1), 1);
    EXPECT_EQ(childHeld, 'y');
    WriteLog("Application is exited!");
    EXPECT_EQ(Content(), before);
    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        close(fd);

    WriteLog("Application is exited!");
    EXPECT_EQ(Messages(Content().substr(before.size())),
              std::vector<std::string>{"Application is exited!"});
}

TEST_F(LogTest, AFileThatCannotBeOpenedDropsTheLine)
{
    fs::create_directory(kLogFileName);
    WriteLog("Application is started!");
    EXPECT_TRUE(fs::is_directory(kLogFileName));
    EXPECT_TRUE(fs::is_empty(kLogFileName));
}

TEST_F(LogTest, ALinkDeviceOrPipeInThePlaceOfTheLogReceivesNothing)
{
    // A planted name must never carry the log into another file, least of all a drive image.
    const std::string image = m_dir.File("drive.img");
    const std::string imageBytes(4096, 'D');
    std::ofstream(image, std::ios::binary) << imageBytes;
    const auto imageContent = [&] {
        std::ifstream in(image, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    const struct
    {
        const char* What;
        std::function<void()> Plant;
    } cases[] = {
        {"a symbolic link to the image", [&] { fs::create_symlink(image, kLogFileName); }},
        {"a dangling symbolic link",
         [&] { fs::create_symlink(m_dir.File("nowhere.img"), kLogFileName); }},
        {"a second name of the image", [&] { fs::create_hard_link(image, kLogFileName); }},
        {"a named pipe", [&] { ASSERT_EQ(mkfifo(kLogFileName, 0600), 0); }},
        {"a link to a character device", [&] { fs::create_symlink("/dev/null", kLogFileName); }},
    };
    for (const auto& c : cases)
    {
        c.Plant();
        WriteLog("Application is started!");
        EXPECT_EQ(imageContent(), imageBytes) << c.What;
        EXPECT_FALSE(fs::exists(m_dir.File("nowhere.img"))) << c.What;
        fs::remove(kLogFileName);
    }
    // The plain file is written again once the planted name is gone.
    WriteLog("Application is exited!");
    EXPECT_EQ(Messages(Content()), std::vector<std::string>{"Application is exited!"});
}

TEST_F(LogTest, TraceLinesOfTheCoreGoToTheLog)
{
    CLogTraceSink sink;
    fw::CTraceSinkScope scope(&sink);
    try
    {
        throw std::runtime_error("bad geometry");
    }
    catch (...)
    {
        fw::TraceCurrentException("Test run");
    }
    const std::string content = Content();
    ASSERT_FALSE(content.empty());
    const size_t stamp = StampLength(content);
    ASSERT_GT(stamp, 0u) << content;
    EXPECT_EQ(content.substr(stamp), "Test run: unexpected exception: bad geometry\n");
}
