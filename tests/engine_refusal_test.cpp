// The search engine's page after the program's own search: results stay, a
// refusal goes on to the fallback. The browser stand-in loads the pages of a
// table (final address, title, body, links) and fires NavigateComplete2 and
// DocumentComplete, in the program's own process or in this one.
#include "app/app.h"
#include "app/event_sink.h"
#include "app/search.h"
#include "app/sites.h"
#include "gadgets/gadgets.h"
#include "program_support.h"
#include "standin.h"
#include "test_support.h"

#include <exdisp.h>
#include <exdispid.h>
#include <gtest/gtest.h>
#include <shobjidl.h>

#include <optional>
#include <string>
#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

const std::wstring kEngine = L"https://www.google.com/search?client=IE&rls=ru&q=";
const std::wstring kEngineStart = L"https://www.google.com/search?";
const std::wstring kFallback = L"https://html.duckduckgo.com/html/?q=";
const std::wstring kFallbackStart = L"https://html.duckduckgo.com/";
const std::wstring kForumSearch = L"https://www.radiokot.ru/forum/search.php?keywords=";
// The forums' bare hosts, as the fallback's "site:" takes them.
const wchar_t* const kHosts[] = {L"forum.ixbt.com", L"www.cyberforum.ru", L"www.radiokot.ru",
                                 L"forum.ru-board.com", L"forum.oberoncore.ru"};

std::wstring Site(int index) { return Widen(app::kSites[index], CP_ACP); }

// prefix, as many whole keyword pieces as leave room for the suffix within
// 255 units, and the suffix (the tests' own model of the address).
std::wstring Fitted(const std::wstring& prefix, const std::wstring& keywords, const std::wstring& suffix) {
    std::wstring address = prefix;
    for (const std::wstring& piece : KeywordPieces(keywords.substr(0, app::kMaxAddressUnits))) {
        if (address.size() + piece.size() + suffix.size() > app::kMaxAddressUnits) break;
        address += piece;
    }
    return address + suffix;
}

std::wstring EngineAddress(int index, const std::wstring& keywords) {
    return Fitted(kEngine, keywords, L"+site:" + Site(index));
}

std::wstring FallbackAddress(int index, const std::wstring& keywords) {
    return Fitted(kFallback, keywords, L"+site:" + std::wstring(kHosts[index]) + L"&kl=ru-ru");
}

std::string Navigate(const std::wstring& address) { return "Navigate " + Utf8(address); }
// The fallback takes the refused page's place in the history: navNoHistory.
std::string NavigateInItsPlace(const std::wstring& address) {
    return "Navigate [flags 0x00000002] " + Utf8(address);
}
std::string Loads(const std::wstring& address) { return "LoadPage " + Utf8(address); }

// A results page of the fallback, which links to the forum through its own
// redirect.
StandInPage FallbackResults(int index) {
    return StandInPage{kFallbackStart, kFallback + L"results", L"abc at DuckDuckGo", L"<div>results</div>",
                       L"https://duckduckgo.com/l/?uddg=https%3A%2F%2F" + std::wstring(kHosts[index]) +
                           L"%2Ftopic%2F1 https://" + kHosts[index] + L"/topic/1"};
}

// ---- The program in its own process -----------------------------------------

// The browser calls that show where the browser went, in the log's order.
std::vector<std::string> Visits(const RunningProgram& program) {
    std::vector<std::string> visits;
    for (const std::string& line : program.Lines()) {
        for (const char* call : {"Navigate ", "LoadPage ", "Refresh", "GoBack", "GoForward"}) {
            if (line.rfind(call, 0) == 0) {
                visits.push_back(line);
                break;
            }
        }
    }
    return visits;
}

