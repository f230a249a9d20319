// The web gadget on Wine's own WebBrowser control (Wine's atl.dll hosting
// ieframe's control). This prefix has no HTML engine: the control really
// fetches pages over HTTP but never gets a document for them. The pages come
// from a loopback server that each test runs itself; no other address is ever
// contacted (the only other address used is about:blank).
#include "test_support.h"

#include "gadgets/events/event_state.h"

#include <exdisp.h>
#include <gtest/gtest.h>
#include <winsock2.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

// ---- The loopback HTTP server ------------------------------------------------

// One request as the server received it.
struct Request {
    std::string line;     // the request line, as sent
    std::string method;
    std::string path;     // the target exactly as it came
    std::string version;
    bool clientLeftFirst = false;  // the client had hung up before the answer went out
};

// Listens on 127.0.0.1 at a port of the system's choosing and answers every
// request with a small HTML page (HTTP/1.0, Connection: close), one thread a
// connection. Every request is logged before it is answered. While held, the
// answers wait until the test releases them.
class LoopbackServer {
public:
    LoopbackServer() {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        changed_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int length = sizeof address;
        if (!started_ || listener_ == INVALID_SOCKET ||
            bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 16) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }

    ~LoopbackServer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        released_.notify_all();
        if (listener_ != INVALID_SOCKET) closesocket(listener_);  // ends the blocked accept
        if (acceptor_.joinable()) acceptor_.join();
        for (std::thread& connection : connections_) connection.join();
        CloseHandle(changed_);
        if (started_) WSACleanup();
    }

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Listening() const { return port_ != 0; }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::wstring WideUrl(const std::wstring& path) const {
        std::string root = Url("");
        return std::wstring(root.begin(), root.end()) + path;
    }

    // Signalled whenever a request arrives or an answer leaves.
    HANDLE Changed() const { return changed_; }

    std::vector<Request> Requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (const Request& request : Requests()) paths.push_back(request.path);
        return paths;
    }
    bool Answered(const std::string& path) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& answered : answered_) {
            if (answered == path) return true;
        }
        return false;
    }
    // Requests waiting for their answer while the server holds.
    int Held() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_;
    }

    void Hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        holding_ = true;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            holding_ = false;
        }
        released_.notify_all();
    }

private:
    void AcceptLoop() {
        for (;;) {
            SOCKET connection = accept(listener_, nullptr, nullptr);
            if (connection == INVALID_SOCKET) return;
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                closesocket(connection);
                return;
            }
            connections_.emplace_back([this, connection] { Serve(connection); });
        }
    }

    static Request Parse(const std::string& head) {
        Request request;
        request.line = head.substr(0, head.find("\r\n"));
        size_t first = request.line.find(' ');
        size_t last = request.line.rfind(' ');
        if (first != std::string::npos && last > first) {
            request.method = request.line.substr(0, first);
            request.path = request.line.substr(first + 1, last - first - 1);
            request.version = request.line.substr(last + 1);
        }
        return request;
    }

    // Whether the client has closed its end: readable, with nothing to read.
    static bool ClientGone(SOCKET connection) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(connection, &readable);
        timeval now{0, 0};
        if (select(0, &readable, nullptr, nullptr, &now) != 1) return false;
        char byte;
        return recv(connection, &byte, 1, MSG_PEEK) <= 0;
    }

    void Serve(SOCKET connection) {
        DWORD receiveTimeoutMs = 10000;
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO,
                   reinterpret_cast<const char*>(&receiveTimeoutMs), sizeof receiveTimeoutMs);
        std::string head;
        char buffer[1024];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            int got = recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head.append(buffer, got);
        }
        Request request = Parse(head);
        size_t index;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            index = requests_.size();
            requests_.push_back(request);
            ++held_;
            SetEvent(changed_);
            released_.wait(lock, [this] { return !holding_ || stopping_; });
            --held_;
        }
        bool gone = ClientGone(connection);
        std::string body = "<html><head><title>test page</title></head><body><p>page " +
                           request.path + "</p></body></html>";
        std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        send(connection, answer.data(), static_cast<int>(answer.size()), 0);
        shutdown(connection, SD_SEND);
        closesocket(connection);
        std::lock_guard<std::mutex> lock(mutex_);
        requests_[index].clientLeftFirst = gone;
        answered_.push_back(request.path);
        SetEvent(changed_);
    }

    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    HANDLE changed_ = nullptr;
    std::thread acceptor_;
    std::vector<std::thread> connections_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::vector<Request> requests_;
    std::vector<std::string> answered_;
    int held_ = 0;
    bool holding_ = false;
    bool stopping_ = false;
};

