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

void Navigate(const wchar_t* address) {
    if (browser == nullptr) return;
    BSTR text = SysAllocString(address);
    browser->Navigate(text, nullptr, nullptr, nullptr, nullptr);
    SysFreeString(text);
}

// Cancels NewWindow2 and opens NewWindow3's address in the window's own browser.
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
        } else if (id == DISPID_NEWWINDOW3 && last.vt == VT_BSTR) {
            Navigate(last.bstrVal);
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

constexpr int kMaxAddress = 255;

struct Address {
    wchar_t text[kMaxAddress + 1] = {};
    int length = 0;
    bool Fits(int units) const { return length + units <= kMaxAddress; }
    void Add(const wchar_t* piece) {
        while (*piece != L'\0' && length < kMaxAddress) text[length++] = *piece++;
    }
};

// Keywords go in whole letters or whole escapes while they leave room for the suffix.
void AddKeywords(Address& address, const wchar_t* keywords, int suffixLength) {
    for (const wchar_t* letter = keywords; *letter != L'\0'; ++letter) {
        wchar_t single[2] = {*letter, L'\0'};
        const wchar_t* piece = *letter == L'%'   ? L"%25"
                               : *letter == L'&' ? L"%26"
                               : *letter == L'#' ? L"%23"
                               : *letter == L'+' ? L"%2B"
                                                 : single;
        if (!address.Fits(lstrlenW(piece) + suffixLength)) break;
        address.Add(piece);
    }
}

void Search() {
    int index = static_cast<int>(SendMessageA(siteList, CB_GETCURSEL, 0, 0));
    wchar_t keywords[1024];
    GetWindowTextW(keywordBox, keywords, 1024);
    Address address;
    if (index == kForumSearchIndex) {
        // Spaces at either end are dropped for the forum's own search.
        wchar_t* start = keywords;
        while (*start == L' ') ++start;
        int end = lstrlenW(start);
        while (end > 0 && start[end - 1] == L' ') start[--end] = L'\0';
        address.Add(L"https://www.radiokot.ru/forum/search.php?keywords=");
        AddKeywords(address, start, 0);
    } else {
        wchar_t suffix[300] = L"+site:";
        if (index >= 0 && index < 5) {
            MultiByteToWideChar(CP_ACP, 0, kSites[index], -1, suffix + 6, 290);
        }
        address.Add(L"https://www.google.com/search?client=IE&rls=ru&q=");
        AddKeywords(address, keywords, lstrlenW(suffix));
        address.Add(suffix);
    }
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
        case 1002: if (browser != nullptr) browser->Refresh(); break;
        case 1003: if (browser != nullptr) browser->GoBack(); break;
        case 1004: if (browser != nullptr) browser->GoForward(); break;
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
