// Event dispatch through real windows and real messages: the event record and
// its accessors, the event stack, the library's window procedure (FBGUIWINPROC)
// and the event pump (WINDOWEVENT, WAITEVENT).
#include "standin.h"
#include "test_support.h"

#include "gadgets/controls/colour_painting.h"
#include "gadgets/events/event_state.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

// 1029: another party hands the window a mouse message to report.
constexpr UINT kPassOnMessage = WM_USER + 5;

int32_t Low32(intptr_t value) { return static_cast<int32_t>(value); }
int32_t Low32(const void* pointer) { return Low32(reinterpret_cast<intptr_t>(pointer)); }

void SetProperty(HWND window, const char* name, intptr_t value) {
    SetPropA(window, name, reinterpret_cast<HANDLE>(value));
}

void InitControls() {
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX),
                              ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES |
                                  ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES |
                                  ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&init);
}

// A child control registered as a gadget under `number` (its control identifier too).
HWND AddGadget(const char* className, HWND parent, int32_t number, DWORD style = 0, int x = 10,
               int y = 10, int width = 120, int height = 24, const char* text = "") {
    HWND control = CreateChild(className, parent, number, style, x, y, width, height, text);
    ADDIN9999(number, control);
    return control;
}

// Switches a hook off when the test ends, whatever happened in between.
struct HookOff {
    int32_t kind;
    ~HookOff() { FREECALLBACK(kind); }
};

bool QueueEmpty() {
    MSG message;
    return !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

void WaitForInput(DWORD ms) { MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT); }

// Calls the pump once per round until an event meets `wanted` or the deadline
// passes; waits for new messages only while nothing is waiting.
bool PumpFor(const std::function<bool(int32_t)>& wanted, int timeoutMs = 5000) {
    DWORD start = GetTickCount();
    for (;;) {
        int32_t code = WINDOWEVENT();
        if (wanted(code)) return true;
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        if (code == 0 && EventStackCount() == 0) WaitForInput(20);
    }
}

// Pumps until an event with the code comes.
bool PumpFor(int32_t wantedCode) {
    return PumpFor([wantedCode](int32_t code) { return code == wantedCode; });
}

// Pumps until the gadget event (1025) of gadget `number` comes.
bool PumpForGadgetEvent(int32_t number) {
    return PumpFor([number](int32_t code) { return code == 1025 && EVENTNUMBER() == number; });
}

// The next entry's event. After every non-zero event the pump updates the
// entry's window, and the paint request that this sends is recorded above
// whatever still waits; those paint events are passed over here.
int32_t NextEntryEvent() {
    int32_t code = WINDOWEVENT();
    while (code == WM_PAINT && EventStackCount() > 0) code = WINDOWEVENT();
    return code;
}

// One event as the pump handed it out.
struct Seen {
    int32_t code;
    int32_t number;
    HWND window;
    int32_t mouseX;
    int32_t mouseY;
};

// The event the pump just handed out.
Seen SeenNow(int32_t code) { return {code, EVENTNUMBER(), EVENTHWND(), MOUSEX(), MOUSEY()}; }

bool AnyCode(const std::vector<Seen>& seen, int32_t code) {
    return std::any_of(seen.begin(), seen.end(), [code](const Seen& s) { return s.code == code; });
}

// Runs the pump until the queue and the event stack are both empty; every
// non-zero event it gave, in order.
std::vector<Seen> PumpAll() {
    std::vector<Seen> seen;
    for (int round = 0; round < 10000; ++round) {
        if (EventStackCount() == 0 && QueueEmpty()) break;
        int32_t code = WINDOWEVENT();
        if (code != 0) seen.push_back(SeenNow(code));
    }
    return seen;
}

std::string Codes(const std::vector<Seen>& seen) {
    std::ostringstream out;
    for (const Seen& event : seen) out << event.code << "(" << event.number << ") ";
    return out.str();
}

// Brings a window to the front of the X display with the input focus.
void Raise(HWND window) {
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    FocusWindow(window);
    UpdateWindow(window);
    Drain();
}

// Clicks the left button through the X server at a point of `window`'s client
// area. The click is checked by its effect: Wine reports no exit status here.
void ClickAt(HWND window, POINT client, int clicks = 1) {
    POINT screen = client;
    ClientToScreen(window, &screen);
    RunUnixToEnd("/usr/bin/xdotool mousemove --sync " + std::to_string(screen.x) + " " +
            std::to_string(screen.y) + " click --repeat " + std::to_string(clicks) +
            " --delay 60 1");
}

POINT Centre(const RECT& rect) {
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// A hidden popup window of a class of the test's own, registered on first use.
HWND OpenOwnPopup(const char* className, WNDPROC procedure) {
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), className, &windowClass)) {
        windowClass = WNDCLASSA{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        if (RegisterClassA(&windowClass) == 0) return nullptr;
    }
    return CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                           nullptr);
}

// A window of the fixture's own for each test: opened by the library once the
// common controls are ready, given its controls (AddControls), brought to the
// front with the input focus, and destroyed after the test. Each test takes
// kNumbersPerTest gadget numbers of its own from kFirstNumber on (number_).
template <int32_t kFirstNumber = 0, int32_t kNumbersPerTest = 0>
class OwnWindowTest : public ::testing::Test {
protected:
    explicit OwnWindowTest(const char* title) : title_(title) {}

    void SetUp() override {
        InitControls();
        window_ = OpenTestWindow(title_, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        number_ = nextNumber_;
        nextNumber_ += kNumbersPerTest;
        AddControls();
        Raise(window_);
    }
    void TearDown() override {
        DestroyWindow(window_);
        Drain();
    }
    virtual void AddControls() {}

    HWND window_ = nullptr;
    int32_t number_ = 0;

private:
    const char* title_;
    static inline int32_t nextNumber_ = kFirstNumber;
};

// ---- What the accessors report --------------------------------------------------

struct Record {
    int32_t code = 0;
    int32_t number = 0;
    HWND window = nullptr;
    int32_t key = 0;
    int32_t mouseX = 0;
    int32_t mouseY = 0;
    int32_t wParam = 0;
    int32_t lParam = 0;
    int32_t toolbar = 0;
    int32_t sizeX = 0;
    int32_t sizeY = 0;
    int32_t notificationFlag = 0;
};

Record Observed(int32_t code) {
    return {code,          EVENTNUMBER(),         EVENTHWND(), EVENTKEY(),
            MOUSEX(),      MOUSEY(),              EVENTWPARAM(), EVENTLPARAM(),
            EVENTNUMBERTOOLBAR(), SIZEX(), SIZEY(), Event().notificationFlag};
}

// Fails with one line per field that differs ("EVENTNUMBER: expected 5, got 0").
::testing::AssertionResult RecordsAgree(const Record& expected, const Record& actual) {
    std::ostringstream out;
    auto compare = [&out](const char* field, auto want, auto got) {
        if (want != got) out << "\n    " << field << ": expected " << want << ", got " << got;
    };
    compare("event code", expected.code, actual.code);
    compare("EVENTNUMBER", expected.number, actual.number);
    compare("EVENTHWND", static_cast<const void*>(expected.window),
            static_cast<const void*>(actual.window));
    compare("EVENTKEY", expected.key, actual.key);
    compare("MOUSEX", expected.mouseX, actual.mouseX);
    compare("MOUSEY", expected.mouseY, actual.mouseY);
    compare("EVENTWPARAM", expected.wParam, actual.wParam);
    compare("EVENTLPARAM", expected.lParam, actual.lParam);
    compare("EVENTNUMBERTOOLBAR", expected.toolbar, actual.toolbar);
    compare("SIZEX", expected.sizeX, actual.sizeX);
    compare("SIZEY", expected.sizeY, actual.sizeY);
    compare("notification flag", expected.notificationFlag, actual.notificationFlag);
    if (out.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << out.str();
}

// A field of the library's event record, with its name for the failure message.
struct RecordField {
    const char* name;
    int32_t EventRecord::*field;
};
#define RECORD_FIELD(field) RecordField{#field, &EventRecord::field}

// Fails with one line per field whose value is not the one it had in `before`.
::testing::AssertionResult FieldsKept(const EventRecord& before, const EventRecord& after,
                                      std::initializer_list<RecordField> fields) {
    std::ostringstream out;
    for (const RecordField& f : fields) {
        if (after.*f.field != before.*f.field) {
            out << "\n    " << f.name << ": was " << before.*f.field << ", now " << after.*f.field;
        }
    }
    if (out.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << out.str();
}

}  // namespace

// ---- The record before anything happened (a process of its own) --------------

TEST(EventRecordAtStart, EveryAccessorReadsZeroExceptTheColumn) {
    struct Reading {
        const char* accessor;
        int64_t value;
        int64_t expected;
    };
    const Reading readings[] = {
        {"EVENTNUMBER", EVENTNUMBER(), 0},
        {"EVENTNUMBERTOOLBAR", EVENTNUMBERTOOLBAR(), 0},
        {"EVENTNUMBERLISTVIEW", EVENTNUMBERLISTVIEW(), 0},
        {"MOUSEX", MOUSEX(), 0},
        {"MOUSEY", MOUSEY(), 0},
        {"SIZEX", SIZEX(), 0},
        {"SIZEY", SIZEY(), 0},
        {"EVENTHWND", reinterpret_cast<intptr_t>(EVENTHWND()), 0},
        {"EVENTKEY", EVENTKEY(), 0},
        {"EVENTWPARAM", EVENTWPARAM(), 0},
        {"EVENTLPARAM", EVENTLPARAM(), 0},
        {"GETSUBITEMLISTVIEW", GETSUBITEMLISTVIEW(), 0},
        {"GETITEMLISTVIEW", GETITEMLISTVIEW(), 0},
        {"GETCOLUMNLISTVIEW", GETCOLUMNLISTVIEW(), -1},
        {"FLAGKEYLISTVIEW", FLAGKEYLISTVIEW(), 0},
        {"GETITEMTREEVIEW", GETITEMTREEVIEW(), 0},
        {"EVENTNUMBERTREEVIEW", EVENTNUMBERTREEVIEW(), 0},
        {"event stack count", EventStackCount(), 0},
        {"page step", PageStep(), 10},
    };
    for (const Reading& reading : readings) {
        EXPECT_EQ(reading.value, reading.expected) << reading.accessor << " before any event";
    }
}

// ---- Accessors after a call that found nothing ----------------------------------

TEST(EventAccessors, CallWithNothingWaitingClearsOnlyTheEventFields) {
    TestWindow window(WS_OVERLAPPEDWINDOW);  // hidden: nothing to paint, nothing queued
    Drain();
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(234, 156));
    ASSERT_EQ(WINDOWEVENT(), WM_SIZE);
    // A press passed on (lParam -1) fills every field that a call may clear.
    SendMessageA(window, WM_LBUTTONDOWN, 9, -1);
    ASSERT_EQ(WINDOWEVENT(), WM_LBUTTONDOWN);
    Record before = Observed(WM_LBUTTONDOWN);
    ASSERT_EQ(before.number, 9);
    ASSERT_EQ(before.window, static_cast<HWND>(window));
    ASSERT_EQ(before.mouseX, 65535);
    ASSERT_TRUE(QueueEmpty());
    ASSERT_EQ(EventStackCount(), 0);

    int32_t code = WINDOWEVENT();

    Record expected = before;
    expected.code = 0;
    expected.number = 0;
    expected.window = nullptr;
    expected.mouseX = 0;
    expected.mouseY = 0;
    EXPECT_TRUE(RecordsAgree(expected, Observed(code))) << "after a call with nothing waiting";
    EXPECT_EQ(before.key, 9);
    EXPECT_EQ(before.sizeX, 234);
    EXPECT_EQ(before.sizeY, 156);
}

// ---- The event stack --------------------------------------------------------------

TEST(EventStack, HoldsTwentyEntriesAndHandsThemOutLastInFirstOut) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    for (int i = 1; i <= 25; ++i) {
        SendMessageA(window, WM_USER, i, -i);
        EXPECT_EQ(EventStackCount(), std::min(i, kEventStackSize)) << "after message " << i;
    }
    for (int expected = 20; expected >= 1; --expected) {
        EXPECT_EQ(WINDOWEVENT(), WM_USER) << "call for entry " << expected;
        EXPECT_EQ(EVENTWPARAM(), expected) << "EVENTWPARAM of the call for entry " << expected;
        EXPECT_EQ(EVENTLPARAM(), -expected) << "EVENTLPARAM of the call for entry " << expected;
    }
    EXPECT_EQ(EventStackCount(), 0);
}

TEST(EventStack, CloseRequestDropsEveryWaitingEntry) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    for (int waiting : {0, 1, 5, 19}) {
        Drain();
        for (int i = 1; i <= waiting; ++i) SendMessageA(window, WM_USER, i, 0);
        ASSERT_EQ(EventStackCount(), waiting);
        LRESULT result = SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(result, 0) << "WM_CLOSE result with " << waiting << " waiting";
        EXPECT_TRUE(IsWindow(window)) << "the window must stay after WM_CLOSE";
        EXPECT_EQ(EventStackCount(), 1) << "entries left by WM_CLOSE with " << waiting
                                        << " waiting";
        EXPECT_EQ(WINDOWEVENT(), WM_CLOSE) << "with " << waiting << " waiting";
        EXPECT_EQ(EVENTHWND(), static_cast<HWND>(window));
        EXPECT_EQ(EventStackCount(), 0) << "after the close request, with " << waiting;
    }
}

TEST(EventStack, CloseRequestOnAFullStackIsNotRecorded) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    for (int i = 1; i <= kEventStackSize; ++i) SendMessageA(window, WM_USER, i, 0);
    ASSERT_EQ(EventStackCount(), kEventStackSize);
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(EventStackCount(), kEventStackSize);
    EXPECT_EQ(WINDOWEVENT(), WM_USER);
    EXPECT_EQ(EVENTWPARAM(), kEventStackSize);
    Drain();
}

namespace {

// A window of the test's own that, when asked, sends a burst of messages to the
// library's window, all inside one dispatch.
HWND burstTarget = nullptr;
int burstHighest = 0;
constexpr int kBurst = 1000;

LRESULT CALLBACK BurstProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        for (int i = 0; i < kBurst; ++i) {
            // Close requests early (drops what waits) and late (on a full stack).
            UINT recorded = i == 5 || i == 500 ? WM_CLOSE : i % 2 == 0 ? WM_USER : WM_MOUSEMOVE;
            SendMessageA(burstTarget, recorded, i, i);
            burstHighest = std::max(burstHighest, EventStackCount());
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST(EventStack, AThousandMessagesInOneDispatchStayWithinTheStack) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    HWND burst = OpenOwnPopup("EventsTestBurst", BurstProc);
    ASSERT_NE(burst, nullptr);
    burstTarget = window;
    burstHighest = 0;
    Drain();
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(77, 66));
    ASSERT_EQ(WINDOWEVENT(), WM_SIZE);
    EventRecord before = Event();

    PostMessageA(burst, WM_APP, 0, 0);
    int32_t code = WINDOWEVENT();

    EXPECT_EQ(burstHighest, kEventStackSize) << "highest stack count during the burst";
    // The close request at 5 leaves one entry; messages 6 to 24 fill the stack
    // and the last of them comes out first.
    EXPECT_EQ(EventStackCount(), kEventStackSize - 1);
    EXPECT_EQ(code, WM_USER);
    EXPECT_EQ(EVENTWPARAM(), 24);
    // The fields that the burst's pops do not describe are untouched.
    EXPECT_TRUE(FieldsKept(before, Event(),
                           {RECORD_FIELD(sizeX), RECORD_FIELD(sizeY), RECORD_FIELD(listViewColumn),
                            RECORD_FIELD(listViewItem), RECORD_FIELD(treeViewNumber)}));
    EXPECT_EQ(PageStep(), 10);

    // The program still answers: the rest comes out and a new message is reported.
    std::vector<Seen> rest = PumpAll();
    EXPECT_EQ(rest.size(), static_cast<size_t>(kEventStackSize - 1)) << Codes(rest);
    SendMessageA(window, WM_KEYDOWN, 'Q', 0);
    EXPECT_EQ(WINDOWEVENT(), WM_KEYDOWN);
    EXPECT_EQ(EVENTKEY(), 'Q');
    DestroyWindow(burst);
}

// ---- Decoding by the pump: a table of cases ---------------------------------------

