// The search form: in the running program (geometry, classes, styles, items,
// what reaches the screen, placeholder clearing through real clicks) and
// built in this process by the application's own CreateSearchForm.
#include "app/app.h"
#include "app/sites.h"
#include "program_support.h"
#include "test_support.h"

#include "gadgets/events/event_state.h"
#include "gadgets/registry/tables.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

constexpr const char* kLabelText = "Поиск по сайту:";
constexpr COLORREF kBlue = 0xFF0000;

// ---- The program as a separate process -------------------------------------

std::string ClassName(HWND window) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The gadget's rectangle in the main window's client coordinates.
RECT ClientRect(const RunningProgram& program, int number) {
    RECT rect{};
    GetWindowRect(program.Gadget(number), &rect);
    MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

struct GadgetLayout {
    int number;
    const char* role;
    const char* className;
    RECT rect;  // client coordinates; the combo box's height is checked apart
    DWORD styleBits;
    DWORD exStyleBits;
};

const GadgetLayout kForm[] = {
    {app::kSiteLabel, "site label", "Static", {10, 10, 130, 30},
     WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_CENTERIMAGE, 0},
    {app::kSiteList, "site list", "ComboBox", {125, 10, 355, 130},
     WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0},
    {app::kKeywordBox, "keyword box", "Edit", {380, 10, 630, 34},
     WS_CHILD | WS_VISIBLE | ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {app::kOkButton, "OK button", "Button", {640, 10, 670, 33}, WS_CHILD | WS_VISIBLE, 0},
};

// ---- Screenshots -----------------------------------------------------------

// An RGB picture of the X screen.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;  // 3 bytes a pixel, rows top down

    COLORREF At(int x, int y) const {
        const unsigned char* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
        return RGB(p[0], p[1], p[2]);
    }
    // How many pixels of `rect` (screen coordinates) have exactly the colour.
    int Count(const RECT& rect, COLORREF colour) const {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) count += At(x, y) == colour ? 1 : 0;
        }
        return count;
    }
};

// The colour that covers most of a rectangle, `pixel` giving each colour.
COLORREF Dominant(const RECT& rect, const std::function<COLORREF(int x, int y)>& pixel) {
    std::map<COLORREF, int> counts;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) ++counts[pixel(x, y)];
    }
    auto most = std::max_element(counts.begin(), counts.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; });
    return most != counts.end() ? most->first : CLR_INVALID;
}

// The face colour of an "OK" push button of the given size as the system
// draws it for the program: made here under the program's own manifest (so
// with the same common controls and theme), under a parent that leaves
// WM_CTLCOLORBTN to DefWindowProc, and printed into a bitmap.
std::optional<COLORREF> SystemButtonFace(int width, int height) {
    std::string program = WindowsPath(Env("ZUDIZAZUZ_EXE"));
    ACTCTXA manifest{};
    manifest.cbSize = sizeof manifest;
    manifest.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    manifest.lpSource = program.c_str();
    manifest.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE context = CreateActCtxA(&manifest);
    if (context == INVALID_HANDLE_VALUE) return std::nullopt;
    ULONG_PTR cookie = 0;
    ActivateActCtx(context, &cookie);
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    HWND parent = CreateWindowExA(0, "#32770", "", WS_POPUP, 0, 0, width + 20, height + 20,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND button = CreateWindowExA(0, "Button", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                                  width, height, parent, reinterpret_cast<HMENU>(5), nullptr,
                                  nullptr);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ before = SelectObject(memory, bitmap);
    SendMessageA(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                 PRF_CLIENT | PRF_ERASEBKGND);
    RECT inside{3, 3, width - 3, height - 3};
    COLORREF face = Dominant(inside, [&](int x, int y) { return GetPixel(memory, x, y); });
    SelectObject(memory, before);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DestroyWindow(parent);
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
    return face;
}

// Reads a binary PPM (P6, maximum 255); nothing when the file is not one yet.
std::optional<Screenshot> ReadPpm(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    if (!(file >> magic >> width >> height >> maximum) || magic != "P6" || maximum != 255) {
        return std::nullopt;
    }
    file.get();  // the one white space after the header
    Screenshot shot;
    shot.width = width;
    shot.height = height;
    shot.pixels.resize(static_cast<size_t>(width) * height * 3);
    if (!file.read(reinterpret_cast<char*>(shot.pixels.data()),
                   static_cast<std::streamsize>(shot.pixels.size()))) {
        return std::nullopt;
    }
    return shot;
}

// The whole X screen, through ImageMagick's import, saved at a Unix path.
std::optional<Screenshot> TakeScreenshot(const std::string& path) {
    DeleteFileA(WindowsPath(path).c_str());
    if (!RunUnixToEnd("/usr/bin/import -window root -depth 8 ppm:" + path)) return std::nullopt;
    return ReadPpm(WindowsPath(path));
}

RECT ScreenRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT Shrunk(RECT rect, int by) {
    InflateRect(&rect, -by, -by);
    return rect;
}

std::string Hex(COLORREF colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06lX", static_cast<unsigned long>(colour));
    return text;
}

}  // namespace

