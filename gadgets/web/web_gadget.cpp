// The web gadget: a WebBrowser control hosted in an "AtlAxWin" window of the
// ATL hosting library, driven through its IWebBrowser2 interface.
#include "gadgets/events/message_checks.h"
#include "gadgets/gadgets.h"
#include "gadgets/web/page_keys.h"

#include <commctrl.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <vector>

// The ambient properties of ATL's control host, as atl.dll publishes them
// (atliface.idl); only the doc-host flags are used here. Declared outside
// the unnamed namespace, as the system's headers declare interfaces: the
// compiler would take an interface that no class of the program implements
// there for one that is never called.
struct IAxWinAmbientDispatch : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE put_AllowWindowlessActivation(VARIANT_BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AllowWindowlessActivation(VARIANT_BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ForeColor(OLE_COLOR) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ForeColor(OLE_COLOR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_LocaleID(LCID) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LocaleID(LCID*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UserMode(VARIANT_BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserMode(VARIANT_BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DisplayAsDefault(VARIANT_BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DisplayAsDefault(VARIANT_BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Font(IFontDisp*) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Font(IFontDisp**) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_MessageReflect(VARIANT_BOOL) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MessageReflect(VARIANT_BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ShowGrabHandles(VARIANT_BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ShowHatching(VARIANT_BOOL*) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DocHostFlags(DWORD) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DocHostFlags(DWORD*) = 0;
    // DocHostDoubleClickFlags, AllowContextMenu, AllowShowUI and
    // OptionKeyPath follow; they are not called.
};
constexpr IID kIID_IAxWinAmbientDispatch = {
    0xb6ea2051, 0x048a, 0x11d1, {0x82, 0xb9, 0x00, 0xc0, 0x4f, 0xb9, 0x94, 0x2e}};

namespace gadgets {

namespace {

using AtlAxWinInitProc = BOOL(WINAPI*)();
using AtlAxGetControlProc = HRESULT(WINAPI*)(HWND, IUnknown**);
using AtlAxGetHostProc = HRESULT(WINAPI*)(HWND, IUnknown**);

// A host that draws for the system DPI says so, or the control draws its
// pages for 96 DPI: small text at 150 %. The host hands its flags to the
// control with every document (IDocHostUIHandler::GetHostInfo). In a
// process that is not DPI-aware the system tells the control 96 DPI, so the
// flag changes nothing there; every web gadget therefore gets it. A host
// without these properties (Wine's answers E_NOINTERFACE) goes on as it is.
void TellTheControlTheHostIsDpiAware(HMODULE atl, HWND host) {
    auto getHost = reinterpret_cast<AtlAxGetHostProc>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetHost")));
    IUnknown* site = nullptr;
    if (getHost == nullptr || FAILED(getHost(host, &site)) || site == nullptr) return;
    IAxWinAmbientDispatch* ambient = nullptr;
    if (SUCCEEDED(site->QueryInterface(kIID_IAxWinAmbientDispatch, reinterpret_cast<void**>(&ambient))) &&
        ambient != nullptr) {
        DWORD flags = 0;
        if (SUCCEEDED(ambient->get_DocHostFlags(&flags))) {
            ambient->put_DocHostFlags(flags | DOCHOSTUIFLAG_DPI_AWARE);
        }
        ambient->Release();
    }
    site->Release();
}

// The hosting library from the system folder only. Loaded by its bare name
// it would be looked for in the program's own folder first, and a DLL of
// that name planted beside the program (a downloads folder) would run. Its
// own imports are looked for beside it, in the system folder, too.
HMODULE LoadSystemAtl() {
    static constexpr char kName[] = "\\atl.dll";
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + sizeof kName > sizeof path) return nullptr;
    CopyMemory(path + length, kName, sizeof kName);
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The web gadgets' host windows with their browsers, for the keys that the
// pump offers to the control. A host is dropped once its window is gone.
struct HostedBrowser {
    HWND host;
    IWebBrowser2* browser;
};
std::vector<HostedBrowser> hostedBrowsers;

// Takes the place of a host that is gone, else a new one.
void RememberHost(HWND host, IWebBrowser2* browser) {
    for (HostedBrowser& hosted : hostedBrowsers) {
        if (hosted.host == host || !IsWindow(hosted.host)) {
            hosted = HostedBrowser{host, browser};
            return;
        }
    }
    hostedBrowsers.push_back(HostedBrowser{host, browser});
}

// Whether the host may hand on the forward carrying `address`: the host reads
// it as a MSG and offers that message to the control. Only from this thread,
// outside any other thread's send, with a whole MSG there, for a window of
// this thread inside the host.
bool IsOwnForward(HWND host, LPARAM address) {
    const auto* message = reinterpret_cast<const MSG*>(address);
    if (InAnotherThreadsSend() || !IsReadable(message, sizeof *message)) return false;
    HWND window = message->hwnd;
    return IsWindowOfThisThread(window) && (window == host || IsChild(host, window));
}

LRESULT CALLBACK RefuseForeignForwards(HWND host, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR) {
    if (message == kForwardMessage && !IsOwnForward(host, lParam)) return 0;  // not translated
    return DefSubclassProc(host, message, wParam, lParam);
}

// A BSTR made for one call from the caller's wide string, freed with the call.
class CallString {
public:
    explicit CallString(const wchar_t* text) : text_(SysAllocString(text)) {}
    ~CallString() { SysFreeString(text_); }
    CallString(const CallString&) = delete;
    CallString& operator=(const CallString&) = delete;
    BSTR get() const { return text_; }

private:
    BSTR text_;
};

}  // namespace

IWebBrowser2* WEBGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        std::string url, uint32_t style, uint32_t exStyle) {
    // Loaded at every creation and never freed: the hosted controls live on it.
    HMODULE atl = LoadSystemAtl();
    if (atl == nullptr) return nullptr;
    auto init = reinterpret_cast<AtlAxWinInitProc>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<AtlAxGetControlProc>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    if (init == nullptr || getControl == nullptr || !init()) return nullptr;

    HWND host = CreateWindowExA(exStyle, "AtlAxWin", url.c_str(), style | WS_CHILD | WS_VISIBLE, x,
                                y, width, height, GETGURRENTAL(),
                                reinterpret_cast<HMENU>(static_cast<intptr_t>(number)), nullptr,
                                nullptr);
    if (host == nullptr) return nullptr;
    SetWindowSubclass(host, RefuseForeignForwards, 0, 0);

    IUnknown* control = nullptr;
    IWebBrowser2* browser = nullptr;
    if (SUCCEEDED(getControl(host, &control)) && control != nullptr) {
        control->AddRef();
        if (FAILED(control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
            browser = nullptr;
        }
        if (browser != nullptr) browser->AddRef();
        control->Release();
        // The reference AtlAxGetControl handed out is kept with the browser
        // for the whole run; a control that is no browser gets it back.
        if (browser == nullptr) control->Release();
    }
    if (browser == nullptr) {
        // A host without a browser serves nobody: it goes, and nothing is registered.
        DestroyWindow(host);
        return nullptr;
    }
    // Before the caller's first navigation.
    TellTheControlTheHostIsDpiAware(atl, host);
    ADDIN9999(number, host);
    RememberHost(host, browser);
    return browser;
}

IWebBrowser2* BrowserHolding(HWND window) {
    if (hostedBrowsers.empty()) return nullptr;
    for (HWND inside = window; inside != nullptr; inside = GetParent(inside)) {
        for (const HostedBrowser& hosted : hostedBrowsers) {
            if (hosted.host == inside) return hosted.browser;
        }
    }
    return nullptr;
}

int32_t WEBGADGETNAVIGATE(IWebBrowser2* browser, const wchar_t* url) {
    if (browser == nullptr || url == nullptr || url[0] == L'\0') return 0;
    CallString address(url);
    return browser->Navigate(address.get(), nullptr, nullptr, nullptr, nullptr);
}

int32_t WEBGADGETGOBACK(IWebBrowser2* browser) {
    return browser != nullptr ? browser->GoBack() : 0;
}

int32_t WEBGADGETGOFORWARD(IWebBrowser2* browser) {
    return browser != nullptr ? browser->GoForward() : 0;
}

int32_t WEBGADGETREFRESH(IWebBrowser2* browser) {
    return browser != nullptr ? browser->Refresh() : 0;
}

int32_t WEBGADGETSTOP(IWebBrowser2* browser) {
    return browser != nullptr ? browser->Stop() : 0;
}

std::string WEBGADGETGETURL(IWebBrowser2* browser) {
    if (browser == nullptr) return std::string();
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location))) location = nullptr;
    // Narrowed unit by unit, not through the code page: what fits in a byte
    // stays, everything else (a surrogate pair as one character) becomes "?".
    std::string narrow;
    for (const wchar_t* unit = location; unit != nullptr && *unit != L'\0'; ++unit) {
        if (*unit < 256) {
            narrow += static_cast<char>(*unit);
        } else {
            narrow += '?';
            if (IS_HIGH_SURROGATE(unit[0]) && IS_LOW_SURROGATE(unit[1])) ++unit;
        }
    }
    SysFreeString(location);
    return narrow;
}

int32_t WEBGADGETSTATE(IWebBrowser2* browser) {
    if (browser == nullptr) return 0;
    VARIANT_BOOL busy = VARIANT_FALSE;
    if (FAILED(browser->get_Busy(&busy))) return 0;
    return busy != VARIANT_FALSE ? 0xFFFF : 0;
}

}  // namespace gadgets
