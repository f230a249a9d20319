// The web gadget: a WebBrowser control hosted in an "AtlAxWin" window of the
// ATL hosting library, driven through its IWebBrowser2 interface.
#include "gadgets/gadgets.h"
#include "gadgets/web/page_keys.h"

#include <exdisp.h>

#include <vector>

namespace gadgets {

namespace {

using AtlAxWinInitProc = BOOL(WINAPI*)();
using AtlAxGetControlProc = HRESULT(WINAPI*)(HWND, IUnknown**);

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
