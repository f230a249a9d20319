// Gadget texts and combo box items: one Windows call or message each.
#include "gadgets/gadgets.h"

#include <algorithm>
#include <cstdlib>

namespace gadgets {

namespace {

constexpr size_t kItemBuffer = 201;  // room for the items the program adds

// An item longer than this is taken for a false answer, not read.
constexpr LRESULT kLongestItem = 1 << 20;

// A zeroed block from the C heap, or none. Its size comes from a window's
// answer, which another program may give: a block that cannot be had must
// give the empty string, not end the process.
class ReplyBuffer {
public:
    explicit ReplyBuffer(size_t size) : bytes_(static_cast<char*>(std::calloc(size, 1))), size_(size) {}
    ~ReplyBuffer() { std::free(bytes_); }
    ReplyBuffer(const ReplyBuffer&) = delete;
    ReplyBuffer& operator=(const ReplyBuffer&) = delete;

    bool Held() const { return bytes_ != nullptr; }
    size_t Size() const { return size_; }
    LPARAM Address() const { return reinterpret_cast<LPARAM>(bytes_); }
    // The bytes up to the first zero; the last byte is made a zero first, so
    // a window that filled the block without ending it is read no further.
    std::string Text() {
        bytes_[size_ - 1] = '\0';
        return PEEKS(bytes_, 0);
    }

private:
    char* bytes_;
    size_t size_;
};

}  // namespace

std::string GetGadgetText(int32_t number, int32_t) {
    int length = GetWindowTextLengthA(GadgetID(number));
    if (length < 0) length = 0;
    // Zeroed first: when WM_GETTEXT fails the buffer reads as the empty string.
    ReplyBuffer buffer(static_cast<size_t>(length) + 1);
    if (!buffer.Held()) return std::string();
    SendMessageA(GadgetID(number), WM_GETTEXT, buffer.Size(), buffer.Address());
    return buffer.Text();
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
    if (length < 0 || length > kLongestItem) return std::string();
    ReplyBuffer buffer(std::max(kItemBuffer, static_cast<size_t>(length) + 1));
    if (!buffer.Held()) return std::string();
    SendMessageA(gadget, CB_GETLBTEXT, static_cast<WPARAM>(index), buffer.Address());
    return buffer.Text();
}

}  // namespace gadgets
