// The program as a separate process: mostly the copy of zudizazuz.exe beside
// the browser stand-in, whose calls the stand-in appends to a log file of this
// run, one UTF-8 line a call; or the program itself.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
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

// The same for the program itself (ZUDIZAZUZ_EXE), as it was built: it hosts
// whichever atl.dll the suite picks, Wine's own where the suite's name does
// not hold "StandIn".
void StartItself(RunningProgram& program);

// The same for a copy of the program at a Windows path; `focus`: give its X
// window the input focus.
void StartAt(RunningProgram& program, const std::string& path, bool focus = true);

// Waits for the program to end; its exit status, or -1 when it did not end.
int WaitForExit(RunningProgram& program, int timeoutMs = 15000);

// Posts the close request and waits for the program to end.
int CloseAndWait(RunningProgram& program);

// The X window behind a Wine window, for xdotool.
std::string XWindow(HWND window);

// WM_COPYDATA's dwData that makes the stand-in's host window fire NewWindow3
// with the flags (a DWORD) and the UTF-16 address that the message carries.
constexpr ULONG_PTR kStandInNewWindow3WithFlags = 0x4E573346;

// Fires NewWindow3 with `url` and the NWMF_* `flags` inside the running
// program, through the stand-in's host window (the web gadget), which logs
// "FireNewWindow3 0x<flags, 8 hex digits> <url>"; returns once the program's
// sink has handled it. The stand-in's answer: 0 nothing fired (no sink), 1
// fired with Cancel left alone, 2 fired and Cancel set; -1 when the program
// did not answer within 5 s.
int FireNewWindow3In(const RunningProgram& program, const std::wstring& url, DWORD flags);

// Steers the stand-in inside the running program (WM_COPYDATA to its host
// window): "keys 13 116" names the virtual keys that the control takes when
// they are offered to it ("keys" alone: none); "active INPUT search 0" gives
// the page's active element: its tag, an INPUT's type ("-" for none) and
// whether it is content-editable ("active" alone: none); "frame 1 BODY - 0"
// the same for a frame's document (levels 1 to 3, see StandIn); "document 0
// 0 0" whether a document (0 the page) has a body and whether its window
// refuses it; "reset" the page as a fresh control has it. True when the
// stand-in understood it.
bool SteerStandIn(const RunningProgram& program, const std::wstring& command);

struct StandInPage;
// Sets a page of the stand-in's table inside the running program (see
// StandInPage; the collection's length is the number of links); true when
// the stand-in understood it.
bool SetStandInPageIn(const RunningProgram& program, const StandInPage& page);

// ---- What a search address carries -------------------------------------------

// The keywords as a search address carries them, one piece a character (a
// surrogate pair is one): ASCII as itself but "%", "&", "#" and "+" as their
// escapes; every other character as the percent-escapes of its UTF-8 bytes,
// a lone surrogate as those of U+FFFD.
std::vector<std::wstring> KeywordPieces(const std::wstring& keywords);
// The percent-escapes undone and the bytes read as UTF-8; nothing when an
// escape is cut or not hexadecimal, or the bytes are not UTF-8.
std::optional<std::wstring> PercentDecoded(const std::wstring& text);
// Whether every unit is ASCII (below 128).
bool IsAscii(const std::wstring& text);

// The program's working set in bytes (GetProcessMemoryInfo; Wine reads it
// from the Unix process's VmRSS), and its peak so far; 0 when it cannot be read.
size_t WorkingSetBytes(const RunningProgram& program);
size_t PeakWorkingSetBytes(const RunningProgram& program);

// The window that has the keyboard focus in the program, and a window
// described for a failure message ("the main window", "Edit 4", "nothing").
HWND FocusOf(const RunningProgram& program);
std::string Describe(HWND window, const RunningProgram& program);

// ---- Driving the program from outside --------------------------------------

// Text in a code page as UTF-16, and back; the program's ANSI side is CP_ACP.
std::wstring Widen(const std::string& text, UINT codePage);
std::string Narrow(const std::wstring& text, UINT codePage);
// The text without spaces (only) at either end, as the forum search trims it.
std::wstring TrimSpaces(const std::wstring& text);
// A text for a failure message: UTF-8 in quotes, control characters and lone
// surrogates escaped, a long one cut with its length.
std::string Quote(const std::wstring& text);

// Sends the message to the program's window and waits up to 5 s; its answer,
// 0 when it did not answer.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
SIZE OuterSize(HWND window);
// The site list's drop-down list while it is shown; null otherwise.
HWND DroppedList(const RunningProgram& program);
// Puts UTF-16 text on the clipboard, for a paste into the program.
bool SetClipboardText(const std::wstring& text);

}  // namespace testing_support
