// The standard gadgets through real controls and real messages: creation,
// texts and combo box items, colours and their painting, fonts.
#include "program_support.h"
#include "test_support.h"

#include "gadgets/controls/colour_painting.h"
#include "gadgets/events/event_state.h"
#include "gadgets/registry/tables.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <psapi.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

constexpr COLORREF kLabelFace = 0xF0F0F0;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlue = 0xFF0000;

// ---- Colours as the checks print them --------------------------------------

// A COLORREF, printed as 0x00BBGGRR.
struct Rgb {
    COLORREF value;
    bool operator==(const Rgb&) const = default;
};

void PrintTo(const Rgb& colour, std::ostream* out) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06lX", static_cast<unsigned long>(colour.value));
    *out << text;
}

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

// The colour of a solid brush; nothing when the handle is no brush.
std::optional<Rgb> BrushColour(HBRUSH brush) {
    LOGBRUSH description{};
    if (GetObjectType(brush) != OBJ_BRUSH ||
        GetObjectA(brush, sizeof description, &description) != sizeof description) {
        return std::nullopt;
    }
    return Rgb{description.lbColor};
}

// ---- Windows and controls ----------------------------------------------------

void InitControls() {
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                                     ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES |
                                     ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
}

std::string WindowText(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassName(HWND window) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

HFONT FontOf(HWND control) {
    return reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
}

// Whether the window waits for a repaint; validated first with Settle.
bool NeedsRepaint(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != 0; }

void Settle(HWND window) {
    UpdateWindow(window);
    ValidateRect(window, nullptr);
}

// The control's device context for the length of a check.
class ControlDc {
public:
    explicit ControlDc(HWND control) : control_(control), dc_(GetDC(control)) {}
    ~ControlDc() { ReleaseDC(control_, dc_); }
    ControlDc(const ControlDc&) = delete;
    ControlDc& operator=(const ControlDc&) = delete;
    operator HDC() const { return dc_; }

    // Colours no painting here sets, so that an untouched context shows.
    static constexpr COLORREF kMarkBack = 0x010203;
    static constexpr COLORREF kMarkText = 0x040506;
    void Mark() {
        SetBkColor(dc_, kMarkBack);
        SetTextColor(dc_, kMarkText);
    }
    Rgb Back() const { return Rgb{GetBkColor(dc_)}; }
    Rgb Text() const { return Rgb{GetTextColor(dc_)}; }

private:
    HWND control_;
    HDC dc_;
};

// Sends a control-colour message to a library window, as the control would.
HBRUSH Paint(HWND window, UINT message, HDC dc, HWND control) {
    return reinterpret_cast<HBRUSH>(SendMessageA(window, message, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(control)));
}

// What one painting left: the returned brush and the context's colours.
struct Painted {
    HBRUSH brush;
    Rgb back;
    Rgb text;
};

Painted PaintMarked(HWND window, UINT message, HWND control) {
    ControlDc dc(control);
    dc.Mark();
    HBRUSH brush = Paint(window, message, dc, control);
    return Painted{brush, dc.Back(), dc.Text()};
}

// A plain combo box (not a gadget, so it leaves the drop-down colours alone)
// whose drop-down list paints through `window`. Its painting hands back the
// shared brush unchanged, which makes it the tests' window onto that brush.
class DropDown {
public:
    explicit DropDown(HWND window) : window_(window) {
        HWND combo = CreateChild("COMBOBOX", window, 9900, CBS_DROPDOWNLIST, 250, 200, 100, 120);
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(combo, &info);
        list_ = info.hwndList;
    }
    Painted Read() const { return PaintMarked(window_, WM_CTLCOLORLISTBOX, list_); }
    HBRUSH SharedBrush() const { return Read().brush; }

private:
    HWND window_;
    HWND list_ = nullptr;
};

void ClearColourSkip() { TakeColourSkip(); }

// The colour entry of a window as (background, text colour); nothing without one.
std::optional<std::pair<Rgb, Rgb>> ColourEntry(HWND window) {
    RegistryNode* entry = FindColourEntry(window);
    if (entry == nullptr || entry->next == nullptr || entry->next->next == nullptr) {
        return std::nullopt;
    }
    return std::pair{Rgb{static_cast<COLORREF>(entry->next->value)},
                     Rgb{static_cast<COLORREF>(entry->next->next->value)}};
}

// A scroll bar or other control registered as a gadget with a colour entry.
HWND ColouredChild(const char* className, HWND parent, int32_t number, COLORREF background,
                   COLORREF text, int x = 10, int y = 200) {
    HWND control = CreateChild(className, parent, number, 0, x, y, 120, 20);
    ADDIN9999(number, control);
    ColorAdd(control, background, text);
    return control;
}

}  // namespace

// ============================================================================
// Creation
// ============================================================================

namespace {

struct CreatorCase {
    const char* name;
    std::function<HWND(int32_t number)> create;  // at 20,30, 140 by 24 (combo: 140 by 150)
    const char* className;
    DWORD styleBits;  // every one of these bits is set
    DWORD exStyle;
    std::string text;
    bool exactHeight;  // a drop-down list combo box is as high as its selection field
    std::optional<std::pair<Rgb, Rgb>> colours;
};

std::vector<CreatorCase> CreatorCases() {
    return {
        {"label with style 0", [](int32_t n) { return TEXTGADGET(n, 20, 30, 140, 24, "Label", 0); },
         "Static", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, "Label", true,
         std::pair{Rgb{kLabelFace}, Rgb{0}}},
        {"label centred vertically",
         [](int32_t n) { return TEXTGADGET(n, 20, 30, 140, 24, "Label", SS_CENTERIMAGE); },
         "Static", WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_CENTERIMAGE, 0, "Label", true,
         std::pair{Rgb{kLabelFace}, Rgb{0}}},
        {"drop-down list combo box",
         [](int32_t n) { return ComboBoxGadget(n, 20, 30, 140, 150, CBS_DROPDOWNLIST); },
         "ComboBox", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, "", false,
         std::pair{Rgb{kWhite}, Rgb{0}}},
        {"edit box with a client edge",
         [](int32_t n) {
             return STRINGGADGET(n, 20, 30, 140, 24, "Edit", ES_CENTER | ES_AUTOHSCROLL,
                                 WS_EX_CLIENTEDGE);
         },
         "Edit", WS_CHILD | WS_VISIBLE | ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, "Edit",
         true, std::pair{Rgb{kWhite}, Rgb{0}}},
        {"edit box without text",
         [](int32_t n) { return STRINGGADGET(n, 20, 30, 140, 24, "", 0, 0); }, "Edit",
         WS_CHILD | WS_VISIBLE, 0, "", true, std::pair{Rgb{kWhite}, Rgb{0}}},
        {"push button", [](int32_t n) { return BUTTONGADGET(n, 20, 30, 140, 24, "OK", 0); },
         "Button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, "OK", true, std::nullopt},
    };
}

}  // namespace

TEST(GadgetCreation, EachCreatorMakesAVisibleChildOfTheCurrentListWithItsNumber) {
    TestWindow chosen("chosen list");
    TestWindow latest("latest window");
    // The parent is the current gadget list, not simply the latest window.
    UseGadgetList(chosen);
    int32_t number = 1100;
    for (const CreatorCase& c : CreatorCases()) {
        SCOPED_TRACE(c.name);
        ++number;
        HWND gadget = c.create(number);
        ASSERT_NE(gadget, nullptr);
        EXPECT_EQ(ClassName(gadget), c.className);
        EXPECT_EQ(GetParent(gadget), static_cast<HWND>(chosen));
        EXPECT_EQ(GetDlgCtrlID(gadget), number);
        EXPECT_EQ(GadgetID(number), gadget);
        EXPECT_EQ(ID_In_Number(gadget), number);
        DWORD style = static_cast<DWORD>(GetWindowLongA(gadget, GWL_STYLE));
        EXPECT_EQ(style & c.styleBits, c.styleBits) << std::hex << "style 0x" << style;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(gadget, GWL_EXSTYLE)), c.exStyle);
        EXPECT_TRUE(IsWindowVisible(gadget));
        EXPECT_EQ(WindowText(gadget), c.text);
        EXPECT_EQ(GADGETX(number), 20);
        EXPECT_EQ(GADGETY(number), 30);
        EXPECT_EQ(GADGETWIDTH(number), 140);
        if (c.exactHeight) {
            EXPECT_EQ(GADGETHEIGHT(number), 24);
        } else {
            EXPECT_LT(GADGETHEIGHT(number), 150) << "a drop-down list combo box's window is "
                                                    "as high as its selection field";
        }
        EXPECT_EQ(ColourEntry(gadget), c.colours);
    }
}

