// Gadget position and size, the kind of a window told by its class name, and
// the work area of a monitor.
#include "gadgets/gadgets.h"

#include <commctrl.h>

namespace gadgets {

namespace {

// The gadget's window rectangle in screen coordinates; zero when it has none.
RECT GadgetRect(int32_t number) {
    RECT rect{};
    if (!GetWindowRect(GadgetID(number), &rect)) rect = RECT{};
    return rect;
}

POINT GadgetCorner(int32_t number) {
    HWND window = GadgetID(number);
    RECT rect = GadgetRect(number);
    POINT corner{rect.left, rect.top};
    ScreenToClient(GetParent(window), &corner);
    return corner;
}

struct KindByName {
    const char* className;
    GadgetKind kind;
};

// Compared in this order, exactly and case-sensitively; the first match decides.
constexpr KindByName kKinds[] = {
    {"ComboBox", kComboBoxKind},         {"ComboLBox", kComboListKind},
    {"ListBox", kListBoxKind},           {"SysTabControl32", kTabKind},
    {"msctls_trackbar32", kTrackbarKind}, {"ScrollBar", kScrollBarKind},
    {"msctls_progress32", kProgressKind}, {"SysDateTimePick32", kDateTimePickerKind},
    {"SysMonthCal32", kMonthCalendarKind}, {"msctls_updown32", kUpDownKind},
    {"ToolbarWindow32", kToolbarKind},   {"Static", kLabelKind},
    {"SysListView32", kListViewKind},
};

}  // namespace

int32_t GADGETX(int32_t number) { return GadgetCorner(number).x; }

int32_t GADGETY(int32_t number) { return GadgetCorner(number).y; }

int32_t GADGETWIDTH(int32_t number) {
    RECT rect = GadgetRect(number);
    return rect.right - rect.left;
}

int32_t GADGETHEIGHT(int32_t number) {
    RECT rect = GadgetRect(number);
    return rect.bottom - rect.top;
}

int32_t RESIZEGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (x == kKeep) x = GADGETX(number);
    if (y == kKeep) y = GADGETY(number);
    if (width == kKeep) width = GADGETWIDTH(number);
    if (height == kKeep) height = GADGETHEIGHT(number);
    HWND window = GadgetID(number);
    BOOL moved = MoveWindow(window, x, y, width, height, TRUE);

    // A tab control carries the panel that shows its page: fit it below the tabs.
    if (GETCLASSNAME_(window) == "SysTabControl32") {
        RECT item{};
        SendMessageA(window, TCM_GETITEMRECT,
                     reinterpret_cast<WPARAM>(GetPropA(window, "paneltabItem")),
                     reinterpret_cast<LPARAM>(&item));
        RESIZEWINDOW(static_cast<HWND>(GetPropA(window, "paneltab")), 1, item.bottom + 1,
                     GADGETWIDTH(number) - 3, GADGETHEIGHT(number) - 26);
    }
    return moved;
}

std::string GETCLASSNAME_(HWND window) {
    char name[128] = {};
    if (window != nullptr) GetClassNameA(window, name, sizeof name);
    return name;
}

int32_t GADGETCLASS(HWND window) {
    std::string name = GETCLASSNAME_(window);
    for (const KindByName& entry : kKinds) {
        if (name == entry.className) return entry.kind;
    }
    return kOtherKind;
}

RECT WorkAreaOfMonitor(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info)) {
        return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return info.rcWork;
}

}  // namespace gadgets