// Waits for `expected` more visits than `before`, lets the program finish
// what it is doing, and checks that the visits since `before` are exactly
// those expected.
void ExpectVisits(const RunningProgram& program, size_t& before, const std::vector<std::string>& expected,
                  const std::string& what) {
    WaitUntil([&] { return Visits(program).size() >= before + expected.size(); }, 10000);
    EXPECT_TRUE(program.Answers()) << what << ": the program stopped answering";
    // A page the fallback loads comes round as a message of its own: wait
    // for it once more, so that nothing after it is missed either.
    WaitUntil([&] { return Visits(program).size() >= before + expected.size(); }, 2000);
    EXPECT_TRUE(program.Answers()) << what;
    std::vector<std::string> all = Visits(program);
    std::vector<std::string> since(all.begin() + static_cast<ptrdiff_t>(std::min(before, all.size())), all.end());
    EXPECT_EQ(since, expected) << what;
    before = all.size();
}

// The log's lines from line `from` on that are `line`.
size_t CountSince(const RunningProgram& program, size_t from, const std::string& line) {
    std::vector<std::string> lines = program.Lines();
    size_t count = 0;
    for (size_t i = from; i < lines.size(); ++i) count += lines[i] == line ? 1 : 0;
    return count;
}

void StartProgram(RunningProgram& program) {
    StartAt(program, WindowsPath(Env("ZUDIZAZUZ_EXE_STANDIN")), false);
    ASSERT_NE(program.window, nullptr);
    // Start-up's own calls are over once the banner is in.
    ASSERT_TRUE(WaitUntil([&] { return program.Log().find("put_innerHTML") != std::string::npos; }));
}

// Picks the forum, fills the keyword box (ASCII: a text sent from another
// process reaches the box in the system's code page) and presses Enter's
// command.
void SearchIn(const RunningProgram& program, int index, const std::wstring& keywords) {
    Ask(program.Gadget(app::kSiteList), CB_SETCURSEL, static_cast<WPARAM>(index));
    ASSERT_TRUE(Ask(program.Gadget(app::kKeywordBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(keywords.c_str())));
    PostMessageA(program.window, WM_COMMAND, 1001, 0);
}

}  // namespace

