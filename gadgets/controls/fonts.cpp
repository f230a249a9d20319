// The default gadget font and the font of one gadget.
#include "gadgets/gadgets.h"

namespace gadgets {

namespace {

// Held, not owned: the caller keeps the font alive while gadgets use it.
HFONT defaultFont = nullptr;

const HFONT kNoFont = reinterpret_cast<HFONT>(static_cast<intptr_t>(-1));

}  // namespace

int32_t SETGADGETFONT(int32_t number, HFONT font) {
    if (number == -1) {
        defaultFont = font == kNoFont ? nullptr : font;
        return 0;
    }
    HWND target = GadgetID(number);
    if (GETCLASSNAME_(target) == "ExplorerGadget") {
        target = static_cast<HWND>(GetPropA(target, "EXPLORERGADGETLISTVIEWWINDOW"));
    }
    if (target == nullptr) return 0;
    return static_cast<int32_t>(SendMessageA(target, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0));
}

HFONT GGF() { return defaultFont; }

}  // namespace gadgets