TEST(RunningForm, ShowsItsFourGadgetsWhereAndAsTheLayoutPlacesThem) {
    RunningProgram program;
    StartItself(program);
    ASSERT_NE(program.window, nullptr) << "the window \"Zudizazuz\" did not appear";
    for (const GadgetLayout& gadget : kForm) {
        SCOPED_TRACE(gadget.role);
        HWND window = program.Gadget(gadget.number);
        ASSERT_NE(window, nullptr) << "no child with control id " << gadget.number;
        EXPECT_EQ(ClassName(window), gadget.className);
        RECT rect = ClientRect(program, gadget.number);
        EXPECT_EQ(rect.left, gadget.rect.left);
        EXPECT_EQ(rect.top, gadget.rect.top);
        EXPECT_EQ(rect.right - rect.left, gadget.rect.right - gadget.rect.left);
        if (gadget.number == app::kSiteList) {
            // A drop-down list combo box's window is as high as its selection
            // field; the 120 pixels are the height of its dropped-down list.
            auto field = SendMessageA(window, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
            EXPECT_GT(rect.bottom - rect.top, field);
            EXPECT_LT(rect.bottom - rect.top, 120);
            std::printf("site list: window %ld pixels high, selection field %ld\n",
                        rect.bottom - rect.top, static_cast<long>(field));
        } else {
            EXPECT_EQ(rect.bottom - rect.top, gadget.rect.bottom - gadget.rect.top);
        }
        DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
        EXPECT_EQ(style & gadget.styleBits, gadget.styleBits) << "style " << Hex(style);
        DWORD exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
        EXPECT_EQ(exStyle & WS_EX_CLIENTEDGE, gadget.exStyleBits) << "extended " << Hex(exStyle);
        EXPECT_TRUE(IsWindowVisible(window));
    }
    EXPECT_EQ(GetWindowLongA(program.Gadget(app::kOkButton), GWL_STYLE) & BS_TYPEMASK,
              BS_PUSHBUTTON);
    EXPECT_EQ(GetWindowLongA(program.Gadget(app::kKeywordBox), GWL_STYLE) & ES_CENTER, ES_CENTER);
    EXPECT_EQ(program.Text(app::kSiteLabel), kLabelText);
    EXPECT_EQ(program.Text(app::kKeywordBox), app::kPlaceholder);
    EXPECT_EQ(program.Text(app::kOkButton), "OK");
    EXPECT_EQ(CloseAndWait(program), 0);
}

TEST(RunningForm, SiteListHoldsTheFiveForumsWithTheFirstSelected) {
    RunningProgram program;
    StartItself(program);
    ASSERT_NE(program.window, nullptr);
    HWND list = program.Gadget(app::kSiteList);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(std::size(app::kSites)));
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 0);
    // Across processes Wine hands CB_GETLBTEXT's text back in UTF-16 even to
    // SendMessageA, so the items are read wide and narrowed here.
    for (size_t i = 0; i < std::size(app::kSites); ++i) {
        wchar_t wide[256] = {};
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        EXPECT_EQ(UTFTOASCII(wide), app::kSites[i]) << "item " << i;
    }
    EXPECT_EQ(program.Text(app::kSiteList), app::kSites[0]) << "the selection field";
    EXPECT_EQ(CloseAndWait(program), 0);
}

