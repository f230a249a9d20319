// The keyboard as a person on Windows has it, in the program and through the
// library's pump: keys go to the browser control first, Enter typed into a
// page field stays in the page, the shortcuts act once wherever the focus
// is, Tab goes round the form and the browser area, the focus comes back
// when the window does, Enter closes the open site list, the window is never
// smaller than the form, and the browser is asked for its current engine and
// for silence.
#include "app/app.h"
#include "app/sites.h"
#include "program_support.h"
#include "standin.h"
#include "test_support.h"

#include "gadgets/events/event_state.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

constexpr wchar_t kEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
constexpr wchar_t kProgramFile[] = L"zudizazuz.exe";

// Waits until the focus is in `expected`; a failure says where it is.
::testing::AssertionResult FocusIsIn(const RunningProgram& program, HWND expected) {
    if (WaitUntil([&] { return FocusOf(program) == expected; }, 5000)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the focus is in " << Describe(FocusOf(program), program)
                                         << ", not in " << Describe(expected, program);
}

size_t CountStartingWith(const RunningProgram& program, const std::string& start) {
    size_t count = 0;
    for (const std::string& line : program.Lines()) count += line.rfind(start, 0) == 0 ? 1 : 0;
    return count;
}

// Presses `keys`, then Down as a marker that the page receives: input reaches
// the program in order, so once the marker is in the log, so is all that the
// keys caused. Needs the focus in the browser area and Down not taken.
::testing::AssertionResult PressInThePage(const RunningProgram& program, const std::string& keys) {
    size_t markers = program.Count("page WM_KEYDOWN 40");
    if (!PressKeys(keys + " Down")) return ::testing::AssertionFailure() << "xdotool failed";
    if (program.WaitForCount("page WM_KEYDOWN 40", markers + 1)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the marker key never reached the page; the log:\n"
                                         << program.Log();
}

void ClickBrowserArea(const RunningProgram& program) {
    program.Click(app::kWebGadget);
    ASSERT_TRUE(FocusIsIn(program, program.Gadget(app::kWebGadget)));
}

}  // namespace

// ---- Keys for the page ---------------------------------------------------------

TEST(KeyboardPageStandIn, KeysInTheBrowserAreaGoToTheControlFirstAndATakenKeyIsDone) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);

    // Outside the browser area no key is offered to the control.
    program.Click(app::kKeywordBox);
    ASSERT_TRUE(FocusIsIn(program, program.Gadget(app::kKeywordBox)));
    ASSERT_TRUE(PressKeys("Left BackSpace ctrl+a"));
    ASSERT_TRUE(WaitUntil([&] { return program.Text(app::kKeywordBox).empty(); }));
    EXPECT_EQ(CountStartingWith(program, "TranslateAccelerator"), 0u) << program.Log();

    // In the browser area every key message is offered, and one the control
    // leaves goes on to the page.
    ClickBrowserArea(program);
    ASSERT_TRUE(PressInThePage(program, "Right ctrl+c"));
    struct Offered {
        const char* line;
        size_t atLeast;
    };
    for (const Offered& offered : {Offered{"TranslateAccelerator 256 39", 1},  // Right, pressed
                                   Offered{"TranslateAccelerator 257 39", 1},  // released
                                   Offered{"TranslateAccelerator 256 17", 1},  // Ctrl
                                   Offered{"TranslateAccelerator 256 67", 1},  // C with Ctrl
                                   Offered{"page WM_KEYDOWN 39", 1},
                                   Offered{"page WM_KEYDOWN 67", 1}}) {
        EXPECT_GE(program.Count(offered.line), offered.atLeast) << offered.line << "\n" << program.Log();
    }

    // A key the control takes reaches neither the page nor a shortcut: Right,
    // then Enter and F5, which are shortcuts of the main window.
    ASSERT_TRUE(SteerStandIn(program, L"keys 39 13 116"));
    ASSERT_TRUE(PressInThePage(program, "Right Return F5"));
    EXPECT_EQ(program.Count("TranslateAccelerator 256 39 taken"), 1u);
    EXPECT_EQ(program.Count("TranslateAccelerator 256 13 taken"), 1u);
    EXPECT_EQ(program.Count("TranslateAccelerator 256 116 taken"), 1u);
    EXPECT_EQ(program.Count("page WM_KEYDOWN 39"), 1u) << "the taken Right reached the page";
    EXPECT_EQ(program.Count("page WM_KEYDOWN 13"), 0u);
    EXPECT_EQ(CountStartingWith(program, "Navigate"), 0u) << "a taken Enter searched";
    EXPECT_EQ(program.Count("Refresh"), 0u) << "a taken F5 reloaded as well";
    EXPECT_EQ(CloseAndWait(program), 0);
}

