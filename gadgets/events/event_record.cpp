// The event record, its accessors, and the event stack.
#include "gadgets/controls/colour_painting.h"
#include "gadgets/events/event_state.h"
#include "gadgets/gadgets.h"

namespace gadgets {

namespace {

EventRecord record;

// Positions 1 to 20 are used; the count is also the position of the top entry.
StackEntry stack[kEventStackSize + 1];
int stackCount = 0;

int32_t pageStep = 10;

// Reads a one-shot field and puts it back to its resting value.
int32_t TakeOnce(int32_t& field, int32_t resting) {
    int32_t value = field;
    field = resting;
    return value;
}

}  // namespace

EventRecord& Event() { return record; }

bool PushEvent(const StackEntry& entry) {
    if (stackCount >= kEventStackSize) return false;
    stackCount = entry.message == WM_CLOSE ? 1 : stackCount + 1;
    stack[stackCount] = entry;
    return true;
}

bool PopEvent(StackEntry& entry) {
    if (stackCount <= 0) return false;
    entry = stack[stackCount--];
    return true;
}

int EventStackCount() { return stackCount; }

int32_t PageStep() { return pageStep; }

int32_t EVENTNUMBER() { return record.number; }
int32_t EVENTNUMBERTOOLBAR() { return record.toolbarNumber; }
int32_t EVENTNUMBERLISTVIEW() { return TakeOnce(record.listViewNumber, 0); }
int32_t MOUSEX() { return record.mouseX; }
int32_t MOUSEY() { return record.mouseY; }
int32_t SIZEX() { return record.sizeX; }
int32_t SIZEY() { return record.sizeY; }
HWND EVENTHWND() { return record.window; }
int32_t EVENTKEY() { return record.key; }
int32_t EVENTWPARAM() { return record.wParam; }
int32_t EVENTLPARAM() { return record.lParam; }
int32_t GETSUBITEMLISTVIEW() { return record.listViewSubitem; }
int32_t GETITEMLISTVIEW() { return record.listViewItem; }
int32_t GETCOLUMNLISTVIEW() { return TakeOnce(record.listViewColumn, -1); }
int32_t FLAGKEYLISTVIEW() { return record.listViewKeyFlags; }
int32_t GETITEMTREEVIEW() { return record.treeViewItem; }
int32_t EVENTNUMBERTREEVIEW() { return TakeOnce(record.treeViewNumber, 0); }

int32_t ERR_(int32_t flag) {
    SetColourSkip(flag);
    return 1;
}

void SETPAGESTEPSCROLLBAR(int32_t step) { pageStep = step; }

}  // namespace gadgets
