// The library's window procedure: records messages for the pump and does the
// work that must happen while a message is being delivered.
#include "gadgets/controls/colour_painting.h"
#include "gadgets/events/event_state.h"
#include "gadgets/events/message_checks.h"
#include "gadgets/gadgets.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace gadgets {

namespace {

WindowProcHook windowProcHook = nullptr;
bool windowProcHookOn = false;
MessageHook messageHook = nullptr;
bool messageHookOn = false;

bool IsRecorded(UINT message) {
    switch (message) {
        case WM_SIZE: case WM_ACTIVATE: case WM_SETFOCUS: case WM_KILLFOCUS: case WM_PAINT:
        case WM_CLOSE: case WM_VKEYTOITEM: case WM_NOTIFY: case WM_KEYDOWN: case WM_KEYUP:
        case WM_SYSKEYDOWN: case WM_SYSKEYUP: case WM_COMMAND: case WM_SYSCOMMAND:
        case WM_TIMER: case WM_HSCROLL: case WM_VSCROLL: case WM_MENUSELECT:
        case WM_PARENTNOTIFY: case WM_DROPFILES: case WM_HOTKEY: case WM_USER:
            return true;
        default:
            return message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL;
    }
}

// A press, release or double click of the left, right or middle button.
bool IsMouseButton(LPARAM message) {
    return message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK;
}

void SetProperty(HWND window, const char* name, intptr_t value) {
    SetPropA(window, name, reinterpret_cast<HANDLE>(value));
}

bool SenderIs(const NMHDR& header, const char* className) {
    return GETCLASSNAME_(header.hwndFrom) == className;
}

// The record beyond the header, read only from the class that sends it and
// only when all of it may be read.
template <typename Record>
const Record* RecordFrom(const NMHDR& header, LPARAM lParam, const char* className) {
    const auto* record = reinterpret_cast<const Record*>(lParam);
    return SenderIs(header, className) && IsReadable(record, sizeof *record) ? record : nullptr;
}

// The gadget reports a command from a notification: the pump turns the
// WM_COMMAND that comes back into this procedure into a gadget event.
void ReportAsCommand(HWND window, UINT_PTR identifier) {
    SetProperty(window, "WM_NOTIFY_Event", 1);
    SendMessageA(window, WM_COMMAND, LOWORD(identifier), reinterpret_cast<LPARAM>(window));
}

// The page window that a tab item carries as its parameter (0 when none).
HWND SelectedTabPage(HWND tab) {
    int selected = static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    TCITEMA item{};
    item.mask = TCIF_PARAM;
    SendMessageA(tab, TCM_GETITEMA, selected, reinterpret_cast<LPARAM>(&item));
    return reinterpret_cast<HWND>(item.lParam);
}

void HandleNotification(HWND window, LPARAM lParam) {
    NMHDR header;
    if (!ReadNotificationHeader(window, lParam, header)) return;
    EventRecord& event = Event();
    int32_t identifier = static_cast<int32_t>(header.idFrom);
    switch (header.code) {
        case NM_CLICK:
            event.listViewNumber = identifier;
            if (auto* click = RecordFrom<NMITEMACTIVATE>(header, lParam, WC_LISTVIEWA)) {
                event.listViewItem = click->iItem;
                event.listViewSubitem = click->iSubItem;
                event.listViewKeyFlags = static_cast<int32_t>(click->uKeyFlags);
            }
            ReportAsCommand(window, header.idFrom);
            break;
        case TTN_GETDISPINFOA:
            // The text buffer is all that is written, and nothing is read.
            if (SenderIs(header, TOOLTIPS_CLASSA)) {
                char* buffer = reinterpret_cast<NMTTDISPINFOA*>(lParam)->szText;
                constexpr size_t kBufferSize = sizeof NMTTDISPINFOA::szText;
                std::string name = std::to_string(static_cast<UINT>(header.idFrom));
                auto* text = static_cast<const char*>(GetPropA(window, name.c_str()));
                if (text != nullptr && IsWritable(buffer, kBufferSize)) {
                    size_t length = strnlen(text, kBufferSize - 1);
                    std::memcpy(buffer, text, length);
                    buffer[length] = '\0';
                }
            }
            break;
        case LVN_COLUMNCLICK:
            event.listViewNumber = identifier;
            if (auto* column = RecordFrom<NMLISTVIEW>(header, lParam, WC_LISTVIEWA)) {
                event.listViewColumn = column->iSubItem;
                event.listViewItem = column->iItem;
                event.listViewSubitem = column->iSubItem;
            }
            event.notificationFlag = 1;
            ReportAsCommand(window, header.idFrom);
            break;
        case static_cast<UINT>(-9):  // no named code: a list view record
            if (auto* record = RecordFrom<NMLISTVIEW>(header, lParam, WC_LISTVIEWA)) {
                event.listViewColumn = record->iSubItem;
                event.listViewItem = record->iItem;
            }
            break;
        case TVN_SELCHANGEDA:
            event.notificationFlag = 1;
            event.treeViewNumber = identifier;
            if (auto* change = RecordFrom<NMTREEVIEWA>(header, lParam, WC_TREEVIEWA)) {
                event.treeViewItem =
                    static_cast<int32_t>(reinterpret_cast<intptr_t>(change->itemNew.hItem));
            }
            break;
        case NM_DBLCLK:
            SendMessageA(window, WM_LBUTTONDBLCLK, 0, 0);
            if (GADGETCLASS(GadgetID(identifier)) == kListViewKind) event.listViewNumber = identifier;
            break;
        case TCN_SELCHANGE:
            if (SenderIs(header, WC_TABCONTROLA)) {
                if (HWND page = SelectedTabPage(header.hwndFrom)) ShowWindow(page, SW_SHOWNORMAL);
            }
            event.notificationFlag = 1;
            ReportAsCommand(window, header.idFrom);
            break;
        case TCN_SELCHANGING:
            if (SenderIs(header, WC_TABCONTROLA)) {
                if (HWND page = SelectedTabPage(header.hwndFrom)) ShowWindow(page, SW_HIDE);
            }
            break;
        default:
            break;
    }
}

// The gadget that had the keyboard focus when the window was last left or
// minimised, kept as a dialog keeps it, so that the focus goes back there
// when the window is active again. A window minimised while no other window
// takes over stays active, and its restore activates it again.
constexpr char kFocusProperty[] = "FOCUSGADGET";

void RememberFocus(HWND window) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window, focus)) SetPropA(window, kFocusProperty, focus);
}

