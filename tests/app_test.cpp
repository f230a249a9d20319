// The application's spine: the resize timer, the main loop, and the program
// itself started as a process.
#include "app/app.h"
#include "app/layout.h"
#include "program_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace gadgets;
using namespace testing_support;

namespace {

constexpr DWORD kMainStyle = 0x10CF0000;  // WS_OVERLAPPEDWINDOW | WS_VISIBLE

// A main window like the program's, with a child registered as the web gadget
// (gadget 1) at the place and size where the program creates it.
HWND OpenMainWindowWithStandIn() {
    HWND window = OpenWindow("Zudizazuz", 10, 10, 735, 600, kMainStyle, 0);
    HWND standIn = CreateChild("STATIC", window, app::kWebGadget, 0, 10, 50, 700, 500);
    ADDIN9999(app::kWebGadget, standIn);
    app::SetMainWindow(window);
    return window;
}

void ExpectWebGadgetFollows(HWND window, const char* when) {
    SIZE outer = OuterSize(window);
    EXPECT_EQ(GADGETWIDTH(app::kWebGadget), outer.cx - 35) << when;
    EXPECT_EQ(GADGETHEIGHT(app::kWebGadget), outer.cy - 100) << when;
    EXPECT_EQ(GADGETX(app::kWebGadget), 10) << when;
    EXPECT_EQ(GADGETY(app::kWebGadget), 50) << when;
}

}  // namespace

TEST(ResizeTimer, FirstTickGivesTheCreatedSizeAndEachChangeFollows) {
    HWND window = OpenMainWindowWithStandIn();
    // Start from a different size, so that the first tick has something to do.
    RESIZEGADGET(app::kWebGadget, 999999, 999999, 300, 200);
    app::ResizeTimer(nullptr, 0, 0, 0);
    EXPECT_EQ(GADGETWIDTH(app::kWebGadget), 700);
    EXPECT_EQ(GADGETHEIGHT(app::kWebGadget), 500);
    ExpectWebGadgetFollows(window, "first tick");

    struct Change {
        int dx, dy;
    };
    for (Change change : {Change{1, 0}, Change{0, 1}, Change{-1, -1}, Change{200, 150}}) {
        SIZE before = OuterSize(window);
        RESIZEWINDOW(window, 999999, 999999, before.cx + change.dx, before.cy + change.dy);
        app::ResizeTimer(nullptr, 0, 0, 0);
        ExpectWebGadgetFollows(window, "after a change of the window's size");
    }
}

TEST(ResizeTimerUnchangedSize, TickWithoutChangeLeavesTheGadgetAlone) {
    HWND window = OpenMainWindowWithStandIn();
    app::ResizeTimer(nullptr, 0, 0, 0);
    ExpectWebGadgetFollows(window, "first tick");
    // Someone else sizes the gadget; a tick that sees the same window size keeps it.
    RESIZEGADGET(app::kWebGadget, 999999, 999999, 123, 45);
    app::ResizeTimer(nullptr, 0, 0, 0);
    EXPECT_EQ(GADGETWIDTH(app::kWebGadget), 123);
    EXPECT_EQ(GADGETHEIGHT(app::kWebGadget), 45);
}

TEST(ResizeTimerOnTheClock, RealTimerFollowsADragAndAMinimiseRestore) {
    HWND window = OpenMainWindowWithStandIn();
    SetTimer(window, app::kResizeTimer, 10, app::ResizeTimer);
    auto follows = [&] {
        SIZE outer = OuterSize(window);
        return GADGETWIDTH(app::kWebGadget) == outer.cx - 35 &&
               GADGETHEIGHT(app::kWebGadget) == outer.cy - 100;
    };
    EXPECT_TRUE(PumpUntil(follows));

    RESIZEWINDOW(window, 999999, 999999, 900, 700);
    EXPECT_TRUE(PumpUntil([&] { return GADGETWIDTH(app::kWebGadget) == 865; }))
        << "width " << GADGETWIDTH(app::kWebGadget);
    ExpectWebGadgetFollows(window, "after a drag");

    // A minimised window is smaller than the margins: the tick passes the
    // negative height on and nothing breaks; the restore sets the size again.
    ShowWindow(window, SW_MINIMIZE);
    PumpUntil([&] { return false; }, 200);
    EXPECT_TRUE(IsWindow(GadgetID(app::kWebGadget)));
    ShowWindow(window, SW_RESTORE);
    EXPECT_TRUE(PumpUntil(follows));
    ExpectWebGadgetFollows(window, "after the restore");
    EXPECT_EQ(GADGETWIDTH(app::kWebGadget), 865);
    KillTimer(window, app::kResizeTimer);
}

