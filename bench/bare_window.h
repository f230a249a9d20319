// The bare program that the launch benchmark measures the program against:
// plain Win32, no gadget library. One window of the program's size, style and
// place, the same two 10 ms timers, one message loop. bare_window.cpp runs it
// as it is; bare_browser.cpp adds the hosted WebBrowser control.
#pragma once

#include <windows.h>

namespace bare {

// As the program's main window: created visible at (10, 10), 735 by 600,
// WS_OVERLAPPEDWINDOW | WS_VISIBLE, then centred on the screen.
constexpr DWORD kWindowStyle = 0x10CF0000;

inline LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

inline HWND OpenCentredWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "BareWindow";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "BareWindow", "Zudizazuz", kWindowStyle, 10, 10, 735, 600,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    RECT rect{};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    MoveWindow(window, GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2,
               GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2, width, height, TRUE);
    return window;
}

// The two timers do next to nothing, and live as long as the program's: the
// first stops itself at its first tick, as the program's banner timer does
// when the browser is idle at that tick (Wine's control is); the second reads
// the window's outer rectangle every 10 ms, as the program's resize timer does.
inline void CALLBACK OnceTimer(HWND window, UINT, UINT_PTR id, DWORD) { KillTimer(window, id); }

inline void CALLBACK RectangleTimer(HWND window, UINT, UINT_PTR, DWORD) {
    RECT rect;
    GetWindowRect(window, &rect);
}

inline void SetTimers(HWND window) {
    SetTimer(window, 1, 10, OnceTimer);
    SetTimer(window, 2, 10, RectangleTimer);
}

inline int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace bare