// Enter goes to whatever the page has focused, as in any browser: a field
// (submitted, or a line broken), a link (followed), a button (pressed), a
// frame (whose own focused element gets it), an editable element or a page
// in design mode. It searches only with the focus resting on the body, or
// nothing focused.
TEST(KeyboardPageStandIn, EnterGoesToWhateverThePageHasFocusedAndSearchesFromTheBody) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    ClickBrowserArea(program);

    struct Case {
        const wchar_t* active;  // the steer command's arguments after "active"
        bool toThePage;
    };
    const Case cases[] = {
        {L"INPUT - 0", true},        {L"INPUT text 0", true},     {L"input TEXT 0", true},
        {L"INPUT password 0", true}, {L"INPUT search 0", true},   {L"TEXTAREA - 0", true},
        {L"SELECT - 0", true},       {L"DIV - 1", true},          {L"BODY - 1", true},
        {L"INPUT checkbox 0", true}, {L"INPUT submit 0", true},   {L"INPUT radio 0", true},
        {L"BUTTON - 0", true},       {L"A - 0", true},            {L"IFRAME - 0", true},
        {L"FRAME - 0", true},        {L"DIV - 0", true},          {L"BODY - 0", false},
        {L"", false},
    };
    size_t searches = 0;
    size_t enters = 0;
    for (const Case& c : cases) {
        std::string what = "active element " + Utf8(c.active);
        ASSERT_TRUE(SteerStandIn(program, std::wstring(L"active ") + c.active)) << what;
        ASSERT_TRUE(PressInThePage(program, "Return")) << what;
        searches += c.toThePage ? 0 : 1;
        enters += c.toThePage ? 1 : 0;
        EXPECT_EQ(CountStartingWith(program, "Navigate"), searches) << what;
        EXPECT_EQ(program.Count("page WM_KEYDOWN 13"), enters) << what;
        // The key was offered to the control first either way.
        EXPECT_EQ(program.Count("TranslateAccelerator 256 13"), searches + enters) << what;
    }
    EXPECT_EQ(CloseAndWait(program), 0);
}

// Enter searches where nothing in particular has the page's focus, also
// inside the frame that holds it, or while the page has no body yet; a
// field in a frame, and a frame of another origin that cannot be looked
// into, keep it for the page.
TEST(KeyboardPageStandIn, EnterSearchesFromAFramesBodyTheHtmlElementOrAPageWithoutBody) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    ClickBrowserArea(program);

    struct Case {
        std::vector<std::wstring> steer;  // after "reset"
        bool toThePage;
    };
    const Case cases[] = {
        {{L"active IFRAME - 0", L"frame 1 BODY - 0"}, false},
        {{L"active INPUT text 0", L"document 0 0 0"}, false},  // still loading
        {{L"active HTML - 0"}, false},
        {{L"active FRAME - 0", L"frame 1 IFRAME - 0", L"frame 2 BODY - 0"}, false},
        {{L"active IFRAME - 0", L"frame 1 INPUT text 0"}, true},
        {{L"active IFRAME - 0", L"document 1 1 1"}, true},  // another origin refuses access
        {{L"active IFRAME - 0", L"frame 1 BODY - 1"}, true},  // a frame in design mode
    };
    size_t searches = 0;
    size_t enters = 0;
    for (const Case& c : cases) {
        std::string what = "reset";
        ASSERT_TRUE(SteerStandIn(program, L"reset"));
        for (const std::wstring& steer : c.steer) {
            what += ", " + Utf8(steer);
            ASSERT_TRUE(SteerStandIn(program, steer)) << what;
        }
        ASSERT_TRUE(PressInThePage(program, "Return")) << what;
        searches += c.toThePage ? 0 : 1;
        enters += c.toThePage ? 1 : 0;
        EXPECT_EQ(CountStartingWith(program, "Navigate"), searches) << what;
        EXPECT_EQ(program.Count("page WM_KEYDOWN 13"), enters) << what;
    }
    EXPECT_EQ(CloseAndWait(program), 0);
}

TEST(KeyboardPageStandIn, F5AltLeftAndAltRightActOnceInAPageFieldWhoeverHandlesThem) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    ClickBrowserArea(program);
    ASSERT_TRUE(SteerStandIn(program, L"active INPUT text 0"));

    struct Case {
        const char* keys;  // after an Alt shortcut, Escape leaves Wine's menu mode
        const char* call;  // what the program asks of the browser
        const char* offered;  // the key as the control is offered it
    };
    const Case cases[] = {
        {"F5", "Refresh", "TranslateAccelerator 256 116"},
        {"alt+Left Escape", "GoBack", "TranslateAccelerator 260 37"},
        {"alt+Right Escape", "GoForward", "TranslateAccelerator 260 39"},
    };
    for (bool controlTakes : {false, true}) {
        ASSERT_TRUE(SteerStandIn(program, controlTakes ? L"keys 116 37 39" : L"keys"));
        for (const Case& c : cases) {
            std::string what = std::string(c.keys) + (controlTakes ? ", taken by the control" : "");
            size_t calls = program.Count(c.call);
            size_t taken = program.Count(std::string(c.offered) + " taken");
            ASSERT_TRUE(PressInThePage(program, c.keys)) << what;
            size_t byProgram = program.Count(c.call) - calls;
            size_t byControl = program.Count(std::string(c.offered) + " taken") - taken;
            EXPECT_EQ(byProgram + byControl, 1u)
                << what << ": the program asked " << byProgram << " times, the control took it "
                << byControl << " times";
            EXPECT_EQ(byControl, controlTakes ? 1u : 0u) << what;
        }
    }
    EXPECT_EQ(CountStartingWith(program, "Navigate"), 0u);
    EXPECT_EQ(CloseAndWait(program), 0);
}