// Windows refuses each control when the current gadget list is no window:
// nothing is registered, the gadget that holds the number stays, and no
// colour entry is made for the missing window. The drop-down colours, which
// belong to all combo boxes, are set all the same.
TEST(GadgetCreation, ARefusedControlRegistersNothingAndTheOldGadgetStays) {
    TestWindow window;
    DropDown dropDown(window);
    HWND gone = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    int32_t number = 1150;
    for (const CreatorCase& c : CreatorCases()) {
        SCOPED_TRACE(c.name);
        ++number;
        UseGadgetList(window);
        HWND old = c.create(number);
        ASSERT_NE(old, nullptr);
        COOLOOR(0x123456, 0x654321);

        UseGadgetList(gone);
        EXPECT_EQ(c.create(number), nullptr);
        EXPECT_EQ(GadgetID(number), old) << "the old gadget lost its number";
        EXPECT_TRUE(IsWindow(old)) << "the old gadget was destroyed";
        EXPECT_EQ(ID_In_Number(old), number);
        EXPECT_EQ(ID_In_Number(nullptr), 0) << "the missing window was registered";
        EXPECT_EQ(ColourEntry(nullptr), std::nullopt) << "a colour entry for no window";
        Painted dropDownColours = dropDown.Read();
        if (c.className == std::string("ComboBox")) {
            EXPECT_EQ(dropDownColours.back, Rgb{kWhite});
            EXPECT_EQ(dropDownColours.text, Rgb{0});
        } else {
            EXPECT_EQ(dropDownColours.back, Rgb{0x123456});
            EXPECT_EQ(dropDownColours.text, Rgb{0x654321});
        }
    }
    UseGadgetList(window);
}

TEST(GadgetCreation, ButtonHasNoColourEntrySoLookupsFindNothing) {
    TestWindow window;
    HWND button = BUTTONGADGET(1201, 10, 10, 60, 24, "OK", 0);
    ClearColourSkip();
    EXPECT_EQ(GetGadgetColor(1201, 1), 0);
    EXPECT_EQ(GetGadgetColor(1201, 2), 0);
    EXPECT_FALSE(TakeColourSkip()) << "a lookup by number must leave the skip flag alone";
    EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(button), 3), 0);
    EXPECT_TRUE(TakeColourSkip()) << "a failed lookup by handle sets the skip flag";
    // Once ColorAdd gives it an entry, the button has colours like any gadget.
    ColorAdd(button, 0x336699, 0x0000FF);
    EXPECT_EQ(Rgb{static_cast<COLORREF>(GetGadgetColor(1201, 1))}, Rgb{0x336699});
    EXPECT_EQ(Rgb{static_cast<COLORREF>(GetGadgetColor(1201, 2))}, Rgb{0x0000FF});
}

TEST(GadgetCreation, ComboBoxSetsTheDropDownColoursToBlackOnWhite) {
    TestWindow window;
    DropDown dropDown(window);
    COOLOOR(0x123456, 0x654321);
    Painted before = dropDown.Read();
    EXPECT_EQ(before.back, Rgb{0x123456});
    EXPECT_EQ(before.text, Rgb{0x654321});

    ComboBoxGadget(1301, 10, 10, 120, 100, CBS_DROPDOWNLIST);
    Painted after = dropDown.Read();
    EXPECT_EQ(after.back, Rgb{kWhite});
    EXPECT_EQ(after.text, Rgb{0});
}

TEST(GadgetCreation, ReusingANumberDestroysTheOldWindowAndItsColourEntry) {
    TestWindow window;
    HWND label = TEXTGADGET(1401, 10, 10, 100, 20, "old", 0);
    ASSERT_TRUE(IsWindow(label));
    HWND edit = STRINGGADGET(1401, 10, 40, 100, 24, "new", 0, 0);
    EXPECT_FALSE(IsWindow(label)) << "the old gadget's window is still there";
    EXPECT_EQ(GadgetID(1401), edit);
    EXPECT_EQ(ID_In_Number(edit), 1401);
    EXPECT_EQ(ID_In_Number(label), 0);
    EXPECT_EQ(ColourEntry(label), std::nullopt);
    EXPECT_EQ(ColourEntry(edit), (std::pair{Rgb{kWhite}, Rgb{0}}));
    EXPECT_EQ(GetGadgetText(1401, 1), "new");
}

TEST(GadgetCreation, LabelWithStyleZeroReportsClicksToItsParent) {
    TestWindow window;
    HWND label = TEXTGADGET(1501, 10, 10, 100, 20, "click me", 0);
    Drain();
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ASSERT_TRUE(WaitForEvent(1025)) << "no gadget event for the click";
    EXPECT_EQ(EVENTNUMBER(), 1501);
    Drain();
}

TEST(GadgetCreation, NumberAboveSixteenBitsIsRegisteredWholeAndReportedByItsLowBits) {
    TestWindow window;
    constexpr int32_t kNumber = 1234567;  // 0x12D687
    HWND label = TEXTGADGET(kNumber, 10, 10, 100, 20, "wide", 0);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(GadgetID(kNumber), label);
    EXPECT_EQ(ID_In_Number(label), kNumber);
    EXPECT_EQ(GetGadgetText(kNumber, 1), "wide");
    EXPECT_EQ(GadgetID(kNumber & 0xFFFF), nullptr);
    Drain();
    SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ASSERT_TRUE(WaitForEvent(1025));
    EXPECT_EQ(EVENTNUMBER(), kNumber & 0xFFFF) << "a command carries 16 bits of identifier";
    Drain();
}

// ============================================================================
// Texts and combo box items
// ============================================================================

TEST(GadgetText, WindowTextsRoundTripAndStopAtAZeroByte) {
    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"empty", "", ""},
        {"short", "OK", "OK"},
        {"Cyrillic in the ANSI code page", "Введите текст для поиска",
         "Введите текст для поиска"},
        {"embedded zero byte", std::string("ab\0cd", 5), "ab"},
        {"zero byte first", std::string("\0xyz", 4), ""},
        {"five thousand bytes", std::string(5000, 'x'), std::string(5000, 'x')},
    };
    TestWindow window;
    const std::vector<std::pair<const char*, int32_t>> gadgets = {
        {"label", 2101}, {"edit box", 2102}, {"button", 2103}};
    TEXTGADGET(2101, 10, 10, 200, 20, "start", 0);
    STRINGGADGET(2102, 10, 40, 200, 24, "start", ES_AUTOHSCROLL, 0);
    BUTTONGADGET(2103, 10, 70, 200, 24, "start", 0);
    for (const auto& [kind, number] : gadgets) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind) + ", " + c.name);
            EXPECT_NE(SetGadgetText(number, c.text), 0);
            EXPECT_EQ(GetWindowTextLengthA(GadgetID(number)), static_cast<int>(c.expected.size()));
            EXPECT_EQ(GetGadgetText(number, 1), c.expected);
        }
    }
}

TEST(GadgetText, UnregisteredNumbersGiveZeroAndTheEmptyString) {
    TestWindow window;
    ComboBoxGadget(2201, 10, 10, 120, 100, CBS_DROPDOWNLIST);
    AddComboBoxItem(2201, "item", -1);
    FREEGADGET(2201);  // a number that was registered once
    for (int32_t number : {2200, 2201, -5}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(GadgetID(number), nullptr);
        EXPECT_EQ(GetGadgetText(number, 1), "");
        EXPECT_EQ(SetGadgetText(number, "text"), 0);
        EXPECT_EQ(AddComboBoxItem(number, "item", -1), 0);
        EXPECT_EQ(SetItemComboBox(number, 0), 0);
        EXPECT_EQ(GetItemComboBox(number), 0);
        EXPECT_EQ(GetComboBoxText(number, 0), "");
    }
}

