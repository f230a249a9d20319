// The exported face: the 32-bit product's export table, the adapters, and every
// export called through the export table as a C caller of __stdcall functions.
#include "standin.h"
#include "test_support.h"

#include "gadgets/controls/colour_painting.h"
#include "gadgets/events/event_state.h"

#include <commctrl.h>
#include <exdisp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <utility>
#include <vector>

namespace {

// Every exported function with its decorated stdcall name.
const std::set<std::string> kAllExports = {
    "ADDIN9999@8", "GadgetID@4", "ID_In_Number@4", "UseGadgetList@4", "GETGURRENTAL@0",
    "ColorAdd@12", "FREEGADGET@4",
    "OpenWindow@28", "CENTERWINDOW@4", "RESIZEWINDOW@20",
    "GADGETX@4", "GADGETY@4", "GADGETWIDTH@4", "GADGETHEIGHT@4", "RESIZEGADGET@20",
    "GETCLASSNAME_@4", "GADGETCLASS@4",
    "TEXTGADGET@28", "ComboBoxGadget@24", "STRINGGADGET@32", "BUTTONGADGET@28",
    "GetGadgetText@8", "SetGadgetText@8", "AddComboBoxItem@12", "SetItemComboBox@8",
    "GetItemComboBox@4", "GetComboBoxText@8",
    "SetGadgetColor@16", "GetGadgetColor@8", "DSGC@16", "COOLOOR@8", "WindowColor@8",
    "SETGADGETFONT@8", "GGF@0",
    "EVENTNUMBER@0", "EVENTNUMBERTOOLBAR@0", "EVENTNUMBERLISTVIEW@0", "MOUSEX@0", "MOUSEY@0",
    "SIZEX@0", "SIZEY@0", "EVENTHWND@0", "EVENTKEY@0", "EVENTWPARAM@0", "EVENTLPARAM@0",
    "GETSUBITEMLISTVIEW@0", "GETITEMLISTVIEW@0", "GETCOLUMNLISTVIEW@0", "FLAGKEYLISTVIEW@0",
    "GETITEMTREEVIEW@0", "EVENTNUMBERTREEVIEW@0", "ERR_@4", "SETPAGESTEPSCROLLBAR@4",
    "FBGUIWINPROC@16", "SETWINDOWCALLBACK@8", "FREECALLBACK@4",
    "WINDOWEVENT@0", "WAITEVENT@0",
    "ADDKEYBOARDSHORTCUT@16", "DELETEALLKEYBOARDSHORTCUT@4",
    "WEBGADGET@32", "WEBGADGETNAVIGATE@8", "WEBGADGETGOBACK@4", "WEBGADGETGOFORWARD@4",
    "WEBGADGETREFRESH@4", "WEBGADGETSTOP@4", "WEBGADGETGETURL@4", "WEBGADGETSTATE@4",
    "WEBGADGETGETBODY@8", "WEBGADGETSETBODY@8",
    "TRIMA@8", "LTRIMA@8", "RTRIMA@8", "PEEKS@8",
    "ASCIITOUTF@4", "UTFTOASCII@4",
};

// A PE file (PE32 or PE32+) read whole. Every read is checked against the
// file's size; a read past it, or an address outside the sections, throws.
class PeImage {
public:
    explicit PeImage(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(file), {});
        if (bytes_.size() < 64 || bytes_[0] != 'M' || bytes_[1] != 'Z') throw std::runtime_error("not MZ");
        size_t pe = Read32(0x3C);
        if (Read32(pe) != 0x4550) throw std::runtime_error("not PE");
        sections_ = Read16(pe + 6);
        size_t optional = pe + 24;
        plus_ = Read16(optional) == 0x20B;
        directories_ = optional + (plus_ ? 112 : 96);
        sectionTable_ = optional + Read16(pe + 20);
    }

    bool Plus() const { return plus_; }
    uint32_t Read32(size_t at) const { return Read<uint32_t>(at); }
    uint16_t Read16(size_t at) const { return Read<uint16_t>(at); }
    // The zero-terminated text at a file offset.
    std::string Text(size_t at) const {
        std::string text;
        while (at < bytes_.size() && bytes_[at] != 0) text += static_cast<char>(bytes_[at++]);
        if (at >= bytes_.size()) throw std::runtime_error("a name runs past the file");
        return text;
    }
    // The address of data directory `index` (0 exports, 1 imports); 0 when absent.
    uint32_t DirectoryAddress(int index) const { return Read32(directories_ + 8u * index); }
    // The file offset of a relative virtual address.
    size_t OffsetOf(uint32_t rva) const {
        for (uint16_t i = 0; i < sections_; ++i) {
            size_t s = sectionTable_ + i * 40u;
            uint32_t virtualAddress = Read32(s + 12), virtualSize = Read32(s + 8);
            uint32_t rawOffset = Read32(s + 20), rawSize = Read32(s + 16);
            if (rva >= virtualAddress && rva < virtualAddress + std::max(virtualSize, rawSize)) {
                return rva - virtualAddress + rawOffset;
            }
        }
        throw std::runtime_error("address outside the sections");
    }

private:
    template <typename Value>
    Value Read(size_t at) const {
        if (at + sizeof(Value) > bytes_.size()) throw std::runtime_error("read past the file");
        Value value;
        std::memcpy(&value, &bytes_[at], sizeof value);
        return value;
    }

    std::vector<unsigned char> bytes_;
    uint16_t sections_ = 0;
    bool plus_ = false;
    size_t directories_ = 0;
    size_t sectionTable_ = 0;
};

// Reads the names of a PE file's export directory.
std::vector<std::string> ExportNames(const std::string& path, std::string& error) {
    std::vector<std::string> names;
    try {
        PeImage image(path);
        uint32_t exportRva = image.DirectoryAddress(0);
        if (exportRva == 0) return names;
        size_t directory = image.OffsetOf(exportRva);
        uint32_t count = image.Read32(directory + 24);
        size_t nameTable = image.OffsetOf(image.Read32(directory + 32));
        for (uint32_t i = 0; i < count; ++i) {
            names.push_back(image.Text(image.OffsetOf(image.Read32(nameTable + i * 4))));
        }
    } catch (const std::exception& e) {
        error = e.what();
    }
    return names;
}

}  // namespace

TEST(ExportTable, ProductExportsEveryFunctionUnderItsDecoratedName) {
    std::string product = testing_support::Env("ZUDIZAZUZ_EXE32");
    ASSERT_FALSE(product.empty()) << "ZUDIZAZUZ_EXE32 names the 32-bit product";
    std::string error;
    std::vector<std::string> names = ExportNames(testing_support::WindowsPath(product), error);
    ASSERT_TRUE(error.empty()) << error;
    std::set<std::string> exported(names.begin(), names.end());
    EXPECT_EQ(exported.size(), names.size()) << "a name is exported twice";
    for (const std::string& name : kAllExports) {
        EXPECT_TRUE(exported.count(name)) << "missing export " << name;
    }
    for (const std::string& name : exported) {
        EXPECT_TRUE(kAllExports.count(name)) << "unexpected export " << name;
    }
    EXPECT_EQ(kAllExports.size(), 76u);
}

// The exported adapters, linked into this test program as into the product.
extern "C" {
char* __stdcall TRIMA(const char*, const char*);
char* __stdcall PEEKS(const void*, int32_t);
char* __stdcall UTFTOASCII(const wchar_t*);
wchar_t* __stdcall ASCIITOUTF(const char*);
char* __stdcall GETCLASSNAME_(HWND);
}

TEST(ExportedAdapters, StringResultsAreMallocBlocksTheCallerFrees) {
    char* trimmed = ::TRIMA("  abc  ", " ");
    ASSERT_NE(trimmed, nullptr);
    EXPECT_STREQ(trimmed, "abc");
    std::free(trimmed);

    char* empty = ::PEEKS("xyz", -5);
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    std::free(empty);

    char* narrow = ::UTFTOASCII(nullptr);
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow, "");
    std::free(narrow);

    wchar_t* wide = ::ASCIITOUTF("abc");
    ASSERT_NE(wide, nullptr);
    EXPECT_STREQ(wide, L"abc");
    std::free(wide);
    EXPECT_EQ(::ASCIITOUTF(nullptr), nullptr);

    char* name = ::GETCLASSNAME_(GetDesktopWindow());
    ASSERT_NE(name, nullptr);
    EXPECT_GT(std::strlen(name), 0u);
    std::free(name);
}

