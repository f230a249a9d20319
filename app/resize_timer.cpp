// The web gadget follows the main window's size.
#include "app/app.h"
#include "app/layout.h"
#include "gadgets/gadgets.h"

namespace app {

namespace {

// The outer size at the last resize; 0 by 0 makes the first tick resize.
int32_t lastWidth = 0;
int32_t lastHeight = 0;

}  // namespace

void CALLBACK ResizeTimer(HWND, UINT, UINT_PTR, DWORD) {
    RECT outer{};
    GetWindowRect(MainWindow(), &outer);
    int32_t width = outer.right - outer.left;
    int32_t height = outer.bottom - outer.top;
    if (width == lastWidth && height == lastHeight) return;
    // The margins come from the outer size, frame included, at the display's
    // scale; a minimised window gives a negative height, which is passed on
    // and mended at the restore.
    gadgets::RESIZEGADGET(kWebGadget, gadgets::kKeep, gadgets::kKeep,
                          width - Scaled(kBrowserWidthMargin), height - Scaled(kBrowserHeightMargin));
    lastWidth = width;
    lastHeight = height;
}

}  // namespace app
