// The window tests' fixture: the real application object started with image-file drives in a
// private settings folder, the event loop pumped by the test, message boxes answered by it.
#pragma once

#include "fixtures/TempDir.h"
#include "framework/MessageBox.h"
#include "shell/Installation.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wx/image.h>
#include <wx/window.h>

class CRatemarkApp;
class CMainFrame;
class CRatemarkDoc;

namespace gui {

// Records every box and answers it: questions with the next scripted answer (Cancel when
// none is left), other boxes with OK.
class CRecordingBoxes : public fw::IMessageBoxService
{
public:
    int Show(const std::string& text, unsigned type) override;
    std::vector<std::string> m_texts;
    std::vector<int> m_answers;
};

// Runs the event loop: toolkit events, queued calls, timers and idle handling (which is when
// command states are updated).
void Pump(int ms = 0);
// Pumps until done() or ms have passed; returns done().
bool PumpUntil(const std::function<bool()>& done, int ms);

// A 400 MiB sparse image with an NTFS partition over cylinders 0 to 12 and a Linux one over
// 18 to 47; 50 cylinders of 255 × 63 sectors.
std::string MakePartitionedImage(const std::string& path);
// A sparse image of size bytes without partition table.
std::string MakePlainImage(const std::string& path, uint64_t size);

// The colour of a pixel as 0xRRGGBB.
uint32_t PixelAt(const wxImage& image, int x, int y);
inline constexpr uint32_t Rgb(int r, int g, int b)
{
    return static_cast<uint32_t>((r << 16) | (g << 8) | b);
}

// The window as it is on the screen.
wxImage CaptureWindow(wxWindow* window);
// Where screenshots kept as test artifacts go.
std::string ArtifactPath(const std::string& name);

// Answers the first start's "Create icons" question: Cancel unless m_bAnswerOk, counting the
// questions.
class CRecordingIconsPrompt : public ICreateIconsPrompt
{
public:
    bool Ask(SCreateIconsChoice& choice) override;
    int m_nAsked = 0;
    bool m_bAnswerOk = false;
    SCreateIconsChoice m_offered;
};

class CGuiTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the program with args (after the program name); true when start-up went on
    // to the window.
    bool Start(const std::vector<std::string>& args);
    // Closes the window as the user does, then lets the application shut down.
    void Close();
    // Writes a settings value before the next start.
    void PresetSetting(const std::string& key, int value);
    // The settings file's value of key; nDefault when missing.
    int StoredSetting(const std::string& key, int nDefault = -12345);

    CRatemarkApp& App();
    CMainFrame* Frame();
    CRatemarkDoc* Doc();
    // Sends a command of the menus and toolbar as the window receives it.
    void Command(uint32_t id);
    // Whether the command is enabled by its state handler, as menu and toolbar show it.
    bool IsCommandEnabled(uint32_t id);
    // Pumps until a run has ended and has been reaped.
    bool WaitForRunEnd(int ms = 30000);

    testing_fx::CTempDir m_dir;
    CRecordingBoxes m_boxes;
    CRecordingIconsPrompt m_icons;
    // Start waits until the splash has closed itself, so that no press goes to it.
    bool m_bWaitForSplash = true;
    std::string m_strOldCwd;
    bool m_bStarted = false;
};

} // namespace gui