namespace {

// A window that answers text length questions as it is told, maybe falsely:
// a registered gadget number can name any window, another program's too.
struct Answers {
    LRESULT length = 0;       // for WM_GETTEXTLENGTH and CB_GETLBTEXTLEN
    const char* text = "";    // copied by WM_GETTEXT and CB_GETLBTEXT
    size_t bytes = 0;         // bytes CB_GETLBTEXT writes, no zero added
    int textRequests = 0;
} answers;

LRESULT CALLBACK AnsweringProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_GETTEXTLENGTH:
        case CB_GETLBTEXTLEN:
            return answers.length;
        case WM_GETTEXT:
            ++answers.textRequests;
            lstrcpynA(reinterpret_cast<char*>(lParam), answers.text, static_cast<int>(wParam));
            return lstrlenA(reinterpret_cast<char*>(lParam));
        case CB_GETLBTEXT:
            ++answers.textRequests;
            std::memcpy(reinterpret_cast<char*>(lParam), answers.text, answers.bytes);
            return static_cast<LRESULT>(answers.bytes);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

// No answer may make a text read allocate without bound or end the process:
// an item longer than a generous cap is an error ("" and no text request); a
// window text as long as claimed is read if the memory can be had, else "".
TEST(GadgetTextFalseAnswers, HugeLengthsGiveTheEmptyStringAndNeverEndTheProcess) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = AnsweringProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FalselyAnswering";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    TestWindow window;
    HWND answering = CreateWindowExA(0, "FalselyAnswering", "", WS_CHILD, 0, 0, 10, 10, window,
                                     nullptr, nullptr, nullptr);
    ASSERT_NE(answering, nullptr);
    ADDIN9999(3001, answering);
    const std::string twoHundred(200, 'x');
    struct ItemCase {
        const char* what;
        LRESULT length;
        const char* text;
        size_t bytes;
        std::string expected;
        int textRequests;
    };
    const ItemCase items[] = {
        {"0x7FFFFFFF", 0x7FFFFFFF, "never read", 10, "", 0},
        {"just over the cap", (1 << 20) + 1, "never read", 10, "", 0},
        {"at the cap", 1 << 20, "item", 5, "item", 1},
        {"201 bytes without a zero", 10, twoHundred.c_str(), 200, twoHundred, 1},
        {"an error", CB_ERR, "never read", 10, "", 0},
    };
    for (const ItemCase& c : items) {
        answers = Answers{c.length, c.text, c.bytes, 0};
        EXPECT_EQ(GetComboBoxText(3001, 0), c.expected) << c.what;
        EXPECT_EQ(answers.textRequests, c.textRequests) << c.what;
    }
    // A window text of 2 GiB cannot be had on 32-bit Windows; where it can,
    // the text the window writes is read.
    answers = Answers{0x7FFFFFFF, "short", 0, 0};
    std::string text = GetGadgetText(3001, 1);
    EXPECT_TRUE(text == "" || text == "short") << text;
    answers = Answers{5, "short", 0, 0};
    EXPECT_EQ(GetGadgetText(3001, 1), "short");
    FREEGADGET(3001);
    UnregisterClassA("FalselyAnswering", GetModuleHandleA(nullptr));
}

TEST(ComboBoxItems, AppendedItemsKeepTheirOrderAndTheFirstCanBeSelected) {
    TestWindow window;
    ComboBoxGadget(3101, 10, 10, 200, 150, CBS_DROPDOWNLIST | WS_VSCROLL);
    const std::vector<std::string> items = {"one/", "two/", "three/", "four/", "five/"};
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(AddComboBoxItem(3101, items[i], -1), static_cast<int32_t>(i));
    }
    EXPECT_EQ(GetItemComboBox(3101), -1) << "nothing is selected before SetItemComboBox";
    EXPECT_EQ(SetItemComboBox(3101, 0), 0);
    EXPECT_EQ(GetItemComboBox(3101), 0);
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(GetComboBoxText(3101, static_cast<int32_t>(i)), items[i]) << "index " << i;
    }
    for (int32_t index : {5, 100, -1, -7}) {
        EXPECT_EQ(GetComboBoxText(3101, index), "") << "index " << index;
    }
    EXPECT_EQ(SetItemComboBox(3101, 3), 3);
    EXPECT_EQ(GetItemComboBox(3101), 3);
    EXPECT_EQ(SetItemComboBox(3101, 9), -1) << "an index out of range";
    EXPECT_EQ(SetItemComboBox(3101, -1), -1);
    EXPECT_EQ(GetItemComboBox(3101), -1) << "-1 clears the selection";
}

TEST(ComboBoxItems, PositionsInsertBeforeAnItemAndNothingIsSortedOnTheWay) {
    TestWindow window;
    // A sorting combo box: insertion by position does not sort.
    ComboBoxGadget(3201, 10, 10, 200, 150, CBS_DROPDOWNLIST | CBS_SORT);
    EXPECT_EQ(AddComboBoxItem(3201, "zeta", -1), 0);
    EXPECT_EQ(AddComboBoxItem(3201, "alpha", -1), 1);
    EXPECT_EQ(AddComboBoxItem(3201, "mid", 1), 1);
    EXPECT_EQ(AddComboBoxItem(3201, "first", 0), 0);
    const std::vector<std::string> expected = {"first", "zeta", "mid", "alpha"};
    std::vector<std::string> seen;
    for (int32_t i = 0; i < 4; ++i) seen.push_back(GetComboBoxText(3201, i));
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(AddComboBoxItem(3201, "far", 17), -1) << "a position past the end is CB_ERR";
}

namespace {

// Watches CB_GETLBTEXT on a combo box: how many bytes the buffer handed to it
// can hold (the size of its heap block) against how many the item needs. A
// buffer too small for the item is refused before the control writes into it,
// so a failing check stays a failed check instead of a corrupted heap.
struct TextRequest {
    size_t room;
    size_t needed;
    LRESULT written;
};
WNDPROC comboProcBeforeWatch = nullptr;
std::vector<TextRequest> textRequests;

LRESULT CALLBACK WatchTextRequests(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == CB_GETLBTEXT && lParam != 0) {
        size_t room = _msize(reinterpret_cast<void*>(lParam));
        LRESULT length = CallWindowProcA(comboProcBeforeWatch, window, CB_GETLBTEXTLEN, wParam, 0);
        size_t needed = length < 0 ? 0 : static_cast<size_t>(length) + 1;
        LRESULT written = CB_ERR;
        if (room != static_cast<size_t>(-1) && room >= needed) {
            written = CallWindowProcA(comboProcBeforeWatch, window, message, wParam, lParam);
        }
        textRequests.push_back(TextRequest{room, needed, written});
        return written;
    }
    return CallWindowProcA(comboProcBeforeWatch, window, message, wParam, lParam);
}

}  // namespace

TEST(ComboBoxItems, LongItemsComeBackWholeInABufferThatHoldsThem) {
    TestWindow window;
    HWND combo = ComboBoxGadget(3301, 10, 10, 200, 150, CBS_DROPDOWNLIST);
    comboProcBeforeWatch = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchTextRequests)));
    for (size_t length : {1u, 199u, 200u, 201u, 202u, 300u, 1000u, 5000u}) {
        SCOPED_TRACE("item of " + std::to_string(length) + " bytes");
        std::string item;
        for (size_t i = 0; i < length; ++i) item += static_cast<char>('a' + i % 26);
        int32_t index = AddComboBoxItem(3301, item, -1);
        ASSERT_GE(index, 0);
        textRequests.clear();
        std::string text = GetComboBoxText(3301, index);
        EXPECT_EQ(text.size(), length);
        EXPECT_EQ(text, item);
        ASSERT_EQ(textRequests.size(), 1u) << "one CB_GETLBTEXT a call";
        EXPECT_NE(textRequests[0].room, static_cast<size_t>(-1))
            << "the buffer is not a heap block whose size can be checked";
        EXPECT_EQ(textRequests[0].needed, length + 1);
        EXPECT_GE(textRequests[0].room, textRequests[0].needed)
            << "the control would have written past the buffer";
        EXPECT_EQ(textRequests[0].written, static_cast<LRESULT>(length));
    }
    SetWindowLongPtrA(combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(comboProcBeforeWatch));
}

// ============================================================================
// Colour painting
// ============================================================================

TEST(ColourPainting, AnswersTheFourControlColourMessagesFromTheColourTable) {
    const UINT messages[] = {WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_CTLCOLORSCROLLBAR,
                             WM_CTLCOLORSTATIC};
    int32_t number = 4100;
    for (UINT message : messages) {
        SCOPED_TRACE("message " + Hex(message));
        TestWindow window;
        ++number;
        HWND edit = STRINGGADGET(number, 10, 10, 120, 24, "text", 0, 0);
        COLORREF background = 0x204060 + message;
        COLORREF text = 0x0000C0 + message;
        SetGadgetColor(number, background, text, 3);
        ClearColourSkip();
        Painted painted = PaintMarked(window, message, edit);
        EXPECT_EQ(painted.back, Rgb{background});
        EXPECT_EQ(painted.text, Rgb{text});
        EXPECT_EQ(BrushColour(painted.brush), Rgb{background});
        EXPECT_FALSE(TakeColourSkip());
    }
}

TEST(ColourPainting, ButtonAndDialogColourMessagesAreLeftToTheSystem) {
    TestWindow window;
    HWND button = BUTTONGADGET(4201, 10, 10, 60, 24, "OK", 0);
    ColorAdd(button, 0x00FF00, 0x0000FF);  // even a button with an entry stays uncoloured
    for (UINT message : {WM_CTLCOLORBTN, WM_CTLCOLORDLG, WM_CTLCOLORMSGBOX}) {
        SCOPED_TRACE("message " + Hex(message));
        ClearColourSkip();
        Painted library = PaintMarked(window, message, button);
        ControlDc dc(button);
        dc.Mark();
        auto system = reinterpret_cast<HBRUSH>(DefWindowProcA(
            window, message, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)),
            reinterpret_cast<LPARAM>(button)));
        EXPECT_EQ(library.brush, system);
        EXPECT_EQ(library.back, dc.Back());
        EXPECT_EQ(library.text, dc.Text());
        EXPECT_NE(library.back, Rgb{0x00FF00});
    }
}