namespace {

enum class Role {
    None, Window, Button, Label, Toolbar, Edit, ListBox, ListView, DatePicker, MonthCalendar,
    Trackbar, UpDownBuddy, ScrollBar, Header
};

// A message argument: a constant, or the handle of one of the fixture's windows
// (Role::Header: the address of a notification header from the gadget whose
// number is LOWORD(wParam)).
struct Arg {
    Role role = Role::None;
    intptr_t value = 0;
};
constexpr Arg Value(intptr_t value) { return {Role::None, value}; }
constexpr Arg Handle(Role role) { return {role, 0}; }

// Window properties of the receiving window set for a case.
struct Properties {
    bool panelEvent = false;
    bool notifyEvent = false;
    bool eventMouseButton = false;
};

// What a case leaves in the record. EVENTWPARAM and EVENTLPARAM must always be
// the message's own; fields left unset keep the values primed before the case.
struct Expectation {
    int32_t code = 0;
    int32_t number = 0;
    Role window = Role::None;
    std::optional<int32_t> key = std::nullopt;
    int32_t mouseX = 0;
    int32_t mouseY = 0;
    std::optional<int32_t> toolbar = std::nullopt;
    std::optional<int32_t> sizeX = std::nullopt;
    std::optional<int32_t> sizeY = std::nullopt;
    int32_t notificationFlag = 0;
    // The properties "WM_NOTIFY_Event" and "eventmousebutton" after decoding.
    std::optional<intptr_t> notifyEventAfter = std::nullopt;
    std::optional<intptr_t> eventMouseButtonAfter = std::nullopt;
};

struct DecodeCase {
    const char* name;
    UINT message;
    WPARAM wParam = 0;
    Arg lParam = {};
    Properties properties = {};
    Role focus = Role::Window;
    int32_t notificationFlag = 0;  // the flag as the case finds it
    bool posted = false;           // through the queue instead of sent
    Expectation expect = {};
};

constexpr int32_t kButton = 201, kLabel = 202, kToolbar = 203, kEdit = 204, kListBox = 205,
                  kListView = 206, kDatePicker = 207, kMonthCalendar = 208, kTrackbar = 209,
                  kUpDownBuddy = 210, kUpDown = 211, kScrollBar = 212, kUnregistered = 299;

// Primed before every case, so that "keeps its value" can be told from "cleared".
constexpr int32_t kPrimedKey = 0x5A;
constexpr int32_t kPrimedToolbar = 4321;
constexpr int kPrimedWidth = 111, kPrimedHeight = 77;

constexpr WPARAM kLeftAndShift = MK_LBUTTON | MK_SHIFT;

const DecodeCase kDecodeCases[] = {
    {.name = "WM_CLOSE", .message = WM_CLOSE,
     .expect = {.code = 16, .window = Role::Window}},
    {.name = "WM_SIZE", .message = WM_SIZE, .wParam = SIZE_RESTORED,
     .lParam = Value(MAKELPARAM(321, 123)),
     .expect = {.code = 5, .window = Role::Window, .sizeX = 321, .sizeY = 123}},
    {.name = "WM_SIZE with sizes above 32767", .message = WM_SIZE, .wParam = SIZE_RESTORED,
     .lParam = Value(MAKELPARAM(40000, 65535)),
     .expect = {.code = 5, .window = Role::Window, .sizeX = 40000, .sizeY = 65535}},

    {.name = "WM_COMMAND with lParam 0 (menu or shortcut)", .message = WM_COMMAND,
     .wParam = MAKEWPARAM(1001, 1),
     .expect = {.code = 1026, .number = 1001, .window = Role::Window}},
    {.name = "WM_COMMAND from the focused button", .message = WM_COMMAND,
     .wParam = MAKEWPARAM(kButton, BN_CLICKED), .lParam = Handle(Role::Button),
     .focus = Role::Button,
     .expect = {.code = 1025, .number = kButton, .window = Role::Button, .toolbar = kButton,
                .notifyEventAfter = 0}},
    {.name = "WM_COMMAND from an unfocused label", .message = WM_COMMAND,
     .wParam = MAKEWPARAM(kLabel, STN_CLICKED), .lParam = Handle(Role::Label),
     .expect = {.code = 1025, .number = kLabel, .window = Role::Label, .toolbar = kLabel,
                .notifyEventAfter = 0}},
    {.name = "WM_COMMAND from an unfocused toolbar", .message = WM_COMMAND,
     .wParam = MAKEWPARAM(kToolbar, 0), .lParam = Handle(Role::Toolbar),
     .expect = {.code = 1025, .number = kToolbar, .window = Role::Toolbar, .toolbar = kToolbar,
                .notifyEventAfter = 0}},
    {.name = "WM_COMMAND from an edit box while WM_NOTIFY_Event is 1", .message = WM_COMMAND,
     .wParam = MAKEWPARAM(kEdit, EN_CHANGE), .lParam = Handle(Role::Edit),
     .properties = {.notifyEvent = true},
     .expect = {.code = 1025, .number = kEdit, .window = Role::Edit, .toolbar = kEdit,
                .notifyEventAfter = 0}},
    {.name = "WM_COMMAND from an unfocused edit box", .message = WM_COMMAND,
     .wParam = MAKEWPARAM(kEdit, EN_CHANGE), .lParam = Handle(Role::Edit),
     .expect = {.code = 0, .window = Role::Edit}},
    {.name = "WM_COMMAND from an unfocused button", .message = WM_COMMAND,
     .wParam = MAKEWPARAM(kButton, BN_CLICKED), .lParam = Handle(Role::Button),
     .expect = {.code = 0, .window = Role::Button}},

    {.name = "WM_KEYDOWN", .message = WM_KEYDOWN, .wParam = 0x10041,
     .lParam = Value(0x001E0001),
     .expect = {.code = 256, .window = Role::Window, .key = 0x41}},
    {.name = "WM_KEYUP reports the key in the event number", .message = WM_KEYUP,
     .wParam = 0x10042, .lParam = Value(static_cast<LONG>(0xC0300001)),
     .expect = {.code = 257, .number = 0x42, .window = Role::Window}},

    {.name = "WM_MOUSEMOVE", .message = WM_MOUSEMOVE, .wParam = kLeftAndShift,
     .lParam = Value(MAKELPARAM(40, 50)),
     .expect = {.code = 512, .window = Role::Window, .key = kLeftAndShift, .mouseX = 40,
                .mouseY = 50}},
    {.name = "WM_MOUSEWHEEL keeps all 32 bits of wParam", .message = WM_MOUSEWHEEL,
     .wParam = MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), .lParam = Value(MAKELPARAM(300, 200)),
     .expect = {.code = 522, .window = Role::Window, .key = MAKEWPARAM(MK_CONTROL, WHEEL_DELTA),
                .mouseX = 300, .mouseY = 200}},
    {.name = "WM_LBUTTONDOWN", .message = WM_LBUTTONDOWN, .wParam = MK_LBUTTON,
     .lParam = Value(MAKELPARAM(10, 20)),
     .expect = {.code = 513, .window = Role::Window, .key = MK_LBUTTON, .mouseX = 10,
                .mouseY = 20}},
    {.name = "WM_RBUTTONDOWN at x 65535", .message = WM_RBUTTONDOWN, .wParam = MK_RBUTTON,
     .lParam = Value(MAKELPARAM(65535, 1)),
     .expect = {.code = 516, .window = Role::Window, .key = MK_RBUTTON, .mouseX = 65535,
                .mouseY = 1}},
    {.name = "WM_MBUTTONDOWN", .message = WM_MBUTTONDOWN, .wParam = MK_MBUTTON,
     .lParam = Value(MAKELPARAM(7, 8)),
     .expect = {.code = 519, .window = Role::Window, .key = MK_MBUTTON, .mouseX = 7,
                .mouseY = 8}},
    {.name = "WM_LBUTTONUP", .message = WM_LBUTTONUP, .lParam = Value(MAKELPARAM(11, 12)),
     .expect = {.code = 514, .window = Role::Window, .key = 0, .mouseX = 11, .mouseY = 12}},
    {.name = "WM_RBUTTONUP", .message = WM_RBUTTONUP, .wParam = MK_SHIFT,
     .lParam = Value(MAKELPARAM(13, 14)),
     .expect = {.code = 517, .window = Role::Window, .key = MK_SHIFT, .mouseX = 13,
                .mouseY = 14}},
    {.name = "WM_MBUTTONUP", .message = WM_MBUTTONUP, .lParam = Value(MAKELPARAM(15, 16)),
     .expect = {.code = 520, .window = Role::Window, .key = 0, .mouseX = 15, .mouseY = 16}},
    {.name = "WM_LBUTTONDOWN passed on (lParam -1)", .message = WM_LBUTTONDOWN, .wParam = 7,
     .lParam = Value(-1),
     .expect = {.code = 513, .number = 7, .window = Role::Window, .key = 7, .mouseX = 65535,
                .mouseY = 65535}},
    {.name = "WM_MBUTTONDOWN passed on (lParam -1)", .message = WM_MBUTTONDOWN, .wParam = 12,
     .lParam = Value(-1),
     .expect = {.code = 519, .number = 12, .window = Role::Window, .key = 12, .mouseX = 65535,
                .mouseY = 65535}},
    {.name = "WM_LBUTTONUP with lParam -1 carries no number", .message = WM_LBUTTONUP,
     .wParam = 7, .lParam = Value(-1),
     .expect = {.code = 514, .window = Role::Window, .key = 7, .mouseX = 65535,
                .mouseY = 65535}},

    {.name = "panelevent: WM_LBUTTONDOWN", .message = WM_LBUTTONDOWN, .wParam = MK_LBUTTON,
     .lParam = Value(MAKELPARAM(10, 20)), .properties = {.panelEvent = true},
     .expect = {.code = 0}},
    {.name = "panelevent: WM_RBUTTONDOWN", .message = WM_RBUTTONDOWN, .wParam = MK_RBUTTON,
     .lParam = Value(MAKELPARAM(10, 20)), .properties = {.panelEvent = true},
     .expect = {.code = 0}},
    {.name = "panelevent: WM_MBUTTONUP", .message = WM_MBUTTONUP,
     .lParam = Value(MAKELPARAM(10, 20)), .properties = {.panelEvent = true},
     .expect = {.code = 0}},
    {.name = "panelevent: WM_LBUTTONUP", .message = WM_LBUTTONUP,
     .lParam = Value(MAKELPARAM(10, 20)), .properties = {.panelEvent = true},
     .expect = {.code = 0}},
    {.name = "panelevent: WM_MOUSEMOVE still reported", .message = WM_MOUSEMOVE,
     .wParam = MK_LBUTTON, .lParam = Value(MAKELPARAM(5, 6)),
     .properties = {.panelEvent = true},
     .expect = {.code = 512, .window = Role::Window, .key = MK_LBUTTON, .mouseX = 5,
                .mouseY = 6}},
    {.name = "panelevent: WM_MOUSEWHEEL still reported", .message = WM_MOUSEWHEEL,
     .wParam = MAKEWPARAM(0, 0xFF88), .lParam = Value(MAKELPARAM(5, 6)),
     .properties = {.panelEvent = true},
     .expect = {.code = 522, .window = Role::Window, .key = MAKEWPARAM(0, 0xFF88), .mouseX = 5,
                .mouseY = 6}},

    {.name = "WM_HSCROLL from the window's own bar", .message = WM_HSCROLL,
     .wParam = SB_ENDSCROLL,
     .expect = {.code = 276, .number = SB_ENDSCROLL, .window = Role::None}},
    {.name = "WM_VSCROLL from a scroll bar gadget", .message = WM_VSCROLL,
     .wParam = MAKEWPARAM(SB_ENDSCROLL, 9), .lParam = Handle(Role::ScrollBar),
     .expect = {.code = 277, .number = SB_ENDSCROLL, .window = Role::ScrollBar}},
    {.name = "WM_TIMER keeps all 32 bits of the identifier", .message = WM_TIMER,
     .wParam = 0x12345,
     .expect = {.code = 275, .number = 0x12345, .window = Role::Window}},
    {.name = "WM_ACTIVATE by a click", .message = WM_ACTIVATE, .wParam = WA_CLICKACTIVE,
     .expect = {.code = 6, .window = Role::Window}},
    {.name = "WM_ACTIVATE not by a click", .message = WM_ACTIVATE, .wParam = WA_ACTIVE,
     .expect = {.code = 0}},

    {.name = "WM_NOTIFY from a label", .message = WM_NOTIFY, .wParam = kLabel,
     .lParam = Handle(Role::Header),
     .expect = {.code = 1025, .number = kLabel, .window = Role::Header, .toolbar = -1}},
    {.name = "WM_NOTIFY from a date and time picker", .message = WM_NOTIFY,
     .wParam = kDatePicker, .lParam = Handle(Role::Header),
     .expect = {.code = 1025, .number = kDatePicker, .window = Role::Header, .toolbar = -1}},
    {.name = "WM_NOTIFY from a month calendar", .message = WM_NOTIFY, .wParam = kMonthCalendar,
     .lParam = Handle(Role::Header),
     .expect = {.code = 1025, .number = kMonthCalendar, .window = Role::Header,
                .toolbar = -1}},
    {.name = "WM_NOTIFY from a trackbar", .message = WM_NOTIFY, .wParam = kTrackbar,
     .lParam = Handle(Role::Header),
     .expect = {.code = 1025, .number = kTrackbar, .window = Role::Header, .toolbar = -1}},
    {.name = "WM_NOTIFY from a gadget with an up-down companion", .message = WM_NOTIFY,
     .wParam = kUpDownBuddy, .lParam = Handle(Role::Header),
     .expect = {.code = 1025, .number = kUpDownBuddy, .window = Role::Header,
                .toolbar = -1}},
    {.name = "WM_NOTIFY from a list view", .message = WM_NOTIFY, .wParam = kListView,
     .lParam = Handle(Role::Header), .expect = {.code = 0, .toolbar = -1}},
    {.name = "WM_NOTIFY from an edit box without a companion", .message = WM_NOTIFY,
     .wParam = kEdit, .lParam = Handle(Role::Header), .expect = {.code = 0, .toolbar = -1}},
    {.name = "WM_NOTIFY from an unregistered identifier", .message = WM_NOTIFY,
     .wParam = kUnregistered, .lParam = Handle(Role::Header),
     .expect = {.code = 0, .toolbar = -1}},
    {.name = "WM_NOTIFY clears the notification flag", .message = WM_NOTIFY,
     .wParam = kListView, .lParam = Handle(Role::Header), .notificationFlag = 1,
     .expect = {.code = 0, .toolbar = -1, .notificationFlag = 0}},

    {.name = "WM_PARENTNOTIFY left click in a child", .message = WM_PARENTNOTIFY,
     .wParam = MAKEWPARAM(WM_LBUTTONDOWN, 0), .lParam = Value(MAKELPARAM(12, 34)),
     .expect = {.code = 513, .mouseX = 12, .mouseY = 34}},
    {.name = "WM_PARENTNOTIFY right click in a child", .message = WM_PARENTNOTIFY,
     .wParam = MAKEWPARAM(WM_RBUTTONDOWN, 0), .lParam = Value(MAKELPARAM(56, 78)),
     .expect = {.code = 516, .mouseX = 56, .mouseY = 78}},
    {.name = "WM_PARENTNOTIFY middle click in a child", .message = WM_PARENTNOTIFY,
     .wParam = MAKEWPARAM(WM_MBUTTONDOWN, 0), .lParam = Value(MAKELPARAM(90, 12)),
     .expect = {.code = 519, .mouseX = 90, .mouseY = 12}},
    {.name = "WM_PARENTNOTIFY with panelevent keeps the position", .message = WM_PARENTNOTIFY,
     .wParam = MAKEWPARAM(WM_LBUTTONDOWN, 0), .lParam = Value(MAKELPARAM(12, 34)),
     .properties = {.panelEvent = true}, .expect = {.code = 0, .mouseX = 12, .mouseY = 34}},
    {.name = "WM_PARENTNOTIFY swallowed by eventmousebutton", .message = WM_PARENTNOTIFY,
     .wParam = MAKEWPARAM(WM_LBUTTONDOWN, 0), .lParam = Value(MAKELPARAM(12, 34)),
     .properties = {.eventMouseButton = true},
     .expect = {.code = 0, .eventMouseButtonAfter = 0}},
    {.name = "WM_PARENTNOTIFY while the notification flag is set", .message = WM_PARENTNOTIFY,
     .wParam = MAKEWPARAM(WM_LBUTTONDOWN, 0), .lParam = Value(MAKELPARAM(12, 34)),
     .notificationFlag = 1, .expect = {.code = 0, .notificationFlag = 1}},
    {.name = "WM_PARENTNOTIFY for a child's creation", .message = WM_PARENTNOTIFY,
     .wParam = MAKEWPARAM(WM_CREATE, kButton), .lParam = Handle(Role::Button),
     .expect = {.code = 0}},
    {.name = "WM_PARENTNOTIFY for a button release", .message = WM_PARENTNOTIFY,
     .wParam = MAKEWPARAM(WM_LBUTTONUP, 0), .lParam = Value(MAKELPARAM(12, 34)),
     .expect = {.code = 0}},

    {.name = "WM_VKEYTOITEM from a list box", .message = WM_VKEYTOITEM,
     .wParam = MAKEWPARAM(VK_DOWN, 3), .lParam = Handle(Role::ListBox),
     .expect = {.code = 1025, .number = kListBox, .key = VK_DOWN}},
    {.name = "WM_PAINT", .message = WM_PAINT, .expect = {.code = 15}},

    {.name = "WM_SETFOCUS passes through", .message = WM_SETFOCUS, .wParam = 0x1357,
     .lParam = Value(0x2468), .expect = {.code = WM_SETFOCUS}},
    {.name = "WM_KILLFOCUS passes through", .message = WM_KILLFOCUS, .wParam = 0,
     .lParam = Value(0x55), .expect = {.code = WM_KILLFOCUS}},
    {.name = "WM_SYSKEYDOWN passes through", .message = WM_SYSKEYDOWN, .wParam = 'Q',
     .expect = {.code = WM_SYSKEYDOWN}},
    {.name = "WM_SYSKEYUP passes through", .message = WM_SYSKEYUP, .wParam = 'Q',
     .lParam = Value(static_cast<LONG>(0xC0000001)), .expect = {.code = WM_SYSKEYUP}},
    {.name = "WM_MENUSELECT passes through", .message = WM_MENUSELECT,
     .wParam = MAKEWPARAM(3, 0xFFFF), .expect = {.code = WM_MENUSELECT}},
    {.name = "WM_LBUTTONDBLCLK passes through without a position", .message = WM_LBUTTONDBLCLK,
     .wParam = MK_LBUTTON, .lParam = Value(MAKELPARAM(5, 6)),
     .expect = {.code = WM_LBUTTONDBLCLK}},
    {.name = "WM_RBUTTONDBLCLK passes through", .message = WM_RBUTTONDBLCLK,
     .wParam = MK_RBUTTON, .lParam = Value(MAKELPARAM(5, 6)),
     .expect = {.code = WM_RBUTTONDBLCLK}},
    {.name = "WM_MBUTTONDBLCLK passes through", .message = WM_MBUTTONDBLCLK,
     .wParam = MK_MBUTTON, .lParam = Value(MAKELPARAM(5, 6)),
     .expect = {.code = WM_MBUTTONDBLCLK}},
    {.name = "WM_DROPFILES passes through", .message = WM_DROPFILES,
     .expect = {.code = WM_DROPFILES}},
    {.name = "WM_HOTKEY passes through", .message = WM_HOTKEY, .wParam = 5,
     .lParam = Value(MAKELPARAM(MOD_ALT, 'K')), .expect = {.code = WM_HOTKEY}},
    {.name = "WM_USER passes through", .message = WM_USER, .wParam = 0x1234,
     .lParam = Value(0x5678), .expect = {.code = 1024}},
    {.name = "WM_USER with a negative lParam", .message = WM_USER, .wParam = 1,
     .lParam = Value(-2), .expect = {.code = 1024}},

    {.name = "posted WM_KEYDOWN", .message = WM_KEYDOWN, .wParam = 'M',
     .lParam = Value(0x00320001), .posted = true,
     .expect = {.code = 256, .window = Role::Window, .key = 'M'}},
    {.name = "posted WM_COMMAND with lParam 0", .message = WM_COMMAND,
     .wParam = MAKEWPARAM(1002, 1), .posted = true,
     .expect = {.code = 1026, .number = 1002, .window = Role::Window}},
    {.name = "posted WM_TIMER", .message = WM_TIMER, .wParam = 42, .posted = true,
     .expect = {.code = 275, .number = 42, .window = Role::Window}},
    {.name = "posted WM_USER", .message = WM_USER, .wParam = 3, .lParam = Value(4),
     .posted = true, .expect = {.code = 1024}},
    {.name = "posted 1029 hands over a right press", .message = kPassOnMessage, .wParam = 3,
     .lParam = Value(WM_RBUTTONDOWN), .posted = true,
     .expect = {.code = 516, .number = 3, .window = Role::Window, .key = 3, .mouseX = 65535,
                .mouseY = 65535}},
};

// The gadgets of the cases have numbers of their own (kButton and on).
class PumpDecoding : public OwnWindowTest<> {
protected:
    PumpDecoding() : OwnWindowTest("decoding") {}

    void AddControls() override {
        handles_[Role::Window] = window_;
        handles_[Role::Button] = AddGadget("Button", window_, kButton, BS_PUSHBUTTON, 10, 10);
        handles_[Role::Label] = AddGadget("Static", window_, kLabel, 0, 140, 10);
        handles_[Role::Toolbar] =
            AddGadget(TOOLBARCLASSNAMEA, window_, kToolbar, CCS_NORESIZE, 10, 250, 200, 30);
        handles_[Role::Edit] = AddGadget("Edit", window_, kEdit, WS_BORDER, 10, 40);
        handles_[Role::ListBox] = AddGadget("ListBox", window_, kListBox, 0, 140, 40, 120, 60);
        handles_[Role::ListView] =
            AddGadget(WC_LISTVIEWA, window_, kListView, LVS_REPORT, 10, 110, 120, 60);
        handles_[Role::DatePicker] =
            AddGadget(DATETIMEPICK_CLASSA, window_, kDatePicker, 0, 140, 110, 120, 24);
        handles_[Role::MonthCalendar] =
            AddGadget(MONTHCAL_CLASSA, window_, kMonthCalendar, 0, 270, 10, 100, 100);
        handles_[Role::Trackbar] =
            AddGadget(TRACKBAR_CLASSA, window_, kTrackbar, 0, 140, 140, 120, 24);
        handles_[Role::UpDownBuddy] = AddGadget("Edit", window_, kUpDownBuddy, 0, 10, 180);
        upDown_ = AddGadget(UPDOWN_CLASSA, window_, kUpDown, 0, 132, 180, 16, 24);
        SetProperty(handles_[Role::UpDownBuddy], "addparam60000",
                    reinterpret_cast<intptr_t>(upDown_));
        handles_[Role::ScrollBar] =
            AddGadget("ScrollBar", window_, kScrollBar, SBS_VERT, 370, 120, 16, 100);
        for (auto& [role, handle] : handles_) {
            ASSERT_NE(handle, nullptr) << "control of role " << static_cast<int>(role);
        }
    }

    intptr_t Resolve(Arg arg) {
        if (arg.role == Role::None) return arg.value;
        if (arg.role == Role::Header) return reinterpret_cast<intptr_t>(&header_);
        return reinterpret_cast<intptr_t>(handles_[arg.role]);
    }

