#include "test_support.h"

#include "gadgets/events/event_state.h"

#include <cstdlib>

namespace testing_support {

HWND OpenTestWindow(const char* title, DWORD style) {
    return gadgets::OpenWindow(title, 50, 50, 400, 300, style, 0);
}

HWND CreateChild(const char* className, HWND parent, int id, DWORD style, int x, int y, int width,
                 int height, const char* text) {
    return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                           parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr,
                           nullptr);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        if (gadgets::WINDOWEVENT() == 0 && gadgets::EventStackCount() == 0) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

bool WaitForEvent(int32_t code, int timeoutMs) {
    bool seen = false;
    PumpUntil(
        [&] {
            if (seen) return true;
            seen = gadgets::WINDOWEVENT() == code;
            return seen;
        },
        timeoutMs);
    return seen;
}

void Drain() {
    MSG message;
    for (int i = 0; i < 10000; ++i) {
        if (gadgets::EventStackCount() == 0 && !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            return;
        }
        gadgets::WINDOWEVENT();
    }
}

int RunUnix(const std::string& commandLine, int timeoutMs) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

bool PressKeys(const std::string& keys) {
    return RunUnix("/usr/bin/xdotool key --delay 20 " + keys) == 0;
}

void FocusWindow(HWND window) {
    SetForegroundWindow(window);
    SetActiveWindow(window);
    SetFocus(window);
}

std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace testing_support
