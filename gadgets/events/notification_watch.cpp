// The watch over notifications sent on a thread.
//
// A WM_NOTIFY's lParam is the address of a record in the sender's memory,
// which means something only when a control of this thread sent it. Any
// program may post one, and any message loop dispatches what is posted (the
// move and size loop, menus, message boxes, not only the pump); another
// thread may send one. InSendMessageEx cannot tell: it describes the
// outermost message that another thread sent, also while a control of this
// thread notifies inside it, and a posted message is no send at all.
//
// Two thread hooks tell, whatever procedures a window has (a caller's
// subclass, a tooltip's TTF_SUBCLASS): one runs before each message sent on
// the thread reaches the first of them and says which thread sent it
// (WH_CALLWNDPROC); the other sees each message taken from the queue
// (WH_GETMESSAGE) and forgets what the first said about a notification with
// the same values, so that a send that a subclass answered itself never
// vouches for a posted copy, whichever loop dispatches it.
//
// They cost every message sent on the thread and every message taken from
// its queue a trip through the system each (on Wine a send takes some 13 to
// 17 µs instead of 0.5), so they are set only once a library window of the
// thread gets a control that may notify it, and go with the thread's last
// library window, however windows came to use the library's procedure. A
// common control asks the window it will notify for the form of its
// notifications (WM_NOTIFYFORMAT; a tooltip when a tool of the window is
// added); any other child announces itself when it is made
// (WM_PARENTNOTIFY). A control that does neither (made with
// WS_EX_NOPARENTNOTIFY, moved in with SetParent, a tab control under Wine)
// shows itself with its first notification, which this thread's send leaves
// in a live frame of its stack, above the window procedure, naming a window
// of this thread that may notify; another program can only guess at such an
// address. That notification starts the watch, and is read unless the thread
// serves another thread's send. The system's own controls notify their
// parents by WM_COMMAND, and what a button sends by WM_NOTIFY is not read: a
// window with only those pays nothing.
#include "gadgets/events/notification_watch.h"

#include "gadgets/events/event_state.h"
#include "gadgets/gadgets.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace gadgets {

namespace {

// A WM_NOTIFY sent on the thread, as the send hook saw it.
struct Send {
    HWND window;
    WPARAM wParam;
    LPARAM lParam;
    bool own;  // sent by this thread
    bool Is(HWND to, WPARAM w, LPARAM l) const { return window == to && wParam == w && lParam == l; }
};

// One for each thread whose library windows have a control that may notify.
struct ThreadWatch {
    HHOOK sends = nullptr;
    HHOOK taken = nullptr;
    // The latest notifications sent on the thread, to any window; the
    // library's procedure matches each once. Those to other windows are
    // never matched, and newer ones write over them.
    Send recent[8]{};
    unsigned next = 0;
};

const DWORD watchSlot = TlsAlloc();

ThreadWatch* WatchOfThisThread() {
    return watchSlot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<ThreadWatch*>(TlsGetValue(watchSlot));
}

LRESULT CALLBACK WatchSends(int code, WPARAM sentByThisThread, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_NOTIFY) {
        if (ThreadWatch* watch = WatchOfThisThread()) {
            watch->recent[watch->next++ % std::size(watch->recent)] =
                Send{sent->hwnd, sent->wParam, sent->lParam, sentByThisThread != 0};
        }
    }
    return CallNextHookEx(nullptr, code, sentByThisThread, lParam);
}