// Each page in a program of its own, so that no refusal is remembered from
// an earlier one: the engine's page, whatever it is, is checked once; a
// refusal goes on to the fallback in its place in the history, whose own
// page is never checked; results and pages that cannot be read stay.
TEST(EngineRefusalPagesStandIn, EachPageAfterAnEngineSearchStaysOrGoesOnToTheFallback) {
    const std::wstring keywords = L"abc C++ 100%";
    const std::wstring query = L"abc+C%2B%2B+100%25+site%3A";
    struct PageCase {
        const char* name;
        int index;
        std::wstring final;
        std::wstring title;
        const wchar_t* body;
        std::wstring links;
        int flags;
        bool refused;
        size_t documentReads;  // get_Document: the page is read for its links
        size_t linkReads;      // get_links
    };
    const std::wstring refusalLinks =
        L"https://www.google.com/search?q=" + query + L"forum.ixbt.com&hl=ru "
        L"https://support.google.com/websearch/answer/12345?hl=en&q=forum.ixbt.com "
        L"https://www.google.com/url?q=https://support.google.com/&sa=U&forum.ixbt.com "
        L"https://www.google.com/";
    const PageCase cases[] = {
        {"the refusal in English at /search", 0, kEngine + L"abc+site:forum.ixbt.com", L"Update your browser",
         L"<h1>Update your browser</h1><p>Your browser isn't supported any more. To continue your search, "
         L"upgrade to a recent version.</p><p>abc C++ 100% site:forum.ixbt.com</p>",
         refusalLinks, 0, true, 1, 1},
        {"the refusal in Russian at /search", 0, kEngine + L"abc+site:forum.ixbt.com", L"Обновите браузер",
         L"<h1>Обновите браузер</h1><p>Ваш браузер больше не поддерживается. Чтобы продолжить поиск, "
         L"установите последнюю версию.</p><p>abc C++ 100% site:forum.ixbt.com</p>",
         refusalLinks, 0, true, 1, 1},
        // A detour is known by where it ended, whatever it links to.
        {"the script detour", 1, L"https://www.google.com/httpservice/retry/enablejs?sei=x1Yz",
         L"Google Search", L"<noscript>Please click here if you are not redirected</noscript>",
         L"https://www.cyberforum.ru/cpp/thread1.html", 0, true, 0, 0},
        {"the captcha detour", 3,
         L"https://www.google.com/sorry/index?continue=https://www.google.com/search%3Fq%3Dabc%2Bsite%3Aforum.ru-board.com",
         L"https://www.google.com/search?q=abc+site:forum.ru-board.com",
         L"<p>Our systems have detected unusual traffic from your computer network.</p>",
         L"https://www.google.com/intl/ru/policies/terms/", 0, true, 0, 0},
        {"the consent page", 4, L"https://consent.google.com/ml?continue=https://www.google.com/search?q=abc",
         L"Before you continue to Google Search", L"<form>Accept all</form>",
         L"https://forum.oberoncore.ru/viewtopic.php?t=1", 0, true, 0, 0},
        {"results with direct links", 0, kEngine + L"abc+site:forum.ixbt.com", L"abc - Поиск в Google",
         L"<div id=\"search\">results</div>",
         L"https://www.google.com/webhp area:https://www.google.com/maps "
         L"https://www.google.com/search?q=abc&tbm=isch https://FORUM.IXBT.COM/topic.cgi?id=1:2",
         0, false, 1, 1},
        {"results with /url?q= links", 1, kEngine + L"abc+site:www.cyberforum.ru", L"abc - Поиск в Google",
         L"<div id=\"search\">results</div>",
         L"https://www.google.com/preferences "
         L"https://www.google.com/url?q=https://www.cyberforum.ru/cpp/thread1.html&sa=U&ved=2ahUKE",
         0, false, 1, 1},
        {"results with escaped /url?url= links", 3, kEngine + L"abc+site:forum.ru-board.com", L"abc",
         L"<div id=\"search\">results</div>",
         L"https://www.google.com/url?sa=t&url=https%3A%2F%2Fforum.ru-board.com%2Ftopic.cgi%3Fforum%3D5", 0,
         false, 1, 1},
        // The query and the forum's name in the text and in addresses, but no
        // link whose host is the forum's.
        {"results that echo the query but link nowhere on the forum", 0, kEngine + L"abc+site:forum.ixbt.com",
         L"abc site:forum.ixbt.com - Поиск в Google",
         L"<p>По запросу abc site:forum.ixbt.com ничего не найдено. forum.ixbt.com</p>",
         L"https://www.google.com/search?q=abc+site:forum.ixbt.com&start=10 "
         L"https://forum.ixbt.com.example.org/topic "
         L"https://example.org/?u=https://forum.ixbt.com/topic "
         L"https://forum.ixbt.com@example.org/ "
         L"https://www.google.com/url?q=https://forum.ixbt.com.example.org/&sa=U "
         L"https://www.google.com/search/url?q=https://forum.ixbt.com/ "
         L"http://www.google.com/url?sa=t&x=https://forum.ixbt.com/ "
         L"ftp://forum.ixbt.com/ "
         L"area:https://forum.ixbt.com/",
         0, true, 1, 1},
        // What cannot be read leaves the page as it is.
        {"a page without a body", 0, kEngine + L"abc+site:forum.ixbt.com", L"Update your browser", nullptr,
         L"https://www.google.com/", 0, false, 1, 0},
        {"a page without a link collection", 0, kEngine + L"abc+site:forum.ixbt.com", L"Update your browser",
         L"<p>Update your browser</p>", L"https://www.google.com/", kPageNoLinks, false, 1, 1},
        {"a link collection whose items fail", 0, kEngine + L"abc+site:forum.ixbt.com", L"Update your browser",
         L"<p>Update your browser</p>", L"https://www.google.com/", kPageItemsFail, false, 1, 1},
        {"a document that is no HTML document", 0, kEngine + L"abc+site:forum.ixbt.com", L"",
         L"<p>Update your browser</p>", L"https://www.google.com/", kPageNotHtml, false, 1, 0},
        {"no document", 0, kEngine + L"abc+site:forum.ixbt.com", L"", L"", L"", kPageNoDocument, false, 1, 0},
        // A frame's page is never the search's, whatever it holds.
        {"a refusal in a frame", 0, L"https://www.google.com/sorry/index", L"Update your browser",
         L"<p>Update your browser</p>", L"https://www.google.com/", kPageInAFrame, false, 0, 0},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.name);
        RunningProgram program;
        StartProgram(program);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(SetStandInPageIn(program, StandInPage{kEngineStart, c.final, c.title, c.body, c.links, c.flags}));
        ASSERT_TRUE(SetStandInPageIn(program, FallbackResults(c.index)));
        size_t before = Visits(program).size();
        size_t lines = program.Lines().size();
        SearchIn(program, c.index, keywords);
        std::vector<std::string> expected = {Navigate(EngineAddress(c.index, keywords)), Loads(c.final)};
        if (c.refused) {
            expected.push_back(NavigateInItsPlace(FallbackAddress(c.index, keywords)));
            expected.push_back(Loads(kFallback + L"results"));
        }
        ExpectVisits(program, before, expected, c.name);
        // The engine's page is read once at most, the fallback's never.
        EXPECT_EQ(CountSince(program, lines, "get_Document"), c.documentReads);
        EXPECT_EQ(CountSince(program, lines, "get_links"), c.linkReads);
        EXPECT_EQ(CloseAndWait(program), 0);
    }
}

