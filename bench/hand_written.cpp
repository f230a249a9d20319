// The program's window written by hand in plain Win32 and COM, with no gadget
// library: the launch benchmark's yardstick for what the library costs over
// what the window's contents cost. It makes what the program makes at start,
// in the program's order and with the same styles, places and colours:
//   - common controls 6 through the program's own manifest and version
//     resource (app/zudizazuz.rc, linked in by bench/CMakeLists.txt), and
//     InitCommonControls plus InitCommonControlsEx(ICC_STANDARD_CLASSES);
//   - the main window "Zudizazuz", 735 by 600, created at (10, 10) with
//     WS_OVERLAPPEDWINDOW | WS_VISIBLE and then centred;
//   - the WebBrowser control hosted by the system folder's atl.dll (full
//     path): AtlAxWinInit, an "AtlAxWin" child showing "about:blank", the
//     control's IWebBrowser2 holding the same references as the program's,
//     and an IDispatch-only sink on DWebBrowserEvents2;
//   - the same four accelerator shortcuts and the same two 10 ms timers (the
//     banner timer writes the start banner once the browser is idle, the
//     resize timer fits the browser to the window);
//   - the label, the combo box with the five forums, the keyword box and the
//     OK button; the label and the keyword box in blue text, answered on
//     WM_CTLCOLORSTATIC and WM_CTLCOLOREDIT with solid brushes made once.
// And it does the program's work as the program does it: a search address
// with the keywords as UTF-8 percent-escapes; a new window only for a web
// address that the user's own click or key asked for (never one a page asks
// for as it unloads); and the engine's page after a search checked once it
// has loaded, a refusal going on to the fallback in its place in the
// history, and remembered for the run.
// Built with the product's flags (static, -Os, no exceptions or RTTI, link
// time optimisation, stripped).
//
// Variants for finding where start-up time goes leave one part out each,
// chosen at compile time: HAND_NO_FORM, HAND_NO_COLOURS, HAND_NO_BROWSER,
// HAND_NO_COMMCTRL_INIT (no InitCommonControls calls; the manifest stays),
// HAND_NO_MANIFEST (built without the resource, so common controls 5).
#include <windows.h>

#include <commctrl.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>
#include <shobjidl.h>

#include <cwchar>

namespace {

constexpr int kWebId = 1;
constexpr int kSiteListId = 2;
constexpr int kLabelId = 3;
constexpr int kKeywordBoxId = 4;
constexpr int kOkButtonId = 5;
constexpr UINT_PTR kBannerTimer = 1;
constexpr UINT_PTR kResizeTimer = 2;
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kLabelFace = 0xF0F0F0;
constexpr COLORREF kWhite = 0xFFFFFF;

// Narrow texts are Windows-1251, as the program's are.
constexpr const char* kPlaceholder = "Введите текст для поиска";
constexpr const char* kSites[] = {
    "https://forum.ixbt.com/",
    "https://www.cyberforum.ru/",
    "https://www.radiokot.ru/forum/",
    "https://forum.ru-board.com/",
    "https://forum.oberoncore.ru/",
};
constexpr int kForumSearchIndex = 2;
constexpr const wchar_t* kBannerHtml =
    L"<P> <P> <P> <P> <P> <div style=\"text-align: center; color: rgb(204, 0, 0);\">"
    L"<big><big><big><big><big>Поиск по сайтам</big></big></big></big></big><br></div>";

HWND mainWindow = nullptr;
HWND webHost = nullptr;
HWND siteList = nullptr;
HWND label = nullptr;
HWND keywordBox = nullptr;
IWebBrowser2* browser = nullptr;
HBRUSH labelBrush = nullptr;
HBRUSH whiteBrush = nullptr;
int lastWidth = 0;
int lastHeight = 0;

// ---- The browser -------------------------------------------------------------

// `flags` null: a navigation of its own in the history.
void Navigate(const wchar_t* address, VARIANT* flags = nullptr) {
    if (browser == nullptr) return;
    BSTR text = SysAllocString(address);
    browser->Navigate(text, flags, nullptr, nullptr, nullptr);
    SysFreeString(text);
}

// ---- The engine's refusal ----------------------------------------------------

constexpr int kMaxAddress = 255;

// After an engine search: 1 waiting for its navigation to commit, 2 for its
// document; 0 nothing to check.
int awaiting = 0;
bool engineRefused = false;
wchar_t forumHost[64];
wchar_t fallback[kMaxAddress + 1];

bool SameHost(const wchar_t* begin, const wchar_t* end, const wchar_t* host) {
    int length = lstrlenW(host);
    return end - begin == length && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, begin, length, host,
                                                   length) == CSTR_EQUAL;
}