TEST(RunningFormScreenshot, BlueTextsOnTheirBackgroundsAndASystemColouredButton) {
    RunningProgram program;
    StartItself(program);
    ASSERT_NE(program.window, nullptr);
    RECT combo = ScreenRect(program.Gadget(app::kSiteList));
    RECT label = ScreenRect(program.Gadget(app::kSiteLabel));
    label.right = combo.left;  // the two overlap by 5 pixels
    // Inside the client edge of the keyword box and the button's frame.
    RECT keywords = Shrunk(ScreenRect(program.Gadget(app::kKeywordBox)), 2);
    RECT button = Shrunk(ScreenRect(program.Gadget(app::kOkButton)), 3);
    // The program starts with the keyword box's text selected; its colours
    // are those of the text as it stands unselected.
    Ask(program.Gadget(app::kKeywordBox), EM_SETSEL, static_cast<WPARAM>(-1), 0);

    auto area = [](const RECT& r) { return (r.right - r.left) * (r.bottom - r.top); };
    // With the program's common controls 6 the theme may draw the face in a
    // colour of its own; either way it is the system's, not the library's.
    std::optional<COLORREF> systemFace = SystemButtonFace(30, 23);
    ASSERT_TRUE(systemFace.has_value()) << "no activation context from the program's manifest";
    const COLORREF face = *systemFace;
    std::printf("button face as the system draws it: %s (COLOR_BTNFACE %s)\n", Hex(face).c_str(),
                Hex(GetSysColor(COLOR_BTNFACE)).c_str());
    struct Check {
        const char* what;
        RECT rect;
        COLORREF colour;
        int atLeast;  // pixels of exactly this colour
        int atMost;
    };
    std::vector<Check> checks = {
        {"blue label text", label, kBlue, 20, area(label) / 2},
        {"label background 0xF0F0F0", label, 0xF0F0F0, area(label) / 2, area(label)},
        {"blue keyword text", keywords, kBlue, 20, area(keywords) / 2},
        {"white keyword box", keywords, 0xFFFFFF, area(keywords) / 2, area(keywords)},
        {"button face as the system draws it", button, face, area(button) / 2, area(button)},
        {"no blue on the button", button, kBlue, 0, 0},
        {"button text in the system colour", button, GetSysColor(COLOR_BTNTEXT), 5, area(button)},
    };
    const COLORREF windowFace = GetSysColor(COLOR_BTNFACE);
    if (windowFace != 0xF0F0F0) {
        checks.push_back({"no window face inside the label", label, windowFace, 0, 0});
    }
    auto failures = [&](const Screenshot& shot) {
        std::vector<std::string> failed;
        for (const Check& check : checks) {
            int count = shot.Count(check.rect, check.colour);
            if (count < check.atLeast || count > check.atMost) {
                failed.push_back(std::string(check.what) + ": " + std::to_string(count) +
                                 " pixels of " + Hex(check.colour) + ", expected " +
                                 std::to_string(check.atLeast) + " to " +
                                 std::to_string(check.atMost));
            }
        }
        return failed;
    };

    // Shots until the program has painted the whole form, or the deadline.
    const std::string path = "/tmp/zudizazuz-form-" +
                             std::to_string(std::hash<std::string>{}(Env("WINEPREFIX"))) + "-" +
                             std::to_string(GetCurrentProcessId()) + ".ppm";
    std::vector<std::string> failed;
    WaitUntil([&] {
        std::optional<Screenshot> shot = TakeScreenshot(path);
        if (shot && (shot->width < combo.right || shot->height < combo.bottom)) shot.reset();
        failed = shot ? failures(*shot) : std::vector<std::string>{"no screenshot"};
        return failed.empty();
    });
    for (const std::string& failure : failed) ADD_FAILURE() << failure;
    if (failed.empty()) {
        DeleteFileA(WindowsPath(path).c_str());
    } else {
        std::printf("the last screenshot is kept at %s\n", path.c_str());
    }
    EXPECT_EQ(CloseAndWait(program), 0);
}

