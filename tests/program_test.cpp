// The program as a person uses it, with the browser stand-in recording what
// the browser is asked: xdotool clicks and keys under Xvfb.
#include "app/app.h"
#include "program_support.h"
#include "standin.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;
using app::kKeywordBox;
using app::kOkButton;
using app::kWebGadget;

namespace {

const std::string kEngineSearch = "Navigate https://www.google.com/search?client=IE&rls=ru&q=";

}  // namespace

TEST(ProgramStandIn, SearchesRefreshesGoesBackAndForwardAndFollowsTheWindow) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);

    // Start-up: the host loads the blank page and the banner is written once idle.
    EXPECT_TRUE(program.WaitForCount("CreateHost about:blank", 1)) << program.Log();
    EXPECT_TRUE(program.WaitForCount("Advise", 1)) << program.Log();
    // The log is UTF-8.
    EXPECT_TRUE(program.WaitForCount(
        Utf8(L"put_innerHTML <P> <P> <P> <P> <P> <div style=\"text-align: center; color: rgb(204, "
             L"0, 0);\"><big><big><big><big><big>Поиск по сайтам</big></big></big></big></big>"
             L"<br></div>"),
        1))
        << program.Log();

    // A click in the keyword box clears the placeholder; typed text is searched.
    EXPECT_EQ(program.Text(kKeywordBox), "\xC2\xE2\xE5\xE4\xE8\xF2\xE5 \xF2\xE5\xEA\xF1\xF2 \xE4\xEB\xFF "
                                         "\xEF\xEE\xE8\xF1\xEA\xE0");
    program.Click(kKeywordBox);
    EXPECT_TRUE(program.WaitForText(kKeywordBox, "")) << "the placeholder stayed";
    ASSERT_TRUE(RunUnixToEnd("/usr/bin/xdotool type --delay 20 abc"));
    EXPECT_TRUE(program.WaitForText(kKeywordBox, "abc"));

    const std::string search = kEngineSearch + "abc+site:https://forum.ixbt.com/";
    ASSERT_TRUE(PressKeys("Return"));
    EXPECT_TRUE(program.WaitForCount(search, 1)) << program.Log();
    EXPECT_EQ(program.Text(kKeywordBox), "abc") << "the edit control took Enter";

    program.Click(kOkButton);
    EXPECT_TRUE(program.WaitForCount(search, 2)) << program.Log();
    // A second click in the box leaves typed text alone.
    program.Click(kKeywordBox);
    ASSERT_TRUE(PressKeys("F5"));
    EXPECT_TRUE(program.WaitForCount("Refresh", 1)) << program.Log();
    EXPECT_EQ(program.Text(kKeywordBox), "abc");

    // After an Alt shortcut Wine's default procedure enters menu mode on the
    // release of Alt; Escape leaves it.
    ASSERT_TRUE(PressKeys("alt+Left Escape"));
    EXPECT_TRUE(program.WaitForCount("GoBack", 1)) << program.Log();
    ASSERT_TRUE(PressKeys("alt+Right Escape"));
    EXPECT_TRUE(program.WaitForCount("GoForward", 1)) << program.Log();

    // The web gadget follows the window's outer size, less 35 by 100.
    SetWindowPos(program.window, nullptr, 0, 0, 820, 640, SWP_NOMOVE | SWP_NOZORDER);
    HWND web = GetDlgItem(program.window, kWebGadget);
    ASSERT_NE(web, nullptr);
    DWORD start = GetTickCount();
    RECT rect{};
    while (GetTickCount() - start < 10000) {
        GetWindowRect(web, &rect);
        if (rect.right - rect.left == 785 && rect.bottom - rect.top == 540) break;
        Sleep(20);
    }
    EXPECT_EQ(rect.right - rect.left, 785);
    EXPECT_EQ(rect.bottom - rect.top, 540);

    EXPECT_EQ(CloseAndWait(program), 0);
}

TEST(ProgramWithoutBrowserStandIn, RunsItsFormAndSearchesNothingWhenNoBrowserComesUp) {
    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_NO_CONTROL", "1");
    RunningProgram program;
    Start(program);
    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_NO_CONTROL", nullptr);
    ASSERT_NE(program.window, nullptr);
    EXPECT_NE(GetDlgItem(program.window, kOkButton), nullptr) << "the form is missing";
    EXPECT_EQ(GetDlgItem(program.window, kWebGadget), nullptr);
    program.Click(kOkButton);
    ASSERT_TRUE(PressKeys("Return F5"));
    // The program still answers, and nothing reached a browser.
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer), 0);
    EXPECT_EQ(program.Count("Advise"), 0u);
    EXPECT_EQ(program.Log().find("Navigate"), std::string::npos) << program.Log();
    EXPECT_EQ(CloseAndWait(program), 0);
}

