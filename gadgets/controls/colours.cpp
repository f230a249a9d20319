// Gadget colours from the colour table, and the painting that applies them.
#include "gadgets/controls/colour_painting.h"
#include "gadgets/events/event_state.h"
#include "gadgets/gadgets.h"
#include "gadgets/registry/tables.h"

namespace gadgets {

namespace {

constexpr COLORREF kScrollBarFace = 0xF0F0F0;

// The drop-down lists of all combo boxes share one pair of colours.
COLORREF dropDownBackground = 0;
COLORREF dropDownText = 0;

// One brush serves all painting; it is remade only when the colour, the
// receiving window or the message changes.
HBRUSH sharedBrush = nullptr;
struct BrushKey {
    COLORREF background = 0;
    HWND window = nullptr;
    UINT message = 0;
} brushKey;

// Background (node 2) or text colour (node 3) of a colour entry; null when absent.
RegistryNode* ColourNode(RegistryNode* entry, int32_t type) {
    if (entry == nullptr || entry->next == nullptr) return nullptr;
    return type == 1 ? entry->next : entry->next->next;
}

}  // namespace

int32_t GetGadgetColor(intptr_t numberOrHandle, int32_t type) {
    switch (type) {
        case 1:
        case 2: {
            HWND gadget = GadgetID(static_cast<int32_t>(numberOrHandle));
            HWND key = gadget;
            if (GETCLASSNAME_(gadget) == "ExplorerGadget") {
                auto* record = static_cast<const HWND*>(GetPropA(gadget, "addparam60000"));
                key = record != nullptr ? *record : nullptr;
            }
            if (gadget == nullptr) return 0;
            RegistryNode* colour = ColourNode(FindColourEntry(key), type);
            return colour != nullptr ? colour->value : 0;
        }
        case 3:
        case 4: {
            RegistryNode* colour =
                ColourNode(FindColourEntry(reinterpret_cast<HWND>(numberOrHandle)), type - 2);
            if (colour == nullptr) {
                ERR_(1);
                return 0;
            }
            return colour->value;
        }
        default:
            return 0;
    }
}

int32_t COOLOOR(uint32_t background, uint32_t textColour) {
    dropDownBackground = background;
    dropDownText = textColour;
    return 1;
}

HBRUSH PaintControlColour(HWND window, UINT message, HDC dc, HWND control) {
    int32_t kind = GADGETCLASS(control);
    if (kind == 13) {  // a combo box's drop-down list
        SetBkColor(dc, dropDownBackground);
        SetTextColor(dc, dropDownText);
        return sharedBrush;
    }
    intptr_t controlKey = reinterpret_cast<intptr_t>(control);
    COLORREF text = static_cast<COLORREF>(GetGadgetColor(controlKey, 4));
    COLORREF background = kind == 5 && text == 0
                              ? kScrollBarFace
                              : static_cast<COLORREF>(GetGadgetColor(controlKey, 3));
    if (TakeColourSkip()) return sharedBrush;  // no entry, or the caller asked to skip one

    if (sharedBrush == nullptr || background != brushKey.background ||
        window != brushKey.window || message != brushKey.message) {
        brushKey = BrushKey{background, window, message};
        if (sharedBrush != nullptr) DeleteObject(sharedBrush);
        sharedBrush = CreateSolidBrush(background);
    }
    SetBkColor(dc, background);
    SetTextColor(dc, text);
    return sharedBrush;
}

}  // namespace gadgets