namespace {

// A point of the main window's client area that no child covers, in screen
// coordinates; a press there reaches the library's window procedure.
std::optional<POINT> EmptyClientPoint(HWND window) {
    for (POINT client : {POINT{300, 300}, POINT{700, 30}, POINT{5, 45}, POINT{700, 45}}) {
        if (ChildWindowFromPointEx(window, client, CWP_SKIPINVISIBLE) == window) {
            POINT screen = client;
            ClientToScreen(window, &screen);
            return screen;
        }
    }
    return std::nullopt;
}

// One xdotool run: a left click at the point, then whatever `then` adds (its
// input reaches the program after the click's).
bool ClickAt(POINT screen, const std::string& then = "") {
    return RunUnixToEnd("/usr/bin/xdotool mousemove " + std::to_string(screen.x) + " " +
                        std::to_string(screen.y) + " click 1 " + then);
}

POINT Centre(HWND window) {
    RECT rect = ScreenRect(window);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

}  // namespace

TEST(RunningFormPlaceholder, AClickEmptiesThePlaceholderButLeavesTypedText) {
    RunningProgram program;
    StartItself(program);
    ASSERT_NE(program.window, nullptr);
    auto xWindow =
        reinterpret_cast<uintptr_t>(GetPropA(program.window, "__wine_x11_whole_window"));
    ASSERT_NE(xWindow, 0u) << "no X window behind the program's window";
    ASSERT_TRUE(RunUnixToEnd("/usr/bin/xdotool windowfocus --sync " + std::to_string(xWindow)));
    std::optional<POINT> empty = EmptyClientPoint(program.window);
    ASSERT_TRUE(empty.has_value()) << "no free spot in the main window's client area";
    auto keywords = [&] { return program.Text(app::kKeywordBox); };
    ASSERT_EQ(keywords(), app::kPlaceholder);

    ASSERT_TRUE(ClickAt(*empty));
    EXPECT_TRUE(WaitUntil([&] { return keywords().empty(); }))
        << "the placeholder stayed: \"" << keywords() << "\"";

    ASSERT_TRUE(ClickAt(Centre(program.Gadget(app::kKeywordBox)), "type --delay 30 hello"));
    ASSERT_TRUE(WaitUntil([&] { return keywords() == "hello"; })) << "typed: " << keywords();

    // Input reaches the program in order: the text typed after the click
    // proves that the click was handled while the box held "hello".
    ASSERT_TRUE(ClickAt(*empty, "type --delay 30 _world"));
    EXPECT_TRUE(WaitUntil([&] { return keywords() == "hello_world"; }))
        << "after the second click: \"" << keywords() << "\"";

    // The clearing acts whenever the box holds exactly the placeholder again.
    SendMessageA(program.Gadget(app::kKeywordBox), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(app::kPlaceholder));
    ASSERT_EQ(keywords(), app::kPlaceholder);
    ASSERT_TRUE(ClickAt(POINT{empty->x + 1, empty->y}));
    EXPECT_TRUE(WaitUntil([&] { return keywords().empty(); }))
        << "the placeholder put back stayed: \"" << keywords() << "\"";
    EXPECT_EQ(CloseAndWait(program), 0);
}

// ---- The form built in this process ----------------------------------------

namespace {

std::optional<std::pair<COLORREF, COLORREF>> ColourEntry(HWND window) {
    RegistryNode* entry = FindColourEntry(window);
    if (entry == nullptr || entry->next == nullptr || entry->next->next == nullptr) {
        return std::nullopt;
    }
    return std::pair{static_cast<COLORREF>(entry->next->value),
                     static_cast<COLORREF>(entry->next->next->value)};
}

}  // namespace

TEST(SearchFormInProcess, CreatesTheItemsTheColoursAndTheSelection) {
    HWND window = OpenWindow("Zudizazuz", 10, 10, 735, 600, 0x10CF0000, 0);
    app::CreateSearchForm();

    EXPECT_EQ(GetItemComboBox(app::kSiteList), 0);
    for (int32_t i = 0; i < static_cast<int32_t>(std::size(app::kSites)); ++i) {
        EXPECT_EQ(GetComboBoxText(app::kSiteList, i), app::kSites[i]) << "item " << i;
    }
    EXPECT_EQ(GetComboBoxText(app::kSiteList, 5), "") << "only five items";
    EXPECT_EQ(GetGadgetText(app::kSiteLabel, 1), kLabelText);
    EXPECT_EQ(GetGadgetText(app::kKeywordBox, 1), app::kPlaceholder);
    EXPECT_EQ(GetGadgetText(app::kOkButton, 1), "OK");
    for (int number : {app::kSiteLabel, app::kSiteList, app::kKeywordBox, app::kOkButton}) {
        EXPECT_EQ(GetParent(GadgetID(number)), window) << "gadget " << number;
    }

    using Colours = std::optional<std::pair<COLORREF, COLORREF>>;
    EXPECT_EQ(ColourEntry(GadgetID(app::kSiteLabel)), (Colours{{0xF0F0F0, kBlue}}));
    EXPECT_EQ(ColourEntry(GadgetID(app::kKeywordBox)), (Colours{{0xFFFFFF, kBlue}}));
    EXPECT_EQ(ColourEntry(GadgetID(app::kSiteList)), (Colours{{0xFFFFFF, 0}}));
    EXPECT_EQ(ColourEntry(GadgetID(app::kOkButton)), Colours{}) << "the button stays uncoloured";

    DestroyWindow(window);
}

// The open site list shows every forum's address whole: each item is at
// least as wide as its text in the list's own font. The closed box keeps the
// place and width the layout gives it.
TEST(SearchFormInProcess, TheOpenSiteListShowsEveryAddressWhole) {
    HWND window = OpenWindow("Zudizazuz", 10, 10, 735, 600, 0x10CF0000, 0);
    ShowWindow(window, SW_SHOW);
    app::CreateSearchForm();
    HWND combo = GadgetID(app::kSiteList);
    EXPECT_EQ(GADGETX(app::kSiteList), 125);
    EXPECT_EQ(GADGETWIDTH(app::kSiteList), 230);

    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    HWND list = info.hwndList;
    ASSERT_TRUE(IsWindowVisible(list)) << "the list did not open";
    HDC dc = GetDC(list);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (int i = 0; i < static_cast<int>(std::size(app::kSites)); ++i) {
        const char* site = app::kSites[i];
        SIZE text{};
        GetTextExtentPoint32A(dc, site, lstrlenA(site), &text);
        widest = std::max(widest, text.cx);
        RECT item{};
        ASSERT_NE(SendMessageA(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item)), LB_ERR);
        EXPECT_GE(item.right - item.left, text.cx + 2)
            << site << ": the item is " << item.right - item.left << " pixels wide, its text "
            << text.cx;
    }
    SelectObject(dc, previous);
    ReleaseDC(list, dc);
    EXPECT_GT(widest, GADGETWIDTH(app::kSiteList) - GetSystemMetrics(SM_CXVSCROLL))
        << "the longest address fits the closed box: this checks nothing";
    RECT client{};
    GetClientRect(list, &client);
    EXPECT_GE(client.right, widest + 2);
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(GADGETWIDTH(app::kSiteList), 230) << "opening the list resized the box";
    DestroyWindow(window);
}