// The host of an http or https address, between `*begin` and `*end`; the
// path starts at `*end`.
bool HostOf(const wchar_t* address, const wchar_t** begin, const wchar_t** end) {
    const wchar_t* at = address;
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, at, 7, L"http://", 7) == CSTR_EQUAL) {
        at += 7;
    } else if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, at, 8, L"https://", 8) == CSTR_EQUAL) {
        at += 8;
    } else {
        return false;
    }
    const wchar_t* authorityEnd = at;
    while (*authorityEnd != L'\0' && *authorityEnd != L'/' && *authorityEnd != L'?' && *authorityEnd != L'#') {
        if (*authorityEnd == L'@') at = authorityEnd + 1;
        ++authorityEnd;
    }
    *begin = at;
    *end = at;
    while (*end != authorityEnd && **end != L':') ++*end;
    return true;
}

bool OnHost(const wchar_t* address, const wchar_t* host) {
    const wchar_t* begin;
    const wchar_t* end;
    return HostOf(address, &begin, &end) && SameHost(begin, end, host);
}

int Hex(wchar_t unit) {
    if (unit >= L'0' && unit <= L'9') return unit - L'0';
    if (unit >= L'a' && unit <= L'f') return unit - L'a' + 10;
    if (unit >= L'A' && unit <= L'F') return unit - L'A' + 10;
    return -1;
}

// A link to the forum, or the engine's redirect (/url?q= or /url?url=) to one.
bool LeadsToTheForum(const wchar_t* link) {
    const wchar_t* begin;
    const wchar_t* end;
    if (!HostOf(link, &begin, &end)) return false;
    if (SameHost(begin, end, forumHost)) return true;
    while (*end != L'\0' && *end != L'/' && *end != L'?' && *end != L'#') ++end;  // past a port
    if (!SameHost(begin, end, L"www.google.com") || wcsncmp(end, L"/url?", 5) != 0) return false;
    for (const wchar_t* at = end + 5; *at != L'\0' && *at != L'#';) {
        const wchar_t* value = nullptr;
        if (wcsncmp(at, L"q=", 2) == 0) value = at + 2;
        if (wcsncmp(at, L"url=", 4) == 0) value = at + 4;
        if (value != nullptr) {
            wchar_t target[2 * kMaxAddress];
            int length = 0;
            for (; *value != L'\0' && *value != L'&' && *value != L'#' && length + 1 < 2 * kMaxAddress; ++value) {
                if (*value == L'%' && Hex(value[1]) >= 0 && Hex(value[2]) >= 0) {
                    target[length++] = static_cast<wchar_t>(Hex(value[1]) * 16 + Hex(value[2]));
                    value += 2;
                } else {
                    target[length++] = *value;
                }
            }
            target[length] = L'\0';
            if (OnHost(target, forumHost)) return true;
        }
        while (*at != L'\0' && *at != L'&' && *at != L'#') ++at;
        if (*at == L'&') ++at;
    }
    return false;
}