// Pages the user reaches (a link followed, F5, Back, Forward, a new window
// the user asked for) and the forum's own search are never checked; only the
// page that completes after an engine search is, as the last step shows.
TEST(EngineRefusalUserPagesStandIn, PagesTheUserReachesAndTheForumsOwnSearchAreNeverChecked) {
    RunningProgram program;
    StartProgram(program);
    ASSERT_FALSE(HasFatalFailure());
    const std::wstring keywords = L"abc";
    // A refusal the browser reaches by itself, as by a link.
    const StandInPage refusal{L"", L"https://www.google.com/sorry/index?continue=abc", L"Update your browser",
                              L"<p>Update your browser</p>", L"https://www.google.com/"};
    size_t before = Visits(program).size();

    ASSERT_TRUE(SetStandInPageIn(program, refusal));
    ExpectVisits(program, before, {Loads(refusal.final)}, "a link followed before any search");

    // The engine's page has not come yet when the user goes elsewhere.
    struct UserCase {
        const char* name;
        WPARAM command;  // the shortcut's command; 0: a new window the user asked for
        std::string call;
    };
    const UserCase userCases[] = {
        {"F5", 1002, "Refresh"},
        {"Alt+Left", 1003, "GoBack"},
        {"Alt+Right", 1004, "GoForward"},
        {"a new window from the user's click", 0, "Navigate http://127.0.0.1/page"},
    };
    for (const UserCase& c : userCases) {
        SearchIn(program, 0, keywords);
        // The search's command is posted; the new window's event comes sent.
        ASSERT_TRUE(WaitUntil([&] { return Visits(program).size() > before; }));
        if (c.command != 0) {
            PostMessageA(program.window, WM_COMMAND, c.command, 0);
        } else {
            EXPECT_EQ(FireNewWindow3In(program, L"http://127.0.0.1/page", NWMF_USERINITED | NWMF_FIRST), 1);
        }
        ExpectVisits(program, before, {Navigate(EngineAddress(0, keywords)), c.call}, c.name);
        ASSERT_TRUE(SetStandInPageIn(program, refusal));
        ExpectVisits(program, before, {Loads(refusal.final)}, std::string("the page after ") + c.name);
    }

    // The forum's own search: its page is the forum's, whatever it holds.
    const StandInPage ownSearch{kForumSearch, kForumSearch + L"abc", L"Поиск", L"<p>Ничего не найдено</p>",
                                L"https://www.google.com/"};
    ASSERT_TRUE(SetStandInPageIn(program, ownSearch));
    SearchIn(program, app::kForumSearchIndex, keywords);
    ExpectVisits(program, before, {Navigate(kForumSearch + L"abc"), Loads(ownSearch.final)},
                 "the forum's own search");

    // Results stay; a refusal reached from them by a link stays too.
    const StandInPage results{kEngineStart, kEngine + L"abc+site:forum.ixbt.com", L"abc - Поиск в Google",
                              L"<div>results</div>", L"https://forum.ixbt.com/topic.cgi?id=1"};
    ASSERT_TRUE(SetStandInPageIn(program, results));
    SearchIn(program, 0, keywords);
    ExpectVisits(program, before, {Navigate(EngineAddress(0, keywords)), Loads(results.final)}, "results");
    ASSERT_TRUE(SetStandInPageIn(program, refusal));
    ExpectVisits(program, before, {Loads(refusal.final)}, "a link followed from the results");

    // The same refusal as the engine's answer to a search goes on to the
    // fallback: the checks above could have failed.
    StandInPage redirected = refusal;
    redirected.start = kEngineStart;
    ASSERT_TRUE(SetStandInPageIn(program, redirected));
    SearchIn(program, 4, keywords);
    ExpectVisits(program, before,
                 {Navigate(EngineAddress(4, keywords)), Loads(refusal.final),
                  NavigateInItsPlace(FallbackAddress(4, keywords))},
                 "a refusal after a search (the engine's redirect)");
    EXPECT_EQ(CloseAndWait(program), 0);
}