// ---- Every export called through the export table ---------------------------------
//
// Each export is looked up on this program's own module by the name a C caller
// links against (Name@N on 32-bit, the bare name on 64-bit) and called as a C
// caller calls a __stdcall function: the arguments pushed last first, the
// callee popping them. On i686 a small thunk makes the call and reports how
// far ESP stands from where it stood before the pushes, so an adapter that
// pops a different number of bytes than its decorated name promises shows.

#if defined(__i386__)
// Calls `function` with `count` 4-byte arguments (pushed from the last to the
// first, ESP 16-byte aligned at the call). Returns EAX in the low half and, in
// the high half (EDX), ESP after the return less ESP before the pushes: 0 when
// the callee popped exactly its arguments, -4 a word it left behind, +4 a word
// too many it took.
extern "C" uint64_t CallStdcallMeasured(const void* function, const uint32_t* arguments,
                                        uint32_t count);
asm(R"(
    .text
    .p2align 4
    .globl _CallStdcallMeasured
_CallStdcallMeasured:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  12(%ebp), %esi
    movl  16(%ebp), %ecx
    leal  (,%ecx,4), %eax
    movl  %esp, %edx
    subl  %eax, %edx
    andl  $-16, %edx
    addl  %eax, %edx
    movl  %edx, %esp
    movl  %esp, %ebx
1:  testl %ecx, %ecx
    jz    2f
    decl  %ecx
    pushl (%esi,%ecx,4)
    jmp   1b
2:  call  *8(%ebp)
    movl  %esp, %edx
    subl  %ebx, %edx
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");
#endif

namespace {

using namespace testing_support;

// One argument or result: 4 bytes on i686, a register on x86-64.
using Word = intptr_t;
using Words = std::vector<Word>;

Word W(const void* pointer) { return reinterpret_cast<Word>(pointer); }

// The 32-bit build exports decorated stdcall names; x86-64 has one calling
// convention and no decoration.
constexpr bool kDecorated = sizeof(void*) == 4;

std::string DecoratedName(const std::string& name, int arguments) {
    return name + "@" + std::to_string(4 * arguments);
}

std::string LinkName(const std::string& name, int arguments) {
    return kDecorated ? DecoratedName(name, arguments) : name;
}

const void* FindExport(const std::string& exportName) {
    return reinterpret_cast<const void*>(
        GetProcAddress(GetModuleHandleA(nullptr), exportName.c_str()));
}

struct CallResult {
    Word value;
    int32_t stackMoved;  // bytes; measured on i686 only, 0 elsewhere
};

template <size_t>
using WordAt = Word;

template <size_t... I>
Word CallTyped(const void* function, const Word* arguments, std::index_sequence<I...>) {
    (void)arguments;
    using Typed = Word(__stdcall*)(WordAt<I>...);
    return reinterpret_cast<Typed>(const_cast<void*>(function))(arguments[I]...);
}

CallResult CallExport(const void* function, const Words& arguments) {
#if defined(__i386__)
    std::vector<uint32_t> words(arguments.begin(), arguments.end());
    uint64_t both = CallStdcallMeasured(function, words.data(), static_cast<uint32_t>(words.size()));
    return {static_cast<Word>(static_cast<uint32_t>(both)), static_cast<int32_t>(both >> 32)};
#else
    const Word* a = arguments.data();
    switch (arguments.size()) {
        case 0: return {CallTyped(function, a, std::make_index_sequence<0>{}), 0};
        case 1: return {CallTyped(function, a, std::make_index_sequence<1>{}), 0};
        case 2: return {CallTyped(function, a, std::make_index_sequence<2>{}), 0};
        case 3: return {CallTyped(function, a, std::make_index_sequence<3>{}), 0};
        case 4: return {CallTyped(function, a, std::make_index_sequence<4>{}), 0};
        case 5: return {CallTyped(function, a, std::make_index_sequence<5>{}), 0};
        case 6: return {CallTyped(function, a, std::make_index_sequence<6>{}), 0};
        case 7: return {CallTyped(function, a, std::make_index_sequence<7>{}), 0};
        case 8: return {CallTyped(function, a, std::make_index_sequence<8>{}), 0};
        default: ADD_FAILURE() << arguments.size() << " arguments"; return {0, 0};
    }
#endif
}

// Looks the export up by its link name and calls it; every failure names it.
CallResult CallByName(const std::string& name, const Words& arguments) {
    std::string exportName = LinkName(name, static_cast<int>(arguments.size()));
    const void* function = FindExport(exportName);
    if (function == nullptr) {
        ADD_FAILURE() << "no export " << exportName;
        return {0, 0};
    }
    CallResult result = CallExport(function, arguments);
    EXPECT_EQ(result.stackMoved, 0) << exportName << " left ESP " << result.stackMoved
                                    << " bytes from where the caller had it";
    return result;
}

// ---- What the calls share --------------------------------------------------------

constexpr int32_t kLabelNumber = 7101;
constexpr int32_t kComboNumber = 7102;
constexpr int32_t kEditNumber = 7103;
constexpr int32_t kButtonNumber = 7104;
constexpr int32_t kBarNumber = 7105;
constexpr int32_t kListViewNumber = 7106;
constexpr int32_t kTreeViewNumber = 7107;
constexpr int32_t kWebNumber = 7108;
constexpr int32_t kShortcutCommand = 7300;
constexpr UINT kHookedMessage = WM_APP + 7;
constexpr LRESULT kHookAnswer = 0x77;

const wchar_t kNavigated[] = L"http://127.0.0.1:8/exports?q=\u00E9Жук";

struct ProcHookCall {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int order;
};
std::vector<ProcHookCall> procHookCalls;

struct MessageHookCall {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    LONG x;
    LONG y;
    LONG messageTime;  // GetMessageTime and GetMessagePos while the hook runs
    DWORD messagePos;
    int order;
};
std::vector<MessageHookCall> messageHookCalls;
int hookOrder = 0;

LRESULT __stdcall RecordProcHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    procHookCalls.push_back({window, message, wParam, lParam, ++hookOrder});
    return message == kHookedMessage ? kHookAnswer : 0;
}

void __stdcall RecordMessageHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 DWORD time, LONG x, LONG y) {
    messageHookCalls.push_back({window, message, wParam, lParam, time, x, y, GetMessageTime(),
                                GetMessagePos(), ++hookOrder});
}

std::vector<ProcHookCall> ProcHookCallsOf(UINT message) {
    std::vector<ProcHookCall> calls;
    for (const ProcHookCall& call : procHookCalls) {
        if (call.message == message) calls.push_back(call);
    }
    return calls;
}

std::vector<MessageHookCall> MessageHookCallsOf(UINT message) {
    std::vector<MessageHookCall> calls;
    for (const MessageHookCall& call : messageHookCalls) {
        if (call.message == message) calls.push_back(call);
    }
    return calls;
}

// Both hooks off when a test ends, whatever happened in between.
struct HooksOff {
    ~HooksOff() {
        gadgets::FREECALLBACK(0);
        gadgets::FREECALLBACK(1);
    }
};

// The windows, gadgets and objects the calls work on; made by the calls
// themselves where an export makes them.
struct Context {
    StandIn standIn;
    HWND window = nullptr;
    HWND label = nullptr;
    HWND combo = nullptr;
    HWND edit = nullptr;
    HWND button = nullptr;
    HWND bar = nullptr;
    HWND listView = nullptr;
    HWND treeView = nullptr;
    HBRUSH dsgcBrush = nullptr;
    HFONT font = nullptr;
    IWebBrowser2* browser = nullptr;
    NMITEMACTIVATE click{};

    ~Context() {
        gadgets::SETGADGETFONT(-1, reinterpret_cast<HFONT>(static_cast<intptr_t>(-1)));
        if (IsWindow(window)) DestroyWindow(window);
        if (font != nullptr) DeleteObject(font);
    }
};

std::string WindowText(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH data{};
    if (GetObjectA(brush, sizeof data, &data) != sizeof data) return CLR_INVALID;
    return data.lbColor;
}

HBRUSH ClassBrush(HWND window) {
    return reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
}