// Whether the page that completed is the engine's refusal: a detour (any
// path of the engine's but /search, its consent host), or a page that links
// nowhere on the forum; a page that cannot be read is left as it is.
bool Refused() {
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location))) location = nullptr;
    const wchar_t* begin;
    const wchar_t* end;
    bool detour = location != nullptr && HostOf(location, &begin, &end) &&
                  (SameHost(begin, end, L"consent.google.com") ||
                   (SameHost(begin, end, L"www.google.com") && wcsncmp(end, L"/search", 7) != 0));
    SysFreeString(location);
    if (detour) return true;
    bool refused = false;
    IDispatch* document = nullptr;
    IHTMLDocument2* html = nullptr;
    IHTMLElement* body = nullptr;
    IHTMLElementCollection* links = nullptr;
    long count = 0;
    if (SUCCEEDED(browser->get_Document(&document)) && document != nullptr &&
        SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html))) &&
        html != nullptr && SUCCEEDED(html->get_body(&body)) && body != nullptr && SUCCEEDED(html->get_links(&links)) &&
        links != nullptr && SUCCEEDED(links->get_length(&count))) {
        refused = true;
        for (long i = 0; i < count && i < 1000 && refused; ++i) {
            VARIANT index{};
            index.vt = VT_I4;
            index.lVal = i;
            VARIANT none{};
            IDispatch* item = nullptr;
            if (FAILED(links->item(index, none, &item))) {
                refused = false;
                break;
            }
            IHTMLAnchorElement* anchor = nullptr;
            if (item != nullptr &&
                SUCCEEDED(item->QueryInterface(IID_IHTMLAnchorElement, reinterpret_cast<void**>(&anchor)))) {
                BSTR href = nullptr;
                if (FAILED(anchor->get_href(&href)) || (href != nullptr && LeadsToTheForum(href))) refused = false;
                SysFreeString(href);
                anchor->Release();
            }
            if (item != nullptr) item->Release();
        }
    }
    if (links != nullptr) links->Release();
    if (body != nullptr) body->Release();
    if (html != nullptr) html->Release();
    if (document != nullptr) document->Release();
    return refused;
}

// Whether an event's browser is the top-level one.
bool IsTheBrowser(const VARIANT& from) {
    if (from.vt != VT_DISPATCH || from.pdispVal == nullptr || browser == nullptr) return false;
    IUnknown* event = nullptr;
    IUnknown* own = nullptr;
    from.pdispVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&event));
    browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&own));
    bool same = event != nullptr && event == own;
    if (event != nullptr) event->Release();
    if (own != nullptr) own->Release();
    return same;
}

void DocumentComplete() {
    awaiting = 0;
    if (!Refused()) return;
    engineRefused = true;
    VARIANT flags{};
    flags.vt = VT_I4;
    flags.lVal = navNoHistory;
    Navigate(fallback, &flags);
}

// The NWMF_* flags of NewWindow3, by value or by reference.
DWORD NewWindowFlags(const VARIANT& flags) {
    switch (flags.vt) {
        case VT_I4:
        case VT_UI4: return flags.ulVal;
        case VT_BYREF | VT_I4:
        case VT_BYREF | VT_UI4: return flags.pulVal != nullptr ? *flags.pulVal : 0;
        default: return 0;
    }
}

// A web address that the user's own click or key asked for; never one a page
// asks for as it unloads.
bool Opens(const wchar_t* address, DWORD flags) {
    constexpr DWORD kFirstOfAClick = DWORD{NWMF_USERINITED} | DWORD{NWMF_FIRST};
    constexpr DWORD kAskedOtherwise =
        DWORD{NWMF_USERREQUESTED} | DWORD{NWMF_USERALLOWED} | DWORD{NWMF_OVERRIDEKEY};
    bool user = !(flags & DWORD{NWMF_UNLOADING}) &&
                ((flags & kFirstOfAClick) == kFirstOfAClick || (flags & kAskedOtherwise) != 0);
    const wchar_t* begin;
    const wchar_t* end;
    return user && address != nullptr && HostOf(address, &begin, &end);
}

// Cancels NewWindow2, opens a new window's address in the window's own
// browser when the user asked for it, and checks the engine's page.
class EventSink : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static: never freed
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        if (parameters == nullptr || parameters->cArgs == 0 || parameters->rgvarg == nullptr) {
            return S_OK;
        }
        VARIANT& last = parameters->rgvarg[0];  // arguments arrive last first
        if (id == DISPID_NEWWINDOW2 && last.vt == (VT_BYREF | VT_BOOL) && last.pboolVal != nullptr) {
            *last.pboolVal = VARIANT_TRUE;
        } else if (id == DISPID_NEWWINDOW3 && last.vt == VT_BSTR && parameters->cArgs >= 3 &&
                   Opens(last.bstrVal, NewWindowFlags(parameters->rgvarg[2]))) {
            awaiting = 0;
            Navigate(last.bstrVal);
        } else if (id == DISPID_NAVIGATECOMPLETE2 && awaiting == 1 && parameters->cArgs >= 2 &&
                   IsTheBrowser(parameters->rgvarg[1])) {
            awaiting = 2;
        } else if (id == DISPID_DOCUMENTCOMPLETE && awaiting == 2 && parameters->cArgs >= 2 &&
                   IsTheBrowser(parameters->rgvarg[1])) {
            DocumentComplete();
        }
        return S_OK;
    }
};