// ---- Waiting -------------------------------------------------------------------

// Runs the library's pump until `done` holds or the deadline passes. The
// control does its work in messages posted to this thread, so the pump must
// run while waiting; `alsoWakeOn` (the server's signal) wakes the wait when
// something happens on the server's side.
bool PumpFor(const std::function<bool()>& done, HANDLE alsoWakeOn = nullptr,
             int timeoutMs = 10000) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        int elapsed = static_cast<int>(GetTickCount() - start);
        if (elapsed > timeoutMs) return false;
        MSG waiting;
        if (EventStackCount() > 0 || PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) {
            WINDOWEVENT();
            continue;
        }
        MsgWaitForMultipleObjectsEx(alsoWakeOn != nullptr ? 1 : 0, &alsoWakeOn,
                                    static_cast<DWORD>(timeoutMs - elapsed), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

bool markerArrived = false;

LRESULT CALLBACK MarkerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) markerArrived = true;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MarkerWindow() {
    static HWND window = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = MarkerProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "WineBrowserTestMarker";
        RegisterClassA(&windowClass);
        return CreateWindowExA(0, "WineBrowserTestMarker", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, windowClass.hInstance, nullptr);
    }();
    return window;
}

// Lets everything that the control has posted to this thread so far run: a
// marker is posted behind it and the pump runs until the marker comes out.
bool Settle() {
    markerArrived = false;
    PostMessageA(MarkerWindow(), WM_APP, 0, 0);
    return PumpFor([] { return markerArrived; });
}

// ---- Reading the control -------------------------------------------------------

// The location as the control itself gives it.
std::wstring RawLocation(IWebBrowser2* browser) {
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location)) || location == nullptr) return L"";
    std::wstring text(location, SysStringLen(location));
    SysFreeString(location);
    return text;
}

struct BusyReading {
    int32_t state;       // WEBGADGETSTATE
    HRESULT rawResult;   // get_Busy's own result ...
    VARIANT_BOOL raw;    // ... and value
};

BusyReading ReadBusy(IWebBrowser2* browser) {
    BusyReading reading{WEBGADGETSTATE(browser), E_FAIL, VARIANT_FALSE};
    reading.rawResult = browser->get_Busy(&reading.raw);
    return reading;
}

// The control's reference count, by a balanced AddRef and Release.
ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// The control hosted in `host`, asked from the hosting library directly.
IWebBrowser2* HostedBrowser(HWND host) {
    using GetControl = HRESULT(WINAPI*)(HWND, IUnknown**);
    auto getControl = reinterpret_cast<GetControl>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryA(SystemAtlPath().c_str()), "AtlAxGetControl")));
    IUnknown* control = nullptr;
    if (getControl == nullptr || FAILED(getControl(host, &control)) || control == nullptr) {
        return nullptr;
    }
    IWebBrowser2* browser = nullptr;
    if (FAILED(control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
        browser = nullptr;
    }
    control->Release();
    if (browser != nullptr) browser->Release();  // only compared, never used
    return browser;
}

// Wine's AtlAxWinInit registers the "AtlAxWin" class at every call and
// returns FALSE when the class is there already (ERROR_CLASS_ALREADY_EXISTS),
// so after the first web gadget of a process WEBGADGET refuses every other
// one. A test that makes another takes the class away first, once no host
// window is left: the state in which a fresh process starts.
bool FreeHostClass() {
    WNDCLASSA existing;
    if (!GetClassInfoA(GetModuleHandleA(nullptr), "AtlAxWin", &existing)) return true;
    return UnregisterClassA("AtlAxWin", GetModuleHandleA(nullptr)) != 0;
}

// The host windows of the web gadgets under `parent`.
int HostsUnder(HWND parent) {
    int count = 0;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (GETCLASSNAME_(child) == "AtlAxWin") ++count;
    }
    return count;
}

std::string WindowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string Hex(int32_t code) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

// Gadget numbers of their own for every web gadget in the process.
int32_t FreshNumber() {
    static int32_t next = 700;
    return next++;
}

