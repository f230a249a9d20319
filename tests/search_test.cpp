// The search request, the event sink and the start banner, through the real
// form controls and the browser stand-in.
#include "app/app.h"
#include "app/event_sink.h"
#include "app/search.h"
#include "app/sites.h"
#include "program_support.h"
#include "standin.h"
#include "test_support.h"


#include <exdisp.h>
#include <exdispid.h>
#include <gtest/gtest.h>
#include <shobjidl.h>

#include <functional>
#include <optional>

using namespace gadgets;
using namespace testing_support;

namespace {

const std::wstring kEngine = L"https://www.google.com/search?client=IE&rls=ru&q=";
const std::wstring kForum = L"https://www.radiokot.ru/forum/search.php?keywords=";

std::wstring Site(int index) {
    std::string ascii = app::kSites[index];
    return std::wstring(ascii.begin(), ascii.end());
}

using FormFixture = StandInForm;

// The keywords as the address carries them (the tests' own model).
std::wstring Escaped(const std::wstring& keywords) {
    std::wstring escaped;
    for (const std::wstring& piece : KeywordPieces(keywords)) escaped += piece;
    return escaped;
}

// prefix, as many whole keyword pieces as leave room for the restriction
// within 255 units, and the restriction.
std::wstring Fitted(const std::wstring& prefix, const std::wstring& keywords,
                    const std::wstring& restriction) {
    std::wstring address = prefix;
    // Every character takes a unit at least: no more than this can fit.
    for (const std::wstring& piece : KeywordPieces(keywords.substr(0, app::kMaxAddressUnits))) {
        if (address.size() + piece.size() + restriction.size() > app::kMaxAddressUnits) break;
        address += piece;
    }
    return address + restriction;
}

struct SearchCase {
    int index;
    std::string keywords;  // Windows-1251, as the keyword box holds them
    std::wstring address;
};

// Puts the case's state into the form, runs the search request and checks
// the address the browser was given.
void SearchAndExpect(const FormFixture& form, const SearchCase& c) {
    SetItemComboBox(app::kSiteList, c.index);
    SetGadgetText(app::kKeywordBox, c.keywords);
    app::SearchRequest();
    EXPECT_EQ(form.LastNavigation(), Utf8(c.address))
        << "index " << c.index << ", keywords \"" << c.keywords << "\"";
}

}  // namespace

TEST(SearchRequestStandIn, FormStateBecomesTheAddressTheBrowserIsGiven) {
    FormFixture form;
    ASSERT_NE(form.browser, nullptr);
    const SearchCase cases[] = {
        {2, "  abc  ", kForum + L"abc"},
        {0, "  abc  ", kEngine + L"  abc  +site:" + Site(0)},
        {1, "  abc  ", kEngine + L"  abc  +site:" + Site(1)},
        {3, "\tabc ", kEngine + L"\tabc +site:" + Site(3)},
        {4, "abc", kEngine + L"abc+site:" + Site(4)},
        {2, "\tabc ", kForum + L"\tabc"},  // only spaces are trimmed
        {0, "a b&c", kEngine + L"a b%26c+site:" + Site(0)},
        {2, "a b&c", kForum + L"a b%26c"},
        {1, "C++", kEngine + L"C%2B%2B+site:" + Site(1)},
        {3, "a#b%c", kEngine + L"a%23b%25c+site:" + Site(3)},
        // Every character outside ASCII as the escapes of its UTF-8 bytes.
        {0, "Привет мир",
         kEngine + L"%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82 %D0%BC%D0%B8%D1%80+site:" + Site(0)},
        {2, " Привет ", kForum + L"%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82"},
        {2, "%&#+ и", kForum + L"%25%26%23%2B %D0%B8"},
        {4, "Ёё", kEngine + L"%D0%81%D1%91+site:" + Site(4)},
        {1, "€5 №1", kEngine + L"%E2%82%AC5 %E2%84%961+site:" + Site(1)},
        {2, "", kForum},
        {3, "", kEngine + L"+site:" + Site(3)},
        {2, "   ", kForum},
    };
    for (const SearchCase& c : cases) SearchAndExpect(form, c);
}