namespace {

// The current user's FEATURE_BROWSER_EMULATION value for the program's file
// name: its type and number, or ERROR_FILE_NOT_FOUND in `status`.
struct EmulationValue {
    LSTATUS status;
    DWORD type;
    DWORD mode;
};

EmulationValue ReadEmulation() {
    EmulationValue value{};
    DWORD size = sizeof value.mode;
    value.status = RegGetValueW(HKEY_CURRENT_USER, kEmulationKey, kProgramFile, RRF_RT_ANY,
                                &value.type, &value.mode, &size);
    return value;
}

void SetEmulation(const EmulationValue* value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kEmulationKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value == nullptr) {
        RegDeleteValueW(key, kProgramFile);
    } else {
        RegSetValueExW(key, kProgramFile, 0, value->type, reinterpret_cast<const BYTE*>(&value->mode),
                       sizeof value->mode);
    }
    RegCloseKey(key);
}

}  // namespace

TEST(KeyboardPageStandIn, TheCurrentEngineIsAskedForBeforeTheBrowserAndDialogsAreSilenced) {
    SetEmulation(nullptr);
    {
        RunningProgram program;
        Start(program);
        ASSERT_NE(program.window, nullptr);
        EmulationValue written = ReadEmulation();
        EXPECT_EQ(written.status, ERROR_SUCCESS) << "no value was written";
        EXPECT_EQ(written.type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(written.mode, 11001u);
        // The control reads the value when it is made: it was there by then.
        EXPECT_EQ(program.Count("FEATURE_BROWSER_EMULATION 11001"), 1u) << program.Log();
        EXPECT_EQ(program.Count("put_Silent true"), 1u) << program.Log();
        EXPECT_EQ(program.Count("put_Silent false"), 0u);
        EXPECT_EQ(CloseAndWait(program), 0);
    }
    // A value already there, a user's or an administrator's choice, is kept.
    const EmulationValue choices[] = {{ERROR_SUCCESS, REG_DWORD, 8000},
                                      {ERROR_SUCCESS, REG_DWORD, 0}};
    for (const EmulationValue& choice : choices) {
        SetEmulation(&choice);
        RunningProgram program;
        Start(program);
        ASSERT_NE(program.window, nullptr);
        EmulationValue kept = ReadEmulation();
        EXPECT_EQ(kept.mode, choice.mode);
        EXPECT_EQ(program.Count("FEATURE_BROWSER_EMULATION " + std::to_string(choice.mode)), 1u)
            << program.Log();
        EXPECT_EQ(CloseAndWait(program), 0);
    }
    SetEmulation(nullptr);
}

// ---- The form ------------------------------------------------------------------------

TEST(KeyboardFormStandIn, TabAndShiftTabGoRoundTheFormAndTheBrowserArea) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    const HWND order[] = {program.Gadget(app::kSiteList), program.Gadget(app::kKeywordBox),
                          program.Gadget(app::kOkButton), program.Gadget(app::kWebGadget)};
    // Right after start the keyword box has the focus; Tab goes on to OK.
    ASSERT_TRUE(FocusIsIn(program, order[1]));
    for (int round = 0; round < 2; ++round) {
        for (int i = 2; i < 6; ++i) {
            ASSERT_TRUE(PressKeys("Tab"));
            ASSERT_TRUE(FocusIsIn(program, order[i % 4])) << "Tab, round " << round;
        }
    }
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i >= -3; --i) {
            ASSERT_TRUE(PressKeys("shift+Tab"));
            ASSERT_TRUE(FocusIsIn(program, order[(i + 4) % 4])) << "Shift+Tab, round " << round;
        }
    }
    // No tab character went into the keyword box on the way, and the box's
    // text is selected when Tab enters it, as in a dialog.
    EXPECT_EQ(program.Text(app::kKeywordBox), app::kPlaceholder);
    ASSERT_TRUE(FocusIsIn(program, order[1]));
    ASSERT_TRUE(PressKeys("shift+Tab"));  // round to the site list, and back into the box
    ASSERT_TRUE(FocusIsIn(program, order[0]));
    ASSERT_TRUE(PressKeys("Tab"));
    ASSERT_TRUE(FocusIsIn(program, program.Gadget(app::kKeywordBox)));
    DWORD start = 0, end = 0;
    SendMessageA(program.Gadget(app::kKeywordBox), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, static_cast<DWORD>(program.Text(app::kKeywordBox).size()));
    ASSERT_TRUE(PressKeys("x Tab"));
    ASSERT_TRUE(FocusIsIn(program, program.Gadget(app::kOkButton)));
    EXPECT_EQ(program.Text(app::kKeywordBox), "x");

    // A Tab that the control takes (moving among the page's links) leaves the
    // focus in the browser area.
    ASSERT_TRUE(PressKeys("Tab"));
    ASSERT_TRUE(FocusIsIn(program, program.Gadget(app::kWebGadget)));
    ASSERT_TRUE(SteerStandIn(program, L"keys 9"));
    ASSERT_TRUE(PressInThePage(program, "Tab"));
    EXPECT_TRUE(FocusIsIn(program, program.Gadget(app::kWebGadget)));
    EXPECT_EQ(program.Count("TranslateAccelerator 256 9 taken"), 1u);
    EXPECT_EQ(CountStartingWith(program, "Navigate"), 0u);
    EXPECT_EQ(CloseAndWait(program), 0);
}

