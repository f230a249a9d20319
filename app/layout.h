// The main window's layout, written in pixels at 96 DPI and scaled to the
// display's DPI when it is used.
#pragma once

#include <windows.h>

#include <cstdint>

namespace app {

struct LayoutRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// At 96 DPI. The main window is then centred on the screen.
constexpr LayoutRect kWindowLayout{10, 10, 735, 600};
constexpr LayoutRect kBrowserLayout{10, 50, 700, 500};
constexpr LayoutRect kLabelLayout{10, 10, 120, 20};
constexpr LayoutRect kSiteListLayout{125, 10, 230, 120};  // the height is the open list's
constexpr LayoutRect kKeywordBoxLayout{380, 10, 250, 24};
constexpr LayoutRect kOkButtonLayout{640, 10, 30, 23};
// The browser is the main window's outer size less these margins.
constexpr int32_t kBrowserWidthMargin = 35;
constexpr int32_t kBrowserHeightMargin = 100;
// The form needs a client area this large: OK's right edge with the
// browser's left margin beside it, and the browser area's top.
constexpr SIZE kFormClientLayout{kOkButtonLayout.x + kOkButtonLayout.width + kBrowserLayout.x,
                                 kBrowserLayout.y};

constexpr DWORD kWindowStyle = 0x10CF0000;  // WS_OVERLAPPEDWINDOW | WS_VISIBLE
constexpr DWORD kWindowExStyle = 0;

// The system DPI, asked once: a program aware of the system DPI keeps it
// until it ends (GetDpiForSystem where the system has it, else the screen's
// LOGPIXELSY).
int SystemDpi();
// A figure of the 96-DPI layout at `dpi` (MulDiv rounding); at the system DPI
// when none is given.
int32_t Scaled(int32_t layoutPixels, int dpi);
int32_t Scaled(int32_t layoutPixels);
LayoutRect Scaled(const LayoutRect& layout);

// The main window's outer size: the scaled size `wanted`, made to fit the
// `room` of the work area.
SIZE FittedWindowSize(SIZE wanted, SIZE room);
// Where a window at `window`, no larger than the work area, goes so that it
// lies inside it: moved in from the edges it reaches past.
POINT KeptInside(const RECT& window, const RECT& work);
// The smallest outer size that shows the whole form, for a window of these
// styles. The library holds this minimum to no more than the work area of
// the monitor the window is on, whichever that is at the time.
SIZE FormMinimumOuterSize(DWORD style, DWORD exStyle);
// The work area of the monitor at `point`: the screen less the taskbar.
RECT WorkAreaAt(POINT point);
SIZE SizeOf(const RECT& rect);

}  // namespace app