// The placeholder is a hint, never a keyword: a search while the box holds
// exactly it has no keywords; any other text, the placeholder with a space
// or a letter more among them, is searched as it stands.
TEST(SearchRequestPlaceholderStandIn, ThePlaceholderIsNeverSearchedForAndOnlyItIsCleared) {
    FormFixture form;
    ASSERT_NE(form.browser, nullptr);
    EXPECT_EQ(GetGadgetText(app::kKeywordBox, 1), app::kPlaceholder);
    EXPECT_EQ(GetItemComboBox(app::kSiteList), 0);
    const SearchCase cases[] = {
        {0, app::kPlaceholder, kEngine + L"+site:" + Site(0)},
        {2, app::kPlaceholder, kForum},
        {3, app::kPlaceholder, kEngine + L"+site:" + Site(3)},
        {0, "Введите текст для поиска ",
         kEngine + Escaped(L"Введите текст для поиска ") + L"+site:" + Site(0)},
        {2, " Введите текст для поиска", kForum + Escaped(L"Введите текст для поиска")},
        {1, "Введите текст", kEngine + Escaped(L"Введите текст") + L"+site:" + Site(1)},
    };
    for (const SearchCase& c : cases) {
        SearchAndExpect(form, c);
        EXPECT_EQ(GetGadgetText(app::kKeywordBox, 1), c.keywords) << "a search changed the box";
    }

    // The clearing acts on exactly the placeholder text and on nothing else.
    SetGadgetText(app::kKeywordBox, app::kPlaceholder);
    app::ClearPlaceholder();
    EXPECT_EQ(GetGadgetText(app::kKeywordBox, 1), "");
    SetGadgetText(app::kKeywordBox, "Введите текст для поиска ");
    app::ClearPlaceholder();
    EXPECT_EQ(GetGadgetText(app::kKeywordBox, 1), "Введите текст для поиска ");
}

// Long keywords of one-, three-, six- and twelve-unit pieces are cut between
// characters: the keyword part decodes as UTF-8 to whole characters, the
// next would not fit, and the restriction stays whole.
TEST(SearchAddressLimits, LongKeywordsAreCutBetweenCharactersNeverTheRestriction) {
    for (int index = 0; index < 5; ++index) {
        for (const std::string& unit : {std::string("x"), std::string("%"), std::string("ж"),
                                        std::string("a+"), std::string("Ёж "), std::string("€")}) {
            for (size_t repeat : {0u, 50u, 120u, 200u, 300u, 32767u}) {
                std::string keywords;
                for (size_t i = 0; i < repeat; ++i) keywords += unit;
                std::wstring address = app::SearchAddress(index, app::kSites[index], keywords);
                std::string what = "index " + std::to_string(index) + ", " +
                                   std::to_string(repeat) + " x \"" + unit + "\"";
                EXPECT_LE(address.size(), app::kMaxAddressUnits) << what;
                EXPECT_TRUE(IsAscii(address)) << what;
                std::wstring prefix = index == app::kForumSearchIndex ? kForum : kEngine;
                ASSERT_EQ(address.compare(0, prefix.size(), prefix), 0) << what;
                std::wstring restriction =
                    index == app::kForumSearchIndex ? L"" : L"+site:" + Site(index);
                ASSERT_GE(address.size(), prefix.size() + restriction.size()) << what;
                EXPECT_EQ(address.substr(address.size() - restriction.size()), restriction) << what;
                std::wstring keywordsPart = address.substr(
                    prefix.size(), address.size() - prefix.size() - restriction.size());
                std::wstring read = Widen(keywords, 1251);
                if (index == app::kForumSearchIndex) read = TrimSpaces(read);
                std::optional<std::wstring> decoded = PercentDecoded(keywordsPart);
                ASSERT_TRUE(decoded.has_value()) << what << ": a cut escape or a cut character";
                EXPECT_EQ(read.compare(0, decoded->size(), *decoded), 0) << what;
                EXPECT_EQ(address, Fitted(prefix, read, restriction)) << what;
            }
        }
    }
}

// One character at a time as the address carries it, and the room: never
// part of a character.
TEST(SearchAddressLimits, EachCharacterGoesAsItselfOrAsTheEscapesOfItsUtf8Bytes) {
    struct Case {
        const wchar_t* keywords;
        size_t room;
        std::wstring appended;
    };
    const Case cases[] = {
        {L"abc", 10, L"abc"},
        {L"a b\tc~\x7F", 20, L"a b\tc~\x7F"},  // ASCII as itself, controls included
        {L"%&#+", 20, L"%25%26%23%2B"},
        {L"?=/", 20, L"?=/"},
        {L"ж", 20, L"%D0%B6"},
        {L"Ёё", 20, L"%D0%81%D1%91"},
        {L"\x80\x7FF\x800", 30, L"%C2%80%DF%BF%E0%A0%80"},  // where one byte more is needed
        {L"€\xFFFF", 20, L"%E2%82%AC%EF%BF%BF"},
        {L"\U0001F600", 20, L"%F0%9F%98%80"},  // a surrogate pair is one character
        {L"\U0010FFFF", 20, L"%F4%8F%BF%BF"},
        {L"\xD83D" L"a", 20, L"%EF%BF%BDa"},  // a lone high surrogate: U+FFFD
        {L"a\xDE00", 20, L"a%EF%BF%BD"},      // a lone low surrogate
        {L"a\xD83D", 20, L"a%EF%BF%BD"},      // a high surrogate at the end
        {L"\xDE00\xD83D", 20, L"%EF%BF%BD%EF%BF%BD"},  // the wrong order: two lone ones
        {L"жж", 11, L"%D0%B6"},  // the room ends inside the second
        {L"жж", 12, L"%D0%B6%D0%B6"},
        {L"жa", 5, L""},
        {L"a\U0001F600b", 12, L"a"},
        {L"a\U0001F600b", 13, L"a%F0%9F%98%80"},
        {L"a+b", 3, L"a"},
        {L"", 10, L""},
        {nullptr, 10, L""},
    };
    for (const Case& c : cases) {
        std::wstring address = L"x";
        size_t used = app::AppendKeywords(address, c.keywords, c.room);
        std::string what = c.keywords != nullptr ? Quote(c.keywords) : "null";
        EXPECT_EQ(Utf8(address), Utf8(L"x" + c.appended)) << what << " in " << c.room << " units";
        EXPECT_EQ(used, c.appended.size()) << what;
        // The tests' own model agrees wherever all of it fits.
        std::wstring whole = c.keywords != nullptr ? Escaped(c.keywords) : L"";
        if (whole.size() <= c.room) {
            EXPECT_EQ(Utf8(whole), Utf8(c.appended)) << what;
        }
    }
}