// A window opened by the library with a web gadget on Wine's control under a
// fresh number, showing about:blank, and a loopback server of its own.
class WebGadgetOnWine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Listening()) << "the loopback server could not listen";
        window_ = OpenTestWindow("wine browser test");
        ASSERT_NE(window_, nullptr);
        number_ = FreshNumber();
        ASSERT_TRUE(FreeHostClass()) << "a host window of another test is still there";
        browser_ = WEBGADGET(number_, 0, 0, 360, 240, "about:blank", 0, 0);
        ASSERT_NE(browser_, nullptr) << "no browser from Wine's control";
        ASSERT_TRUE(Settle());
    }

    void TearDown() override {
        server_.Release();
        if (IsWindow(window_)) DestroyWindow(window_);
        Drain();
    }

    // Navigates to `path` on the server and waits until the server has
    // answered it and the control has taken in what it posted meanwhile.
    void Load(const std::string& path) {
        std::string url = server_.Url(path);
        std::wstring wide(url.begin(), url.end());
        ASSERT_EQ(WEBGADGETNAVIGATE(browser_, wide.c_str()), S_OK) << url;
        ASSERT_TRUE(PumpFor([&] { return server_.Answered(path); }, server_.Changed()))
            << "never answered: " << url;
        ASSERT_TRUE(Settle());
    }

    LoopbackServer server_;
    HWND window_ = nullptr;
    int32_t number_ = 0;
    IWebBrowser2* browser_ = nullptr;
};

}  // namespace

// ---- Creation -------------------------------------------------------------------

TEST(WineBrowserCreation, HostWindowUnderTheCurrentGadgetListWithTheNumberAsIdentifier) {
    HWND first = OpenTestWindow("first list");
    HWND second = OpenTestWindow("second list");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);

    struct Case {
        const char* what;
        HWND list;  // made the current gadget list before the creation
        int32_t x, y, width, height;
        uint32_t style, exStyle;
    };
    const Case cases[] = {
        {"plain, under the last opened window", second, 0, 0, 320, 240, 0, 0},
        {"the program's scroll bars and edge, under a list chosen again", first, 10, 50, 300,
         200, WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE},
        {"bordered, with a thin edge", second, 5, 7, 200, 150, WS_BORDER | WS_CLIPCHILDREN,
         WS_EX_STATICEDGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(FreeHostClass());
        UseGadgetList(c.list);
        ASSERT_EQ(GETGURRENTAL(), c.list);
        int32_t number = FreshNumber();
        IWebBrowser2* browser =
            WEBGADGET(number, c.x, c.y, c.width, c.height, "about:blank", c.style, c.exStyle);
        ASSERT_NE(browser, nullptr);

        HWND host = GadgetID(number);
        ASSERT_NE(host, nullptr) << "gadget " << number << " not registered";
        EXPECT_EQ(GETCLASSNAME_(host), "AtlAxWin");
        EXPECT_EQ(GetParent(host), c.list);
        EXPECT_EQ(GetWindowLongPtrA(host, GWLP_ID), number);
        EXPECT_EQ(ID_In_Number(host), number);
        uint32_t style = static_cast<uint32_t>(GetWindowLongA(host, GWL_STYLE));
        uint32_t wanted = c.style | WS_CHILD | WS_VISIBLE;
        EXPECT_EQ(style & wanted, wanted) << "style " << Hex(style) << ", wanted " << Hex(wanted);
        uint32_t exStyle = static_cast<uint32_t>(GetWindowLongA(host, GWL_EXSTYLE));
        EXPECT_EQ(exStyle & c.exStyle, c.exStyle) << "extended style " << Hex(exStyle);
        EXPECT_EQ(GADGETX(number), c.x);
        EXPECT_EQ(GADGETY(number), c.y);
        EXPECT_EQ(GADGETWIDTH(number), c.width);
        EXPECT_EQ(GADGETHEIGHT(number), c.height);
        EXPECT_EQ(WindowText(host), "about:blank") << "the start address is the window's name";
        EXPECT_EQ(HostedBrowser(host), browser) << "the result is not the control in the host";
        EXPECT_EQ(WEBGADGETGETURL(browser), "about:blank");
        FREEGADGET(number);
        EXPECT_FALSE(IsWindow(host)) << "the host outlived its gadget";
    }
    DestroyWindow(second);
    DestroyWindow(first);
}