    HWND ResolveWindow(Role role) { return reinterpret_cast<HWND>(Resolve(Handle(role))); }

    // Leaves known values in the fields that a case may keep.
    bool Prime() {
        SendMessageA(window_, WM_KEYDOWN, kPrimedKey, 0);
        bool primed = WINDOWEVENT() == WM_KEYDOWN;
        SendMessageA(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(kPrimedWidth, kPrimedHeight));
        primed = WINDOWEVENT() == WM_SIZE && primed;
        SendMessageA(window_, WM_COMMAND, kPrimedToolbar,
                     reinterpret_cast<LPARAM>(handles_[Role::Label]));
        primed = WINDOWEVENT() == 1025 && primed;
        return primed && EVENTKEY() == kPrimedKey && EVENTNUMBERTOOLBAR() == kPrimedToolbar &&
               SIZEX() == kPrimedWidth;
    }

    void SetProperties(const Properties& properties) {
        for (const char* name : {"panelevent", "WM_NOTIFY_Event", "eventmousebutton"}) {
            RemovePropA(window_, name);
        }
        if (properties.panelEvent) SetProperty(window_, "panelevent", 1);
        if (properties.notifyEvent) SetProperty(window_, "WM_NOTIFY_Event", 1);
        if (properties.eventMouseButton) SetProperty(window_, "eventmousebutton", 1);
    }

    void Run(const DecodeCase& c) {
        HWND focus = ResolveWindow(c.focus);
        SetFocus(focus);
        Drain();
        if (GetFocus() != focus) {
            ADD_FAILURE() << "case '" << c.name << "': the focus could not be put where it must";
            return;
        }
        if (!Prime()) {
            ADD_FAILURE() << "case '" << c.name << "': priming the record failed";
            return;
        }
        SetProperties(c.properties);
        Event().notificationFlag = c.notificationFlag;
        UINT_PTR sender = LOWORD(c.wParam);
        header_ = NMHDR{GadgetID(static_cast<int32_t>(sender)), sender,
                        static_cast<UINT>(NM_SETFOCUS)};
        intptr_t lParam = Resolve(c.lParam);

        if (c.posted) {
            PostMessageA(window_, c.message, c.wParam, lParam);
        } else {
            SendMessageA(window_, c.message, c.wParam, lParam);
            if (EventStackCount() != 1) {
                ADD_FAILURE() << "case '" << c.name << "': the message left "
                              << EventStackCount() << " entries on the stack, not 1";
                PumpAll();
                return;
            }
        }
        int32_t code = WINDOWEVENT();

        const Expectation& e = c.expect;
        Record expected{
            .code = e.code,
            .number = e.number,
            .window = ResolveWindow(e.window),
            .key = e.key.value_or(kPrimedKey),
            .mouseX = e.mouseX,
            .mouseY = e.mouseY,
            .wParam = Low32(static_cast<intptr_t>(c.wParam)),
            .lParam = Low32(lParam),
            .toolbar = e.toolbar.value_or(kPrimedToolbar),
            .sizeX = e.sizeX.value_or(kPrimedWidth),
            .sizeY = e.sizeY.value_or(kPrimedHeight),
            .notificationFlag = e.notificationFlag,
        };
        if (c.message == kPassOnMessage) {  // the entry is the handed-over press
            expected.wParam = Low32(static_cast<intptr_t>(c.wParam));
            expected.lParam = -1;
        }
        EXPECT_TRUE(RecordsAgree(expected, Observed(code))) << "case '" << c.name << "'";
        if (e.notifyEventAfter) {
            EXPECT_EQ(Property(window_, "WM_NOTIFY_Event"), *e.notifyEventAfter)
                << "case '" << c.name << "': property WM_NOTIFY_Event after decoding";
        }
        if (e.eventMouseButtonAfter) {
            EXPECT_EQ(Property(window_, "eventmousebutton"), *e.eventMouseButtonAfter)
                << "case '" << c.name << "': property eventmousebutton after decoding";
        }
        if (!c.posted) {
            EXPECT_EQ(EventStackCount(), 0) << "case '" << c.name << "': entries left";
        }
        SetProperties({});
        Event().notificationFlag = 0;
    }

    HWND upDown_ = nullptr;
    std::map<Role, HWND> handles_;
    NMHDR header_{};
};

}  // namespace

TEST_F(PumpDecoding, TableOfCases) {
    for (const DecodeCase& c : kDecodeCases) Run(c);
}

TEST_F(PumpDecoding, EventMouseButtonSwallowsExactlyOneChildClick) {
    Drain();
    SetProperty(window_, "eventmousebutton", 1);
    const LPARAM position = MAKELPARAM(21, 43);
    SendMessageA(window_, WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 0), position);
    EXPECT_EQ(WINDOWEVENT(), 0) << "first child click";
    EXPECT_EQ(Property(window_, "eventmousebutton"), 0);
    SendMessageA(window_, WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 0), position);
    EXPECT_EQ(WINDOWEVENT(), WM_LBUTTONDOWN) << "second child click";
    EXPECT_EQ(MOUSEX(), 21);
    EXPECT_EQ(MOUSEY(), 43);
    RemovePropA(window_, "eventmousebutton");
}

TEST_F(PumpDecoding, SystemResizeReportsTheNewClientSize) {
    Drain();
    SetWindowPos(window_, nullptr, 0, 0, 333, 244, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(window_, &client);
    ASSERT_TRUE(PumpFor(WM_SIZE));
    EXPECT_EQ(EVENTHWND(), window_);
    EXPECT_EQ(SIZEX(), client.right);
    EXPECT_EQ(SIZEY(), client.bottom);
}

TEST_F(PumpDecoding, SystemTimerReportsItsIdentifier) {
    Drain();
    SetTimer(window_, 4711, 10, nullptr);
    bool seen = PumpFor([](int32_t code) { return code == WM_TIMER && EVENTNUMBER() == 4711; });
    KillTimer(window_, 4711);
    ASSERT_TRUE(seen);
    EXPECT_EQ(EVENTHWND(), window_);
}

TEST_F(PumpDecoding, CloseFromTheSystemMenuDropsTheCommandThatCausedIt) {
    Drain();
    // DefWindowProc turns SC_CLOSE into WM_CLOSE while the command waits on the stack.
    SendMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(EventStackCount(), 1);
    EXPECT_EQ(WINDOWEVENT(), WM_CLOSE);
    EXPECT_EQ(EVENTHWND(), window_);
    EXPECT_EQ(EventStackCount(), 0);
    EXPECT_TRUE(IsWindow(window_));
}

// A window without gadgets, so that its repaint records nothing but its own paint request.
TEST(PumpRepaint, WindowOfAnEventIsRepaintedBeforeTheCallReturns) {
    TestWindow window;
    Raise(window);
    struct RepaintCase {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool repainted;
    };
    const RepaintCase cases[] = {
        {"an event (WM_USER)", WM_USER, 0, true},
        {"no event (WM_ACTIVATE not by a click)", WM_ACTIVATE, WA_ACTIVE, false},
    };
    for (const RepaintCase& c : cases) {
        Drain();
        InvalidateRect(window, nullptr, TRUE);
        SendMessageA(window, c.message, c.wParam, 0);
        ASSERT_EQ(EventStackCount(), 1) << c.name;
        WINDOWEVENT();
        bool stillInvalid = GetUpdateRect(window, nullptr, FALSE) != FALSE;
        EXPECT_EQ(stillInvalid, !c.repainted) << c.name << ": window left to repaint";
        // The paint request of the repaint is recorded like any other.
        EXPECT_EQ(EventStackCount(), c.repainted ? 1 : 0) << c.name << ": entries after";
        if (c.repainted) {
            EXPECT_EQ(WINDOWEVENT(), WM_PAINT) << c.name;
        }
    }
    Drain();
}

// ---- Real mouse input through the X server ----------------------------------------

namespace {

class PumpRealInput : public OwnWindowTest<500, 10> {
protected:
    PumpRealInput() : OwnWindowTest("real input") {}
};

}  // namespace

TEST_F(PumpRealInput, ClickInTheClientAreaReportsPressAndRelease) {
    ClickAt(window_, {150, 120});
    ASSERT_TRUE(PumpFor(WM_LBUTTONDOWN))
        << "no left press came from the click";
    EXPECT_EQ(EVENTHWND(), window_);
    EXPECT_EQ(MOUSEX(), 150);
    EXPECT_EQ(MOUSEY(), 120);
    EXPECT_EQ(EVENTNUMBER(), 0);
    EXPECT_TRUE(EVENTKEY() & MK_LBUTTON) << "EVENTKEY " << EVENTKEY();
    ASSERT_TRUE(PumpFor(WM_LBUTTONUP));
    EXPECT_EQ(MOUSEX(), 150);
    EXPECT_EQ(MOUSEY(), 120);
}

TEST_F(PumpRealInput, ClickOnAButtonGivesItsGadgetEvent) {
    HWND button = AddGadget("Button", window_, number_, BS_PUSHBUTTON, 20, 20, 100, 30, "OK");
    Drain();
    ClickAt(window_, {70, 35});
    ASSERT_TRUE(PumpForGadgetEvent(number_))
        << "no gadget event with the button's number";
    EXPECT_EQ(EVENTHWND(), button);
    EXPECT_EQ(EVENTNUMBERTOOLBAR(), number_);
}

TEST_F(PumpRealInput, EventMouseButtonSwallowsOneRealChildClick) {
    HWND label = AddGadget("Static", window_, number_, SS_NOTIFY, 40, 40, 140, 30, "label");
    Drain();
    SetProperty(window_, "eventmousebutton", 1);

    // A click in the label: the label's own command comes out, the child click does not.
    // The two clicks are far apart so that they never make a double click.
    auto clickLabel = [&](int x) {
        std::vector<Seen> seen;
        ClickAt(window_, {x, 55});
        PumpFor([&](int32_t code) {
            if (code != 0) seen.push_back(SeenNow(code));
            bool labelDone = std::any_of(seen.begin(), seen.end(), [&](const Seen& s) {
                return s.code == 1025 && s.number == number_;
            });
            return labelDone && EventStackCount() == 0;
        });
        return seen;
    };
    std::vector<Seen> first = clickLabel(60);
    ASSERT_TRUE(std::any_of(first.begin(), first.end(),
                            [&](const Seen& s) { return s.code == 1025 && s.window == label; }))
        << "the label's command did not come: " << Codes(first);
    EXPECT_FALSE(AnyCode(first, WM_LBUTTONDOWN))
        << "the first child click was not swallowed: " << Codes(first);
    EXPECT_EQ(Property(window_, "eventmousebutton"), 0);

    std::vector<Seen> second = clickLabel(140);
    auto press = std::find_if(second.begin(), second.end(),
                              [](const Seen& s) { return s.code == WM_LBUTTONDOWN; });
    ASSERT_NE(press, second.end()) << "the second child click was not reported: "
                                   << Codes(second);
    EXPECT_EQ(press->mouseX, 140);
    EXPECT_EQ(press->mouseY, 55);
    EXPECT_EQ(press->window, nullptr);
    RemovePropA(window_, "eventmousebutton");
}

// ---- List view notifications from a real list view -------------------------------

namespace {

class WindowProcListView : public OwnWindowTest<600, 1> {
protected:
    WindowProcListView() : OwnWindowTest("list view") {}

    void SetUp() override {
        OwnWindowTest::SetUp();
        // Reset the one-shot fields left by earlier tests of this process.
        EVENTNUMBERLISTVIEW();
        GETCOLUMNLISTVIEW();
    }

    void AddControls() override {
        listView_ = AddGadget(WC_LISTVIEWA, window_, number_, LVS_REPORT | WS_BORDER, 10, 10,
                              300, 200);
        const char* titles[] = {"Name", "Size"};
        for (int column = 0; column < 2; ++column) {
            LVCOLUMNA info{};
            info.mask = LVCF_TEXT | LVCF_WIDTH;
            info.cx = 120;
            info.pszText = const_cast<char*>(titles[column]);
            SendMessageA(listView_, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
        }
        for (int row = 0; row < 4; ++row) {
            std::string name = "item " + std::to_string(row);
            std::string size = std::to_string(row * 100);
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.pszText = name.data();
            SendMessageA(listView_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            item.iSubItem = 1;
            item.pszText = size.data();
            SendMessageA(listView_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        }
    }

    // The centre of a cell, in the window's client coordinates.
    POINT CellCentre(int item, int subitem) {
        RECT cell{};
        cell.top = subitem;
        cell.left = LVIR_BOUNDS;
        SendMessageA(listView_, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&cell));
        if (subitem == 0) {  // the bounds of subitem 0 span the whole row
            RECT label{};
            label.left = LVIR_LABEL;
            SendMessageA(listView_, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&label));
            cell = label;
        }
        POINT point = Centre(cell);
        MapWindowPoints(listView_, window_, &point, 1);
        return point;
    }

    // After the gadget event of a list view notification: the notification itself
    // must be the next entry, and decode to 0.
    void ExpectNotificationNext(const char* what) {
        ASSERT_GT(EventStackCount(), 0) << what << ": the notification did not wait below";
        EXPECT_EQ(NextEntryEvent(), 0) << what << ": the notification entry";
        EXPECT_EQ(EVENTWPARAM(), number_) << what << ": EVENTWPARAM of the notification entry";
        EXPECT_EQ(EVENTNUMBERTOOLBAR(), -1) << what << ": EVENTNUMBERTOOLBAR after WM_NOTIFY";
    }

    HWND listView_ = nullptr;
};

}  // namespace

TEST_F(WindowProcListView, ClickOnACellGivesTheGadgetEventThenTheNotification) {
    POINT cell = CellCentre(2, 1);
    LVHITTESTINFO hit{};
    hit.pt = cell;
    MapWindowPoints(window_, listView_, &hit.pt, 1);
    SendMessageA(listView_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    ASSERT_EQ(hit.iItem, 2);
    ASSERT_EQ(hit.iSubItem, 1);

    ClickAt(window_, cell);
    ASSERT_TRUE(PumpForGadgetEvent(number_))
        << "the click gave no gadget event with the list view's number";
    EXPECT_EQ(EVENTHWND(), window_) << "the command comes from the window itself";
    ExpectNotificationNext("NM_CLICK");
    EXPECT_EQ(GETITEMLISTVIEW(), 2);
    EXPECT_EQ(GETSUBITEMLISTVIEW(), 1);
    EXPECT_EQ(FLAGKEYLISTVIEW(), 0);
    EXPECT_EQ(EVENTNUMBERLISTVIEW(), number_) << "first read";
    EXPECT_EQ(EVENTNUMBERLISTVIEW(), 0) << "second read";
}

TEST_F(WindowProcListView, ColumnClickGivesTheColumnOnce) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(listView_, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    RECT column{};
    SendMessageA(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&column));
    POINT point = Centre(column);
    MapWindowPoints(header, window_, &point, 1);

    ClickAt(window_, point);
    ASSERT_TRUE(PumpForGadgetEvent(number_))
        << "the column click gave no gadget event with the list view's number";
    ExpectNotificationNext("LVN_COLUMNCLICK");
    EXPECT_EQ(Event().notificationFlag, 0) << "decoding the notification clears the flag";
    EXPECT_EQ(GETITEMLISTVIEW(), -1);
    EXPECT_EQ(GETSUBITEMLISTVIEW(), 1);
    EXPECT_EQ(GETCOLUMNLISTVIEW(), 1) << "first read";
    EXPECT_EQ(GETCOLUMNLISTVIEW(), -1) << "second read";
    EXPECT_EQ(EVENTNUMBERLISTVIEW(), number_) << "first read";
    EXPECT_EQ(EVENTNUMBERLISTVIEW(), 0) << "second read";
}

TEST_F(WindowProcListView, DoubleClickReportsAButtonDoubleClickAboveTheNotification) {
    ClickAt(window_, CellCentre(1, 0), 2);
    // The first press and release make an ordinary click; its number is read
    // (and so reset) before the double click is taken from the queue.
    ASSERT_TRUE(PumpForGadgetEvent(number_))
        << "the first click of the double click gave no gadget event";
    ASSERT_EQ(EVENTNUMBERLISTVIEW(), number_) << "from the first click";
    ASSERT_TRUE(PumpFor([](int32_t code) {
        return code == WM_LBUTTONDBLCLK && EVENTWPARAM() == 0 && EVENTLPARAM() == 0;
    })) << "no WM_LBUTTONDBLCLK (0, 0) came from the double click";
    ExpectNotificationNext("NM_DBLCLK");
    EXPECT_EQ(EVENTNUMBERLISTVIEW(), number_) << "from the double click";
    EXPECT_EQ(GETITEMLISTVIEW(), 1) << "the click before the double click";
}

TEST_F(WindowProcListView, RecordsFromTheListViewAreReadFieldByField) {
    Drain();
    // A click with Ctrl held, as the list view reports it.
    NMITEMACTIVATE click{};
    click.hdr = NMHDR{listView_, static_cast<UINT_PTR>(number_), static_cast<UINT>(NM_CLICK)};
    click.iItem = 3;
    click.iSubItem = 1;
    click.uKeyFlags = LVKF_CONTROL;
    SendMessageA(window_, WM_NOTIFY, number_, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(GETITEMLISTVIEW(), 3);
    EXPECT_EQ(GETSUBITEMLISTVIEW(), 1);
    EXPECT_EQ(FLAGKEYLISTVIEW(), static_cast<int32_t>(LVKF_CONTROL));
    EXPECT_EQ(Property(window_, "WM_NOTIFY_Event"), 1) << "set until the command is decoded";
    EXPECT_EQ(EventStackCount(), 2);
    EXPECT_EQ(WINDOWEVENT(), 1025);
    EXPECT_EQ(Property(window_, "WM_NOTIFY_Event"), 0);
    Drain();

    // Notification -9 only reads the column and the item.
    NMLISTVIEW unnamed{};
    unnamed.hdr = NMHDR{listView_, static_cast<UINT_PTR>(number_), static_cast<UINT>(-9)};
    unnamed.iItem = 2;
    unnamed.iSubItem = 0;
    SendMessageA(window_, WM_NOTIFY, number_, reinterpret_cast<LPARAM>(&unnamed));
    EXPECT_EQ(EventStackCount(), 1) << "notification -9 reports no command";
    EXPECT_EQ(GETITEMLISTVIEW(), 2);
    EXPECT_EQ(GETSUBITEMLISTVIEW(), 1) << "the subitem of the click before";
    EXPECT_EQ(GETCOLUMNLISTVIEW(), 0) << "first read";
    EXPECT_EQ(GETCOLUMNLISTVIEW(), -1) << "second read";
    EXPECT_EQ(EVENTNUMBERLISTVIEW(), number_) << "from the click";
    Drain();
}

// A caller adds a tooltip tool the usual way, letting the tooltip subclass
// the window for the mouse (TTF_SUBCLASS): the window's procedure is then
// comctl32's, which hands each message on to the library's. The tooltip's
// text request is still answered from the window's property, and a click
// in the list view still read.
TEST_F(WindowProcListView, AWindowThatATooltipSubclassesStillReadsItsNotifications) {
    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               window_, nullptr, nullptr, nullptr);
    ASSERT_NE(tip, nullptr);
    const char text[] = "the window's own tip";
    SetProperty(window_, "4244", reinterpret_cast<intptr_t>(text));
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = window_;
    info.uId = 4244;
    GetClientRect(window_, &info.rect);
    info.lpszText = LPSTR_TEXTCALLBACKA;
    ASSERT_TRUE(SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)));
    ASSERT_NE(GetWindowLongPtrA(window_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(FBGUIWINPROC))
        << "the tooltip did not subclass the window";

    char shown[128] = {};
    TTTOOLINFOA query = info;
    query.lpszText = shown;
    SendMessageA(tip, TTM_GETTEXTA, sizeof shown, reinterpret_cast<LPARAM>(&query));
    EXPECT_STREQ(shown, text) << "the tooltip's text request was not answered";

    ClickAt(window_, CellCentre(1, 1));
    EXPECT_TRUE(PumpForGadgetEvent(number_)) << "the click in the list view was not read";
    EXPECT_EQ(GETITEMLISTVIEW(), 1);
    DestroyWindow(tip);
    RemovePropA(window_, "4244");
}

// A window of the caller's own class is given the library's procedure after
// it was made (FBGUIWINPROC takes any window): a list view of its own is
// read from its first notification, and when the window goes, a click in
// the fixture's list view is still read.
TEST_F(WindowProcListView, AWindowGivenTheLibraryProcedureLaterReadsItsOwnControls) {
    HWND own = OpenOwnPopup("EventsTestGivenTheProcedure", DefWindowProcA);
    ASSERT_NE(own, nullptr);
    SetWindowLongPtrA(own, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FBGUIWINPROC));
    HWND ownList = CreateChild(WC_LISTVIEWA, own, number_ + 1, LVS_REPORT, 0, 0, 100, 50);
    NMITEMACTIVATE click{};
    click.hdr = NMHDR{ownList, static_cast<UINT_PTR>(number_ + 1), static_cast<UINT>(NM_CLICK)};
    click.iItem = 5;
    SendMessageA(own, WM_NOTIFY, number_ + 1, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Event().listViewNumber, number_ + 1) << "the given window's list view was not read";
    EXPECT_EQ(Event().listViewItem, 5);
    DestroyWindow(own);
    Drain();

    ClickAt(window_, CellCentre(2, 0));
    EXPECT_TRUE(PumpForGadgetEvent(number_)) << "the click in the list view was not read";
    EXPECT_EQ(GETITEMLISTVIEW(), 2);
}