// What the keyword box holds, Cyrillic, Ё, signs of code page 1251 and a
// character it lacks (held as "?"), leaves ASCII only and decodes as UTF-8
// to the keywords, for the search engine and for the forum's own search.
TEST(SearchRequestStandIn, KeywordsLeaveAsUtf8EscapesThatDecodeToTheKeywords) {
    FormFixture form;
    ASSERT_NE(form.browser, nullptr);
    struct Case {
        const wchar_t* typed;  // put into the box as UTF-16
        const wchar_t* read;   // what the program reads from it
    };
    const Case cases[] = {
        {L"ёжик в тумане", L"ёжик в тумане"},
        {L"ЁЛКА Ёж", L"ЁЛКА Ёж"},
        {L"中文 поиск", L"?? поиск"},
        {L" €100 № ", L" €100 № "},
        {L"Ѓѓ Її Ўў", L"Ѓѓ Її Ўў"},
    };
    for (int index : {0, 3, app::kForumSearchIndex}) {
        for (const Case& c : cases) {
            std::string what = "index " + std::to_string(index) + ", " + Quote(c.typed);
            SetItemComboBox(app::kSiteList, index);
            ASSERT_TRUE(SetWindowTextW(GadgetID(app::kKeywordBox), c.typed)) << what;
            app::SearchRequest();
            std::wstring address = Widen(form.LastNavigation(), CP_UTF8);
            EXPECT_TRUE(IsAscii(address)) << what << ": " << form.LastNavigation();
            bool ownPage = index == app::kForumSearchIndex;
            std::wstring prefix = ownPage ? kForum : kEngine;
            std::wstring restriction = ownPage ? L"" : L"+site:" + Site(index);
            ASSERT_GE(address.size(), prefix.size() + restriction.size()) << what;
            ASSERT_EQ(address.substr(0, prefix.size()), prefix) << what;
            ASSERT_EQ(address.substr(address.size() - restriction.size()), restriction) << what;
            std::optional<std::wstring> keywords = PercentDecoded(
                address.substr(prefix.size(), address.size() - prefix.size() - restriction.size()));
            ASSERT_TRUE(keywords.has_value()) << what << ": " << form.LastNavigation();
            EXPECT_EQ(Utf8(*keywords), Utf8(ownPage ? TrimSpaces(c.read) : c.read)) << what;
        }
    }
    // A long Cyrillic text is cut between letters; the restriction stays.
    std::wstring letters;
    for (int i = 0; i < 100; ++i) letters += L"Ёж";
    SetItemComboBox(app::kSiteList, 1);
    ASSERT_TRUE(SetWindowTextW(GadgetID(app::kKeywordBox), letters.c_str()));
    app::SearchRequest();
    std::wstring restriction = L"+site:" + Site(1);
    std::wstring expected = Fitted(kEngine, letters, restriction);
    EXPECT_EQ(form.LastNavigation(), Utf8(expected));
    EXPECT_EQ(expected.size(), kEngine.size() + 29 * 6 + restriction.size()) << "29 letters of six units";
}