// With Wine's hosting library a second web gadget in the process fails at
// AtlAxWinInit: WEBGADGET gives 0, creates no window and leaves the table as
// it was, the gadget already under the number included. Once the class is
// gone again, the number takes a new web gadget in place of the old one.
TEST(WineBrowserCreation, SecondGadgetIsRefusedWhileTheHostClassIsRegistered) {
    HWND window = OpenTestWindow("second web gadget");
    ASSERT_TRUE(FreeHostClass());
    int32_t number = FreshNumber();
    IWebBrowser2* first = WEBGADGET(number, 0, 0, 300, 200, "about:blank", 0, 0);
    ASSERT_NE(first, nullptr);
    HWND firstHost = GadgetID(number);
    ASSERT_TRUE(IsWindow(firstHost));

    struct Case {
        const char* what;
        int32_t number;
    };
    int32_t otherNumber = FreshNumber();
    for (const Case& c : {Case{"same number", number}, Case{"another number", otherNumber}}) {
        EXPECT_EQ(WEBGADGET(c.number, 20, 30, 250, 150, "about:blank", 0, 0), nullptr) << c.what;
        EXPECT_EQ(HostsUnder(window), 1) << c.what << ": a host window was created";
        EXPECT_EQ(GadgetID(number), firstHost) << c.what;
        EXPECT_TRUE(IsWindow(firstHost)) << c.what;
        EXPECT_EQ(GadgetID(otherNumber), nullptr) << c.what;
    }
    EXPECT_EQ(HostedBrowser(firstHost), first) << "the first gadget's control is gone";

    FREEGADGET(number);
    ASSERT_TRUE(FreeHostClass());
    IWebBrowser2* again = WEBGADGET(number, 20, 30, 250, 150, "about:blank", 0, 0);
    ASSERT_NE(again, nullptr);
    HWND newHost = GadgetID(number);
    EXPECT_TRUE(IsWindow(newHost));
    EXPECT_EQ(HostsUnder(window), 1);
    EXPECT_EQ(HostedBrowser(newHost), again);
    EXPECT_EQ(ID_In_Number(newHost), number);
    EXPECT_EQ(GADGETX(number), 20);
    EXPECT_EQ(GADGETWIDTH(number), 250);
    DestroyWindow(window);
}

TEST(WineBrowserCreation, StartAddressIsFetchedByTheControl) {
    LoopbackServer server;
    ASSERT_TRUE(server.Listening());
    HWND window = OpenTestWindow("web gadget with a start address");
    ASSERT_TRUE(FreeHostClass());
    std::string start = server.Url("/start/page?from=creation");
    IWebBrowser2* browser = WEBGADGET(FreshNumber(), 0, 0, 300, 200, start, 0, 0);
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(PumpFor([&] { return server.Answered("/start/page?from=creation"); },
                        server.Changed()))
        << "requests: " << ::testing::PrintToString(server.Paths());
    ASSERT_TRUE(Settle());
    EXPECT_EQ(server.Paths(), std::vector<std::string>{"/start/page?from=creation"});
    EXPECT_EQ(WEBGADGETGETURL(browser), start);
    DestroyWindow(window);
}

// The web gadget tells the control's host that it draws for the system DPI
// through ATL's ambient properties, which Wine's host does not have: the
// gadget is made and navigates all the same.
TEST(WineBrowserCreation, AHostWithoutAmbientPropertiesStillGivesAWorkingGadget) {
    LoopbackServer server;
    ASSERT_TRUE(server.Listening());
    HWND window = OpenTestWindow("web gadget, Wine's host");
    ASSERT_TRUE(FreeHostClass());
    int32_t number = FreshNumber();
    IWebBrowser2* browser = WEBGADGET(number, 0, 0, 300, 200, "about:blank", 0, 0);
    ASSERT_NE(browser, nullptr);
    using GetHost = HRESULT(WINAPI*)(HWND, IUnknown**);
    auto getHost = reinterpret_cast<GetHost>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("atl.dll"), "AtlAxGetHost")));
    ASSERT_NE(getHost, nullptr) << "Wine's atl.dll has no AtlAxGetHost";
    IUnknown* host = nullptr;
    ASSERT_EQ(getHost(GadgetID(number), &host), S_OK);
    ASSERT_NE(host, nullptr);
    const IID ambientDispatch = {0xb6ea2051, 0x048a, 0x11d1, {0x82, 0xb9, 0x00, 0xc0, 0x4f, 0xb9, 0x94, 0x2e}};
    IUnknown* ambient = nullptr;
    EXPECT_EQ(host->QueryInterface(ambientDispatch, reinterpret_cast<void**>(&ambient)), E_NOINTERFACE)
        << "Wine's host has the ambient properties after all: the stand-in no longer models it";
    if (ambient != nullptr) ambient->Release();
    host->Release();

    std::wstring address = server.WideUrl(L"/after/the/dpi/step");
    EXPECT_EQ(WEBGADGETNAVIGATE(browser, address.c_str()), S_OK);
    EXPECT_TRUE(PumpFor([&] { return server.Answered("/after/the/dpi/step"); }, server.Changed()))
        << "requests: " << ::testing::PrintToString(server.Paths());
    DestroyWindow(window);
}