TEST(ColourPainting, OneBrushWhileTheKeyHoldsAndAFreshOneAtEachSwitch) {
    TestWindow first("first");
    HWND whiteA = STRINGGADGET(4301, 10, 10, 100, 24, "", 0, 0);
    HWND whiteB = STRINGGADGET(4302, 10, 40, 100, 24, "", 0, 0);
    HWND tinted = STRINGGADGET(4303, 10, 70, 100, 24, "", 0, 0);
    SetGadgetColor(4303, 0xC0E0FF, 0, 1);
    DropDown dropDown(first);
    TestWindow second("second");
    HWND whiteC = STRINGGADGET(4304, 10, 10, 100, 24, "", 0, 0);

    struct Step {
        const char* what;
        HWND window;
        UINT message;
        HWND control;
        bool fresh;  // a new brush is expected
        COLORREF colour;
    };
    const Step steps[] = {
        {"first painting under a new window", first, WM_CTLCOLOREDIT, whiteA, true, kWhite},
        {"the same control again", first, WM_CTLCOLOREDIT, whiteA, false, kWhite},
        {"another control of equal colour", first, WM_CTLCOLOREDIT, whiteB, false, kWhite},
        {"background switch", first, WM_CTLCOLOREDIT, tinted, true, 0xC0E0FF},
        {"background switch back", first, WM_CTLCOLOREDIT, whiteB, true, kWhite},
        {"message switch", first, WM_CTLCOLORSTATIC, whiteA, true, kWhite},
        {"same message, equal colour", first, WM_CTLCOLORSTATIC, whiteB, false, kWhite},
        {"window switch", second, WM_CTLCOLORSTATIC, whiteC, true, kWhite},
        {"same window again", second, WM_CTLCOLORSTATIC, whiteC, false, kWhite},
    };
    ClearColourSkip();
    HBRUSH previous = dropDown.SharedBrush();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        ControlDc dc(step.control);
        HBRUSH brush = Paint(step.window, step.message, dc, step.control);
        EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
        EXPECT_EQ(BrushColour(brush), Rgb{step.colour});
        if (step.fresh) {
            EXPECT_NE(brush, previous);
            if (previous != nullptr) {
                EXPECT_EQ(GetObjectType(previous), 0u) << "the replaced brush was not deleted";
            }
        } else {
            EXPECT_EQ(brush, previous) << "the brush was remade while its key held";
        }
        EXPECT_EQ(dropDown.SharedBrush(), brush) << "the shared brush is the one returned";
        previous = brush;
    }
}

TEST(ColourPainting, DropDownListGetsTheSharedColoursAndTheBrushUnchanged) {
    TestWindow window;
    HWND edit = STRINGGADGET(4401, 10, 10, 100, 24, "", 0, 0);
    SetGadgetColor(4401, 0x3080C0, 0, 1);
    DropDown dropDown(window);
    ClearColourSkip();
    HBRUSH shared = PaintMarked(window, WM_CTLCOLOREDIT, edit).brush;
    ASSERT_EQ(BrushColour(shared), Rgb{0x3080C0});

    for (auto [background, text] : {std::pair<COLORREF, COLORREF>{0x112233, 0x445566},
                                    {0xFFFFFF, 0}, {0, 0xFFFFFF}}) {
        SCOPED_TRACE(testing::PrintToString(Rgb{background}));
        COOLOOR(background, text);
        Painted painted = dropDown.Read();
        EXPECT_EQ(painted.back, Rgb{background});
        EXPECT_EQ(painted.text, Rgb{text});
        EXPECT_EQ(painted.brush, shared) << "the drop-down list must not remake the brush";
        EXPECT_EQ(BrushColour(painted.brush), Rgb{0x3080C0});
    }
    // The skip flag is neither read nor cleared on this path.
    ERR_(1);
    Painted whileSkipping = dropDown.Read();
    EXPECT_EQ(whileSkipping.back, Rgb{0}) << "the skip flag kept the drop-down list unpainted";
    EXPECT_EQ(whileSkipping.text, Rgb{0xFFFFFF});
    EXPECT_TRUE(TakeColourSkip()) << "the drop-down list cleared the skip flag";
    dropDown.Read();
    EXPECT_FALSE(TakeColourSkip()) << "the drop-down list set the skip flag";
}

TEST(ColourPainting, ScrollBarPaintsOnTheFaceColourWhileItsTextColourIsZero) {
    struct Case {
        const char* className;
        COLORREF background;
        COLORREF text;
        COLORREF painted;
    };
    const Case cases[] = {
        {"ScrollBar", 0x00FF00, 0, 0xF0F0F0},
        {"ScrollBar", 0xFFFFFF, 0, 0xF0F0F0},
        {"ScrollBar", 0x00FF00, 0x0000FF, 0x00FF00},
        {"ScrollBar", 0x123456, 1, 0x123456},
        {"Edit", 0x00FF00, 0, 0x00FF00},  // the rule is the scroll bar's alone
    };
    int32_t number = 4500;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.className) + " " + testing::PrintToString(Rgb{c.background}) +
                     " text " + testing::PrintToString(Rgb{c.text}));
        TestWindow window;
        HWND control = ColouredChild(c.className, window, ++number, c.background, c.text);
        ClearColourSkip();
        Painted painted = PaintMarked(window, WM_CTLCOLORSCROLLBAR, control);
        EXPECT_EQ(painted.back, Rgb{c.painted});
        EXPECT_EQ(painted.text, Rgb{c.text});
        EXPECT_EQ(BrushColour(painted.brush), Rgb{c.painted});
    }
}

TEST(ColourPainting, SettingAScrollBarsColoursBringsTheSharedBrushUpToThem) {
    struct Case {
        COLORREF background;
        COLORREF text;
        COLORREF brush;
    };
    int32_t number = 4600;
    for (Case c : {Case{0x3366CC, 0x000080, 0x3366CC}, Case{0x3366CC, 0, 0xF0F0F0}}) {
        SCOPED_TRACE("text " + testing::PrintToString(Rgb{c.text}));
        TestWindow window;
        DropDown dropDown(window);
        HWND bar = ColouredChild("ScrollBar", window, ++number, 0xFFFFFF, 0x00FF00);
        ClearColourSkip();
        EXPECT_EQ(SetGadgetColor(number, c.background, c.text, 3), 1);
        Painted shared = dropDown.Read();
        EXPECT_EQ(BrushColour(shared.brush), Rgb{c.brush});
        EXPECT_EQ(shared.back, Rgb{c.background}) << "drop-down colours follow a scroll bar";
        EXPECT_EQ(shared.text, Rgb{c.text});
        EXPECT_EQ(ColourEntry(bar), (std::pair{Rgb{c.background}, Rgb{c.text}}));
        // The bar's own painting now finds the brush made for it.
        EXPECT_EQ(PaintMarked(window, WM_CTLCOLORSCROLLBAR, bar).brush, shared.brush);
    }
}

TEST(ColourPainting, SkipFlagLeavesTheContextAndTheBrushAloneForOnePainting) {
    struct Case {
        const char* how;
        std::function<void(HWND uncoloured)> set;
    };
    const Case cases[] = {
        {"ERR_(1)", [](HWND) { ERR_(1); }},
        {"a failed lookup by handle",
         [](HWND uncoloured) {
             EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(uncoloured), 4), 0);
         }},
    };
    int32_t number = 4700;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        TestWindow window;
        HWND white = STRINGGADGET(++number, 10, 10, 100, 24, "", 0, 0);
        HWND green = STRINGGADGET(++number, 10, 40, 100, 24, "", 0, 0);
        SetGadgetColor(number, 0x00FF00, 0x0000FF, 3);
        HWND uncoloured = CreateChild("STATIC", window, 4799, 0, 10, 70, 100, 20);
        ClearColourSkip();
        HBRUSH before = PaintMarked(window, WM_CTLCOLOREDIT, white).brush;

        c.set(uncoloured);
        Painted skipped = PaintMarked(window, WM_CTLCOLOREDIT, green);
        EXPECT_EQ(skipped.brush, before) << "the skipped painting returns the brush unchanged";
        EXPECT_EQ(GetObjectType(before), static_cast<DWORD>(OBJ_BRUSH));
        EXPECT_EQ(skipped.back, Rgb{ControlDc::kMarkBack});
        EXPECT_EQ(skipped.text, Rgb{ControlDc::kMarkText});
        EXPECT_FALSE(TakeColourSkip()) << "the skipped painting leaves the flag clear";

        Painted next = PaintMarked(window, WM_CTLCOLOREDIT, green);
        EXPECT_EQ(next.back, Rgb{0x00FF00}) << "only one painting is skipped";
        EXPECT_EQ(next.text, Rgb{0x0000FF});
        EXPECT_EQ(BrushColour(next.brush), Rgb{0x00FF00});
    }
}