TEST(EventSinkInterfaces, AnswersOnlyIUnknownAndIDispatchAndCountsReferences) {
    app::EventSink sink;
    EXPECT_EQ(sink.AddRef(), 1u);
    EXPECT_EQ(sink.AddRef(), 2u);
    EXPECT_EQ(sink.Release(), 1u);
    EXPECT_EQ(sink.Release(), 0u);

    struct Case {
        const IID* iid;
        const char* name;
        bool answered;
    };
    const Case cases[] = {
        {&IID_IUnknown, "IUnknown", true},
        {&IID_IDispatch, "IDispatch", true},
        {&DIID_DWebBrowserEvents2, "DWebBrowserEvents2", false},
        {&IID_IConnectionPoint, "IConnectionPoint", false},
        {&IID_IWebBrowser2, "IWebBrowser2", false},
    };
    for (const Case& c : cases) {
        void* out = reinterpret_cast<void*>(1);
        HRESULT result = sink.QueryInterface(*c.iid, &out);
        if (c.answered) {
            EXPECT_EQ(result, S_OK) << c.name;
            EXPECT_EQ(out, static_cast<IDispatch*>(&sink)) << c.name;
            EXPECT_EQ(sink.Release(), 0u) << c.name << ": QueryInterface added no reference";
        } else {
            EXPECT_EQ(result, E_NOINTERFACE) << c.name;
            EXPECT_EQ(out, nullptr) << c.name;
            EXPECT_EQ(sink.AddRef(), 1u) << c.name << ": the count changed";
            sink.Release();
        }
    }
}

TEST(EventSinkStandIn, CancelsNewWindow2AndOpensOnlyWebAddressesTheUserAskedForFromNewWindow3) {
    FormFixture form;
    ASSERT_NE(form.browser, nullptr);
    app::EventSink sink;
    app::ConnectEventSink(form.browser, sink);
    EXPECT_EQ(form.standIn.Calls("FindConnectionPoint").size(), 1u);
    EXPECT_EQ(form.standIn.Calls("Advise"), std::vector<std::string>{"Advise"})
        << "the stand-in accepted no IDispatch-only sink";

    EXPECT_EQ(form.standIn.fireNewWindow2(), VARIANT_TRUE);
    EXPECT_TRUE(form.standIn.Calls("Navigate").empty());

    struct Address {
        const wchar_t* url;
        const wchar_t* opens;  // as the program navigates it; null: never, whoever asks
    };
    const Address addresses[] = {
        {L"javascript:alert(document.cookie)", nullptr},
        {L"JavaScript:void(0)", nullptr},
        {L"vbscript:MsgBox(1)", nullptr},
        {L"file:///C:/windows/win.ini", nullptr},
        {L"about:blank", nullptr},
        {L"res://ieframe.dll/navcancl.htm", nullptr},
        {L"ms-settings:privacy", nullptr},
        {L"mk:@MSITStore:C:\\help.chm::/page.htm", nullptr},
        {L" http://127.0.0.1/", nullptr},       // not the scheme at its start
        {L"httpx://127.0.0.1/", nullptr},
        {L"h\u0442tp://127.0.0.1/", nullptr},  // a Cyrillic te, kept by code page 1251
        {L"javascript:\u4E2D", nullptr},       // narrowed, still a script
        {L"http://127.0.0.1/page?a=1&b=2", L"http://127.0.0.1/page?a=1&b=2"},
        {L"https://127.0.0.1/", L"https://127.0.0.1/"},
        {L"HtTpS://127.0.0.1/Привет", L"HtTpS://127.0.0.1/Привет"},
        {L"HTTP://127.0.0.1/", L"HTTP://127.0.0.1/"},
        {L"http://127.0.0.1/\u4E2D", L"http://127.0.0.1/?"},  // outside the code page
    };
    struct Flags {
        DWORD flags;
        const char* name;
        bool user;  // the user's own click or key asked for the window
    };
    const Flags flagCases[] = {
        {0, "0 (a page on its own, as on load)", false},
        {NWMF_UNLOADING, "NWMF_UNLOADING", false},
        {NWMF_USERINITED, "NWMF_USERINITED alone (a second window of one click)", false},
        {NWMF_FIRST, "NWMF_FIRST alone", false},
        {NWMF_USERINITED | NWMF_HTMLDIALOG, "NWMF_USERINITED|NWMF_HTMLDIALOG", false},
        {NWMF_USERINITED | NWMF_FIRST, "NWMF_USERINITED|NWMF_FIRST", true},
        {NWMF_USERINITED | NWMF_FIRST | NWMF_FORCEWINDOW, "NWMF_USERINITED|NWMF_FIRST|NWMF_FORCEWINDOW", true},
        {NWMF_USERREQUESTED, "NWMF_USERREQUESTED", true},
        {NWMF_USERALLOWED, "NWMF_USERALLOWED", true},
        {NWMF_OVERRIDEKEY, "NWMF_OVERRIDEKEY", true},
        // A window a page asks for as it unloads is the page's, whatever else
        // the flags say.
        {NWMF_UNLOADING | NWMF_USERINITED | NWMF_FIRST, "NWMF_UNLOADING|NWMF_USERINITED|NWMF_FIRST", false},
        {NWMF_UNLOADING | NWMF_USERREQUESTED, "NWMF_UNLOADING|NWMF_USERREQUESTED", false},
        {NWMF_UNLOADING | NWMF_USERALLOWED | NWMF_OVERRIDEKEY, "NWMF_UNLOADING|NWMF_USERALLOWED|NWMF_OVERRIDEKEY", false},
    };
    size_t opened = 0;
    for (const Address& address : addresses) {
        for (const Flags& f : flagCases) {
            std::string what = Quote(address.url) + " with " + f.name;
            form.standIn.clearLog();
            EXPECT_EQ(form.standIn.fireNewWindow3WithFlags(address.url, f.flags), VARIANT_FALSE)
                << what << ": Cancel was touched";
            std::vector<std::string> navigations = form.standIn.Calls("Navigate");
            if (address.opens != nullptr && f.user) {
                EXPECT_EQ(navigations, std::vector<std::string>{"Navigate " + Utf8(address.opens)}) << what;
                ++opened;
            } else {
                EXPECT_EQ(navigations, std::vector<std::string>{}) << what;
            }
        }
    }
    EXPECT_EQ(opened, 5u * 5u);
    // Without flags (the stand-in's plain NewWindow3) a window is no user's.
    form.standIn.clearLog();
    form.standIn.fireNewWindow3(L"http://127.0.0.1/");
    EXPECT_TRUE(form.standIn.Calls("Navigate").empty());
    form.standIn.fireEvent(104);  // DownloadComplete: nothing
    form.standIn.fireEvent(DISPID_BEFORENAVIGATE2);
    EXPECT_EQ(form.standIn.Log(), "");
}

