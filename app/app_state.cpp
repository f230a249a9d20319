// The two values that the application's timers, event sink and main loop share.
#include "app/app.h"

namespace app {

namespace {

HWND mainWindow = nullptr;
IWebBrowser2* browser = nullptr;  // kept for the whole run, never released

}  // namespace

HWND MainWindow() { return mainWindow; }

void SetMainWindow(HWND window) { mainWindow = window; }

IWebBrowser2* Browser() { return browser; }

void SetBrowser(IWebBrowser2* object) { browser = object; }

}  // namespace app
