// The gadget library: windows, gadgets, events, shortcuts and text, as flat functions.
//
// This is the C++ face used by the application and the tests. The executable
// exports the same functions under their decorated stdcall names (exports.cpp);
// those names, odd as some look (GETGURRENTAL, COOLOOR, DSGC, GGF, ADDIN9999),
// are a fixed contract with callers, documented in docs/exports.md.
// Strings are ANSI (the process code page) in std::string; wide strings are UTF-16.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct IWebBrowser2;

namespace gadgets {

// The keep value: a coordinate of 999999 leaves that coordinate as it is.
constexpr int32_t kKeep = 999999;

// The codes that WINDOWEVENT and WAITEVENT return. Most are the number of the
// window message that caused them; messages not named here come back under
// their own number too (docs/exports.md has the whole table).
enum EventCode : int32_t {
    kNoEvent = 0,
    kResized = WM_SIZE,                  // 5
    kActivatedByClick = WM_ACTIVATE,     // 6
    kRepaint = WM_PAINT,                 // 15
    kCloseRequest = WM_CLOSE,            // 16
    kKeyPressed = WM_KEYDOWN,            // 256
    kKeyReleased = WM_KEYUP,             // 257
    kTimerExpired = WM_TIMER,            // 275
    kHorizontalScroll = WM_HSCROLL,      // 276
    kVerticalScroll = WM_VSCROLL,        // 277
    kMouseMoved = WM_MOUSEMOVE,          // 512
    kLeftButtonPressed = WM_LBUTTONDOWN, // 513
    kMouseWheel = WM_MOUSEWHEEL,         // 522
    kGadgetEvent = 1025,                 // a gadget's command or notification
    kCommandEvent = 1026,                // a menu item or a keyboard shortcut
};

// The kinds that GADGETCLASS gives a window by its class name.
enum GadgetKind : int32_t {
    kOtherKind = 0,
    kListBoxKind = 2,         // "ListBox"
    kComboBoxKind = 3,        // "ComboBox"
    kTabKind = 4,             // "SysTabControl32"
    kScrollBarKind = 5,       // "ScrollBar"
    kListViewKind = 6,        // "SysListView32"
    kTrackbarKind = 7,        // "msctls_trackbar32"
    kProgressKind = 8,        // "msctls_progress32"
    kDateTimePickerKind = 9,  // "SysDateTimePick32"
    kMonthCalendarKind = 10,  // "SysMonthCal32"
    kComboListKind = 13,      // "ComboLBox", a combo box's drop-down list
    kUpDownKind = 14,         // "msctls_updown32"
    kToolbarKind = 15,        // "ToolbarWindow32"
    kLabelKind = 16,          // "Static"
};

// ---- Registry lists and gadget table -------------------------------------
int32_t ADDIN9999(int32_t number, HWND handle);
HWND GadgetID(int32_t number);
int32_t ID_In_Number(HWND handle);
int32_t UseGadgetList(HWND handle);
HWND GETGURRENTAL();
int32_t ColorAdd(HWND handle, uint32_t firstColour, uint32_t secondColour);
int32_t FREEGADGET(int32_t number);

// ---- Top-level windows ----------------------------------------------------
HWND OpenWindow(std::string title, int32_t x, int32_t y, int32_t width, int32_t height,
                uint32_t style, uint32_t exStyle);
int32_t CENTERWINDOW(HWND window);
int32_t RESIZEWINDOW(HWND window, int32_t x, int32_t y, int32_t width, int32_t height);

// ---- Geometry and class identification ------------------------------------
int32_t GADGETX(int32_t number);
int32_t GADGETY(int32_t number);
int32_t GADGETWIDTH(int32_t number);
int32_t GADGETHEIGHT(int32_t number);
int32_t RESIZEGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height);
std::string GETCLASSNAME_(HWND window);
int32_t GADGETCLASS(HWND window);
// The work area of a monitor (its screen less the taskbar); the primary
// screen when the monitor is unknown.
RECT WorkAreaOfMonitor(HMONITOR monitor);

// ---- Standard gadgets --------------------------------------------------------
HWND TEXTGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                std::string text, uint32_t style);
HWND ComboBoxGadget(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t style);
HWND STRINGGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                  std::string text, uint32_t style, uint32_t exStyle);
HWND BUTTONGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                  std::string text, uint32_t style);

