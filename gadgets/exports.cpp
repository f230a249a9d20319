// The library's exported face: each function under its decorated stdcall name
// (Name@N, N = 4 bytes a argument), a one-line adapter over the C++ face.
// Strings arrive zero-terminated; a string result leaves as a malloc'ed
// zero-terminated block that the caller frees with free().
#include "gadgets/gadgets.h"

#include <cstdlib>
#include <cstring>

#define EXPORT extern "C" __declspec(dllexport)

namespace {

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

char* NewBlock(const std::string& text) {
    auto* block = static_cast<char*>(std::malloc(text.size() + 1));
    if (block == nullptr) return nullptr;
    std::memcpy(block, text.data(), text.size());
    block[text.size()] = '\0';
    return block;
}

}  // namespace

// Registry lists
EXPORT int32_t __stdcall ADDIN9999(int32_t number, HWND handle) { return gadgets::ADDIN9999(number, handle); }
EXPORT HWND __stdcall GadgetID(int32_t number) { return gadgets::GadgetID(number); }
EXPORT int32_t __stdcall ID_In_Number(HWND handle) { return gadgets::ID_In_Number(handle); }
EXPORT int32_t __stdcall UseGadgetList(HWND handle) { return gadgets::UseGadgetList(handle); }
EXPORT HWND __stdcall GETGURRENTAL() { return gadgets::GETGURRENTAL(); }
EXPORT int32_t __stdcall ColorAdd(HWND handle, uint32_t first, uint32_t second) { return gadgets::ColorAdd(handle, first, second); }
EXPORT int32_t __stdcall FREEGADGET(int32_t number) { return gadgets::FREEGADGET(number); }

// Top-level windows
EXPORT HWND __stdcall OpenWindow(const char* title, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style, uint32_t exStyle) {
    return gadgets::OpenWindow(Text(title), x, y, width, height, style, exStyle);
}
EXPORT int32_t __stdcall CENTERWINDOW(HWND window) { return gadgets::CENTERWINDOW(window); }
EXPORT int32_t __stdcall RESIZEWINDOW(HWND window, int32_t x, int32_t y, int32_t width, int32_t height) { return gadgets::RESIZEWINDOW(window, x, y, width, height); }

// Geometry and class identification
EXPORT int32_t __stdcall GADGETX(int32_t number) { return gadgets::GADGETX(number); }
EXPORT int32_t __stdcall GADGETY(int32_t number) { return gadgets::GADGETY(number); }
EXPORT int32_t __stdcall GADGETWIDTH(int32_t number) { return gadgets::GADGETWIDTH(number); }
EXPORT int32_t __stdcall GADGETHEIGHT(int32_t number) { return gadgets::GADGETHEIGHT(number); }
EXPORT int32_t __stdcall RESIZEGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height) { return gadgets::RESIZEGADGET(number, x, y, width, height); }
EXPORT char* __stdcall GETCLASSNAME_(HWND window) { return NewBlock(gadgets::GETCLASSNAME_(window)); }
EXPORT int32_t __stdcall GADGETCLASS(HWND window) { return gadgets::GADGETCLASS(window); }

// Standard gadgets
EXPORT HWND __stdcall TEXTGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* text, uint32_t style) { return gadgets::TEXTGADGET(number, x, y, width, height, Text(text), style); }
EXPORT HWND __stdcall ComboBoxGadget(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t style) { return gadgets::ComboBoxGadget(number, x, y, width, height, style); }
EXPORT HWND __stdcall STRINGGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* text, uint32_t style, uint32_t exStyle) { return gadgets::STRINGGADGET(number, x, y, width, height, Text(text), style, exStyle); }
EXPORT HWND __stdcall BUTTONGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* text, uint32_t style) { return gadgets::BUTTONGADGET(number, x, y, width, height, Text(text), style); }

