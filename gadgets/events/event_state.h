// The event record, the event stack and the settings beside them, as the
// window procedure, the pump and the colour painting see them.
#pragma once

#include "gadgets/gadgets.h"

#include <windows.h>

#include <cstdint>

namespace gadgets {

// The one process-wide description of the last event. Accessors read it;
// the window procedure and the pump write it.
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
// waiting for a message (a message that another thread sent is delivered
// inside the wait), the pump is woken to hand the entry out.
void WakeWaitingPump();
// Takes the newest entry; false when the stack is empty.
bool PopEvent(StackEntry& entry);
int EventStackCount();

int32_t PageStep();
// The message hook when it is switched on, else null.
MessageHook ActiveMessageHook();

// Hands a window's accelerator table to the pump's translation list
// (a table of 0 stops translating for that window).
void SETWINDOWACCELERATOR(HACCEL table, HWND window);
// The colour skip flag: returns it and clears it.
bool TakeColourSkip();

}  // namespace gadgets
