// Checks made on what a message carries when it arrives, before the library
// reads any of it: the addresses and window handles in a message may come
// from any program, and no message is watched on its way.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>

namespace gadgets {

// Whether the `size` bytes at `address` are committed memory of this process
// that may be read now (no guard page); or written, for IsWritable.
bool IsReadable(const void* address, size_t size);
bool IsWritable(void* address, size_t size);

bool IsWindowOfThisThread(HWND window);

// Whether the thread is serving a message that another thread sent it, of any
// kind (SendMessage, SendNotifyMessage, SendMessageCallback). The system says
// so also for the thread's own sends made while it serves one, and a posted
// message is no send: such a message counts as another thread's.
bool InAnotherThreadsSend();

// The header of the notification at `lParam` that arrives at `window`, copied
// into `header`, when it may be read: not in another thread's send, readable,
// and from a window of this thread that is `window`, inside it or owned by
// it, under that window's control identifier (a tooltip: a tool of `window`).
// Nothing beyond the header is read here.
bool ReadNotificationHeader(HWND window, LPARAM lParam, NMHDR& header);

}  // namespace gadgets
