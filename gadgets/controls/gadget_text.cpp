// Gadget texts and combo box items: one Windows call or message each.
#include "gadgets/gadgets.h"

#include <algorithm>
#include <vector>

namespace gadgets {

namespace {

constexpr size_t kItemBuffer = 201;  // room for the items the program adds

}  // namespace

std::string GetGadgetText(int32_t number, int32_t) {
    int length = GetWindowTextLengthA(GadgetID(number));
    if (length < 0) length = 0;
    // Zeroed first: when WM_GETTEXT fails the buffer reads as the empty string.
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(GadgetID(number), WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.back() = '\0';
    return PEEKS(buffer.data(), 0);
}

int32_t SetGadgetText(int32_t number, std::string text) {
    return SetWindowTextA(GadgetID(number), text.c_str());
}

int32_t AddComboBoxItem(int32_t number, std::string text, int32_t position) {
    return static_cast<int32_t>(SendMessageA(GadgetID(number), CB_INSERTSTRING,
                                             static_cast<WPARAM>(position),
                                             reinterpret_cast<LPARAM>(text.c_str())));
}

int32_t SetItemComboBox(int32_t number, int32_t index) {
    return static_cast<int32_t>(
        SendMessageA(GadgetID(number), CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int32_t GetItemComboBox(int32_t number) {
    return static_cast<int32_t>(SendMessageA(GadgetID(number), CB_GETCURSEL, 0, 0));
}

std::string GetComboBoxText(int32_t number, int32_t index) {
    HWND gadget = GadgetID(number);
    // The item's length decides the buffer, so a long item is read whole and
    // never written past the buffer's end.
    LRESULT length = SendMessageA(gadget, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return std::string();
    std::vector<char> buffer(std::max(kItemBuffer, static_cast<size_t>(length) + 1), '\0');
    SendMessageA(gadget, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(buffer.data()));
    buffer.back() = '\0';
    return PEEKS(buffer.data(), 0);
}

}  // namespace gadgets