TEST(ColourPainting, ControlWithoutAnEntryIsLeftAloneAndTheFlagEndsClear) {
    TestWindow window;
    HWND edit = STRINGGADGET(4801, 10, 10, 100, 24, "", 0, 0);
    SetGadgetColor(4801, 0xABCDEF, 0, 1);
    HWND plainStatic = CreateChild("STATIC", window, 4802, 0, 10, 40, 100, 20, "plain");
    HWND plainEdit = CreateChild("EDIT", window, 4803, 0, 10, 70, 100, 20);
    ClearColourSkip();
    HBRUSH before = PaintMarked(window, WM_CTLCOLOREDIT, edit).brush;
    for (auto [message, control] : {std::pair{WM_CTLCOLORSTATIC, plainStatic},
                                    std::pair{WM_CTLCOLOREDIT, plainEdit}}) {
        SCOPED_TRACE("message " + Hex(message));
        Painted painted = PaintMarked(window, message, control);
        EXPECT_EQ(painted.brush, before);
        EXPECT_EQ(painted.back, Rgb{ControlDc::kMarkBack});
        EXPECT_EQ(painted.text, Rgb{ControlDc::kMarkText});
        EXPECT_FALSE(TakeColourSkip());
    }
}

TEST(ColourPainting, GetGadgetColorReadsByNumberOrHandleAndCountsTheLowEightTypeBits) {
    TestWindow window;
    HWND label = TEXTGADGET(4901, 10, 10, 100, 20, "label", 0);
    SetGadgetColor(4901, 0x0A0B0C, 0x0D0E0F, 3);
    HWND button = BUTTONGADGET(4902, 10, 40, 60, 24, "OK", 0);
    auto handle = [](HWND control) { return reinterpret_cast<intptr_t>(control); };
    struct Case {
        const char* what;
        intptr_t key;
        int32_t type;
        int32_t expected;
        bool setsSkip;
    };
    const Case cases[] = {
        {"background by number", 4901, 1, 0x0A0B0C, false},
        {"text colour by number", 4901, 2, 0x0D0E0F, false},
        {"background by handle", handle(label), 3, 0x0A0B0C, false},
        {"text colour by handle", handle(label), 4, 0x0D0E0F, false},
        {"type 0x101 is type 1", 4901, 0x101, 0x0A0B0C, false},
        {"type 0x202 is type 2", 4901, 0x202, 0x0D0E0F, false},
        {"type 0x103 is type 3", handle(label), 0x103, 0x0A0B0C, false},
        {"type 0x304 is type 4", handle(label), 0x304, 0x0D0E0F, false},
        {"type 0", 4901, 0, 0, false},
        {"type 5", handle(label), 5, 0, false},
        {"button by number", 4902, 1, 0, false},
        {"unregistered number", 4999, 2, 0, false},
        {"button by handle", handle(button), 3, 0, true},
        {"window without entry by handle", handle(window), 4, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearColourSkip();
        EXPECT_EQ(Rgb{static_cast<COLORREF>(GetGadgetColor(c.key, c.type))},
                  Rgb{static_cast<COLORREF>(c.expected)});
        EXPECT_EQ(TakeColourSkip(), c.setsSkip);
    }
}

TEST(ColourPaintingEndurance, HundredThousandSwitchesLeaveNoBrushBehind) {
    TestWindow window;
    HWND white = STRINGGADGET(5001, 10, 10, 100, 24, "", 0, 0);
    HWND green = STRINGGADGET(5002, 10, 40, 100, 24, "", 0, 0);
    SetGadgetColor(5002, 0x00FF00, 0, 1);
    ControlDc whiteContext(white);
    ControlDc greenContext(green);
    HDC whiteDc = whiteContext;
    HDC greenDc = greenContext;
    ClearColourSkip();
    auto paintSwitch = [&](int i) {
        bool isGreen = i % 2 == 0;
        return Paint(window, WM_CTLCOLOREDIT, isGreen ? greenDc : whiteDc, isGreen ? green : white);
    };
    HBRUSH first = Paint(window, WM_CTLCOLOREDIT, whiteDc, white);
    // Warm up, so that the heap has what the loop needs before measuring.
    for (int i = 0; i < 2000; ++i) paintSwitch(i);
    PROCESS_MEMORY_COUNTERS before{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));

    // Wine's GDI handle table holds about 65,000 objects: a brush leaked at
    // every switch would exhaust it long before the end.
    constexpr int kSwitches = 100000;
    HBRUSH last = nullptr;
    int failures = 0;
    for (int i = 0; i < kSwitches; ++i) {
        last = paintSwitch(i);
        if (last == nullptr && ++failures == 1) ADD_FAILURE() << "no brush at switch " << i;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(GetObjectType(last), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(BrushColour(last), Rgb{kWhite});
    EXPECT_EQ(GetObjectType(first), 0u) << "the first brush outlived its replacement";

    std::vector<HBRUSH> fresh;
    for (int i = 0; i < 100; ++i) fresh.push_back(CreateSolidBrush(0x808080));
    EXPECT_EQ(std::count(fresh.begin(), fresh.end(), nullptr), 0)
        << "CreateSolidBrush fails after the switches";
    for (HBRUSH brush : fresh) DeleteObject(brush);

    PROCESS_MEMORY_COUNTERS after{};
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
    constexpr SIZE_T kTolerance = 4 << 20;
    SIZE_T growth = after.WorkingSetSize > before.WorkingSetSize
                        ? after.WorkingSetSize - before.WorkingSetSize
                        : 0;
    EXPECT_LT(growth, kTolerance) << "working set " << before.WorkingSetSize << " -> "
                                  << after.WorkingSetSize << " bytes";
}

TEST(DropDownColoursAtStart, AreBlackOnBlackWithNoBrushBeforeAnyPainting) {
    TestWindow window;
    DropDown dropDown(window);  // a plain combo box: no gadget creator has run
    Painted painted = dropDown.Read();
    EXPECT_EQ(painted.back, Rgb{0});
    EXPECT_EQ(painted.text, Rgb{0});
    EXPECT_EQ(painted.brush, nullptr) << "no brush exists before the first painting";
}

// ============================================================================
// Colour setters: SetGadgetColor and the per-class DSGC
// ============================================================================

TEST(ColourSetting, SetGadgetColorStoresWhatItsTypeSays) {
    struct Case {
        const char* what;
        std::function<HWND(int32_t number)> create;
        COLORREF background;
        COLORREF text;
        int32_t type;
        std::pair<Rgb, Rgb> entry;  // afterwards
    };
    auto label = [](int32_t n) { return TEXTGADGET(n, 10, 10, 100, 20, "label", 0); };
    auto edit = [](int32_t n) { return STRINGGADGET(n, 10, 10, 100, 24, "edit", 0, 0); };
    auto combo = [](int32_t n) { return ComboBoxGadget(n, 10, 10, 100, 100, CBS_DROPDOWNLIST); };
    const Case cases[] = {
        {"label, text colour only", label, 0, kBlue, 2, {Rgb{kLabelFace}, Rgb{kBlue}}},
        {"edit, text colour only", edit, 0x00FF00, kBlue, 2, {Rgb{kWhite}, Rgb{kBlue}}},
        {"edit, background only", edit, 0x00FF00, kBlue, 1, {Rgb{0x00FF00}, Rgb{0}}},
        {"edit, both", edit, 0x00FF00, kBlue, 3, {Rgb{0x00FF00}, Rgb{kBlue}}},
        {"edit, type 4 stores nothing", edit, 0x00FF00, kBlue, 4, {Rgb{kWhite}, Rgb{0}}},
        {"edit, type 0x101 is type 1", edit, 0x00FF00, kBlue, 0x101, {Rgb{0x00FF00}, Rgb{0}}},
        {"combo box, background only", combo, 0x00FF00, kBlue, 1, {Rgb{0x00FF00}, Rgb{0}}},
    };
    int32_t number = 6100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestWindow window;
        HWND gadget = c.create(++number);
        EXPECT_EQ(SetGadgetColor(number, c.background, c.text, c.type), 1);
        EXPECT_EQ(ColourEntry(gadget), c.entry);
        ClearColourSkip();
        UINT message = ClassName(gadget) == "Static" ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
        Painted painted = PaintMarked(window, message, gadget);
        EXPECT_EQ(painted.back, c.entry.first);
        EXPECT_EQ(painted.text, c.entry.second);
    }
    EXPECT_EQ(SetGadgetColor(6199, 0x00FF00, kBlue, 3), 1) << "an unregistered number";
}

TEST(ColourSetting, ComboBoxBackgroundAlsoSetsBothDropDownColours) {
    TestWindow window;
    DropDown dropDown(window);
    HWND combo = ComboBoxGadget(6201, 10, 10, 100, 100, CBS_DROPDOWNLIST);
    SetGadgetColor(6201, 0x224466, 0x0000AA, 1);
    EXPECT_EQ(ColourEntry(combo), (std::pair{Rgb{0x224466}, Rgb{0}}));
    Painted painted = dropDown.Read();
    EXPECT_EQ(painted.back, Rgb{0x224466});
    EXPECT_EQ(painted.text, Rgb{0x0000AA}) << "the text colour argument is taken as well";
}

TEST(ColourSetting, TextColourOnAWindowOfTheLibrarysClassPaintsItsClassBackground) {
    TestWindow window;
    ADDIN9999(6301, window);
    EXPECT_EQ(SetGadgetColor(6301, 0x2040A0, kBlue, 2), 1);
    auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
    EXPECT_EQ(BrushColour(brush), Rgb{0x2040A0});
    EXPECT_EQ(ColourEntry(window), std::nullopt) << "no entry is added for it";
}

namespace {

// Colours a control reports back about itself; nothing where it has no way to tell.
struct Reported {
    std::optional<Rgb> background;
    std::optional<Rgb> textBackground;
    std::optional<Rgb> text;
    bool operator==(const Reported&) const = default;
};

void PrintTo(const Reported& seen, std::ostream* out) {
    auto one = [&](const char* name, const std::optional<Rgb>& colour) {
        *out << name << "=";
        if (colour) {
            PrintTo(*colour, out);
        } else {
            *out << "-";
        }
        *out << " ";
    };
    one("background", seen.background);
    one("textBackground", seen.textBackground);
    one("text", seen.text);
}

Rgb Reply(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return Rgb{static_cast<COLORREF>(SendMessageA(control, message, wParam, lParam))};
}

Reported ReadRichEdit(HWND control) {
    // EM_SETBKGNDCOLOR answers with the colour it replaces; put it back.
    Rgb background = Reply(control, EM_SETBKGNDCOLOR, 0, 0x010101);
    SendMessageA(control, EM_SETBKGNDCOLOR, 0, background.value);
    SendMessageA(control, EM_SETSEL, 0, -1);
    CHARFORMATA format{};
    format.cbSize = sizeof format;
    SendMessageA(control, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    std::optional<Rgb> text;
    if ((format.dwMask & CFM_COLOR) != 0 && (format.dwEffects & CFE_AUTOCOLOR) == 0) {
        text = Rgb{format.crTextColor};
    }
    return Reported{background, std::nullopt, text};
}

Reported ReadListView(HWND listView) {
    return Reported{Reply(listView, LVM_GETBKCOLOR), Reply(listView, LVM_GETTEXTBKCOLOR),
                    Reply(listView, LVM_GETTEXTCOLOR)};
}

// The inner list view of every explorer gadget made here; the gadget's
// "addparam60000" property points at one of these records.
std::deque<HWND> explorerRecords;

void RegisterExplorerClass() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ExplorerGadget";
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
}

HWND MakeExplorer(HWND parent, int id) {
    RegisterExplorerClass();
    HWND gadget = CreateChild("ExplorerGadget", parent, id, 0, 10, 10, 200, 150);
    HWND listView = CreateChild(WC_LISTVIEWA, gadget, 1, LVS_REPORT, 0, 0, 200, 150);
    explorerRecords.push_back(listView);
    SetPropA(gadget, "addparam60000", &explorerRecords.back());
    SetPropA(gadget, "EXPLORERGADGETLISTVIEWWINDOW", listView);
    return gadget;
}

HWND InnerListView(HWND explorer) {
    return *static_cast<HWND*>(GetPropA(explorer, "addparam60000"));
}

// The window's class background brush colour; nothing when it is no brush.
Reported ReadClassBrush(HWND window) {
    auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
    return Reported{BrushColour(brush), std::nullopt, std::nullopt};
}

void RegisterContainerClass() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "ContainerOfTests";
    RegisterClassA(&windowClass);
}

}  // namespace