// ---- COM apartment --------------------------------------------------------------

// The library initialises no COM of its own; Wine's AtlAxWinInit does it
// (OleInitialize), so neither the program nor the tests need to. This suite
// has the process to itself: nothing else has touched COM before it.
TEST(WineBrowserApartment, HostingLibraryEntersTheThreadIntoAnApartment) {
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    ASSERT_EQ(CoGetApartmentType(&type, &qualifier), CO_E_NOTINITIALIZED)
        << "COM was initialised before the first web gadget; this suite needs a process of its "
           "own";

    HWND window = OpenTestWindow("apartment");
    IWebBrowser2* browser = WEBGADGET(FreshNumber(), 0, 0, 300, 200, "about:blank", 0, 0);
    ASSERT_NE(browser, nullptr) << "the control could not be created without OleInitialize";

    ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_TRUE(type == APTTYPE_MAINSTA || type == APTTYPE_STA) << "apartment type " << type;
    // Already initialised, single-threaded: OLE says so and counts one more.
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    OleUninitialize();
    DestroyWindow(window);
}

// ---- Navigation, busy and location ------------------------------------------------

using WineBrowserNavigation = WebGadgetOnWine;

TEST_F(WineBrowserNavigation, ExactRequestLocationAndBusyWhileTheAnswerIsHeld) {
    const std::string path = "/some/path?q=1";
    const std::string url = server_.Url(path);
    const std::wstring wide(url.begin(), url.end());

    // Busy as the library reports it next to what the control itself says.
    auto expectBusy = [&](const char* when) {
        BusyReading busy = ReadBusy(browser_);
        EXPECT_EQ(busy.rawResult, S_OK) << when;
        EXPECT_EQ(busy.state, busy.raw != VARIANT_FALSE ? 0xFFFF : 0)
            << when << ": the control's busy value is " << busy.raw;
        // Wine's control never reports busy: its get_Busy stays VARIANT_FALSE
        // even while its request waits for the answer.
        EXPECT_EQ(busy.state, 0) << when;
    };

    expectBusy("on the blank start page");
    server_.Hold();
    ASSERT_EQ(WEBGADGETNAVIGATE(browser_, wide.c_str()), S_OK);
    expectBusy("just after the navigation");
    ASSERT_TRUE(PumpFor([&] { return server_.Held() == 1; }, server_.Changed()))
        << "the request never came";

    std::vector<Request> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET") << requests[0].line;
    EXPECT_EQ(requests[0].path, path) << requests[0].line;
    EXPECT_TRUE(requests[0].version == "HTTP/1.0" || requests[0].version == "HTTP/1.1")
        << requests[0].line;
    EXPECT_EQ(requests[0].line, "GET " + path + " " + requests[0].version);
    // The location is the new address as soon as the control has started.
    EXPECT_EQ(WEBGADGETGETURL(browser_), url) << "while the answer is held";
    expectBusy("while the answer is held");

    server_.Release();
    ASSERT_TRUE(PumpFor([&] { return server_.Answered(path); }, server_.Changed()));
    ASSERT_TRUE(Settle());
    expectBusy("after the answer");
    EXPECT_EQ(WEBGADGETGETURL(browser_), url) << "after the answer";
    EXPECT_EQ(server_.Paths(), std::vector<std::string>{path}) << "one request, no other";
}

