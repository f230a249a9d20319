// The whole program as a person drives it: the copy of zudizazuz.exe beside
// the browser stand-in runs under Xvfb, xdotool clicks, types, drags and
// presses keys, and the stand-in's log file tells what the browser was asked.
#include "app/app.h"
#include "app/sites.h"
#include "program_support.h"
#include "standin.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// ---- What the browser should be asked -------------------------------------

constexpr size_t kMaxUnits = 255;
const std::wstring kEnginePrefix = L"https://www.google.com/search?client=IE&rls=ru&q=";
const std::wstring kRestriction = L"+site:";

std::wstring Site(int index) { return Widen(app::kSites[index], CP_ACP); }

std::wstring ForumSearchPrefix() {
    return Site(app::kForumSearchIndex) + L"search.php?keywords=";
}

std::wstring Prefix(int index) {
    return index == app::kForumSearchIndex ? ForumSearchPrefix() : kEnginePrefix;
}

std::wstring Restriction(int index) {
    return index == app::kForumSearchIndex ? L"" : kRestriction + Site(index);
}

// The keyword box is an ANSI window: the program reads its text in the ANSI
// code page, where a character that the page lacks becomes "?".
std::wstring AsTheProgramReadsIt(const std::wstring& keywords) {
    return Widen(Narrow(keywords, CP_ACP), CP_ACP);
}

// The address for the forum at `index` and the keywords typed into the box:
// prefix, as many whole pieces as leave room for the restriction within 255
// units, then the restriction (none for the forum searched on its own page).
std::wstring ExpectedAddress(int index, const std::wstring& typed) {
    std::wstring keywords = AsTheProgramReadsIt(typed);
    if (index == app::kForumSearchIndex) keywords = TrimSpaces(keywords);
    std::wstring address = Prefix(index);
    size_t end = kMaxUnits - Restriction(index).size();
    // Every character takes a unit at least: no more than these can fit.
    for (const std::wstring& piece : KeywordPieces(keywords.substr(0, kMaxUnits))) {
        if (address.size() + piece.size() > end) break;
        address += piece;
    }
    return address + Restriction(index);
}

std::string Navigate(const std::wstring& address) { return "Navigate " + Utf8(address); }

// What every address must be, whatever the keywords: at most 255 UTF-16
// units, ASCII only, the right prefix, the whole restriction at its end, the
// keywords as whole escapes of UTF-8.
void ExpectWellFormed(int index, const std::wstring& address, const std::string& what) {
    EXPECT_LE(address.size(), kMaxUnits) << what;
    EXPECT_TRUE(IsAscii(address)) << what << ": characters outside ASCII reached the browser";
    std::wstring prefix = Prefix(index);
    std::wstring restriction = Restriction(index);
    ASSERT_EQ(address.substr(0, prefix.size()), prefix) << what;
    ASSERT_GE(address.size(), prefix.size() + restriction.size()) << what;
    EXPECT_EQ(address.substr(address.size() - restriction.size()), restriction) << what;
    std::wstring keywords =
        address.substr(prefix.size(), address.size() - prefix.size() - restriction.size());
    for (size_t at = keywords.find(L'%'); at != std::wstring::npos; at = keywords.find(L'%', at + 1)) {
        EXPECT_TRUE(at + 3 <= keywords.size() && iswxdigit(keywords[at + 1]) &&
                    iswxdigit(keywords[at + 2]))
            << what << ": an escape cut at unit " << prefix.size() + at;
    }
    EXPECT_TRUE(PercentDecoded(keywords).has_value()) << what << ": the escapes are no whole UTF-8";
}

// ---- The program, as the test reaches it ------------------------------------

// The browser calls that a person causes, in the order the log holds them.
std::vector<std::string> BrowserActions(const RunningProgram& program) {
    std::vector<std::string> actions;
    for (const std::string& line : program.Lines()) {
        for (const char* call : {"Navigate", "Refresh", "GoBack", "GoForward", "Stop"}) {
            std::string name = call;
            if (line == name || line.rfind(name + " ", 0) == 0) {
                actions.push_back(line);
                break;
            }
        }
    }
    return actions;
}