TEST(SearchFormInProcess, PlaceholderIsClearedOnlyWhenTheBoxHoldsExactlyIt) {
    HWND window = OpenWindow("Zudizazuz", 10, 10, 735, 600, 0x10CF0000, 0);
    app::CreateSearchForm();
    const std::string placeholder = app::kPlaceholder;
    struct Case {
        const char* what;
        std::string text;
        std::string after;
    };
    const Case cases[] = {
        {"the placeholder", placeholder, ""},
        {"empty", "", ""},
        {"typed text", "hello", "hello"},
        {"the placeholder with a trailing space", placeholder + " ", placeholder + " "},
        {"the placeholder with a leading space", " " + placeholder, " " + placeholder},
        {"the placeholder without its last letter", placeholder.substr(0, placeholder.size() - 1),
         placeholder.substr(0, placeholder.size() - 1)},
        {"the placeholder twice", placeholder + placeholder, placeholder + placeholder},
        {"the placeholder typed back", placeholder, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetGadgetText(app::kKeywordBox, c.text);
        app::ClearPlaceholder();
        EXPECT_EQ(GetGadgetText(app::kKeywordBox, 1), c.after);
    }
    DestroyWindow(window);
}

namespace {

int CALLBACK CountFont(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return 1;
}

}  // namespace

// Wine draws the caption buttons (minimise, maximise, close) with its Marlett
// font; without it they come out as the letters "0", "1" and "r". The
// session puts the font into the prefix, where Wine finds it.
TEST(CaptionButtonFont, MarlettIsThereForTheCaptionButtons) {
    LOGFONTA wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(wanted.lfFaceName, "Marlett", LF_FACESIZE);
    int found = 0;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &wanted, CountFont, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    EXPECT_GT(found, 0) << "no Marlett font in this prefix";
}

// ---- The form at the display's scale ---------------------------------------

namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";

// The display's DPI for the programs started while it lives: Wine reads the
// per-user LogPixels when a process starts (this test process keeps its
// own). The value that was there, or its absence, comes back afterwards.
class DisplayDpi {
public:
    explicit DisplayDpi(DWORD dpi) {
        DWORD size = sizeof before_;
        had_ = RegGetValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", RRF_RT_REG_DWORD,
                            nullptr, &before_, &size) == ERROR_SUCCESS;
        set_ = RegSetKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, &dpi,
                               sizeof dpi) == ERROR_SUCCESS;
    }
    ~DisplayDpi() {
        if (had_) {
            RegSetKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, &before_,
                            sizeof before_);
        } else {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
        }
    }
    DisplayDpi(const DisplayDpi&) = delete;
    DisplayDpi& operator=(const DisplayDpi&) = delete;
    bool Set() const { return set_; }

