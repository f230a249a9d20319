// Gadget colours from the colour table, and the painting that applies them.
#include "gadgets/controls/colour_painting.h"
#include "gadgets/gadgets.h"
#include "gadgets/registry/tables.h"

#include <commctrl.h>
#include <richedit.h>

#include <utility>
#include <vector>

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

// Set by ERR_ or by a failed lookup by handle; taken by the next painting.
int32_t colourSkip = 0;

// Rich edit boxes are told their text colour through this record; only the
// size, the mask and the colour are ever set.
CHARFORMATA characterFormat{};

// The class background brushes that WindowColor made, kept per window class:
// the class's own and the one it had before, which the last call handed back
// and the caller may put back. A class never gets a brush of another class,
// since Windows deletes a class's background brush when the class goes, and
// a caller may delete the brush handed back. Switching between two colours
// reuses the pair; a third colour replaces the older brush, so a class holds
// at most two brushes of the library, whatever the number of colours asked.
struct KeptBrush {
    HBRUSH brush;
    COLORREF colour;
};
struct ClassBrushes {
    ATOM atom;
    KeptBrush current;   // the class's background, made here
    KeptBrush previous;  // the one before it, made here; null when none
};
std::vector<ClassBrushes> classBrushes;

// The brushes kept for the class, none when the class never took one.
ClassBrushes BrushesOf(ATOM atom) {
    for (const ClassBrushes& brushes : classBrushes) {
        if (brushes.atom == atom) return brushes;
    }
    return ClassBrushes{atom, {}, {}};
}

void Keep(const ClassBrushes& kept) {
    for (ClassBrushes& brushes : classBrushes) {
        if (brushes.atom == kept.atom) {
            brushes = kept;
            return;
        }
    }
    classBrushes.push_back(kept);
}

// Whether the handle is still the solid brush of that colour that was made
// here: the caller may have deleted it, or the class taken it along.
bool IsAlive(const KeptBrush& kept) {
    LOGBRUSH description{};
    return kept.brush != nullptr && GetObjectType(kept.brush) == OBJ_BRUSH &&
           GetObjectA(kept.brush, sizeof description, &description) == sizeof description &&
           description.lbStyle == BS_SOLID && description.lbColor == kept.colour;
}

// The brush of `colour` for a class, chosen in `brushes` (a copy, kept once
// the class has taken the brush): a kept one, or one made now (`made`),
// which retires the older kept brush (`retired`, deleted once the class has
// taken the new one).
struct BrushChoice {
    HBRUSH brush = nullptr;
    bool made = false;
    HBRUSH retired = nullptr;
};

BrushChoice ClassBrushFor(ClassBrushes& brushes, HBRUSH inClass, COLORREF colour) {
    // A background that someone else set, or a class registered anew under
    // the same atom: what was kept is no longer the library's to reuse or delete.
    if (brushes.current.brush != inClass) brushes.current = brushes.previous = KeptBrush{};
    if (brushes.current.colour == colour && IsAlive(brushes.current)) return {brushes.current.brush};
    if (brushes.previous.colour == colour && IsAlive(brushes.previous)) {
        std::swap(brushes.current, brushes.previous);
        return {brushes.current.brush};
    }
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush == nullptr) return {};
    BrushChoice choice{brush, true, IsAlive(brushes.previous) ? brushes.previous.brush : nullptr};
    brushes.previous = brushes.current;
    brushes.current = KeptBrush{brush, colour};
    return choice;
}

enum ColourKind : int32_t { kOrdinary = 0, kKeepsOwn = 1, kScrollBar = 2, kComboBox = 3, kExplorer = 4 };

// The inner list view of an explorer gadget: the first field of the record
// that its "addparam60000" property points at; null without the property.
HWND ExplorerListView(HWND gadget) {
    auto* record = static_cast<const HWND*>(GetPropA(gadget, "addparam60000"));
    return record != nullptr ? *record : nullptr;
}

