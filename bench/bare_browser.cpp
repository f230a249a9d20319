// The bare program with the WebBrowser control hosted as the program hosts it:
// atl.dll's AtlAxWinInit, an "AtlAxWin" child window whose text is the start
// address, then the control's IWebBrowser2 through AtlAxGetControl. Plain
// Win32 and COM, no gadget library.
#include "bare_window.h"

#include <exdisp.h>

namespace {

using AtlAxWinInitProc = BOOL(WINAPI*)();
using AtlAxGetControlProc = HRESULT(WINAPI*)(HWND, IUnknown**);

// Where the program puts its web gadget, with the same styles.
IWebBrowser2* HostBrowser(HWND parent) {
    HMODULE atl = LoadLibraryA("atl.dll");
    if (atl == nullptr) return nullptr;
    auto init = reinterpret_cast<AtlAxWinInitProc>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto getControl = reinterpret_cast<AtlAxGetControlProc>(
        reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    if (init == nullptr || getControl == nullptr || !init()) return nullptr;
    HWND host = CreateWindowExA(WS_EX_CLIENTEDGE, "AtlAxWin", "about:blank",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 10, 50, 700, 500,
                                parent, reinterpret_cast<HMENU>(1), nullptr, nullptr);
    IUnknown* control = nullptr;
    IWebBrowser2* browser = nullptr;
    if (host != nullptr && SUCCEEDED(getControl(host, &control)) && control != nullptr) {
        if (FAILED(control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
            browser = nullptr;
        }
        control->Release();
    }
    return browser;  // kept for the whole run, as the program keeps its own
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND window = bare::OpenCentredWindow();
    HostBrowser(window);
    bare::SetTimers(window);
    return bare::RunMessageLoop();
}