private:
    DWORD before_ = 0;
    bool had_ = false;
    bool set_ = false;
};

struct Placed {
    int number;
    const char* role;
    RECT rect;  // x, y, width, height in client coordinates; the site list's height is its open list's
};

struct ScaledForm {
    DWORD dpi;
    std::vector<Placed> gadgets;
    SIZE formClient;  // the smallest client area the window may have
};

LONG Width(const RECT& rect) { return rect.right - rect.left; }
LONG Height(const RECT& rect) { return rect.bottom - rect.top; }

}  // namespace

// Started with the display at 100 % and 150 % the program lays its form out
// for that DPI: every 96-DPI figure scaled (MulDiv), read from this process
// with the program's windows' rectangles. The browser's size is the resize
// timer's (the outer size less the scaled margins), and the window's minimum
// is the scaled form.
TEST(RunningFormScaled, TheFormIsLaidOutForTheDisplaysDpi) {
    const ScaledForm forms[] = {
        {96,
         {{app::kSiteLabel, "site label", {10, 10, 120, 20}},
          {app::kSiteList, "site list", {125, 10, 230, 120}},
          {app::kKeywordBox, "keyword box", {380, 10, 250, 24}},
          {app::kOkButton, "OK button", {640, 10, 30, 23}},
          {app::kWebGadget, "browser", {10, 50, 700, 500}}},
         {680, 50}},
        {144,
         {{app::kSiteLabel, "site label", {15, 15, 180, 30}},
          {app::kSiteList, "site list", {188, 15, 345, 180}},
          {app::kKeywordBox, "keyword box", {570, 15, 375, 36}},
          {app::kOkButton, "OK button", {960, 15, 45, 35}},
          {app::kWebGadget, "browser", {15, 75, 1050, 750}}},
         {1020, 75}},
    };
    for (const ScaledForm& form : forms) {
        SCOPED_TRACE("at " + std::to_string(form.dpi) + " DPI");
        DisplayDpi dpi(form.dpi);
        ASSERT_TRUE(dpi.Set());
        RunningProgram program;
        StartItself(program);
        ASSERT_NE(program.window, nullptr);
        for (const Placed& gadget : form.gadgets) {
            SCOPED_TRACE(gadget.role);
            RECT expected = gadget.rect;
            RECT rect{};
            if (gadget.number == app::kWebGadget) {
                // Once the resize timer has run.
                WaitUntil([&] {
                    rect = ClientRect(program, gadget.number);
                    return Width(rect) == expected.right && Height(rect) == expected.bottom;
                }, 5000);
            } else {
                rect = ClientRect(program, gadget.number);
            }
            EXPECT_NEAR(rect.left, expected.left, 1);
            EXPECT_NEAR(rect.top, expected.top, 1);
            EXPECT_NEAR(Width(rect), expected.right, 1);
            if (gadget.number == app::kSiteList) {
                // The closed box is as high as its font makes it; the layout's
                // height is the open list's.
                auto field = SendMessageA(program.Gadget(gadget.number), CB_GETITEMHEIGHT,
                                          static_cast<WPARAM>(-1), 0);
                EXPECT_GT(Height(rect), field);
                EXPECT_LT(Height(rect), expected.bottom);
            } else {
                EXPECT_NEAR(Height(rect), expected.bottom, 1);
            }
        }
        RECT outer{}, client{};
        GetWindowRect(program.window, &outer);
        GetClientRect(program.window, &client);
        EXPECT_EQ(Property(program.window, "MINIMALWIDTH") - (Width(outer) - Width(client)),
                  form.formClient.cx);
        EXPECT_EQ(Property(program.window, "MINIMALHEIGHT") - (Height(outer) - Height(client)),
                  form.formClient.cy);
        EXPECT_EQ(CloseAndWait(program), 0);
    }
}