// ---- Tab, tree view and tooltip notifications from real controls ------------------

namespace {

class WindowProcNotifications : public OwnWindowTest<700, 10> {
protected:
    WindowProcNotifications() : OwnWindowTest("notifications") {}
};

}  // namespace

TEST_F(WindowProcNotifications, TabSelectionShowsThePageOfTheNewTab) {
    HWND tab = AddGadget(WC_TABCONTROLA, window_, number_, 0, 10, 10, 300, 200);
    HWND pages[2];
    for (HWND& page : pages) {
        page = CreateWindowExA(0, "Static", "page", WS_CHILD, 20, 50, 100, 50, window_, nullptr,
                               nullptr, nullptr);
    }
    const char* titles[] = {"first", "second", "no page"};
    for (int i = 0; i < 3; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT | (i < 2 ? TCIF_PARAM : 0);
        item.pszText = const_cast<char*>(titles[i]);
        item.lParam = i < 2 ? reinterpret_cast<LPARAM>(pages[i]) : 0;
        SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(tab, TCM_SETCURSEL, 0, 0);
    ShowWindow(pages[0], SW_SHOW);
    Drain();

    // The tab control asks before the change (the old page hides) and reports after it.
    SendMessageA(tab, TCM_SETCURFOCUS, 1, 0);
    ASSERT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 1);
    EXPECT_FALSE(IsWindowVisible(pages[0])) << "the old page stays shown";
    EXPECT_TRUE(IsWindowVisible(pages[1])) << "the new page is not shown";
    EXPECT_EQ(Event().notificationFlag, 1);
    EXPECT_EQ(WINDOWEVENT(), 1025);
    EXPECT_EQ(EVENTNUMBER(), number_);
    EXPECT_EQ(EVENTHWND(), window_);
    EXPECT_EQ(NextEntryEvent(), 0) << "TCN_SELCHANGE entry";
    EXPECT_EQ(EVENTNUMBERTOOLBAR(), -1);
    EXPECT_EQ(NextEntryEvent(), 0) << "TCN_SELCHANGING entry";
    EXPECT_EQ(EventStackCount(), 0);

    // A tab without a page still gives the gadget event; no page is shown.
    SendMessageA(tab, TCM_SETCURFOCUS, 2, 0);
    ASSERT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 2);
    EXPECT_FALSE(IsWindowVisible(pages[0]));
    EXPECT_FALSE(IsWindowVisible(pages[1])) << "the page of the tab left stays shown";
    EXPECT_EQ(WINDOWEVENT(), 1025) << "tab without a page";
    EXPECT_EQ(EVENTNUMBER(), number_);

    // Leaving the tab without a page hides nothing.
    Drain();
    SendMessageA(tab, TCM_SETCURFOCUS, 0, 0);
    EXPECT_TRUE(IsWindowVisible(pages[0]));
    EXPECT_FALSE(IsWindowVisible(pages[1]));
}

TEST_F(WindowProcNotifications, TreeSelectionChangeAndTheNotificationFlag) {
    HWND tree = AddGadget(WC_TREEVIEWA, window_, number_, TVS_HASLINES, 10, 10, 200, 150);
    HTREEITEM items[3];
    const char* names[] = {"alpha", "beta", "gamma"};
    for (int i = 0; i < 3; ++i) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<char*>(names[i]);
        items[i] = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    Drain();
    EVENTNUMBERTREEVIEW();

    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(items[1]));
    EXPECT_EQ(GETITEMTREEVIEW(), Low32(items[1]));
    EXPECT_EQ(EVENTNUMBERTREEVIEW(), number_) << "first read";
    EXPECT_EQ(EVENTNUMBERTREEVIEW(), 0) << "second read";
    EXPECT_EQ(Event().notificationFlag, 1);

    // A child click that comes out while the flag is up is ignored.
    SendMessageA(window_, WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 0), MAKELPARAM(5, 6));
    EXPECT_EQ(WINDOWEVENT(), 0) << "child click while the flag is up";
    EXPECT_EQ(MOUSEX(), 0);
    EXPECT_EQ(WINDOWEVENT(), 0) << "TVN_SELCHANGEDA entry";
    EXPECT_EQ(EVENTWPARAM(), number_);
    EXPECT_EQ(Event().notificationFlag, 0) << "decoding the notification clears the flag";
    Drain();

    SendMessageA(window_, WM_PARENTNOTIFY, MAKEWPARAM(WM_LBUTTONDOWN, 0), MAKELPARAM(5, 6));
    EXPECT_EQ(WINDOWEVENT(), WM_LBUTTONDOWN) << "child click after the flag went down";
    EXPECT_EQ(MOUSEX(), 5);
    EXPECT_EQ(MOUSEY(), 6);
}

TEST_F(WindowProcNotifications, DoubleClickFromANonListViewLeavesTheListViewNumber) {
    HWND tree = AddGadget(WC_TREEVIEWA, window_, number_, 0, 10, 10, 200, 150);
    Drain();
    EVENTNUMBERLISTVIEW();
    NMHDR header{tree, static_cast<UINT_PTR>(number_), static_cast<UINT>(NM_DBLCLK)};
    SendMessageA(window_, WM_NOTIFY, number_, reinterpret_cast<LPARAM>(&header));
    ASSERT_EQ(EventStackCount(), 2);
    EXPECT_EQ(WINDOWEVENT(), WM_LBUTTONDBLCLK);
    EXPECT_EQ(EVENTWPARAM(), 0);
    EXPECT_EQ(EVENTLPARAM(), 0);
    EXPECT_EQ(NextEntryEvent(), 0) << "the NM_DBLCLK entry";
    EXPECT_EQ(EVENTWPARAM(), number_);
    EXPECT_EQ(EVENTNUMBERLISTVIEW(), 0);
}