EventSink eventSink;

#ifndef HAND_NO_BROWSER
// atl.dll from the system folder, never from the program's own folder.
HMODULE LoadSystemAtl() {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH - 10);
    if (length == 0 || length >= MAX_PATH - 10) return nullptr;
    lstrcpyA(path + length, "\\atl.dll");
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
#endif

#ifndef HAND_NO_BROWSER
void HostBrowser() {
    using InitProc = BOOL(WINAPI*)();
    using GetControlProc = HRESULT(WINAPI*)(HWND, IUnknown**);
    HMODULE atl = LoadSystemAtl();
    if (atl == nullptr) return;
    auto init = reinterpret_cast<InitProc>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<GetControlProc>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    if (init == nullptr || getControl == nullptr || !init()) return;
    webHost = CreateWindowExA(WS_EX_CLIENTEDGE, "AtlAxWin", "about:blank",
                              WS_VSCROLL | WS_HSCROLL | WS_CHILD | WS_VISIBLE, 10, 50, 700, 500,
                              mainWindow, reinterpret_cast<HMENU>(kWebId), nullptr, nullptr);
    if (webHost == nullptr) return;
    IUnknown* control = nullptr;
    if (FAILED(getControl(webHost, &control)) || control == nullptr) return;
    // The program's references: one more on the control and one more on the
    // browser, both kept for the run.
    control->AddRef();
    if (FAILED(control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
        browser = nullptr;
    }
    if (browser != nullptr) browser->AddRef();
    control->Release();
    if (browser == nullptr) return;

    IConnectionPointContainer* container = nullptr;
    if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer,
                                       reinterpret_cast<void**>(&container))) ||
        container == nullptr) {
        return;
    }
    IConnectionPoint* point = nullptr;
    if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point)) || point == nullptr) {
        return;
    }
    DWORD cookie = 0;
    point->Advise(static_cast<IDispatch*>(&eventSink), &cookie);
}
#endif

void WriteBanner() {
    IDispatch* document = nullptr;
    if (FAILED(browser->get_Document(&document)) || document == nullptr) return;
    IHTMLDocument2* html = nullptr;
    if (SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html))) &&
        html != nullptr) {
        IHTMLElement* body = nullptr;
        if (SUCCEEDED(html->get_body(&body)) && body != nullptr) {
            BSTR text = SysAllocString(kBannerHtml);
            body->put_innerHTML(text);
            SysFreeString(text);
            body->Release();
        }
        html->Release();
    }
    document->Release();
}

// ---- Timers ---------------------------------------------------------------------

void CALLBACK BannerTimer(HWND window, UINT, UINT_PTR id, DWORD) {
    if (browser != nullptr) {
        VARIANT_BOOL busy = VARIANT_FALSE;
        if (SUCCEEDED(browser->get_Busy(&busy)) && busy != VARIANT_FALSE) return;
        WriteBanner();
    }
    KillTimer(window, id);
}

// The browser keeps the window's outer size less 35 by 100 at its place.
void CALLBACK ResizeTimer(HWND window, UINT, UINT_PTR, DWORD) {
    RECT outer;
    GetWindowRect(window, &outer);
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    if (width == lastWidth && height == lastHeight) return;
    RECT host{};
    GetWindowRect(webHost, &host);
    POINT corner{host.left, host.top};
    ScreenToClient(window, &corner);
    MoveWindow(webHost, corner.x, corner.y, width - 35, height - 100, TRUE);
    lastWidth = width;
    lastHeight = height;
}

// ---- The form ----------------------------------------------------------------------

#ifndef HAND_NO_FORM
HWND Control(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y,
             int width, int height, int id) {
    return CreateWindowExA(exStyle, className, text, style | WS_CHILD | WS_VISIBLE, x, y, width,
                           height, mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           nullptr, nullptr);
}
#endif

