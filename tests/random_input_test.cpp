// A few thousand random user actions against the real program: the copy of
// zudizazuz.exe beside the browser stand-in runs under Xvfb while a seeded
// generator clicks the form, the drop-down list and its items, the browser
// area and the frame, presses the shortcuts and other keys wherever the
// focus happens to be, types, pastes Cyrillic and text outside code page
// 1251, resizes, moves, minimises and restores the window, fires
// new-window events with random addresses, and moves the page's focus
// between its fields, links, buttons, frames and its body (Enter on anything
// the page has focused but its body is the page's).
//
// After every action the program must be alive and answering, the browser
// calls the stand-in logged must be exactly those the action can cause, and
// every navigation must be well formed: a search address for the form as it
// stood, or the new-window address as the program narrows it. The working
// set, sampled from outside, must stay flat after a warm-up.
//
// ZUDIZAZUZ_RANDOM_SEED sets the seed ("random" picks a fresh one) and
// ZUDIZAZUZ_RANDOM_ACTIONS the number of actions; scripts/random-input.sh
// runs a long one. Each action draws from a generator of its own, seeded
// with the seed and the action's number, so one action's retries never shift
// the next one's choices, and a run can be split into shards: with
// ZUDIZAZUZ_RANDOM_SHARD=K/N a program of its own takes the K-th of N equal
// parts of the actions, each action with the choices it has in a whole run.
// The test command runs the actions in two shards, one in each of its lanes.
#include "app/app.h"
#include "app/sites.h"
#include "program_support.h"
#include "standin.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// ---- Settings ---------------------------------------------------------------

constexpr uint32_t kDefaultSeed = 20241210;
// About 75 s on this 2-core machine (25 ms an action, most of it xdotool
// and Wine taking the input), in two shards of half that; the figures print
// the time a run took.
constexpr int kDefaultActions = 3000;

// The working set is compared from the end of the warm-up, when every kind of
// action has run many times: fonts for the scripts pasted, the clipboard and
// the drop-down list have been set up once. Each shard's program warms up
// anew, and its actions are counted from the shard's first.
constexpr int kWarmUpActions = 300;
constexpr int kSampleEvery = 25;
constexpr int kHomeSampleEvery = 250;
// Allowed growth of the working set from the end of the warm-up to the end,
// both read with the window back at its starting size (see Growth). Measured
// here in whole runs: 0.1 to 0.6 MiB over 3,000 actions (seeds 20241210, 1
// and 2), 0.3 MiB over 20,000 (seed 314159); samples in between up to 4.9 MiB
// higher for a while, then back, and the lowest of any three samples in a row
// at most 1.1 MiB above the first. In shards of 1,500 actions (seeds
// 20241210, 1, 2 and 3, 32-bit build): -1.8 to 0.4 MiB.
// A leak of 16 KiB for every navigation, planted in the stand-in for a trial,
// raised a whole run's last three samples by 4.8 to 7.9 MiB, and a shard's
// by 1.2 and 1.8 MiB: inside what a shard's working set wanders by, so the
// bound, 2 MiB, is for what a shard can tell from that wandering, and the
// soaks, which walk the heaps, are what catch a leak of that size (the
// search soak failed at 16,384 bytes a step).
constexpr size_t kAllowedGrowth = 2u << 20;

struct Settings {
    uint32_t seed = kDefaultSeed;
    int actions = kDefaultActions;  // in the whole run
    // The actions of this shard: from `first` up to, not including, `end`.
    int first = 0;
    int end = kDefaultActions;
    std::string shard;  // "K/N", or empty for a whole run
};

// "K/N" with 1 <= K <= N: the K-th of N parts of the actions, as equal as
// they can be. Anything else is refused, so that a mistyped shard never
// passes by running no action.
bool ReadShard(const std::string& text, Settings& settings) {
    int part = 0, parts = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "%d/%d%c", &part, &parts, &rest) != 2 || parts < 1 || part < 1 ||
        part > parts) {
        return false;
    }
    long long actions = settings.actions;
    settings.first = static_cast<int>(actions * (part - 1) / parts);
    settings.end = static_cast<int>(actions * part / parts);
    settings.shard = text;
    return true;
}

Settings ReadSettings() {
    Settings settings;
    std::string seed = Env("ZUDIZAZUZ_RANDOM_SEED");
    if (seed == "random") {
        settings.seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    } else if (!seed.empty()) {
        settings.seed = static_cast<uint32_t>(std::strtoul(seed.c_str(), nullptr, 0));
    }
    std::string actions = Env("ZUDIZAZUZ_RANDOM_ACTIONS");
    if (!actions.empty()) settings.actions = std::max(1, std::atoi(actions.c_str()));
    settings.end = settings.actions;
    return settings;
}