LRESULT CALLBACK WatchTaken(int code, WPARAM removal, LPARAM lParam) {
    const auto* queued = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && queued->message == WM_NOTIFY) {
        if (ThreadWatch* watch = WatchOfThisThread()) {
            for (Send& send : watch->recent) {
                if (send.Is(queued->hwnd, queued->wParam, queued->lParam)) send = Send{};
            }
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

// Whether this thread sent the notification now arriving at `window`; the
// newest matching record answers, once.
bool TakeSend(ThreadWatch& watch, HWND window, WPARAM wParam, LPARAM lParam) {
    for (unsigned back = 1; back <= std::size(watch.recent); ++back) {
        Send& send = watch.recent[(watch.next - back) % std::size(watch.recent)];
        if (send.Is(window, wParam, lParam)) {
            bool own = send.own;
            send = Send{};
            return own;
        }
    }
    return false;
}

// The system's controls (which notify by WM_COMMAND; a button's WM_NOTIFY
// is not read), the web gadget's host and library windows never start the
// watch; every other window may notify.
bool MayNotify(HWND window) {
    static constexpr const char* kQuiet[] = {"Button", "ComboBox", "Edit", "ListBox", "ScrollBar",
                                             "Static", "ComboLBox", "MDIClient", "AtlAxWin"};
    if (IsLibraryWindow(window)) return false;
    char name[32];
    if (GetClassNameA(window, name, sizeof name) == 0) return false;
    for (const char* quiet : kQuiet) {
        if (lstrcmpiA(name, quiet) == 0) return false;
    }
    return true;
}

bool OfThisThread(HWND window) {
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

void StartWatching() {
    if (watchSlot == TLS_OUT_OF_INDEXES || WatchOfThisThread() != nullptr) return;
    // Without its hooks (none could be set) the watch reads nothing.
    auto* watch = new ThreadWatch;
    DWORD thread = GetCurrentThreadId();
    watch->sends = SetWindowsHookExA(WH_CALLWNDPROC, WatchSends, nullptr, thread);
    watch->taken = SetWindowsHookExA(WH_GETMESSAGE, WatchTaken, nullptr, thread);
    TlsSetValue(watchSlot, watch);
}

// `control` is of this thread: the message that names it may come from any program.
void StartWatchingFor(HWND control) {
    if (control != nullptr && OfThisThread(control) && MayNotify(control)) StartWatching();
}

// A child of the window's own: a grandchild notifies its own parent (the
// browser control's inner windows, under the web gadget's host).
HWND OwnChild(HWND window, HWND child) {
    return child != nullptr && GetAncestor(child, GA_PARENT) == window ? child : nullptr;
}

// Whether the record at `lParam` lies in a live frame of this thread's stack,
// above this function's, and names as its sender a window of this thread
// that may notify, with `wParam` as its identifier. Nothing outside that
// part of the stack is read.
bool IsALiveRecordOfThisThread(HWND window, WPARAM wParam, LPARAM lParam) {
    // The largest record that the library's procedure reads.
    constexpr uintptr_t kLargest = std::max({sizeof(NMITEMACTIVATE), sizeof(NMLISTVIEW),
                                             sizeof(NMTREEVIEWA), sizeof(NMTTDISPINFOA)});
    void* frame = __builtin_frame_address(0);
    auto record = static_cast<uintptr_t>(lParam);
    if (record < reinterpret_cast<uintptr_t>(frame)) return false;
    // The stack's committed pages, from this frame's up to the stack's top.
    MEMORY_BASIC_INFORMATION stack{};
    if (VirtualQuery(frame, &stack, sizeof stack) != sizeof stack) return false;
    auto end = reinterpret_cast<uintptr_t>(stack.BaseAddress) + stack.RegionSize;
    if (record > end || end - record < kLargest) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(record);
    return header->idFrom == wParam && header->hwndFrom != window && OfThisThread(header->hwndFrom) &&
           MayNotify(header->hwndFrom);
}

// Whether another window of this thread uses the library's procedure.
struct LibraryWindowSearch {
    HWND going;
    bool found = false;
};

BOOL CALLBACK LookAt(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<LibraryWindowSearch*>(context);
    search->found = window != search->going && OfThisThread(window) &&
                    (IsLibraryWindow(window) ||
                     GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(FBGUIWINPROC));
    return !search->found;
}

BOOL CALLBACK LookInside(HWND topLevel, LPARAM context) {
    if (LookAt(topLevel, context)) EnumChildWindows(topLevel, LookAt, context);
    return !reinterpret_cast<LibraryWindowSearch*>(context)->found;
}

bool AnotherLibraryWindow(HWND going) {
    LibraryWindowSearch search{going};
    EnumThreadWindows(GetCurrentThreadId(), LookInside, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

void LibraryWindowGoes(HWND window) {
    ThreadWatch* watch = WatchOfThisThread();
    if (watch == nullptr || AnotherLibraryWindow(window)) return;
    UnhookWindowsHookEx(watch->sends);
    UnhookWindowsHookEx(watch->taken);
    TlsSetValue(watchSlot, nullptr);
    delete watch;
}

void ChildCreated(HWND window, HWND child) { StartWatchingFor(OwnChild(window, child)); }

void NotifierAsks(HWND control) { StartWatchingFor(control); }

bool IsOwnNotification(HWND window, WPARAM wParam, LPARAM lParam) {
    if (ThreadWatch* watch = WatchOfThisThread()) return TakeSend(*watch, window, wParam, lParam);
    if (!IsALiveRecordOfThisThread(window, wParam, lParam)) return false;
    StartWatching();
    // Inside another thread's send the record could also be the one that
    // thread sent: only the hooks, set from now on, could have told.
    return InSendMessageEx(nullptr) == ISMEX_NOSEND;
}

HHOOK NotificationWatchHook() {
    ThreadWatch* watch = WatchOfThisThread();
    return watch != nullptr ? watch->sends : nullptr;
}

}  // namespace gadgets