TEST(ClassColours, EachClassRowActsThroughWhatTheControlKeepsOrPaints) {
    InitControls();
    LoadLibraryA("riched20.dll");
    enum class Acts { ByType, EveryTypeBoth, EveryTypeBackground };
    struct Row {
        const char* className;
        int32_t kind;
        Acts acts;
        std::function<HWND(HWND parent)> make;
        std::function<Reported(HWND control)> read;  // what the control says of itself
    };
    auto child = [](const char* className, DWORD style = 0) {
        return [=](HWND parent) {
            return CreateChild(className, parent, 7000, style, 10, 10, 200, 100, "abc");
        };
    };
    TestWindow window("class colours");
    DropDown dropDown(window);
    auto readDropDown = [&](HWND) {
        Painted painted = dropDown.Read();
        return Reported{painted.back, std::nullopt, painted.text};
    };
    const Row rows[] = {
        {"RichEdit20A", 1, Acts::ByType, child("RichEdit20A"), ReadRichEdit},
        {"tooltips_class32", 1, Acts::ByType,
         [](HWND parent) {
             return CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, parent, nullptr,
                                    nullptr, nullptr);
         },
         [](HWND tip) {
             return Reported{Reply(tip, TTM_GETTIPBKCOLOR), std::nullopt,
                             Reply(tip, TTM_GETTIPTEXTCOLOR)};
         }},
        {"ComboBox", 3, Acts::EveryTypeBoth, child("COMBOBOX", CBS_DROPDOWNLIST), readDropDown},
        {"SysTreeView32", 1, Acts::ByType, child(WC_TREEVIEWA),
         [](HWND tree) {
             return Reported{Reply(tree, TVM_GETBKCOLOR), std::nullopt,
                             Reply(tree, TVM_GETTEXTCOLOR)};
         }},
        {"SysListView32", 1, Acts::ByType, child(WC_LISTVIEWA, LVS_REPORT), ReadListView},
        {"ScrollBar", 2, Acts::EveryTypeBoth, child("SCROLLBAR"), readDropDown},
        {"msctls_progress32", 0, Acts::ByType, child(PROGRESS_CLASSA),
         [](HWND bar) {
             return Reported{Reply(bar, PBM_GETBKCOLOR), std::nullopt,
                             Reply(bar, PBM_GETBARCOLOR)};
         }},
        {"msctls_statusbar32", 0, Acts::EveryTypeBackground, child(STATUSCLASSNAMEA),
         [](HWND bar) {
             // SB_SETBKCOLOR answers with the colour it replaces; put it back.
             Rgb background = Reply(bar, SB_SETBKCOLOR, 0, 0x010101);
             SendMessageA(bar, SB_SETBKCOLOR, 0, background.value);
             return Reported{background, std::nullopt, std::nullopt};
         }},
        {"ExplorerGadget", 4, Acts::ByType, [](HWND parent) { return MakeExplorer(parent, 7000); },
         [](HWND explorer) { return ReadListView(InnerListView(explorer)); }},
        {"CLASSCLASS_ (a window that OpenWindow opened)", 0, Acts::EveryTypeBackground,
         [](HWND) { return OpenTestWindow("class colours, own class"); }, ReadClassBrush},
        {"Container...", 0, Acts::EveryTypeBackground,
         [](HWND parent) {
             RegisterContainerClass();
             return CreateChild("ContainerOfTests", parent, 7000);
         },
         ReadClassBrush},
    };
    int round = 0;
    for (const Row& row : rows) {
        for (int32_t type : {1, 2, 3}) {
            SCOPED_TRACE(std::string(row.className) + ", type " + std::to_string(type));
            ++round;
            HWND control = row.make(window);
            ASSERT_NE(control, nullptr);
            const COLORREF background = 0x0A0B00 + 0x10000 * round + type;
            const COLORREF text = 0x000C0D + 0x100 * round + type;
            const Reported before = row.read(control);
            EXPECT_EQ(DSGC(control, background, text, type), row.kind);
            Reported expected = before;
            bool setsBackground = row.acts != Acts::ByType || type != 2;
            bool setsText =
                row.acts == Acts::EveryTypeBoth || (row.acts == Acts::ByType && type != 1);
            if (setsBackground) {
                expected.background = Rgb{background};
                if (before.textBackground) expected.textBackground = Rgb{background};
            }
            if (setsText) expected.text = Rgb{text};
            EXPECT_EQ(row.read(control), expected);
            DestroyWindow(control);
        }
    }
}

TEST(ClassColours, StaticIsRepaintedAndOtherClassesAreLeftAlone) {
    struct Row {
        const char* className;
        bool repaints;
    };
    TestWindow window;
    DropDown dropDown(window);
    int32_t number = 7100;
    for (Row row : {Row{"STATIC", true}, Row{"EDIT", false}, Row{"BUTTON", false},
                    Row{"LISTBOX", false}}) {
        for (int32_t type : {1, 2, 3, 4}) {
            SCOPED_TRACE(std::string(row.className) + ", type " + std::to_string(type));
            HWND control = ColouredChild(row.className, window, ++number, 0x777777, 0x333333,
                                         10, 10);
            COOLOOR(0x121212, 0x343434);
            Settle(window);
            Settle(control);
            ASSERT_FALSE(NeedsRepaint(control));
            EXPECT_EQ(DSGC(control, 0x00FF00, 0x0000FF, type), 0);
            EXPECT_EQ(NeedsRepaint(control), row.repaints);
            Painted dropDownColours = dropDown.Read();
            EXPECT_EQ(dropDownColours.back, Rgb{0x121212});
            EXPECT_EQ(dropDownColours.text, Rgb{0x343434});
            EXPECT_EQ(ColourEntry(control), (std::pair{Rgb{0x777777}, Rgb{0x333333}}))
                << "DSGC leaves the colour table to SetGadgetColor";
            DestroyWindow(control);
        }
    }
}

