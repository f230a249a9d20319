// Start-up of the main window and the main loop.
#include "app/app.h"
#include "app/event_sink.h"
#include "app/search.h"
#include "app/sites.h"
#include "gadgets/gadgets.h"

#include <commctrl.h>

#include <algorithm>

namespace app {

namespace {

constexpr COLORREF kBlue = 0xFF0000;
constexpr int32_t kTextColourOnly = 2;

// The shortcuts' command identifiers.
enum Command : int32_t { kSearch = 1001, kRefresh = 1002, kBack = 1003, kForward = 1004 };

struct Shortcut {
    int32_t flags;
    int32_t key;
    int32_t command;
};

// Enter searches, F5 reloads, Alt+Left and Alt+Right go back and forward.
constexpr Shortcut kShortcuts[] = {
    {FVIRTKEY, VK_RETURN, kSearch},
    {FVIRTKEY, VK_F5, kRefresh},
    {FALT, VK_LEFT, kBack},
    {FALT, VK_RIGHT, kForward},
};

// The sink lives as long as the program; the browser keeps a pointer to it.
EventSink eventSink;

void RunShortcutCommand(int32_t command) {
    switch (command) {
        case kSearch: SearchRequest(); break;
        case kRefresh: gadgets::WEBGADGETREFRESH(Browser()); break;
        case kBack: gadgets::WEBGADGETGOBACK(Browser()); break;
        case kForward: gadgets::WEBGADGETGOFORWARD(Browser()); break;
        default: break;
    }
}

// The open site list as wide as its longest address, measured with the list's
// font, so that every forum shows whole; the closed box keeps the width the
// layout gives it, and the list is never made narrower than the box.
void FitSiteListToTheLongestSite() {
    HWND list = gadgets::GadgetID(kSiteList);
    HDC dc = GetDC(list);
    if (dc == nullptr) return;
    auto font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    LONG widest = 0;
    for (const char* site : kSites) {
        SIZE extent{};
        if (GetTextExtentPoint32A(dc, site, lstrlenA(site), &extent)) widest = std::max(widest, extent.cx);
    }
    if (previous != nullptr) SelectObject(dc, previous);
    ReleaseDC(list, dc);
    // Room beside the text: the list's borders, its scroll bar should it show
    // one, and the few pixels a list box leaves before and after an item.
    int width = widest + 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 8;
    SendMessageA(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width), 0);
}

}  // namespace

HWND StartUp() {
    InitCommonControls();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);

    HWND window = gadgets::OpenWindow("Zudizazuz", 10, 10, 735, 600, 0x10CF0000, 0);
    gadgets::CENTERWINDOW(window);
    SetMainWindow(window);

    AskForTheCurrentEngine();
    SetBrowser(gadgets::WEBGADGET(kWebGadget, 10, 50, 700, 500, "about:blank",
                                  WS_VSCROLL | WS_HSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE));
    SilenceScriptErrors(Browser());
    ConnectEventSink(Browser(), eventSink);

    for (const Shortcut& shortcut : kShortcuts) {
        gadgets::ADDKEYBOARDSHORTCUT(window, shortcut.flags, shortcut.key, shortcut.command);
    }
    SetTimer(window, kBannerTimer, 10, BannerTimer);
    SetTimer(window, kResizeTimer, 10, ResizeTimer);

    CreateSearchForm();
    // Tab goes through the form first, then the browser area, which was
    // created first.
    SetWindowPos(gadgets::GadgetID(kWebGadget), HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    KeepTheFormWhole(window);
    return window;
}

void KeepTheFormWhole(HWND window) {
    // The form's right edge (OK at 640 + 30) and the browser area's top,
    // with the layout's margin of 10, as a client area; the frame around it.
    RECT outer{0, 0, 670 + 10, 50};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
    auto set = [window](const char* name, LONG value) {
        SetPropA(window, name, reinterpret_cast<HANDLE>(static_cast<intptr_t>(value)));
    };
    set("MINIMALWIDTH", outer.right - outer.left);
    set("MINIMALHEIGHT", outer.bottom - outer.top);
    set("MAXIMALWIDTH", GetSystemMetrics(SM_CXMAXTRACK));
    set("MAXIMALHEIGHT", GetSystemMetrics(SM_CYMAXTRACK));
    set("MINMAXFLAG", 1);
}

void CreateSearchForm() {
    using namespace gadgets;
    TEXTGADGET(kSiteLabel, 10, 10, 120, 20, "Поиск по сайту:", SS_CENTERIMAGE);
    SetGadgetColor(kSiteLabel, 0, kBlue, kTextColourOnly);

    // The three gadgets that take the keyboard focus are tab stops.
    ComboBoxGadget(kSiteList, 125, 10, 230, 120, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
    for (const char* site : kSites) AddComboBoxItem(kSiteList, site, -1);
    SetItemComboBox(kSiteList, 0);
    FitSiteListToTheLongestSite();

    STRINGGADGET(kKeywordBox, 380, 10, 250, 24, kPlaceholder,
                 ES_CENTER | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    SetGadgetColor(kKeywordBox, 0, kBlue, kTextColourOnly);

    BUTTONGADGET(kOkButton, 640, 10, 30, 23, "OK", BS_PUSHBUTTON | WS_TABSTOP);
}

void ClearPlaceholder() {
    if (gadgets::GetGadgetText(kKeywordBox, 1) == kPlaceholder) {
        gadgets::SetGadgetText(kKeywordBox, "");
    }
}

int RunMainLoop(HWND mainWindow) {
    for (;;) {
        int32_t code = gadgets::WAITEVENT();
        if (code == gadgets::kCloseRequest) break;
        switch (code) {
            case gadgets::kGadgetEvent:
                if (gadgets::EVENTNUMBER() == kOkButton) SearchRequest();
                break;
            case gadgets::kCommandEvent:
                RunShortcutCommand(gadgets::EVENTNUMBER());
                break;
            case gadgets::kLeftButtonPressed:
                ClearPlaceholder();  // wherever the press happened
                break;
            default:
                break;
        }
    }
    KillTimer(mainWindow, kBannerTimer);
    KillTimer(mainWindow, kResizeTimer);
    return 0;
}

}  // namespace app
