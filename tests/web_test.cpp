// The web gadget through the browser stand-in: creation, navigation, the
// location, busy, and the document body, with the stand-in's reference counts.
#include "standin.h"
#include "test_support.h"

#include "gadgets/events/event_state.h"

#include <exdisp.h>
#include <gtest/gtest.h>
#include <mshtmhst.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace gadgets;
using namespace testing_support;

TEST(WebGadgetStandInCreation, HostsTheControlUnderTheCurrentGadgetListAndRegistersIt) {
    StandInWeb web(7);
    ASSERT_NE(web.browser, nullptr);
    HWND host = GadgetID(7);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(GETCLASSNAME_(host), "AtlAxWin");
    EXPECT_EQ(GetParent(host), web.window);
    EXPECT_EQ(GetDlgCtrlID(host), 7);
    LONG style = GetWindowLongA(host, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL),
              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL);
    EXPECT_TRUE(GetWindowLongA(host, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(GADGETWIDTH(7), 300);
    EXPECT_EQ(GADGETHEIGHT(7), 200);
    EXPECT_EQ(web.standIn.Calls("CreateHost"), std::vector<std::string>{"CreateHost about:blank"});
    EXPECT_EQ(web.standIn.Calls("AtlAxWinInit").size(), 1u);
    // Three references stay with the program: the control's from AtlAxGetControl,
    // and two on the browser object.
    EXPECT_EQ(web.standIn.references(kBrowserObject), 3);
    EXPECT_EQ(GetGadgetColor(7, 1), 0) << "the web gadget has no colour entry";

    // The same number again: the new host exists first, the old one goes.
    IWebBrowser2* second = WEBGADGET(7, 0, 0, 100, 100, "about:blank", 0, 0);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(host));
    EXPECT_NE(GadgetID(7), host);
    EXPECT_TRUE(IsWindow(GadgetID(7)));
}

TEST(WebGadgetStandInNavigation, EachOperationIsOneCallAndEmptyAddressesAreIgnored) {
    StandInWeb web(8);
    ASSERT_NE(web.browser, nullptr);
    web.standIn.clearLog();
    EXPECT_EQ(WEBGADGETNAVIGATE(web.browser, L""), 0);
    EXPECT_EQ(WEBGADGETNAVIGATE(web.browser, nullptr), 0);
    EXPECT_TRUE(web.standIn.Calls("Navigate").empty()) << web.standIn.Log();

    EXPECT_EQ(WEBGADGETNAVIGATE(web.browser, L"http://127.0.0.1/a b&c#d"), S_OK);
    EXPECT_EQ(WEBGADGETGOBACK(web.browser), S_OK);
    EXPECT_EQ(WEBGADGETGOFORWARD(web.browser), S_OK);
    EXPECT_EQ(WEBGADGETREFRESH(web.browser), S_OK);
    EXPECT_EQ(WEBGADGETSTOP(web.browser), S_OK);
    EXPECT_EQ(web.standIn.Log(),
              "Navigate http://127.0.0.1/a b&c#d\nGoBack\nGoForward\nRefresh\nStop\n");
}

TEST(WebGadgetStandInLocation, NarrowsUnitByUnit) {
    StandInWeb web(9);
    ASSERT_NE(web.browser, nullptr);
    struct Case {
        const wchar_t* location;
        std::string expected;
    };
    const Case cases[] = {
        {L"about:blank", "about:blank"},
        {L"http://127.0.0.1/\u00E9", "http://127.0.0.1/\xE9"},           // below 256: the same byte
        {L"http://127.0.0.1/\u0416x", "http://127.0.0.1/?x"},            // above U+00FF
        {L"http://127.0.0.1/\U0001F600x", "http://127.0.0.1/?x"},        // a surrogate pair: one "?"
        {L"", ""},
    };
    for (const Case& c : cases) {
        web.standIn.setLocation(c.location);
        EXPECT_EQ(WEBGADGETGETURL(web.browser), c.expected) << Utf8(c.location);
    }
}

TEST(WebGadgetStandInBusy, BusyIs65535AndIdleIsZero) {
    StandInWeb web(10);
    ASSERT_NE(web.browser, nullptr);
    web.standIn.setBusy(1);
    EXPECT_EQ(WEBGADGETSTATE(web.browser), 65535);
    web.standIn.setBusy(0);
    EXPECT_EQ(WEBGADGETSTATE(web.browser), 0);
}