// Once refused, the engine is not asked again in this run: engine searches go
// straight to the fallback, as any search goes (its own place in the
// history); the fallback's pages are never checked, even one that links
// nowhere on the forum, so there is no second fallback and no loop; the
// forum's own search is unchanged.
TEST(EngineRefusalMemoryStandIn, ARefusalIsRememberedForTheRunAndTheFallbackIsNeverChecked) {
    RunningProgram program;
    StartProgram(program);
    ASSERT_FALSE(HasFatalFailure());
    const StandInPage refusal{kEngineStart, kEngine + L"abc+site:forum.ixbt.com", L"Update your browser",
                              L"<p>Your browser isn't supported any more.</p>", L"https://www.google.com/"};
    const StandInPage nothingFound{kFallbackStart, kFallback + L"nothing", L"DuckDuckGo",
                                   L"<p>No results.</p>", L"https://duckduckgo.com/ https://html.duckduckgo.com/html/"};
    ASSERT_TRUE(SetStandInPageIn(program, refusal));
    ASSERT_TRUE(SetStandInPageIn(program, nothingFound));
    size_t before = Visits(program).size();

    SearchIn(program, 0, L"abc");
    ExpectVisits(program, before,
                 {Navigate(EngineAddress(0, L"abc")), Loads(refusal.final),
                  NavigateInItsPlace(FallbackAddress(0, L"abc")), Loads(nothingFound.final)},
                 "the first search");
    struct Later {
        int index;
        std::wstring keywords;
    };
    const Later later[] = {{3, L"def"}, {1, L""}, {4, L"a&b #1 C++ 50%"}, {0, L"  spaces  "}};
    for (const Later& search : later) {
        size_t lines = program.Lines().size();
        SearchIn(program, search.index, search.keywords);
        ExpectVisits(program, before,
                     {Navigate(FallbackAddress(search.index, search.keywords)), Loads(nothingFound.final)},
                     "a later search of forum " + std::to_string(search.index));
        EXPECT_EQ(CountSince(program, lines, "get_Document"), 0u) << "the fallback's page was read";
    }
    SearchIn(program, app::kForumSearchIndex, L"ghi");
    ExpectVisits(program, before, {Navigate(kForumSearch + L"ghi")}, "the forum's own search");
    EXPECT_EQ(CloseAndWait(program), 0);
}