// At 175 % and 200 % the scaled window (1286 by 1050, 1470 by 1200) is larger
// than the test's 1280 by 1024 screen: it opens fitted to the work area, and
// the browser follows the fitted size. At 175 % the window may still shrink
// to the form's size; at 200 % the form itself (1360 pixels wide) is wider
// than the screen: the window asks for the form's size, and the library
// holds it to the work area of its monitor when the system asks.
TEST(RunningFormScaled, AWindowLargerThanTheScreenIsFittedToTheWorkArea) {
    struct Case {
        DWORD dpi;
        LONG formWidth;  // OK's right edge and the layout's margin, scaled
        LONG formHeight;
        LONG widthMargin;
        LONG heightMargin;
    };
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ASSERT_LT(Width(work), 1286) << "the screen is large enough for the window at 175 %";
    ASSERT_LT(Height(work), 1050);
    ASSERT_LT(Width(work), 1360);
    for (const Case& c : {Case{168, 1190, 88, 61, 175}, Case{192, 1360, 100, 70, 200}}) {
        SCOPED_TRACE("at " + std::to_string(c.dpi) + " DPI");
        DisplayDpi dpi(c.dpi);
        ASSERT_TRUE(dpi.Set());
        RunningProgram program;
        StartItself(program);
        ASSERT_NE(program.window, nullptr);
        RECT outer{}, client{};
        GetWindowRect(program.window, &outer);
        GetClientRect(program.window, &client);
        EXPECT_EQ(outer.left, work.left);
        EXPECT_EQ(outer.top, work.top);
        EXPECT_EQ(outer.right, work.right);
        EXPECT_EQ(outer.bottom, work.bottom);
        LONG frameWidth = Width(outer) - Width(client);
        LONG frameHeight = Height(outer) - Height(client);
        EXPECT_EQ(Property(program.window, "MINIMALWIDTH") - frameWidth, c.formWidth);
        EXPECT_EQ(Property(program.window, "MINIMALHEIGHT") - frameHeight, c.formHeight);
        // What the system is told when it asks (the record crosses the
        // processes): no more than the work area.
        MINMAXINFO limits{};
        SendMessageA(program.window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        EXPECT_EQ(limits.ptMinTrackSize.x, std::min<LONG>(c.formWidth + frameWidth, Width(work)));
        EXPECT_EQ(limits.ptMinTrackSize.y, c.formHeight + frameHeight);
        RECT browser{};
        EXPECT_TRUE(WaitUntil([&] {
            browser = ClientRect(program, app::kWebGadget);
            return Width(browser) == Width(outer) - c.widthMargin &&
                   Height(browser) == Height(outer) - c.heightMargin;
        }, 5000)) << "browser " << Width(browser) << " by " << Height(browser) << " in a window of "
                  << Width(outer) << " by " << Height(outer);
        EXPECT_EQ(CloseAndWait(program), 0);
    }
}

// The layout puts the label's right end 5 pixels (7 at 150 %) under the site
// list's left edge. The list is drawn whole over it: in that strip no pixel
// has the label's background, where the label drawn over the list hid the
// list's border, and at 150 % the first letter of the forum's address.
TEST(RunningFormScaled, TheSiteListIsDrawnWholeOverTheLabelsEnd) {
    constexpr COLORREF kLabelFace = 0xF0F0F0;
    for (DWORD dpiValue : {96u, 144u}) {
        SCOPED_TRACE("at " + std::to_string(dpiValue) + " DPI");
        DisplayDpi dpi(dpiValue);
        ASSERT_TRUE(dpi.Set());
        RunningProgram program;
        StartItself(program);
        ASSERT_NE(program.window, nullptr);
        RECT list = ScreenRect(program.Gadget(app::kSiteList));
        RECT label = ScreenRect(program.Gadget(app::kSiteLabel));
        RECT strip{list.left, std::max(list.top, label.top), label.right,
                   std::min(list.bottom, label.bottom)};
        ASSERT_LT(strip.left, strip.right) << "the label no longer reaches under the list";
        RECT besideTheList = label;
        besideTheList.right = list.left;

        const std::string path = "/tmp/zudizazuz-label-" +
                                 std::to_string(std::hash<std::string>{}(Env("WINEPREFIX"))) + "-" +
                                 std::to_string(GetCurrentProcessId()) + ".ppm";
        int labelFaceInStrip = -1;
        int blueText = 0;
        // Once the label has drawn its text, and so its background.
        bool drawn = WaitUntil([&] {
            std::optional<Screenshot> shot = TakeScreenshot(path);
            if (!shot || shot->width < list.right || shot->height < list.bottom) return false;
            blueText = shot->Count(besideTheList, kBlue);
            labelFaceInStrip = shot->Count(strip, kLabelFace);
            return blueText >= 20 && labelFaceInStrip == 0;
        }, 5000);
        EXPECT_TRUE(drawn) << labelFaceInStrip << " of the strip's " << Width(strip) * Height(strip)
                           << " pixels have the label's background; " << blueText
                           << " pixels of blue label text; the last screenshot is at " << path;
        if (drawn) DeleteFileA(WindowsPath(path).c_str());
        // The strip is the list's for the mouse too.
        POINT inStrip{(strip.left + strip.right) / 2, (strip.top + strip.bottom) / 2};
        EXPECT_EQ(WindowFromPoint(inStrip), program.Gadget(app::kSiteList));
        EXPECT_EQ(CloseAndWait(program), 0);
    }
}