TEST(WebGadgetStandInBody, WritesAndReadsTheBodyAndLeavesNothingReferenced) {
    StandInWeb web(11);
    ASSERT_NE(web.browser, nullptr);
    web.standIn.setDocumentKind(1);
    struct Case {
        std::string html;       // Windows-1251, as the program holds it
        std::wstring stored;    // what the browser is given
    };
    const Case cases[] = {
        {"<b>Поиск по сайтам</b>", L"<b>Поиск по сайтам</b>"},
        {"plain", L"plain"},
        {"", L""},
    };
    for (const Case& c : cases) {
        WEBGADGETSETBODY(web.browser, c.html);
        EXPECT_EQ(std::wstring(web.standIn.bodyHtml()), c.stored) << c.html;
        EXPECT_EQ(WEBGADGETGETBODY(web.browser, 0), c.html);
        EXPECT_EQ(WEBGADGETGETBODY(web.browser, 1), "<BODY>" + c.html + "</BODY>");
        EXPECT_EQ(web.standIn.references(kDocument), 0) << "the document is left referenced";
        EXPECT_EQ(web.standIn.references(kBody), 0) << "the body is left referenced";
    }
    EXPECT_EQ(web.standIn.references(kBrowserObject), 3) << "a call kept a browser reference";
}

// This test program stands beside a planted atl.dll, and native DLLs come
// first (atl=n): the web gadget still takes the system folder's atl.dll.
TEST(WebGadgetStandInBesidePlantedAtl, TakesTheHostingLibraryFromTheSystemFolderOnly) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string planted = std::string(self).substr(0, std::string(self).rfind('\\')) + "\\atl.dll";
    ASSERT_NE(GetFileAttributesA(planted.c_str()), INVALID_FILE_ATTRIBUTES)
        << "no planted atl.dll beside the test program";

    HWND window = OpenTestWindow("planted atl.dll");
    IWebBrowser2* browser = WEBGADGET(14, 10, 50, 300, 200, "about:blank", 0, 0);
    EXPECT_NE(browser, nullptr) << "the planted atl.dll hosted nothing, so it was taken";
    HMODULE atl = GetModuleHandleA("atl.dll");
    ASSERT_NE(atl, nullptr);
    char loaded[MAX_PATH] = {};
    GetModuleFileNameA(atl, loaded, MAX_PATH);
    EXPECT_EQ(lstrcmpiA(loaded, SystemAtlPath().c_str()), 0) << "atl.dll came from " << loaded;
    EXPECT_NE(lstrcmpiA(loaded, planted.c_str()), 0);
    FREEGADGET(14);
    DestroyWindow(window);
}

TEST(WebGadgetStandInNoBrowser, AControlThatIsNoBrowserGetsItsReferenceBack) {
    StandInWeb web(15);
    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_NO_BROWSER", "1");
    LONG before = web.standIn.references(kBareControl);
    IWebBrowser2* browser = WEBGADGET(16, 10, 50, 300, 200, "about:blank", 0, 0);
    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_NO_BROWSER", nullptr);
    EXPECT_EQ(browser, nullptr);
    EXPECT_EQ(GadgetID(16), nullptr);
    EXPECT_EQ(web.standIn.references(kBareControl), before)
        << "WEBGADGET kept a reference on a control it could not use";
}

TEST(WebGadgetStandInNoDocument, NoHtmlDocumentGivesEmptyStringAndNoChange) {
    StandInWeb web(12);
    ASSERT_NE(web.browser, nullptr);
    web.standIn.setDocumentKind(1);
    WEBGADGETSETBODY(web.browser, "kept");
    for (int kind : {0, 2}) {  // no document; a document that is not HTML
        web.standIn.setDocumentKind(kind);
        EXPECT_EQ(WEBGADGETGETBODY(web.browser, 0), "") << "document kind " << kind;
        EXPECT_EQ(WEBGADGETGETBODY(web.browser, 1), "") << "document kind " << kind;
        WEBGADGETSETBODY(web.browser, "changed");
        EXPECT_EQ(std::wstring(web.standIn.bodyHtml()), L"kept") << "document kind " << kind;
        EXPECT_EQ(web.standIn.references(kDocument), 0) << "document kind " << kind;
        EXPECT_EQ(web.standIn.references(kBody), 0) << "document kind " << kind;
    }
}