TEST_F(WineBrowserNavigation, EmptyOrNullAddressReturnsZeroAndSendsNothing) {
    Load("/before");
    ASSERT_FALSE(HasFatalFailure());
    const std::string before = server_.Url("/before");
    ASSERT_EQ(WEBGADGETGETURL(browser_), before);

    struct Case {
        const char* what;
        const wchar_t* url;
    };
    for (const Case& c : {Case{"empty string", L""}, Case{"null pointer", nullptr}}) {
        EXPECT_EQ(WEBGADGETNAVIGATE(browser_, c.url), 0) << c.what;
        ASSERT_TRUE(Settle());
        EXPECT_EQ(WEBGADGETGETURL(browser_), before) << c.what << " moved the browser";
    }
    // Navigations reach the server in order: by the time the next real one is
    // answered, anything sent for the empty ones would be in the log.
    Load("/after");
    EXPECT_EQ(server_.Paths(), (std::vector<std::string>{"/before", "/after"}));
}

TEST_F(WineBrowserNavigation, LocationCharactersAboveLatin1ComeBackAsQuestionMarks) {
    // e-acute fits in a byte and stays; Cyrillic zhe does not; the emoji is a
    // surrogate pair and becomes one question mark.
    const std::wstring path = L"/caf\u00E9/\u0436\U0001F600/end";
    const std::wstring url = server_.WideUrl(path);
    ASSERT_EQ(WEBGADGETNAVIGATE(browser_, url.c_str()), S_OK);
    ASSERT_TRUE(PumpFor([&] { return RawLocation(browser_) == url; }, server_.Changed()))
        << "the control's location never became the address asked for";
    EXPECT_EQ(WEBGADGETGETURL(browser_), server_.Url("/caf\xE9/?" "?/end"));
    // Whatever the control made of the path on the wire, let its answer come
    // in before the window goes.
    ASSERT_TRUE(PumpFor([&] { return server_.Requests().size() == 1 &&
                                     server_.Answered(server_.Requests()[0].path); },
                        server_.Changed()));
}

// ---- History, refresh and stop -------------------------------------------------------

using WineBrowserHistory = WebGadgetOnWine;

// Without an HTML engine Wine's control keeps no history and has no document
// to refresh: each of these fails with E_FAIL, which the library returns as
// the control gave it, and nothing is fetched again.
TEST_F(WineBrowserHistory, BackForwardAndRefreshAfterTwoPagesFailAndFetchNothing) {
    Load("/history/first");
    Load("/history/second");
    ASSERT_FALSE(HasFatalFailure());
    const std::string second = server_.Url("/history/second");
    ASSERT_EQ(WEBGADGETGETURL(browser_), second);

    struct Step {
        const char* what;
        int32_t (*library)(IWebBrowser2*);
        HRESULT (*control)(IWebBrowser2*);
    };
    const Step steps[] = {
        {"WEBGADGETGOBACK", WEBGADGETGOBACK, [](IWebBrowser2* b) { return b->GoBack(); }},
        {"WEBGADGETGOFORWARD", WEBGADGETGOFORWARD, [](IWebBrowser2* b) { return b->GoForward(); }},
        {"WEBGADGETREFRESH", WEBGADGETREFRESH, [](IWebBrowser2* b) { return b->Refresh(); }},
    };
    for (const Step& step : steps) {
        int32_t code = step.library(browser_);
        EXPECT_EQ(Hex(code), Hex(E_FAIL)) << step.what;
        EXPECT_EQ(Hex(code), Hex(step.control(browser_)))
            << step.what << " does not return the control's own code";
        ASSERT_TRUE(Settle());
        EXPECT_EQ(WEBGADGETGETURL(browser_), second) << "location after " << step.what;
    }
    Load("/history/after");
    EXPECT_EQ(server_.Paths(),
              (std::vector<std::string>{"/history/first", "/history/second", "/history/after"}))
        << "a page was requested again";
}