// ---- Gadget text and combo box items -----------------------------------------
std::string GetGadgetText(int32_t number, int32_t unused);
int32_t SetGadgetText(int32_t number, std::string text);
int32_t AddComboBoxItem(int32_t number, std::string text, int32_t position);
int32_t SetItemComboBox(int32_t number, int32_t index);
int32_t GetItemComboBox(int32_t number);
std::string GetComboBoxText(int32_t number, int32_t index);

// ---- Colours -------------------------------------------------------------------
// Types: 1 background, 2 text colour, 3 both (by gadget number); GetGadgetColor
// types 3 and 4 read background and text colour by window handle.
int32_t SetGadgetColor(int32_t number, uint32_t background, uint32_t textColour, int32_t type);
int32_t GetGadgetColor(intptr_t numberOrHandle, int32_t type);
int32_t DSGC(HWND gadget, uint32_t background, uint32_t textColour, int32_t type);
int32_t COOLOOR(uint32_t background, uint32_t textColour);
intptr_t WindowColor(HWND window, uint32_t colour);

// ---- Fonts ------------------------------------------------------------------------
// Gadget number -1 sets the default font for gadgets created later; font -1 with it clears it.
int32_t SETGADGETFONT(int32_t number, HFONT font);
HFONT GGF();

// ---- Event record accessors -------------------------------------------------
int32_t EVENTNUMBER();
int32_t EVENTNUMBERTOOLBAR();
int32_t EVENTNUMBERLISTVIEW();
int32_t MOUSEX();
int32_t MOUSEY();
int32_t SIZEX();
int32_t SIZEY();
HWND EVENTHWND();
int32_t EVENTKEY();
int32_t EVENTWPARAM();
int32_t EVENTLPARAM();
int32_t GETSUBITEMLISTVIEW();
int32_t GETITEMLISTVIEW();
int32_t GETCOLUMNLISTVIEW();
int32_t FLAGKEYLISTVIEW();
int32_t GETITEMTREEVIEW();
int32_t EVENTNUMBERTREEVIEW();
int32_t ERR_(int32_t flag);
void SETPAGESTEPSCROLLBAR(int32_t step);

// ---- Window procedure and hooks --------------------------------------------
using WindowProcHook = LRESULT(__stdcall*)(HWND, UINT, WPARAM, LPARAM);
using MessageHook = void(__stdcall*)(HWND, UINT, WPARAM, LPARAM, DWORD time, LONG x, LONG y);

LRESULT CALLBACK FBGUIWINPROC(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int32_t SETWINDOWCALLBACK(void* routine, int32_t kind);
int32_t FREECALLBACK(int32_t kind);

// ---- Event pump -------------------------------------------------------------
int32_t WINDOWEVENT();
int32_t WAITEVENT();

// ---- Keyboard shortcuts ---------------------------------------------------
HACCEL ADDKEYBOARDSHORTCUT(HWND window, int32_t flags, int32_t key, int32_t command);
int32_t DELETEALLKEYBOARDSHORTCUT(HWND window);

// ---- Web gadget -------------------------------------------------------------
// The browser object is the hosted WebBrowser control's IWebBrowser2; null
// when no web gadget could be made, and then every operation does nothing.
IWebBrowser2* WEBGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        std::string url, uint32_t style, uint32_t exStyle);
int32_t WEBGADGETNAVIGATE(IWebBrowser2* browser, const wchar_t* url);
int32_t WEBGADGETGOBACK(IWebBrowser2* browser);
int32_t WEBGADGETGOFORWARD(IWebBrowser2* browser);
int32_t WEBGADGETREFRESH(IWebBrowser2* browser);
int32_t WEBGADGETSTOP(IWebBrowser2* browser);
std::string WEBGADGETGETURL(IWebBrowser2* browser);
int32_t WEBGADGETSTATE(IWebBrowser2* browser);
std::string WEBGADGETGETBODY(IWebBrowser2* browser, int32_t outer);
void WEBGADGETSETBODY(IWebBrowser2* browser, std::string html);

// ---- Text ---------------------------------------------------------------------
std::string TRIMA(std::string text, std::string set);
std::string LTRIMA(std::string text, std::string set);
std::string RTRIMA(std::string text, std::string set);
std::string PEEKS(const void* address, int32_t count);
wchar_t* ASCIITOUTF(std::string text);
std::string UTFTOASCII(const wchar_t* wide);

}  // namespace gadgets