// The choices of one action.
class Choices {
public:
    Choices(uint32_t seed, uint32_t action) {
        std::seed_seq sequence{seed, action};
        engine_.seed(sequence);
    }
    // A number in [0, bound).
    size_t Below(size_t bound) {
        return bound == 0 ? 0 : std::uniform_int_distribution<size_t>(0, bound - 1)(engine_);
    }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
    bool Percent(int chance) { return Between(0, 99) < chance; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

private:
    std::mt19937 engine_;
};

// ---- Text --------------------------------------------------------------------

// Through the ANSI code page and back, as the program passes a new-window
// address on: what 1251 lacks becomes "?" or its best fit.
std::wstring ThroughCodePage(const std::wstring& text) { return Widen(Narrow(text, CP_ACP), CP_ACP); }

bool StartsWith(const std::wstring& text, const std::wstring& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// ---- What a search may send the browser --------------------------------------

constexpr size_t kMaxUnits = 255;
const std::wstring kEnginePrefix = L"https://www.google.com/search?client=IE&rls=ru&q=";
const std::wstring kForumSearchPrefix = L"https://www.radiokot.ru/forum/search.php?keywords=";
const std::wstring kRestriction = L"+site:";
constexpr int kSiteCount = static_cast<int>(std::size(app::kSites));

std::wstring Site(int index) { return Widen(app::kSites[index], CP_ACP); }

// The address for the forum at `index` and the keywords as the program reads
// the box: prefix, as many whole keyword pieces as leave room for the
// restriction within 255 units (ASCII as itself but four characters as
// escapes, every other character as the escapes of its UTF-8 bytes; none is
// ever cut), then the restriction; the forum searched on its own page trims
// the spaces around the keywords and has no restriction. The placeholder is
// no keyword.
std::wstring ExpectedSearch(int index, std::wstring keywords) {
    if (keywords == Widen(app::kPlaceholder, CP_ACP)) keywords.clear();
    bool ownPage = index == app::kForumSearchIndex;
    if (ownPage) keywords = TrimSpaces(keywords);
    std::wstring address = ownPage ? kForumSearchPrefix : kEnginePrefix;
    std::wstring restriction = ownPage ? L"" : kRestriction + Site(index);
    size_t end = kMaxUnits - restriction.size();
    // Every character takes a unit at least: no more than these can fit.
    for (const std::wstring& piece : KeywordPieces(keywords.substr(0, kMaxUnits))) {
        if (address.size() + piece.size() > end) break;
        address += piece;
    }
    return address + restriction;
}

// The form as the program reads it.
struct FormState {
    int selection = 0;
    std::wstring keywords;
};

// Why `address` is not a search the form could have asked for, before or
// after the action; empty when it is one.
std::string SearchFault(const std::wstring& address, const FormState& before, const FormState& after) {
    if (address.size() > kMaxUnits) {
        return "longer than 255 units (" + std::to_string(address.size()) + ")";
    }
    if (!IsAscii(address)) return "holds characters outside ASCII";
    int forum = -1;
    if (StartsWith(address, kForumSearchPrefix)) {
        forum = app::kForumSearchIndex;
    } else if (StartsWith(address, kEnginePrefix)) {
        for (int index = 0; index < kSiteCount; ++index) {
            if (index != app::kForumSearchIndex && EndsWith(address, kRestriction + Site(index))) {
                forum = index;
            }
        }
        if (forum < 0) {
            return "a search engine query without \"+site:\" and a whole forum address at its end";
        }
    } else {
        return "starts with neither the search engine's nor the forum's search prefix";
    }
    for (const FormState* state : {&before, &after}) {
        if (state->selection == forum && ExpectedSearch(forum, state->keywords) == address) return "";
    }
    std::string fault = "not the search for the form: the site list selects " +
                        std::to_string(after.selection) + ", the keyword box holds " +
                        Quote(after.keywords) + ", which asks for " +
                        Quote(ExpectedSearch(after.selection, after.keywords));
    if (before.selection != after.selection || before.keywords != after.keywords) {
        fault += " (before the action: " + std::to_string(before.selection) + ", " +
                 Quote(before.keywords) + ")";
    }
    return fault;
}

// ---- xdotool -------------------------------------------------------------------

// Runs xdotool commands through one bash started once. Every Unix program a
// Windows process starts costs Wine more than the one before (16 ms a start
// at first, 30 ms after 9,000 here) and after about 10,000 it starts none
// (ERROR_BAD_EXE_FORMAT): fewer than a long run needs. The commands go
// through a file, one line each, "NUMBER ARGUMENTS"; the shell writes the
// number of the last command it has run into another. (Written from Wine, a
// FIFO never reached the shell, and a Windows pipe given as its standard
// input arrived closed.)
class XdotoolShell {
public:
    XdotoolShell() = default;
    XdotoolShell(const XdotoolShell&) = delete;
    XdotoolShell& operator=(const XdotoolShell&) = delete;
    ~XdotoolShell() { Stop(); }

    bool Start() {
        folder_ = "/tmp/zudizazuz-xdotool-" + std::to_string(std::hash<std::string>{}(Env("WINEPREFIX"))) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(GetTickCount());
        if (!CreateDirectoryA(WindowsPath(folder_).c_str(), nullptr)) return false;
        {
            // Reads a line at a time; at the end of the file it naps 2 ms
            // (a read with a timeout on a FIFO nobody writes: no process
            // started for it) and gives up after about two minutes without
            // a command, should the test have gone.
            std::ofstream script(WindowsPath(folder_ + "/run.sh"), std::ios::binary);
            script << "folder=\"$1\"\n"
                      "mkfifo \"$folder/nap\" || exit 1\n"
                      "exec 3<\"$folder/commands\" 4<>\"$folder/nap\"\n"
                      "echo 0 > \"$folder/done\"\n"
                      "partial=\n"
                      "idle=0\n"
                      "while [ $idle -lt 60000 ]; do\n"
                      "    if IFS= read -r -u 3 line; then\n"
                      "        line=\"$partial$line\"\n"
                      "        partial=\n"
                      "        idle=0\n"
                      "        [ \"$line\" = exit ] && break\n"
                      "        eval \"/usr/bin/xdotool ${line#* }\" >/dev/null 2>&1\n"
                      "        echo \"${line%% *}\" > \"$folder/done\"\n"
                      "    else\n"
                      "        partial=\"$partial$line\"\n"
                      "        read -r -t 0.002 -u 4 nothing\n"
                      "        idle=$((idle + 1))\n"
                      "    fi\n"
                      "done\n"
                      "rm -rf \"$folder\"\n";
        }
        commands_ = CreateFileA(WindowsPath(folder_ + "/commands").c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (commands_ == INVALID_HANDLE_VALUE) return false;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::string line = "/bin/bash " + folder_ + "/run.sh " + folder_;
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
            return false;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return WaitForDone(0, 15000);
    }

    // Runs `xdotool ARGUMENTS` (a shell command line: single quotes hold
    // text) and waits, up to the deadline, until it has finished.
    bool Run(const std::string& arguments, int timeoutMs = 15000) {
        if (commands_ == INVALID_HANDLE_VALUE) return false;
        std::string line = std::to_string(++number_) + " " + arguments + "\n";
        DWORD written = 0;
        if (!WriteFile(commands_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
            written != line.size()) {
            return false;
        }
        return WaitForDone(number_, timeoutMs);
    }

    void Stop() {
        if (commands_ == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        WriteFile(commands_, "exit\n", 5, &written, nullptr);
        CloseHandle(commands_);
        commands_ = INVALID_HANDLE_VALUE;
    }

private:
    bool WaitForDone(long number, int timeoutMs) {
        std::string path = WindowsPath(folder_ + "/done");
        DWORD start = GetTickCount();
        for (;;) {
            char text[32] = {};
            HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                DWORD read = 0;
                ReadFile(file, text, sizeof text - 1, &read, nullptr);
                CloseHandle(file);
                // The shell rewrites the file: an empty or partial number is not yet the one.
                if (read > 0 && text[read - 1] == '\n' && std::atol(text) == number) return true;
            }
            if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
            Sleep(1);
        }
    }

    std::string folder_;
    HANDLE commands_ = INVALID_HANDLE_VALUE;
    long number_ = 0;
};

// ---- The program, as the test reaches it ----------------------------------------

std::string At(POINT point) { return std::to_string(point.x) + " " + std::to_string(point.y); }

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// Where the keyboard focus is.
enum Place {
    kMainWindow,
    kKeywordBox,
    kSiteList,
    kSiteListDropped,
    kOkButton,
    kBrowserArea,
    kNowhere,
    kElsewhere,
    kPlaces
};
const char* const kPlaceNames[kPlaces] = {"main window", "keyword box",  "site list", "site list, dropped",
                                          "OK button",   "browser area", "nothing",   "elsewhere"};

// The four shortcuts and what each asks of the browser.
enum Shortcut { kEnter, kF5, kAltLeft, kAltRight, kShortcuts };
// After an Alt shortcut, Escape leaves Wine's menu mode.
const char* const kShortcutKeys[kShortcuts] = {"Return", "F5", "alt+Left Escape", "alt+Right Escape"};
const char* const kShortcutNames[kShortcuts] = {"Enter", "F5", "Alt+Left", "Alt+Right"};

// ---- Random input ------------------------------------------------------------------

enum Kind {
    kClickForm,
    kPickSite,
    kClickBrowser,
    kClickFrame,
    kDragFrame,
    kShortcutKey,
    kOtherKey,
    kTyping,
    kPasting,
    kResize,
    kMove,
    kMinimiseRestore,
    kNewWindow,
    kPageFocus,
    kKinds
};
struct KindInfo {
    const char* name;
    int weight;
};
const KindInfo kKindInfo[kKinds] = {
    {"click on the form", 12},
    {"pick from the drop-down list", 6},
    {"click in the browser area", 8},
    {"click on the frame or caption", 5},
    {"drag on the frame or caption", 3},
    {"shortcut key", 18},
    {"other key", 10},
    {"typing", 8},
    {"pasting", 8},
    {"resize", 6},
    {"move", 4},
    {"minimise or maximise, and restore", 2},
    {"new-window event", 10},
    {"the page's focus moves", 4},
};

Kind PickKind(Choices& choices) {
    int total = 0;
    for (const KindInfo& info : kKindInfo) total += info.weight;
    int at = choices.Between(0, total - 1);
    for (int kind = 0; kind < kKinds; ++kind) {
        at -= kKindInfo[kind].weight;
        if (at < 0) return static_cast<Kind>(kind);
    }
    return kShortcutKey;
}

// Safe for xdotool type inside the shell's single quotes.
const char kTypable[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 %&#+-_.,:;!?()[]{}=@*/~^<>|";

const wchar_t* const kCyrillic[] = {L"привет", L"мир",   L"поиск", L"форум", L"ёжик",   L"Ёлка",
                                    L"ЩУКА",   L"съешь", L"кот",   L"Радио", L"ЪЫЬЭЮЯ", L"ґїЎ"};
const wchar_t* const kLatin[] = {L"abc", L"C++",   L"100%", L"a&b", L"#1",
                                 L"x+y", L"forum", L"?q=1", L"a/b", L"\t"};
// Outside code page 1251: CJK, a surrogate pair, Greek, Latin letters with
// and without a best fit, symbols, right-to-left scripts, a combining accent.
const wchar_t* const kOutside[] = {L"中文", L"漢字", L"日本語", L"\U0001F600", L"Ωμέγα",   L"é",
                                   L"ñ",    L"ß",    L"č",      L"ł",          L"→",       L"∑",
                                   L"Ａ",   L"ﬁ",    L"مرحبا",  L"שלום",       L"e\u0301", L"ǅ"};
const wchar_t* const kSeparators[] = {L" ", L"", L"  ", L"+", L"%", L"&", L"#"};

std::wstring RandomWords(Choices& choices, size_t length) {
    std::wstring text;
    while (text.size() < length) {
        switch (choices.Below(3)) {
            case 0: text += choices.Pick(kCyrillic); break;
            case 1: text += choices.Pick(kLatin); break;
            default: text += choices.Pick(kOutside); break;
        }
        text += choices.Pick(kSeparators);
    }
    return text;
}

// Pasted text: mostly a few words, now and then a few thousand characters.
std::wstring RandomPaste(Choices& choices) {
    if (choices.Percent(5)) return RandomWords(choices, static_cast<size_t>(choices.Between(200, 3000)));
    return RandomWords(choices, static_cast<size_t>(choices.Between(1, 40)));
}

const wchar_t* const kAddressStarts[] = {L"http://127.0.0.1/",
                                         L"http://127.0.0.1:8080/page?a=1&b=",
                                         L"https://www.radiokot.ru/forum/viewtopic.php?t=",
                                         L"https://forum.ixbt.com/topic.cgi?id=",
                                         L"HtTpS://forum.ru-board.com/",
                                         L"HTTP://127.0.0.1/",
                                         L"about:blank",
                                         L"https://www.google.com/search?client=IE&rls=ru&q=",
                                         L"file:///C:/",
                                         L"",
                                         L"javascript:void(0)",
                                         L"vbscript:",
                                         L"ms-settings:",
                                         L" http://127.0.0.1/",
                                         L"\uFF48ttp://127.0.0.1/",  // a fullwidth h: what code page 1251 makes of it decides
                                         L"http://127.0.0.1/страница/"};

// The flags a new-window event comes with (NWMF_*): from the user's click or
// key, or from a page on its own.
const DWORD kNewWindowFlags[] = {0,     0x1,   0x2,   0x4,  0x6,     0x7,   0x8,
                                 0x20,  0x80,  0x100, 0x16, 0x10006, 0x42, 0x10000};

// Whether the program opens a new-window address (as it narrows it) that
// came with `flags`: a web address, from the user's own click or key, never
// one a page asks for as it unloads (0x1), whatever else the flags say.
bool Opens(const std::wstring& narrowed, DWORD flags) {
    bool user = !(flags & 0x1) && ((flags & 0x6) == 0x6 || (flags & (0x8 | 0x80 | 0x100)) != 0);
    std::wstring lower;
    for (wchar_t unit : narrowed.substr(0, 6)) lower += unit >= L'A' && unit <= L'Z' ? unit + 32 : unit;
    bool web = StartsWith(lower, L"http:") || StartsWith(lower, L"https:");
    return user && web;
}
const wchar_t* const kAddressPieces[] = {L"a", L"/", L"?",          L"=",    L"&", L"%D0%BF", L"#top",
                                         L"+", L"~", L"index.html", L"тема", L"ё", L" ",      L"\t"};

// A new-window address: none, or up to 400 units of addresses' usual
// characters, Cyrillic, text outside the code page, now and then a lone
// surrogate. Never a line break (the stand-in logs one line a call) nor a
// zero (it ends a BSTR).
std::wstring RandomAddress(Choices& choices) {
    if (choices.Percent(2)) return L"";
    std::wstring address = choices.Pick(kAddressStarts);
    size_t length = choices.Percent(10) ? static_cast<size_t>(choices.Between(200, 400))
                                        : static_cast<size_t>(choices.Between(0, 120));
    while (address.size() < length) {
        switch (choices.Below(6)) {
            case 0: address += choices.Pick(kCyrillic); break;
            case 1: address += choices.Pick(kOutside); break;
            case 2: address += static_cast<wchar_t>(choices.Percent(50) ? 0xD83D : 0xDE00); break;
            default: address += choices.Pick(kAddressPieces); break;
        }
        if (choices.Percent(98) && address.size() > 0 && address.back() >= 0xD800 &&
            address.back() <= 0xDFFF &&
            (address.size() < 2 || !IS_HIGH_SURROGATE(address[address.size() - 2]))) {
            // Most lone surrogates are taken back: they are rare in real addresses.
            address.pop_back();
        }
    }
    if (address.size() > 400) address.resize(400);
    if (!address.empty() && IS_HIGH_SURROGATE(address.back())) address.pop_back();
    return address;
}

// What one action may cause, and what it did.
struct Step {
    Kind kind = kClickForm;
    std::string description;
    bool skipped = false;   // nowhere to do it (hidden, off the screen)
    bool usesX = false;     // input through the X server, taken by the program in its own time
    bool geometry = false;  // the window's size may have changed
    size_t searchesLow = 0, searchesHigh = 0;
    size_t refreshes = 0, backs = 0, forwards = 0;
    std::optional<Shortcut> shortcut;
    Place focus = kNowhere;  // where the focus was when the action began
    // The action's last xdotool command, run with the F5 that ends the action
    // chained to it unless something must happen in between.
    std::string x;
    bool chainSync = true;
    std::function<void()> after;  // checks once the program has taken the action
};

// Ends the X input of every action; xdotool's default delays (100 ms after a
// click, 12 ms between keys) only cost time here.
constexpr const char* kSyncKey = "key --delay 1 F5";

struct Counts {
    size_t searches = 0, newWindows = 0, refreshes = 0, backs = 0, forwards = 0;
};

class RandomRun {
public:
    RandomRun(RunningProgram& program, Settings settings, XdotoolShell& xdotool)
        : program_(program),
          settings_(settings),
          xdotool_(xdotool),
          screen_{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
          index_(settings.first - 1) {}

    // Waits for the start-up banner and reads the form.
    bool Begin() {
        bool banner = Poll([&] { return bannerSeen_; }, 15000);
        if (!banner) Fail("the start-up banner was never written");
        form_ = ReadForm();
        home_ = WindowRect(program_.window);
        started_ = GetTickCount();
        return banner;
    }

    void Act(int index) {
        index_ = index;
        Choices choices(settings_.seed, static_cast<uint32_t>(index));
        Step step;
        step.kind = PickKind(choices);
        step.focus = Focus();
        ++actionsByPlace_[step.focus];
        droppedBefore_ = step.focus == kSiteListDropped;
        FormState before = form_;
        Counts base = seen_;
        Counts expectedBase = expected_;
        bool pressed = false;  // a left press reached the program's own windows

        switch (step.kind) {
            case kClickForm: pressed = ClickForm(choices, step); break;
            case kPickSite: PickSite(choices, step); break;
            case kClickBrowser: pressed = ClickBrowser(choices, step); break;
            case kClickFrame: ClickFrame(choices, step, false); break;
            case kDragFrame: ClickFrame(choices, step, true); break;
            case kShortcutKey: pressed = PressShortcut(choices, step); break;
            case kOtherKey: pressed = PressOtherKey(choices, step); break;
            case kTyping: pressed = Type(choices, step); break;
            case kPasting: pressed = Paste(choices, step); break;
            case kResize: Resize(choices, step); break;
            case kMove: Move(choices, step); break;
            case kMinimiseRestore: MinimiseAndRestore(choices, step); break;
            case kNewWindow: FireNewWindow(choices, step); break;
            case kPageFocus: MovePageFocus(choices, step); break;
            default: break;
        }
        ++(step.skipped ? skipped_ : done_)[step.kind];
        trail_.push_back("#" + std::to_string(index) + " " + kKindInfo[step.kind].name + ": " +
                         step.description + " [focus: " + kPlaceNames[step.focus] + "]");
        if (trail_.size() > 15) trail_.pop_front();
        if (Failed()) {
            Alive();
            return;
        }

        // The program takes X input in order: once the F5 that ends the
        // action's X input has its Refresh logged, everything the action
        // caused is logged before it. The F5 rides on the action's own
        // xdotool command where nothing has to happen in between.
        bool synced = false;
        if (!step.x.empty()) {
            synced = step.chainSync;
            if (!Xdotool(step.x + (synced ? std::string(" ") + kSyncKey : ""))) {
                return Fail("xdotool did not finish: " + step.x);
            }
        }
        if (IsIconic(program_.window)) Restore(step);
        if (step.usesX && !synced) {
            if (!Xdotool(kSyncKey)) return Fail("xdotool did not finish pressing F5");
            synced = true;
        }
        if (synced) {
            ++step.refreshes;
            ++syncs_;
        }
        expected_.refreshes += step.refreshes;
        expected_.backs += step.backs;
        expected_.forwards += step.forwards;
        bool arrived = Poll([&] {
            return seen_.refreshes >= expected_.refreshes && seen_.backs >= expected_.backs &&
                   seen_.forwards >= expected_.forwards &&
                   seen_.searches - base.searches >= step.searchesLow && firesPending_.empty();
        });
        ReadNewLines();
        if (Failed()) return;
        if (!Alive()) return;
        if (!arrived || seen_.refreshes != expected_.refreshes || seen_.backs != expected_.backs ||
            seen_.forwards != expected_.forwards || seen_.searches - base.searches > step.searchesHigh) {
            return Fail(Mismatch(step, base, expectedBase));
        }
        if (!program_.Answers()) return Fail("the program stopped answering (WM_NULL, 5 s)");

        form_ = ReadForm();
        for (const std::wstring& address : searches_) {
            std::string fault = SearchFault(address, before, form_);
            if (!fault.empty()) return Fail("the search address " + Quote(address) + " is " + fault);
            ++searchesChecked_;
        }
        searches_.clear();
        // A left press anywhere in the window clears the placeholder, unless
        // the press only closed the drop-down list.
        if (pressed && form_.keywords == Widen(app::kPlaceholder, CP_ACP)) {
            return Fail("a left press in the window left the placeholder in the keyword box");
        }
        if (step.geometry && !IsIconic(program_.window) && !WaitForWebGadgetToFollow()) {
            return Fail("the web gadget did not follow the window's size: " + Geometry());
        }
        if (step.after) step.after();
        if (Failed()) return;
        if (step.shortcut) ++shortcutsByPlace_[step.focus][*step.shortcut];
        // Samples by the actions this program has taken, from the shard's first.
        int taken = index - settings_.first;
        if ((taken + 1) % kSampleEvery == 0) Sample(index);
        bool last = index + 1 == settings_.end;
        if (taken == kWarmUpActions - 1 ||
            (taken >= kWarmUpActions && ((taken + 1) % kHomeSampleEvery == 0 || last))) {
            SampleAtHome(index);
        }
    }

    bool Failed() const { return !failure_.empty(); }

    // The failure with the seed, the action and the actions before it.
    std::string Report() const {
        std::string text = failure_ + "\nseed " + std::to_string(settings_.seed) + ", action " +
                           std::to_string(index_) + " of " + std::to_string(settings_.actions) +
                           (settings_.shard.empty() ? "" : " (shard " + settings_.shard + ")") +
                           "; replay with: bash scripts/random-input.sh " +
                           std::to_string(settings_.actions) + " " + std::to_string(settings_.seed) +
                           "\nthe last actions:";
        for (const std::string& line : trail_) text += "\n  " + line;
        return text;
    }

    // Growth of the working set from the end of the warm-up to the end, both
    // read with the window at its starting place and size; none when the run
    // was too short to have a warm-up. The end is the lowest of the last
    // three samples (about the last 1,000 actions): now and then a sample
    // stands some MiB above its neighbours, memory that the program held
    // for a while (a window larger than the screen not all given back yet, a
    // keyword box full of pasted text) and gave back later, while a leak
    // raises every later sample.
    std::optional<long long> Growth() const {
        if (homeSamples_.size() < 2) return std::nullopt;
        size_t end = homeSamples_.back().bytes;
        for (size_t i = homeSamples_.size() - 1; i >= 1 && i + 3 >= homeSamples_.size(); --i) {
            end = std::min(end, homeSamples_[i].bytes);
        }
        return static_cast<long long>(end) - static_cast<long long>(homeSamples_.front().bytes);
    }

    void PrintFigures(int exitStatus) const {
        DWORD elapsed = GetTickCount() - started_;
        int actions = index_ + 1 - settings_.first;
        std::printf("\n==== random input: seed %u, %d actions", settings_.seed, actions);
        if (!settings_.shard.empty()) {
            std::printf(" (%d to %d of %d: shard %s)", settings_.first, index_, settings_.actions,
                        settings_.shard.c_str());
        }
        std::printf(" (ZUDIZAZUZ_RANDOM_SEED, ZUDIZAZUZ_RANDOM_ACTIONS, ZUDIZAZUZ_RANDOM_SHARD)\n");
        std::printf("time: %.1f s, %.1f ms an action\n", elapsed / 1000.0,
                    actions > 0 ? static_cast<double>(elapsed) / actions : 0.0);
        std::printf("actions by kind (done / skipped: nowhere to do it):\n");
        for (int kind = 0; kind < kKinds; ++kind) {
            std::printf("  %-36s %6zu / %zu\n", kKindInfo[kind].name, done_[kind], skipped_[kind]);
        }
        std::printf("the focus when an action began, and the shortcuts pressed there:\n  %-20s%10s", "",
                    "actions");
        for (const char* name : kShortcutNames) std::printf("%10s", name);
        std::printf("\n");
        for (int place = 0; place < kPlaces; ++place) {
            std::printf("  %-20s%10zu", kPlaceNames[place], actionsByPlace_[place]);
            for (int key = 0; key < kShortcuts; ++key) std::printf("%10zu", shortcutsByPlace_[place][key]);
            std::printf("\n");
        }
        std::printf("searches checked: %zu; typed or pasted texts found whole in the keyword box: %zu\n",
                    searchesChecked_, enteredTextsChecked_);
        std::printf("Enter on what the page has focused, which searches nothing: %zu\n", pageEnters_);
        std::printf(
            "new-window navigations checked: %zu (longer than 255 units: %zu; changed by code page 1251: "
            "%zu); new-window events that opened nothing (not a web address, or not the user's): %zu\n",
            seen_.newWindows, longNewWindows_, narrowedNewWindows_, heldBackNewWindows_);
        std::printf("refreshes %zu (%zu of them the F5 that ends each X action), back %zu, forward %zu\n",
                    seen_.refreshes, syncs_, seen_.backs, seen_.forwards);
        std::printf("crashes: %d, exit status after the close request: %d\n", crashed_ ? 1 : 0, exitStatus);
        if (!homeSamples_.empty()) {
            std::printf(
                "working set with the window at its starting size: first %.2f MiB (after action %d),"
                " last %.2f MiB (after action %d)\n  every sample (after action: MiB, time into the run):",
                Mib(homeSamples_.front().bytes), homeSamples_.front().index + 1,
                Mib(homeSamples_.back().bytes), homeSamples_.back().index + 1);
            for (const HomeSample& sample : homeSamples_) {
                std::printf(" %d: %.2f (%lu s)", sample.index + 1, Mib(sample.bytes), sample.ms / 1000);
            }
            std::printf("\n");
        }
        if (!samples_.empty()) {
            auto [low, high] =
                std::minmax_element(samples_.begin(), samples_.end(),
                                    [](const auto& a, const auto& b) { return a.second < b.second; });
            std::printf(
                "working set every %d actions, at whatever size the window had: lowest %.2f MiB,"
                " highest %.2f MiB, %zu samples\n",
                kSampleEvery, Mib(low->second), Mib(high->second), samples_.size());
        }
        std::fflush(stdout);
    }

private:
    bool Xdotool(const std::string& arguments) { return xdotool_.Run(arguments); }

    static double Mib(size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

    void Fail(const std::string& what) {
        if (failure_.empty()) failure_ = what;
    }

    bool Alive() {
        if (WaitForSingleObject(program_.process.hProcess, 0) != WAIT_OBJECT_0) return true;
        DWORD code = 0;
        GetExitCodeProcess(program_.process.hProcess, &code);
        crashed_ = true;
        std::string earlier = failure_.empty() ? "" : " (first noticed as: " + failure_ + ")";
        failure_ = "the program ended, status " + std::to_string(code) + " (0x" + Hex(code) + ")" + earlier;
        return false;
    }

    static std::string Hex(DWORD value) {
        char text[16];
        std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(value));
        return text;
    }

    // Polls every 5 ms, reading the log as it grows, until `done` holds, the
    // deadline passes or the program ends.
    bool Poll(const std::function<bool()>& done, int timeoutMs = 10000) {
        DWORD start = GetTickCount();
        for (;;) {
            ReadNewLines();
            if (done()) return true;
            if (WaitForSingleObject(program_.process.hProcess, 0) == WAIT_OBJECT_0) return false;
            if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
            Sleep(5);
        }
    }

    // ---- The log ----

    void ReadNewLines() {
        std::ifstream file(program_.logPath, std::ios::binary);
        if (!file) return;
        file.seekg(static_cast<std::streamoff>(logOffset_));
        std::string more((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        logOffset_ += more.size();
        partial_ += more;
        for (size_t end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
            Take(partial_.substr(0, end));
            partial_.erase(0, end + 1);
        }
    }

    static bool Begins(const std::string& line, const std::string& start) {
        return line.compare(0, start.size(), start) == 0;
    }

    void Take(const std::string& line) {
        if (!bannerSeen_) {
            // Start-up: the host, the sink, the banner once the browser is idle.
            bannerSeen_ = Begins(line, "put_innerHTML ");
            return;
        }
        if (newWindowNavigation_) {
            std::wstring expected = *newWindowNavigation_;
            newWindowNavigation_.reset();
            if (line != "Navigate " + Utf8(expected)) {
                return Fail("the new-window address " + Quote(lastFired_) + " should open as " +
                            Quote(expected) + "; the browser was asked for: " + line);
            }
            ++seen_.newWindows;
            if (expected.size() > kMaxUnits) ++longNewWindows_;
            if (expected != lastFired_) ++narrowedNewWindows_;
            return;
        }
        if (Begins(line, "FireNewWindow3")) {
            if (firesPending_.empty()) return Fail("a new-window event nobody fired: " + line);
            lastFired_ = firesPending_.front().address;
            DWORD flags = firesPending_.front().flags;
            firesPending_.pop_front();
            char logged[32];
            std::snprintf(logged, sizeof logged, "FireNewWindow3 0x%08lX ", static_cast<unsigned long>(flags));
            std::string fired = logged + Utf8(lastFired_);
            if (line != fired && !(lastFired_.empty() && line + " " == fired)) {
                return Fail("the stand-in fired " + line + " for " + Quote(lastFired_));
            }
            // Only a web address, as the program narrows it, that the user
            // asked for opens; anything else opens nothing.
            std::wstring opens = ThroughCodePage(lastFired_);
            if (Opens(opens, flags)) {
                newWindowNavigation_ = opens;
            } else {
                ++heldBackNewWindows_;
            }
            return;
        }
        if (line == "Refresh") {
            ++seen_.refreshes;
        } else if (line == "GoBack") {
            ++seen_.backs;
        } else if (line == "GoForward") {
            ++seen_.forwards;
        } else if (Begins(line, "Navigate ")) {
            ++seen_.searches;
            searches_.push_back(Widen(line.substr(9), CP_UTF8));
        } else if (line != "get_Busy" && line != "get_Document" && line != "get_body" &&
                   !Begins(line, "put_innerHTML ") && !Begins(line, "get_activeElement") &&
                   line != "get_documentElement" && line != "get_contentWindow" &&
                   !Begins(line, "frame ") && !Begins(line, "page WM_") &&
                   !(Begins(line, "TranslateAccelerator ") && line.find("taken") == std::string::npos)) {
            // Keys are offered to the control, which takes none here, and
            // reach the page; Enter asks which element the page's focus is on.
            Fail("the browser was asked something no action causes: " + line);
        }
    }

    // Says which calls differ; `base` and `expectedBase` are the counts seen
    // and expected before the action.
    std::string Mismatch(const Step& step, const Counts& base, const Counts& expectedBase) const {
        auto range = [](size_t low, size_t high) {
            return low == high ? std::to_string(low) : std::to_string(low) + " to " + std::to_string(high);
        };
        return "the browser calls the action caused differ from those expected (seen / expected): "
               "searches " +
               std::to_string(seen_.searches - base.searches) + " / " +
               range(step.searchesLow, step.searchesHigh) + ", Refresh " +
               std::to_string(seen_.refreshes - base.refreshes) + " / " +
               std::to_string(expected_.refreshes - expectedBase.refreshes) + ", GoBack " +
               std::to_string(seen_.backs - base.backs) + " / " +
               std::to_string(expected_.backs - expectedBase.backs) + ", GoForward " +
               std::to_string(seen_.forwards - base.forwards) + " / " +
               std::to_string(expected_.forwards - expectedBase.forwards) +
               (firesPending_.empty() ? "" : ", a new-window event not yet logged") +
               "; the focus is now in " + kPlaceNames[Focus()];
    }

    // ---- The program's state ----

    FormState ReadForm() const {
        FormState state;
        state.selection = static_cast<int>(Ask(program_.Gadget(app::kSiteList), CB_GETCURSEL));
        state.keywords = Widen(program_.Text(app::kKeywordBox), CP_ACP);
        return state;
    }

    Place Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(program_.process.dwThreadId, &info);
        HWND focus = info.hwndFocus;
        if (focus == nullptr) return kNowhere;
        if (focus == program_.window) return kMainWindow;
        if (focus == program_.Gadget(app::kKeywordBox)) return kKeywordBox;
        if (focus == program_.Gadget(app::kSiteList)) {
            return DroppedList(program_) != nullptr ? kSiteListDropped : kSiteList;
        }
        if (focus == program_.Gadget(app::kOkButton)) return kOkButton;
        if (focus == program_.Gadget(app::kWebGadget)) return kBrowserArea;
        return kElsewhere;
    }

    RECT WebGadgetRect() const {
        RECT rect = WindowRect(program_.Gadget(app::kWebGadget));
        MapWindowPoints(nullptr, program_.window, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    std::string Geometry() const {
        SIZE outer = OuterSize(program_.window);
        RECT web = WebGadgetRect();
        return "window " + std::to_string(outer.cx) + " x " + std::to_string(outer.cy) +
               ", web gadget at (" + std::to_string(web.left) + ", " + std::to_string(web.top) + ") " +
               std::to_string(web.right - web.left) + " x " + std::to_string(web.bottom - web.top);
    }

    // The web gadget keeps its place and takes the window's outer size less
    // 35 by 100, where that leaves anything.
    bool WaitForWebGadgetToFollow() {
        return Poll(
            [&] {
                SIZE outer = OuterSize(program_.window);
                RECT web = WebGadgetRect();
                bool width = outer.cx <= 35 || web.right - web.left == outer.cx - 35;
                bool height = outer.cy <= 100 || web.bottom - web.top == outer.cy - 100;
                return web.left == 10 && web.top == 50 && width && height;
            },
            5000);
    }

    void Sample(int index) {
        size_t bytes = WorkingSetBytes(program_);
        if (bytes != 0) samples_.emplace_back(index, bytes);
    }

    // The working set with the window back at its starting place and size:
    // Wine keeps a surface as large as the window, so a window twice the
    // screen's size alone holds some 20 MiB more.
    void SampleAtHome(int index) {
        if (IsIconic(program_.window) || IsZoomed(program_.window)) ShowWindow(program_.window, SW_RESTORE);
        SetWindowPos(program_.window, nullptr, home_.left, home_.top, home_.right - home_.left,
                     home_.bottom - home_.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (!WaitForWebGadgetToFollow()) {
            return Fail("the web gadget did not follow the window's size: " + Geometry());
        }
        size_t bytes = WorkingSetBytes(program_);
        if (bytes == 0) return Fail("GetProcessMemoryInfo could not read the program's working set");
        homeSamples_.push_back(HomeSample{index, bytes, GetTickCount() - started_});
    }

    // ---- Pressing ----

    // A random point of `area` on the screen where `accept` holds; points
    // near the last press are passed over while a second press there would
    // make a double click.
    std::optional<POINT> PointIn(Choices& choices, RECT area, const std::function<bool(POINT)>& accept) {
        RECT visible{};
        if (!IntersectRect(&visible, &area, &screen_)) return std::nullopt;
        bool recent = GetTickCount() - lastPressTime_ < 800;
        for (int attempt = 0; attempt < 30; ++attempt) {
            POINT point{choices.Between(visible.left, visible.right - 1),
                        choices.Between(visible.top, visible.bottom - 1)};
            if (recent && std::abs(point.x - lastPress_.x) <= 5 && std::abs(point.y - lastPress_.y) <= 5) {
                continue;
            }
            if (accept(point)) return point;
        }
        return std::nullopt;
    }

    std::optional<POINT> PointOn(Choices& choices, HWND target) {
        return PointIn(choices, WindowRect(target),
                       [&](POINT point) { return WindowFromPoint(point) == target; });
    }

    // Whether a press at `point` goes to the client area of `target` (a
    // static control passes it through to the window's client area); the
    // web gadget's scroll bars and the keyword box's edge are no client area.
    static bool InClientArea(HWND target, POINT point) {
        LRESULT area = Ask(target, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
        return area == HTCLIENT || area == HTTRANSPARENT;
    }

    // Sets the action's last xdotool command: the pointer to `point`, then `then`.
    void Press(POINT point, const std::string& then, Step& step) {
        lastPress_ = point;
        lastPressTime_ = GetTickCount();
        step.usesX = true;
        step.x = "mousemove " + At(point) + " " + then;
    }

    // Presses at `point` at once and waits until the program has taken it.
    bool PressNow(POINT point, const std::string& then, Step& step) {
        lastPress_ = point;
        lastPressTime_ = GetTickCount();
        step.usesX = true;
        expected_.refreshes += 1;
        ++syncs_;
        if (!Xdotool("mousemove " + At(point) + " " + then + " " + kSyncKey)) {
            Fail("xdotool did not finish: mousemove " + At(point) + " " + then);
            return false;
        }
        if (!Poll([&] { return seen_.refreshes >= expected_.refreshes; })) {
            Fail("the F5 after mousemove " + At(point) + " " + then + " never reached the browser");
            return false;
        }
        return true;
    }

    static std::string Where(POINT point) { return "at (" + At(point) + ")"; }

    static const char* AreaName(LRESULT area) {
        switch (area) {
            case HTCAPTION: return "caption";
            case HTMINBUTTON: return "minimise button";
            case HTMAXBUTTON: return "maximise button";
            case HTLEFT: return "left border";
            case HTRIGHT: return "right border";
            case HTTOP: return "top border";
            case HTTOPLEFT: return "top-left corner";
            case HTTOPRIGHT: return "top-right corner";
            case HTBOTTOM: return "bottom border";
            case HTBOTTOMLEFT: return "bottom-left corner";
            case HTBOTTOMRIGHT: return "bottom-right corner";
            default: return "border";
        }
    }

    // ---- The actions ----

    // A click on one of the form's gadgets or on the window's background.
    bool ClickForm(Choices& choices, Step& step) {
        struct Target {
            int gadget;  // 0: the main window's own client area
            const char* name;
        };
        const Target targets[] = {{app::kSiteList, "the site list"},
                                  {app::kSiteLabel, "the label"},
                                  {app::kKeywordBox, "the keyword box"},
                                  {app::kOkButton, "the OK button"},
                                  {0, "the window's background"}};
        const Target& target = choices.Pick(targets);
        HWND window = target.gadget != 0 ? program_.Gadget(target.gadget) : program_.window;
        std::optional<POINT> point;
        if (target.gadget != 0) {
            point = PointOn(choices, window);
        } else {
            point = PointIn(choices, WindowRect(window), [&](POINT at) {
                return WindowFromPoint(at) == window &&
                       Ask(window, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)) == HTCLIENT;
            });
        }
        step.description = std::string("left click on ") + target.name;
        if (!point) {
            step.skipped = true;
            step.description += ": not on the screen";
            return false;
        }
        bool client = InClientArea(window, *point);
        step.description += " " + Where(*point) + (client ? "" : ", outside its client area");
        if (target.gadget == app::kOkButton && client) {
            step.searchesLow = droppedBefore_ ? 0 : 1;
            step.searchesHigh = 1;
        }
        Press(*point, "click --delay 1 1", step);
        // A press that only closes the drop-down list goes no further.
        return client && !droppedBefore_;
    }

    // Drops the site list down if it is not, then clicks one of its items,
    // or closes it with Escape; the site list then selects that item, or
    // keeps its selection.
    void PickSite(Choices& choices, Step& step) {
        HWND siteList = program_.Gadget(app::kSiteList);
        int selected = static_cast<int>(Ask(siteList, CB_GETCURSEL));
        HWND list = DroppedList(program_);
        step.description = "the site list";
        if (list == nullptr) {
            std::optional<POINT> point = PointOn(choices, siteList);
            if (!point) {
                step.skipped = true;
                step.description += ": not on the screen";
                return;
            }
            step.description += ", clicked open " + Where(*point);
            if (!PressNow(*point, "click --delay 1 1", step)) return;
            if (!Poll([&] { return (list = DroppedList(program_)) != nullptr; }, 5000)) {
                return Fail("a click on the site list did not drop it down");
            }
        }
        auto item = static_cast<int>(choices.Below(kSiteCount));
        auto height = static_cast<int>(Ask(list, LB_GETITEMHEIGHT));
        auto top = static_cast<int>(Ask(list, LB_GETTOPINDEX));
        RECT client{};
        GetClientRect(list, &client);
        POINT point{choices.Between(2, std::max(2, static_cast<int>(client.right) - 3)),
                    (item - top) * height + height / 2};
        ClientToScreen(list, &point);
        RECT listRect = WindowRect(list);
        bool reachable = height > 0 && PtInRect(&listRect, point) && PtInRect(&screen_, point) &&
                         WindowFromPoint(point) == list;
        if (choices.Percent(20) || !reachable) {
            step.description +=
                reachable ? ", closed with Escape"
                          : ", item " + std::to_string(item) + " out of reach, closed with Escape";
            step.usesX = true;
            step.x = "key --delay 1 Escape";
            step.after = [this, siteList, selected] {
                if (DroppedList(program_) != nullptr) return Fail("Escape left the drop-down list open");
                auto now = static_cast<int>(Ask(siteList, CB_GETCURSEL));
                if (now != selected) {
                    Fail("Escape changed the site list's selection from " + std::to_string(selected) +
                         " to " + std::to_string(now));
                }
            };
            return;
        }
        step.description += ", item " + std::to_string(item) + " clicked " + Where(point);
        Press(point, "click --delay 1 1", step);
        step.after = [this, siteList, item] {
            if (DroppedList(program_) != nullptr) {
                return Fail("the drop-down list stayed open after a click on item " + std::to_string(item));
            }
            auto now = static_cast<int>(Ask(siteList, CB_GETCURSEL));
            if (now != item) {
                Fail("a click on item " + std::to_string(item) + " left the site list selecting " +
                     std::to_string(now));
            }
        };
    }

    // The page's focus moves to another element: a field a person types
    // into, a link, a button, a frame and what its own document has focused
    // (a field, its body, its HTML element, a frame of another origin that
    // refuses access), the body or the HTML element (in design mode or not),
    // none, or a page still loading without a body.
    void MovePageFocus(Choices& choices, Step& step) {
        struct Element {
            const wchar_t* steer[2];  // after "reset"
            bool focused;             // something in particular: Enter is the page's
        };
        const Element elements[] = {
            {{L"active INPUT text 0"}, true},
            {{L"active INPUT - 0"}, true},
            {{L"active TEXTAREA - 0"}, true},
            {{L"active DIV - 1"}, true},
            {{L"active BODY - 0"}, false},
            {{L"active A - 0"}, true},
            {{L"active INPUT submit 0"}, true},
            {{L"active IFRAME - 0"}, true},  // a field in the frame
            {{L"active BODY - 1"}, true},
            {{L"active HTML - 0"}, false},
            {{L"active INPUT text 0", L"document 0 0 0"}, false},  // no body yet
            {{L"active IFRAME - 0", L"frame 1 BODY - 0"}, false},
            {{L"active FRAME - 0", L"frame 1 HTML - 0"}, false},
            {{L"active IFRAME - 0", L"document 1 1 1"}, true},  // another origin
            {{L"active IFRAME - 0", L"frame 1 A - 0"}, true},
            {{L"active", nullptr}, false},
        };
        const Element& element = choices.Pick(elements);
        step.description = "the page's focus: reset";
        if (!SteerStandIn(program_, L"reset")) return Fail("the stand-in was not reset");
        for (const wchar_t* steer : element.steer) {
            if (steer == nullptr) continue;
            step.description += ", " + Utf8(steer);
            if (!SteerStandIn(program_, steer)) return Fail("the stand-in was not steered: " + Utf8(steer));
        }
        pageFocused_ = element.focused;
    }

    bool ClickBrowser(Choices& choices, Step& step) {
        HWND host = program_.Gadget(app::kWebGadget);
        bool right = choices.Percent(15);
        step.description = std::string(right ? "right" : "left") + " click in the browser area";
        std::optional<POINT> point = PointOn(choices, host);
        if (!point) {
            step.skipped = true;
            step.description += ": not on the screen";
            return false;
        }
        bool client = InClientArea(host, *point);
        step.description += " " + Where(*point) + (client ? "" : ", on a scroll bar");
        Press(*point, right ? "click --delay 1 3" : "click --delay 1 1", step);
        if (client && !droppedBefore_) {
            // Like the real control, the browser area takes the focus.
            step.after = [this] {
                if (Focus() != kBrowserArea) {
                    Fail(std::string("a click in the browser area left the focus in the ") +
                         kPlaceNames[Focus()] + "; " + Geometry());
                }
            };
        }
        return client && !right && !droppedBefore_;
    }

    // A click or a drag on the frame: the caption, a border or corner, the
    // minimise or maximise button; never the close button or the system menu.
    void ClickFrame(Choices& choices, Step& step, bool drag) {
        RECT outer = WindowRect(program_.window);
        LRESULT area = HTNOWHERE;
        std::optional<POINT> point = PointIn(choices, outer, [&](POINT at) {
            if (WindowFromPoint(at) != program_.window) return false;
            area = Ask(program_.window, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
            return area == HTCAPTION || area == HTMINBUTTON || area == HTMAXBUTTON ||
                   (area >= HTLEFT && area <= HTBOTTOMRIGHT) || area == HTBORDER;
        });
        step.description = drag ? "drag on the frame" : "click on the frame";
        if (!point) {
            step.skipped = true;
            step.description += ": not on the screen";
            return;
        }
        step.geometry = true;
        // The minimise button hides the window from the keyboard: it is
        // restored before the F5 that ends the action.
        step.chainSync = false;
        step.description += std::string(" (") + AreaName(area) + ") " + Where(*point);
        if (!drag) {
            Press(*point, "click --delay 1 1", step);
            return;
        }
        int dx = choices.Between(-300, 300);
        int dy = choices.Between(-300, 300);
        step.description += " by " + std::to_string(dx) + ", " + std::to_string(dy);
        Press(*point,
              "mousedown 1 mousemove_relative -- " + std::to_string(dx) + " " + std::to_string(dy) +
                  " mouseup 1",
              step);
    }

    // Puts the focus somewhere with a click first, as a person does before
    // pressing keys: into the keyword box when `box`, otherwise anywhere a
    // click puts it. Returns whether the press reached the client area.
    bool FocusFirst(Choices& choices, Step& step, bool box) {
        struct Target {
            int gadget;
            const char* name;
            const char* then;  // the site list drops down on a click; Escape closes it
        };
        const Target targets[] = {{app::kKeywordBox, "keyword box", "click --delay 1 1"},
                                  {app::kSiteList, "site list", "click --delay 1 1 key --delay 1 Escape"},
                                  {app::kSiteList, "site list", "click --delay 1 1"},
                                  {app::kOkButton, "OK button", "click --delay 1 1"},
                                  {app::kWebGadget, "browser area", "click --delay 1 1"}};
        const Target& target = box ? targets[0] : choices.Pick(targets);
        std::optional<POINT> point = PointOn(choices, program_.Gadget(target.gadget));
        if (!point) return false;
        step.description = std::string("focus first: ") + target.then + " on the " + target.name + " " +
                           Where(*point) + ", then ";
        bool client = InClientArea(program_.Gadget(target.gadget), *point);
        if (target.gadget == app::kOkButton && client) {
            step.searchesLow += droppedBefore_ ? 0 : 1;
            step.searchesHigh += 1;
        }
        bool pressed = client && !droppedBefore_;
        if (!PressNow(*point, target.then, step)) return false;
        step.focus = Focus();
        droppedBefore_ = step.focus == kSiteListDropped;
        return pressed;
    }

    // One of the four shortcuts, now and then after putting the focus
    // somewhere first.
    bool PressShortcut(Choices& choices, Step& step) {
        bool pressed = choices.Percent(30) && FocusFirst(choices, step, false);
        auto key = static_cast<Shortcut>(choices.Below(kShortcuts));
        step.shortcut = key;
        step.description += kShortcutNames[key];
        switch (key) {
            case kEnter:
                // Enter on what the page has focused is the page's.
                if (step.focus == kBrowserArea && pageFocused_) {
                    ++pageEnters_;
                } else {
                    ++step.searchesLow;
                    ++step.searchesHigh;
                }
                break;
            case kF5: ++step.refreshes; break;
            case kAltLeft: ++step.backs; break;
            case kAltRight: ++step.forwards; break;
            default: break;
        }
        step.usesX = true;
        step.x = std::string("key --delay 1 ") + kShortcutKeys[key];
        return pressed;
    }

    bool PressOtherKey(Choices& choices, Step& step) {
        bool pressed = choices.Percent(30) && FocusFirst(choices, step, false);
        const char* const keys[] = {"Tab",    "shift+Tab", "Escape",    "Up",     "Down",
                                    "Left",   "Right",     "Home",      "End",    "BackSpace",
                                    "Delete", "space",     "ctrl+a",    "Prior",  "Next",
                                    "F4",     "alt+Down",  "shift+End", "ctrl+x", "ctrl+z"};
        std::string key = choices.Pick(keys);
        step.description += "key " + key;
        // The space bar clicks a focused button.
        if (key == "space" && step.focus == kOkButton) {
            ++step.searchesLow;
            ++step.searchesHigh;
        }
        step.usesX = true;
        step.x = "key --delay 1 " + key;
        return pressed;
    }

    bool Type(Choices& choices, Step& step) {
        bool pressed = choices.Percent(50) && FocusFirst(choices, step, choices.Percent(80));
        std::string text;
        int length = choices.Between(1, 16);
        for (int i = 0; i < length; ++i) text += kTypable[choices.Below(sizeof kTypable - 1)];
        step.description += "type '" + text + "'";
        if (step.focus == kOkButton) {
            // Each space clicks the focused button.
            auto spaces = static_cast<size_t>(std::count(text.begin(), text.end(), ' '));
            step.searchesLow += spaces;
            step.searchesHigh += spaces;
        }
        step.usesX = true;
        // xdotool types every argument after "type": the F5 goes separately.
        // "--": text that starts with "-" is no option.
        step.x = "type --delay 12 -- '" + text + "'";
        step.chainSync = false;
        ExpectInTheBox(step, Widen(text, CP_ACP));
        return pressed;
    }

    // With the focus in the keyword box, typed or pasted text lands there
    // whole, as the code page holds it, unless the box is full (Wine's edit
    // box takes 30,000 characters from the keyboard).
    void ExpectInTheBox(Step& step, const std::wstring& text) {
        if (step.focus != kKeywordBox || form_.keywords.size() + text.size() > 30000) return;
        step.after = [this, text] {
            std::wstring held = ThroughCodePage(text);
            if (form_.keywords.find(held) == std::wstring::npos) {
                return Fail("the keyword box holds " + Quote(form_.keywords) +
                            ", without the text entered: " + Quote(held));
            }
            ++enteredTextsChecked_;
        };
    }

    bool Paste(Choices& choices, Step& step) {
        bool pressed = choices.Percent(50) && FocusFirst(choices, step, choices.Percent(80));
        std::wstring text = RandomPaste(choices);
        const char* key = choices.Percent(80) ? "ctrl+v" : "shift+Insert";
        step.description += std::string("paste with ") + key + " " + Quote(text);
        if (!SetClipboardText(text)) {
            Fail("the clipboard could not be set");
            return pressed;
        }
        step.usesX = true;
        step.x = std::string("key --delay 1 ") + key;
        ExpectInTheBox(step, text);
        return pressed;
    }

    // From tiny to larger than the screen.
    void Resize(Choices& choices, Step& step) {
        auto length = [&](int screen) {
            int draw = choices.Between(0, 99);
            if (draw < 10) return choices.Between(0, 60);
            if (draw < 25) return choices.Between(60, 400);
            if (draw < 85) return choices.Between(400, screen);
            return choices.Between(screen, 2 * screen);
        };
        int width = length(screen_.right);
        int height = length(screen_.bottom);
        step.description = "resize to " + std::to_string(width) + " x " + std::to_string(height);
        step.geometry = true;
        RECT rect = WindowRect(program_.window);
        POINT place = OnScreen(rect.left, rect.top, width, height);
        if (place.x != rect.left || place.y != rect.top) {
            step.description += " at (" + At(place) + ") to keep it on the screen";
        }
        SetWindowPos(program_.window, nullptr, place.x, place.y, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Mostly wholly on the screen, now and then partly off it.
    void Move(Choices& choices, Step& step) {
        SIZE outer = OuterSize(program_.window);
        int x = 0, y = 0;
        if (choices.Percent(85)) {
            x = choices.Between(
                0, std::max(0, static_cast<int>(screen_.right - std::min(outer.cx, screen_.right))));
            y = choices.Between(
                0, std::max(0, static_cast<int>(screen_.bottom - std::min(outer.cy, screen_.bottom))));
        } else {
            x = choices.Between(kOnScreen - static_cast<int>(outer.cx), screen_.right - kOnScreen);
            y = choices.Between(kOnScreen - static_cast<int>(outer.cy), screen_.bottom - kOnScreen);
        }
        step.description = "move to (" + std::to_string(x) + ", " + std::to_string(y) + ")";
        step.geometry = true;
        SetWindowPos(program_.window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Wine unmaps a window that lies wholly off the screen, X takes the
    // keyboard focus back to the root window and the window is deactivated:
    // no key would reach the program, as none would on Windows where the
    // window stays active. A strip of the window stays on the screen.
    static constexpr int kOnScreen = 40;
    POINT OnScreen(int x, int y, int width, int height) const {
        return POINT{std::clamp(x, kOnScreen - width, static_cast<int>(screen_.right) - kOnScreen),
                     std::clamp(y, kOnScreen - height, static_cast<int>(screen_.bottom) - kOnScreen)};
    }

    void MinimiseAndRestore(Choices& choices, Step& step) {
        bool minimise = choices.Percent(70);
        step.description = minimise ? "minimise" : "maximise";
        step.geometry = true;
        ShowWindow(program_.window, minimise ? SW_MINIMIZE : SW_MAXIMIZE);
        if (minimise && !Poll([&] { return IsIconic(program_.window) != 0; }, 5000)) {
            return Fail("ShowWindow(SW_MINIMIZE) left the window as it was");
        }
        if (!program_.Answers()) {
            return Fail("the program stopped answering while " + step.description + "d");
        }
        if (minimise && choices.Percent(50)) {
            step.description += ", a new-window event while minimised";
            FireNewWindow(choices, step);
        }
        step.description += ", then restore";
        Restore(step);
    }

    void Restore(Step& step) {
        ShowWindow(program_.window, SW_RESTORE);
        if (!Poll([&] { return IsIconic(program_.window) == 0; }, 5000)) {
            Fail("ShowWindow(SW_RESTORE) did not restore the window (" + step.description + ")");
        }
        step.geometry = true;
    }

    void FireNewWindow(Choices& choices, Step& step) {
        std::wstring address = RandomAddress(choices);
        DWORD flags = choices.Pick(kNewWindowFlags);
        char shown[24];
        std::snprintf(shown, sizeof shown, "flags 0x%lX ", static_cast<unsigned long>(flags));
        step.description += (step.description.empty() ? "" : ": ") + std::string(shown) + Quote(address);
        firesPending_.push_back(Fired{address, flags});
        int answer = FireNewWindow3In(program_, address, flags);
        if (answer != 1) {
            firesPending_.pop_back();
            return Fail("NewWindow3 through the stand-in's host window answered " + std::to_string(answer) +
                        " (1: fired, Cancel left alone)");
        }
    }

    RunningProgram& program_;
    Settings settings_;
    XdotoolShell& xdotool_;
    RECT screen_;
    int index_;  // the action under way, or the one before the shard's first
    DWORD started_ = 0;
    std::string failure_;
    bool crashed_ = false;
    std::deque<std::string> trail_;

    // The log and what it said.
    size_t logOffset_ = 0;
    std::string partial_;
    bool bannerSeen_ = false;
    Counts seen_;
    Counts expected_;
    std::vector<std::wstring> searches_;  // logged by this action, checked once it is done
    struct Fired {
        std::wstring address;
        DWORD flags;
    };
    std::deque<Fired> firesPending_;
    std::wstring lastFired_;
    std::optional<std::wstring> newWindowNavigation_;

    FormState form_;
    bool droppedBefore_ = false;
    bool pageFocused_ = false;  // the page has something but its body focused
    size_t pageEnters_ = 0;
    POINT lastPress_{-100, -100};
    DWORD lastPressTime_ = 0;

    // Figures.
    std::array<size_t, kKinds> done_{};
    std::array<size_t, kKinds> skipped_{};
    std::array<std::array<size_t, kShortcuts>, kPlaces> shortcutsByPlace_{};
    std::array<size_t, kPlaces> actionsByPlace_{};
    size_t searchesChecked_ = 0;
    size_t enteredTextsChecked_ = 0;
    size_t longNewWindows_ = 0;
    size_t narrowedNewWindows_ = 0;
    size_t heldBackNewWindows_ = 0;
    size_t syncs_ = 0;
    std::vector<std::pair<int, size_t>> samples_;  // after action, bytes
    struct HomeSample {
        int index;  // after this action
        size_t bytes;
        DWORD ms;  // into the run
    };
    std::vector<HomeSample> homeSamples_;  // with the window at its starting place and size
    RECT home_{};
};

}  // namespace

TEST(RandomInputStandIn,
     ThousandsOfRandomActionsLeaveTheProgramAnsweringWithWellFormedNavigationsAndAFlatWorkingSet) {
    Settings settings = ReadSettings();
    std::string shard = Env("ZUDIZAZUZ_RANDOM_SHARD");
    ASSERT_TRUE(shard.empty() || ReadShard(shard, settings))
        << "ZUDIZAZUZ_RANDOM_SHARD must be K/N with 1 <= K <= N: " << shard;
    std::printf("random input: seed %u, actions %d to %d of %d\n", settings.seed, settings.first,
                settings.end - 1, settings.actions);
    std::fflush(stdout);

    XdotoolShell xdotool;
    ASSERT_TRUE(xdotool.Start()) << "the shell that runs xdotool did not start";
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    RandomRun run(program, settings, xdotool);
    if (run.Begin()) {
        for (int index = settings.first; index < settings.end && !run.Failed(); ++index) run.Act(index);
    }
    int status = -1;
    if (!run.Failed()) {
        status = CloseAndWait(program);
    }
    run.PrintFigures(status);
    ASSERT_FALSE(run.Failed()) << run.Report();
    EXPECT_EQ(status, 0) << "the exit status after the close request";
    std::optional<long long> growth = run.Growth();
    if (growth) {
        EXPECT_LE(*growth, static_cast<long long>(kAllowedGrowth))
            << "the working set grew by " << *growth << " bytes after the warm-up (seed " << settings.seed
            << "; the lowest of the last three samples against the first)";
    }
}
