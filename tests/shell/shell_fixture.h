// Shared set-up for tests that drive the real windows: start-up as the entry runs it (without
// the message loop), message pumping, and synthetic mouse input for the paths that read the
// device state rather than the message.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

// Starts MainFrame fresh for every test and destroys it afterwards, restoring the program-wide
// values the windows leave behind (image, scroll offsets, flags) so tests stay independent.
class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Runs start-up with this full command line (program name first) and returns MainFrame.
    HWND Start(const std::string& commandLine = "velmora.exe");
};

// Dispatches everything queued for this thread.
void PumpMessages();
// Pumps until the predicate holds or the time runs out; returns the predicate's last answer.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000);

std::string WindowText(HWND window);
std::string StatusBarText();

// Left button held through SendInput, released when the guard ends even if a test fails.
class SyntheticButton {
  public:
    SyntheticButton();
    ~SyntheticButton();
    SyntheticButton(const SyntheticButton&) = delete;
    SyntheticButton& operator=(const SyntheticButton&) = delete;
    void Release();

  private:
    bool down;
};

// Moves the real cursor to a screen point with SendInput and returns where it landed.
POINT MoveCursorTo(POINT screen);