#ifndef HAND_NO_FORM
void CreateForm() {
    label = Control(0, "static", "Поиск по сайту:", SS_CENTERIMAGE | SS_NOTIFY, 10, 10, 120, 20,
                    kLabelId);
    siteList = Control(0, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 125, 10, 230, 120,
                       kSiteListId);
    for (const char* site : kSites) {
        SendMessageA(siteList, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(site));
    }
    SendMessageA(siteList, CB_SETCURSEL, 0, 0);
    keywordBox = Control(WS_EX_CLIENTEDGE, "EDIT", kPlaceholder, ES_CENTER | ES_AUTOHSCROLL, 380, 10,
                         250, 24, kKeywordBoxId);
    Control(0, "Button", "OK", BS_PUSHBUTTON, 640, 10, 30, 23, kOkButtonId);
}
#endif

// ---- Searching -----------------------------------------------------------------------

struct Address {
    wchar_t text[kMaxAddress + 1] = {};
    int length = 0;
    bool Fits(int units) const { return length + units <= kMaxAddress; }
    void Add(const wchar_t* piece) {
        while (*piece != L'\0' && length < kMaxAddress) text[length++] = *piece++;
    }
};

// Keywords go in whole characters while they leave room for the suffix:
// ASCII as itself but "%", "&", "#" and "+" escaped, every other character
// as the percent-escapes of its UTF-8 bytes (a lone surrogate as U+FFFD's).
void AddKeywords(Address& address, const wchar_t* keywords, int suffixLength) {
    for (const wchar_t* letter = keywords; *letter != L'\0';) {
        int units = IS_HIGH_SURROGATE(letter[0]) && IS_LOW_SURROGATE(letter[1]) ? 2 : 1;
        wchar_t piece[13];
        if (*letter < 0x80 && *letter != L'%' && *letter != L'&' && *letter != L'#' && *letter != L'+') {
            piece[0] = *letter;
            piece[1] = L'\0';
        } else {
            char bytes[4];
            int count = WideCharToMultiByte(CP_UTF8, 0, letter, units, bytes, sizeof bytes, nullptr, nullptr);
            for (int i = 0; i < count; ++i) {
                wsprintfW(piece + 3 * i, L"%%%02X", static_cast<unsigned char>(bytes[i]));
            }
            piece[3 * count] = L'\0';
        }
        if (!address.Fits(lstrlenW(piece) + suffixLength)) break;
        address.Add(piece);
        letter += units;
    }
}

void Search() {
    int index = static_cast<int>(SendMessageA(siteList, CB_GETCURSEL, 0, 0));
    wchar_t keywords[1024];
    GetWindowTextW(keywordBox, keywords, 1024);
    char placeholder[64];
    if (GetWindowTextA(keywordBox, placeholder, sizeof placeholder) > 0 && lstrcmpA(placeholder, kPlaceholder) == 0) {
        keywords[0] = L'\0';
    }
    Address address;
    awaiting = 0;
    if (index == kForumSearchIndex) {
        // Spaces at either end are dropped for the forum's own search.
        wchar_t* start = keywords;
        while (*start == L' ') ++start;
        int end = lstrlenW(start);
        while (end > 0 && start[end - 1] == L' ') start[--end] = L'\0';
        address.Add(L"https://www.radiokot.ru/forum/search.php?keywords=");
        AddKeywords(address, start, 0);
        Navigate(address.text);
        return;
    }
    wchar_t site[64] = L"";
    if (index >= 0 && index < 5) MultiByteToWideChar(CP_ACP, 0, kSites[index], -1, site, 64);
    // The forum's bare host, for the fallback's "site:" and the links.
    const wchar_t* host = site;
    const wchar_t* hostEnd = site;
    if (!HostOf(site, &host, &hostEnd)) hostEnd = host;
    lstrcpynW(forumHost, host, static_cast<int>(hostEnd - host) + 1);
    wchar_t suffix[128];
    wsprintfW(suffix, L"+site:%s&kl=ru-ru", forumHost);
    Address other;
    other.Add(L"https://html.duckduckgo.com/html/?q=");
    AddKeywords(other, keywords, lstrlenW(suffix));
    other.Add(suffix);
    lstrcpyW(fallback, other.text);
    if (engineRefused) {
        Navigate(fallback);
        return;
    }
    wsprintfW(suffix, L"+site:%s", site);
    address.Add(L"https://www.google.com/search?client=IE&rls=ru&q=");
    AddKeywords(address, keywords, lstrlenW(suffix));
    address.Add(suffix);
    awaiting = 1;
    Navigate(address.text);
}

