// Top-level windows, each with a window class of its own.
#include "gadgets/gadgets.h"
#include "gadgets/registry/tables.h"

#include <cstdio>

namespace gadgets {

namespace {

int32_t windowCount = 0;  // only grows; the count after raising numbers the window

std::string MakeClassName(int32_t windowNumber) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    // At most 30 bytes. wsprintfA is the system's own formatter: it brings no
    // C runtime formatter into the program.
    char name[64];
    wsprintfA(name, "CLASSCLASS_%02d:%02d:%02d%d", now.wHour, now.wMinute, now.wSecond,
              static_cast<int>(windowNumber));
    return name;
}

}  // namespace

HWND OpenWindow(std::string title, int32_t x, int32_t y, int32_t width, int32_t height,
                uint32_t style, uint32_t exStyle) {
    int32_t windowNumber = ++windowCount;
    CreateTablesOnce();
    // The name goes into the table before registration is tried, so window
    // numbers and class-name keys stay in step even when registration fails.
    AppendClassName(MakeClassName(windowNumber));
    std::string className = ClassNameOf(windowNumber);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = FBGUIWINPROC;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className.c_str();
    if (RegisterClassExA(&windowClass) == 0) {
        char line[64];
        wsprintfA(line, "Not Registered class , Error = %lu\n", GetLastError());
        std::fputs(line, stdout);
        std::fflush(stdout);
        return nullptr;
    }

    HWND window = CreateWindowExA(exStyle, className.c_str(), title.c_str(), style, x, y, width,
                                  height, nullptr, nullptr, nullptr, nullptr);
    UseGadgetList(window);
    return window;
}

int32_t CENTERWINDOW(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    int32_t width = rect.right - rect.left;
    int32_t height = rect.bottom - rect.top;
    // Each operand is halved on its own (an arithmetic shift) before subtracting.
    int32_t x = (GetSystemMetrics(SM_CXSCREEN) >> 1) - (width >> 1);
    int32_t y = (GetSystemMetrics(SM_CYSCREEN) >> 1) - (height >> 1);
    MoveWindow(window, x, y, width, height, TRUE);
    return 1;
}

int32_t RESIZEWINDOW(HWND window, int32_t x, int32_t y, int32_t width, int32_t height) {
    RECT rect{};
    GetWindowRect(window, &rect);
    if (x == kKeep) x = rect.left;
    if (y == kKeep) y = rect.top;
    if (width == kKeep) width = rect.right - rect.left;
    if (height == kKeep) height = rect.bottom - rect.top;
    return MoveWindow(window, x, y, width, height, TRUE);
}

}  // namespace gadgets