TEST(EventSinkWithoutBrowser, ConnectingToNoBrowserDoesNothing) {
    app::EventSink sink;
    app::ConnectEventSink(nullptr, sink);
    EXPECT_EQ(sink.AddRef(), 1u) << "someone kept a reference to the sink";
}

TEST(BannerStandIn, WrittenOnceWhenIdleAndTheTimerIsGoneAfterwards) {
    FormFixture form;
    ASSERT_NE(form.browser, nullptr);
    std::wstring banner =
        L"<P> <P> <P> <P> <P> <div style=\"text-align: center; color: rgb(204, 0, 0);\">"
        L"<big><big><big><big><big>Поиск по сайтам</big></big></big></big></big><br></div>";
    ASSERT_EQ(banner.size(), 156u);

    form.standIn.setBusy(1);
    ASSERT_NE(SetTimer(form.window, app::kBannerTimer, 10, app::BannerTimer), 0u);
    // While busy it keeps asking and writes nothing.
    EXPECT_TRUE(PumpUntil([&] { return form.standIn.Calls("get_Busy").size() >= 5; }));
    EXPECT_TRUE(form.standIn.Calls("put_innerHTML").empty());

    form.standIn.setBusy(0);
    EXPECT_TRUE(PumpUntil([&] { return !form.standIn.Calls("put_innerHTML").empty(); }));
    EXPECT_EQ(std::wstring(form.standIn.bodyHtml()), banner);
    EXPECT_FALSE(KillTimer(form.window, app::kBannerTimer)) << "the banner timer still exists";
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(form.standIn.Calls("put_innerHTML").size(), 1u);
}

TEST(BannerWithoutBrowser, TimerEndsItselfWithoutABrowser) {
    HWND window = OpenTestWindow("no browser");
    app::SetMainWindow(window);
    app::SetBrowser(nullptr);
    SetTimer(window, app::kBannerTimer, 10, app::BannerTimer);
    EXPECT_TRUE(PumpUntil([&] { return !KillTimer(window, app::kBannerTimer); }));
    app::SearchRequest();  // reads the (missing) form, navigates nothing
}

// ---- The sink's guards against what a browser might hand it -------------------------