TEST(MainLoop, CloseRequestEndsTheLoopWithStatusZeroAfterKillingBothTimers) {
    HWND window = OpenWindow("main loop", 10, 10, 300, 200, kMainStyle, 0);
    app::SetMainWindow(window);
    ASSERT_NE(SetTimer(window, app::kBannerTimer, 10, nullptr), 0u);
    ASSERT_NE(SetTimer(window, app::kResizeTimer, 10, nullptr), 0u);
    // Events before the close request are ignored by the loop.
    PostMessageA(window, WM_COMMAND, 1001, 0);
    PostMessageA(window, WM_KEYDOWN, VK_F5, 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    // All three wait in the queue at once: the loop takes them without any
    // further message arriving.
    EXPECT_EQ(app::RunMainLoop(window), 0);
    EXPECT_FALSE(KillTimer(window, app::kBannerTimer)) << "the banner timer was left running";
    EXPECT_FALSE(KillTimer(window, app::kResizeTimer)) << "the resize timer was left running";
    EXPECT_TRUE(IsWindow(window)) << "closing is the application's decision, not the library's";
}

TEST(Program, OpensItsCentredWindowAndEndsWithStatusZeroOnTheCloseRequest) {
    RunningProgram program;
    ASSERT_NO_FATAL_FAILURE(StartItself(program));
    ASSERT_TRUE(IsWindowVisible(program.window)) << "the window \"Zudizazuz\" is not shown";
    SIZE outer = OuterSize(program.window);
    EXPECT_EQ(outer.cx, 735);
    EXPECT_EQ(outer.cy, 600);
    RECT rect{};
    GetWindowRect(program.window, &rect);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) >> 1) - (735 >> 1));
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) >> 1) - (600 >> 1));
    EXPECT_EQ(GetWindowLongA(program.window, GWL_STYLE) & 0x10CF0000, 0x10CF0000);

    EXPECT_EQ(CloseAndWait(program), 0);
}

TEST(ProgramAltF4, EndsWithStatusZeroWhenClosedWithAltF4) {
    RunningProgram program;
    // Starting it gives its X window the input focus.
    ASSERT_NO_FATAL_FAILURE(StartItself(program));
    ASSERT_TRUE(IsWindowVisible(program.window)) << "the window \"Zudizazuz\" is not shown";
    ASSERT_NE(XWindow(program.window), "0") << "no X window behind the program's window";
    ASSERT_TRUE(PressKeys("alt+F4"));
    EXPECT_EQ(WaitForExit(program), 0);
}

// The layout's arithmetic at the usual scalings: MulDiv rounds halves away
// from zero, a window too large for the work area is cut to it, and a
// window that reaches past an edge of the work area moves inside.
TEST(LayoutScale, FiguresScaleWithMulDivAndTheWindowFitsTheWorkArea) {
    struct ScaleCase {
        int32_t layout;
        int dpi;
        int32_t scaled;
    };
    for (const ScaleCase& c : {ScaleCase{735, 96, 735}, ScaleCase{735, 120, 919}, ScaleCase{735, 144, 1103},
                               ScaleCase{23, 144, 35}, ScaleCase{125, 144, 188}, ScaleCase{35, 168, 61},
                               ScaleCase{600, 192, 1200}, ScaleCase{-35, 144, -53}, ScaleCase{0, 144, 0}}) {
        EXPECT_EQ(app::Scaled(c.layout, c.dpi), c.scaled) << c.layout << " at " << c.dpi << " DPI";
    }
    EXPECT_EQ(app::Scaled(735), 735) << "this test process runs at 96 DPI";

    struct FitCase {
        SIZE wanted;
        SIZE room;
        SIZE fitted;
    };
    for (const FitCase& c : {FitCase{{735, 600}, {1280, 1024}, {735, 600}},
                             FitCase{{1470, 1200}, {1280, 984}, {1280, 984}},
                             FitCase{{1286, 900}, {1280, 1024}, {1280, 900}},
                             FitCase{{700, 1050}, {1280, 1024}, {700, 1024}}}) {
        SIZE fitted = app::FittedWindowSize(c.wanted, c.room);
        EXPECT_EQ(fitted.cx, c.fitted.cx);
        EXPECT_EQ(fitted.cy, c.fitted.cy);
    }

    const RECT work{0, 40, 1280, 1024};  // a taskbar at the top
    struct PlaceCase {
        RECT window;
        POINT placed;
    };
    for (const PlaceCase& c : {PlaceCase{{100, 100, 835, 700}, {100, 100}},
                               PlaceCase{{0, -8, 1280, 976}, {0, 40}},
                               PlaceCase{{-40, 10, 1240, 994}, {0, 40}},
                               PlaceCase{{600, 500, 1335, 1100}, {545, 424}}}) {
        POINT placed = app::KeptInside(c.window, work);
        EXPECT_EQ(placed.x, c.placed.x) << c.window.left << ", " << c.window.top;
        EXPECT_EQ(placed.y, c.placed.y) << c.window.left << ", " << c.window.top;
    }
}
