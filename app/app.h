// The search application: start-up, main loop and the timers it runs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct IWebBrowser2;

namespace app {

// Gadget numbers of the main window's gadgets.
constexpr int32_t kWebGadget = 1;
constexpr int32_t kSiteList = 2;
constexpr int32_t kSiteLabel = 3;
constexpr int32_t kKeywordBox = 4;
constexpr int32_t kOkButton = 5;

// The keyword box's text until the user clicks.
constexpr const char* kPlaceholder = "Введите текст для поиска";

// Timer identifiers on the main window.
constexpr UINT_PTR kBannerTimer = 1;
constexpr UINT_PTR kResizeTimer = 2;

// The window that owns the shortcuts and the timers.
HWND MainWindow();
void SetMainWindow(HWND window);
// The web gadget's browser object, null when none could be made.
IWebBrowser2* Browser();
void SetBrowser(IWebBrowser2* browser);

// Runs every 10 ms: when the main window's outer size changed since the last
// resize, gives the web gadget that size less 35 by 100 (at 96 DPI, scaled to
// the display's), keeping its position.
void CALLBACK ResizeTimer(HWND, UINT, UINT_PTR, DWORD);

// Asks, for the current user and this program's file name, that pages be
// drawn by the current browser engine rather than in the control's default
// mode (that of Internet Explorer 7), unless a value is already set. Takes
// effect for browsers created afterwards; a failure changes nothing.
void AskForTheCurrentEngine();
// Asks the browser to show no dialog boxes: no script errors, and none of its
// other dialogs either (see the README).
void SilenceScriptErrors(IWebBrowser2* browser);
// The main window cannot be made smaller than the form at the display's
// scale; its maximum stays the system's.
void KeepTheFormWhole(HWND window);

// Where the process's code page is not Windows-1251, in which the program's
// texts are stored, tells the user so in a message box owned by `window`, in
// Russian and in English, with where Windows sets it; nothing where it is.
void WarnWhenNotInTheRussianCodePage(HWND window);

// Start-up: the main window, its shortcuts and timers, and the search form,
// laid out for the system DPI, with the keyboard focus in the keyword box.
HWND StartUp();
// The label, the site list, the keyword box and the OK button.
void CreateSearchForm();
// Whether the keyword box's text is exactly the placeholder.
bool IsPlaceholder(const std::string& text);
// Empties the keyword box while it holds the placeholder.
void ClearPlaceholder();
// Pumps events until the window is asked to close, then kills both timers;
// returns the process exit status.
int RunMainLoop(HWND mainWindow);

}  // namespace app
