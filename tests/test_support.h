// Helpers shared by the tests: windows, waiting with a deadline, the event
// stack drained between cases, and keys pressed through the X server.
#pragma once

#include "gadgets/gadgets.h"

#include <functional>
#include <string>

namespace testing_support {

// A fresh top-level window opened by the library (visible, 400 by 300).
HWND OpenTestWindow(const char* title = "gadget test", DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE);

// A top-level window opened by the library (so its gadget list is the current
// one), destroyed when the test ends; it stands wherever an HWND is wanted.
// Titled, or with a style of its own (WS_OVERLAPPEDWINDOW alone: hidden, so
// nothing is painted or activated behind the test's back) and a title.
class TestWindow {
public:
    explicit TestWindow(const char* title = "test window",
                        DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    explicit TestWindow(DWORD style, const char* title = "test window");
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    operator HWND() const { return handle_; }

private:
    HWND handle_;
};

// A child control of the given class under `parent`, with `id` as its identifier.
HWND CreateChild(const char* className, HWND parent, int id, DWORD style = 0, int x = 10,
                 int y = 10, int width = 100, int height = 24, const char* text = "");

// Runs the library's event pump, handing each event code to `onEvent`, until
// it returns true (then true) or the deadline passes (then false). Waits
// without spinning while nothing is queued.
bool PumpEvents(const std::function<bool(int32_t code)>& onEvent, int timeoutMs = 5000);

// Pumps until `done` holds (checked before and after every event) or the
// deadline passes. `done` must not pump itself.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs WINDOWEVENT until it returns `code` or the deadline passes; returns
// whether it came.
bool WaitForEvent(int32_t code, int timeoutMs = 5000);

// Empties the queue and the event stack.
void Drain();

// Lets the messages that another thread sends to this thread's windows be
// delivered until that thread ends (at most 5 s between two of them), then
// closes its handle.
void ServeSendsUntilTheEndOf(HANDLE thread);

// Runs a Linux program (for example xdotool) and waits for it; false when it
// could not be started.
bool RunUnix(const std::string& commandLine, int timeoutMs = 10000);

// Runs a Linux command line through /bin/sh and waits, up to the deadline,
// until it has finished (Wine gives RunUnix no handle to wait on, so a marker
// file written after the command tells). The line must not hold double
// quotes. True when it finished in time.
bool RunUnixToEnd(const std::string& commandLine, int timeoutMs = 10000);

// Presses keys through the X server (xdotool key) into the focused window.
bool PressKeys(const std::string& keys);

// Brings the window to the front with the X input focus.
void FocusWindow(HWND window);

// A Unix path as Wine's Z: drive shows it.
std::string WindowsPath(const std::string& unixPath);

std::string Env(const char* name);

// The system folder's atl.dll, the one the program loads: Wine's own, or the
// browser stand-in where the test command installed it and atl=n picks it.
std::string SystemAtlPath();

// How many times code of this test program (the library is linked into it)
// has called SetWindowsHookExA or SetWindowsHookExW since the first call of
// this function, which starts counting them through the program's import
// table. A program that imports neither sets no hook and counts 0.
int HookSetsSoFar();

// The bytes in use on the C runtime's heap, which malloc and new take from.
size_t RuntimeHeapInUse();

}  // namespace testing_support