// The list view's three colour messages, as the colour type asks.
void SetListViewColours(HWND listView, COLORREF background, COLORREF text, int type) {
    if (type == 1 || type == 3) {
        SendMessageA(listView, LVM_SETBKCOLOR, 0, background);
        SendMessageA(listView, LVM_SETTEXTBKCOLOR, 0, background);
    }
    if (type == 2 || type == 3) SendMessageA(listView, LVM_SETTEXTCOLOR, 0, text);
}

// For controls that keep their colours: the background message, then the
// text colour message, as the type asks (type 3: both, background first).
void SendColourPair(HWND control, int type, UINT backgroundMessage, WPARAM backgroundW,
                    LPARAM backgroundL, UINT textMessage, WPARAM textW, LPARAM textL) {
    if (type == 1 || type == 3) SendMessageA(control, backgroundMessage, backgroundW, backgroundL);
    if (type == 2 || type == 3) SendMessageA(control, textMessage, textW, textL);
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Background (node 2) or text colour (node 3) of a colour entry; null when absent.
RegistryNode* ColourNode(RegistryNode* entry, int32_t type) {
    if (entry == nullptr || entry->next == nullptr) return nullptr;
    return type == 1 ? entry->next : entry->next->next;
}

}  // namespace

int32_t GetGadgetColor(intptr_t numberOrHandle, int32_t type) {
    int colourType = type & 0xFF;  // a colour type is 8 bits wide, as in SetGadgetColor
    switch (colourType) {
        case 1:
        case 2: {
            HWND gadget = GadgetID(static_cast<int32_t>(numberOrHandle));
            HWND key = gadget;
            if (GETCLASSNAME_(gadget) == "ExplorerGadget") key = ExplorerListView(gadget);
            if (key == nullptr) return 0;
            RegistryNode* colour = ColourNode(FindColourEntry(key), colourType);
            return colour != nullptr ? colour->value : 0;
        }
        case 3:
        case 4: {
            HWND key = reinterpret_cast<HWND>(numberOrHandle);
            RegistryNode* colour = ColourNode(FindColourEntry(key), colourType - 2);
            if (colour == nullptr) {
                SetColourSkip(1);
                return 0;
            }
            return colour->value;
        }
        default:
            return 0;
    }
}

int32_t SetGadgetColor(int32_t number, uint32_t background, uint32_t textColour, int32_t type) {
    HWND gadget = GadgetID(number);
    if (gadget == nullptr) return 1;
    int colourType = type & 0xFF;
    int32_t kind = DSGC(gadget, background, textColour, type);
    HWND key = kind == kExplorer ? ExplorerListView(gadget) : gadget;
    if (key == nullptr) return 1;

    // The class messages above carried the colours; the table follows for
    // the next repaint.
    RegistryNode* entry = FindColourEntry(key);
    if (RegistryNode* node = ColourNode(entry, 1); node != nullptr && (colourType == 1 || colourType == 3)) {
        node->value = static_cast<int32_t>(background);
    }
    if (RegistryNode* node = ColourNode(entry, 2); node != nullptr && (colourType == 2 || colourType == 3)) {
        node->value = static_cast<int32_t>(textColour);
    }
    // A scroll bar's parent brings its shared brush up to the new colours now.
    if (kind == kScrollBar) SendMessageA(GetParent(key), WM_CTLCOLORSCROLLBAR, 0, reinterpret_cast<LPARAM>(key));
    return 1;
}