// The background and text colours that the window's procedure sets on a
// device context for a control-colour message from `control`; colours it
// leaves alone read as the sentinels 0x010203 and 0x040506.
std::pair<COLORREF, COLORREF> PaintedColours(HWND window, UINT message, HWND control) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetBkColor(dc, 0x010203);
    SetTextColor(dc, 0x040506);
    SendMessageA(window, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    std::pair<COLORREF, COLORREF> colours{GetBkColor(dc), GetTextColor(dc)};
    DeleteDC(dc);
    return colours;
}

std::string ComboItem(HWND combo, int index) {
    char text[256] = {};
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

POINT ClientCorner(HWND control) {
    RECT rect = WindowRect(control);
    POINT corner{rect.left, rect.top};
    ScreenToClient(GetParent(control), &corner);
    return corner;
}

// ---- The table ------------------------------------------------------------------------

using Prepare = std::function<void(Context&)>;
using MakeArguments = std::function<Words(Context&)>;
using Check = std::function<void(Context&, Word result)>;

struct ExportCall {
    const char* name;
    int arguments;
    Prepare prepare;  // may be empty
    MakeArguments args;
    Check expect;
};

#define ARGS(...) [](Context & c) -> Words { (void)c; return Words{__VA_ARGS__}; }

// An int32_t result (the low half of the register on x86-64), then the effect.
Check Returns(int32_t expected, Prepare effect = nullptr) {
    return [=](Context& c, Word result) {
        EXPECT_EQ(static_cast<int32_t>(result), expected) << "result";
        if (effect) effect(c);
    };
}

// A pointer-sized result (a handle, an object), whole.
Check ReturnsWord(std::function<Word(Context&)> expected, Prepare effect = nullptr) {
    return [=](Context& c, Word result) {
        EXPECT_EQ(result, expected(c)) << "result";
        if (effect) effect(c);
    };
}

// A malloc'ed zero-terminated block, compared and freed with free().
Check ReturnsText(std::string expected) {
    return [=](Context&, Word result) {
        auto* block = reinterpret_cast<char*>(result);
        ASSERT_NE(block, nullptr) << "no block";
        EXPECT_EQ(std::string(block), expected);
        std::free(block);
    };
}

Check ReturnsWideText(std::wstring expected) {
    return [=](Context&, Word result) {
        auto* block = reinterpret_cast<wchar_t*>(result);
        ASSERT_NE(block, nullptr) << "no block";
        EXPECT_EQ(std::wstring(block), expected);
        std::free(block);
    };
}

// No result (a void function): only the effect is checked.
Check Effect(Prepare effect) {
    return [=](Context& c, Word) { effect(c); };
}

// A gadget made by a creator: registered under its number, a child of the
// window with the number as identifier, of the class and with the text given.
Check MakesGadget(int32_t number, std::string className, std::string text, HWND Context::*slot) {
    return [=](Context& c, Word result) {
        HWND gadget = reinterpret_cast<HWND>(result);
        c.*slot = gadget;
        ASSERT_TRUE(IsWindow(gadget)) << "no window";
        EXPECT_EQ(gadget, gadgets::GadgetID(number));
        EXPECT_EQ(GetParent(gadget), c.window);
        EXPECT_EQ(GetDlgCtrlID(gadget), number);
        EXPECT_EQ(gadgets::GETCLASSNAME_(gadget), className);
        EXPECT_EQ(WindowText(gadget), text);
        EXPECT_TRUE(GetWindowLongA(gadget, GWL_STYLE) & WS_VISIBLE);
    };
}

// The stand-in's log of this call (it is cleared before every call).
Prepare Logged(std::string log) {
    return [=](Context& c) { EXPECT_EQ(c.standIn.Log(), log) << "the browser's call log"; };
}

const std::vector<ExportCall>& ExportCalls() {
    static const std::vector<ExportCall> calls = {
        // Top-level windows and the registry lists
        {"OpenWindow", 7, nullptr,
         ARGS(W("Окно экспорта"), 40, 40, 500, 400, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0),
         [](Context& c, Word result) {
             c.window = reinterpret_cast<HWND>(result);
             ASSERT_TRUE(IsWindow(c.window)) << "no window";
             EXPECT_EQ(WindowText(c.window), "Окно экспорта");
             EXPECT_EQ(gadgets::GETCLASSNAME_(c.window).rfind("CLASSCLASS_", 0), 0u);
             RECT rect = WindowRect(c.window);
             EXPECT_EQ(rect.left, 40);
             EXPECT_EQ(rect.top, 40);
             EXPECT_EQ(rect.right - rect.left, 500);
             EXPECT_EQ(rect.bottom - rect.top, 400);
             EXPECT_TRUE(IsWindowVisible(c.window));
         }},
        {"GETGURRENTAL", 0, nullptr, ARGS(), ReturnsWord([](Context& c) { return W(c.window); })},
        {"UseGadgetList", 1, nullptr, ARGS(W(GetDesktopWindow())),
         Returns(1, [](Context&) { EXPECT_EQ(gadgets::GETGURRENTAL(), GetDesktopWindow()); })},
        {"UseGadgetList", 1, nullptr, ARGS(W(c.window)),
         Returns(1, [](Context& c) { EXPECT_EQ(gadgets::GETGURRENTAL(), c.window); })},

        // The standard gadgets
        {"TEXTGADGET", 7, nullptr, ARGS(kLabelNumber, 10, 10, 120, 20, W("Метка"), 0),
         MakesGadget(kLabelNumber, "Static", "Метка", &Context::label)},
        {"ComboBoxGadget", 6, nullptr, ARGS(kComboNumber, 10, 40, 150, 200, CBS_DROPDOWNLIST),
         MakesGadget(kComboNumber, "ComboBox", "", &Context::combo)},
        {"STRINGGADGET", 8, nullptr,
         ARGS(kEditNumber, 10, 80, 150, 24, W("строка"), ES_AUTOHSCROLL, WS_EX_CLIENTEDGE),
         [](Context& c, Word result) {
             MakesGadget(kEditNumber, "Edit", "строка", &Context::edit)(c, result);
             EXPECT_TRUE(GetWindowLongA(c.edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) << "exStyle";
             EXPECT_TRUE(GetWindowLongA(c.edit, GWL_STYLE) & ES_AUTOHSCROLL) << "style";
         }},
        {"BUTTONGADGET", 7, nullptr, ARGS(kButtonNumber, 10, 120, 100, 30, W("OK"), BS_PUSHBUTTON),
         MakesGadget(kButtonNumber, "Button", "OK", &Context::button)},
        {"ADDIN9999", 2,
         [](Context& c) {
             c.bar = CreateChild("ScrollBar", c.window, kBarNumber, SBS_HORZ, 200, 10, 200, 16);
             SetScrollRange(c.bar, SB_CTL, 0, 100, TRUE);
             SetScrollPos(c.bar, SB_CTL, 10, TRUE);
         },
         ARGS(kBarNumber, W(c.bar)), Returns(1, [](Context& c) {
             EXPECT_EQ(gadgets::GadgetID(kBarNumber), c.bar);
             EXPECT_EQ(gadgets::ID_In_Number(c.bar), kBarNumber);
         })},
        {"GadgetID", 1, nullptr, ARGS(kEditNumber), ReturnsWord([](Context& c) { return W(c.edit); })},
        {"GadgetID", 1, nullptr, ARGS(7999), ReturnsWord([](Context&) { return Word{0}; })},
        {"ID_In_Number", 1, nullptr, ARGS(W(c.button)), Returns(kButtonNumber)},

        // Colours
        {"ColorAdd", 3, nullptr, ARGS(W(c.button), 0x112233, 0x445566),
         Returns(1, [](Context& c) {
             auto painted = PaintedColours(c.window, WM_CTLCOLORSTATIC, c.button);
             EXPECT_EQ(painted.first, 0x112233u) << "background painted";
             EXPECT_EQ(painted.second, 0x445566u) << "text colour painted";
         })},
        {"GetGadgetColor", 2, nullptr, ARGS(kLabelNumber, 1), Returns(0xF0F0F0)},
        {"GetGadgetColor", 2, nullptr, ARGS(W(c.button), 3), Returns(0x112233)},
        {"GetGadgetColor", 2, nullptr, ARGS(W(c.button), 4), Returns(0x445566)},
        {"SetGadgetColor", 4, nullptr, ARGS(kEditNumber, 0x0000FF, 0x00FF00, 3),
         Returns(1, [](Context& c) {
             auto painted = PaintedColours(c.window, WM_CTLCOLOREDIT, c.edit);
             EXPECT_EQ(painted.first, 0x0000FFu) << "background painted";
             EXPECT_EQ(painted.second, 0x00FF00u) << "text colour painted";
         })},
        {"DSGC", 4, nullptr, ARGS(W(c.window), 0xABCDEF, 0, 1), Returns(0, [](Context& c) {
             c.dsgcBrush = ClassBrush(c.window);
             EXPECT_EQ(BrushColour(c.dsgcBrush), 0xABCDEFu) << "the window's class brush";
         })},
        {"WindowColor", 2, nullptr, ARGS(W(c.window), 0x123456),
         ReturnsWord([](Context& c) { return W(c.dsgcBrush); }, [](Context& c) {
             EXPECT_EQ(BrushColour(ClassBrush(c.window)), 0x123456u) << "the window's class brush";
         })},
        {"COOLOOR", 2, nullptr, ARGS(0x0000AA, 0x0000BB), Returns(1, [](Context& c) {
             COMBOBOXINFO info{};
             info.cbSize = sizeof info;
             ASSERT_TRUE(GetComboBoxInfo(c.combo, &info));
             auto painted = PaintedColours(c.window, WM_CTLCOLORLISTBOX, info.hwndList);
             EXPECT_EQ(painted.first, 0x0000AAu) << "drop-down background painted";
             EXPECT_EQ(painted.second, 0x0000BBu) << "drop-down text colour painted";
         })},
        {"ERR_", 1, [](Context&) { gadgets::TakeColourSkip(); }, ARGS(1),
         Returns(1, [](Context& c) {
             auto skipped = PaintedColours(c.window, WM_CTLCOLORSTATIC, c.label);
             EXPECT_EQ(skipped.first, 0x010203u) << "the flagged painting set a background";
             auto painted = PaintedColours(c.window, WM_CTLCOLORSTATIC, c.label);
             EXPECT_EQ(painted.first, 0xF0F0F0u) << "the painting after it";
         })},

        // Fonts
        {"SETGADGETFONT", 2,
         [](Context& c) {
             c.font = CreateFontA(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
         },
         ARGS(kEditNumber, W(c.font)), Returns(0, [](Context& c) {
             EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(c.edit, WM_GETFONT, 0, 0)), c.font);
         })},
        {"SETGADGETFONT", 2, nullptr, ARGS(-1, W(c.font)),
         Returns(0, [](Context& c) { EXPECT_EQ(gadgets::GGF(), c.font); })},
        {"GGF", 0, nullptr, ARGS(), ReturnsWord([](Context& c) { return W(c.font); })},
        {"SETGADGETFONT", 2, nullptr, ARGS(-1, -1),
         Returns(0, [](Context&) { EXPECT_EQ(gadgets::GGF(), nullptr); })},

        // Gadget text and combo box items
        {"SetGadgetText", 2, nullptr, ARGS(kEditNumber, W("Привет, мир")),
         Returns(1, [](Context& c) { EXPECT_EQ(WindowText(c.edit), "Привет, мир"); })},
        {"GetGadgetText", 2, nullptr, ARGS(kEditNumber, 1), ReturnsText("Привет, мир")},
        {"AddComboBoxItem", 3, nullptr, ARGS(kComboNumber, W("альфа"), -1), Returns(0)},
        {"AddComboBoxItem", 3, nullptr, ARGS(kComboNumber, W("beta"), 0),
         Returns(0, [](Context& c) {
             EXPECT_EQ(SendMessageA(c.combo, CB_GETCOUNT, 0, 0), 2);
             EXPECT_EQ(ComboItem(c.combo, 0), "beta");
             EXPECT_EQ(ComboItem(c.combo, 1), "альфа");
         })},
        {"SetItemComboBox", 2, nullptr, ARGS(kComboNumber, 1),
         Returns(1, [](Context& c) { EXPECT_EQ(SendMessageA(c.combo, CB_GETCURSEL, 0, 0), 1); })},
        {"GetItemComboBox", 1, nullptr, ARGS(kComboNumber), Returns(1)},
        {"GetComboBoxText", 2, nullptr, ARGS(kComboNumber, 1), ReturnsText("альфа")},
        {"GetComboBoxText", 2, nullptr, ARGS(kComboNumber, 5), ReturnsText("")},

        // Geometry and class identification
        {"GADGETX", 1, nullptr, ARGS(kButtonNumber), Returns(10)},
        {"GADGETY", 1, nullptr, ARGS(kButtonNumber), Returns(120)},
        {"GADGETWIDTH", 1, nullptr, ARGS(kButtonNumber), Returns(100)},
        {"GADGETHEIGHT", 1, nullptr, ARGS(kButtonNumber), Returns(30)},
        {"RESIZEGADGET", 5, nullptr, ARGS(kButtonNumber, 20, 130, 90, gadgets::kKeep),
         Returns(1, [](Context& c) {
             POINT corner = ClientCorner(c.button);
             RECT rect = WindowRect(c.button);
             EXPECT_EQ(corner.x, 20);
             EXPECT_EQ(corner.y, 130);
             EXPECT_EQ(rect.right - rect.left, 90);
             EXPECT_EQ(rect.bottom - rect.top, 30) << "the kept height";
         })},
        {"GETCLASSNAME_", 1, nullptr, ARGS(W(c.button)), ReturnsText("Button")},
        {"GADGETCLASS", 1, nullptr, ARGS(W(c.combo)), Returns(3)},
        {"GADGETCLASS", 1, nullptr, ARGS(W(c.label)), Returns(16)},
        {"GADGETCLASS", 1, nullptr, ARGS(W(c.button)), Returns(0)},
        {"CENTERWINDOW", 1, nullptr, ARGS(W(c.window)), Returns(1, [](Context& c) {
             RECT rect = WindowRect(c.window);
             EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) >> 1) - (500 >> 1));
             EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) >> 1) - (400 >> 1));
             EXPECT_EQ(rect.right - rect.left, 500);
         })},
        {"RESIZEWINDOW", 5, nullptr, ARGS(W(c.window), 30, gadgets::kKeep, 520, gadgets::kKeep),
         Returns(1, [](Context& c) {
             RECT rect = WindowRect(c.window);
             EXPECT_EQ(rect.left, 30);
             EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) >> 1) - (400 >> 1)) << "kept";
             EXPECT_EQ(rect.right - rect.left, 520);
             EXPECT_EQ(rect.bottom - rect.top, 400) << "kept";
         })},
        // The size that the last WM_SIZE (from the resize above) carried.
        {"SIZEX", 0, nullptr, ARGS(), [](Context& c, Word result) {
             RECT client{};
             GetClientRect(c.window, &client);
             EXPECT_EQ(static_cast<int32_t>(result), client.right);
         }},
        {"SIZEY", 0, nullptr, ARGS(), [](Context& c, Word result) {
             RECT client{};
             GetClientRect(c.window, &client);
             EXPECT_EQ(static_cast<int32_t>(result), client.bottom);
         }},

        // The window procedure, the pump and the event record
        {"FBGUIWINPROC", 4, [](Context&) { Drain(); },
         ARGS(W(c.window), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(33, 44)),
         Returns(0, [](Context&) { EXPECT_GE(gadgets::EventStackCount(), 1) << "not recorded"; })},
        {"WINDOWEVENT", 0, nullptr, ARGS(), Returns(WM_LBUTTONDOWN)},
        {"EVENTHWND", 0, nullptr, ARGS(), ReturnsWord([](Context& c) { return W(c.window); })},
        {"EVENTKEY", 0, nullptr, ARGS(), Returns(MK_LBUTTON | MK_SHIFT)},
        {"MOUSEX", 0, nullptr, ARGS(), Returns(33)},
        {"MOUSEY", 0, nullptr, ARGS(), Returns(44)},
        {"EVENTWPARAM", 0, nullptr, ARGS(), Returns(MK_LBUTTON | MK_SHIFT)},
        {"EVENTLPARAM", 0, nullptr, ARGS(), Returns(MAKELPARAM(33, 44))},
        {"WAITEVENT", 0,
         [](Context& c) {
             Drain();
             PostMessageA(c.window, WM_COMMAND, MAKEWPARAM(kLabelNumber, STN_CLICKED),
                          reinterpret_cast<LPARAM>(c.label));
         },
         ARGS(), Returns(1025, [](Context& c) { EXPECT_EQ(gadgets::EVENTHWND(), c.label); })},
        {"EVENTNUMBER", 0, nullptr, ARGS(), Returns(kLabelNumber)},
        {"EVENTNUMBERTOOLBAR", 0, nullptr, ARGS(), Returns(kLabelNumber)},
        {"FBGUIWINPROC", 4,
         [](Context& c) {
             INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
             InitCommonControlsEx(&classes);
             c.listView = CreateChild(WC_LISTVIEWA, c.window, kListViewNumber, LVS_REPORT, 200, 40,
                                      200, 100);
             c.click.hdr = NMHDR{c.listView, static_cast<UINT_PTR>(kListViewNumber),
                                 static_cast<UINT>(NM_CLICK)};
             c.click.iItem = 4;
             c.click.iSubItem = 2;
             c.click.uKeyFlags = LVKF_SHIFT;
         },
         // Handed over by a direct call, a notification of the window's own
         // list view is read as that list view's send would be.
         ARGS(W(c.window), WM_NOTIFY, kListViewNumber, W(&c.click)),
         Returns(0, [](Context&) {
             EXPECT_EQ(gadgets::Event().listViewNumber, kListViewNumber);
             gadgets::Event().listViewNumber = 0;
             Drain();
         })},
        {"EVENTNUMBERLISTVIEW", 0,
         [](Context& c) {
             SendMessageA(c.window, WM_NOTIFY, kListViewNumber, reinterpret_cast<LPARAM>(&c.click));
         },
         ARGS(), Returns(kListViewNumber)},
        {"EVENTNUMBERLISTVIEW", 0, nullptr, ARGS(), Returns(0)},  // read once
        {"GETITEMLISTVIEW", 0, nullptr, ARGS(), Returns(4)},
        {"GETSUBITEMLISTVIEW", 0, nullptr, ARGS(), Returns(2)},
        {"FLAGKEYLISTVIEW", 0, nullptr, ARGS(), Returns(LVKF_SHIFT)},
        {"GETCOLUMNLISTVIEW", 0,
         [](Context& c) {
             NMLISTVIEW column{};
             column.hdr = NMHDR{c.listView, static_cast<UINT_PTR>(kListViewNumber),
                                static_cast<UINT>(LVN_COLUMNCLICK)};
             column.iItem = -1;
             column.iSubItem = 3;
             SendMessageA(c.window, WM_NOTIFY, kListViewNumber, reinterpret_cast<LPARAM>(&column));
         },
         ARGS(), Returns(3)},
        {"GETCOLUMNLISTVIEW", 0, nullptr, ARGS(), Returns(-1)},  // read once
        {"GETITEMTREEVIEW", 0,
         [](Context& c) {
             c.treeView = CreateChild(WC_TREEVIEWA, c.window, kTreeViewNumber, 0, 200, 150, 200, 100);
             NMTREEVIEWA change{};
             change.hdr = NMHDR{c.treeView, static_cast<UINT_PTR>(kTreeViewNumber),
                                static_cast<UINT>(TVN_SELCHANGEDA)};
             change.itemNew.hItem = reinterpret_cast<HTREEITEM>(static_cast<intptr_t>(0x5150));
             SendMessageA(c.window, WM_NOTIFY, kTreeViewNumber, reinterpret_cast<LPARAM>(&change));
         },
         ARGS(), Returns(0x5150)},
        {"EVENTNUMBERTREEVIEW", 0, nullptr, ARGS(), Returns(kTreeViewNumber)},
        {"EVENTNUMBERTREEVIEW", 0, nullptr, ARGS(), Returns(0)},  // read once
        {"SETPAGESTEPSCROLLBAR", 1, nullptr, ARGS(3), Effect([](Context& c) {
             SendMessageA(c.window, WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(c.bar));
             EXPECT_EQ(GetScrollPos(c.bar, SB_CTL), 13) << "a page of 3 from 10";
             gadgets::SETPAGESTEPSCROLLBAR(10);
             Drain();
         })},

        // The window procedure hook
        {"SETWINDOWCALLBACK", 2, [](Context&) { procHookCalls.clear(); },
         ARGS(W(reinterpret_cast<void*>(&RecordProcHook)), 0), Returns(1, [](Context& c) {
             EXPECT_EQ(SendMessageA(c.window, kHookedMessage, 0x11, 0x22), kHookAnswer);
             auto calls = ProcHookCallsOf(kHookedMessage);
             ASSERT_EQ(calls.size(), 1u) << "calls of the hook";
             EXPECT_EQ(calls[0].window, c.window);
             EXPECT_EQ(calls[0].wParam, 0x11u);
             EXPECT_EQ(calls[0].lParam, 0x22);
         })},
        {"FREECALLBACK", 1, nullptr, ARGS(0), Returns(1, [](Context& c) {
             EXPECT_EQ(SendMessageA(c.window, kHookedMessage, 0x11, 0x22), 0);
             EXPECT_EQ(ProcHookCallsOf(kHookedMessage).size(), 1u) << "called after FREECALLBACK";
         })},

        // Keyboard shortcuts, translated by the pump from a key that reaches the queue
        {"ADDKEYBOARDSHORTCUT", 4, nullptr, ARGS(W(c.window), 0, VK_F9, kShortcutCommand),
         [](Context& c, Word result) {
             auto table = reinterpret_cast<HACCEL>(result);
             ASSERT_NE(table, nullptr);
             ACCEL entries[4] = {};
             ASSERT_EQ(CopyAcceleratorTableA(table, entries, 4), 1);
             EXPECT_EQ(entries[0].fVirt, FVIRTKEY);
             EXPECT_EQ(entries[0].key, VK_F9);
             EXPECT_EQ(entries[0].cmd, kShortcutCommand);
             Drain();
             PostMessageA(c.window, WM_KEYDOWN, VK_F9, 0x00430001);
             EXPECT_TRUE(WaitForEvent(1026)) << "no shortcut command came";
             EXPECT_EQ(gadgets::EVENTNUMBER(), kShortcutCommand);
         }},
        {"DELETEALLKEYBOARDSHORTCUT", 1, nullptr, ARGS(W(c.window)), Returns(1, [](Context& c) {
             Drain();
             PostMessageA(c.window, WM_KEYDOWN, VK_F9, 0x00430001);
             bool shortcut = false;
             EXPECT_TRUE(PumpEvents([&](int32_t code) {
                 shortcut = shortcut || code == 1026;
                 return code == WM_KEYDOWN;
             })) << "the key never came";
             EXPECT_FALSE(shortcut) << "the deleted shortcut still translated the key";
             EXPECT_EQ(gadgets::EVENTKEY(), VK_F9);
         })},

        // The web gadget, on the browser stand-in
        {"WEBGADGET", 8, nullptr, ARGS(kWebNumber, 10, 160, 300, 200, W("about:blank"), 0, 0),
         [](Context& c, Word result) {
             c.browser = reinterpret_cast<IWebBrowser2*>(result);
             ASSERT_NE(c.browser, nullptr);
             HWND host = gadgets::GadgetID(kWebNumber);
             EXPECT_EQ(gadgets::GETCLASSNAME_(host), "AtlAxWin");
             EXPECT_EQ(GetParent(host), c.window);
             EXPECT_EQ(c.standIn.Calls("CreateHost"), std::vector<std::string>{"CreateHost about:blank"});
         }},
        {"WEBGADGETNAVIGATE", 2, nullptr, ARGS(W(c.browser), W(kNavigated)),
         Returns(S_OK, Logged("Navigate " + Utf8(kNavigated) + "\n"))},
        {"WEBGADGETNAVIGATE", 2, nullptr, ARGS(W(c.browser), W(L"")), Returns(0, Logged(""))},
        {"WEBGADGETGETURL", 1, nullptr, ARGS(W(c.browser)),
         ReturnsText("http://127.0.0.1:8/exports?q=\xE9???")},  // one byte a UTF-16 unit
        {"WEBGADGETGOBACK", 1, nullptr, ARGS(W(c.browser)), Returns(S_OK, Logged("GoBack\n"))},
        {"WEBGADGETGOFORWARD", 1, nullptr, ARGS(W(c.browser)), Returns(S_OK, Logged("GoForward\n"))},
        {"WEBGADGETREFRESH", 1, nullptr, ARGS(W(c.browser)), Returns(S_OK, Logged("Refresh\n"))},
        {"WEBGADGETSTOP", 1, nullptr, ARGS(W(c.browser)), Returns(S_OK, Logged("Stop\n"))},
        {"WEBGADGETSTATE", 1, [](Context& c) { c.standIn.setBusy(1); }, ARGS(W(c.browser)),
         Returns(0xFFFF, Logged("get_Busy\n"))},
        {"WEBGADGETSTATE", 1, [](Context& c) { c.standIn.setBusy(0); }, ARGS(W(c.browser)),
         Returns(0, Logged("get_Busy\n"))},
        {"WEBGADGETSETBODY", 2, nullptr, ARGS(W(c.browser), W("<p>Жук</p>")), Effect([](Context& c) {
             EXPECT_EQ(std::wstring(c.standIn.bodyHtml()), L"<p>Жук</p>");
         })},
        {"WEBGADGETGETBODY", 2, nullptr, ARGS(W(c.browser), 0), ReturnsText("<p>Жук</p>")},
        {"WEBGADGETGETBODY", 2, nullptr, ARGS(W(c.browser), 1), ReturnsText("<BODY><p>Жук</p></BODY>")},
        // Without a browser object every operation does nothing.
        {"WEBGADGETNAVIGATE", 2, nullptr, ARGS(0, W(kNavigated)), Returns(0, Logged(""))},
        {"WEBGADGETGOBACK", 1, nullptr, ARGS(0), Returns(0, Logged(""))},
        {"WEBGADGETGOFORWARD", 1, nullptr, ARGS(0), Returns(0, Logged(""))},
        {"WEBGADGETREFRESH", 1, nullptr, ARGS(0), Returns(0, Logged(""))},
        {"WEBGADGETSTOP", 1, nullptr, ARGS(0), Returns(0, Logged(""))},
        {"WEBGADGETGETURL", 1, nullptr, ARGS(0), ReturnsText("")},
        {"WEBGADGETSTATE", 1, [](Context& c) { c.standIn.setBusy(1); }, ARGS(0),
         Returns(0, Logged(""))},
        {"WEBGADGETGETBODY", 2, nullptr, ARGS(0, 1), ReturnsText("")},
        {"WEBGADGETSETBODY", 2, nullptr, ARGS(0, W("<p>x</p>")), Effect([](Context& c) {
             EXPECT_EQ(c.standIn.Log(), "");
             EXPECT_EQ(std::wstring(c.standIn.bodyHtml()), L"<p>Жук</p>");
             c.standIn.setBusy(0);
         })},

        // Text
        {"TRIMA", 2, nullptr, ARGS(W(" \tтекст \t"), W(" \t")), ReturnsText("текст")},
        {"LTRIMA", 2, nullptr, ARGS(W("xxabcxx"), W("x")), ReturnsText("abcxx")},
        {"RTRIMA", 2, nullptr, ARGS(W("xxabcxx"), W("x")), ReturnsText("xxabc")},
        {"PEEKS", 2, nullptr, ARGS(W("hello world"), 5), ReturnsText("hello")},
        {"PEEKS", 2, nullptr, ARGS(W("hello world"), 0), ReturnsText("hello world")},
        {"PEEKS", 2, nullptr, ARGS(W("hello world"), -1), ReturnsText("")},
        {"ASCIITOUTF", 1, nullptr, ARGS(W("Привет")), ReturnsWideText(L"Привет")},
        {"ASCIITOUTF", 1, nullptr, ARGS(W("")), ReturnsWord([](Context&) { return Word{0}; })},
        {"UTFTOASCII", 1, nullptr, ARGS(W(L"Жук \u4E2D")), ReturnsText("Жук ?")},

        // Freeing gadgets
        {"FREEGADGET", 1, nullptr, ARGS(kButtonNumber), Returns(1, [](Context& c) {
             EXPECT_FALSE(IsWindow(c.button));
             EXPECT_EQ(gadgets::GadgetID(kButtonNumber), nullptr);
         })},
        {"FREEGADGET", 1, nullptr, ARGS(7999), Returns(0)},
    };
    return calls;
}

