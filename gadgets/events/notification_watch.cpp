// The watch over notifications sent on a thread.
//
// A WM_NOTIFY's lParam is the address of a record in the sender's memory,
// which means something only when a control of this thread sent it. Any
// program may post one, and any message loop dispatches what is posted (the
// move and size loop, menus, message boxes, not only the pump); another
// thread may send one. A thread hook that runs just before each sent message
// reaches its window procedure says which thread sent it (InSendMessageEx
// cannot tell: it describes the outermost message that another thread sent,
// also while a control of this thread notifies inside it, and a posted
// message is no send at all).
//
// The hook costs every message sent on the thread a trip through the system
// (on Wine some 13 to 17 µs instead of 0.5), so it is set only from the
// moment a library window of the thread gets a control that may notify it,
// and removed with the thread's last library window. A common control asks
// the window it will notify for the form of its notifications
// (WM_NOTIFYFORMAT; a tooltip when a tool of the window is added); any
// other child announces itself when it is made (WM_PARENTNOTIFY); one made
// without that starts the watch with its first notification, which is not
// read. The system's own controls notify their parents by WM_COMMAND, and
// what a button sends by WM_NOTIFY is not read: a window with only those
// pays nothing.
#include "gadgets/events/notification_watch.h"

#include "gadgets/events/event_state.h"
#include "gadgets/gadgets.h"

namespace gadgets {

namespace {

struct Notification {
    HWND window;
    WPARAM wParam;
    LPARAM lParam;
};

// One for each thread with library windows.
struct ThreadWatch {
    int libraryWindows = 0;
    HHOOK hook = nullptr;
    // The notification that the thread is sending now, straight to the
    // library's window procedure; cleared by every other message sent.
    Notification sending{};
};

const DWORD watchSlot = TlsAlloc();

ThreadWatch* WatchOfThisThread() {
    return watchSlot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<ThreadWatch*>(TlsGetValue(watchSlot));
}

// A send straight to the library's procedure reaches it before any other
// code can run or send: the record can never outlive its send. A window
// whose procedure was replaced (subclassed) may answer the send itself, and
// a record left behind would match a notification posted later with the same
// values, pointing into a stack frame long gone; such a window reads none.
bool GoesStraightToTheLibrary(HWND window) {
    return GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(FBGUIWINPROC);
}

LRESULT CALLBACK WatchSends(int code, WPARAM sentByThisThread, LPARAM lParam) {
    if (code == HC_ACTION) {
        if (ThreadWatch* watch = WatchOfThisThread()) {
            const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
            bool own = sent->message == WM_NOTIFY && sentByThisThread != 0 &&
                       GoesStraightToTheLibrary(sent->hwnd);
            watch->sending = own ? Notification{sent->hwnd, sent->wParam, sent->lParam} : Notification{};
        }
    }
    return CallNextHookEx(nullptr, code, sentByThisThread, lParam);
}

// The system's controls (which notify by WM_COMMAND; a button's WM_NOTIFY
// is not read), the web gadget's host and library windows never start the
// watch; every other child may notify.
bool MayNotify(HWND child) {
    static constexpr const char* kQuiet[] = {"Button", "ComboBox", "Edit", "ListBox", "ScrollBar",
                                             "Static", "ComboLBox", "MDIClient", "AtlAxWin"};
    if (IsLibraryWindow(child)) return false;
    char name[32];
    if (GetClassNameA(child, name, sizeof name) == 0) return false;
    for (const char* quiet : kQuiet) {
        if (lstrcmpiA(name, quiet) == 0) return false;
    }
    return true;
}

// `control` is of this thread: the message that names it may come from any program.
void StartWatchingFor(HWND control) {
    ThreadWatch* watch = WatchOfThisThread();
    if (watch == nullptr || watch->hook != nullptr || control == nullptr ||
        GetWindowThreadProcessId(control, nullptr) != GetCurrentThreadId() || !MayNotify(control)) {
        return;
    }
    watch->hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchSends, nullptr, GetCurrentThreadId());
}

// A child of the window's own: a grandchild notifies its own parent (the
// browser control's inner windows, under the web gadget's host).
HWND OwnChild(HWND window, HWND child) {
    return child != nullptr && GetAncestor(child, GA_PARENT) == window ? child : nullptr;
}

}  // namespace

void LibraryWindowCreated() {
    ThreadWatch* watch = WatchOfThisThread();
    if (watch == nullptr) {
        if (watchSlot == TLS_OUT_OF_INDEXES) return;
        watch = new ThreadWatch;
        TlsSetValue(watchSlot, watch);
    }
    ++watch->libraryWindows;
}

void LibraryWindowDestroyed() {
    ThreadWatch* watch = WatchOfThisThread();
    if (watch == nullptr || --watch->libraryWindows > 0) return;
    if (watch->hook != nullptr) UnhookWindowsHookEx(watch->hook);
    TlsSetValue(watchSlot, nullptr);
    delete watch;
}

void ChildCreated(HWND window, HWND child) { StartWatchingFor(OwnChild(window, child)); }

void NotifierAsks(HWND control) { StartWatchingFor(control); }

bool IsOwnNotification(HWND window, WPARAM wParam, LPARAM lParam) {
    ThreadWatch* watch = WatchOfThisThread();
    if (watch == nullptr) return false;
    if (watch->hook == nullptr) {
        // wParam names the sending control; an integer, safe to look at.
        StartWatchingFor(OwnChild(window, GetDlgItem(window, static_cast<int>(wParam))));
        return false;
    }
    const Notification& sent = watch->sending;
    bool own = sent.window == window && sent.wParam == wParam && sent.lParam == lParam;
    watch->sending = Notification{};
    return own;
}

HHOOK NotificationWatchHook() {
    ThreadWatch* watch = WatchOfThisThread();
    return watch != nullptr ? watch->hook : nullptr;
}

}  // namespace gadgets