// The calls expected so far. Input reaches the program in order, so once the
// last expected call is in the log, a stray call caused earlier is there too.
struct ExpectedActions {
    std::vector<std::string> calls;
    size_t checked = 0;

    // Compares the calls since the last check with those expected since then.
    void Check(const RunningProgram& program, const std::string& what) {
        WaitUntil([&] { return BrowserActions(program).size() >= calls.size(); });
        std::vector<std::string> seen = BrowserActions(program);
        auto since = [&](const std::vector<std::string>& all) {
            auto from = static_cast<ptrdiff_t>(std::min(checked, all.size()));
            return std::vector<std::string>(all.begin() + from, all.end());
        };
        std::vector<std::string> seenSince = since(seen);
        std::vector<std::string> expectedSince = since(calls);
        EXPECT_EQ(seenSince, expectedSince) << what << ": the browser calls since the previous step";
        calls = seen;  // one mismatch is reported once, not again by every later step
        checked = seen.size();
    }
};

int Selection(const RunningProgram& program) {
    return static_cast<int>(Ask(program.Gadget(app::kSiteList), CB_GETCURSEL));
}

bool Xdotool(const std::string& arguments) {
    return RunUnixToEnd("/usr/bin/xdotool " + arguments, 15000);
}

std::string At(POINT point) {
    return std::to_string(point.x) + " " + std::to_string(point.y);
}

POINT Centre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

enum class Entry { kTyped, kPasted, kSetByMessage };

const char* Name(Entry entry) {
    switch (entry) {
        case Entry::kTyped: return "typed";
        case Entry::kPasted: return "pasted";
        case Entry::kSetByMessage: return "set with WM_SETTEXT";
    }
    return "?";
}

// Empties the keyword box, clicks into it and enters the keywords; waits
// until the box holds them. Typing takes ASCII only: xdotool types other
// letters by remapping a spare key, and Wine here loses the first letter so
// typed ("Привет" arrives as "ривет"); such text goes through the clipboard
// and ctrl+v instead.
void EnterKeywords(const RunningProgram& program, const std::wstring& keywords, Entry entry) {
    HWND box = program.Gadget(app::kKeywordBox);
    Ask(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    ASSERT_TRUE(WaitUntil([&] { return program.WideText(app::kKeywordBox).empty(); }));
    switch (entry) {
        case Entry::kTyped:
            ASSERT_TRUE(Xdotool("mousemove " + At(Centre(box)) + " click 1 type --delay 20 '" +
                                Utf8(keywords) + "'"));
            break;
        case Entry::kPasted:
            ASSERT_TRUE(SetClipboardText(keywords)) << "the clipboard could not be set";
            ASSERT_TRUE(Xdotool("mousemove " + At(Centre(box)) + " click 1 key ctrl+v"));
            break;
        case Entry::kSetByMessage:
            ASSERT_TRUE(Xdotool("mousemove " + At(Centre(box)) + " click 1"));
            Ask(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(keywords.c_str()));
            break;
    }
    ASSERT_TRUE(WaitUntil([&] { return program.WideText(app::kKeywordBox) == keywords; }))
        << Name(entry) << " " << Quote(keywords) << ", the box holds "
        << Quote(program.WideText(app::kKeywordBox));
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(program) == box; }))
        << "the focus is in " << Describe(FocusOf(program), program);
}

// Clicks the site list open and the item at `index` in its drop-down list.
void PickWithTheMouse(const RunningProgram& program, int index) {
    ASSERT_TRUE(Xdotool("mousemove " + At(Centre(program.Gadget(app::kSiteList))) + " click 1"));
    HWND list = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (list = DroppedList(program)) != nullptr; }))
        << "the site list did not drop down";
    auto itemHeight = static_cast<int>(Ask(list, LB_GETITEMHEIGHT));
    ASSERT_GT(itemHeight, 0);
    POINT item{20, index * itemHeight + itemHeight / 2};
    ClientToScreen(list, &item);
    ASSERT_TRUE(Xdotool("mousemove " + At(item) + " click 1"));
    EXPECT_TRUE(WaitUntil([&] { return DroppedList(program) == nullptr; }))
        << "the drop-down list stayed open";
}