#undef ARGS

}  // namespace

TEST(ExportCallTable, CallsEveryExportUnderItsDecoratedName) {
    std::set<std::string> named;
    for (const ExportCall& call : ExportCalls()) {
        std::string name = DecoratedName(call.name, call.arguments);
        EXPECT_TRUE(kAllExports.count(name)) << "the table calls " << name << ", which is no export";
        named.insert(name);
    }
    for (const std::string& name : kAllExports) {
        EXPECT_TRUE(named.count(name)) << "the table never calls " << name;
    }
    EXPECT_EQ(named.size(), 76u);
}

TEST(ExportLookup, EveryExportIsFoundUnderTheNameOfThisBuildOnly) {
    // The form this build has: decorated on 32-bit, bare on 64-bit.
    bool decorated = FindExport("OpenWindow@28") != nullptr;
    bool bare = FindExport("OpenWindow") != nullptr;
    EXPECT_NE(decorated, bare) << "decorated " << decorated << ", bare " << bare;
    EXPECT_EQ(decorated, kDecorated) << "pointer size " << sizeof(void*);

    for (const std::string& name : kAllExports) {
        std::string bareName = name.substr(0, name.find('@'));
        int arguments = std::stoi(name.substr(name.find('@') + 1)) / 4;
        const void* linked = FindExport(LinkName(bareName, arguments));
        const void* other = FindExport(kDecorated ? bareName : name);
        EXPECT_NE(linked, nullptr) << "no export " << LinkName(bareName, arguments);
        EXPECT_EQ(other, nullptr) << "also exported as " << (kDecorated ? bareName : name);
    }
}