TEST(WebGadgetStandInWithoutControl, NoBrowserMeansNoWindowNoEntryAndSafeOperations) {
    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_NO_CONTROL", "1");
    StandInWeb web(13);
    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_NO_CONTROL", nullptr);
    EXPECT_EQ(web.browser, nullptr);
    EXPECT_EQ(GadgetID(13), nullptr) << "a host without a browser was registered";
    EXPECT_EQ(FindWindowExA(web.window, nullptr, "AtlAxWin", nullptr), nullptr)
        << "a host without a browser was left behind";
    // Every operation on the null browser object does nothing.
    EXPECT_EQ(WEBGADGETNAVIGATE(nullptr, L"http://127.0.0.1/"), 0);
    EXPECT_EQ(WEBGADGETGOBACK(nullptr), 0);
    EXPECT_EQ(WEBGADGETGOFORWARD(nullptr), 0);
    EXPECT_EQ(WEBGADGETREFRESH(nullptr), 0);
    EXPECT_EQ(WEBGADGETSTOP(nullptr), 0);
    EXPECT_EQ(WEBGADGETGETURL(nullptr), "");
    EXPECT_EQ(WEBGADGETSTATE(nullptr), 0);
    EXPECT_EQ(WEBGADGETGETBODY(nullptr, 0), "");
    WEBGADGETSETBODY(nullptr, "x");
    EXPECT_TRUE(web.standIn.Calls("Navigate").empty());
}

// A host that draws for the system DPI tells the control so, adding the flag
// to those the host already has, before anyone can navigate; a host without
// ATL's ambient properties (Wine's) still gives a browser.
TEST(WebGadgetStandInDpiAware, TheHostGetsTheDpiFlagBesideItsOwnFlagsAndKeepsNoReference) {
    StandInWeb web(17);
    ASSERT_NE(web.browser, nullptr);
    EXPECT_EQ(web.standIn.docHostFlags(), kStandInFirstDocHostFlags | DOCHOSTUIFLAG_DPI_AWARE);
    EXPECT_EQ(web.standIn.Calls("put_DocHostFlags"),
              std::vector<std::string>{"put_DocHostFlags 0x40040004"});
    EXPECT_EQ(web.standIn.references(kHost), 0) << "the host's reference was kept";

    // Other flags of the host are kept whatever they are, the flag itself
    // included when it is already there.
    for (DWORD first : {DWORD{0}, DWORD{0x00000010}, DWORD{0x40000000}, DWORD{0xBFFFFFFF}}) {
        web.standIn.setDocHostFlags(first);
        ASSERT_NE(WEBGADGET(18, 0, 0, 100, 100, "about:blank", 0, 0), nullptr);
        EXPECT_EQ(web.standIn.docHostFlags(), first | DOCHOSTUIFLAG_DPI_AWARE) << std::hex << first;
    }
    EXPECT_EQ(web.standIn.references(kHost), 0);

    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_NO_AMBIENT", "1");
    web.standIn.setDocHostFlags(kStandInFirstDocHostFlags);
    web.standIn.clearLog();
    IWebBrowser2* browser = WEBGADGET(19, 0, 0, 100, 100, "about:blank", 0, 0);
    SetEnvironmentVariableA("ZUDIZAZUZ_STANDIN_NO_AMBIENT", nullptr);
    EXPECT_NE(browser, nullptr) << "a host without the ambient properties gave no browser";
    EXPECT_NE(GadgetID(19), nullptr);
    EXPECT_EQ(web.standIn.docHostFlags(), kStandInFirstDocHostFlags);
    EXPECT_TRUE(web.standIn.Calls("put_DocHostFlags").empty()) << web.standIn.Log();
    EXPECT_EQ(web.standIn.references(kHost), 0);
}