// Focuses the site list (a click drops it down, Escape closes it again) and
// moves the selection with Down or Up.
void PickWithTheKeys(const RunningProgram& program, int index) {
    HWND siteList = program.Gadget(app::kSiteList);
    ASSERT_TRUE(Xdotool("mousemove " + At(Centre(siteList)) + " click 1"));
    ASSERT_TRUE(WaitUntil([&] { return DroppedList(program) != nullptr; }))
        << "the site list did not drop down";
    ASSERT_TRUE(PressKeys("Escape"));
    ASSERT_TRUE(WaitUntil([&] { return DroppedList(program) == nullptr; }))
        << "Escape left the drop-down list open";
    ASSERT_EQ(FocusOf(program), siteList) << "the focus is in " << Describe(FocusOf(program), program);
    int steps = index - Selection(program);
    std::string keys;
    for (int i = 0; i < std::abs(steps); ++i) keys += steps > 0 ? " Down" : " Up";
    if (!keys.empty()) {
        ASSERT_TRUE(PressKeys(keys));
    }
}

}  // namespace

// ---- The keyboard shortcuts, wherever the focus is --------------------------

TEST(EndToEndShortcutsStandIn, EnterF5AltLeftAndAltRightWorkWhereverTheFocusIs) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    ASSERT_EQ(program.Text(app::kKeywordBox), app::kPlaceholder);
    ASSERT_EQ(Selection(program), 0);

    // The keywords searched for: none while the box holds the placeholder,
    // which is a hint, never a keyword.
    std::wstring keywords;
    ExpectedActions expected;

    struct FocusCase {
        const char* where;
        std::function<void()> focus;  // what a person does to put the focus there
        HWND focused;
    };
    const FocusCase focusCases[] = {
        // Right after start the keyword box has the focus, the placeholder
        // still in it: Enter searches with no keywords.
        {"the keyword box, as the program starts", [] {}, program.Gadget(app::kKeywordBox)},
        {"the keyword box, clicked",
         [&] {
             program.Click(app::kKeywordBox);
             EXPECT_TRUE(program.WaitForText(app::kKeywordBox, ""))
                 << "the placeholder stayed: " << Quote(program.WideText(app::kKeywordBox));
         },
         program.Gadget(app::kKeywordBox)},
        {"the site list",
         [&] {
             program.Click(app::kSiteList);
             EXPECT_TRUE(WaitUntil([&] { return DroppedList(program) != nullptr; }));
             ASSERT_TRUE(PressKeys("Escape"));
             EXPECT_TRUE(WaitUntil([&] { return DroppedList(program) == nullptr; }));
         },
         program.Gadget(app::kSiteList)},
        // A click on OK searches, and leaves the focus in the button.
        {"the OK button",
         [&] {
             program.Click(app::kOkButton);
             expected.calls.push_back(Navigate(ExpectedAddress(0, keywords)));
         },
         program.Gadget(app::kOkButton)},
        // A click in the browser area puts the focus into the browser's own
        // window, as the real control takes it; the keys then go there first.
        {"the browser area",
         [&] { program.Click(app::kWebGadget); },
         program.Gadget(app::kWebGadget)},
    };

    struct KeyCase {
        const char* keys;  // after an Alt shortcut, Escape leaves Wine's menu mode
        std::function<std::string()> call;
    };
    const KeyCase keyCases[] = {
        {"Return", [&] { return Navigate(ExpectedAddress(0, keywords)); }},
        {"F5", [] { return std::string("Refresh"); }},
        {"alt+Left Escape", [] { return std::string("GoBack"); }},
        {"alt+Right Escape", [] { return std::string("GoForward"); }},
    };

    for (const FocusCase& where : focusCases) {
        where.focus();
        expected.Check(program, std::string("after putting the focus in ") + where.where);
        for (const KeyCase& key : keyCases) {
            std::string what = std::string(key.keys) + " with the focus in " + where.where;
            ASSERT_TRUE(WaitUntil([&] { return FocusOf(program) == where.focused; }))
                << what << ": the focus is in " << Describe(FocusOf(program), program);
            ASSERT_TRUE(PressKeys(key.keys)) << what;
            expected.calls.push_back(key.call());
            expected.Check(program, what);
        }
    }
    EXPECT_TRUE(program.Answers());
    EXPECT_EQ(CloseAndWait(program), 0);
}

