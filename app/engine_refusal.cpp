// The engine's page after one of the program's own searches: results stay;
// a refusal (an "update your browser" page, a script or captcha detour, a
// consent page, a page that links nowhere on the forum) gives way to the same
// search on the fallback, which takes the refused page's place in the
// browser's history.
#include "app/engine_refusal.h"

#include "app/app.h"
#include "app/search.h"

#include <exdisp.h>
#include <mshtml.h>

namespace app {

namespace {

// Lower case: the hosts are compared without regard to ASCII case.
constexpr const char* kEngineHost = "www.google.com";
constexpr const char* kConsentHost = "consent.google.com";
constexpr const char* kResultsPath = "/search";
constexpr const char* kRedirectPath = "/url";
// A results page links to the forum within its first few hundred links.
constexpr long kMostLinksRead = 1000;

// Where the check of the last search stands: the browser first commits a
// top-level navigation, then completes its document.
enum class Awaiting { kNothing, kCommit, kDocument };

Awaiting awaiting = Awaiting::kNothing;
bool refused = false;
std::string forumHost;
wchar_t fallbackAddress[kMaxAddressUnits + 1];

// Units of an address, from `begin` up to `end`.
struct Span {
    const wchar_t* begin;
    const wchar_t* end;
};

// Whether the units spell `lower` (ASCII, lower case) in any ASCII case.
bool Spells(Span text, const char* lower) {
    for (; text.begin != text.end; ++text.begin, ++lower) {
        wchar_t unit = *text.begin >= L'A' && *text.begin <= L'Z' ? *text.begin + 32 : *text.begin;
        if (*lower == '\0' || unit != static_cast<unsigned char>(*lower)) return false;
    }
    return *lower == '\0';
}

// The parts of a web address (http or https) that tell where it leads.
struct WebAddress {
    Span host;
    Span path;
    Span query;
};

const wchar_t* SkipUntil(const wchar_t* at, const wchar_t* stops) {
    while (*at != L'\0' && wcschr(stops, *at) == nullptr) ++at;
    return at;
}

// `address` ends with a zero unit.
bool Parse(const wchar_t* address, WebAddress& parts) {
    const wchar_t* colon = SkipUntil(address, L":/?#");
    Span scheme{address, colon};
    if (!(Spells(scheme, "http") || Spells(scheme, "https")) || colon[0] != L':' ||
        colon[1] != L'/' || colon[2] != L'/') {
        return false;
    }
    const wchar_t* authority = colon + 3;
    const wchar_t* authorityEnd = SkipUntil(authority, L"/?#");
    parts.host.begin = authority;  // after user:password@, where there is one
    for (const wchar_t* at = authority; at != authorityEnd; ++at) {
        if (*at == L'@') parts.host.begin = at + 1;
    }
    parts.host.end = parts.host.begin;
    while (parts.host.end != authorityEnd && *parts.host.end != L':') ++parts.host.end;
    parts.path = Span{authorityEnd, SkipUntil(authorityEnd, L"?#")};
    parts.query = Span{parts.path.end, parts.path.end};
    if (*parts.path.end == L'?') parts.query = Span{parts.path.end + 1, SkipUntil(parts.path.end, L"#")};
    return true;
}

int HexValue(wchar_t unit) {
    if (unit >= L'0' && unit <= L'9') return unit - L'0';
    unit |= 0x20;
    return unit >= L'a' && unit <= L'f' ? unit - L'a' + 10 : -1;
}

bool OnTheForum(const wchar_t* address) {
    WebAddress parts;
    return Parse(address, parts) && Spells(parts.host, forumHost.c_str());
}

// A redirect's target with its percent-escapes undone byte by byte, which
// is enough to read its scheme and host (ASCII), then checked.
bool TargetOnTheForum(Span escaped) {
    wchar_t target[2 * kMaxAddressUnits];
    size_t length = 0;
    for (const wchar_t* at = escaped.begin; at != escaped.end; ++at) {
        if (length + 1 == std::size(target)) return false;  // longer than any forum address
        int high = at + 2 < escaped.end && *at == L'%' ? HexValue(at[1]) : -1;
        int low = high >= 0 ? HexValue(at[2]) : -1;
        if (low >= 0) {
            target[length++] = static_cast<wchar_t>(high * 16 + low);
            at += 2;
        } else {
            target[length++] = *at;
        }
    }
    target[length] = L'\0';
    return OnTheForum(target);
}

// A link to a page of the forum: its address is on the forum's host, or it is
// the engine's redirect (/url?q=... or /url?url=...) to such an address. The
// host is read from the address, never looked for in its text: a refusal
// repeats the query, and the query names the forum.
bool LeadsToTheForum(const wchar_t* link) {
    WebAddress parts;
    if (!Parse(link, parts)) return false;
    if (Spells(parts.host, forumHost.c_str())) return true;
    if (!Spells(parts.host, kEngineHost) || !Spells(parts.path, kRedirectPath)) return false;
    const wchar_t* at = parts.query.begin;
    while (at < parts.query.end) {
        const wchar_t* name = at;
        while (at != parts.query.end && *at != L'=' && *at != L'&') ++at;
        Span parameter{name, at};
        const wchar_t* value = at;
        while (at != parts.query.end && *at != L'&') ++at;
        if (value != at && (Spells(parameter, "q") || Spells(parameter, "url")) &&
            TargetOnTheForum(Span{value + 1, at})) {
            return true;
        }
        ++at;  // past the '&'
    }
    return false;
}

// The engine sent the browser elsewhere than to its results: a captcha
// (/sorry/), a script detour (/httpservice/retry/enablejs), any other path
// of its own, or its consent page.
bool IsADetour(const wchar_t* location) {
    WebAddress parts;
    if (location == nullptr || !Parse(location, parts)) return false;
    return Spells(parts.host, kConsentHost) ||
           (Spells(parts.host, kEngineHost) && !Spells(parts.path, kResultsPath));
}

void Release(IUnknown* object) {
    if (object != nullptr) object->Release();
}

enum class Links { kToTheForum, kNowhereOnTheForum, kUnread };

// The first links of the collection, until one leads to the forum. A failing
// call leaves the page unread; an element that is no anchor (an image map's
// area) is passed over.
Links ReadEachLink(IHTMLElementCollection* links, long count) {
    for (long i = 0; i < count && i < kMostLinksRead; ++i) {
        VARIANT index{};
        index.vt = VT_I4;
        index.lVal = i;
        VARIANT none{};
        IDispatch* item = nullptr;
        IHTMLAnchorElement* anchor = nullptr;
        BSTR address = nullptr;
        HRESULT read = links->item(index, none, &item);
        if (SUCCEEDED(read) && item != nullptr &&
            SUCCEEDED(item->QueryInterface(IID_IHTMLAnchorElement, reinterpret_cast<void**>(&anchor))) &&
            anchor != nullptr) {
            read = anchor->get_href(&address);
        }
        bool found = SUCCEEDED(read) && address != nullptr && LeadsToTheForum(address);
        SysFreeString(address);
        Release(anchor);
        Release(item);
        if (FAILED(read)) return Links::kUnread;
        if (found) return Links::kToTheForum;
    }
    return Links::kNowhereOnTheForum;
}

// What the page's links say. A document, body or link collection that is
// missing, of another type or refused leaves the page unread.
Links ReadLinks(IWebBrowser2* browser) {
    IDispatch* document = nullptr;
    IHTMLDocument2* html = nullptr;
    IHTMLElement* body = nullptr;
    IHTMLElementCollection* links = nullptr;
    long count = 0;
    Links found = Links::kUnread;
    if (SUCCEEDED(browser->get_Document(&document)) && document != nullptr &&
        SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html))) &&
        html != nullptr && SUCCEEDED(html->get_body(&body)) && body != nullptr &&
        SUCCEEDED(html->get_links(&links)) && links != nullptr && SUCCEEDED(links->get_length(&count))) {
        found = ReadEachLink(links, count);
    }
    Release(links);
    Release(body);
    Release(html);
    Release(document);
    return found;
}