namespace {

// How the DISPPARAMS of one Invoke looks.
enum class Parameters {
    kNone,                // no DISPPARAMS at all
    kEmpty,               // cArgs 0, no array
    kCountWithoutArray,   // cArgs as the event has, no array
    kArrayWithoutCount,   // the event's whole array, cArgs 0
    kWhole,               // the event's whole array and count
};

// The array's first element: the event's last argument (NewWindow2's Cancel,
// NewWindow3's address). Wrong types keep the right payload in the union, so
// a sink that read it regardless of the type would show it.
enum class First {
    kWellFormed,         // VT_BYREF|VT_BOOL to Cancel; VT_BSTR with the address
    kBoolByValue,        // VT_BOOL, the union holding the pointer to Cancel
    kNullBoolReference,  // VT_BYREF|VT_BOOL to nothing
    kI4,                 // VT_I4 over the payload
    kI4Reference,        // VT_BYREF|VT_I4 over the pointer to Cancel
    kEmpty,              // VT_EMPTY over the payload
    kNullBstr,           // VT_BSTR, null
    kEmptyBstr,          // VT_BSTR, ""
};

struct SinkCase {
    const char* name;
    DISPID id;
    Parameters parameters;
    First first;
    bool cancels;    // Cancel reads VARIANT_TRUE afterwards
    bool navigates;  // the address went to the web gadget
};

const wchar_t kNewWindowAddress[] = L"http://127.0.0.1/new?w=Окно";

const SinkCase kSinkCases[] = {
    {"NewWindow2, well formed", DISPID_NEWWINDOW2, Parameters::kWhole, First::kWellFormed, true, false},
    {"NewWindow3, well formed", DISPID_NEWWINDOW3, Parameters::kWhole, First::kWellFormed, false, true},

    {"NewWindow2, no DISPPARAMS", DISPID_NEWWINDOW2, Parameters::kNone, First::kWellFormed, false, false},
    {"NewWindow2, cArgs 0, no array", DISPID_NEWWINDOW2, Parameters::kEmpty, First::kWellFormed, false, false},
    {"NewWindow2, cArgs 2, no array", DISPID_NEWWINDOW2, Parameters::kCountWithoutArray, First::kWellFormed, false, false},
    {"NewWindow2, arguments with cArgs 0", DISPID_NEWWINDOW2, Parameters::kArrayWithoutCount, First::kWellFormed, false, false},
    {"NewWindow3, no DISPPARAMS", DISPID_NEWWINDOW3, Parameters::kNone, First::kWellFormed, false, false},
    {"NewWindow3, cArgs 0, no array", DISPID_NEWWINDOW3, Parameters::kEmpty, First::kWellFormed, false, false},
    {"NewWindow3, cArgs 5, no array", DISPID_NEWWINDOW3, Parameters::kCountWithoutArray, First::kWellFormed, false, false},
    {"NewWindow3, arguments with cArgs 0", DISPID_NEWWINDOW3, Parameters::kArrayWithoutCount, First::kWellFormed, false, false},

    {"NewWindow2, Cancel as VT_BOOL by value", DISPID_NEWWINDOW2, Parameters::kWhole, First::kBoolByValue, false, false},
    {"NewWindow2, Cancel as VT_BYREF|VT_BOOL to nothing", DISPID_NEWWINDOW2, Parameters::kWhole, First::kNullBoolReference, false, false},
    {"NewWindow2, Cancel as VT_I4", DISPID_NEWWINDOW2, Parameters::kWhole, First::kI4, false, false},
    {"NewWindow2, Cancel as VT_BYREF|VT_I4", DISPID_NEWWINDOW2, Parameters::kWhole, First::kI4Reference, false, false},
    {"NewWindow2, Cancel as VT_EMPTY", DISPID_NEWWINDOW2, Parameters::kWhole, First::kEmpty, false, false},

    {"NewWindow3, address as VT_I4", DISPID_NEWWINDOW3, Parameters::kWhole, First::kI4, false, false},
    {"NewWindow3, address as VT_EMPTY", DISPID_NEWWINDOW3, Parameters::kWhole, First::kEmpty, false, false},
    {"NewWindow3, address as a null VT_BSTR", DISPID_NEWWINDOW3, Parameters::kWhole, First::kNullBstr, false, false},
    {"NewWindow3, address as an empty VT_BSTR", DISPID_NEWWINDOW3, Parameters::kWhole, First::kEmptyBstr, false, false},
};

// The event's arguments as the browser lays them out, the last first:
// NewWindow2(ppDisp, Cancel), NewWindow3(ppDisp, Cancel, dwFlags,
// bstrUrlContext, bstrUrl); the first element then as the case gives it.
struct EventArguments {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    IDispatch* newWindow = nullptr;
    BSTR address = SysAllocString(kNewWindowAddress);
    BSTR context = SysAllocString(L"about:blank");
    BSTR empty = SysAllocString(L"");
    VARIANT arguments[5];
    UINT count = 0;

    EventArguments(DISPID id, First first) {
        for (VARIANT& argument : arguments) VariantInit(&argument);
        VARIANT* cancelArgument;
        if (id == DISPID_NEWWINDOW2) {
            count = 2;
            cancelArgument = &arguments[0];
            arguments[1].vt = VT_BYREF | VT_DISPATCH;
            arguments[1].ppdispVal = &newWindow;
        } else {
            count = 5;
            cancelArgument = &arguments[3];
            arguments[0].vt = VT_BSTR;
            arguments[0].bstrVal = address;
            arguments[1].vt = VT_BSTR;
            arguments[1].bstrVal = context;
            arguments[2].vt = VT_I4;
            arguments[2].lVal = NWMF_USERINITED | NWMF_FIRST;  // a click
            arguments[4].vt = VT_BYREF | VT_DISPATCH;
            arguments[4].ppdispVal = &newWindow;
        }
        cancelArgument->vt = VT_BYREF | VT_BOOL;
        cancelArgument->pboolVal = &cancel;

        VARIANT& last = arguments[0];
        switch (first) {
            case First::kWellFormed: break;
            case First::kBoolByValue: last.vt = VT_BOOL; break;
            case First::kNullBoolReference:
                last.vt = VT_BYREF | VT_BOOL;
                last.pboolVal = nullptr;
                break;
            case First::kI4: last.vt = VT_I4; break;
            case First::kI4Reference: last.vt = VT_BYREF | VT_I4; break;
            case First::kEmpty: last.vt = VT_EMPTY; break;
            case First::kNullBstr:
                last.vt = VT_BSTR;
                last.bstrVal = nullptr;
                break;
            case First::kEmptyBstr:
                last.vt = VT_BSTR;
                last.bstrVal = empty;
                break;
        }
    }
    ~EventArguments() {
        SysFreeString(address);
        SysFreeString(context);
        SysFreeString(empty);
    }
    EventArguments(const EventArguments&) = delete;
    EventArguments& operator=(const EventArguments&) = delete;
};

}  // namespace