TEST_F(WindowProcNotifications, TooltipTextComesFromThePropertyCutTo79Bytes) {
    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               window_, nullptr, nullptr, nullptr);
    ASSERT_NE(tip, nullptr);
    const UINT_PTR tool = 4242;
    std::string text;
    for (int i = 0; text.size() < 100; ++i) text += static_cast<char>('A' + i % 26);
    SetProperty(window_, "4242", reinterpret_cast<intptr_t>(text.c_str()));

    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    info.hwnd = window_;
    info.uId = tool;
    info.lpszText = LPSTR_TEXTCALLBACKA;
    ASSERT_TRUE(SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)));
    SendMessageA(tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));

    char shown[256] = {};
    TTTOOLINFOA query = info;
    query.lpszText = shown;
    SendMessageA(tip, TTM_GETTEXTA, sizeof shown, reinterpret_cast<LPARAM>(&query));
    EXPECT_EQ(std::string(shown), text.substr(0, 79));

    // The request record itself: 79 bytes and a zero, nothing past the buffer.
    NMTTDISPINFOA request{};
    request.hdr = NMHDR{tip, tool, static_cast<UINT>(TTN_GETDISPINFOA)};
    std::memset(request.szText, '#', sizeof request.szText);
    request.hinst = reinterpret_cast<HINSTANCE>(0x5A5A5A5A);
    SendMessageA(window_, WM_NOTIFY, tool, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(std::string(request.szText), text.substr(0, 79));
    EXPECT_EQ(request.hinst, reinterpret_cast<HINSTANCE>(0x5A5A5A5A));

    // No property for the tool: the buffer is left alone.
    NMTTDISPINFOA unknown{};
    unknown.hdr = NMHDR{tip, 4243, static_cast<UINT>(TTN_GETDISPINFOA)};
    std::memset(unknown.szText, '#', sizeof unknown.szText);
    SendMessageA(window_, WM_NOTIFY, 4243, reinterpret_cast<LPARAM>(&unknown));
    EXPECT_EQ(unknown.szText[0], '#');

    SendMessageA(tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
    DestroyWindow(tip);
    RemovePropA(window_, "4242");
}

// ---- Notifications with short or missing records ---------------------------------

namespace {

// A notification header at the very end of a readable page, followed by a page
// that may not be touched: any read past the header faults.
class GuardedHeader {
public:
    GuardedHeader() {
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        page_ = system.dwPageSize;
        base_ = static_cast<BYTE*>(
            VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        guarded_ = base_ != nullptr && VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
    }
    ~GuardedHeader() {
        if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
    }
    GuardedHeader(const GuardedHeader&) = delete;
    GuardedHeader& operator=(const GuardedHeader&) = delete;

    bool Guarded() const { return guarded_; }
    NMHDR* Header() const { return reinterpret_cast<NMHDR*>(base_ + page_ - sizeof(NMHDR)); }

private:
    BYTE* base_ = nullptr;
    size_t page_ = 0;
    bool guarded_ = false;
};

struct BareCase {
    const char* name;
    UINT code;
    bool gadgetEvent;  // the window reports a gadget command above the notification
    UINT pushedAbove;  // another message recorded above the notification, or 0
};

}  // namespace

TEST(WindowProcBareHeaders, NotificationsFromOtherControlsReadOnlyTheHeader) {
    InitControls();
    TestWindow window;
    const int32_t number = 801;
    HWND button = AddGadget("Button", window, number, BS_PUSHBUTTON);
    GuardedHeader guarded;
    ASSERT_TRUE(guarded.Guarded());
    const BareCase cases[] = {
        {"NM_CLICK", static_cast<UINT>(NM_CLICK), true, 0},
        {"LVN_COLUMNCLICK", static_cast<UINT>(LVN_COLUMNCLICK), true, 0},
        {"TCN_SELCHANGE", static_cast<UINT>(TCN_SELCHANGE), true, 0},
        {"TCN_SELCHANGING", static_cast<UINT>(TCN_SELCHANGING), false, 0},
        {"TTN_GETDISPINFOA", static_cast<UINT>(TTN_GETDISPINFOA), false, 0},
        {"TVN_SELCHANGEDA", static_cast<UINT>(TVN_SELCHANGEDA), false, 0},
        {"notification -9", static_cast<UINT>(-9), false, 0},
        {"NM_DBLCLK", static_cast<UINT>(NM_DBLCLK), false, WM_LBUTTONDBLCLK},
    };
    SetProperty(window, std::to_string(number).c_str(), reinterpret_cast<intptr_t>("tip"));
    for (const BareCase& c : cases) {
        Drain();
        EventRecord& record = Event();
        record.listViewItem = 71;
        record.listViewSubitem = 72;
        record.listViewKeyFlags = 73;
        record.listViewColumn = 74;
        record.treeViewItem = 75;
        record.notificationFlag = 0;
        *guarded.Header() = NMHDR{button, static_cast<UINT_PTR>(number), c.code};

        SendMessageA(window, WM_NOTIFY, number, reinterpret_cast<LPARAM>(guarded.Header()));

        int expectedEntries = 1 + (c.gadgetEvent ? 1 : 0) + (c.pushedAbove != 0 ? 1 : 0);
        EXPECT_EQ(EventStackCount(), expectedEntries) << c.name << ": entries on the stack";
        if (c.gadgetEvent) {
            EXPECT_EQ(WINDOWEVENT(), 1025) << c.name << ": gadget event";
            EXPECT_EQ(EVENTNUMBER(), number) << c.name << ": EVENTNUMBER";
        }
        if (c.pushedAbove != 0) {
            EXPECT_EQ(NextEntryEvent(), static_cast<int32_t>(c.pushedAbove)) << c.name;
        }
        EXPECT_EQ(NextEntryEvent(), 0) << c.name << ": the notification entry";
        EXPECT_EQ(EVENTWPARAM(), number) << c.name << ": EVENTWPARAM";
        EXPECT_EQ(record.listViewItem, 71) << c.name << ": list view item";
        EXPECT_EQ(record.listViewSubitem, 72) << c.name << ": list view subitem";
        EXPECT_EQ(record.listViewKeyFlags, 73) << c.name << ": list view key flags";
        EXPECT_EQ(record.listViewColumn, 74) << c.name << ": list view column";
        EXPECT_EQ(record.treeViewItem, 75) << c.name << ": tree view item";
    }
    RemovePropA(window, std::to_string(number).c_str());
    Event().listViewColumn = -1;
}

TEST(WindowProcBareHeaders, NotificationWithoutARecordDoesNothingHarmful) {
    TestWindow window;
    const int32_t label = 802, button = 803;
    AddGadget("Static", window, label);
    AddGadget("Button", window, button, BS_PUSHBUTTON, 10, 40);
    Drain();
    EventRecord before = Event();

    EXPECT_EQ(SendMessageA(window, WM_NOTIFY, button, 0), 0);
    EXPECT_EQ(EventStackCount(), 1);
    EXPECT_EQ(WINDOWEVENT(), 0) << "from a button";
    EXPECT_EQ(EVENTNUMBERTOOLBAR(), -1);

    SendMessageA(window, WM_NOTIFY, label, 0);
    EXPECT_EQ(WINDOWEVENT(), 1025) << "from a label";
    EXPECT_EQ(EVENTNUMBER(), label);
    EXPECT_EQ(EVENTHWND(), nullptr) << "the event window is the (missing) header";

    EXPECT_TRUE(FieldsKept(before, Event(),
                           {RECORD_FIELD(listViewNumber), RECORD_FIELD(listViewItem),
                            RECORD_FIELD(listViewColumn), RECORD_FIELD(treeViewNumber),
                            RECORD_FIELD(treeViewItem)}));
    EXPECT_EQ(EventStackCount(), 0);
}

// ---- Message 1029: a press handed over by another party ---------------------------

TEST(WindowProcPassOn, ReportsTheHandedOverPressAfterComingToTheFront) {
    TestWindow other(WS_OVERLAPPEDWINDOW | WS_VISIBLE, "other");
    TestWindow window(WS_OVERLAPPEDWINDOW | WS_VISIBLE, "pass on");
    FocusWindow(other);
    Drain();
    ASSERT_EQ(GetForegroundWindow(), static_cast<HWND>(other));

    SendMessageA(window, kPassOnMessage, 3, WM_RBUTTONDOWN);

    EXPECT_EQ(GetForegroundWindow(), static_cast<HWND>(window));
    int32_t code = WINDOWEVENT();
    Record actual = Observed(code);
    Record expected = actual;
    expected.code = WM_RBUTTONDOWN;
    expected.number = 3;
    expected.window = window;
    expected.key = 3;
    expected.mouseX = 65535;
    expected.mouseY = 65535;
    expected.wParam = 3;
    expected.lParam = -1;
    EXPECT_TRUE(RecordsAgree(expected, actual)) << "1029 with wParam 3, lParam 516";

    // What the activation recorded below it comes out next; 1029 itself never does.
    std::vector<Seen> rest = PumpAll();
    EXPECT_FALSE(AnyCode(rest, kPassOnMessage))
        << Codes(rest);
}

// Message 1029 may come from any program: it passes on the nine mouse button
// messages and nothing else, since the handlers of other messages would read
// or write a record at lParam -1.
TEST(WindowProcPassOnForeign, PassesOnMouseButtonMessagesOnlyAndIgnoresEveryOtherNumber) {
    TestWindow window(WS_OVERLAPPEDWINDOW | WS_VISIBLE, "pass on foreign");
    // With the size limits on, a WM_GETMINMAXINFO at -1 would be written to.
    SetProperty(window, "MINMAXFLAG", 1);
    struct PassOnCase {
        LPARAM message;
        bool passedOn;
    };
    const PassOnCase cases[] = {
        {WM_LBUTTONDOWN, true},  {WM_LBUTTONUP, true},     {WM_LBUTTONDBLCLK, true},
        {WM_RBUTTONDOWN, true},  {WM_RBUTTONUP, true},     {WM_RBUTTONDBLCLK, true},
        {WM_MBUTTONDOWN, true},  {WM_MBUTTONUP, true},     {WM_MBUTTONDBLCLK, true},
        {WM_MOUSEMOVE, false},   {WM_MOUSEWHEEL, false},   {WM_XBUTTONDOWN, false},
        {WM_NOTIFY, false},      {WM_GETMINMAXINFO, false}, {WM_CTLCOLOREDIT, false},
        {WM_CLOSE, false},       {WM_SIZE, false},         {WM_COMMAND, false},
        {WM_USER + 5, false},    {0, false},               {-1, false},
        {0x10000 + WM_LBUTTONDOWN, false},
    };
    for (const PassOnCase& c : cases) {
        Drain();
        SendMessageA(window, kPassOnMessage, 9, c.message);
        if (!c.passedOn) {
            EXPECT_EQ(EventStackCount(), 0) << "lParam " << c.message << " was passed on";
            continue;
        }
        // The handed-over message is the newest entry, with lParam -1.
        ASSERT_GE(EventStackCount(), 1) << "lParam " << c.message;
        StackEntry entry{};
        ASSERT_TRUE(PopEvent(entry));
        EXPECT_EQ(entry.window, static_cast<HWND>(window)) << "lParam " << c.message;
        EXPECT_EQ(entry.message, static_cast<UINT>(c.message));
        EXPECT_EQ(entry.wParam, 9u) << "lParam " << c.message;
        EXPECT_EQ(entry.lParam, -1) << "lParam " << c.message;
    }
    Drain();
}

namespace {

DWORD WINAPI SendNotificationFromAnotherThread(void* context) {
    auto* arguments = static_cast<std::pair<HWND, NMHDR*>*>(context);
    SendMessageA(arguments->first, WM_NOTIFY, arguments->second->idFrom,
                 reinterpret_cast<LPARAM>(arguments->second));
    return 0;
}

}  // namespace

// Controls notify their parent on the thread that owns both. A notification
// sent from another thread, or posted, is not read: in another program its
// address would mean nothing here.
TEST(WindowProcForeignNotifications, NotificationsFromOtherThreadsOrTheQueueAreNotRead) {
    InitControls();
    TestWindow window;
    const int32_t number = 811;
    HWND listView = AddGadget(WC_LISTVIEWA, window, number, LVS_REPORT, 10, 10, 120, 60);
    NMITEMACTIVATE click{};
    click.hdr = NMHDR{listView, static_cast<UINT_PTR>(number), static_cast<UINT>(NM_CLICK)};
    click.iItem = 4;
    Drain();
    Event().listViewNumber = 0;
    Event().listViewItem = 0;

    std::pair<HWND, NMHDR*> arguments{window, &click.hdr};
    HANDLE thread = CreateThread(nullptr, 0, SendNotificationFromAnotherThread, &arguments, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    // The send is delivered while this thread waits for messages.
    ServeSendsUntilTheEndOf(thread);
    EXPECT_EQ(Event().listViewNumber, 0) << "the record from another thread was read";
    EXPECT_EQ(Event().listViewItem, 0);
    std::vector<Seen> seen = PumpAll();
    EXPECT_FALSE(AnyCode(seen, 1025))
        << Codes(seen);

    // Posted with an address that is no record at all: taken, never dispatched.
    for (LPARAM address : {LPARAM{7}, LPARAM{-1}, reinterpret_cast<LPARAM>(&click.hdr)}) {
        ASSERT_TRUE(PostMessageA(window, WM_NOTIFY, number, address));
        seen = PumpAll();
        EXPECT_FALSE(AnyCode(seen, 1025))
            << "posted WM_NOTIFY at " << address << ": " << Codes(seen);
        EXPECT_EQ(Event().listViewItem, 0) << "posted WM_NOTIFY at " << address;
    }

    // The same record sent on this thread is read.
    SendMessageA(window, WM_NOTIFY, number, reinterpret_cast<LPARAM>(&click.hdr));
    EXPECT_EQ(Event().listViewNumber, number);
    EXPECT_EQ(Event().listViewItem, 4);
    Drain();
}

// ---- Scroll requests ---------------------------------------------------------------

namespace {

struct ScrollCase {
    const char* name;
    UINT message;  // WM_HSCROLL or WM_VSCROLL
    int request;
    int thumb = 0;
    bool fromGadget = true;
    int pageStep = 10;
    int gadgetBefore = 0;
    int gadgetAfter = 0;
    int ownBefore = 30;
    int ownAfter = 30;
};

const ScrollCase kScrollCases[] = {
    {.name = "line right from a gadget at 0 moves the window's bar too", .message = WM_HSCROLL,
     .request = SB_LINERIGHT, .gadgetBefore = 0, .gadgetAfter = 1, .ownAfter = 31},
    {.name = "line right from a gadget at 5 moves only the gadget", .message = WM_HSCROLL,
     .request = SB_LINERIGHT, .gadgetBefore = 5, .gadgetAfter = 6},
    {.name = "line left from a gadget at 5", .message = WM_HSCROLL, .request = SB_LINELEFT,
     .gadgetBefore = 5, .gadgetAfter = 4},
    {.name = "line left from a gadget at 0 moves the window's bar", .message = WM_HSCROLL,
     .request = SB_LINELEFT, .gadgetBefore = 0, .gadgetAfter = 0, .ownAfter = 29},
    {.name = "thumb position", .message = WM_HSCROLL, .request = SB_THUMBPOSITION, .thumb = 40,
     .gadgetBefore = 5, .gadgetAfter = 40},
    {.name = "thumb track from a gadget at 0", .message = WM_HSCROLL, .request = SB_THUMBTRACK,
     .thumb = 70, .gadgetBefore = 0, .gadgetAfter = 70, .ownAfter = 70},
    {.name = "page right with step 7", .message = WM_HSCROLL, .request = SB_PAGERIGHT,
     .pageStep = 7, .gadgetBefore = 5, .gadgetAfter = 12},
    {.name = "page left with step 7", .message = WM_HSCROLL, .request = SB_PAGELEFT,
     .pageStep = 7, .gadgetBefore = 20, .gadgetAfter = 13},
    {.name = "page right with step 10", .message = WM_HSCROLL, .request = SB_PAGERIGHT,
     .gadgetBefore = 50, .gadgetAfter = 60},
    {.name = "page left past the start stops at 0", .message = WM_HSCROLL,
     .request = SB_PAGELEFT, .gadgetBefore = 5, .gadgetAfter = 0},
    {.name = "end scroll changes nothing", .message = WM_HSCROLL, .request = SB_ENDSCROLL,
     .gadgetBefore = 5, .gadgetAfter = 5},
    {.name = "top changes nothing", .message = WM_HSCROLL, .request = SB_TOP,
     .gadgetBefore = 5, .gadgetAfter = 5},
    {.name = "vertical line down from a gadget at 0", .message = WM_VSCROLL,
     .request = SB_LINEDOWN, .gadgetBefore = 0, .gadgetAfter = 1, .ownAfter = 31},
    {.name = "vertical page down with step 25", .message = WM_VSCROLL, .request = SB_PAGEDOWN,
     .pageStep = 25, .gadgetBefore = 10, .gadgetAfter = 35},
    {.name = "window's own bar: line right", .message = WM_HSCROLL, .request = SB_LINERIGHT,
     .fromGadget = false, .ownAfter = 31},
    {.name = "window's own bar: thumb position", .message = WM_HSCROLL,
     .request = SB_THUMBPOSITION, .thumb = 55, .fromGadget = false, .ownAfter = 55},
    {.name = "window's own bar: page left", .message = WM_HSCROLL, .request = SB_PAGELEFT,
     .fromGadget = false, .ownAfter = 20},
    {.name = "window's own vertical bar: line up", .message = WM_VSCROLL, .request = SB_LINEUP,
     .fromGadget = false, .ownAfter = 29},
};

}  // namespace

TEST(WindowProcScroll, TableOfRequests) {
    TestWindow window(WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, "scroll");
    HWND horizontal = AddGadget("ScrollBar", window, 901, SBS_HORZ, 10, 10, 200, 16);
    HWND vertical = AddGadget("ScrollBar", window, 902, SBS_VERT, 250, 10, 16, 150);
    for (HWND bar : {horizontal, vertical}) SetScrollRange(bar, SB_CTL, 0, 100, TRUE);
    SetScrollRange(window, SB_HORZ, 0, 100, TRUE);
    SetScrollRange(window, SB_VERT, 0, 100, TRUE);

    for (const ScrollCase& c : kScrollCases) {
        int ownBar = c.message == WM_HSCROLL ? SB_HORZ : SB_VERT;
        int otherBar = ownBar == SB_HORZ ? SB_VERT : SB_HORZ;
        HWND gadget = c.message == WM_HSCROLL ? horizontal : vertical;
        HWND sender = c.fromGadget ? gadget : nullptr;
        SETPAGESTEPSCROLLBAR(c.pageStep);
        SetScrollPos(gadget, SB_CTL, c.gadgetBefore, TRUE);
        SetScrollPos(window, SB_HORZ, c.ownBefore, TRUE);
        SetScrollPos(window, SB_VERT, c.ownBefore, TRUE);
        Drain();

        SendMessageA(window, c.message, MAKEWPARAM(c.request, c.thumb),
                     reinterpret_cast<LPARAM>(sender));

        EXPECT_EQ(EVENTHWND(), sender) << c.name << ": EVENTHWND while delivered";
        if (c.fromGadget) {
            EXPECT_EQ(GetScrollPos(gadget, SB_CTL), c.gadgetAfter) << c.name << ": gadget";
        }
        EXPECT_EQ(GetScrollPos(window, ownBar), c.ownAfter) << c.name << ": window's own bar";
        EXPECT_EQ(GetScrollPos(window, otherBar), c.ownBefore) << c.name << ": the other bar";
        EXPECT_EQ(WINDOWEVENT(), static_cast<int32_t>(c.message)) << c.name << ": event code";
        EXPECT_EQ(EVENTNUMBER(), c.request) << c.name << ": EVENTNUMBER";
        EXPECT_EQ(EVENTHWND(), sender) << c.name << ": EVENTHWND";
    }
    SETPAGESTEPSCROLLBAR(10);
}

TEST(WindowProcScroll, TheScrollBarsOwnRequestMovesIt) {
    TestWindow window(WS_OVERLAPPEDWINDOW | WS_VISIBLE, "scroll bar");
    HWND bar = AddGadget("ScrollBar", window, 903, SBS_HORZ, 10, 10, 200, 16);
    SetScrollRange(bar, SB_CTL, 0, 100, TRUE);
    SetScrollPos(bar, SB_CTL, 5, TRUE);
    Drain();
    // The control turns the arrow key into a line request to its parent.
    SendMessageA(bar, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 6);
    ASSERT_TRUE(PumpFor([](int32_t code) {
        return code == WM_HSCROLL && EVENTNUMBER() == SB_LINERIGHT;
    }));
    EXPECT_EQ(EVENTHWND(), bar);
}

// ---- Size limits ---------------------------------------------------------------

namespace {

MINMAXINFO Sentinel() {
    MINMAXINFO info;
    info.ptReserved = {-1, -2};
    info.ptMaxSize = {-3, -4};
    info.ptMaxPosition = {-5, -6};
    info.ptMinTrackSize = {-7, -8};
    info.ptMaxTrackSize = {-9, -10};
    return info;
}

SIZE OuterSize(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void Resize(HWND window, int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

}  // namespace

TEST(WindowProcSizeLimits, FlagOneAppliesTheFourLimits) {
    TestWindow window;
    Drain();
    SetProperty(window, "MINMAXFLAG", 1);
    SetProperty(window, "MINIMALWIDTH", 220);
    SetProperty(window, "MINIMALHEIGHT", 160);
    SetProperty(window, "MAXIMALWIDTH", 640);
    SetProperty(window, "MAXIMALHEIGHT", 480);

    MINMAXINFO info = Sentinel();
    EXPECT_EQ(SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.ptMinTrackSize.x, 220);
    EXPECT_EQ(info.ptMinTrackSize.y, 160);
    EXPECT_EQ(info.ptMaxTrackSize.x, 640);
    EXPECT_EQ(info.ptMaxTrackSize.y, 480);
    MINMAXINFO untouched = Sentinel();
    EXPECT_EQ(info.ptMaxSize.x, untouched.ptMaxSize.x);
    EXPECT_EQ(info.ptMaxPosition.y, untouched.ptMaxPosition.y);
    EXPECT_EQ(EventStackCount(), 0) << "WM_GETMINMAXINFO is not recorded";

    // The system's sizing honours them.
    Resize(window, 50, 40);
    EXPECT_EQ(OuterSize(window).cx, 220);
    EXPECT_EQ(OuterSize(window).cy, 160);
    Resize(window, 1000, 900);
    EXPECT_EQ(OuterSize(window).cx, 640);
    EXPECT_EQ(OuterSize(window).cy, 480);

    // A missing limit reads 0.
    RemovePropA(window, "MAXIMALHEIGHT");
    info = Sentinel();
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMaxTrackSize.x, 640);
    EXPECT_EQ(info.ptMaxTrackSize.y, 0);
    Drain();
}

// A minimum larger than the work area of the monitor that the window is on
// is cut to that work area, whichever monitor that is when the system asks:
// the window can always be made to fit. The maximum is left as it is.
TEST(WindowProcSizeLimits, AMinimumLargerThanTheWorkAreaIsCutToIt) {
    TestWindow window;
    Drain();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
    LONG workWidth = monitor.rcWork.right - monitor.rcWork.left;
    LONG workHeight = monitor.rcWork.bottom - monitor.rcWork.top;
    SetProperty(window, "MINMAXFLAG", 1);
    SetProperty(window, "MINIMALWIDTH", workWidth + 500);
    SetProperty(window, "MINIMALHEIGHT", workHeight + 300);
    SetProperty(window, "MAXIMALWIDTH", workWidth + 1000);
    SetProperty(window, "MAXIMALHEIGHT", workHeight + 900);

    MINMAXINFO info = Sentinel();
    EXPECT_EQ(SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.ptMinTrackSize.x, workWidth);
    EXPECT_EQ(info.ptMinTrackSize.y, workHeight);
    EXPECT_EQ(info.ptMaxTrackSize.x, workWidth + 1000);
    EXPECT_EQ(info.ptMaxTrackSize.y, workHeight + 900);

    Resize(window, 50, 40);
    EXPECT_EQ(OuterSize(window).cx, workWidth);
    EXPECT_EQ(OuterSize(window).cy, workHeight);
    Drain();
}

TEST(WindowProcSizeLimits, WithoutTheFlagTheDefaultProcedureAnswers) {
    for (intptr_t flag : {intptr_t{0}, intptr_t{2}}) {
        TestWindow window;
        if (flag != 0) SetProperty(window, "MINMAXFLAG", flag);
        SetProperty(window, "MINIMALWIDTH", 500);
        SetProperty(window, "MAXIMALWIDTH", 600);

        MINMAXINFO answered = Sentinel();
        MINMAXINFO byDefault = Sentinel();
        LRESULT result =
            SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&answered));
        LRESULT defaultResult =
            DefWindowProcA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&byDefault));
        EXPECT_EQ(result, defaultResult) << "flag " << flag;
        EXPECT_EQ(std::memcmp(&answered, &byDefault, sizeof answered), 0) << "flag " << flag;

        Resize(window, 50, 40);
        EXPECT_EQ(OuterSize(window).cx, std::max(50, GetSystemMetrics(SM_CXMINTRACK)))
            << "flag " << flag << ": the system's smallest width";
        Drain();
    }
}

// ---- Status bar fitting ----------------------------------------------------------

namespace {

std::vector<std::pair<WPARAM, LPARAM>> recordedSizes;

LRESULT CALLBACK SizeRecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) recordedSizes.emplace_back(wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST(WindowProcStatusBar, SizeIsForwardedToTheStatusBarWindow) {
    TestWindow window;
    HWND recorder = OpenOwnPopup("EventsTestSizeRecorder", SizeRecorderProc);
    ASSERT_NE(recorder, nullptr);
    SetProperty(window, "STATUSBARWINDOW", reinterpret_cast<intptr_t>(recorder));
    Drain();
    recordedSizes.clear();

    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(50, 60));
    ASSERT_EQ(recordedSizes.size(), 1u);
    EXPECT_EQ(recordedSizes[0].first, 0u);
    EXPECT_EQ(recordedSizes[0].second, 0);
    EXPECT_EQ(SIZEX(), 50);
    EXPECT_EQ(SIZEY(), 60);

    recordedSizes.clear();
    Resize(window, 420, 330);
    EXPECT_FALSE(recordedSizes.empty()) << "a real resize reached no status bar";
    for (auto [wParam, lParam] : recordedSizes) {
        EXPECT_EQ(wParam, 0u);
        EXPECT_EQ(lParam, 0);
    }
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(SIZEX(), client.right);
    EXPECT_EQ(SIZEY(), client.bottom);
    RemovePropA(window, "STATUSBARWINDOW");
    DestroyWindow(recorder);
    Drain();
}

TEST(WindowProcStatusBar, RealStatusBarFollowsTheWindowWidthOnlyWithTheProperty) {
    InitControls();
    for (bool withProperty : {true, false}) {
        TestWindow window;
        HWND status = CreateChild(STATUSCLASSNAMEA, window, 950, 0, 0, 0, 0, 0);
        ASSERT_NE(status, nullptr);
        if (withProperty) {
            SetProperty(window, "STATUSBARWINDOW", reinterpret_cast<intptr_t>(status));
        }
        RECT before{};
        GetWindowRect(status, &before);

        Resize(window, 520, 300);
        RECT client{};
        GetClientRect(window, &client);
        RECT after{};
        GetWindowRect(status, &after);
        if (withProperty) {
            EXPECT_EQ(after.right - after.left, client.right)
                << "status bar width with the property";
        } else {
            EXPECT_EQ(after.right - after.left, before.right - before.left)
                << "status bar width without the property";
            EXPECT_NE(after.right - after.left, client.right);
        }
        Drain();
    }
}

// ---- Hooks -------------------------------------------------------------------------

namespace {

struct HookCall {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<HookCall> procHookCalls;
LRESULT closeAnswer = 7;

LRESULT __stdcall RefuseClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    procHookCalls.push_back({window, message, wParam, lParam});
    return message == WM_CLOSE ? closeAnswer : 0;
}

bool HookSaw(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return std::any_of(procHookCalls.begin(), procHookCalls.end(), [&](const HookCall& call) {
        return call.window == window && call.message == message && call.wParam == wParam &&
               call.lParam == lParam;
    });
}

}  // namespace

TEST(WindowProcHook, NonZeroAnswerTakesTheMessageAway) {
    TestWindow window;
    HookOff off{0};
    Drain();
    procHookCalls.clear();
    EXPECT_EQ(SETWINDOWCALLBACK(reinterpret_cast<void*>(&RefuseClose), 0), 1);

    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), closeAnswer);
    EXPECT_TRUE(HookSaw(window, WM_CLOSE, 0, 0));
    EXPECT_EQ(EventStackCount(), 0) << "a refused close request is not recorded";
    EXPECT_TRUE(IsWindow(window));

    PostMessageA(window, WM_CLOSE, 0, 0);
    std::vector<Seen> seen = PumpAll();
    EXPECT_FALSE(AnyCode(seen, WM_CLOSE))
        << "event 16 came although the hook refused it: " << Codes(seen);

    // A zero answer lets the message through.
    EXPECT_EQ(SendMessageA(window, WM_USER, 5, 6), 0);
    EXPECT_TRUE(HookSaw(window, WM_USER, 5, 6));
    EXPECT_EQ(EventStackCount(), 1);
    EXPECT_EQ(WINDOWEVENT(), WM_USER);
    EXPECT_EQ(EVENTWPARAM(), 5);
}

TEST(WindowProcHook, SwitchedOffItIsNoLongerCalled) {
    TestWindow window;
    HookOff off{0};
    Drain();
    SETWINDOWCALLBACK(reinterpret_cast<void*>(&RefuseClose), 0);
    FREECALLBACK(0);
    procHookCalls.clear();

    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(procHookCalls.empty()) << procHookCalls.size() << " calls after FREECALLBACK";
    EXPECT_EQ(WINDOWEVENT(), WM_CLOSE);
    EXPECT_EQ(EVENTHWND(), static_cast<HWND>(window));

}

namespace {

int otherHookCalls = 0;

LRESULT __stdcall CountCalls(HWND, UINT, WPARAM, LPARAM) {
    ++otherHookCalls;
    return 0;
}

}  // namespace

TEST(WindowProcHook, SecondRoutineReplacesTheFirst) {
    TestWindow window;
    HookOff off{0};
    Drain();
    SETWINDOWCALLBACK(reinterpret_cast<void*>(&RefuseClose), 0);
    SETWINDOWCALLBACK(reinterpret_cast<void*>(&CountCalls), 0);
    procHookCalls.clear();
    otherHookCalls = 0;

    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(procHookCalls.empty()) << "the replaced routine was called";
    EXPECT_GE(otherHookCalls, 1) << "the new routine was not called";
    EXPECT_EQ(WINDOWEVENT(), WM_CLOSE) << "the new routine lets the close request through";
}

namespace {

struct QueuedCall {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    LONG x;
    LONG y;
    LONG messageTime;  // what GetMessageTime and GetMessagePos say for the message taken
    DWORD messagePos;
};
std::vector<QueuedCall> queuedCalls;

void __stdcall RecordQueued(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time,
                            LONG x, LONG y) {
    queuedCalls.push_back({window, message, wParam, lParam, time, x, y, GetMessageTime(),
                           GetMessagePos()});
}

const QueuedCall* FindQueued(UINT message) {
    for (const QueuedCall& call : queuedCalls) {
        if (call.message == message) return &call;
    }
    return nullptr;
}

// Posts the message, pumps it out, and tells whether the message hook saw it.
bool HookSeesPosted(HWND window, UINT message) {
    PostMessageA(window, message, 0, 0);
    PumpAll();
    return FindQueued(message) != nullptr;
}

}  // namespace

