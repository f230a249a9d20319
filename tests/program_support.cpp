#include "program_support.h"

#include "standin.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <fstream>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <algorithm>
#include <sstream>

namespace testing_support {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

RunningProgram::~RunningProgram() {
    if (process.hProcess == nullptr) return;
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

std::vector<std::string> RunningProgram::Lines() const {
    std::ifstream file(logPath, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::string all = text.str();
    all.erase(all.rfind('\n') == std::string::npos ? 0 : all.rfind('\n') + 1);
    std::vector<std::string> lines;
    std::istringstream complete(all);
    for (std::string line; std::getline(complete, line);) lines.push_back(line);
    return lines;
}

std::string RunningProgram::Log() const {
    std::string text;
    for (const std::string& line : Lines()) text += line + "\n";
    return text;
}

size_t RunningProgram::Count(const std::string& line) const {
    size_t count = 0;
    for (const std::string& each : Lines()) count += each == line ? 1 : 0;
    return count;
}

bool RunningProgram::WaitForCount(const std::string& line, size_t count) const {
    return WaitUntil([&] { return Count(line) >= count; });
}

std::string RunningProgram::Text(int number) const {
    DWORD_PTR length = 0;
    SendMessageTimeoutA(Gadget(number), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::vector<char> text(length * 2 + 2, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(Gadget(number), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return text.data();
}

std::wstring RunningProgram::WideText(int number) const {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(Gadget(number), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::vector<wchar_t> text(length + 2, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(Gadget(number), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return text.data();
}

bool RunningProgram::WaitForText(int number, const std::string& expected) const {
    return WaitUntil([&] { return Text(number) == expected; });
}

void RunningProgram::Click(int number) const {
    RECT rect{};
    GetWindowRect(Gadget(number), &rect);
    int x = (rect.left + rect.right) / 2;
    int y = (rect.top + rect.bottom) / 2;
    RunUnixToEnd("/usr/bin/xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                 " click 1");
}

bool RunningProgram::Answers() const {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
}

namespace {

BOOL CALLBACK FindWindowOf(HWND window, LPARAM context) {
    auto* program = reinterpret_cast<RunningProgram*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    if (owner == program->process.dwProcessId && std::string(title) == "Zudizazuz") {
        program->window = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::string XWindow(HWND window) {
    return std::to_string(reinterpret_cast<uintptr_t>(GetPropA(window, "__wine_x11_whole_window")));
}

void StartAt(RunningProgram& program, const std::string& path, bool focus) {
    static int starts = 0;
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    program.logPath = std::string(folder) + "zudizazuz-standin-" +
                      std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++starts) + ".log";
    DeleteFileA(program.logPath.c_str());
    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_LOG", program.logPath.c_str());

    std::string line = "\"" + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &program.process))
        << "could not start " << path;
    WaitUntil([&] {
        EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&program));
        return program.window != nullptr;
    });
    ASSERT_NE(program.window, nullptr) << "the window \"Zudizazuz\" did not appear";
    WaitForInputIdle(program.process.hProcess, 15000);
    if (focus) {
        ASSERT_TRUE(RunUnixToEnd("/usr/bin/xdotool windowfocus --sync " + XWindow(program.window)));
    }
}

void Start(RunningProgram& program) { StartAt(program, WindowsPath(Env("ZUDIZAZUZ_EXE_STANDIN"))); }

void StartItself(RunningProgram& program) { StartAt(program, WindowsPath(Env("ZUDIZAZUZ_EXE"))); }

int WaitForExit(RunningProgram& program, int timeoutMs) {
    if (WaitForSingleObject(program.process.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(program.process.hProcess, &code);
    CloseHandle(program.process.hThread);
    CloseHandle(program.process.hProcess);
    program.process = PROCESS_INFORMATION{};
    return static_cast<int>(code);
}

int FireNewWindow3In(const RunningProgram& program, const std::wstring& url, DWORD flags) {
    std::vector<BYTE> data(sizeof flags + url.size() * sizeof(wchar_t));
    std::memcpy(data.data(), &flags, sizeof flags);
    std::memcpy(data.data() + sizeof flags, url.data(), url.size() * sizeof(wchar_t));
    COPYDATASTRUCT copy{kStandInNewWindow3WithFlags, static_cast<DWORD>(data.size()), data.data()};
    DWORD_PTR answer = 0;
    HWND host = program.Gadget(1);  // the web gadget: the stand-in's host window
    if (!SendMessageTimeoutW(host, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                             SMTO_ABORTIFHUNG, 5000, &answer)) {
        return -1;
    }
    return static_cast<int>(answer);
}

bool SteerStandIn(const RunningProgram& program, const std::wstring& command) {
    constexpr ULONG_PTR kSteer = 0x53544552;
    COPYDATASTRUCT copy{kSteer, static_cast<DWORD>(command.size() * sizeof(wchar_t)),
                        const_cast<wchar_t*>(command.data())};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(program.Gadget(1), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                               SMTO_ABORTIFHUNG, 5000, &answer) != 0 &&
           answer == 1;
}

bool SetStandInPageIn(const RunningProgram& program, const StandInPage& page) {
    constexpr ULONG_PTR kPage = 0x50414745;
    constexpr wchar_t kEnd = 0x1F;
    std::wstring fields = page.start + kEnd + page.final + kEnd + page.title + kEnd +
                          (page.body != nullptr ? std::wstring(page.body) : std::wstring(1, 0x18)) + kEnd +
                          page.links + kEnd + std::to_wstring(page.flags) + kEnd;
    COPYDATASTRUCT copy{kPage, static_cast<DWORD>(fields.size() * sizeof(wchar_t)), fields.data()};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(program.Gadget(1), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                               SMTO_ABORTIFHUNG, 5000, &answer) != 0 &&
           answer == 1;
}

namespace {

PROCESS_MEMORY_COUNTERS MemoryCounters(const RunningProgram& program) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(program.process.hProcess, &counters, sizeof counters)) counters = {};
    return counters;
}

}  // namespace

size_t WorkingSetBytes(const RunningProgram& program) { return MemoryCounters(program).WorkingSetSize; }

size_t PeakWorkingSetBytes(const RunningProgram& program) {
    return MemoryCounters(program).PeakWorkingSetSize;
}

HWND FocusOf(const RunningProgram& program) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(program.process.dwThreadId, &info);
    return info.hwndFocus;
}

std::string Describe(HWND window, const RunningProgram& program) {
    if (window == nullptr) return "nothing";
    if (window == program.window) return "the main window";
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return std::string(name) + " " + std::to_string(GetDlgCtrlID(window));
}


int CloseAndWait(RunningProgram& program) {
    PostMessageA(program.window, WM_CLOSE, 0, 0);
    return WaitForExit(program);
}

// ---- Driving the program from outside --------------------------------------

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty()) return L"";
    int units = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    return wide;
}

std::string Narrow(const std::wstring& text, UINT codePage) {
    if (text.empty()) return "";
    int bytes = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), bytes,
                        nullptr, nullptr);
    return narrow;
}

std::wstring TrimSpaces(const std::wstring& text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return L"";
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

std::string Quote(const std::wstring& text) {
    std::wstring shown = text.size() <= 60 ? text : text.substr(0, 60);
    std::string quoted = "\"";
    for (wchar_t unit : shown) {
        if (unit < 0x20 || (unit >= 0xD800 && unit <= 0xDFFF)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
            quoted += escape;
        } else {
            quoted += Utf8(std::wstring(1, unit));
        }
    }
    quoted += "\"";
    if (text.size() > 60) quoted += "... (" + std::to_string(text.size()) + " units)";
    return quoted;
}

std::vector<std::wstring> KeywordPieces(const std::wstring& keywords) {
    std::vector<std::wstring> pieces;
    for (size_t at = 0; at < keywords.size();) {
        wchar_t unit = keywords[at];
        size_t units = IS_HIGH_SURROGATE(unit) && at + 1 < keywords.size() &&
                               IS_LOW_SURROGATE(keywords[at + 1])
                           ? 2
                           : 1;
        std::wstring character = keywords.substr(at, units);
        at += units;
        if (unit < 0x80 && std::wstring(L"%&#+").find(unit) == std::wstring::npos) {
            pieces.push_back(character);
            continue;
        }
        // A lone surrogate encodes no character: its stand-in is U+FFFD.
        if (units == 1 && unit >= 0xD800 && unit <= 0xDFFF) character = L"\uFFFD";
        std::wstring piece;
        for (unsigned char byte : Narrow(character, CP_UTF8)) {
            wchar_t escape[4];
            std::swprintf(escape, 4, L"%%%02X", byte);
            piece += escape;
        }
        pieces.push_back(piece);
    }
    return pieces;
}

std::optional<std::wstring> PercentDecoded(const std::wstring& text) {
    std::string bytes;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] >= 0x80) return std::nullopt;
        if (text[at] != L'%') {
            bytes += static_cast<char>(text[at]);
            continue;
        }
        if (at + 2 >= text.size() || !iswxdigit(text[at + 1]) || !iswxdigit(text[at + 2])) {
            return std::nullopt;
        }
        bytes += static_cast<char>(std::wcstoul(text.substr(at + 1, 2).c_str(), nullptr, 16));
        at += 2;
    }
    if (bytes.empty()) return std::wstring();
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), nullptr, 0);
    if (units <= 0) return std::nullopt;
    return Widen(bytes, CP_UTF8);
}

bool IsAscii(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t unit) { return unit < 0x80; });
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer);
    return static_cast<LRESULT>(answer);
}

SIZE OuterSize(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

namespace {

BOOL CALLBACK FindDroppedList(HWND window, LPARAM found) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "ComboLBox" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND DroppedList(const RunningProgram& program) {
    HWND list = nullptr;
    EnumThreadWindows(program.process.dwThreadId, FindDroppedList, reinterpret_cast<LPARAM>(&list));
    return list;
}

bool SetClipboardText(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    auto* units = static_cast<wchar_t*>(GlobalLock(memory));
    std::copy(text.c_str(), text.c_str() + text.size() + 1, units);
    GlobalUnlock(memory);
    bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return set;
}

}  // namespace testing_support
