// The event record, the event stack and the settings beside them, as the
// window procedure and the pump see them.
#pragma once

#include "gadgets/gadgets.h"

#include <windows.h>

#include <cstdint>

namespace gadgets {

// The one process-wide description of the last event. The accessors read
// it; two writers fill it, each its own fields:
// - the window procedure, while a message is being delivered: sizeX and
//   sizeY (every WM_SIZE), the list view and tree view fields (from the
//   notifications it reads), and `window` for a scroll bar request;
// - the pump, when it hands out an event: code, number, window, mouseX and
//   mouseY (cleared at every call, then decoded), key, wParam, lParam and
//   toolbarNumber.
// Two hand-offs run from the procedure to the pump. The notification flag:
// set by the procedure on a column click, a tree view or a tab selection
// change; while it is set the pump reports no child click, and it clears it
// when it decodes a WM_NOTIFY entry. The window property "WM_NOTIFY_Event":
// set to 1 by the procedure before it sends its window the WM_COMMAND made
// from a notification; the pump reports that WM_COMMAND as a gadget event
// and sets the property back to 0.
struct EventRecord {
    int32_t code = 0;
    int32_t number = 0;
    int32_t toolbarNumber = 0;
    HWND window = nullptr;
    int32_t key = 0;
    int32_t wParam = 0;
    int32_t lParam = 0;
    int32_t mouseX = 0;
    int32_t mouseY = 0;
    int32_t sizeX = 0;
    int32_t sizeY = 0;
    int32_t listViewNumber = 0;
    int32_t listViewItem = 0;
    int32_t listViewSubitem = 0;
    int32_t listViewColumn = -1;
    int32_t listViewKeyFlags = 0;
    int32_t treeViewItem = 0;
    int32_t treeViewNumber = 0;
    int32_t notificationFlag = 0;
};

EventRecord& Event();

// A message as the window procedure received it.
struct StackEntry {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

constexpr int kEventStackSize = 20;

// Records a message unless the stack is full; WM_CLOSE first drops every
// waiting entry. Returns false when the message was not recorded.
bool PushEvent(const StackEntry& entry);
// Asked by the window procedure after it records an entry: when WAITEVENT is
// waiting for a message on this thread (a message that another thread sent
// is delivered inside the wait), the pump is woken to hand the entry out.
void WakeWaitingPump();
// Takes the newest entry; false when the stack is empty.
bool PopEvent(StackEntry& entry);
int EventStackCount();

int32_t PageStep();
// A window property read as a number; 0 when the window has none.
int32_t Property(HWND window, const char* name);
// Whether the window is one of the library's: its class's procedure is FBGUIWINPROC.
bool IsLibraryWindow(HWND window);
// The message hook when it is switched on, else null.
MessageHook ActiveMessageHook();

// Hands a window's accelerator table to the pump's translation list
// (a table of 0 stops translating for that window).
void SETWINDOWACCELERATOR(HACCEL table, HWND window);

}  // namespace gadgets
