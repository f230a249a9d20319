// The display's scale: the layout is written for 96 DPI, and a program aware
// of the system DPI draws itself at that DPI, not stretched by Windows.
#include "app/layout.h"
#include "gadgets/gadgets.h"

#include <algorithm>

namespace app {

namespace {

constexpr int kLayoutDpi = 96;

// The system DPI stays what it was at the start until the user signs out; 0
// until asked.
int systemDpi = 0;

int AskSystemDpi() {
    // Windows 10 from version 1607 on; earlier systems give the screen's LOGPIXELSY.
    using GetDpiForSystemProc = UINT(WINAPI*)();
    if (HMODULE user = GetModuleHandleA("user32.dll")) {
        auto ask = reinterpret_cast<GetDpiForSystemProc>(
            reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForSystem")));
        if (ask != nullptr) {
            if (UINT dpi = ask()) return static_cast<int>(dpi);
        }
    }
    int dpi = 0;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : kLayoutDpi;
}

}  // namespace

int SystemDpi() {
    if (systemDpi == 0) systemDpi = AskSystemDpi();
    return systemDpi;
}

int32_t Scaled(int32_t layoutPixels, int dpi) { return MulDiv(layoutPixels, dpi, kLayoutDpi); }

int32_t Scaled(int32_t layoutPixels) { return Scaled(layoutPixels, SystemDpi()); }

LayoutRect Scaled(const LayoutRect& layout) {
    return LayoutRect{Scaled(layout.x), Scaled(layout.y), Scaled(layout.width), Scaled(layout.height)};
}

SIZE FittedWindowSize(SIZE wanted, SIZE room) {
    return SIZE{std::min(wanted.cx, room.cx), std::min(wanted.cy, room.cy)};
}

POINT KeptInside(const RECT& window, const RECT& work) {
    LONG width = window.right - window.left;
    LONG height = window.bottom - window.top;
    return POINT{std::max(work.left, std::min(window.left, work.right - width)),
                 std::max(work.top, std::min(window.top, work.bottom - height))};
}

SIZE FormMinimumOuterSize(DWORD style, DWORD exStyle) {
    RECT outer{0, 0, Scaled(kFormClientLayout.cx), Scaled(kFormClientLayout.cy)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    return SizeOf(outer);
}

SIZE SizeOf(const RECT& rect) { return SIZE{rect.right - rect.left, rect.bottom - rect.top}; }

RECT WorkAreaAt(POINT point) {
    return gadgets::WorkAreaOfMonitor(MonitorFromPoint(point, MONITOR_DEFAULTTOPRIMARY));
}

}  // namespace app