// ---- Every forum, picked with the mouse and with the keys -------------------

TEST(EndToEndForumsStandIn, EachForumPickedWithTheMouseOrTheKeysIsSearchedAndPickingAloneIsNot) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);

    enum class Pick { kMouse, kKeys };
    enum class Trigger { kOkButton, kEnter };
    struct ForumCase {
        int index;
        Pick pick;
        Trigger trigger;
        std::wstring keywords;
        Entry entry;
    };
    // Each forum once with each way of picking; Latin keywords typed, Cyrillic
    // ones pasted; spaces around keywords are trimmed for the forum's own
    // search page only.
    const ForumCase cases[] = {
        {3, Pick::kMouse, Trigger::kOkButton, L"abc", Entry::kTyped},
        {1, Pick::kKeys, Trigger::kEnter, L"Привет мир", Entry::kPasted},
        {2, Pick::kMouse, Trigger::kEnter, L"  abc  ", Entry::kTyped},
        {4, Pick::kKeys, Trigger::kOkButton, L"  abc  ", Entry::kTyped},
        {0, Pick::kMouse, Trigger::kEnter, L"Поиск по сайту", Entry::kPasted},
        {2, Pick::kKeys, Trigger::kOkButton, L" Привет ", Entry::kPasted},
        {4, Pick::kMouse, Trigger::kOkButton, L"a b&c", Entry::kTyped},
        {3, Pick::kKeys, Trigger::kEnter, L"C++", Entry::kTyped},
        {1, Pick::kMouse, Trigger::kOkButton, L"ёжик 100%", Entry::kPasted},
        {0, Pick::kKeys, Trigger::kEnter, L"xyz", Entry::kTyped},
    };
    ExpectedActions expected;
    for (const ForumCase& c : cases) {
        std::string what = "forum " + std::to_string(c.index) + " picked with the " +
                           (c.pick == Pick::kMouse ? "mouse" : "keys") + ", keywords " +
                           Quote(c.keywords) + " " + Name(c.entry) + ", searched with " +
                           (c.trigger == Trigger::kEnter ? "Enter" : "OK");
        SCOPED_TRACE(what);
        EnterKeywords(program, c.keywords, c.entry);
        if (c.pick == Pick::kMouse) {
            PickWithTheMouse(program, c.index);
        } else {
            PickWithTheKeys(program, c.index);
        }
        ASSERT_TRUE(WaitUntil([&] { return Selection(program) == c.index; }))
            << "the site list selects " << Selection(program);

        // Picking alone searches nothing: F5 comes after the pick, and nothing
        // may come before its Refresh.
        ASSERT_TRUE(PressKeys("F5"));
        expected.calls.push_back("Refresh");
        expected.Check(program, "after picking alone");

        if (c.trigger == Trigger::kEnter) {
            // The site list has the focus; the shortcut takes Enter first.
            ASSERT_EQ(FocusOf(program), program.Gadget(app::kSiteList));
            ASSERT_TRUE(PressKeys("Return"));
        } else {
            program.Click(app::kOkButton);
        }
        expected.calls.push_back(Navigate(ExpectedAddress(c.index, c.keywords)));
        expected.Check(program, "after the search");
    }
    EXPECT_TRUE(program.Answers());
    EXPECT_EQ(CloseAndWait(program), 0);
}

// ---- The web gadget follows the window's size -------------------------------

