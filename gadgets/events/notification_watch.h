// Which WM_NOTIFY messages a library window may read: those that a control
// of its own thread sends it.
#pragma once

#include <windows.h>

namespace gadgets {

// A window that uses the library's procedure goes (WM_NCDESTROY): with the
// thread's last such window the watch goes too.
void LibraryWindowGoes(HWND window);

// A child was made inside a library window of this thread
// (WM_PARENTNOTIFY): a child that may notify (any but the system's own
// controls, the web gadget's host and library windows) starts the watch.
void ChildCreated(HWND window, HWND child);
// A common control of this thread asks a library window for the form of
// the notifications it will send it (WM_NOTIFYFORMAT, wParam): a tooltip with
// a tool of the window, a list view, made with or without WM_PARENTNOTIFY.
void NotifierAsks(HWND control);

// Whether the WM_NOTIFY arriving at `window` was sent by a control of this
// thread, whatever procedures it passed on its way. Asked once for each
// notification that arrives.
bool IsOwnNotification(HWND window, WPARAM wParam, LPARAM lParam);

// The watch's hook on this thread's sends, null while there is none (for
// tests); the hook on what the thread takes from its queue comes and goes
// with it.
HHOOK NotificationWatchHook();

}  // namespace gadgets