// ---- In this process ------------------------------------------------------------

namespace {

// The program's form beside the stand-in, with the program's event sink
// connected, as start-up connects it.
struct RefusalForm : StandInForm {
    app::EventSink sink;
    RefusalForm() { app::ConnectEventSink(browser, sink); }
};

// Searches and pumps until the browser has no page of the table left to load.
void SearchHere(const RefusalForm& form, int index) {
    SetItemComboBox(app::kSiteList, index);
    form.standIn.clearLog();
    app::SearchRequest();
    // A page loads once its navigation's message comes round, and the
    // fallback's after it.
    PumpUntil([] { return false; }, 200);
}

}  // namespace

// Cyrillic keywords reach the fallback as the percent-escapes of their UTF-8
// bytes, cut between letters, with the restriction whole, through the
// refusal and afterwards straight away.
TEST(EngineRefusalCyrillicStandIn, CyrillicKeywordsReachTheFallbackAsUtf8EscapesCutBetweenLetters) {
    RefusalForm form;
    ASSERT_NE(form.browser, nullptr);
    form.standIn.SetPage({kEngineStart, kEngine + L"x", L"Обновите браузер", L"<p>Обновите браузер</p>",
                          L"https://www.google.com/"});
    form.standIn.SetPage(FallbackResults(1));
    std::wstring letters;
    for (int i = 0; i < 100; ++i) letters += L"Ёж";
    struct Case {
        int index;
        std::wstring typed;
    };
    const Case cases[] = {{1, L"ёжик в тумане"}, {0, L"Привет, мир"}, {3, letters}, {4, L"ЁЛКА № 5 €"}};
    bool first = true;
    for (const Case& c : cases) {
        std::string what = "forum " + std::to_string(c.index) + ", " + Quote(c.typed);
        ASSERT_TRUE(SetWindowTextW(GadgetID(app::kKeywordBox), c.typed.c_str())) << what;
        SearchHere(form, c.index);
        std::wstring fallback = FallbackAddress(c.index, c.typed);
        std::vector<std::string> navigations = form.standIn.Calls("Navigate");
        if (first) {
            EXPECT_EQ(navigations, (std::vector<std::string>{Navigate(EngineAddress(c.index, c.typed)),
                                                             NavigateInItsPlace(fallback)}))
                << what;
        } else {
            EXPECT_EQ(navigations, std::vector<std::string>{Navigate(fallback)}) << what;
        }
        first = false;
        EXPECT_LE(fallback.size(), app::kMaxAddressUnits) << what;
        EXPECT_TRUE(IsAscii(fallback)) << what;
        std::wstring suffix = L"+site:" + std::wstring(kHosts[c.index]) + L"&kl=ru-ru";
        std::optional<std::wstring> decoded =
            PercentDecoded(fallback.substr(kFallback.size(), fallback.size() - kFallback.size() - suffix.size()));
        ASSERT_TRUE(decoded.has_value()) << what;
        EXPECT_EQ(c.typed.compare(0, decoded->size(), *decoded), 0) << what << ": " << Utf8(*decoded);
    }
    // 31 letters of six units fill the room left beside the whole restriction.
    EXPECT_EQ(FallbackAddress(3, letters).size(),
              kFallback.size() + 31 * 6 + std::wstring(L"+site:forum.ru-board.com&kl=ru-ru").size());
}