TEST(ExplorerGadgetColours, WithoutItsPropertiesNothingChangesAndNothingIsRead) {
    TestWindow window;
    RegisterExplorerClass();
    HWND explorer = CreateChild("ExplorerGadget", window, 8101, 0, 10, 10, 200, 150);
    ADDIN9999(8101, explorer);
    ColorAdd(nullptr, 0x111111, 0x222222);  // an entry keyed by handle 0
    const auto handleZeroEntry = std::pair{Rgb{0x111111}, Rgb{0x222222}};
    HFONT font = CreateFontA(20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");

    for (int32_t type : {1, 2, 3}) {
        SCOPED_TRACE("type " + std::to_string(type));
        EXPECT_EQ(DSGC(explorer, 0x00FF00, 0x0000FF, type), 4);
        EXPECT_EQ(SetGadgetColor(8101, 0x00FF00, 0x0000FF, type), 1);
        EXPECT_EQ(ColourEntry(nullptr), handleZeroEntry);
    }
    EXPECT_EQ(GetGadgetColor(8101, 1), 0);
    EXPECT_EQ(GetGadgetColor(8101, 2), 0);
    EXPECT_EQ(SETGADGETFONT(8101, font), 0);
    EXPECT_EQ(FontOf(explorer), nullptr);
    EXPECT_TRUE(IsWindow(explorer));
    DeleteObject(font);
}

TEST(ExplorerGadgetColours, WithItsPropertiesTheInnerListViewIsColouredAndGetsTheFont) {
    InitControls();
    TestWindow window;
    HWND explorer = MakeExplorer(window, 8201);
    ADDIN9999(8201, explorer);
    HWND listView = InnerListView(explorer);
    ColorAdd(listView, 0xFFFFFF, 0);
    HFONT font = CreateFontA(20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");

    EXPECT_EQ(SetGadgetColor(8201, 0x123456, 0x654321, 3), 1);
    EXPECT_EQ(ReadListView(listView), (Reported{Rgb{0x123456}, Rgb{0x123456}, Rgb{0x654321}}));
    EXPECT_EQ(ColourEntry(listView), (std::pair{Rgb{0x123456}, Rgb{0x654321}}));
    EXPECT_EQ(ColourEntry(explorer), std::nullopt);
    EXPECT_EQ(GetGadgetColor(8201, 1), 0x123456);
    EXPECT_EQ(GetGadgetColor(8201, 2), 0x654321);
    SETGADGETFONT(8201, font);
    EXPECT_EQ(FontOf(listView), font);
    DestroyWindow(explorer);
    DeleteObject(font);
}

// ============================================================================
// WindowColor: class background brushes
// ============================================================================

namespace {

// The executable's import slot for one function of one DLL.
void** ImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; module->Name != 0; ++module) {
        if (_stricmp(reinterpret_cast<char*>(base + module->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (module->OriginalFirstThunk != 0 ? module->OriginalFirstThunk
                                                    : module->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

void PatchSlot(void** slot, void* function) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = function;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// Every object that the process hands to DeleteObject while the spy lives.
// The library is linked into this executable, so its calls go through the
// executable's import table, where the spy puts itself.
class DeleteObjectSpy {
public:
    DeleteObjectSpy() {
        slot_ = ImportSlot("gdi32.dll", "DeleteObject");
        if (slot_ == nullptr) return;
        original_ = reinterpret_cast<DeleteFunction>(*slot_);
        deleted_.clear();
        Patch(reinterpret_cast<void*>(&Recording));
    }
    ~DeleteObjectSpy() {
        if (slot_ != nullptr) Patch(reinterpret_cast<void*>(original_));
    }
    DeleteObjectSpy(const DeleteObjectSpy&) = delete;
    DeleteObjectSpy& operator=(const DeleteObjectSpy&) = delete;

    bool Installed() const { return slot_ != nullptr; }
    // Handles are used again once deleted: what was seen so far is forgotten.
    void Forget() { deleted_.clear(); }
    bool Saw(const void* object) const {
        return std::find(deleted_.begin(), deleted_.end(), object) != deleted_.end();
    }

private:
    using DeleteFunction = BOOL(WINAPI*)(HGDIOBJ);

    static BOOL WINAPI Recording(HGDIOBJ object) {
        deleted_.push_back(object);
        return original_(object);
    }

    void Patch(void* function) { PatchSlot(slot_, function); }

    void** slot_ = nullptr;
    static inline DeleteFunction original_ = nullptr;
    static inline std::vector<HGDIOBJ> deleted_;
};

// Every brush that the process makes with CreateSolidBrush while the spy lives.
class CreateSolidBrushSpy {
public:
    CreateSolidBrushSpy() {
        slot_ = ImportSlot("gdi32.dll", "CreateSolidBrush");
        if (slot_ == nullptr) return;
        original_ = reinterpret_cast<CreateFunction>(*slot_);
        made_.clear();
        PatchSlot(slot_, reinterpret_cast<void*>(&Recording));
    }
    ~CreateSolidBrushSpy() {
        if (slot_ != nullptr) PatchSlot(slot_, reinterpret_cast<void*>(original_));
    }
    CreateSolidBrushSpy(const CreateSolidBrushSpy&) = delete;
    CreateSolidBrushSpy& operator=(const CreateSolidBrushSpy&) = delete;

    bool Installed() const { return slot_ != nullptr; }
    const std::vector<HBRUSH>& Made() const { return made_; }

private:
    using CreateFunction = HBRUSH(WINAPI*)(COLORREF);

    static HBRUSH WINAPI Recording(COLORREF colour) {
        HBRUSH brush = original_(colour);
        made_.push_back(brush);
        return brush;
    }

    void** slot_ = nullptr;
    static inline CreateFunction original_ = nullptr;
    static inline std::vector<HBRUSH> made_;
};

HBRUSH ClassBrush(HWND window) {
    return reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
}

}  // namespace

// The value WindowColor returns is the class's previous brush, which a caller
// may put back into the class: it stays a live brush of its colour while the
// class holds it, and once put back it is the caller's. A class holds at most
// two brushes of the library: the same colour again is the same brush, and a
// brush of a colour long replaced is deleted.
TEST(WindowColour, ThePreviousBrushStaysValidAndAClassKeepsAtMostTwo) {
    DeleteObjectSpy spy;
    ASSERT_TRUE(spy.Installed()) << "DeleteObject is not in the executable's import table";
    TestWindow window;
    TestWindow other;
    const auto systemColour = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
    ASSERT_EQ(ClassBrush(window), systemColour) << "the class starts with the system colour";

    EXPECT_EQ(WindowColor(window, 0x000001), reinterpret_cast<intptr_t>(systemColour));
    HBRUSH first = ClassBrush(window);
    EXPECT_EQ(BrushColour(first), Rgb{0x000001});
    for (COLORREF colour = 2; colour <= 1000; ++colour) {
        HBRUSH replaced = ClassBrush(window);
        COLORREF replacedColour = colour - 1;
        if (WindowColor(window, colour) != reinterpret_cast<intptr_t>(replaced) ||
            GetObjectType(replaced) != static_cast<DWORD>(OBJ_BRUSH) ||
            BrushColour(replaced) != Rgb{replacedColour} ||
            BrushColour(ClassBrush(window)) != Rgb{colour}) {
            ADD_FAILURE() << "colour " << colour << ": the previous brush " << replaced
                          << " is not the live brush of colour " << replacedColour
                          << " returned, or the class did not take the new colour";
            break;
        }
    }
    EXPECT_TRUE(spy.Saw(first)) << "the brush of a colour replaced long ago was kept";
    EXPECT_FALSE(spy.Saw(systemColour)) << "a system colour value went to DeleteObject";

    // A caller restores the previous value: the class paints with it, and it
    // is the caller's from then on, never deleted by the library.
    auto previous = reinterpret_cast<HBRUSH>(WindowColor(window, 0x0000FF));
    SetClassLongPtrA(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(previous));
    EXPECT_EQ(BrushColour(ClassBrush(window)), Rgb{1000});
    spy.Forget();
    for (COLORREF colour : {0x000001, 0x000002, 0x000003, 0x000004}) WindowColor(window, colour);
    EXPECT_FALSE(spy.Saw(previous)) << "the brush the caller put back was deleted";
    EXPECT_EQ(BrushColour(previous), Rgb{1000});

    // Switching between two colours reuses the class's two brushes.
    WindowColor(window, 0x000003);
    HBRUSH three = ClassBrush(window);
    WindowColor(window, 0x000004);
    HBRUSH four = ClassBrush(window);
    for (int i = 0; i < 10; ++i) {
        WindowColor(window, 0x000003);
        EXPECT_EQ(ClassBrush(window), three);
        WindowColor(window, 0x000004);
        EXPECT_EQ(ClassBrush(window), four);
    }
    // Another class of the same colour gets a brush of its own.
    WindowColor(other, 0x000004);
    EXPECT_NE(ClassBrush(other), four) << "two classes share one brush";
    EXPECT_EQ(BrushColour(ClassBrush(other)), Rgb{0x000004});
}

// Windows deletes a class's background brush when the class is unregistered,
// and a caller may delete the previous brush handed back: neither may take the
// background of another class of the same colour along.
TEST(WindowColour, DeletingOneClassBrushLeavesOtherClassesOfTheColourPainted) {
    TestWindow first;
    TestWindow second;
    WindowColor(first, 0x123456);
    WindowColor(second, 0x123456);
    auto handedBack = reinterpret_cast<HBRUSH>(WindowColor(first, 0x654321));
    ASSERT_EQ(BrushColour(handedBack), Rgb{0x123456});
    EXPECT_TRUE(DeleteObject(handedBack)) << "the caller could not delete the brush handed back";
    EXPECT_EQ(GetObjectType(ClassBrush(second)), static_cast<DWORD>(OBJ_BRUSH))
        << "the other class's background died with the brush handed back";
    EXPECT_EQ(BrushColour(ClassBrush(second)), Rgb{0x123456});
    // The deleted brush is never put into a class again.
    WindowColor(first, 0x123456);
    EXPECT_EQ(GetObjectType(ClassBrush(first)), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(BrushColour(ClassBrush(first)), Rgb{0x123456});
}

TEST(WindowColour, ABadWindowChangesNothingAndReturnsZero) {
    DeleteObjectSpy spy;
    ASSERT_TRUE(spy.Installed());
    TestWindow window;
    WindowColor(window, 0x00AA00);
    HBRUSH brush = ClassBrush(window);
    HWND gone = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    for (HWND bad : {HWND{nullptr}, gone, reinterpret_cast<HWND>(static_cast<intptr_t>(0x7FFF0))}) {
        EXPECT_EQ(WindowColor(bad, 0x00AA00), 0) << bad;
        EXPECT_EQ(WindowColor(bad, 0x0000BB), 0) << bad;
    }
    EXPECT_EQ(ClassBrush(window), brush);
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_FALSE(spy.Saw(brush));
    // The same colour twice is the same brush, bad windows in between or not.
    WindowColor(window, 0x0000BB);
    HBRUSH blue = ClassBrush(window);
    WindowColor(nullptr, 0x0000BB);
    WindowColor(window, 0x0000BB);
    EXPECT_EQ(ClassBrush(window), blue);
}

// The class of another process's window cannot be changed: every brush made
// for it goes again, none is kept for its class, and the colours of the
// process's own classes go on as before.
TEST(WindowColour, AClassThatCannotBeChangedKeepsNoBrush) {
    RunningProgram program;
    StartItself(program);
    ASSERT_NE(program.window, nullptr);
    HBRUSH foreignBefore = ClassBrush(program.window);
    TestWindow window;
    WindowColor(window, 0x00AA00);
    HBRUSH own = ClassBrush(window);
    {
        DeleteObjectSpy deleted;
        CreateSolidBrushSpy made;
        ASSERT_TRUE(deleted.Installed() && made.Installed());
        for (COLORREF colour = 1; colour <= 200; ++colour) {
            EXPECT_EQ(WindowColor(program.window, colour), 0) << "colour " << colour;
            EXPECT_EQ(WindowColor(program.window, 0x123456), 0);
        }
        int alive = 0;
        for (HBRUSH brush : made.Made()) alive += deleted.Saw(brush) ? 0 : 1;
        EXPECT_EQ(alive, 0) << made.Made().size() << " brushes made for a class that refused them, "
                            << alive << " of them kept";
    }
    EXPECT_EQ(ClassBrush(program.window), foreignBefore);
    // The process's own class: the same colour is the same brush still.
    WindowColor(window, 0x00AA00);
    EXPECT_EQ(ClassBrush(window), own);
    EXPECT_EQ(CloseAndWait(program), 0);
}

TEST(WindowColour, ABrushThatSomeoneElseMadeIsLeftAlive) {
    DeleteObjectSpy spy;
    ASSERT_TRUE(spy.Installed());
    HBRUSH own = CreateSolidBrush(0x445566);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = own;
    windowClass.lpszClassName = "ContainerWithItsOwnBrush";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND container = CreateWindowExA(0, "ContainerWithItsOwnBrush", "", WS_POPUP, 0, 0, 50, 50,
                                     nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(container, nullptr);

    EXPECT_EQ(WindowColor(container, 0x0000FF), reinterpret_cast<intptr_t>(own));
    EXPECT_EQ(BrushColour(ClassBrush(container)), Rgb{0x0000FF});
    // Its class name begins with "Container": DSGC paints the class background.
    EXPECT_EQ(DSGC(container, 0x00FF00, 0, 2), 0);
    EXPECT_EQ(BrushColour(ClassBrush(container)), Rgb{0x00FF00});
    EXPECT_FALSE(spy.Saw(own));
    EXPECT_EQ(BrushColour(own), Rgb{0x445566}) << "the caller's brush was deleted";

    DestroyWindow(container);
    UnregisterClassA("ContainerWithItsOwnBrush", GetModuleHandleA(nullptr));
    DeleteObject(own);

    // Unregistering the class may have deleted its brush, the one kept for
    // 0x00FF00: that colour still gives a live brush.
    TestWindow window;
    WindowColor(window, 0x00FF00);
    EXPECT_EQ(GetObjectType(ClassBrush(window)), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(BrushColour(ClassBrush(window)), Rgb{0x00FF00});
}

// ============================================================================
// Fonts
// ============================================================================

namespace {

HFONT MakeFont(int height) {
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
}

const HFONT kClearFont = reinterpret_cast<HFONT>(static_cast<intptr_t>(-1));

// One gadget of each kind under the current gadget list.
std::vector<std::pair<const char*, HWND>> OneOfEachKind(int32_t firstNumber) {
    return {
        {"label", TEXTGADGET(firstNumber, 10, 10, 100, 20, "label", 0)},
        {"combo box", ComboBoxGadget(firstNumber + 1, 10, 40, 100, 100, CBS_DROPDOWNLIST)},
        {"edit box", STRINGGADGET(firstNumber + 2, 10, 70, 100, 24, "edit", 0, 0)},
        {"button", BUTTONGADGET(firstNumber + 3, 10, 100, 100, 24, "button", 0)},
    };
}

}  // namespace

TEST(DefaultFontAtStart, IsNoneAndGadgetsKeepTheSystemFont) {
    EXPECT_EQ(GGF(), nullptr);
    TestWindow window;
    for (auto [kind, gadget] : OneOfEachKind(9101)) {
        EXPECT_EQ(FontOf(gadget), nullptr) << kind;
    }
}

TEST(DefaultGadgetFont, ReachesOnlyGadgetsCreatedAfterItUntilCleared) {
    TestWindow window;
    HFONT font = MakeFont(22);
    auto earlier = OneOfEachKind(9201);

    EXPECT_EQ(SETGADGETFONT(-1, font), 0);
    EXPECT_EQ(GGF(), font);
    for (auto [kind, gadget] : OneOfEachKind(9211)) {
        EXPECT_EQ(FontOf(gadget), font) << kind << " created after the default font";
    }
    for (auto [kind, gadget] : earlier) {
        EXPECT_EQ(FontOf(gadget), nullptr) << kind << " created before keeps its font";
    }

    EXPECT_EQ(SETGADGETFONT(-1, kClearFont), 0);
    EXPECT_EQ(GGF(), nullptr);
    for (auto [kind, gadget] : OneOfEachKind(9221)) {
        EXPECT_EQ(FontOf(gadget), nullptr) << kind << " created after clearing";
    }
    DestroyWindow(window);
    DeleteObject(font);
}

TEST(GadgetFont, OneGadgetsFontChangesAloneWithoutAnImmediateRepaint) {
    TestWindow window;
    HWND changed = TEXTGADGET(9301, 10, 10, 100, 20, "changed", 0);
    HWND sibling = TEXTGADGET(9302, 10, 40, 100, 20, "sibling", 0);
    HFONT font = MakeFont(18);
    Settle(window);
    Settle(changed);

    EXPECT_EQ(SETGADGETFONT(9301, font), 0);
    EXPECT_EQ(FontOf(changed), font);
    EXPECT_EQ(FontOf(sibling), nullptr);
    EXPECT_FALSE(NeedsRepaint(changed)) << "WM_SETFONT asked the label to redraw at once";
    EXPECT_EQ(GGF(), nullptr) << "a gadget's font is not the default font";

    EXPECT_EQ(SETGADGETFONT(9301, nullptr), 0);
    EXPECT_EQ(FontOf(changed), nullptr) << "font 0 returns the gadget to the system font";
    EXPECT_EQ(SETGADGETFONT(9399, font), 0) << "an unregistered number";
    DestroyWindow(window);
    DeleteObject(font);
}