// True when the focus went back to the remembered gadget. The property is
// anybody's to set, and the gadget may be gone: only a visible, enabled
// window inside this one takes it.
bool RestoreFocus(HWND window) {
    HWND gadget = static_cast<HWND>(GetPropA(window, kFocusProperty));
    if (gadget == nullptr || !IsChild(window, gadget) || !IsWindowVisible(gadget) ||
        !IsWindowEnabled(gadget)) {
        return false;
    }
    SetFocus(gadget);
    return true;
}

// A scroll bar gadget moves; when its old position reads 0 (or there is no
// gadget, lParam 0) the window's own bar of that direction moves as well.
void HandleScroll(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND bar = reinterpret_cast<HWND>(lParam);
    int ownBar = message == WM_HSCROLL ? SB_HORZ : SB_VERT;
    int request = LOWORD(wParam);
    int step;
    switch (request) {
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: {
            int position = HIWORD(wParam);
            if (SetScrollPos(bar, SB_CTL, position, TRUE) == 0) {
                SetScrollPos(window, ownBar, position, TRUE);
            }
            return;
        }
        case SB_LINEDOWN: step = 1; break;
        case SB_LINEUP: step = -1; break;
        case SB_PAGEDOWN: step = PageStep(); break;
        case SB_PAGEUP: step = -PageStep(); break;
        default: return;
    }
    if (SetScrollPos(bar, SB_CTL, GetScrollPos(bar, SB_CTL) + step, TRUE) == 0) {
        SetScrollPos(window, ownBar, GetScrollPos(window, ownBar) + step, TRUE);
    }
}

}  // namespace