TEST(MessageHook, CalledForEveryMessageTakenFromTheQueue) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    HookOff off{1};
    Drain();
    queuedCalls.clear();
    EXPECT_EQ(SETWINDOWCALLBACK(reinterpret_cast<void*>(&RecordQueued), 1), 1);

    struct Posted {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Posted posted[] = {
        {window, WM_APP + 1, 11, 22},
        {window, WM_USER, 33, -44},
        {nullptr, WM_APP + 2, 55, 66},  // a thread message: dispatched nowhere, still seen
    };
    DWORD before = GetTickCount();
    for (const Posted& p : posted) {
        if (p.window != nullptr) {
            PostMessageA(p.window, p.message, p.wParam, p.lParam);
        } else {
            PostThreadMessageA(GetCurrentThreadId(), p.message, p.wParam, p.lParam);
        }
    }
    PumpAll();
    DWORD after = GetTickCount();

    for (const Posted& p : posted) {
        const QueuedCall* call = FindQueued(p.message);
        ASSERT_NE(call, nullptr) << "the hook never saw message " << p.message;
        EXPECT_EQ(call->window, p.window) << "window of message " << p.message;
        EXPECT_EQ(call->wParam, p.wParam) << "wParam of message " << p.message;
        EXPECT_EQ(call->lParam, p.lParam) << "lParam of message " << p.message;
        EXPECT_EQ(static_cast<LONG>(call->time), call->messageTime)
            << "time of message " << p.message;
        EXPECT_LE(call->time - before, after - before) << "time of message " << p.message;
        EXPECT_EQ(call->x, static_cast<SHORT>(LOWORD(call->messagePos)))
            << "point x of message " << p.message;
        EXPECT_EQ(call->y, static_cast<SHORT>(HIWORD(call->messagePos)))
            << "point y of message " << p.message;
    }
    // The hook ran for them in the order they were taken.
    std::vector<UINT> order;
    for (const QueuedCall& call : queuedCalls) {
        if (call.message == WM_APP + 1 || call.message == WM_USER || call.message == WM_APP + 2) {
            order.push_back(call.message);
        }
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_APP + 1, WM_USER, WM_APP + 2}));

    FREECALLBACK(1);
    queuedCalls.clear();
    EXPECT_FALSE(HookSeesPosted(window, WM_APP + 3)) << "called after FREECALLBACK";
}

TEST(MessageHook, KindsOtherThanZeroAndOneInstallNothing) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    HookOff procOff{0};
    HookOff queueOff{1};
    FREECALLBACK(0);
    FREECALLBACK(1);
    Drain();
    procHookCalls.clear();
    queuedCalls.clear();
    for (int32_t kind : {2, -1}) {
        EXPECT_EQ(SETWINDOWCALLBACK(reinterpret_cast<void*>(&RefuseClose), kind), 1);
        EXPECT_EQ(ActiveMessageHook(), nullptr) << "kind " << kind;
        SendMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(procHookCalls.empty()) << "kind " << kind << " installed a procedure hook";
        EXPECT_EQ(WINDOWEVENT(), WM_CLOSE) << "kind " << kind;
    }
    EXPECT_EQ(SETWINDOWCALLBACK(reinterpret_cast<void*>(&RecordQueued), 2), 1);
    EXPECT_FALSE(HookSeesPosted(window, WM_APP + 4)) << "kind 2 installed a message hook";
}

TEST(MessageHook, SeesAKeyThatAShortcutConsumed) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    HookOff off{1};
    ASSERT_NE(ADDKEYBOARDSHORTCUT(window, 0, VK_F7, 4711), nullptr);
    Drain();
    queuedCalls.clear();
    SETWINDOWCALLBACK(reinterpret_cast<void*>(&RecordQueued), 1);

    PostMessageA(window, WM_KEYDOWN, VK_F7, 0x00410001);
    EXPECT_EQ(WINDOWEVENT(), 1026);
    EXPECT_EQ(EVENTNUMBER(), 4711);
    const QueuedCall* call = FindQueued(WM_KEYDOWN);
    ASSERT_NE(call, nullptr) << "the hook did not see the consumed key";
    EXPECT_EQ(call->window, static_cast<HWND>(window));
    EXPECT_EQ(call->wParam, static_cast<WPARAM>(VK_F7));
    EXPECT_EQ(call->lParam, 0x00410001);
    DELETEALLKEYBOARDSHORTCUT(window);
    Drain();
}

// ---- Colour painting --------------------------------------------------------------

namespace {

constexpr COLORREF kDcBackground = 0x00010101, kDcText = 0x00020202;

class WindowProcColours : public ::testing::Test {
protected:
    void SetUp() override {
        number_ = nextNumber_;
        nextNumber_ += 10;
        label_ = AddGadget("Static", window_, number_, 0, 10, 10, 100, 30, "");
        edit_ = AddGadget("Edit", window_, number_ + 1, 0, 10, 50);
        bare_ = AddGadget("Static", window_, number_ + 2, 0, 10, 90);
        ColorAdd(label_, 0x00336699, 0x00112233);
        ColorAdd(edit_, 0x00CCDDEE, 0x00010203);
        dc_ = CreateCompatibleDC(nullptr);
        Drain();
        TakeColourSkip();
    }
    void TearDown() override {
        DeleteDC(dc_);
        Drain();
    }

    void ResetDc() {
        SetBkColor(dc_, kDcBackground);
        SetTextColor(dc_, kDcText);
    }

    HBRUSH Paint(UINT message, HWND control) {
        ResetDc();
        return reinterpret_cast<HBRUSH>(SendMessageA(window_, message,
                                                     reinterpret_cast<WPARAM>(dc_),
                                                     reinterpret_cast<LPARAM>(control)));
    }

    static COLORREF BrushColour(HBRUSH brush) {
        LOGBRUSH info{};
        if (GetObjectA(brush, sizeof info, &info) != sizeof info) return CLR_INVALID;
        return info.lbColor;
    }

    TestWindow window_{WS_OVERLAPPEDWINDOW | WS_VISIBLE, "colours"};
    HWND label_ = nullptr, edit_ = nullptr, bare_ = nullptr;
    HDC dc_ = nullptr;
    int32_t number_ = 0;
    static inline int32_t nextNumber_ = 1100;
};

}  // namespace

TEST_F(WindowProcColours, ControlsWithAColourEntryArePainted) {
    struct PaintCase {
        const char* name;
        UINT message;
        HWND control;
        COLORREF background;
        COLORREF text;
    };
    const PaintCase cases[] = {
        {"WM_CTLCOLORSTATIC for the label", WM_CTLCOLORSTATIC, label_, 0x00336699, 0x00112233},
        {"WM_CTLCOLOREDIT for the edit box", WM_CTLCOLOREDIT, edit_, 0x00CCDDEE, 0x00010203},
    };
    for (const PaintCase& c : cases) {
        HBRUSH brush = Paint(c.message, c.control);
        ASSERT_NE(brush, nullptr) << c.name;
        EXPECT_EQ(BrushColour(brush), c.background) << c.name << ": brush colour";
        EXPECT_EQ(GetBkColor(dc_), c.background) << c.name << ": background on the DC";
        EXPECT_EQ(GetTextColor(dc_), c.text) << c.name << ": text colour on the DC";
        EXPECT_EQ(EventStackCount(), 0) << c.name << ": recorded";
    }
}

TEST_F(WindowProcColours, ControlWithoutAnEntryLeavesTheDcAlone) {
    HBRUSH shared = Paint(WM_CTLCOLORSTATIC, label_);
    ASSERT_NE(shared, nullptr);
    for (UINT message : {UINT{WM_CTLCOLORSTATIC}, UINT{WM_CTLCOLOREDIT}}) {
        HBRUSH brush = Paint(message, bare_);
        EXPECT_EQ(brush, shared) << "message " << message << ": the shared brush comes back";
        EXPECT_EQ(GetBkColor(dc_), kDcBackground) << "message " << message;
        EXPECT_EQ(GetTextColor(dc_), kDcText) << "message " << message;
        EXPECT_FALSE(TakeColourSkip()) << "message " << message << ": the skip flag stays set";
    }
}

TEST_F(WindowProcColours, SkipFlagSkipsExactlyOnePainting) {
    EXPECT_EQ(ERR_(1), 1);
    Paint(WM_CTLCOLORSTATIC, label_);
    EXPECT_EQ(GetBkColor(dc_), kDcBackground) << "first painting after ERR_(1)";
    EXPECT_EQ(GetTextColor(dc_), kDcText) << "first painting after ERR_(1)";
    Paint(WM_CTLCOLORSTATIC, label_);
    EXPECT_EQ(GetBkColor(dc_), 0x00336699u) << "second painting after ERR_(1)";
    EXPECT_EQ(GetTextColor(dc_), 0x00112233u) << "second painting after ERR_(1)";
}

TEST_F(WindowProcColours, TheFourColourMessagesAreNeverRecorded) {
    HWND list = AddGadget("ListBox", window_, number_ + 3, 0, 150, 10, 100, 60);
    HWND bar = AddGadget("ScrollBar", window_, number_ + 4, SBS_HORZ, 150, 90, 100, 16);
    ColorAdd(list, 0x00445566, 0);
    ColorAdd(bar, 0x00445566, 0x00000001);
    Drain();
    const std::pair<UINT, HWND> messages[] = {{WM_CTLCOLOREDIT, edit_},
                                              {WM_CTLCOLORLISTBOX, list},
                                              {WM_CTLCOLORSCROLLBAR, bar},
                                              {WM_CTLCOLORSTATIC, label_},
                                              {WM_CTLCOLORSTATIC, bare_}};
    for (auto [message, control] : messages) {
        EXPECT_NE(Paint(message, control), nullptr) << "message " << message;
        EXPECT_EQ(EventStackCount(), 0) << "message " << message << " was recorded";
    }
    // A button's colour request is not taken: the default procedure answers it.
    HWND button = AddGadget("Button", window_, number_ + 5, BS_PUSHBUTTON, 150, 120);
    ColorAdd(button, 0x000000FF, 0x0000FF00);
    HDC reference = CreateCompatibleDC(nullptr);
    SetBkColor(reference, kDcBackground);
    SetTextColor(reference, kDcText);
    LRESULT byDefault = DefWindowProcA(window_, WM_CTLCOLORBTN,
                                       reinterpret_cast<WPARAM>(reference),
                                       reinterpret_cast<LPARAM>(button));
    HBRUSH answered = Paint(WM_CTLCOLORBTN, button);
    EXPECT_EQ(reinterpret_cast<LRESULT>(answered), byDefault);
    EXPECT_EQ(GetBkColor(dc_), GetBkColor(reference));
    EXPECT_EQ(GetTextColor(dc_), GetTextColor(reference));
    EXPECT_NE(GetTextColor(dc_), 0x0000FF00u) << "the button got its entry's text colour";
    DeleteDC(reference);
}

TEST_F(WindowProcColours, ARedrawnLabelShowsItsBackground) {
    Raise(window_);
    RedrawWindow(label_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC screen = GetDC(label_);
    COLORREF pixel = GetPixel(screen, 3, 3);
    ReleaseDC(label_, screen);
    EXPECT_EQ(pixel, 0x00336699u);
}

// ---- WAITEVENT ----------------------------------------------------------------------

// Posts a message after `delayMs` unless the test ends first; tells whether it
// had to post.
class LatePoster {
public:
    LatePoster(HWND target, int delayMs)
        : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread_([this, target, delayMs] {
              if (WaitForSingleObject(done_, static_cast<DWORD>(delayMs)) == WAIT_TIMEOUT) {
                  posted_.store(true);
                  PostMessageA(target, WM_USER, 88, 0);
              }
          }) {}
    ~LatePoster() { Stop(); CloseHandle(done_); }
    // Ends the thread; whether it posted before that.
    bool Stop() {
        SetEvent(done_);
        if (thread_.joinable()) thread_.join();
        return posted_.load();
    }

private:
    HANDLE done_;
    std::atomic<bool> posted_{false};
    std::thread thread_;
};

// One WAITEVENT while a LatePoster stands ready to post WM_USER 88 to `window`
// after `delayMs`: the event it gave, and whether the post had to come.
struct Waited {
    int32_t code;
    bool posted;
};

Waited WaitEventWithPostAfter(HWND window, int delayMs) {
    LatePoster poster(window, delayMs);
    int32_t code = WAITEVENT();
    return {code, poster.Stop()};
}

TEST(WaitEvent, BlocksWhileNothingIsPendingUntilAMessageArrives) {
    TestWindow window(WS_OVERLAPPEDWINDOW);  // hidden: no paint or activation traffic
    Drain();
    ASSERT_EQ(EventStackCount(), 0);
    ASSERT_TRUE(QueueEmpty());
    Waited waited = WaitEventWithPostAfter(window, 300);
    EXPECT_TRUE(waited.posted) << "WAITEVENT returned with nothing to do";
    if (waited.code == 0) {  // woken by something else first: the posted message still comes
        EXPECT_TRUE(PumpFor([](int32_t c) { return c == WM_USER && EVENTWPARAM() == 88; }));
    } else {
        EXPECT_EQ(waited.code, WM_USER);
        EXPECT_EQ(EVENTWPARAM(), 88);
    }
}

TEST(WaitEvent, ReturnsTheWaitingEntryWithoutWaitingForANewMessage) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    SendMessageA(window, WM_USER, 77, 0);
    ASSERT_EQ(EventStackCount(), 1);
    ASSERT_TRUE(QueueEmpty());  // this also marks the queue as examined
    Waited waited = WaitEventWithPostAfter(window, 5000);
    EXPECT_FALSE(waited.posted) << "WAITEVENT waited for a new message with an entry waiting";
    EXPECT_EQ(waited.code, WM_USER);
    EXPECT_EQ(EVENTWPARAM(), 77);
}

TEST(WaitEvent, TakesMessagesThatAnEarlierLookAlreadySaw) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    PostMessageA(window, WM_USER, 1, 0);
    PostMessageA(window, WM_USER, 2, 0);
    ASSERT_EQ(WINDOWEVENT(), WM_USER);  // takes the first; the queue has been looked at
    ASSERT_EQ(EVENTWPARAM(), 1);
    Waited waited = WaitEventWithPostAfter(window, 5000);
    EXPECT_FALSE(waited.posted) << "WAITEVENT stalled on a message the queue already held";
    EXPECT_EQ(waited.code, WM_USER);
    EXPECT_EQ(EVENTWPARAM(), 2);
}

TEST(WaitEvent, ReturnsTheEventOfTheMessageThatWokeIt) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    ASSERT_TRUE(QueueEmpty());
    HWND target = window;
    std::thread poster([target] { PostMessageA(target, WM_KEYDOWN, 'W', 0x00110001); });
    int32_t code = WAITEVENT();
    poster.join();
    if (code == 0) {  // woken by something else first: the key still comes
        EXPECT_TRUE(PumpFor(WM_KEYDOWN));
    } else {
        EXPECT_EQ(code, WM_KEYDOWN);
    }
    EXPECT_EQ(EVENTKEY(), 'W');
    EXPECT_EQ(EVENTHWND(), target);
}

TEST(WaitEvent, DoesNotStallOnATimerThatHasAlreadyExpired) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    ASSERT_NE(SetTimer(window, 61, 1, nullptr), 0u);
    // Waits until the timer is due; this also marks the queue as examined.
    ASSERT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_TIMER), WAIT_OBJECT_0)
        << "the timer never came due";
    Waited waited = WaitEventWithPostAfter(window, 5000);
    EXPECT_FALSE(waited.posted) << "WAITEVENT stalled on an expired timer";
    EXPECT_EQ(waited.code, WM_TIMER);
    EXPECT_EQ(EVENTNUMBER(), 61);
    KillTimer(window, 61);
    Drain();
}

namespace {

std::vector<std::pair<UINT, WPARAM>> hookedMessages;

void __stdcall RecordMessage(HWND, UINT message, WPARAM wParam, LPARAM, DWORD, LONG, LONG) {
    hookedMessages.emplace_back(message, wParam);
}

int QuitsSeenByTheHook() {
    return static_cast<int>(std::count_if(hookedMessages.begin(), hookedMessages.end(),
                                          [](const auto& m) { return m.first == WM_QUIT; }));
}

}  // namespace

// The wait takes whatever message ends it, WM_QUIT too: it puts that back,
// so a caller that looks for it finds it, with its exit code.
TEST(WaitEvent, AQuitMessageStaysForACallerThatLooksForIt) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    PostQuitMessage(42);
    Waited waited = WaitEventWithPostAfter(window, 5000);
    EXPECT_EQ(waited.code, 0);
    EXPECT_FALSE(waited.posted) << "WAITEVENT waited with a quit message in the queue";
    MSG quit{};
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit message was lost";
    EXPECT_EQ(quit.wParam, 42u);
    Drain();
}

// A caller that does not look for it: a following call takes the quit message
// as WINDOWEVENT would (the message hook sees it once), without waiting and
// without spinning on it; after that the pump waits for a new message.
TEST(WaitEvent, AQuitMessageNobodyTakesGoesThroughThePumpOnceAndThenItWaits) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    hookedMessages.clear();
    SETWINDOWCALLBACK(reinterpret_cast<void*>(&RecordMessage), 1);
    HookOff off{1};
    PostQuitMessage(7);
    LatePoster watchdog(window, 5000);
    for (int call = 0; call < 3 && QuitsSeenByTheHook() == 0; ++call) {
        EXPECT_EQ(WAITEVENT(), 0) << "call " << call;
    }
    EXPECT_FALSE(watchdog.Stop()) << "WAITEVENT waited with a quit message in the queue";
    EXPECT_EQ(QuitsSeenByTheHook(), 1);
    MSG quit{};
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    Waited waited = WaitEventWithPostAfter(window, 300);
    EXPECT_TRUE(waited.posted) << "WAITEVENT returned with nothing to do";
    EXPECT_EQ(QuitsSeenByTheHook(), 1);
    if (waited.code != 0) {
        EXPECT_EQ(waited.code, WM_USER);
    }
    Drain();
}

// A message that another thread sends is delivered inside the wait: the
// entry it records is handed out at once, not when some later message comes
// (by then a close request could have dropped it).
TEST(WaitEvent, AnEntryRecordedByAMessageFromAnotherThreadEndsTheWait) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    HWND target = window;
    std::thread sender([target] {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(target, WM_USER, 55, 0, SMTO_NORMAL, 10000, &answer);
    });
    Waited waited = WaitEventWithPostAfter(window, 5000);
    sender.join();
    EXPECT_FALSE(waited.posted) << "WAITEVENT went on waiting with the sent message's entry recorded";
    EXPECT_EQ(waited.code, WM_USER);
    EXPECT_EQ(EVENTWPARAM(), 55);
    // The wake-up is the pump's own: nothing more comes of it.
    std::vector<Seen> rest = PumpAll();
    EXPECT_FALSE(AnyCode(rest, WM_USER))
        << Codes(rest);
}

// ---- Notifications through any message loop, and nested in another thread's send --

namespace {

// A list view click record, addressable in this process: what a posted
// WM_NOTIFY would point at if it were read.
struct ForgedClick {
    NMITEMACTIVATE click{};
    explicit ForgedClick(HWND listView, int32_t number) {
        click.hdr = NMHDR{listView, static_cast<UINT_PTR>(number), static_cast<UINT>(NM_CLICK)};
        click.iItem = 9;
    }
    LPARAM Address() { return reinterpret_cast<LPARAM>(&click.hdr); }
};

}  // namespace