namespace {

// The web gadget's rectangle in the main window's client coordinates.
RECT WebGadgetRect(const RunningProgram& program) {
    RECT rect{};
    GetWindowRect(program.Gadget(app::kWebGadget), &rect);
    MapWindowPoints(nullptr, program.window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool WebGadgetFollows(const RunningProgram& program) {
    SIZE outer = OuterSize(program.window);
    RECT web = WebGadgetRect(program);
    return web.left == 10 && web.top == 50 && web.right - web.left == outer.cx - 35 &&
           web.bottom - web.top == outer.cy - 100;
}

std::string Geometry(const RunningProgram& program) {
    SIZE outer = OuterSize(program.window);
    RECT web = WebGadgetRect(program);
    return "window " + std::to_string(outer.cx) + " x " + std::to_string(outer.cy) +
           ", web gadget at (" + std::to_string(web.left) + ", " + std::to_string(web.top) + ") " +
           std::to_string(web.right - web.left) + " x " + std::to_string(web.bottom - web.top);
}

// A screen point of the main window where a hit test gives `area`; Wine draws
// the frame itself here, so its answer is where a person would click. Points
// within 3 pixels of `lastPress` are passed over: a second press there soon
// after would be a double click.
std::optional<POINT> FramePoint(const RunningProgram& program, LRESULT area,
                                POINT lastPress = {-100, -100}) {
    RECT rect{};
    GetWindowRect(program.window, &rect);
    int captionY = rect.top + GetSystemMetrics(SM_CYSIZEFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    std::vector<POINT> candidates;
    for (LONG back = 1; back < 40; ++back) {
        candidates.push_back({rect.right - back, rect.bottom - 1});
        candidates.push_back({rect.right - 1, rect.bottom - back});
    }
    for (LONG x = rect.right - 2; x > rect.right - 200; --x) candidates.push_back({x, captionY});
    for (POINT point : candidates) {
        if (std::abs(point.x - lastPress.x) <= 3 && std::abs(point.y - lastPress.y) <= 3) continue;
        if (Ask(program.window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)) == area) return point;
    }
    return std::nullopt;
}

}  // namespace

TEST(EndToEndWindowSizeStandIn, WebGadgetFollowsDragsOfTheCornerAndAMinimiseAndRestore) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    ASSERT_NE(program.Gadget(app::kWebGadget), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return WebGadgetFollows(program); })) << Geometry(program);

    struct Drag {
        int dx, dy;
    };
    POINT lastPress{-100, -100};
    for (Drag drag : {Drag{1, 1}, Drag{200, 150}, Drag{-1, -1}}) {
        std::string what = "a drag of the corner by " + std::to_string(drag.dx) + ", " +
                           std::to_string(drag.dy);
        std::optional<POINT> corner = FramePoint(program, HTBOTTOMRIGHT, lastPress);
        ASSERT_TRUE(corner.has_value()) << what << ": no bottom-right sizing corner found";
        SIZE before = OuterSize(program.window);
        ASSERT_TRUE(Xdotool("mousemove " + At(*corner) + " mousedown 1 mousemove_relative -- " +
                            std::to_string(drag.dx) + " " + std::to_string(drag.dy) + " mouseup 1"))
            << what;
        lastPress = *corner;
        SIZE after{before.cx + drag.dx, before.cy + drag.dy};
        ASSERT_TRUE(WaitUntil([&] {
            SIZE now = OuterSize(program.window);
            return now.cx == after.cx && now.cy == after.cy;
        })) << what << ": the window went from " << before.cx << " x " << before.cy << " to "
            << Geometry(program);
        EXPECT_TRUE(WaitUntil([&] { return WebGadgetFollows(program); }))
            << what << ": " << Geometry(program);
    }

    // Minimised with the caption's button: the outer size shrinks below the
    // margins and the gadget follows what it can; the restore mends it.
    SIZE restored = OuterSize(program.window);
    std::optional<POINT> minimise = FramePoint(program, HTMINBUTTON);
    ASSERT_TRUE(minimise.has_value()) << "no minimise button found on the caption";
    ASSERT_TRUE(Xdotool("mousemove " + At(*minimise) + " click 1"));
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(program.window) != 0; })) << "not minimised";
    EXPECT_TRUE(WaitUntil([&] {
        RECT web = WebGadgetRect(program);
        return web.right - web.left == OuterSize(program.window).cx - 35;
    })) << "while minimised: " << Geometry(program);
    EXPECT_TRUE(program.Answers()) << "while minimised";

    ShowWindow(program.window, SW_RESTORE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(program.window) == 0; })) << "not restored";
    EXPECT_TRUE(WaitUntil([&] {
        SIZE now = OuterSize(program.window);
        return now.cx == restored.cx && now.cy == restored.cy;
    })) << "restored to " << Geometry(program) << "; before: " << restored.cx << " x " << restored.cy;
    EXPECT_TRUE(WaitUntil([&] { return WebGadgetFollows(program); }))
        << "after the restore: " << Geometry(program);
    EXPECT_EQ(CloseAndWait(program), 0);
}