// The program's copy stands beside a planted atl.dll (what a stranger might
// leave in a downloads folder), and native DLLs come first (atl=n), as a
// DLL found beside a program would on Windows: the browser still comes from
// the system folder, and the planted DLL never runs.
TEST(ProgramStandInBesidePlantedAtl, LoadsTheBrowserFromTheSystemFolderOnly) {
    std::string planted = WindowsPath(Env("ZUDIZAZUZ_EXE_STANDIN"));
    planted = planted.substr(0, planted.rfind('\\')) + "\\atl.dll";
    ASSERT_NE(GetFileAttributesA(planted.c_str()), INVALID_FILE_ATTRIBUTES)
        << "no planted atl.dll beside the program copy at " << planted;
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    EXPECT_TRUE(program.WaitForCount("Advise", 1)) << program.Log();
    EXPECT_EQ(program.Count("planted atl.dll loaded"), 0u) << program.Log();
    EXPECT_EQ(CloseAndWait(program), 0);
}

// What any other program on the desktop can send or post to the program's
// windows: none of it may crash it. A pointer-carrying message with a bogus
// address, and message 1029 asking to pass on such a message, are ignored;
// a button press passed on through 1029 still gives its event (the main loop
// clears the placeholder on a left press, wherever it happened).
TEST(ProgramStandInForeignMessages, SurvivesHostileMessagesAndStillTakesAPassedOnPress) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    HWND keywords = program.Gadget(kKeywordBox);
    ASSERT_NE(program.Text(kKeywordBox), "") << "the placeholder is missing";

    // The size limits apply: a WM_GETMINMAXINFO at a bogus address would be written to.
    ASSERT_TRUE(SetPropA(program.window, "MINMAXFLAG", reinterpret_cast<HANDLE>(1)));
    struct Hostile {
        const char* what;
        HWND to;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Hostile hostile[] = {
        {"1029 passing on WM_NOTIFY", program.window, WM_USER + 5, 0, WM_NOTIFY},
        {"1029 passing on WM_GETMINMAXINFO", program.window, WM_USER + 5, 0, WM_GETMINMAXINFO},
        {"1029 passing on WM_CTLCOLOREDIT", program.window, WM_USER + 5, 0, WM_CTLCOLOREDIT},
        {"1029 passing on WM_SIZE", program.window, WM_USER + 5, 0, WM_SIZE},
        {"1029 passing on itself", program.window, WM_USER + 5, 0, WM_USER + 5},
        {"1029 passing on WM_NOTIFY to a gadget", keywords, WM_USER + 5, 0, WM_NOTIFY},
        {"WM_NOTIFY at address 7", program.window, WM_NOTIFY, 0, 7},
        {"WM_NOTIFY at address -1", program.window, WM_NOTIFY, 0, -1},
        // ATL's WM_FORWARDMSG: the browser's host would read a MSG there.
        {"WM_FORWARDMSG at address 8", program.Gadget(kWebGadget), 0x037F, 0, 8},
        {"WM_FORWARDMSG at address 0x7FFE0000", program.Gadget(kWebGadget), 0x037F, 0, 0x7FFE0000},
        {"WM_FORWARDMSG at address -1", program.Gadget(kWebGadget), 0x037F, 0, -1},
    };
    for (const Hostile& message : hostile) {
        PostMessageA(message.to, message.message, message.wParam, message.lParam);
        ASSERT_TRUE(program.Answers()) << "posted " << message.what;
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(message.to, message.message, message.wParam, message.lParam,
                            SMTO_ABORTIFHUNG, 5000, &answer);
        ASSERT_TRUE(program.Answers()) << "sent " << message.what;
    }
    EXPECT_EQ(WaitForSingleObject(program.process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the program ended";
    EXPECT_NE(program.Text(kKeywordBox), "") << "a hostile message was taken as a press";
    EXPECT_EQ(program.Log().find("WM_FORWARDMSG"), std::string::npos)
        << "a foreign WM_FORWARDMSG reached the browser's host:\n" << program.Log();

    PostMessageA(program.window, WM_USER + 5, 7, WM_LBUTTONDOWN);
    EXPECT_TRUE(program.WaitForText(kKeywordBox, "")) << "the passed-on press gave no event";
    EXPECT_EQ(CloseAndWait(program), 0);
}
