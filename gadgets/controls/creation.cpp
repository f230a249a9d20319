// The standard gadgets: label, combo box, edit box and push button.
#include "gadgets/gadgets.h"

#include <commctrl.h>

namespace gadgets {

namespace {

constexpr DWORD kVisibleChild = WS_CHILD | WS_VISIBLE;
constexpr COLORREF kLabelFace = 0xF0F0F0;
constexpr COLORREF kWhite = 0xFFFFFF;

// Creates the control under the current gadget list with the gadget number as
// its child identifier, and registers it. A control that Windows refuses to
// create is not registered, and any gadget holding the number stays; nor does
// it get a colour entry or a font, which no window could use.
HWND CreateGadget(int32_t number, const char* className, const std::string& text, DWORD style,
                  DWORD exStyle, int32_t x, int32_t y, int32_t width, int32_t height) {
    HWND gadget = CreateWindowExA(exStyle, className, text.c_str(), style, x, y, width, height,
                                  GETGURRENTAL(),
                                  reinterpret_cast<HMENU>(static_cast<intptr_t>(number)), nullptr,
                                  nullptr);
    if (gadget != nullptr) ADDIN9999(number, gadget);
    return gadget;
}

void GiveDefaultFont(HWND gadget) {
    if (HFONT font = GGF()) SendMessageA(gadget, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
}

}  // namespace

HWND TEXTGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                std::string text, uint32_t style) {
    HWND gadget = CreateGadget(number, "static", text, style | kVisibleChild | SS_NOTIFY, 0, x, y,
                               width, height);
    if (gadget == nullptr) return nullptr;
    ColorAdd(gadget, kLabelFace, 0);
    GiveDefaultFont(gadget);
    return gadget;
}

HWND ComboBoxGadget(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t style) {
    HWND gadget = CreateGadget(number, "COMBOBOX", "", style | kVisibleChild, 0, x, y, width, height);
    if (gadget != nullptr) ColorAdd(gadget, kWhite, 0);
    // The drop-down colours belong to all combo boxes, not to this one: they
    // are set even when Windows refused the control.
    COOLOOR(kWhite, 0);
    if (gadget != nullptr) GiveDefaultFont(gadget);
    return gadget;
}

HWND STRINGGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                  std::string text, uint32_t style, uint32_t exStyle) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    HWND gadget = CreateGadget(number, "EDIT", text, style | kVisibleChild, exStyle, x, y, width,
                               height);
    if (gadget == nullptr) return nullptr;
    ColorAdd(gadget, kWhite, 0);
    GiveDefaultFont(gadget);
    return gadget;
}

HWND BUTTONGADGET(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                  std::string text, uint32_t style) {
    // Buttons keep the system colours: no colour entry.
    HWND gadget = CreateGadget(number, "Button", text, style | kVisibleChild, 0, x, y, width,
                               height);
    if (gadget != nullptr) GiveDefaultFont(gadget);
    return gadget;
}

}  // namespace gadgets
