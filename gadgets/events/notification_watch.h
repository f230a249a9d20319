// Which WM_NOTIFY messages a library window may read: those that a control
// of its own thread is sending to it right now.
#pragma once

#include <windows.h>

namespace gadgets {

// Counts the thread's library windows, from WM_NCCREATE to WM_NCDESTROY;
// the watch goes with the thread's last one.
void LibraryWindowCreated();
void LibraryWindowDestroyed();

// A child was made inside a library window of this thread
// (WM_PARENTNOTIFY): a child that may notify (any but the system's own
// controls, the web gadget's host and library windows) starts the watch.
void ChildCreated(HWND window, HWND child);
// A common control of this thread asks a library window for the form of
// the notifications it will send it (WM_NOTIFYFORMAT, wParam): a tooltip with
// a tool of the window, a list view, made with or without WM_PARENTNOTIFY.
void NotifierAsks(HWND control);

// Whether the WM_NOTIFY arriving at `window` is the one that this thread is
// sending straight to it now; taken, so that it matches once. Without a
// watch nothing is read; a notification from a child that may notify, made
// where the watch did not see it (WS_EX_NOPARENTNOTIFY), starts the watch
// for the next ones.
bool IsOwnNotification(HWND window, WPARAM wParam, LPARAM lParam);

// The watch's hook on this thread, null while there is none (for tests).
HHOOK NotificationWatchHook();

}  // namespace gadgets