// Whether the event is the program's own browser's, not a frame's: the same
// object, compared as COM compares objects, through IUnknown.
bool IsTheBrowser(IDispatch* from) {
    IWebBrowser2* browser = Browser();
    IUnknown* event = nullptr;
    IUnknown* own = nullptr;
    bool same = from != nullptr && browser != nullptr &&
                SUCCEEDED(from->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&event))) &&
                SUCCEEDED(browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&own))) &&
                event != nullptr && event == own;
    Release(event);
    Release(own);
    return same;
}

}  // namespace

bool EngineRefused() { return refused; }

void ExpectEngineResults(const std::string& host, const std::wstring& fallback) {
    forumHost = host;
    fallbackAddress[fallback.copy(fallbackAddress, kMaxAddressUnits)] = L'\0';
    awaiting = Awaiting::kCommit;
}

void ForgetEngineSearch() { awaiting = Awaiting::kNothing; }

void NavigationCommitted(IDispatch* from) {
    if (awaiting == Awaiting::kCommit && IsTheBrowser(from)) awaiting = Awaiting::kDocument;
}

void DocumentCompleted(IDispatch* from) {
    if (awaiting != Awaiting::kDocument || !IsTheBrowser(from)) return;
    awaiting = Awaiting::kNothing;  // one read a search, whatever it finds
    IWebBrowser2* browser = Browser();
    BSTR location = nullptr;
    if (FAILED(browser->get_LocationURL(&location))) location = nullptr;
    bool detour = IsADetour(location);
    SysFreeString(location);
    if (!detour && ReadLinks(browser) != Links::kNowhereOnTheForum) return;
    refused = true;
    // In the refused page's place in the history, so that Back returns to
    // what the user saw before the search.
    BSTR address = SysAllocString(fallbackAddress);
    VARIANT flags{};
    flags.vt = VT_I4;
    flags.lVal = navNoHistory;
    browser->Navigate(address, &flags, nullptr, nullptr, nullptr);
    SysFreeString(address);
}

}  // namespace app