LRESULT CALLBACK FBGUIWINPROC(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (windowProcHookOn && windowProcHook != nullptr) {
        if (LRESULT result = windowProcHook(window, message, wParam, lParam)) return result;
    }

    switch (message) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(PaintControlColour(
                window, message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        default:
            break;
    }

    // Recorded before the handling below, so anything the handling sends to
    // this window lands above it on the stack.
    if (IsRecorded(message) && PushEvent(StackEntry{window, message, wParam, lParam})) {
        WakeWaitingPump();
    }

    EventRecord& event = Event();
    switch (message) {
        case WM_GETMINMAXINFO:
            if (Property(window, "MINMAXFLAG") == 1) {
                auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
                // A minimum no larger than the work area of the monitor the
                // window is on now: the window can always be made to fit there.
                RECT work = WorkAreaOfMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
                LONG minimumWidth = Property(window, "MINIMALWIDTH");
                LONG minimumHeight = Property(window, "MINIMALHEIGHT");
                limits->ptMinTrackSize.x = std::min(minimumWidth, work.right - work.left);
                limits->ptMinTrackSize.y = std::min(minimumHeight, work.bottom - work.top);
                limits->ptMaxTrackSize.x = Property(window, "MAXIMALWIDTH");
                limits->ptMaxTrackSize.y = Property(window, "MAXIMALHEIGHT");
                return 0;
            }
            break;
        case WM_USER + 5:
            // Another party hands over a mouse button message to be reported,
            // with lParam -1 marking it as passed on. Any other number is
            // ignored: this message may come from any program, and the
            // handlers of other messages would read or write a record at -1.
            if (IsMouseButton(lParam)) {
                SetForegroundWindow(window);
                SendMessageA(window, static_cast<UINT>(lParam), wParam, -1);
            }
            break;
        case WM_HSCROLL:
        case WM_VSCROLL:
            event.window = reinterpret_cast<HWND>(lParam);
            HandleScroll(window, message, wParam, lParam);
            break;
        case WM_CLOSE:
            // The application decides what closing means.
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                RememberFocus(window);
            } else if (HIWORD(wParam) == 0 && RestoreFocus(window)) {
                return 0;  // not DefWindowProcA, which would focus the window itself
            }
            break;
        case WM_SYSCOMMAND:
            // A minimise may take the focus from the gadget without
            // deactivating the window, when no other window takes over.
            if ((wParam & 0xFFF0) == SC_MINIMIZE) RememberFocus(window);
            break;
        case WM_SIZE:
            if (HWND statusBar = static_cast<HWND>(GetPropA(window, "STATUSBARWINDOW"))) {
                SendMessageA(statusBar, WM_SIZE, 0, 0);
            }
            event.sizeX = LOWORD(lParam);
            event.sizeY = HIWORD(lParam);
            if (wParam == SIZE_MINIMIZED) RememberFocus(window);
            break;
        case WM_NOTIFY:
            HandleNotification(window, lParam);
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int32_t Property(HWND window, const char* name) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(GetPropA(window, name)));
}

int32_t SETWINDOWCALLBACK(void* routine, int32_t kind) {
    if (kind == 0) {
        windowProcHook = reinterpret_cast<WindowProcHook>(routine);
        windowProcHookOn = true;
    } else if (kind == 1) {
        messageHook = reinterpret_cast<MessageHook>(routine);
        messageHookOn = true;
    }
    return 1;
}

int32_t FREECALLBACK(int32_t kind) {
    if (kind == 0) windowProcHookOn = false;
    if (kind == 1) messageHookOn = false;
    return 1;
}

bool IsLibraryWindow(HWND window) {
    return window != nullptr &&
           GetClassLongPtrA(window, GCLP_WNDPROC) == reinterpret_cast<ULONG_PTR>(FBGUIWINPROC);
}

MessageHook ActiveMessageHook() { return messageHookOn ? messageHook : nullptr; }

}  // namespace gadgets