void ClearPlaceholder() {
    char text[64];
    if (GetWindowTextA(keywordBox, text, sizeof text) > 0 && lstrcmpA(text, kPlaceholder) == 0) {
        SetWindowTextA(keywordBox, "");
    }
}

void Command(WORD id) {
    switch (id) {
        case kOkButtonId:
        case 1001: Search(); break;
        case 1002: awaiting = 0; if (browser != nullptr) browser->Refresh(); break;
        case 1003: awaiting = 0; if (browser != nullptr) browser->GoBack(); break;
        case 1004: awaiting = 0; if (browser != nullptr) browser->GoForward(); break;
        default: break;
    }
}

// ---- The window ----------------------------------------------------------------------

#ifndef HAND_NO_COLOURS
// Text and background colours of a control, with the brush that paints its background.
LRESULT Colours(HDC dc, COLORREF text, COLORREF background, HBRUSH brush) {
    SetTextColor(dc, text);
    SetBkColor(dc, background);
    return reinterpret_cast<LRESULT>(brush);
}

// The answer to a control-colour message; 0 for the messages and controls
// left to the default.
LRESULT ControlColours(UINT message, WPARAM wParam, LPARAM lParam) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    HWND control = reinterpret_cast<HWND>(lParam);
    switch (message) {
        case WM_CTLCOLORSTATIC:
            return control == label ? Colours(dc, kBlue, kLabelFace, labelBrush) : 0;
        case WM_CTLCOLOREDIT:
            // The combo box's selection field asks here too, in black on white.
            if (control == keywordBox) return Colours(dc, kBlue, kWhite, whiteBrush);
            return control == siteList ? Colours(dc, 0, kWhite, whiteBrush) : 0;
        case WM_CTLCOLORLISTBOX:
            return Colours(dc, 0, kWhite, whiteBrush);
        default:
            return 0;
    }
}
#endif

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
#ifndef HAND_NO_COLOURS
    if (LRESULT brush = ControlColours(message, wParam, lParam)) return brush;
#endif
    switch (message) {
        case WM_COMMAND:
            if (lParam == 0 || (LOWORD(wParam) == kOkButtonId && HIWORD(wParam) == BN_CLICKED)) {
                Command(LOWORD(wParam));
            }
            return 0;
        case WM_PARENTNOTIFY:
            if (LOWORD(wParam) == WM_LBUTTONDOWN) ClearPlaceholder();
            break;
        case WM_LBUTTONDOWN:
            ClearPlaceholder();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND OpenMainWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "Zudizazuz";
    if (RegisterClassExA(&windowClass) == 0) return nullptr;
    HWND window = CreateWindowExA(0, "Zudizazuz", "Zudizazuz", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                  10, 735, 600, nullptr, nullptr, windowClass.hInstance, nullptr);
    // Centred, each half taken on its own as the program does.
    RECT rect{};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) >> 1) - (width >> 1),
               (GetSystemMetrics(SM_CYSCREEN) >> 1) - (height >> 1), width, height, TRUE);
    return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
#ifndef HAND_NO_COMMCTRL_INIT
    InitCommonControls();
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
#endif
    labelBrush = CreateSolidBrush(kLabelFace);
    whiteBrush = CreateSolidBrush(kWhite);
    mainWindow = OpenMainWindow();
    if (mainWindow == nullptr) return 1;
#ifndef HAND_NO_BROWSER
    HostBrowser();
#endif
    ACCEL shortcuts[] = {
        {FVIRTKEY, VK_RETURN, 1001},
        {FVIRTKEY, VK_F5, 1002},
        {FVIRTKEY | FALT, VK_LEFT, 1003},
        {FVIRTKEY | FALT, VK_RIGHT, 1004},
    };
    HACCEL accelerators = CreateAcceleratorTableA(shortcuts, 4);
    SetTimer(mainWindow, kBannerTimer, 10, BannerTimer);
    SetTimer(mainWindow, kResizeTimer, 10, ResizeTimer);
#ifndef HAND_NO_FORM
    CreateForm();
#endif

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(mainWindow, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    ExitProcess(static_cast<UINT>(message.wParam));
}