// A loop other than the pump dispatches a posted notification: the loop of
// some other code of the thread, and the system's move loop started by a
// WM_SYSCOMMAND that another program posts. A record that names a control
// of another window of the thread (here a caller's own dialog, which holds
// a live record) is never read, whichever loop dispatches it; the pump
// dispatches no posted notification at all, even one naming the window's
// own list view.
TEST(WindowProcForeignNotifications, APostedNotificationIsNotReadWhicheverLoopDispatchesIt) {
    InitControls();
    TestWindow window;
    const int32_t number = 812;
    HWND listView = AddGadget(WC_LISTVIEWA, window, number, LVS_REPORT, 10, 10, 120, 60);
    HWND dialog = OpenOwnPopup("EventsTestCallersDialog", DefWindowProcA);
    HWND dialogList = CreateChild(WC_LISTVIEWA, dialog, number, LVS_REPORT, 0, 0, 100, 50);
    ForgedClick forged(dialogList, number);
    ForgedClick own(listView, number);
    FocusWindow(window);
    Drain();
    Event().listViewNumber = 0;
    Event().listViewItem = 0;

    // A plain loop of other code.
    ASSERT_TRUE(PostMessageA(window, WM_NOTIFY, number, forged.Address()));
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
    EXPECT_EQ(Event().listViewItem, 0) << "a notification dispatched by another loop was read";
    Drain();

    // The system's move loop, entered from the pump, dispatching what is
    // posted meanwhile; Escape ends it.
    ASSERT_TRUE(PostMessageA(window, WM_SYSCOMMAND, SC_MOVE, 0));
    ASSERT_TRUE(PostMessageA(window, WM_NOTIFY, number, forged.Address()));
    ASSERT_TRUE(PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0));
    std::vector<Seen> seen = PumpAll();
    EXPECT_EQ(Event().listViewItem, 0) << "a notification dispatched by the move loop was read";
    EXPECT_EQ(Event().listViewNumber, 0);
    EXPECT_FALSE(AnyCode(seen, 1025)) << Codes(seen);

    // The pump takes the window's own list view's record from the queue undispatched.
    ASSERT_TRUE(PostMessageA(window, WM_NOTIFY, number, own.Address()));
    seen = PumpAll();
    EXPECT_EQ(Event().listViewItem, 0) << "the pump dispatched a posted notification";
    EXPECT_FALSE(AnyCode(seen, 1025)) << Codes(seen);

    // Sent by this thread, the own list view's record is read.
    SendMessageA(window, WM_NOTIFY, number, own.Address());
    EXPECT_EQ(Event().listViewItem, 9);
    Drain();
    DestroyWindow(dialog);
}

// An automation tool drives a tab control from a thread of its own: the
// control switches tabs, but its notifications to its parent, sent on this
// thread inside the tool's send, are not read. The system reports such a
// send as the tool's (InSendMessageEx), as it reports a record that the
// tool sends itself, which is never read.
TEST_F(WindowProcNotifications, NotificationsRaisedInsideAnotherThreadsSendAreNotRead) {
    HWND tab = AddGadget(WC_TABCONTROLA, window_, number_, 0, 10, 10, 300, 200);
    HWND pages[2];
    for (int i = 0; i < 2; ++i) {
        pages[i] = CreateWindowExA(0, "Static", "page", WS_CHILD, 20, 50, 100, 50, window_,
                                   nullptr, nullptr, nullptr);
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<char*>(i == 0 ? "first" : "second");
        item.lParam = reinterpret_cast<LPARAM>(pages[i]);
        SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(tab, TCM_SETCURSEL, 0, 0);
    ShowWindow(pages[0], SW_SHOW);
    Drain();

    std::thread tool([tab] {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(tab, TCM_SETCURFOCUS, 1, 0, SMTO_NORMAL, 10000, &answer);
    });
    // The send is delivered while this thread looks at its queue.
    for (int i = 0; i < 500 && SendMessageA(tab, TCM_GETCURSEL, 0, 0) != 1; ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
    tool.join();
    ASSERT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 1) << "the tool's send was not delivered";
    EXPECT_TRUE(IsWindowVisible(pages[0])) << "the old tab's page was hidden";
    EXPECT_FALSE(IsWindowVisible(pages[1])) << "the new tab's page was shown";
    std::vector<Seen> seen = PumpAll();
    EXPECT_FALSE(AnyCode(seen, 1025)) << "a gadget event for the tab change: " << Codes(seen);
}

namespace {

constexpr UINT kRecordThenEat = WM_USER + 7;
// Which messages the nested loop below removes: the thread's own (window -1)
// or every one (no window).
HWND eatenFilter = nullptr;
std::atomic<DWORD> recordedAt{0};

// The window procedure hook for kRecordThenEat: records an entry, then runs
// a nested loop that removes messages of the thread without dispatching them.
LRESULT __stdcall RecordThenEatMessages(HWND window, UINT message, WPARAM, LPARAM) {
    if (message != kRecordThenEat) return 0;
    recordedAt = GetTickCount();
    SendMessageA(window, WM_USER, 66, 0);
    for (MSG eaten; PeekMessageA(&eaten, eatenFilter, 0, 0, PM_REMOVE);) {
    }
    return 1;
}

// WAITEVENT until it hands out WM_USER with `wanted` as its wParam; the
// tick count then, or 0 when a watchdog's WM_USER 88 came first (after 5 s).
DWORD WaitEventFor(HWND window, int32_t wanted) {
    LatePoster watchdog(window, 5000);
    for (;;) {
        int32_t code = WAITEVENT();
        if (code == WM_USER && EVENTWPARAM() == wanted) return GetTickCount();
        if (code == WM_USER && EVENTWPARAM() == 88) return 0;
    }
}

}  // namespace

// A loop nested inside a message that another thread sends (a menu, a
// message box, a caller's own) removes the thread's messages, or every
// message, without dispatching them: an entry recorded there must still end
// WAITEVENT's wait as soon as that loop is over.
TEST(WaitEvent, AnEntryRecordedWhileANestedLoopEatsMessagesEndsTheWaitAtOnce) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    SETWINDOWCALLBACK(reinterpret_cast<void*>(RecordThenEatMessages), 0);
    HookOff off{0};
    for (HWND filter : {reinterpret_cast<HWND>(-1), static_cast<HWND>(nullptr)}) {
        SCOPED_TRACE(filter == nullptr ? "the loop removes every message" : "the loop removes the thread's messages");
        Drain();
        eatenFilter = filter;
        HWND target = window;
        std::thread sender([target] {
            DWORD_PTR answer = 0;
            SendMessageTimeoutA(target, kRecordThenEat, 0, 0, SMTO_NORMAL, 10000, &answer);
        });
        DWORD handedOutAt = WaitEventFor(window, 66);
        sender.join();
        ASSERT_NE(handedOutAt, 0u) << "WAITEVENT went on waiting with an entry recorded";
        EXPECT_LT(handedOutAt - recordedAt.load(), 200u) << "ms from the entry to WAITEVENT's return";
    }
    Drain();
}

namespace {

constexpr UINT kRunALibraryLoop = WM_USER + 11;

// The window procedure hook for kRunALibraryLoop: a caller's loop of its own
// (a dialog, say) that pumps the library's events until its own message comes.
LRESULT __stdcall RunALibraryLoop(HWND window, UINT message, WPARAM, LPARAM) {
    if (message != kRunALibraryLoop) return 0;
    PostMessageA(window, WM_USER, 64, 0);
    while (!(WAITEVENT() == WM_USER && EVENTWPARAM() == 64)) {
    }
    return 1;
}

}  // namespace

// A library loop run inside a message that another thread sends during
// WAITEVENT's wait waits and ends in turn; the outer wait goes on, and an
// entry that another thread's message records later ends it at once.
TEST(WaitEvent, AnEntryRecordedAfterALibraryLoopRanInsideAnEarlierSendEndsTheWaitAtOnce) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    SETWINDOWCALLBACK(reinterpret_cast<void*>(RunALibraryLoop), 0);
    HookOff off{0};
    HWND target = window;
    std::thread sender([target] {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(target, kRunALibraryLoop, 0, 0, SMTO_NORMAL, 10000, &answer);
        Sleep(100);
        recordedAt = GetTickCount();
        SendMessageTimeoutA(target, WM_USER, 55, 0, SMTO_NORMAL, 10000, &answer);
    });
    DWORD handedOutAt = WaitEventFor(window, 55);
    sender.join();
    ASSERT_NE(handedOutAt, 0u) << "WAITEVENT went on waiting with an entry recorded";
    EXPECT_LT(handedOutAt - recordedAt.load(), 200u) << "ms from the entry to WAITEVENT's return";
    Drain();
}

// ---- Notifications checked when they arrive ------------------------------------

namespace {

// A child of a window class of the caller's own.
HWND OwnControl(HWND window, int32_t number, DWORD exStyle) {
    WNDCLASSA own{};
    own.lpfnWndProc = DefWindowProcA;
    own.hInstance = GetModuleHandleA(nullptr);
    own.lpszClassName = "CallersOwnControl";
    RegisterClassA(&own);  // once a process; later calls fail harmlessly
    return CreateWindowExA(exStyle, "CallersOwnControl", "", WS_CHILD | WS_VISIBLE, 10, 10, 100, 50,
                           window, reinterpret_cast<HMENU>(static_cast<intptr_t>(number)), nullptr,
                           nullptr);
}

// A hidden window of a class of the test's own whose procedure is the
// library's, made on the calling thread; nothing is registered for it.
HWND OpenLibraryClassWindow() {
    WNDCLASSA library{};
    library.lpfnWndProc = FBGUIWINPROC;
    library.hInstance = GetModuleHandleA(nullptr);
    library.lpszClassName = "EventsTestLibraryClass";
    RegisterClassA(&library);  // once a process; later calls fail harmlessly
    return CreateWindowExA(0, "EventsTestLibraryClass", "", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                           nullptr, nullptr, nullptr, nullptr);
}

// A tooltip owned by `window` with one tool of `window`, as a caller makes
// one for it; it notifies `window`.
HWND AddTooltip(HWND window, UINT_PTR tool) {
    HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window,
                               nullptr, nullptr, nullptr);
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    info.hwnd = window;
    info.uId = tool;
    info.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    return tip;
}

// Whether an NM_CLICK that names `control` under `number`, sent by this
// thread to `window`, is read: the window then reports it as a command.
bool OwnClickRead(HWND window, HWND control, int32_t number) {
    NMHDR click{control, static_cast<UINT_PTR>(number), static_cast<UINT>(NM_CLICK)};
    SetProperty(window, "WM_NOTIFY_Event", 0);
    SendMessageA(window, WM_NOTIFY, number, reinterpret_cast<LPARAM>(&click));
    bool read = Property(window, "WM_NOTIFY_Event") == 1;
    SetProperty(window, "WM_NOTIFY_Event", 0);
    return read;
}

DWORD WINAPI RunFunction(void* body) {
    (*static_cast<std::function<void()>*>(body))();
    return 0;
}

// Runs `body` on another thread while this thread serves what it sends,
// then delivers what it sent without waiting (SendNotifyMessage, SendMessageCallback).
void OnAnotherThread(std::function<void()> body) {
    HANDLE thread = CreateThread(nullptr, 0, RunFunction, &body, 0, nullptr);
    if (thread == nullptr) return;
    ServeSendsUntilTheEndOf(thread);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

void CALLBACK IgnoreTheAnswer(HWND, UINT, ULONG_PTR, LRESULT) {}

// Whether the `size` bytes at `address` may be read, asked of the system.
bool MayRead(uintptr_t address, size_t size) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) != sizeof region) {
        return false;
    }
    auto end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    return region.State == MEM_COMMIT && (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0 &&
           address + size <= end;
}

// Faults raised on any thread, counted before any handler (Wine's own
// around a window procedure among them) can swallow them.
std::atomic<int> faults{0};

LONG CALLBACK CountFault(EXCEPTION_POINTERS* exception) {
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_ACCESS_VIOLATION || code == STATUS_GUARD_PAGE_VIOLATION) ++faults;
    return EXCEPTION_CONTINUE_SEARCH;
}

// A caller's subclass that selects rows of its list view when it sees a
// click, each selection notifying the window, before it passes the click on.
constexpr int kRowsSelectedFirst = 9;

