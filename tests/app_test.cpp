// The application's spine: the resize timer, the main loop, and the program
// itself started as a process.
#include "app/app.h"
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