// The page is read once a search, no further than its first thousand links,
// and every object the read takes is given back.
TEST(EngineRefusalReadStandIn, TheReadIsBoundedOncePerSearchAndGivesBackWhatItTakes) {
    RefusalForm form;
    ASSERT_NE(form.browser, nullptr);
    LONG browserReferences = form.standIn.references(kBrowserObject);
    LONG documentReferences = form.standIn.references(kDocument);
    LONG bodyReferences = form.standIn.references(kBody);
    // A million links, none to the forum.
    form.standIn.SetPage({kEngineStart, kEngine + L"x", L"Update your browser", L"<p>x</p>",
                          L"https://www.google.com/a https://www.google.com/b", 0, 1000000});
    SetGadgetText(app::kKeywordBox, "abc");
    SearchHere(form, 0);
    EXPECT_EQ(form.standIn.Calls("get_links").size(), 1u);
    EXPECT_GT(form.standIn.itemCalls(), 100) << "too few links read to find results";
    EXPECT_LE(form.standIn.itemCalls(), 1000) << "the read is not bounded";
    EXPECT_EQ(form.standIn.Calls("Navigate [flags 0x00000002]").size(), 1u) << form.standIn.Log();
    EXPECT_EQ(form.standIn.linkReferences(), 0);
    EXPECT_EQ(form.standIn.references(kBrowserObject), browserReferences);
    EXPECT_EQ(form.standIn.references(kDocument), documentReferences);
    EXPECT_EQ(form.standIn.references(kBody), bodyReferences);

    // The same page completing again, as after a script's reload, is not read.
    form.standIn.clearLog();
    form.standIn.SetPage({L"", kEngine + L"x", L"Update your browser", L"<p>x</p>", L"https://www.google.com/"});
    EXPECT_EQ(form.standIn.Calls("LoadPage").size(), 1u);
    EXPECT_TRUE(form.standIn.Calls("get_Document").empty()) << form.standIn.Log();
    EXPECT_TRUE(form.standIn.Calls("Navigate").empty()) << form.standIn.Log();
}