// The keyword box is ready from the start, as a dialog's first edit box:
// the focus in it, its placeholder selected, so that the first letters typed
// replace the placeholder. Enter at once searches with no keywords: the
// placeholder is a hint, never a keyword.
TEST(KeyboardFormStandIn, TheFirstKeystrokesGoIntoTheKeywordBoxAndThePlaceholderIsNeverSearched) {
    struct Case {
        const char* keys;
        const char* boxAfter;  // Windows-1251
        std::string address;
    };
    const std::string engine = "Navigate https://www.google.com/search?client=IE&rls=ru&q=";
    const Case cases[] = {
        {"Return", app::kPlaceholder, engine + "+site:" + app::kSites[0]},
        {"k e y Return", "key", engine + "key+site:" + app::kSites[0]},
        {"a space B Return", "a B", engine + "a B+site:" + app::kSites[0]},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        RunningProgram program;
        Start(program);
        ASSERT_NE(program.window, nullptr);
        HWND box = program.Gadget(app::kKeywordBox);
        ASSERT_TRUE(FocusIsIn(program, box));
        DWORD start = 1, end = 0;
        SendMessageA(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, static_cast<DWORD>(program.Text(app::kKeywordBox).size())) << "not all selected";

        ASSERT_TRUE(PressKeys(c.keys));
        ASSERT_TRUE(WaitUntil([&] { return CountStartingWith(program, "Navigate") >= 1; }))
            << program.Log();
        EXPECT_EQ(program.Text(app::kKeywordBox), c.boxAfter);
        std::vector<std::string> navigations;
        for (const std::string& line : program.Lines()) {
            if (line.rfind("Navigate", 0) == 0) navigations.push_back(line);
        }
        EXPECT_EQ(navigations, std::vector<std::string>{c.address});
        // The browser was told that its host is DPI-aware before it was first sent anywhere.
        std::vector<std::string> lines = program.Lines();
        auto flags = std::find(lines.begin(), lines.end(), "put_DocHostFlags 0x40040004");
        auto first = std::find_if(lines.begin(), lines.end(),
                                  [](const std::string& line) { return line.rfind("Navigate", 0) == 0; });
        EXPECT_TRUE(flags < first) << program.Log();
        EXPECT_EQ(CloseAndWait(program), 0);
    }
}

namespace {

// A window of this process that takes the X input focus from the program.
struct OtherWindow {
    HWND window = CreateWindowExA(0, "Edit", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  900, 700, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ~OtherWindow() { DestroyWindow(window); }
};

}  // namespace

TEST(KeyboardFormStandIn, TheFocusComesBackWhenTheWindowIsActiveAgain) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    OtherWindow other;
    ASSERT_NE(other.window, nullptr);

    struct Where {
        const char* name;
        int gadget;
    };
    for (const Where& where : {Where{"keyword box", app::kKeywordBox}, Where{"OK button", app::kOkButton},
                               Where{"browser area", app::kWebGadget}}) {
        SCOPED_TRACE(where.name);
        HWND gadget = program.Gadget(where.gadget);
        if (where.gadget == app::kOkButton) {
            // A click would search; the focus gets there with Tab from the keyword box.
            ASSERT_TRUE(PressKeys("Tab"));
        } else {
            program.Click(where.gadget);
        }
        ASSERT_TRUE(FocusIsIn(program, gadget));

        ShowWindow(program.window, SW_MINIMIZE);
        ASSERT_TRUE(WaitUntil([&] { return IsIconic(program.window) != 0; }));
        ShowWindow(program.window, SW_RESTORE);
        ASSERT_TRUE(WaitUntil([&] { return IsIconic(program.window) == 0; }));
        EXPECT_TRUE(FocusIsIn(program, gadget)) << "after a minimise and restore";

        // Another window becomes active, then the program's window again, as
        // a task switcher makes them (Wine's X11 driver does not activate an
        // unmanaged window on an X focus change).
        ASSERT_TRUE(SetForegroundWindow(other.window));
        ASSERT_TRUE(WaitUntil([&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            GetGUIThreadInfo(program.process.dwThreadId, &info);
            return info.hwndActive == nullptr;
        })) << "the program's window stayed active";
        ASSERT_TRUE(SetForegroundWindow(program.window));
        EXPECT_TRUE(FocusIsIn(program, gadget)) << "after another window was active";
    }
    EXPECT_EQ(CountStartingWith(program, "Navigate"), 0u);
    EXPECT_EQ(CloseAndWait(program), 0);
}