// Wine's Stop does nothing but answer S_OK: the held request stays open and
// its answer is taken in once released.
TEST_F(WineBrowserHistory, StopAnswersOkAndLeavesTheLoadingPageGoingOn) {
    const std::string path = "/stop/slow";
    const std::string url = server_.Url(path);
    const std::wstring wide(url.begin(), url.end());
    server_.Hold();
    ASSERT_EQ(WEBGADGETNAVIGATE(browser_, wide.c_str()), S_OK);
    ASSERT_TRUE(PumpFor([&] { return server_.Held() == 1; }, server_.Changed()));

    EXPECT_EQ(Hex(WEBGADGETSTOP(browser_)), Hex(S_OK));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(WEBGADGETGETURL(browser_), url) << "after the stop";
    server_.Release();
    ASSERT_TRUE(PumpFor([&] { return server_.Answered(path); }, server_.Changed()));
    ASSERT_TRUE(Settle());

    std::vector<Request> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, path);
    EXPECT_FALSE(requests[0].clientLeftFirst) << "the stop closed the connection";
    EXPECT_EQ(WEBGADGETGETURL(browser_), url) << "after the answer";
    EXPECT_EQ(WEBGADGETSTATE(browser_), 0);
}

// ---- Document body ----------------------------------------------------------------------

using WineBrowserBody = WebGadgetOnWine;

// With no HTML engine the control holds no document, neither on the blank
// start page nor on a fetched page: reading gives "", writing changes nothing,
// and no reference is left behind on the control.
TEST_F(WineBrowserBody, WithoutADocumentReadingGivesEmptyAndWritingChangesNothing) {
    struct Moment {
        const char* what;
        std::function<void()> reach;
    };
    const Moment moments[] = {
        {"blank start page", [] {}},
        {"fetched page", [&] { Load("/body/page"); }},
    };
    for (const Moment& moment : moments) {
        SCOPED_TRACE(moment.what);
        moment.reach();
        ASSERT_FALSE(HasFatalFailure());
        IDispatch* document = nullptr;
        HRESULT result = browser_->get_Document(&document);
        ASSERT_EQ(document, nullptr) << "the control holds a document (result " << Hex(result)
                                     << "); this test needs a prefix without an HTML engine";
        const std::string location = WEBGADGETGETURL(browser_);
        const size_t requests = server_.Requests().size();
        const ULONG references = References(browser_);

        EXPECT_EQ(WEBGADGETGETBODY(browser_, 0), "");
        EXPECT_EQ(WEBGADGETGETBODY(browser_, 1), "");
        WEBGADGETSETBODY(browser_, "<p style=\"color:red\">Привет, мир</p>");
        WEBGADGETSETBODY(browser_, "");
        ASSERT_TRUE(Settle());
        EXPECT_EQ(WEBGADGETGETBODY(browser_, 0), "") << "after writing";
        EXPECT_EQ(WEBGADGETGETBODY(browser_, 1), "") << "after writing";
        EXPECT_EQ(WEBGADGETGETURL(browser_), location);
        EXPECT_EQ(server_.Requests().size(), requests) << "writing the body fetched something";
        // The control drops references of its own as a finished load winds
        // down, so the count may fall meanwhile; a reference left by the
        // calls above would raise it.
        EXPECT_LE(References(browser_), references) << "a reference on the control was left";
    }
}

// ---- The null browser object ------------------------------------------------------------

TEST(WineBrowserNullObject, EveryOperationReturnsZeroOrEmpty) {
    struct Operation {
        const char* what;
        std::function<int32_t()> call;
    };
    const Operation operations[] = {
        {"WEBGADGETNAVIGATE", [] { return WEBGADGETNAVIGATE(nullptr, L"about:blank"); }},
        {"WEBGADGETNAVIGATE empty", [] { return WEBGADGETNAVIGATE(nullptr, L""); }},
        {"WEBGADGETGOBACK", [] { return WEBGADGETGOBACK(nullptr); }},
        {"WEBGADGETGOFORWARD", [] { return WEBGADGETGOFORWARD(nullptr); }},
        {"WEBGADGETREFRESH", [] { return WEBGADGETREFRESH(nullptr); }},
        {"WEBGADGETSTOP", [] { return WEBGADGETSTOP(nullptr); }},
        {"WEBGADGETSTATE", [] { return WEBGADGETSTATE(nullptr); }},
    };
    for (const Operation& operation : operations) {
        EXPECT_EQ(operation.call(), 0) << operation.what;
    }
    EXPECT_EQ(WEBGADGETGETURL(nullptr), "");
    EXPECT_EQ(WEBGADGETGETBODY(nullptr, 0), "");
    EXPECT_EQ(WEBGADGETGETBODY(nullptr, 1), "");
    WEBGADGETSETBODY(nullptr, "<p>nowhere</p>");  // must simply return
    EXPECT_EQ(WEBGADGETGETBODY(nullptr, 0), "");
}