namespace {

constexpr UINT kForwardMessage = 0x037F;  // ATL's WM_FORWARDMSG
const std::vector<std::string> kForwardedK{"WM_FORWARDMSG 256 75"};

// Runs `body` on another thread while this thread serves what it sends,
// then delivers what it sent without waiting (SendNotifyMessage,
// SendMessageCallback).
DWORD WINAPI RunBody(void* body) {
    (*static_cast<std::function<void()>*>(body))();
    return 0;
}

void FromAnotherThread(std::function<void()> body) {
    HANDLE thread = CreateThread(nullptr, 0, RunBody, &body, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ServeSendsUntilTheEndOf(thread);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

void CALLBACK IgnoreTheAnswer(HWND, UINT, ULONG_PTR, LRESULT) {}

// A container's loop run inside a message that another thread sends to a
// window of this thread (a dialog opened at an automation tool's request,
// say): it takes a key from the queue and forwards it to the host before
// dispatching it, as ATL's containers do.
constexpr UINT kRunAContainerLoop = WM_USER + 20;
HWND containerHost = nullptr;

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kRunAContainerLoop) return DefWindowProcA(window, message, wParam, lParam);
    PostMessageA(containerHost, WM_KEYDOWN, 'K', 0);
    MSG taken;
    if (PeekMessageA(&taken, containerHost, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
        SendMessageA(containerHost, kForwardMessage, 0, reinterpret_cast<LPARAM>(&taken));
    }
    return 1;
}

HWND OpenContainerWindow() {
    WNDCLASSA container{};
    container.lpfnWndProc = ContainerProc;
    container.hInstance = GetModuleHandleA(nullptr);
    container.lpszClassName = "WebTestContainer";
    RegisterClassA(&container);  // once a process; later calls fail harmlessly
    return CreateWindowExA(0, "WebTestContainer", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           nullptr, nullptr);
}

}  // namespace

// The host acts on WM_FORWARDMSG as ATL's does, reading lParam as the
// address of a MSG: only this thread's own sends reach it, and only with a
// whole MSG there for a window inside the host. Another thread's send of any
// kind, with the address of a real message of this thread, is refused
// without a read; so is this thread's own send made while it serves another
// thread's send, which the system reports as that thread's. A posted one
// with an address that is no message of this thread is refused; the pump
// dispatches no posted one at all.
TEST(WebGadgetStandInForwardedKeys, OnlyThisThreadsOwnSendsReachTheHost) {
    StandInWeb web(20);
    ASSERT_NE(web.browser, nullptr);
    HWND host = GadgetID(20);
    MSG key{host, WM_KEYDOWN, 'K', 0, 0, {0, 0}};
    auto address = reinterpret_cast<LPARAM>(&key);
    HWND container = OpenContainerWindow();
    ASSERT_NE(container, nullptr);
    containerHost = host;
    MSG outside{container, WM_KEYDOWN, 'K', 0, 0, {0, 0}};
    // A MSG whose second half lies in a page that may not be read.
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    auto* pages = static_cast<BYTE*>(
        VirtualAlloc(nullptr, 2 * system.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    BYTE* cut = pages + system.dwPageSize - sizeof(MSG) / 2;
    std::memcpy(cut, &key, sizeof(MSG) / 2);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &old));

    struct Case {
        const char* how;
        std::function<void()> forward;
        bool reaches;
    };
    const Case cases[] = {
        {"this thread's send", [&] { SendMessageA(host, kForwardMessage, 0, address); }, true},
        {"this thread's send inside another thread's send",
         [&] {
             FromAnotherThread([container] {
                 DWORD_PTR answer = 0;
                 SendMessageTimeoutA(container, kRunAContainerLoop, 0, 0, SMTO_NORMAL, 5000, &answer);
             });
         },
         false},
        {"this thread's send of a message for a window outside the host",
         [&] { SendMessageA(host, kForwardMessage, 0, reinterpret_cast<LPARAM>(&outside)); }, false},
        {"this thread's send of a message cut by a page that may not be read",
         [&] { SendMessageA(host, kForwardMessage, 0, reinterpret_cast<LPARAM>(cut)); }, false},
        {"another thread's SendMessage",
         [&] {
             FromAnotherThread([host, address] {
                 DWORD_PTR answer = 0;
                 SendMessageTimeoutA(host, kForwardMessage, 0, address, SMTO_NORMAL, 5000, &answer);
             });
         },
         false},
        {"another thread's SendNotifyMessage",
         [&] { FromAnotherThread([host, address] { SendNotifyMessageA(host, kForwardMessage, 0, address); }); },
         false},
        {"another thread's SendMessageCallback",
         [&] {
             FromAnotherThread([host, address] {
                 SendMessageCallbackA(host, kForwardMessage, 0, address, IgnoreTheAnswer, 0);
             });
         },
         false},
    };
    for (const Case& c : cases) {
        Drain();
        web.standIn.clearLog();
        c.forward();
        EXPECT_EQ(web.standIn.Calls("WM_FORWARDMSG"), c.reaches ? kForwardedK : std::vector<std::string>{})
            << c.how;
    }

    // Posted with addresses that hold no message of this thread, dispatched
    // by a plain loop; and posted with a valid one, taken by the pump.
    web.standIn.clearLog();
    for (LPARAM bad : {LPARAM{8}, LPARAM{0x7FFE0000}, LPARAM{-1}, LPARAM{0}}) {
        ASSERT_TRUE(PostMessageA(host, kForwardMessage, 0, bad));
        for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
    }
    EXPECT_TRUE(web.standIn.Calls("WM_FORWARDMSG").empty()) << "a posted forward reached the host";
    ASSERT_TRUE(PostMessageA(host, kForwardMessage, 0, address));
    while (WINDOWEVENT() != 0 || EventStackCount() > 0) {
    }
    EXPECT_TRUE(web.standIn.Calls("WM_FORWARDMSG").empty()) << "the pump dispatched a posted forward";
    DestroyWindow(container);
    VirtualFree(pages, 0, MEM_RELEASE);
    Drain();
    DestroyWindow(web.window);
}