TEST(KeyboardFormStandIn, EnterInTheOpenSiteListClosesItAndSearchesTheHighlightedForumOnce) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    program.Click(app::kKeywordBox);  // clears the placeholder
    ASSERT_TRUE(program.WaitForText(app::kKeywordBox, ""));
    ASSERT_TRUE(PressKeys("k e y"));
    ASSERT_TRUE(program.WaitForText(app::kKeywordBox, "key"));

    program.Click(app::kSiteList);
    ASSERT_TRUE(WaitUntil([&] { return DroppedList(program) != nullptr; })) << "the list did not open";
    ASSERT_TRUE(PressKeys("Down Down Down Return"));
    EXPECT_TRUE(WaitUntil([&] { return DroppedList(program) == nullptr; })) << "the list stayed open";
    EXPECT_EQ(Ask(program.Gadget(app::kSiteList), CB_GETCURSEL), 3);
    ASSERT_TRUE(program.WaitForCount(
        "Navigate https://www.google.com/search?client=IE&rls=ru&q=key+site:" +
            std::string(app::kSites[3]),
        1));
    // One search: a second Enter with the list closed makes the second one.
    ASSERT_TRUE(FocusIsIn(program, program.Gadget(app::kSiteList)));
    ASSERT_TRUE(PressKeys("Return"));
    ASSERT_TRUE(WaitUntil([&] { return CountStartingWith(program, "Navigate") >= 2; }));
    EXPECT_EQ(CountStartingWith(program, "Navigate"), 2u) << program.Log();
    EXPECT_EQ(CloseAndWait(program), 0);
}