// Gadget text and combo box items
EXPORT char* __stdcall GetGadgetText(int32_t number, int32_t unused) { return NewBlock(gadgets::GetGadgetText(number, unused)); }
EXPORT int32_t __stdcall SetGadgetText(int32_t number, const char* text) { return gadgets::SetGadgetText(number, Text(text)); }
EXPORT int32_t __stdcall AddComboBoxItem(int32_t number, const char* text, int32_t position) { return gadgets::AddComboBoxItem(number, Text(text), position); }
EXPORT int32_t __stdcall SetItemComboBox(int32_t number, int32_t index) { return gadgets::SetItemComboBox(number, index); }
EXPORT int32_t __stdcall GetItemComboBox(int32_t number) { return gadgets::GetItemComboBox(number); }
EXPORT char* __stdcall GetComboBoxText(int32_t number, int32_t index) { return NewBlock(gadgets::GetComboBoxText(number, index)); }

// Colours
EXPORT int32_t __stdcall SetGadgetColor(int32_t number, uint32_t background, uint32_t textColour, int32_t type) { return gadgets::SetGadgetColor(number, background, textColour, type); }
EXPORT int32_t __stdcall GetGadgetColor(intptr_t numberOrHandle, int32_t type) { return gadgets::GetGadgetColor(numberOrHandle, type); }
EXPORT int32_t __stdcall DSGC(HWND gadget, uint32_t background, uint32_t textColour, int32_t type) { return gadgets::DSGC(gadget, background, textColour, type); }
EXPORT int32_t __stdcall COOLOOR(uint32_t background, uint32_t textColour) { return gadgets::COOLOOR(background, textColour); }
EXPORT intptr_t __stdcall WindowColor(HWND window, uint32_t colour) { return gadgets::WindowColor(window, colour); }

// Fonts
EXPORT int32_t __stdcall SETGADGETFONT(int32_t number, HFONT font) { return gadgets::SETGADGETFONT(number, font); }
EXPORT HFONT __stdcall GGF() { return gadgets::GGF(); }

// Event record accessors
EXPORT int32_t __stdcall EVENTNUMBER() { return gadgets::EVENTNUMBER(); }
EXPORT int32_t __stdcall EVENTNUMBERTOOLBAR() { return gadgets::EVENTNUMBERTOOLBAR(); }
EXPORT int32_t __stdcall EVENTNUMBERLISTVIEW() { return gadgets::EVENTNUMBERLISTVIEW(); }
EXPORT int32_t __stdcall MOUSEX() { return gadgets::MOUSEX(); }
EXPORT int32_t __stdcall MOUSEY() { return gadgets::MOUSEY(); }
EXPORT int32_t __stdcall SIZEX() { return gadgets::SIZEX(); }
EXPORT int32_t __stdcall SIZEY() { return gadgets::SIZEY(); }
EXPORT HWND __stdcall EVENTHWND() { return gadgets::EVENTHWND(); }
EXPORT int32_t __stdcall EVENTKEY() { return gadgets::EVENTKEY(); }
EXPORT int32_t __stdcall EVENTWPARAM() { return gadgets::EVENTWPARAM(); }
EXPORT int32_t __stdcall EVENTLPARAM() { return gadgets::EVENTLPARAM(); }
EXPORT int32_t __stdcall GETSUBITEMLISTVIEW() { return gadgets::GETSUBITEMLISTVIEW(); }
EXPORT int32_t __stdcall GETITEMLISTVIEW() { return gadgets::GETITEMLISTVIEW(); }
EXPORT int32_t __stdcall GETCOLUMNLISTVIEW() { return gadgets::GETCOLUMNLISTVIEW(); }
EXPORT int32_t __stdcall FLAGKEYLISTVIEW() { return gadgets::FLAGKEYLISTVIEW(); }
EXPORT int32_t __stdcall GETITEMTREEVIEW() { return gadgets::GETITEMTREEVIEW(); }
EXPORT int32_t __stdcall EVENTNUMBERTREEVIEW() { return gadgets::EVENTNUMBERTREEVIEW(); }
EXPORT int32_t __stdcall ERR_(int32_t flag) { return gadgets::ERR_(flag); }
EXPORT void __stdcall SETPAGESTEPSCROLLBAR(int32_t step) { gadgets::SETPAGESTEPSCROLLBAR(step); }