int32_t DSGC(HWND gadget, uint32_t background, uint32_t textColour, int32_t type) {
    int colourType = type & 0xFF;
    std::string name = GETCLASSNAME_(gadget);
    if (name == "RichEdit20A") {
        characterFormat.cbSize = sizeof characterFormat;
        characterFormat.dwMask = CFM_COLOR;
        characterFormat.crTextColor = textColour;
        auto format = reinterpret_cast<LPARAM>(&characterFormat);
        if (colourType == 2 || colourType == 3) SendMessageA(gadget, EM_SETCHARFORMAT, SCF_ALL, format);
        if (colourType == 1 || colourType == 3) SendMessageA(gadget, EM_SETBKGNDCOLOR, 0, background);
        return kKeepsOwn;
    }
    if (name == TOOLTIPS_CLASSA) {
        SendColourPair(gadget, colourType, TTM_SETTIPBKCOLOR, background, 0, TTM_SETTIPTEXTCOLOR,
                       textColour, 0);
        return kKeepsOwn;
    }
    if (name == "ComboBox") {
        COOLOOR(background, textColour);
        return kComboBox;
    }
    if (name == WC_TREEVIEWA) {
        SendColourPair(gadget, colourType, TVM_SETBKCOLOR, 0, background, TVM_SETTEXTCOLOR, 0,
                       textColour);
        return kKeepsOwn;
    }
    if (name == WC_LISTVIEWA) {
        SetListViewColours(gadget, background, textColour, colourType);
        return kKeepsOwn;
    }
    if (name == "ScrollBar") {
        COOLOOR(background, textColour);
        return kScrollBar;
    }
    if (name == PROGRESS_CLASSA) {
        SendColourPair(gadget, colourType, PBM_SETBKCOLOR, 0, background, PBM_SETBARCOLOR, 0,
                       textColour);
        return kOrdinary;
    }
    if (name == STATUSCLASSNAMEA) {
        SendMessageA(gadget, SB_SETBKCOLOR, 0, background);
        return kOrdinary;
    }
    if (name == "Static") {
        InvalidateRect(gadget, nullptr, TRUE);
        return kOrdinary;
    }
    if (name == "ExplorerGadget") {
        if (HWND listView = ExplorerListView(gadget)) {
            SetListViewColours(listView, background, textColour, colourType);
        }
        return kExplorer;
    }
    if (StartsWith(name, "CLASSCLASS_") || StartsWith(name, "Container")) {
        WindowColor(gadget, background);
    }
    return kOrdinary;
}

intptr_t WindowColor(HWND window, uint32_t colour) {
    auto atom = static_cast<ATOM>(GetClassWord(window, GCW_ATOM));
    if (atom == 0) return 0;  // no such window
    auto inClass = reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
    ClassBrushes brushes = BrushesOf(atom);
    BrushChoice choice = ClassBrushFor(brushes, inClass, colour);
    if (choice.brush == nullptr) return 0;  // no brush could be made: the class keeps its own
    // A class that had no background gives 0 back as well; only the error
    // tells a refusal (another process's window) apart.
    SetLastError(ERROR_SUCCESS);
    auto previous = static_cast<intptr_t>(
        SetClassLongPtrA(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(choice.brush)));
    if (previous == 0 && GetLastError() != ERROR_SUCCESS) {
        if (choice.made) DeleteObject(choice.brush);
        return 0;  // refused: nothing kept, nothing made
    }
    if (choice.retired != nullptr) DeleteObject(choice.retired);
    Keep(brushes);
    InvalidateRect(window, nullptr, TRUE);
    return previous;
}

void SetColourSkip(int32_t flag) { colourSkip = flag; }

bool TakeColourSkip() {
    bool skip = colourSkip != 0;
    colourSkip = 0;
    return skip;
}

int32_t COOLOOR(uint32_t background, uint32_t textColour) {
    dropDownBackground = background;
    dropDownText = textColour;
    return 1;
}

HBRUSH PaintControlColour(HWND window, UINT message, HDC dc, HWND control) {
    int32_t kind = GADGETCLASS(control);
    if (kind == kComboListKind) {
        SetBkColor(dc, dropDownBackground);
        SetTextColor(dc, dropDownText);
        return sharedBrush;
    }
    intptr_t controlKey = reinterpret_cast<intptr_t>(control);
    COLORREF text = static_cast<COLORREF>(GetGadgetColor(controlKey, 4));
    COLORREF background = kind == kScrollBarKind && text == 0
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