TEST(KeyboardFormStandIn, TheWindowIsNeverSmallerThanTheFormAndGrowsFreely) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    HWND ok = program.Gadget(app::kOkButton);
    HWND keywords = program.Gadget(app::kKeywordBox);
    // The form stays whole in the client area: OK's right edge and the keyword box's bottom.
    auto formIsWhole = [&] {
        RECT client{}, button{}, box{};
        GetClientRect(program.window, &client);
        GetWindowRect(ok, &button);
        GetWindowRect(keywords, &box);
        MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&button), 2);
        MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&box), 2);
        return client.right >= button.right && client.bottom >= box.bottom;
    };
    for (SIZE asked : {SIZE{300, 200}, SIZE{1, 1}, SIZE{0, 0}, SIZE{690, 60}}) {
        SetWindowPos(program.window, nullptr, 0, 0, asked.cx, asked.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        SIZE outer = OuterSize(program.window);
        EXPECT_TRUE(formIsWhole()) << "asked " << asked.cx << " x " << asked.cy << ", got "
                                   << outer.cx << " x " << outer.cy;
        EXPECT_GE(outer.cx, asked.cx);
    }

    // Dragging the frame's bottom right corner far up and left stops at the same size.
    SetWindowPos(program.window, nullptr, 100, 100, 735, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    SIZE smallest = [&] {
        SetWindowPos(program.window, nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return OuterSize(program.window);
    }();
    SetWindowPos(program.window, nullptr, 100, 100, 735, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect{};
    GetWindowRect(program.window, &rect);
    std::string corner = std::to_string(rect.right - 2) + " " + std::to_string(rect.bottom - 2);
    ASSERT_TRUE(RunUnixToEnd("/usr/bin/xdotool mousemove " + corner +
                             " mousedown 1 mousemove_relative --sync -- -300 -300"
                             " mousemove_relative --sync -- -300 -300 mouseup 1"));
    // The move loop follows the pointer in steps; under load the last of them
    // comes well after xdotool has returned.
    SIZE dragged{};
    EXPECT_TRUE(WaitUntil([&] {
        dragged = OuterSize(program.window);
        return dragged.cx == smallest.cx && dragged.cy == smallest.cy;
    })) << "dragged to " << dragged.cx << " x " << dragged.cy << ", the smallest is "
        << smallest.cx << " x " << smallest.cy;
    EXPECT_TRUE(formIsWhole()) << "dragged to " << dragged.cx << " x " << dragged.cy;

    // The largest size stays the system's: as large as a window of the same
    // style without limits of its own gets.
    TestWindow unlimited(static_cast<DWORD>(GetWindowLongA(program.window, GWL_STYLE)), "unlimited");
    for (SIZE asked : {SIZE{GetSystemMetrics(SM_CXSCREEN) + 200, GetSystemMetrics(SM_CYSCREEN) + 100},
                       SIZE{1000, 800}}) {
        for (HWND window : {program.window, static_cast<HWND>(unlimited)}) {
            SetWindowPos(window, nullptr, 0, 0, asked.cx, asked.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        EXPECT_EQ(OuterSize(program.window).cx, OuterSize(unlimited).cx) << "asked " << asked.cx;
        EXPECT_EQ(OuterSize(program.window).cy, OuterSize(unlimited).cy) << "asked " << asked.cy;
    }
    EXPECT_TRUE(program.Answers());
    EXPECT_EQ(CloseAndWait(program), 0);
}

// ---- The library's pump, in this process -------------------------------------

namespace {

constexpr int32_t kWebNumber = 7100;
constexpr int32_t kEnterCommand = 1001;

// Posts a key message to the window that has the focus, as the system queues
// a key press for it.
void PostKey(UINT message, WPARAM key) {
    PostMessageA(GetFocus(), message, key, 1);
}

std::vector<MSG> hookedMessages;

void __stdcall RecordMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD, LONG, LONG) {
    hookedMessages.push_back(MSG{window, message, wParam, lParam, 0, {}});
}

// The events that the pump hands out until the queue is empty.
std::vector<int32_t> EventsUntilEmpty(bool wait = false) {
    std::vector<int32_t> codes;
    for (int i = 0; i < 1000; ++i) {
        MSG peeked;
        if (EventStackCount() == 0 && !PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE)) break;
        int32_t code = wait ? WAITEVENT() : WINDOWEVENT();
        if (code != 0) codes.push_back(code);
    }
    return codes;
}

}  // namespace

TEST(PumpKeysStandIn, BothPumpsOfferKeysInAWebGadgetToTheControlAndATakenKeyIsDone) {
    StandInWeb web(kWebNumber);
    ASSERT_NE(web.browser, nullptr);
    HWND host = GadgetID(kWebNumber);
    ADDKEYBOARDSHORTCUT(web.window, FVIRTKEY, VK_RETURN, kEnterCommand);
    FocusWindow(web.window);
    SetFocus(host);
    ASSERT_EQ(GetFocus(), host);
    Drain();
    SETWINDOWCALLBACK(reinterpret_cast<void*>(RecordMessage), 1);

    for (bool wait : {false, true}) {
        SCOPED_TRACE(wait ? "WAITEVENT" : "WINDOWEVENT");
        // A key the control leaves goes on: Enter becomes the shortcut.
        web.standIn.takeKeys(nullptr, 0);
        web.standIn.clearLog();
        hookedMessages.clear();
        PostKey(WM_KEYDOWN, VK_RETURN);
        std::vector<int32_t> codes = EventsUntilEmpty(wait);
        EXPECT_NE(std::find(codes.begin(), codes.end(), 1026), codes.end());
        EXPECT_EQ(web.standIn.Calls("TranslateAccelerator").size(), 1u) << web.standIn.Log();
        EXPECT_EQ(web.standIn.Calls("TranslateAccelerator 256 13").size(), 1u);

        // A key the control takes gives no event, is not dispatched, and the
        // message hook still sees it.
        const int taken[] = {VK_RETURN, 'A'};
        web.standIn.takeKeys(taken, 2);
        web.standIn.clearLog();
        hookedMessages.clear();
        PostKey(WM_KEYDOWN, VK_RETURN);
        PostKey(WM_KEYDOWN, 'A');
        PostKey(WM_CHAR, 'a');
        codes = EventsUntilEmpty(wait);
        EXPECT_EQ(codes, std::vector<int32_t>{}) << "a taken key made an event";
        EXPECT_EQ(web.standIn.Calls("TranslateAccelerator 256 13 taken").size(), 1u) << web.standIn.Log();
        EXPECT_EQ(web.standIn.Calls("TranslateAccelerator 256 65 taken").size(), 1u);
        EXPECT_EQ(web.standIn.Calls("TranslateAccelerator 258 97").size(), 1u) << "WM_CHAR is offered";
        EXPECT_EQ(web.standIn.Calls("page").size(), 1u) << "only the untaken character reaches the page";
        EXPECT_EQ(hookedMessages.size(), 3u);
    }
    FREECALLBACK(1);

    // A key for a window outside any web gadget is not offered.
    HWND edit = CreateChild("Edit", web.window, 7101, 0, 10, 10, 100, 20);
    SetFocus(edit);
    web.standIn.clearLog();
    PostKey(WM_KEYDOWN, 'B');
    EventsUntilEmpty();
    EXPECT_EQ(web.standIn.Calls("TranslateAccelerator").size(), 0u) << web.standIn.Log();
    DELETEALLKEYBOARDSHORTCUT(web.window);
    DestroyWindow(web.window);
}

TEST(PumpKeysStandIn, EnterOnWhateverThePageHasFocusedIsDispatchedToThePageWithoutTheShortcut) {
    StandInWeb web(kWebNumber);
    ASSERT_NE(web.browser, nullptr);
    HWND host = GadgetID(kWebNumber);
    ADDKEYBOARDSHORTCUT(web.window, FVIRTKEY, VK_RETURN, kEnterCommand);
    FocusWindow(web.window);
    SetFocus(host);
    Drain();
    struct Case {
        const wchar_t* tag;
        const wchar_t* type;
        int editable;
        bool toThePage;
    };
    const Case cases[] = {
        {L"INPUT", L"", 0, true},      {L"INPUT", L"tel", 0, true},   {L"TEXTAREA", L"", 0, true},
        {L"SELECT", L"", 0, true},     {L"SPAN", L"", 1, true},       {L"INPUT", L"button", 0, true},
        {L"INPUT", L"image", 0, true}, {L"A", L"", 0, true},          {L"IFRAME", L"", 0, true},
        {L"BODY", L"", 1, true},       {L"BODY", L"", 0, false},      {L"", L"", 0, false},
    };
    for (const Case& c : cases) {
        std::string what = Utf8(c.tag) + " " + Utf8(c.type) + (c.editable ? " editable" : "");
        web.standIn.setActiveElement(c.tag, c.type, c.editable);
        web.standIn.clearLog();
        PostKey(WM_KEYDOWN, VK_RETURN);
        std::vector<int32_t> codes = EventsUntilEmpty();
        bool searched = std::find(codes.begin(), codes.end(), 1026) != codes.end();
        EXPECT_EQ(searched, !c.toThePage) << what;
        EXPECT_EQ(web.standIn.Calls("page WM_KEYDOWN 13").size(), c.toThePage ? 1u : 0u) << what;
        EXPECT_EQ(web.standIn.references(kActiveElement), 0) << what << ": an element reference was kept";
        EXPECT_EQ(web.standIn.references(kBody), 0) << what << ": a body reference was kept";
    }
    // Other keys in a page field still reach the shortcuts.
    ADDKEYBOARDSHORTCUT(web.window, FVIRTKEY, VK_F5, 1002);
    web.standIn.setActiveElement(L"INPUT", L"text", 0);
    PostKey(WM_KEYDOWN, VK_F5);
    ASSERT_TRUE(WaitForEvent(1026));
    EXPECT_EQ(EVENTNUMBER(), 1002);
    web.standIn.setActiveElement(L"BODY", L"", 0);
    DELETEALLKEYBOARDSHORTCUT(web.window);
    DestroyWindow(web.window);
}

// The page's focus followed into frames: what each document reports, as
// the real control reports it, decides whether Enter searches. Every
// reference taken on the way is given back.
TEST(PumpKeysStandIn, EnterFollowsTheFocusIntoFramesAndSearchesWhereItRestsOnNothingInParticular) {
    StandInWeb web(kWebNumber);
    ASSERT_NE(web.browser, nullptr);
    HWND host = GadgetID(kWebNumber);
    ADDKEYBOARDSHORTCUT(web.window, FVIRTKEY, VK_RETURN, kEnterCommand);
    FocusWindow(web.window);
    SetFocus(host);
    Drain();
    StandIn& standIn = web.standIn;
    // A document's active element (level 0 the page, 1 to 3 nested frames).
    auto active = [&](int level, const wchar_t* tag, int editable = 0) {
        return [=, &standIn] { standIn.setFrameElement(level, tag, L"", editable); };
    };
    auto noBody = [&](int level) { return [=, &standIn] { standIn.setDocumentState(level, 0, 0); }; };
    auto refused = [&](int level) { return [=, &standIn] { standIn.setDocumentState(level, 1, 1); }; };
    struct Case {
        const char* page;
        std::vector<std::function<void()>> steps;  // after a fresh page
        bool toThePage;
    };
    const Case cases[] = {
        {"the HTML element", {active(0, L"HTML")}, false},
        {"the HTML element in design mode", {active(0, L"HTML", 1)}, true},
        {"a field, no body yet", {active(0, L"INPUT"), noBody(0)}, false},
        {"the HTML element, no body yet", {active(0, L"HTML"), noBody(0)}, false},
        {"an IFRAME resting on its body", {active(0, L"IFRAME"), active(1, L"BODY")}, false},
        {"a FRAME resting on its HTML element", {active(0, L"FRAME"), active(1, L"HTML")}, false},
        {"an IFRAME without a body yet", {active(0, L"IFRAME"), noBody(1)}, false},
        {"an IFRAME with nothing active", {active(0, L"IFRAME"), active(1, L"")}, false},
        {"a field in an IFRAME", {active(0, L"IFRAME"), active(1, L"INPUT")}, true},
        {"a link in a FRAME", {active(0, L"FRAME"), active(1, L"A")}, true},
        {"an IFRAME's body in design mode", {active(0, L"IFRAME"), active(1, L"BODY", 1)}, true},
        {"an IFRAME of another origin", {active(0, L"IFRAME"), refused(1)}, true},
        {"a body two frames deep", {active(0, L"IFRAME"), active(1, L"FRAME"), active(2, L"BODY")}, false},
        {"another origin two frames deep", {active(0, L"IFRAME"), active(1, L"IFRAME"), refused(2)}, true},
        {"a field three frames deep",
         {active(0, L"IFRAME"), active(1, L"FRAME"), active(2, L"IFRAME"), active(3, L"TEXTAREA")},
         true},
        {"the HTML element three frames deep",
         {active(0, L"IFRAME"), active(1, L"FRAME"), active(2, L"IFRAME"), active(3, L"HTML")},
         false},
        {"frames nested without end",
         {active(0, L"IFRAME"), active(1, L"IFRAME"), active(2, L"IFRAME"), active(3, L"IFRAME")},
         true},
    };
    LONG documentReferences = standIn.references(kDocument);
    for (const Case& c : cases) {
        standIn.resetPage();
        for (const auto& step : c.steps) step();
        standIn.clearLog();
        PostKey(WM_KEYDOWN, VK_RETURN);
        std::vector<int32_t> codes = EventsUntilEmpty();
        bool searched = std::find(codes.begin(), codes.end(), 1026) != codes.end();
        EXPECT_EQ(searched, !c.toThePage) << c.page;
        EXPECT_EQ(standIn.Calls("page WM_KEYDOWN 13").size(), c.toThePage ? 1u : 0u) << c.page;
        EXPECT_EQ(standIn.references(kActiveElement), 0) << c.page << ": an element reference was kept";
        EXPECT_EQ(standIn.references(kBody), 0) << c.page << ": a body reference was kept";
        EXPECT_EQ(standIn.references(kRestOfThePage), 0) << c.page << ": a frame's reference was kept";
        EXPECT_EQ(standIn.references(kDocument), documentReferences) << c.page;
    }
    // The walk through frames nested without end (the last case) stops
    // after a few.
    std::istringstream log(standIn.Log());
    size_t windows = 0;
    for (std::string line; std::getline(log, line);) {
        windows += line.find("get_contentWindow") != std::string::npos ? 1 : 0;
    }
    EXPECT_GE(windows, 4u) << standIn.Log();
    EXPECT_LE(windows, 16u) << standIn.Log();
    standIn.resetPage();
    DELETEALLKEYBOARDSHORTCUT(web.window);
    DestroyWindow(web.window);
}

namespace {

// Counts the Tab key presses that reach a control.
LRESULT CALLBACK CountTabKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR count) {
    if (message == WM_KEYDOWN && wParam == VK_TAB) ++*reinterpret_cast<int*>(count);
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

TEST(PumpKeysStandIn, TabMovesThroughTabStopsOnlyWhereTheWindowHasThem) {
    TestWindow window("tab order");
    FocusWindow(window);
    // Without tab stops a Tab goes to the focused control as before.
    HWND plain = CreateChild("Edit", window, 7201, ES_MULTILINE | ES_WANTRETURN, 10, 10, 100, 60);
    HWND single = CreateChild("Edit", window, 7202, 0, 10, 80, 100, 20, "abc");
    int tabsReceived = 0;
    SetWindowSubclass(single, CountTabKeys, 1, reinterpret_cast<DWORD_PTR>(&tabsReceived));
    SetFocus(single);
    SendMessageA(single, EM_SETSEL, 1, 1);
    Drain();
    PostKey(WM_KEYDOWN, VK_TAB);
    EventsUntilEmpty();
    EXPECT_EQ(GetFocus(), single) << "a Tab moved the focus in a window without tab stops";
    EXPECT_EQ(tabsReceived, 1) << "the Tab did not reach the focused control";
    DWORD start = 0, end = 0;
    SendMessageA(single, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u) << "a Tab changed the selection in a window without tab stops";
    EXPECT_EQ(end, 1u);
    RemoveWindowSubclass(single, CountTabKeys, 1);

    // With tab stops: the next one, round, backwards with Shift; a control
    // that wants tabs (a multi-line edit box with ES_WANTRETURN still wants
    // them through DLGC_WANTALLKEYS) keeps the key.
    SetWindowLongA(single, GWL_STYLE, GetWindowLongA(single, GWL_STYLE) | WS_TABSTOP);
    HWND button = CreateChild("Button", window, 7203, WS_TABSTOP, 10, 110, 100, 20, "b");
    HWND hidden = CreateChild("Button", window, 7204, WS_TABSTOP, 10, 140, 100, 20, "h");
    ShowWindow(hidden, SW_HIDE);
    SetWindowLongA(plain, GWL_STYLE, GetWindowLongA(plain, GWL_STYLE) | WS_TABSTOP);
    SetFocus(single);
    PostKey(WM_KEYDOWN, VK_TAB);
    EventsUntilEmpty();
    EXPECT_EQ(GetFocus(), button);
    PostKey(WM_KEYDOWN, VK_TAB);
    EventsUntilEmpty();
    EXPECT_EQ(GetFocus(), plain) << "round past the hidden button to the first tab stop";
    PostKey(WM_KEYDOWN, VK_TAB);
    EventsUntilEmpty();
    EXPECT_EQ(GetFocus(), plain) << "the multi-line edit box gave its tab away";
    DestroyWindow(window);
}

TEST(PumpKeysWineBrowser, EnterInWinesOwnControlStillMakesTheShortcut) {
    TestWindow window("Wine's own browser");
    IWebBrowser2* browser =
        WEBGADGET(kWebNumber, 10, 50, 300, 200, "about:blank", WS_TABSTOP, WS_EX_CLIENTEDGE);
    ASSERT_NE(browser, nullptr) << "Wine's control was not created";
    ADDKEYBOARDSHORTCUT(window, FVIRTKEY, VK_RETURN, kEnterCommand);
    FocusWindow(window);
    SetFocus(GadgetID(kWebNumber));
    Drain();
    HWND focus = GetFocus();
    ASSERT_TRUE(focus == GadgetID(kWebNumber) || IsChild(GadgetID(kWebNumber), focus))
        << "the focus is not in the browser area";
    PostKey(WM_KEYDOWN, VK_RETURN);
    ASSERT_TRUE(WaitForEvent(1026)) << "Enter in Wine's control gave no shortcut";
    EXPECT_EQ(EVENTNUMBER(), kEnterCommand);
    DELETEALLKEYBOARDSHORTCUT(window);
}
