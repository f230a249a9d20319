// The event pump: takes messages from the queue, translates shortcuts,
// dispatches, and hands out one recorded event per call.
#include "gadgets/events/event_state.h"
#include "gadgets/gadgets.h"
#include "gadgets/web/page_keys.h"

#include <vector>

namespace gadgets {

namespace {

struct TranslationEntry {
    HACCEL table;
    HWND window;
};

// A WM_QUIT that WAITEVENT's wait took and put back into the queue.
bool quitPutBack = false;
// WAITEVENT's wake-up for an entry recorded inside its wait (by a message
// another thread sent): a message posted to the thread, and a thread timer
// that fires until the pump takes it, so that a loop nested inside that send
// cannot hold the wait past its own end. Each thread counts its waits.
UINT wakeUpMessage = 0;
const DWORD waitDepthSlot = TlsAlloc();
const DWORD wakeUpTimerSlot = TlsAlloc();  // the armed timer's identifier, 0 when unarmed

intptr_t ThreadValue(DWORD slot) { return reinterpret_cast<intptr_t>(TlsGetValue(slot)); }
void SetThreadValue(DWORD slot, intptr_t value) { TlsSetValue(slot, reinterpret_cast<void*>(value)); }

void ArmWakeUp() {
    if (ThreadValue(wakeUpTimerSlot) != 0) return;
    if (wakeUpMessage == 0) wakeUpMessage = RegisterWindowMessageA("Zudizazuz pump wake-up");
    if (wakeUpMessage != 0) PostThreadMessageA(GetCurrentThreadId(), wakeUpMessage, 0, 0);
    SetThreadValue(wakeUpTimerSlot,
                   static_cast<intptr_t>(SetTimer(nullptr, 0, USER_TIMER_MINIMUM, nullptr)));
}

// A wake-up message still queued is taken by the next call, which gives 0.
void DisarmWakeUp() {
    auto timer = static_cast<UINT_PTR>(ThreadValue(wakeUpTimerSlot));
    if (timer == 0) return;
    KillTimer(nullptr, timer);
    SetThreadValue(wakeUpTimerSlot, 0);
}

// The end of a pump call: a wait that encloses it (the call runs inside a
// send delivered during that wait) must wake for the entries left waiting;
// with none left, or no wait on, the wake-up has nothing to do.
void KeepTheWaitInformed() {
    if (ThreadValue(waitDepthSlot) > 0 && EventStackCount() > 0) {
        ArmWakeUp();
    } else {
        DisarmWakeUp();
    }
}

// Starts with one empty entry; entries are never removed.
std::vector<TranslationEntry> translations{{nullptr, nullptr}};
bool translationActive = false;

HWND RootOf(HWND window) {
    HWND root = window;
    while (HWND parent = GetParent(root)) root = parent;
    return root;
}

// Where the message's window, or the top of its parent chain, owns a table.
// The last matching entry wins.
bool TranslateShortcut(MSG& queued) {
    HWND target = nullptr;
    HACCEL table = nullptr;
    HWND root = RootOf(queued.hwnd);
    for (const TranslationEntry& entry : translations) {
        if (entry.window == queued.hwnd) {
            target = queued.hwnd;
            table = entry.table;
        } else if (entry.window == root) {
            target = root;
            table = entry.table;
        }
    }
    return target != nullptr && table != nullptr && TranslateAcceleratorA(target, table, &queued);
}

void DecodeMouse(EventRecord& event, const StackEntry& entry) {
    event.window = entry.window;
    event.key = static_cast<int32_t>(entry.wParam);
    event.mouseX = LOWORD(entry.lParam);
    event.mouseY = HIWORD(entry.lParam);
}

int32_t DecodeCommand(EventRecord& event, const StackEntry& entry) {
    HWND sender = reinterpret_cast<HWND>(entry.lParam);
    if (sender == nullptr) {  // a menu item or a shortcut
        event.number = LOWORD(entry.wParam);
        event.window = entry.window;
        return kCommandEvent;
    }
    event.window = sender;
    // The class is known in-process; focus and properties cost a wine server
    // round trip each, so they are asked only when the class does not decide.
    int32_t kind = GADGETCLASS(sender);
    bool reports = kind == kLabelKind || kind == kToolbarKind || GetFocus() == sender ||
                   Property(entry.window, "WM_NOTIFY_Event") == 1;
    if (!reports) return kNoEvent;
    event.number = LOWORD(entry.wParam);
    event.toolbarNumber = event.number;
    SetPropA(entry.window, "WM_NOTIFY_Event", nullptr);
    return kGadgetEvent;
}

int32_t DecodeNotification(EventRecord& event, const StackEntry& entry) {
    event.notificationFlag = 0;
    event.toolbarNumber = -1;
    HWND gadget = GadgetID(LOWORD(entry.wParam));
    int32_t kind = GADGETCLASS(gadget);
    bool reports = kind == kDateTimePickerKind || kind == kMonthCalendarKind ||
                   kind == kLabelKind || kind == kTrackbarKind;
    // A gadget whose companion window is an up-down control reports as well.
    HWND companion = static_cast<HWND>(GetPropA(gadget, "addparam60000"));
    if (GADGETCLASS(companion) == kUpDownKind) reports = true;
    if (!reports) return kNoEvent;
    event.window = reinterpret_cast<HWND>(entry.lParam);
    event.number = LOWORD(entry.wParam);
    return kGadgetEvent;
}

int32_t DecodeChildClick(EventRecord& event, const StackEntry& entry) {
    UINT button = LOWORD(entry.wParam);
    if (event.notificationFlag != 0) return kNoEvent;
    if (button != WM_LBUTTONDOWN && button != WM_RBUTTONDOWN && button != WM_MBUTTONDOWN) return kNoEvent;
    if (Property(entry.window, "eventmousebutton") == 1) {
        SetPropA(entry.window, "eventmousebutton", nullptr);  // swallows exactly one click
        return kNoEvent;
    }
    event.mouseX = LOWORD(entry.lParam);
    event.mouseY = HIWORD(entry.lParam);
    return Property(entry.window, "panelevent") != 1 ? static_cast<int32_t>(button) : kNoEvent;
}

int32_t Decode(EventRecord& event, const StackEntry& entry) {
    switch (entry.message) {
        case WM_CLOSE:
        case WM_SIZE:
            event.window = entry.window;
            return static_cast<int32_t>(entry.message);
        case WM_COMMAND:
            return DecodeCommand(event, entry);
        case WM_KEYDOWN:
            event.window = entry.window;
            event.key = LOWORD(entry.wParam);
            return kKeyPressed;
        case WM_KEYUP:
            event.window = entry.window;
            event.number = LOWORD(entry.wParam);
            return kKeyReleased;
        case WM_MOUSEMOVE:
        case WM_MOUSEWHEEL:
            DecodeMouse(event, entry);
            return static_cast<int32_t>(entry.message);
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (Property(entry.window, "panelevent") == 1) return kNoEvent;
            DecodeMouse(event, entry);
            // lParam -1 marks a press passed on through message 1029.
            event.number = entry.lParam == -1 ? static_cast<int32_t>(entry.wParam) : 0;
            return static_cast<int32_t>(entry.message);
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (Property(entry.window, "panelevent") == 1) return kNoEvent;
            DecodeMouse(event, entry);
            return static_cast<int32_t>(entry.message);
        case WM_HSCROLL:
        case WM_VSCROLL:
            event.number = LOWORD(entry.wParam);
            event.window = reinterpret_cast<HWND>(entry.lParam);
            return static_cast<int32_t>(entry.message);
        case WM_TIMER:
            event.window = entry.window;
            event.number = static_cast<int32_t>(entry.wParam);
            return kTimerExpired;
        case WM_ACTIVATE:
            if (LOWORD(entry.wParam) != WA_CLICKACTIVE) return kNoEvent;
            event.window = entry.window;
            return kActivatedByClick;
        case WM_NOTIFY:
            return DecodeNotification(event, entry);
        case WM_PARENTNOTIFY:
            return DecodeChildClick(event, entry);
        case WM_VKEYTOITEM:
            event.key = LOWORD(entry.wParam);
            event.number = ID_In_Number(reinterpret_cast<HWND>(entry.lParam));
            return kGadgetEvent;
        default:  // WM_PAINT and the messages reported under their own number
            return static_cast<int32_t>(entry.message);
    }
}

// Step 1 of every pump call: the fields that describe one event start empty.
void ClearEvent(EventRecord& event) {
    event.code = 0;
    event.window = nullptr;
    event.number = 0;
    event.mouseX = 0;
    event.mouseY = 0;
}

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

bool IsKeyDown(const MSG& taken, WPARAM key) {
    return taken.message == WM_KEYDOWN && taken.wParam == key;
}

void Dispatch(MSG& taken) {
    TranslateMessage(&taken);
    DispatchMessageA(&taken);
}

// Whether the window is a combo box, or the edit field of one, whose list is open.
bool IsOpenComboList(HWND window) {
    HWND combo = GADGETCLASS(window) == kComboBoxKind ? window : GetParent(window);
    return GADGETCLASS(combo) == kComboBoxKind && SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

// The window that stands for `focus` in its top-level window's tab order:
// the focus itself when it is a child of the top-level window or of a
// container of controls (WS_EX_CONTROLPARENT), else the control that holds
// it (a browser area's inner windows, a combo box's edit field).
HWND TabOrderWindow(HWND focus, HWND root) {
    HWND window = focus;
    for (HWND parent = GetParent(window); parent != nullptr && parent != root;
         parent = GetParent(window)) {
        if (GetWindowLongA(parent, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) break;
        window = parent;
    }
    return window;
}

// Tab and Shift+Tab move the focus through the gadgets that carry
// WS_TABSTOP, as in a dialog, in the library's top-level windows. A control
// that wants the tab key for itself (a multi-line edit box) keeps it; where
// no gadget is a tab stop the key goes on as before. The key is taken whole:
// no tab character reaches the control that had the focus. `inBrowser`: the
// key is for a window inside a web gadget, whose control had it first.
bool MoveFocusOnTab(const MSG& taken, bool inBrowser) {
    if (!IsKeyDown(taken, VK_TAB) || GetKeyState(VK_CONTROL) < 0) return false;
    HWND root = RootOf(taken.hwnd);
    if (!IsLibraryWindow(root)) return false;
    HWND from = taken.hwnd == root ? nullptr : TabOrderWindow(taken.hwnd, root);
    if (from == taken.hwnd && !inBrowser) {
        LRESULT wants = SendMessageA(taken.hwnd, WM_GETDLGCODE, taken.wParam,
                                     reinterpret_cast<LPARAM>(&taken));
        if (wants & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) return false;
    }
    HWND next = GetNextDlgTabItem(root, from, GetKeyState(VK_SHIFT) < 0);
    // Without a tab stop the search comes back empty-handed, or with the
    // window it started from: the key goes on as it did before.
    if (next == nullptr || !(GetWindowLongA(next, GWL_STYLE) & WS_TABSTOP)) return false;
    SetFocus(next);
    // As a dialog does: an edit box tabbed into has its text selected.
    if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(next, EM_SETSEL, 0, -1);
    return true;
}

// A key on its way: to a web gadget's control first, then to the page when
// it is Enter on something the page has focused, then to the shortcuts, the
// tab order, and dispatch.
void Deliver(MSG& taken) {
    bool key = IsKeyMessage(taken.message);
    // Asked once for the key: the control, Enter's page focus and Tab need it.
    IWebBrowser2* browser = key ? BrowserHolding(taken.hwnd) : nullptr;
    if (key) {
        if (OfferKeyToBrowser(browser, taken)) return;  // the control took it
        if (IsKeyDown(taken, VK_RETURN)) {
            // Enter on a field, a link, a button or a frame of the page is
            // the page's, as in any browser: a search would navigate away
            // and lose what was typed there. Enter with only the body (or no
            // page) focused searches.
            if (PageHasSomethingFocused(browser)) return Dispatch(taken);
            // An open list closes with the highlighted item first, so that
            // Enter's shortcut acts on the item chosen, once.
            if (IsOpenComboList(taken.hwnd)) {
                Dispatch(taken);
                if (translationActive) TranslateShortcut(taken);
                return;
            }
        }
    }
    if (translationActive && TranslateShortcut(taken)) return;
    if (MoveFocusOnTab(taken, browser != nullptr)) return;
    Dispatch(taken);
}

bool IsWakeUp(const MSG& taken) {
    if (taken.hwnd != nullptr) return false;
    auto timer = static_cast<UINT_PTR>(ThreadValue(wakeUpTimerSlot));
    return (taken.message == wakeUpMessage && wakeUpMessage != 0) ||
           (taken.message == WM_TIMER && taken.wParam == timer && timer != 0);
}

// One message taken from the queue: delivered, then shown to the message
// hook. `taken` is this call's own copy: a caller's hook, the control's
// TranslateAccelerator (a print dialog's loop) or the dispatch itself may
// run the pump again, which takes messages of its own.
void Handle(MSG taken) {
    // The wake-up has done its work: the entry it announced is handed out now.
    if (IsWakeUp(taken)) return DisarmWakeUp();
    // Controls send their notifications, and a container forwards a key to
    // its control by sending WM_FORWARDMSG: a posted one came from some
    // other program, with an address that means nothing here, and is taken
    // from the queue but not dispatched.
    if (taken.message != WM_NOTIFY && taken.message != kForwardMessage) Deliver(taken);
    if (MessageHook hook = ActiveMessageHook()) {
        hook(taken.hwnd, taken.message, taken.wParam, taken.lParam, taken.time, taken.pt.x,
             taken.pt.y);
    }
}

// Takes the newest recorded entry and decodes it into the event record.
int32_t TakeEvent(EventRecord& event) {
    StackEntry entry{};
    PopEvent(entry);
    event.wParam = static_cast<int32_t>(entry.wParam);
    event.lParam = static_cast<int32_t>(entry.lParam);
    event.code = Decode(event, entry);
    if (event.code != 0) UpdateWindow(entry.window);
    return event.code;
}

}  // namespace

void WakeWaitingPump() {
    if (ThreadValue(waitDepthSlot) > 0) ArmWakeUp();
}

void SETWINDOWACCELERATOR(HACCEL table, HWND window) {
    translationActive = true;
    for (TranslationEntry& entry : translations) {
        if (entry.window == window) {
            entry.table = table;
            return;
        }
    }
    if (translations.front().window == nullptr) {
        translations.front() = TranslationEntry{table, window};
    } else {
        translations.push_back(TranslationEntry{table, window});
    }
}

int32_t WINDOWEVENT() {
    EventRecord& event = Event();
    ClearEvent(event);
    int32_t code = 0;
    for (MSG taken; EventStackCount() == 0 && PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE);) {
        Handle(taken);
    }
    if (EventStackCount() > 0) code = TakeEvent(event);
    KeepTheWaitInformed();
    return code;
}

int32_t WAITEVENT() {
    // A recorded event waiting, or a quit message put back by the last call,
    // is handed out as WINDOWEVENT hands it out, without waiting.
    if (EventStackCount() > 0 || quitPutBack) {
        quitPutBack = false;
        return WINDOWEVENT();
    }
    EventRecord& event = Event();
    ClearEvent(event);
    // GetMessageA waits as a bare message loop waits, at no more cost a
    // message; an entry recorded inside the wait wakes it (see ArmWakeUp).
    intptr_t depth = ThreadValue(waitDepthSlot);
    SetThreadValue(waitDepthSlot, depth + 1);
    MSG taken;
    BOOL got = GetMessageA(&taken, nullptr, 0, 0);
    SetThreadValue(waitDepthSlot, depth);
    if (got == 0) {
        // WM_QUIT: back into the queue for a caller that looks for it; the
        // next call takes it as WINDOWEVENT would, if nobody else has.
        PostQuitMessage(static_cast<int>(taken.wParam));
        quitPutBack = true;
    } else if (got > 0) {
        Handle(taken);
    }
    int32_t code = got != 0 && EventStackCount() > 0 ? TakeEvent(event) : 0;
    KeepTheWaitInformed();
    return code;
}

}  // namespace gadgets
