// Start-up of the main window and the main loop.
#include "app/app.h"
#include "app/engine_refusal.h"
#include "app/event_sink.h"
#include "app/layout.h"
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
    // A page reached by F5, Back or Forward is the user's, never checked.
    if (command != kSearch) ForgetEngineSearch();
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
    int width = widest + 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + Scaled(8);
    SendMessageA(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width), 0);
}

// The layout lets the label reach under the site list's left edge. The
// label draws only the part beside the list (its window region), so that
// the list shows whole, its border and first letter at every scale, and
// takes the clicks there; both keep the rectangles the layout gives them,
// and their order, which makes the label the list's name for screen readers.
void KeepTheLabelOffTheSiteList(const LayoutRect& label, const LayoutRect& list) {
    if (list.x >= label.x + label.width) return;
    HRGN beside = CreateRectRgn(0, 0, list.x - label.x, label.height);
    if (beside != nullptr && !SetWindowRgn(gadgets::GadgetID(kSiteLabel), beside, TRUE)) {
        DeleteObject(beside);  // the window takes the region only when it succeeds
    }
}

// The main window at the display's scale, centred, and no larger than the
// work area: a window at 200 % on a small screen would otherwise reach past
// its edges, the caption or the browser's bottom out of reach.
HWND OpenMainWindow() {
    LayoutRect wanted = Scaled(kWindowLayout);
    RECT work = WorkAreaAt(POINT{wanted.x, wanted.y});
    SIZE size = FittedWindowSize(SIZE{wanted.width, wanted.height}, SizeOf(work));
    HWND window = gadgets::OpenWindow("Zudizazuz", wanted.x, wanted.y, size.cx, size.cy,
                                      kWindowStyle, kWindowExStyle);
    gadgets::CENTERWINDOW(window);
    RECT placed{};
    GetWindowRect(window, &placed);
    POINT inside = KeptInside(placed, work);
    if (inside.x != placed.left || inside.y != placed.top) {
        SetWindowPos(window, nullptr, inside.x, inside.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window;
}

// The keyword box ready for typing, as a dialog readies the edit box it
// focuses first: its text selected, so that the first letters replace the
// placeholder; and named as the gadget whose focus the window gives back
// when it is activated.
void FocusTheKeywordBox(HWND window) {
    HWND box = gadgets::GadgetID(kKeywordBox);
    if (box == nullptr) return;
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
    SetPropA(window, "FOCUSGADGET", box);
}

}  // namespace

HWND StartUp() {
    InitCommonControls();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);

    HWND window = OpenMainWindow();
    SetMainWindow(window);

    AskForTheCurrentEngine();
    LayoutRect browser = Scaled(kBrowserLayout);
    SetBrowser(gadgets::WEBGADGET(kWebGadget, browser.x, browser.y, browser.width, browser.height,
                                  "about:blank", WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                                  WS_EX_CLIENTEDGE));
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
    FocusTheKeywordBox(window);
    return window;
}

void KeepTheFormWhole(HWND window) {
    SIZE minimum = FormMinimumOuterSize(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)),
                                        static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
    auto set = [window](const char* name, LONG value) {
        SetPropA(window, name, reinterpret_cast<HANDLE>(static_cast<intptr_t>(value)));
    };
    set("MINIMALWIDTH", minimum.cx);
    set("MINIMALHEIGHT", minimum.cy);
    set("MAXIMALWIDTH", GetSystemMetrics(SM_CXMAXTRACK));
    set("MAXIMALHEIGHT", GetSystemMetrics(SM_CYMAXTRACK));
    set("MINMAXFLAG", 1);
}

void CreateSearchForm() {
    using namespace gadgets;
    LayoutRect label = Scaled(kLabelLayout);
    TEXTGADGET(kSiteLabel, label.x, label.y, label.width, label.height, "Поиск по сайту:",
               SS_CENTERIMAGE);
    SetGadgetColor(kSiteLabel, 0, kBlue, kTextColourOnly);

    // The three gadgets that take the keyboard focus are tab stops.
    LayoutRect list = Scaled(kSiteListLayout);
    ComboBoxGadget(kSiteList, list.x, list.y, list.width, list.height,
                   CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
    for (const char* site : kSites) AddComboBoxItem(kSiteList, site, -1);
    SetItemComboBox(kSiteList, 0);
    FitSiteListToTheLongestSite();

    KeepTheLabelOffTheSiteList(label, list);

    LayoutRect box = Scaled(kKeywordBoxLayout);
    STRINGGADGET(kKeywordBox, box.x, box.y, box.width, box.height, kPlaceholder,
                 ES_CENTER | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
    SetGadgetColor(kKeywordBox, 0, kBlue, kTextColourOnly);

    LayoutRect ok = Scaled(kOkButtonLayout);
    BUTTONGADGET(kOkButton, ok.x, ok.y, ok.width, ok.height, "OK", BS_PUSHBUTTON | WS_TABSTOP);
}

bool IsPlaceholder(const std::string& text) { return text == kPlaceholder; }

void ClearPlaceholder() {
    if (IsPlaceholder(gadgets::GetGadgetText(kKeywordBox, 1))) {
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