// Window procedure and hooks
EXPORT LRESULT __stdcall FBGUIWINPROC(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { return gadgets::FBGUIWINPROC(window, message, wParam, lParam); }
EXPORT int32_t __stdcall SETWINDOWCALLBACK(void* routine, int32_t kind) { return gadgets::SETWINDOWCALLBACK(routine, kind); }
EXPORT int32_t __stdcall FREECALLBACK(int32_t kind) { return gadgets::FREECALLBACK(kind); }

// Event pump
EXPORT int32_t __stdcall WINDOWEVENT() { return gadgets::WINDOWEVENT(); }
EXPORT int32_t __stdcall WAITEVENT() { return gadgets::WAITEVENT(); }

// Keyboard shortcuts
EXPORT HACCEL __stdcall ADDKEYBOARDSHORTCUT(HWND window, int32_t flags, int32_t key, int32_t command) { return gadgets::ADDKEYBOARDSHORTCUT(window, flags, key, command); }
EXPORT int32_t __stdcall DELETEALLKEYBOARDSHORTCUT(HWND window) { return gadgets::DELETEALLKEYBOARDSHORTCUT(window); }

// Web gadget
EXPORT IWebBrowser2* __stdcall WEBGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height, const char* url, uint32_t style, uint32_t exStyle) { return gadgets::WEBGADGET(number, x, y, width, height, Text(url), style, exStyle); }
EXPORT int32_t __stdcall WEBGADGETNAVIGATE(IWebBrowser2* browser, const wchar_t* url) { return gadgets::WEBGADGETNAVIGATE(browser, url); }
EXPORT int32_t __stdcall WEBGADGETGOBACK(IWebBrowser2* browser) { return gadgets::WEBGADGETGOBACK(browser); }
EXPORT int32_t __stdcall WEBGADGETGOFORWARD(IWebBrowser2* browser) { return gadgets::WEBGADGETGOFORWARD(browser); }
EXPORT int32_t __stdcall WEBGADGETREFRESH(IWebBrowser2* browser) { return gadgets::WEBGADGETREFRESH(browser); }
EXPORT int32_t __stdcall WEBGADGETSTOP(IWebBrowser2* browser) { return gadgets::WEBGADGETSTOP(browser); }
EXPORT char* __stdcall WEBGADGETGETURL(IWebBrowser2* browser) { return NewBlock(gadgets::WEBGADGETGETURL(browser)); }
EXPORT int32_t __stdcall WEBGADGETSTATE(IWebBrowser2* browser) { return gadgets::WEBGADGETSTATE(browser); }
EXPORT char* __stdcall WEBGADGETGETBODY(IWebBrowser2* browser, int32_t outer) { return NewBlock(gadgets::WEBGADGETGETBODY(browser, outer)); }
EXPORT void __stdcall WEBGADGETSETBODY(IWebBrowser2* browser, const char* html) { gadgets::WEBGADGETSETBODY(browser, Text(html)); }

// Text
EXPORT char* __stdcall TRIMA(const char* text, const char* set) { return NewBlock(gadgets::TRIMA(Text(text), Text(set))); }
EXPORT char* __stdcall LTRIMA(const char* text, const char* set) { return NewBlock(gadgets::LTRIMA(Text(text), Text(set))); }
EXPORT char* __stdcall RTRIMA(const char* text, const char* set) { return NewBlock(gadgets::RTRIMA(Text(text), Text(set))); }
EXPORT char* __stdcall PEEKS(const void* address, int32_t count) { return NewBlock(gadgets::PEEKS(address, count)); }
EXPORT wchar_t* __stdcall ASCIITOUTF(const char* text) { return gadgets::ASCIITOUTF(Text(text)); }
EXPORT char* __stdcall UTFTOASCII(const wchar_t* wide) { return NewBlock(gadgets::UTFTOASCII(wide)); }