// ---- Odd keywords ----------------------------------------------------------

namespace {

std::wstring Repeated(const std::wstring& unit, size_t length) {
    std::wstring text;
    while (text.size() < length) text += unit;
    text.resize(length);
    return text;
}

}  // namespace

TEST(EndToEndBadInputStandIn, OddKeywordsGiveWholeAddressesWithin255UnitsAndTheProgramRuns) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);

    // 32,767 characters, the most a Windows edit box takes by default (Wine's
    // takes 30,000 from the keyboard; WM_SETTEXT is not limited).
    constexpr size_t kLongest = 32767;
    struct BadCase {
        int index;
        std::wstring keywords;
        Entry entry;
    };
    const BadCase cases[] = {
        {0, Repeated(L"я", kLongest), Entry::kSetByMessage},
        {3, Repeated(L"a%", kLongest), Entry::kSetByMessage},
        {2, Repeated(L"ж#", kLongest), Entry::kSetByMessage},
        {4, Repeated(L"+", kLongest), Entry::kSetByMessage},
        // Outside code page 1251: each such character arrives as "?".
        {1, L"中文 поиск 漢字", Entry::kPasted},
        {2, L"中文", Entry::kPasted},
        // Control characters pass unchanged; only spaces are trimmed.
        {4, L"a\tb\x01" L"c\x1b" L"d", Entry::kPasted},
        {2, L"\tкот\t", Entry::kPasted},
        {0, L"100% кот&пёс #1 C++", Entry::kPasted},
        {2, L" %&#+ и ", Entry::kPasted},
    };
    ExpectedActions expected;
    for (const BadCase& c : cases) {
        std::string what = "forum " + std::to_string(c.index) + ", keywords " + Quote(c.keywords) +
                           " " + Name(c.entry);
        SCOPED_TRACE(what);
        EnterKeywords(program, c.keywords, c.entry);
        PickWithTheKeys(program, c.index);
        ASSERT_TRUE(WaitUntil([&] { return Selection(program) == c.index; }))
            << "the site list selects " << Selection(program);
        ASSERT_TRUE(PressKeys("Return"));

        std::wstring address = ExpectedAddress(c.index, c.keywords);
        expected.calls.push_back(Navigate(address));
        expected.Check(program, "after Enter");
        std::vector<std::string> actions = BrowserActions(program);
        ASSERT_FALSE(actions.empty());
        std::wstring navigated = Widen(actions.back().substr(std::string("Navigate ").size()), CP_UTF8);
        ExpectWellFormed(c.index, navigated, what);
        EXPECT_TRUE(program.Answers()) << "the program stopped answering";
    }
    EXPECT_EQ(CloseAndWait(program), 0);
}

// ---- Closing ---------------------------------------------------------------

TEST(EndToEndClosingStandIn, AltF4AndTheCloseRequestEachEndTheProgramWithStatusZero) {
    struct CloseCase {
        const char* how;
        std::function<void(const RunningProgram&)> close;
    };
    const CloseCase cases[] = {
        {"Alt+F4", [](const RunningProgram&) { ASSERT_TRUE(PressKeys("alt+F4")); }},
        {"the close request",
         [](const RunningProgram& program) { PostMessageA(program.window, WM_CLOSE, 0, 0); }},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.how);
        RunningProgram program;
        Start(program);
        ASSERT_NE(program.window, nullptr);
        ASSERT_TRUE(program.Answers()) << "the program is not running its loop";
        c.close(program);
        EXPECT_EQ(WaitForExit(program), 0) << "closed with " << c.how;
    }
}