LRESULT CALLBACK SelectRowsFirst(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR list) {
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(NM_CLICK)) {
        for (int row = 0; row < kRowsSelectedFirst; ++row) {
            LVITEMA state{};
            state.stateMask = LVIS_SELECTED;
            state.state = LVIS_SELECTED;
            SendMessageA(reinterpret_cast<HWND>(list), LVM_SETITEMSTATE, row,
                         reinterpret_cast<LPARAM>(&state));
        }
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Each case of the table below: "" when it holds, else what went wrong.
std::string AClickPassedOnAfterManyNotificationsIsRead() {
    constexpr int32_t kNumber = 9201;
    TestWindow window(WS_OVERLAPPEDWINDOW);
    HWND list = CreateChild(WC_LISTVIEWA, window, kNumber, LVS_REPORT, 10, 10, 200, 150);
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    for (int row = 0; row < 12; ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<char*>("row");
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    Drain();
    SetWindowSubclass(window, SelectRowsFirst, 1, reinterpret_cast<DWORD_PTR>(list));
    NMITEMACTIVATE click{};
    click.hdr = NMHDR{list, static_cast<UINT_PTR>(kNumber), static_cast<UINT>(NM_CLICK)};
    click.iItem = 11;
    Event().listViewItem = 0;
    SetProperty(window, "WM_NOTIFY_Event", 0);
    SendMessageA(window, WM_NOTIFY, kNumber, reinterpret_cast<LPARAM>(&click));
    RemoveWindowSubclass(window, SelectRowsFirst, 1);
    int32_t item = Event().listViewItem;
    bool reported = Property(window, "WM_NOTIFY_Event") == 1;
    Drain();
    if (item != 11 || !reported) return "item " + std::to_string(item) + (reported ? "" : ", no command");
    return "";
}

std::string NoHookOnAThreadWithANotifyingControl() {
    constexpr int32_t kNumber = 9202;
    int before = HookSetsSoFar();
    bool read = false;
    std::thread([&] {
        HWND window = OpenLibraryClassWindow();
        HWND list = CreateChild(WC_LISTVIEWA, window, kNumber, LVS_REPORT, 10, 10, 200, 100);
        read = OwnClickRead(window, list, kNumber);
        DestroyWindow(window);
    }).join();
    Drain();
    int sets = HookSetsSoFar() - before;
    if (sets != 0) return std::to_string(sets) + " hooks set";
    return read ? "" : "the list view's click was not read";
}

std::string AnotherThreadsForgeriesAtStackAddressesSwitchNothingOn() {
    constexpr int32_t kNumber = 9203;
    struct Shared {
        HWND window = nullptr;
        uintptr_t stale = 0;
        std::atomic<bool> ready{false};
        std::atomic<bool> done{false};
        int read = 0;
    } shared;
    int before = HookSetsSoFar();
    std::thread target([&] {
        shared.window = OpenLibraryClassWindow();
        HWND child = OwnControl(shared.window, kNumber, WS_EX_NOPARENTNOTIFY);
        // What a control's notification leaves on the stack after it.
        volatile NMHDR stale{child, static_cast<UINT_PTR>(kNumber), static_cast<UINT>(NM_CLICK)};
        shared.stale = reinterpret_cast<uintptr_t>(&stale);
        PostMessageA(child, WM_USER, 0, 0);
        shared.ready = true;
        while (!shared.done) {
            if (WINDOWEVENT() == 1025 || Property(shared.window, "WM_NOTIFY_Event") == 1) ++shared.read;
        }
        DestroyWindow(shared.window);
        Drain();
    });
    while (!shared.ready) Sleep(1);
    // Every address near the record, with the identifier found there.
    for (uintptr_t at = shared.stale - 2048; at <= shared.stale + 256; at += sizeof(void*)) {
        if (!MayRead(at, sizeof(NMHDR))) continue;
        UINT_PTR identifier = reinterpret_cast<const volatile NMHDR*>(at)->idFrom;
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(shared.window, WM_NOTIFY, identifier, static_cast<LPARAM>(at), SMTO_NORMAL,
                            2000, &answer);
    }
    shared.done = true;
    target.join();
    int sets = HookSetsSoFar() - before;
    if (sets != 0) return std::to_string(sets) + " hooks set";
    return shared.read == 0 ? "" : std::to_string(shared.read) + " forged records read";
}

std::string APostedRecordOfACallersDialogIsNotRead() {
    constexpr int32_t kNumber = 7;
    bool read = false;
    std::thread([&] {
        HWND window = OpenLibraryClassWindow();
        HWND dialog = OpenOwnPopup("EventsTestCallersDialog", DefWindowProcA);
        HWND list = CreateChild(WC_LISTVIEWA, dialog, kNumber, LVS_REPORT, 0, 0, 100, 50);
        NMITEMACTIVATE click{};
        click.hdr = NMHDR{list, static_cast<UINT_PTR>(kNumber), static_cast<UINT>(NM_CLICK)};
        click.iItem = 3;
        Event().listViewItem = 0;
        SetProperty(window, "WM_NOTIFY_Event", 0);
        PostMessageA(window, WM_NOTIFY, kNumber, reinterpret_cast<LPARAM>(&click));
        // The dialog's own loop dispatches everything.
        for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
        read = Event().listViewItem == 3 || Property(window, "WM_NOTIFY_Event") == 1;
        DestroyWindow(dialog);
        DestroyWindow(window);
    }).join();
    Drain();
    return read ? "the dialog's click was read as the window's command" : "";
}

std::string AForwardFromAnotherThreadIsRefused() {
    constexpr int32_t kNumber = 9205;
    StandInWeb web(kNumber);
    if (web.browser == nullptr) return "no stand-in browser";
    HWND host = GadgetID(kNumber);
    Drain();
    // The message this thread took last, at an address of its own.
    MSG taken{};
    PostMessageA(host, WM_KEYDOWN, 'K', 0);
    PeekMessageA(&taken, host, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
    auto address = reinterpret_cast<LPARAM>(&taken);
    std::string failures;
    web.standIn.clearLog();
    OnAnotherThread([=] { SendNotifyMessageA(host, 0x037F, 0, address); });
    if (!web.standIn.Calls("WM_FORWARDMSG").empty()) failures += "SendNotifyMessage reached the host; ";
    web.standIn.clearLog();
    OnAnotherThread([=] { SendMessageCallbackA(host, 0x037F, 0, address, IgnoreTheAnswer, 0); });
    if (!web.standIn.Calls("WM_FORWARDMSG").empty()) failures += "SendMessageCallback reached the host";
    DestroyWindow(web.window);
    Drain();
    return failures;
}

std::string ThreadsThatEndWithTheirWindowsLeakNothing() {
    constexpr int32_t kNumber = 9206;
    constexpr int kThreads = 64;
    auto run = [](int threads) {
        for (int i = 0; i < threads; ++i) {
            std::thread([] {
                HWND window = OpenLibraryClassWindow();
                OwnClickRead(window, OwnControl(window, kNumber, 0), kNumber);
            }).join();  // the thread ends without destroying its window
        }
    };
    run(8);
    size_t before = RuntimeHeapInUse();
    run(kThreads);
    size_t after = RuntimeHeapInUse();
    Drain();
    if (after > before + kThreads * 16) {
        return std::to_string((after - before) / kThreads) + " bytes more in use per thread";
    }
    return "";
}

}  // namespace

// What a review found in the watch that these checks replace: each case,
// run on the library, holds.
TEST(NotificationChecksStandIn, TheCasesTheWatchGotWrong) {
    InitControls();
    const struct {
        const char* what;
        std::string (*check)();
    } cases[] = {
        {"a caller's subclass notifies many times before it passes a click on",
         AClickPassedOnAfterManyNotificationsIsRead},
        {"a thread with a notifying control sets no hook", NoHookOnAThreadWithANotifyingControl},
        {"another thread sends records at this thread's stack addresses",
         AnotherThreadsForgeriesAtStackAddressesSwitchNothingOn},
        {"a posted record of a caller's own dialog", APostedRecordOfACallersDialogIsNotRead},
        {"another thread forwards the thread's last message", AForwardFromAnotherThreadIsRefused},
        {"threads end without destroying their windows", ThreadsThatEndWithTheirWindowsLeakNothing},
    };
    for (const auto& c : cases) EXPECT_EQ(c.check(), "") << c.what;
}

// Every control, of whatever class and however made, is read from its first
// notification, and no hook is ever set for it.
TEST(NotificationChecks, EveryControlIsReadFromItsFirstNotification) {
    constexpr int32_t kNumber = 9101;
    const struct {
        const char* what;
        std::function<void(HWND)> make;
    } cases[] = {
        {"the program's gadgets",
         [](HWND) {
             TEXTGADGET(kNumber + 1, 10, 10, 120, 20, "label", SS_CENTERIMAGE);
             ComboBoxGadget(kNumber + 2, 130, 10, 100, 120, CBS_DROPDOWNLIST);
             STRINGGADGET(kNumber + 3, 240, 10, 100, 24, "text", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
             BUTTONGADGET(kNumber, 350, 10, 30, 23, "OK", BS_PUSHBUTTON);
             WEBGADGET(kNumber + 4, 10, 50, 300, 200, "about:blank", 0, 0);
         }},
        {"a list view",
         [](HWND window) { AddGadget(WC_LISTVIEWA, window, kNumber, LVS_REPORT, 10, 10, 200, 100); }},
        {"a list view made without WM_PARENTNOTIFY",
         [](HWND window) {
             CreateWindowExA(WS_EX_NOPARENTNOTIFY, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE, 10, 10,
                             200, 100, window, reinterpret_cast<HMENU>(kNumber), nullptr, nullptr);
         }},
        {"a button beside a tooltip with a tool of the window",
         [](HWND window) {
             AddTooltip(window, 77);
             BUTTONGADGET(kNumber, 350, 10, 30, 23, "OK", BS_PUSHBUTTON);
         }},
        {"a child of the caller's own class", [](HWND window) { OwnControl(window, kNumber, 0); }},
        {"a child of the caller's own class made without WM_PARENTNOTIFY",
         [](HWND window) { OwnControl(window, kNumber, WS_EX_NOPARENTNOTIFY); }},
        {"a list view inside a child label",
         [](HWND window) {
             HWND label = CreateChild("Static", window, kNumber + 1, 0, 10, 10, 300, 200);
             CreateChild(WC_LISTVIEWA, label, kNumber, LVS_REPORT, 10, 10, 200, 100);
         }},
    };
    int before = HookSetsSoFar();
    for (const auto& c : cases) {
        bool read[2] = {false, false};
        std::thread([&] {
            InitControls();
            HWND window = OpenWindow("checks", 10, 10, 400, 300, WS_OVERLAPPEDWINDOW, 0);
            c.make(window);
            HWND control = GetDlgItem(window, kNumber);
            if (control == nullptr) control = FindWindowExA(GetDlgItem(window, kNumber + 1), nullptr, nullptr, nullptr);
            for (bool& each : read) each = OwnClickRead(window, control, kNumber);
            DestroyWindow(window);
        }).join();
        Drain();
        EXPECT_TRUE(read[0]) << c.what << ": the first notification";
        EXPECT_TRUE(read[1]) << c.what << ": the second";
    }
    EXPECT_EQ(HookSetsSoFar() - before, 0) << "hooks set";
}

// Records that a caller's code, or another program, could hand the window:
// none is read, nothing is written into them, and nothing faults. `window`
// has a list view (9301) and a tooltip with the tool 9302 whose text it
// holds; another library window of the thread, and a window of another
// thread, each have a list view 9301 too.
TEST(NotificationChecks, ForgedRecordsAreNotRead) {
    constexpr int32_t kList = 9301, kTool = 9302;
    InitControls();
    TestWindow window(WS_OVERLAPPEDWINDOW);
    HWND list = AddGadget(WC_LISTVIEWA, window, kList, LVS_REPORT, 10, 10, 200, 100);
    HWND tip = AddTooltip(window, kTool);
    SetProperty(window, std::to_string(kTool).c_str(), reinterpret_cast<intptr_t>("tip text"));
    TestWindow other(WS_OVERLAPPEDWINDOW);
    HWND otherList = CreateChild(WC_LISTVIEWA, other, kList, LVS_REPORT, 10, 10, 200, 100);
    HWND otherTip = AddTooltip(other, kTool);

    std::atomic<HWND> foreignList{nullptr};
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread foreign([&] {
        HWND foreignWindow = OpenLibraryClassWindow();
        foreignList = CreateChild(WC_LISTVIEWA, foreignWindow, kList, LVS_REPORT, 10, 10, 200, 100);
        while (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
        }
        DestroyWindow(foreignWindow);
    });
    while (foreignList.load() == nullptr) Sleep(1);

    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    // Four pages: readable, no access, a guard page, read-only.
    auto* pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 4 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    BYTE* noAccess = pages + page;
    BYTE* guard = pages + 2 * page;
    BYTE* readOnly = pages + 3 * page;
    auto click = [&](HWND from, UINT_PTR id) {
        NMITEMACTIVATE record{};
        record.hdr = NMHDR{from, id, static_cast<UINT>(NM_CLICK)};
        record.iItem = 5;
        return record;
    };
    NMTTDISPINFOA request{};
    request.hdr = NMHDR{tip, kTool, static_cast<UINT>(TTN_GETDISPINFOA)};
    request.szText[0] = 'x';
    *reinterpret_cast<NMITEMACTIVATE*>(noAccess) = click(list, kList);
    *reinterpret_cast<NMITEMACTIVATE*>(guard) = click(list, kList);
    *reinterpret_cast<NMTTDISPINFOA*>(readOnly) = request;
    // A header whose second half lies in the page that may not be touched.
    auto* straddling = reinterpret_cast<NMHDR*>(noAccess - sizeof(NMHDR) / 2);
    std::memcpy(straddling, &request.hdr, sizeof(NMHDR) / 2);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(noAccess, page, PAGE_NOACCESS, &old));
    ASSERT_TRUE(VirtualProtect(guard, page, PAGE_READWRITE | PAGE_GUARD, &old));
    ASSERT_TRUE(VirtualProtect(readOnly, page, PAGE_READONLY, &old));
    void* reserved = VirtualAlloc(nullptr, page, MEM_RESERVE, PAGE_READWRITE);
    void* released = VirtualAlloc(nullptr, page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    VirtualFree(released, 0, MEM_RELEASE);

    NMITEMACTIVATE otherWindows = click(otherList, kList);
    NMITEMACTIVATE otherThreads = click(foreignList.load(), kList);
    NMITEMACTIVATE wrongIdentifier = click(list, kList + 98);
    NMITEMACTIVATE good = click(list, kList);
    NMTTDISPINFOA noSuchTool = request;
    noSuchTool.hdr.idFrom = kTool + 1;
    SetProperty(window, std::to_string(kTool + 1).c_str(), reinterpret_cast<intptr_t>("tip text"));
    NMTTDISPINFOA otherWindowsTip = request;
    otherWindowsTip.hdr.hwndFrom = otherTip;
    auto at = [](const void* record) { return reinterpret_cast<LPARAM>(record); };
    const struct {
        const char* what;
        LPARAM record;
        bool fromAnotherThread;
        char* text;  // a tooltip text buffer that must stay as it is
    } cases[] = {
        {"address 1", 1, false, nullptr},
        {"address -1", -1, false, nullptr},
        {"a released page", at(released), false, nullptr},
        {"a reserved page", at(reserved), false, nullptr},
        {"a page with no access", at(noAccess), false, nullptr},
        {"a guard page", at(guard), false, nullptr},
        {"a header cut by a page with no access", at(straddling), false, nullptr},
        {"another library window's list view", at(&otherWindows), false, nullptr},
        {"another thread's list view", at(&otherThreads), false, nullptr},
        {"the list view under another identifier", at(&wrongIdentifier), false, nullptr},
        {"the window's tooltip with a tool it lacks", at(&noSuchTool), false, noSuchTool.szText},
        {"another window's tooltip", at(&otherWindowsTip), false, otherWindowsTip.szText},
        {"the list view's record sent by another thread", at(&good), true, nullptr},
        {"the tooltip's request sent by another thread", at(&request), true, request.szText},
        {"the tooltip's request in a read-only page", at(readOnly), false, nullptr},
    };
    void* counting = AddVectoredExceptionHandler(1, CountFault);
    for (const auto& c : cases) {
        Drain();
        faults = 0;
        Event().listViewNumber = 0;
        Event().listViewItem = 71;
        SetProperty(window, "WM_NOTIFY_Event", 0);
        if (c.fromAnotherThread) {
            HWND to = window;
            LPARAM record = c.record;
            OnAnotherThread([=] { SendMessageA(to, WM_NOTIFY, kList, record); });
        } else {
            SendMessageA(window, WM_NOTIFY, kList, c.record);
        }
        EXPECT_EQ(Property(window, "WM_NOTIFY_Event"), 0) << c.what << ": reported as a command";
        EXPECT_EQ(Event().listViewNumber, 0) << c.what;
        EXPECT_EQ(Event().listViewItem, 71) << c.what;
        if (c.text != nullptr) {
            EXPECT_EQ(c.text[0], 'x') << c.what << ": the text was written";
        }
        EXPECT_EQ(faults.load(), 0) << c.what << ": faults";
    }
    RemoveVectoredExceptionHandler(counting);
    // The read-only page is as it was, and a good record is read.
    EXPECT_EQ(reinterpret_cast<const NMTTDISPINFOA*>(readOnly)->szText[0], 'x');
    SendMessageA(window, WM_NOTIFY, kList, at(&request));
    EXPECT_STREQ(request.szText, "tip text");
    SendMessageA(window, WM_NOTIFY, kList, at(&good));
    EXPECT_EQ(Event().listViewItem, 5);

    SetEvent(stop);
    foreign.join();
    CloseHandle(stop);
    VirtualFree(reserved, 0, MEM_RELEASE);
    VirtualFree(pages, 0, MEM_RELEASE);
    RemovePropA(window, std::to_string(kTool).c_str());
    RemovePropA(window, std::to_string(kTool + 1).c_str());
    Drain();
    Event().listViewItem = 0;
}

// Two threads, each with a library window and a tooltip of its own, each
// sending its window 3,000 tooltip text requests at the same time: every
// request is read, with its own thread's text. (The event stack is held full
// meanwhile, so that the threads share nothing else the library keeps.)
TEST(NotificationChecks, TwoThreadsEachReadTheirOwnNotifications) {
    constexpr int kRequests = 3000;
    TestWindow stackHolder(WS_OVERLAPPEDWINDOW);
    Drain();
    while (EventStackCount() < kEventStackSize) SendMessageA(stackHolder, WM_USER, 0, 0);

    struct Side {
        const char* text;
        HWND window = nullptr;
        HWND tip = nullptr;
        int unread = 0;
        int wrong = 0;
    };
    Side sides[2] = {{"first thread's tip"}, {"second thread's tip"}};
    std::mutex creating;
    std::atomic<int> ready{0};
    auto run = [&](Side& side) {
        {
            // The library's tables are unlocked: one thread makes its windows at a time.
            std::lock_guard<std::mutex> lock(creating);
            InitControls();
            side.window = OpenWindow("notifying thread", 10, 10, 300, 200, WS_OVERLAPPEDWINDOW, 0);
            side.tip = AddTooltip(side.window, 4243);
            SetProperty(side.window, "4243", reinterpret_cast<intptr_t>(side.text));
        }
        ++ready;
        while (ready.load() < 2) Sleep(0);
        for (int i = 0; i < kRequests; ++i) {
            NMTTDISPINFOA request{};
            request.hdr = NMHDR{side.tip, 4243, static_cast<UINT>(TTN_GETDISPINFOA)};
            SendMessageA(side.window, WM_NOTIFY, 4243, reinterpret_cast<LPARAM>(&request));
            if (request.szText[0] == '\0') {
                ++side.unread;
            } else if (std::strcmp(request.szText, side.text) != 0) {
                ++side.wrong;
            }
        }
        std::lock_guard<std::mutex> lock(creating);
        RemovePropA(side.window, "4243");
        DestroyWindow(side.window);
    };
    std::thread first(run, std::ref(sides[0]));
    std::thread second(run, std::ref(sides[1]));
    first.join();
    second.join();
    for (const Side& side : sides) {
        EXPECT_EQ(side.unread, 0) << side.text << ": requests left unread";
        EXPECT_EQ(side.wrong, 0) << side.text << ": requests answered with another thread's text";
    }
    Drain();
}

// A tab control made without WM_PARENTNOTIFY, which under Wine never asks
// the window for the form of its notifications either: its first switch is
// the first the library hears of it. That switch hides the old page, shows
// the new one and gives the gadget event.
TEST(NotificationChecks, ATabControlThatNeverAnnouncesItselfIsReadFromItsFirstSwitch) {
    constexpr int32_t kNumber = 9141;
    struct Outcome {
        bool oldPageHidden = false;
        bool newPageShown = false;
        bool gadgetEvent = false;
    } outcome;
    std::thread([&] {
        InitControls();
        HWND window = OpenWindow("tab", 10, 10, 400, 300, WS_OVERLAPPEDWINDOW, 0);
        HWND tab = CreateWindowExA(WS_EX_NOPARENTNOTIFY, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE,
                                   10, 10, 300, 200, window, reinterpret_cast<HMENU>(kNumber),
                                   nullptr, nullptr);
        ADDIN9999(kNumber, tab);
        HWND pages[2];
        for (int i = 0; i < 2; ++i) {
            pages[i] = CreateWindowExA(0, "Static", "page", WS_CHILD | (i == 0 ? WS_VISIBLE : 0), 20,
                                       50, 100, 50, window, nullptr, nullptr, nullptr);
            TCITEMA item{};
            item.mask = TCIF_TEXT | TCIF_PARAM;
            item.pszText = const_cast<char*>(i == 0 ? "first" : "second");
            item.lParam = reinterpret_cast<LPARAM>(pages[i]);
            SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        SendMessageA(tab, TCM_SETCURSEL, 0, 0);
        Drain();
        SendMessageA(tab, TCM_SETCURFOCUS, 1, 0);
        // The window is hidden: the pages' own style says what was shown.
        outcome.oldPageHidden = (GetWindowLongA(pages[0], GWL_STYLE) & WS_VISIBLE) == 0;
        outcome.newPageShown = (GetWindowLongA(pages[1], GWL_STYLE) & WS_VISIBLE) != 0;
        outcome.gadgetEvent =
            PumpFor([&](int32_t code) { return code == 1025 && EVENTNUMBER() == kNumber; }, 2000);
        FREEGADGET(kNumber);
        DestroyWindow(window);
        Drain();
    }).join();
    EXPECT_TRUE(outcome.oldPageHidden) << "the old page stays shown";
    EXPECT_TRUE(outcome.newPageShown) << "the new page is not shown";
    EXPECT_TRUE(outcome.gadgetEvent) << "the switch gave no gadget event";
}

// ---- The pump run again from inside itself ---------------------------------------

namespace {

constexpr UINT kOuterMessage = WM_USER + 60;
constexpr UINT kInnerMessage = WM_USER + 61;
std::vector<std::pair<UINT, WPARAM>> shownToTheHook;

LRESULT __stdcall RunThePumpOnTheOuterMessage(HWND, UINT message, WPARAM, LPARAM) {
    if (message == kOuterMessage) WINDOWEVENT();  // takes the inner message meanwhile
    return 0;
}

void __stdcall RecordShownMessages(HWND, UINT message, WPARAM wParam, LPARAM, DWORD, LONG, LONG) {
    if (message == kOuterMessage || message == kInnerMessage) shownToTheHook.emplace_back(message, wParam);
}

}  // namespace

// A caller's window procedure hook that runs the pump again while a message
// is being dispatched: the message hook is then shown the outer message as
// it was taken, not the one the inner call took.
TEST(PumpReentry, APumpRunFromInsideADispatchLeavesTheOuterMessageAsItWas) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    shownToTheHook.clear();
    HookOff procedureHookOff{0};
    HookOff messageHookOff{1};
    SETWINDOWCALLBACK(reinterpret_cast<void*>(RunThePumpOnTheOuterMessage), 0);
    SETWINDOWCALLBACK(reinterpret_cast<void*>(RecordShownMessages), 1);
    ASSERT_TRUE(PostMessageA(window, kOuterMessage, 1, 0));
    ASSERT_TRUE(PostMessageA(window, kInnerMessage, 2, 0));
    EXPECT_EQ(WINDOWEVENT(), 0);
    FREECALLBACK(0);
    FREECALLBACK(1);
    const std::vector<std::pair<UINT, WPARAM>> expected = {{kInnerMessage, 2}, {kOuterMessage, 1}};
    EXPECT_EQ(shownToTheHook, expected);
    Drain();
}

// ---- WAITEVENT's wake-up taken by a loop that dispatches everything ----------

namespace {

constexpr UINT kRecordThenDispatchAll = WM_USER + 8;

// A nested loop as a modal dialog runs it: it takes and dispatches every
// message of the thread for a while, then ends.
LRESULT __stdcall RecordThenDispatchEverything(HWND window, UINT message, WPARAM, LPARAM) {
    if (message != kRecordThenDispatchAll) return 0;
    SendMessageA(window, WM_USER, 67, 0);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 200) {
        for (MSG taken; PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE);) {
            TranslateMessage(&taken);
            DispatchMessageA(&taken);
        }
        Sleep(5);
    }
    return 1;
}

// WAITEVENT while another thread sends `message` to the window, whose
// procedure hook `hook` answers it; the hook is switched off afterwards.
Waited WaitEventWhileAnotherThreadSends(HWND window, UINT message, void* hook) {
    SETWINDOWCALLBACK(hook, 0);
    std::thread sender([window, message] {
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, message, 0, 0, SMTO_NORMAL, 10000, &answer);
    });
    Waited waited = WaitEventWithPostAfter(window, 3000);
    sender.join();
    FREECALLBACK(0);
    return waited;
}

}  // namespace

TEST(WaitEvent, AnEntryRecordedWhileANestedLoopDispatchesEveryMessageEndsTheWaitAfterIt) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    Waited waited = WaitEventWhileAnotherThreadSends(
        window, kRecordThenDispatchAll, reinterpret_cast<void*>(RecordThenDispatchEverything));
    EXPECT_FALSE(waited.posted) << "WAITEVENT went on waiting with an entry recorded";
    EXPECT_EQ(waited.code, WM_USER);
    EXPECT_EQ(EVENTWPARAM(), 67);
    // Nothing of the wake-up stays behind: no timer of the window or of the
    // thread goes on firing.
    int timers = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 80; Sleep(5)) {
        for (MSG taken; PeekMessageA(&taken, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE);) {
            if (taken.hwnd == window || taken.hwnd == nullptr) ++timers;
        }
    }
    EXPECT_EQ(timers, 0) << "the wake-up timer was left running";
    Drain();
}

namespace {

HWND passingOn = nullptr;
std::vector<UINT> passedOn;
std::vector<UINT> hooked;

// A caller's subclass in front of the library's procedure: notes what it hands on.
LRESULT CALLBACK PassOnToTheLibrary(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    passedOn.push_back(message);
    return FBGUIWINPROC(window, message, wParam, lParam);
}

LRESULT __stdcall NoteThenRecordThenDispatchEverything(HWND window, UINT message, WPARAM wParam,
                                                       LPARAM lParam) {
    if (window == passingOn) hooked.push_back(message);
    return RecordThenDispatchEverything(window, message, wParam, lParam);
}

}  // namespace

// The caller's window procedure hook is called first for every message that
// the library's procedure receives, also while WAITEVENT's wake-up passes a
// loop nested in another thread's send: the wake-up reaches no window.
TEST(WindowProcHook, IsCalledForEveryMessageWhileAWaitIsWokenThroughANestedLoop) {
    TestWindow window(WS_OVERLAPPEDWINDOW);
    Drain();
    passingOn = window;
    passedOn.clear();
    hooked.clear();
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PassOnToTheLibrary));
    Waited waited = WaitEventWhileAnotherThreadSends(
        window, kRecordThenDispatchAll, reinterpret_cast<void*>(NoteThenRecordThenDispatchEverything));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FBGUIWINPROC));
    passingOn = nullptr;
    EXPECT_FALSE(waited.posted) << "WAITEVENT went on waiting with an entry recorded";
    EXPECT_EQ(waited.code, WM_USER);
    ASSERT_FALSE(passedOn.empty());
    std::ostringstream passedList, hookedList;
    for (UINT message : passedOn) passedList << std::hex << message << " ";
    for (UINT message : hooked) hookedList << std::hex << message << " ";
    EXPECT_EQ(hookedList.str(), passedList.str()) << "the hook saw fewer messages than the procedure";
    Drain();
}