TEST(EventSinkGuardsStandIn, MissingEmptyOrMistypedArgumentsCancelAndOpenNothing) {
    FormFixture form;
    ASSERT_NE(form.browser, nullptr);
    app::EventSink sink;
    for (const SinkCase& c : kSinkCases) {
        EventArguments event(c.id, c.first);
        VARIANT before = event.arguments[0];
        DISPPARAMS parameters{};
        switch (c.parameters) {
            case Parameters::kNone: break;
            case Parameters::kEmpty: parameters = DISPPARAMS{nullptr, nullptr, 0, 0}; break;
            case Parameters::kCountWithoutArray: parameters = DISPPARAMS{nullptr, nullptr, event.count, 0}; break;
            case Parameters::kArrayWithoutCount: parameters = DISPPARAMS{event.arguments, nullptr, 0, 0}; break;
            case Parameters::kWhole: parameters = DISPPARAMS{event.arguments, nullptr, event.count, 0}; break;
        }
        form.standIn.clearLog();

        HRESULT result = sink.Invoke(c.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                     c.parameters == Parameters::kNone ? nullptr : &parameters,
                                     nullptr, nullptr, nullptr);

        EXPECT_EQ(result, S_OK) << c.name;
        EXPECT_EQ(event.cancel, c.cancels ? VARIANT_TRUE : VARIANT_FALSE) << c.name << ": Cancel";
        EXPECT_EQ(event.arguments[0].vt, before.vt) << c.name << ": the first argument's type";
        EXPECT_EQ(event.arguments[0].byref, before.byref) << c.name << ": the first argument's value";
        EXPECT_EQ(std::wstring(event.address), kNewWindowAddress) << c.name << ": the address string";
        EXPECT_EQ(event.newWindow, nullptr) << c.name << ": ppDisp";
        std::vector<std::string> navigations = form.standIn.Calls("Navigate");
        if (c.navigates) {
            EXPECT_EQ(navigations, std::vector<std::string>{"Navigate " + Utf8(kNewWindowAddress)})
                << c.name;
        } else {
            EXPECT_TRUE(navigations.empty()) << c.name << ": navigated to " << form.LastNavigation();
        }
    }
}

// NewWindow3's flags as a 32-bit integer by value or by reference; any other
// type, a reference to nothing, or no flags argument at all, is no user's.
TEST(EventSinkGuardsStandIn, NewWindow3FlagsAreReadAsAnIntegerByValueOrReferenceAndOtherwiseNotTheUsers) {
    FormFixture form;
    ASSERT_NE(form.browser, nullptr);
    app::EventSink sink;
    LONG click = NWMF_USERINITED | NWMF_FIRST;
    ULONG clickUnsigned = NWMF_USERREQUESTED;
    LONG none = 0;
    BSTR text = SysAllocString(L"6");
    struct Case {
        const char* name;
        VARTYPE type;
        std::function<void(VARIANT&)> set;
        UINT count;  // arguments given: the address first
        bool navigates;
    };
    const Case cases[] = {
        {"VT_I4", VT_I4, [&](VARIANT& v) { v.lVal = click; }, 5, true},
        {"VT_UI4", VT_UI4, [&](VARIANT& v) { v.ulVal = clickUnsigned; }, 5, true},
        {"VT_BYREF|VT_I4", VT_BYREF | VT_I4, [&](VARIANT& v) { v.plVal = &click; }, 5, true},
        {"VT_BYREF|VT_UI4", VT_BYREF | VT_UI4, [&](VARIANT& v) { v.pulVal = &clickUnsigned; }, 5, true},
        {"VT_I4, only the three last arguments", VT_I4, [&](VARIANT& v) { v.lVal = click; }, 3, true},
        {"VT_I4 0", VT_I4, [&](VARIANT& v) { v.lVal = 0; }, 5, false},
        {"VT_BYREF|VT_I4 to 0", VT_BYREF | VT_I4, [&](VARIANT& v) { v.plVal = &none; }, 5, false},
        {"VT_BYREF|VT_I4 to nothing", VT_BYREF | VT_I4, [&](VARIANT& v) { v.plVal = nullptr; }, 5, false},
        {"VT_BYREF|VT_UI4 to nothing", VT_BYREF | VT_UI4, [&](VARIANT& v) { v.pulVal = nullptr; }, 5, false},
        {"VT_I2", VT_I2, [&](VARIANT& v) { v.lVal = click; }, 5, false},
        {"VT_BSTR \"6\"", VT_BSTR, [&](VARIANT& v) { v.bstrVal = text; }, 5, false},
        {"VT_EMPTY over a click", VT_EMPTY, [&](VARIANT& v) { v.lVal = click; }, 5, false},
        {"VT_NULL", VT_NULL, [&](VARIANT& v) { v.lVal = click; }, 5, false},
        {"no flags: two arguments", VT_I4, [&](VARIANT& v) { v.lVal = click; }, 2, false},
        {"no flags: the address alone", VT_I4, [&](VARIANT& v) { v.lVal = click; }, 1, false},
    };
    for (const Case& c : cases) {
        EventArguments event(DISPID_NEWWINDOW3, First::kWellFormed);
        event.arguments[2].vt = c.type;
        c.set(event.arguments[2]);
        DISPPARAMS parameters{event.arguments, nullptr, c.count, 0};
        form.standIn.clearLog();
        EXPECT_EQ(sink.Invoke(DISPID_NEWWINDOW3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                              &parameters, nullptr, nullptr, nullptr),
                  S_OK)
            << c.name;
        EXPECT_EQ(event.cancel, VARIANT_FALSE) << c.name << ": Cancel";
        std::vector<std::string> navigations = form.standIn.Calls("Navigate");
        if (c.navigates) {
            EXPECT_EQ(navigations, std::vector<std::string>{"Navigate " + Utf8(kNewWindowAddress)}) << c.name;
        } else {
            EXPECT_TRUE(navigations.empty()) << c.name << ": navigated to " << form.LastNavigation();
        }
    }
    SysFreeString(text);
}

