// The program as a separate process: the copy of zudizazuz.exe beside the
// browser stand-in, whose calls the stand-in appends to a log file of this
// run, one UTF-8 line a call.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Polls `done` every 20 ms until it holds or the deadline passes; true when
// it held.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 15000);

struct RunningProgram {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
    std::string logPath;

    RunningProgram() = default;
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    // A program still running at the end of a test is ended with status 99.
    ~RunningProgram();

    HWND Gadget(int number) const { return GetDlgItem(window, number); }

    // The complete lines of the log so far (a line still being written is left out).
    std::vector<std::string> Lines() const;
    std::string Log() const;
    size_t Count(const std::string& line) const;
    bool WaitForCount(const std::string& line, size_t count) const;

    // The gadget's text as the program's ANSI code page holds it (WM_GETTEXT
    // carries its buffer across processes), and as UTF-16.
    std::string Text(int number) const;
    std::wstring WideText(int number) const;
    bool WaitForText(int number, const std::string& expected) const;

    // A left click at the centre of a gadget, through the X server.
    void Click(int number) const;

    // Whether the program's thread answers a message within 5 s.
    bool Answers() const;
};

// Starts the program copy (ZUDIZAZUZ_EXE_STANDIN) with a fresh log file, waits
// for its window and its main loop, and gives its X window the input focus.
void Start(RunningProgram& program);

// Waits for the program to end; its exit status, or -1 when it did not end.
int WaitForExit(RunningProgram& program, int timeoutMs = 15000);

// Posts the close request and waits for the program to end.
int CloseAndWait(RunningProgram& program);

// The X window behind a Wine window, for xdotool.
std::string XWindow(HWND window);

// WM_COPYDATA's dwData that makes the stand-in's host window fire NewWindow3
// with the UTF-16 address the message carries.
constexpr ULONG_PTR kStandInNewWindow3 = 0x4E573300;

// Fires NewWindow3 with `url` inside the running program, through the
// stand-in's host window (the web gadget); returns once the program's sink
// has handled it. The stand-in's answer: 0 nothing fired (no sink), 1 fired
// with Cancel left alone, 2 fired and Cancel set; -1 when the program did not
// answer within 5 s.
int FireNewWindow3In(const RunningProgram& program, const std::wstring& url);

// The program's working set in bytes (GetProcessMemoryInfo; Wine reads it
// from the Unix process's VmRSS), 0 when it cannot be read.
size_t WorkingSetBytes(const RunningProgram& program);

}  // namespace testing_support