TEST(StdcallThunk, MeasuresWhatTheCalleeLeavesOnTheStack) {
#if defined(__i386__)
    struct Callee {
        const char* name;
        const void* function;
        int32_t moved;
    };
    struct Local {
        static int32_t __cdecl PoppedByCaller(int32_t a, int32_t b) { return a - b; }
        static int32_t __stdcall PoppedByCallee(int32_t a, int32_t b) { return a - b; }
        static int32_t __stdcall PopsThree(int32_t a, int32_t b, int32_t) { return a - b; }
        static int32_t __stdcall PopsOne(int32_t a) { return a - 3; }
    };
    const Callee callees[] = {
        {"__stdcall, 2 arguments", reinterpret_cast<const void*>(&Local::PoppedByCallee), 0},
        {"__cdecl, 2 arguments", reinterpret_cast<const void*>(&Local::PoppedByCaller), -8},
        {"__stdcall, 3 arguments", reinterpret_cast<const void*>(&Local::PopsThree), 4},
        {"__stdcall, 1 argument", reinterpret_cast<const void*>(&Local::PopsOne), -4},
    };
    const uint32_t arguments[] = {7, 3};
    for (const Callee& callee : callees) {
        uint64_t both = CallStdcallMeasured(callee.function, arguments, 2);
        EXPECT_EQ(static_cast<int32_t>(both), 4) << callee.name;
        EXPECT_EQ(static_cast<int32_t>(both >> 32), callee.moved) << callee.name;
    }
#else
    GTEST_SKIP() << "x86-64 has one calling convention: the caller always cleans up";
#endif
}