TEST(EventSinkInterfaces, QueryInterfaceWithoutAnOutPointerIsRefused) {
    app::EventSink sink;
    struct Case {
        const IID* iid;
        const char* name;
    };
    const Case cases[] = {
        {&IID_IUnknown, "IUnknown"},
        {&IID_IDispatch, "IDispatch"},
        {&DIID_DWebBrowserEvents2, "DWebBrowserEvents2"},
        {&IID_IWebBrowser2, "IWebBrowser2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sink.QueryInterface(*c.iid, nullptr), E_POINTER) << c.name;
        EXPECT_EQ(sink.AddRef(), 1u) << c.name << ": the refused call changed the count";
        sink.Release();
    }
}

// Another program fills the keyword box with a million letters: one search
// takes only what fits into the address, and the program's peak memory does
// not grow by a multiple of the text (one string a letter did: 24 MiB).
TEST(SearchRequestHugeKeywordsStandIn, AMillionLettersAreCutWithoutMultiplyingMemory) {
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    constexpr size_t kLetters = 1000000;
    for (int index : {0, app::kForumSearchIndex}) {
        SCOPED_TRACE(index);
        std::wstring keywords(kLetters, L'\u0436');  // Cyrillic zhe, one byte in code page 1251
        keywords[0] = L' ';  // the forum search trims it
        Ask(program.Gadget(app::kSiteList), CB_SETCURSEL, static_cast<WPARAM>(index));
        ASSERT_TRUE(Ask(program.Gadget(app::kKeywordBox), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(keywords.c_str())));
        ASSERT_EQ(Ask(program.Gadget(app::kKeywordBox), WM_GETTEXTLENGTH), static_cast<LRESULT>(kLetters));
        size_t before = PeakWorkingSetBytes(program);
        ASSERT_NE(before, 0u) << "the peak working set cannot be read";
        size_t searches = program.Lines().size();
        PostMessageA(program.window, WM_COMMAND, 1001, 0);  // Enter's command
        ASSERT_TRUE(WaitUntil([&] {
            for (const std::string& line : program.Lines()) {
                if (line.rfind("Navigate ", 0) == 0 && program.Lines().size() > searches) return true;
            }
            return false;
        }));
        std::string navigation = program.Lines().back();
        std::wstring prefix = index == app::kForumSearchIndex ? kForum : kEngine;
        std::wstring restriction = index == app::kForumSearchIndex ? L"" : L"+site:" + Site(index);
        std::wstring letters = index == app::kForumSearchIndex ? keywords.substr(1) : keywords;
        EXPECT_EQ(navigation, "Navigate " + Utf8(Fitted(prefix, letters, restriction)));
        size_t after = PeakWorkingSetBytes(program);
        std::printf("peak working set before the search %.2f MiB, after %.2f MiB\n",
                    before / 1048576.0, after / 1048576.0);
        EXPECT_LT(after - before, size_t{8} << 20) << "the search raised the peak working set by "
                                                   << (after - before) / 1048576.0 << " MiB";
    }
    EXPECT_TRUE(program.Answers());
    EXPECT_EQ(CloseAndWait(program), 0);
}