// NavigateComplete2 and DocumentComplete as the browser might hand them: only
// the top-level browser's, given as VT_DISPATCH with the URL after it, count;
// anything else reads nothing and crashes nothing.
TEST(EngineRefusalEventsStandIn, OnlyWellFormedEventsOfTheTopLevelBrowserLeadToTheRead) {
    StandInForm form;
    ASSERT_NE(form.browser, nullptr);
    app::EventSink sink;  // called here directly: the stand-in fires nothing to it
    app::EventSink otherObject;
    // The browser's page: results, so that no refusal is remembered.
    form.standIn.SetPage({L"", kEngine + L"abc", L"abc", L"<p>results</p>", L"https://forum.ixbt.com/1"});
    IDispatch* browser = form.browser;
    enum class Shape { kWellFormed, kFrame, kNullDispatch, kUnknownType, kI4, kDispatchReference, kOneArgument,
                       kNoArguments, kNoArray };
    struct Case {
        const char* name;
        Shape commit;    // NavigateComplete2's arguments
        Shape complete;  // DocumentComplete's
        bool read;
    };
    const Case cases[] = {
        {"both well formed", Shape::kWellFormed, Shape::kWellFormed, true},
        {"DocumentComplete of a frame", Shape::kWellFormed, Shape::kFrame, false},
        {"NavigateComplete2 of a frame", Shape::kFrame, Shape::kWellFormed, false},
        {"DocumentComplete without NavigateComplete2", Shape::kNoArguments, Shape::kWellFormed, false},
        {"pDisp a null VT_DISPATCH", Shape::kWellFormed, Shape::kNullDispatch, false},
        {"pDisp as VT_UNKNOWN", Shape::kWellFormed, Shape::kUnknownType, false},
        {"pDisp as VT_I4 over the browser", Shape::kWellFormed, Shape::kI4, false},
        {"pDisp as VT_BYREF|VT_DISPATCH", Shape::kWellFormed, Shape::kDispatchReference, false},
        {"the URL alone", Shape::kWellFormed, Shape::kOneArgument, false},
        {"cArgs 2 without an array", Shape::kWellFormed, Shape::kNoArray, false},
        {"malformed NavigateComplete2", Shape::kI4, Shape::kWellFormed, false},
    };
    for (const Case& c : cases) {
        SetItemComboBox(app::kSiteList, 0);
        app::SearchRequest();
        form.standIn.clearLog();
        for (DISPID id : {DISPID_NAVIGATECOMPLETE2, DISPID_DOCUMENTCOMPLETE}) {
            Shape shape = id == DISPID_NAVIGATECOMPLETE2 ? c.commit : c.complete;
            if (shape == Shape::kNoArguments) continue;
            VARIANT url;
            url.vt = VT_BSTR;
            url.bstrVal = SysAllocString(L"https://www.google.com/search?q=abc");
            VARIANT arguments[2];
            arguments[0].vt = VT_BYREF | VT_VARIANT;
            arguments[0].pvarVal = &url;
            arguments[1].vt = VT_DISPATCH;
            arguments[1].pdispVal = browser;
            IDispatch* reference = browser;
            UINT count = 2;
            VARIANT* array = arguments;
            switch (shape) {
                case Shape::kFrame: arguments[1].pdispVal = &otherObject; break;
                case Shape::kNullDispatch: arguments[1].pdispVal = nullptr; break;
                case Shape::kUnknownType: arguments[1].vt = VT_UNKNOWN; break;
                case Shape::kI4: arguments[1].vt = VT_I4; break;
                case Shape::kDispatchReference:
                    arguments[1].vt = VT_BYREF | VT_DISPATCH;
                    arguments[1].ppdispVal = &reference;
                    break;
                case Shape::kOneArgument: count = 1; break;
                case Shape::kNoArray: array = nullptr; break;
                default: break;
            }
            DISPPARAMS parameters{array, nullptr, count, 0};
            EXPECT_EQ(sink.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr,
                                  nullptr, nullptr),
                      S_OK)
                << c.name;
            SysFreeString(url.bstrVal);
        }
        bool read = !form.standIn.Calls("get_LocationURL").empty();
        EXPECT_EQ(read, c.read) << c.name << ": " << form.standIn.Log();
        EXPECT_EQ(form.standIn.Calls("get_links").size(), c.read ? 1u : 0u) << c.name;
        EXPECT_TRUE(form.standIn.Calls("Navigate").empty()) << c.name << ": results went on to the fallback";
    }
    EXPECT_EQ(otherObject.AddRef(), 1u) << "a reference to the frame's object was kept";
}

// The fallback's address for every forum and keywords of every length: at
// most 255 units, ASCII, the keywords cut between characters, the forum's
// bare host and the language whole.
TEST(FallbackAddressLimits, LongKeywordsAreCutBetweenCharactersNeverTheRestriction) {
    for (int index : {0, 1, 3, 4}) {
        EXPECT_EQ(Utf8(Widen(app::ForumHost(app::kSites[index]), CP_ACP)), Utf8(kHosts[index]));
        for (const std::string& unit : {std::string("x"), std::string("%"), std::string("ж"), std::string("a+"),
                                        std::string("Ёж "), std::string("€")}) {
            for (size_t repeat : {0u, 1u, 50u, 120u, 200u, 32767u}) {
                std::string keywords;
                for (size_t i = 0; i < repeat; ++i) keywords += unit;
                std::string what = "forum " + std::to_string(index) + ", " + std::to_string(repeat) + " x \"" +
                                   unit + "\"";
                std::wstring address = app::FallbackAddress(app::ForumHost(app::kSites[index]), keywords);
                EXPECT_LE(address.size(), app::kMaxAddressUnits) << what;
                EXPECT_TRUE(IsAscii(address)) << what;
                EXPECT_EQ(Utf8(address), Utf8(FallbackAddress(index, Widen(keywords, 1251)))) << what;
            }
        }
    }
    EXPECT_EQ(Utf8(app::FallbackAddress("forum.ixbt.com", "a b&c#d+e%f")),
              "https://html.duckduckgo.com/html/?q=a b%26c%23d%2Be%25f+site:forum.ixbt.com&kl=ru-ru");
}