TEST(ExportCallsStandIn, EveryExportThroughItsExportedName) {
    Context c;
    ASSERT_TRUE(c.standIn.Load()) << "the stand-in atl.dll did not load";
    HooksOff hooksOff;
    int row = 0;
    for (const ExportCall& call : ExportCalls()) {
        ++row;
        std::string exportName = LinkName(call.name, call.arguments);
        SCOPED_TRACE("row " + std::to_string(row) + ": " + exportName);
        c.standIn.clearLog();
        if (call.prepare) call.prepare(c);
        ASSERT_FALSE(HasFatalFailure());
        Words arguments = call.args(c);
        ASSERT_EQ(arguments.size(), static_cast<size_t>(call.arguments));
        CallResult result = CallByName(call.name, arguments);
        call.expect(c, result.value);
        ASSERT_FALSE(HasFatalFailure());
    }
}

// The two hooks are called as __stdcall routines with 4 and 7 arguments, from
// inside the exported pump, and the pump still returns with ESP where it was.
TEST(ExportHooks, BothHooksGetExactlyTheirArgumentsThroughThePump) {
    HooksOff hooksOff;
    HWND window = OpenTestWindow("export hooks");
    ASSERT_NE(window, nullptr);
    Drain();
    procHookCalls.clear();
    messageHookCalls.clear();

    EXPECT_EQ(static_cast<int32_t>(
                  CallByName("SETWINDOWCALLBACK", {W(reinterpret_cast<void*>(&RecordProcHook)), 0}).value),
              1);
    EXPECT_EQ(static_cast<int32_t>(
                  CallByName("SETWINDOWCALLBACK", {W(reinterpret_cast<void*>(&RecordMessageHook)), 1}).value),
              1);

    // The procedure hook's answer comes back as the message's result.
    EXPECT_EQ(SendMessageA(window, kHookedMessage, 5, 6), kHookAnswer);

    const UINT posted = WM_APP + 9;
    const WPARAM wParam = 0x89ABCDEF;
    const LPARAM lParam = -0x12345;
    // The cursor stands at a point of its own when the message is posted, and
    // goes back where it was when the test ends.
    POINT cursorBefore{};
    GetCursorPos(&cursorBefore);
    struct CursorBack {
        POINT point;
        ~CursorBack() { SetCursorPos(point.x, point.y); }
    } cursorBack{cursorBefore};
    SetCursorPos(321, 123);
    POINT cursor{};
    GetCursorPos(&cursor);
    ASSERT_TRUE(PostMessageA(window, posted, wParam, lParam));

    DWORD start = GetTickCount();
    while (MessageHookCallsOf(posted).empty() && GetTickCount() - start < 5000) {
        int32_t code = static_cast<int32_t>(CallByName("WINDOWEVENT", {}).value);
        MSG waiting;
        if (code == 0 && gadgets::EventStackCount() == 0 &&
            !PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    std::vector<ProcHookCall> procCalls = ProcHookCallsOf(posted);
    ASSERT_EQ(procCalls.size(), 1u) << "procedure hook calls for the posted message";
    EXPECT_EQ(procCalls[0].window, window);
    EXPECT_EQ(procCalls[0].wParam, wParam);
    EXPECT_EQ(procCalls[0].lParam, lParam);

    std::vector<MessageHookCall> queued = MessageHookCallsOf(posted);
    ASSERT_EQ(queued.size(), 1u) << "message hook calls for the posted message";
    const MessageHookCall& call = queued[0];
    EXPECT_EQ(call.window, window);
    EXPECT_EQ(call.wParam, wParam);
    EXPECT_EQ(call.lParam, lParam);
    EXPECT_EQ(static_cast<LONG>(call.time), call.messageTime) << "time";
    EXPECT_NE(call.time, 0u) << "time";
    EXPECT_EQ(call.x, static_cast<SHORT>(LOWORD(call.messagePos))) << "point x";
    EXPECT_EQ(call.y, static_cast<SHORT>(HIWORD(call.messagePos))) << "point y";
    EXPECT_EQ(call.x, cursor.x) << "point x: the cursor when posted";
    EXPECT_EQ(call.y, cursor.y) << "point y: the cursor when posted";
    EXPECT_LT(procCalls[0].order, call.order) << "the message hook runs after the dispatch";

    // Switched off, neither is called again.
    EXPECT_EQ(static_cast<int32_t>(CallByName("FREECALLBACK", {0}).value), 1);
    EXPECT_EQ(static_cast<int32_t>(CallByName("FREECALLBACK", {1}).value), 1);
    procHookCalls.clear();
    messageHookCalls.clear();
    ASSERT_TRUE(PostMessageA(window, posted, wParam, lParam));
    for (int i = 0; i < 1000; ++i) {
        MSG waiting;
        if (gadgets::EventStackCount() == 0 && !PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) {
            break;
        }
        CallByName("WINDOWEVENT", {});
    }
    EXPECT_EQ(SendMessageA(window, kHookedMessage, 5, 6), 0);
    EXPECT_TRUE(procHookCalls.empty()) << procHookCalls.size() << " procedure hook calls after FREECALLBACK";
    EXPECT_TRUE(messageHookCalls.empty()) << messageHookCalls.size() << " message hook calls after FREECALLBACK";
    DestroyWindow(window);
}

// ---- The reference for callers, docs/exports.md -----------------------------------
//
// The reference names every export by its decorated name and nothing decorated
// besides, and it names the C runtime whose free() releases the string results:
// the one the product's import table takes malloc, calloc and free from.

namespace {

std::string FolderOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The source tree: the product is build/<arch>/zudizazuz.exe, this program
// build/<arch>/tests/gadget_tests.exe; the tree is the first folder above
// either that holds gadgets/gadgets.h. Empty when there is none.
std::string SourceTree() {
    std::vector<std::string> starts;
    std::string product = testing_support::Env("ZUDIZAZUZ_EXE");
    if (!product.empty()) starts.push_back(FolderOf(testing_support::WindowsPath(product)));
    char self[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (length > 0 && length < MAX_PATH) starts.push_back(FolderOf(self));
    for (std::string folder : starts) {
        for (int up = 0; up < 4 && !folder.empty(); ++up) {
            if (FileExists(folder + "\\gadgets\\gadgets.h")) return folder;
            folder = FolderOf(folder);
        }
    }
    return std::string();
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

bool IsNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Every Word@N in the text: a run of name bytes, "@", decimal digits; name
// bytes straight after the digits belong to the word too, so that a longer
// word never passes for an export.
std::set<std::string> DecoratedWords(const std::string& text) {
    std::set<std::string> words;
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1)) {
        size_t start = at;
        while (start > 0 && IsNameByte(text[start - 1])) --start;
        size_t end = at + 1;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        if (start == at || end == at + 1) continue;  // no name before, or no digits after
        while (end < text.size() && IsNameByte(text[end])) ++end;
        words.insert(text.substr(start, end - start));
    }
    return words;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The C runtime DLLs the text names (case aside): words ending in ".dll"
// whose name is that of a Microsoft C runtime.
std::set<std::string> RuntimeDllsNamed(const std::string& text) {
    static const char* const kRuntimePrefixes[] = {"msvcr", "ucrtbase", "api-ms-win-crt-",
                                                   "vcruntime", "msvcp"};
    std::set<std::string> named;
    std::string lower = Lower(text);
    for (size_t at = lower.find(".dll"); at != std::string::npos; at = lower.find(".dll", at + 1)) {
        size_t start = at;
        while (start > 0 && (IsNameByte(lower[start - 1]) || lower[start - 1] == '-')) --start;
        std::string name = lower.substr(start, at + 4 - start);
        for (const char* prefix : kRuntimePrefixes) {
            if (name.rfind(prefix, 0) == 0) named.insert(name);
        }
    }
    return named;
}

// The names each DLL of a PE file's import directory supplies, by the DLL's
// name in lower case; imports by ordinal are left out.
std::map<std::string, std::set<std::string>> ImportsByDll(const std::string& path, std::string& error) {
    std::map<std::string, std::set<std::string>> imports;
    try {
        PeImage image(path);
        uint32_t importRva = image.DirectoryAddress(1);
        if (importRva == 0) throw std::runtime_error("no import directory");
        const size_t thunkSize = image.Plus() ? 8 : 4;
        for (size_t descriptor = image.OffsetOf(importRva);; descriptor += 20) {
            uint32_t lookupRva = image.Read32(descriptor);
            uint32_t nameRva = image.Read32(descriptor + 12);
            uint32_t addressRva = image.Read32(descriptor + 16);
            if (nameRva == 0 && addressRva == 0) break;  // the closing descriptor
            std::set<std::string>& names = imports[Lower(image.Text(image.OffsetOf(nameRva)))];
            size_t thunk = image.OffsetOf(lookupRva != 0 ? lookupRva : addressRva);
            for (int i = 0; i < 100000; ++i, thunk += thunkSize) {
                uint32_t low = image.Read32(thunk);
                uint32_t high = image.Plus() ? image.Read32(thunk + 4) : 0;
                if (low == 0 && high == 0) break;
                bool byOrdinal = ((image.Plus() ? high : low) & 0x80000000u) != 0;
                if (!byOrdinal) names.insert(image.Text(image.OffsetOf(low) + 2));  // after the hint
            }
        }
    } catch (const std::exception& e) {
        error = e.what();
    }
    return imports;
}

}  // namespace

TEST(ExportReference, NamesEveryExportByItsDecoratedNameAndNothingElseDecorated) {
    std::string tree = SourceTree();
    ASSERT_FALSE(tree.empty()) << "no source tree above ZUDIZAZUZ_EXE or this program";
    std::string reference = ReadFile(tree + "\\docs\\exports.md");
    ASSERT_FALSE(reference.empty()) << "no reference at " << tree << "\\docs\\exports.md";

    std::string product = testing_support::Env("ZUDIZAZUZ_EXE32");
    ASSERT_FALSE(product.empty()) << "ZUDIZAZUZ_EXE32 names the 32-bit product";
    std::string error;
    std::vector<std::string> names = ExportNames(testing_support::WindowsPath(product), error);
    ASSERT_TRUE(error.empty()) << error;
    std::set<std::string> exported(names.begin(), names.end());
    ASSERT_EQ(exported, kAllExports) << "the product's export table";

    std::set<std::string> named = DecoratedWords(reference);
    for (const std::string& name : exported) {
        EXPECT_TRUE(named.count(name)) << "the reference never names the export " << name;
    }
    for (const std::string& name : named) {
        EXPECT_TRUE(exported.count(name)) << "the reference names " << name << ", which is no export";
    }
}

TEST(ExportReference, WordsOfTheFormNameAtSizeAreFoundWholeAndOnlyThere) {
    // The scan the reference check rests on: it must not miss an export
    // written in code or a table, nor take a longer word for a shorter one.
    std::set<std::string> words = DecoratedWords(
        "`OpenWindow@28`, (WAITEVENT@0) |GGF@0|\nGADGETX@40 GADGETX@4x _EVENTKEY@0 Name@N a@ @4 x@y\n"
        "ERR_@4.");
    std::set<std::string> expected = {"OpenWindow@28", "WAITEVENT@0", "GGF@0", "GADGETX@40",
                                      "GADGETX@4x", "_EVENTKEY@0", "ERR_@4"};
    EXPECT_EQ(words, expected);
    EXPECT_EQ(RuntimeDllsNamed("msvcrt.dll; MSVCR100.DLL, atl.dll, api-ms-win-crt-heap-l1-1-0.dll"),
              (std::set<std::string>{"msvcrt.dll", "msvcr100.dll", "api-ms-win-crt-heap-l1-1-0.dll"}));
}

TEST(ExportReference, StringResultsComeFromTheRuntimeItNames) {
    std::string product = testing_support::Env("ZUDIZAZUZ_EXE32");
    ASSERT_FALSE(product.empty()) << "ZUDIZAZUZ_EXE32 names the 32-bit product";
    std::string error;
    auto imports = ImportsByDll(testing_support::WindowsPath(product), error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_TRUE(imports.count("user32.dll") && imports["user32.dll"].count("CreateWindowExA"))
        << "the import directory was not read as it is";

    // malloc makes the string results, calloc the wide one, free releases
    // them: all three from one DLL, the only one that supplies any of them.
    std::set<std::string> suppliers;
    for (const char* function : {"malloc", "calloc", "free"}) {
        std::set<std::string> from;
        for (const auto& [dll, names] : imports) {
            if (names.count(function)) from.insert(dll);
        }
        EXPECT_EQ(from.size(), 1u) << function << " is imported from " << from.size() << " DLLs";
        suppliers.insert(from.begin(), from.end());
    }
    ASSERT_EQ(suppliers.size(), 1u) << "malloc, calloc and free come from different DLLs";
    const std::string runtime = *suppliers.begin();
    EXPECT_EQ(runtime, "msvcrt.dll") << "the C runtime of this build";

    std::string tree = SourceTree();
    ASSERT_FALSE(tree.empty()) << "no source tree above ZUDIZAZUZ_EXE or this program";
    std::string reference = ReadFile(tree + "\\docs\\exports.md");
    ASSERT_FALSE(reference.empty()) << "no reference at " << tree << "\\docs\\exports.md";
    EXPECT_EQ(RuntimeDllsNamed(reference), std::set<std::string>{runtime})
        << "the runtime DLLs that the reference names";
}

namespace {

// The window property names that the library's sources use: the literal
// name in a call of GetPropA, SetPropA, RemovePropA or the files' own
// Property and SetProperty helpers, and the constants named k...Property.
std::set<std::string> PropertyNamesIn(const std::string& source) {
    std::set<std::string> names;
    static const std::regex call(
        R"re((?:GetPropA|SetPropA|RemovePropA|Property|SetProperty)\([^,()]+,\s*"([^"]+)")re");
    static const std::regex constant(R"re(k\w*Property\[\]\s*=\s*"([^"]+)")re");
    for (const std::regex* pattern : {&call, &constant}) {
        for (std::sregex_iterator at(source.begin(), source.end(), *pattern), end; at != end; ++at) {
            names.insert((*at)[1]);
        }
    }
    return names;
}

}  // namespace

TEST(ExportReference, NamesEveryWindowPropertyTheLibraryUses) {
    std::string tree = SourceTree();
    ASSERT_FALSE(tree.empty()) << "no source tree above ZUDIZAZUZ_EXE or this program";
    std::string reference = ReadFile(tree + "\\docs\\exports.md");
    ASSERT_FALSE(reference.empty());
    std::set<std::string> used;
    for (const char* file : {"controls\\colours.cpp", "controls\\creation.cpp", "controls\\fonts.cpp",
                             "events\\pump.cpp", "events\\window_proc.cpp", "registry\\geometry.cpp",
                             "registry\\tables.cpp"}) {
        std::string source = ReadFile(tree + "\\gadgets\\" + file);
        ASSERT_FALSE(source.empty()) << "no source " << file;
        for (const std::string& name : PropertyNamesIn(source)) used.insert(name);
    }
    EXPECT_TRUE(used.count("FOCUSGADGET") && used.count("MINMAXFLAG") && used.count("panelevent"))
        << "the scan of the sources found too little";
    for (const std::string& name : used) {
        EXPECT_NE(reference.find("\"" + name + "\""), std::string::npos)
            << "the reference does not name the window property \"" << name << "\"";
    }
}

// The calls that decide whether a notification is read, as the checks'
// source makes them, are those that the reference names.
TEST(ExportReference, NamesTheCallsThatCheckANotification) {
    std::string tree = SourceTree();
    ASSERT_FALSE(tree.empty()) << "no source tree above ZUDIZAZUZ_EXE or this program";
    std::string reference = ReadFile(tree + "\\docs\\exports.md");
    std::string source = ReadFile(tree + "\\gadgets\\events\\message_checks.cpp");
    ASSERT_FALSE(source.empty());
    for (const char* call : {"InSendMessageEx", "VirtualQuery", "TTM_GETTOOLINFOA"}) {
        EXPECT_NE(source.find(call), std::string::npos) << "the checks no longer use " << call;
        EXPECT_NE(reference.find(std::string("`") + call + "`"), std::string::npos)
            << "the reference does not name " << call;
    }
}

// What the reference says of memory that runs out is what the product does.
TEST(ExportReference, TheStatusesOfAnEndForWantOfMemoryAreThoseOfTheRuntime) {
    std::string tree = SourceTree();
    ASSERT_FALSE(tree.empty());
    std::string reference = ReadFile(tree + "\\docs\\exports.md");
    std::string runtime = ReadFile(tree + "\\app\\runtime.cpp");
    ASSERT_FALSE(runtime.empty());
    static const std::regex status(R"(constexpr UINT (kOutOfMemory|kOutOfRange) = (0x[0-9A-F]+);)");
    std::map<std::string, std::string> statuses;
    for (std::sregex_iterator at(runtime.begin(), runtime.end(), status), end; at != end; ++at) {
        statuses[(*at)[1]] = (*at)[2];
    }
    ASSERT_EQ(statuses.size(), 2u) << "the runtime's two statuses were not found";
    EXPECT_NE(reference.find("status " + statuses["kOutOfMemory"]), std::string::npos)
        << "the reference does not give the out-of-memory status " << statuses["kOutOfMemory"];
    EXPECT_NE(reference.find(statuses["kOutOfRange"] + " for a size out of range"), std::string::npos)
        << "the reference does not give the out-of-range status " << statuses["kOutOfRange"];
}
