// The search request: the form's state becomes one address for the browser.
#include "app/search.h"

#include "app/app.h"
#include "app/engine_refusal.h"
#include "app/sites.h"
#include "gadgets/gadgets.h"

#include <cstdlib>
#include <string_view>

namespace app {

namespace {

constexpr const wchar_t* kEnginePrefix = L"https://www.google.com/search?client=IE&rls=ru&q=";
constexpr const wchar_t* kForumSearchPrefix = L"https://www.radiokot.ru/forum/search.php?keywords=";
constexpr const wchar_t* kSiteRestriction = L"+site:";
// The results page that DuckDuckGo serves browsers without modern script, in
// Russian; its "site:" takes a bare host.
constexpr const wchar_t* kFallbackPrefix = L"https://html.duckduckgo.com/html/?q=";
constexpr const wchar_t* kFallbackLanguage = L"&kl=ru-ru";

// One character of the keywords as the address carries it. ASCII goes as
// itself, except four characters that would otherwise change the address's
// structure (C++ would search for C; a&b or a#b would drop the restriction).
// Every other character goes as the percent-escapes of its UTF-8 bytes, so
// that no setting of the browser chooses its bytes on the wire (the forum's
// own search reads only UTF-8). The address is cut between pieces, never
// inside one character's escapes.
class KeywordPiece {
public:
    explicit KeywordPiece(char32_t character) {
        switch (character) {
            case U'%':
            case U'&':
            case U'#':
            case U'+': AddEscape(character); return;
            default: break;
        }
        if (character < 0x80) {
            units_[size_++] = static_cast<wchar_t>(character);
            return;
        }
        int continuations = character < 0x800 ? 1 : character < 0x10000 ? 2 : 3;
        constexpr unsigned kLeads[] = {0, 0xC0, 0xE0, 0xF0};
        AddEscape(kLeads[continuations] | (character >> (6 * continuations)));
        for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
            AddEscape(0x80 | ((character >> shift) & 0x3F));
        }
    }
    const wchar_t* data() const { return units_; }
    size_t size() const { return size_; }

private:
    void AddEscape(unsigned byte) {
        constexpr wchar_t kHex[] = L"0123456789ABCDEF";
        units_[size_++] = L'%';
        units_[size_++] = kHex[(byte >> 4) & 0xF];
        units_[size_++] = kHex[byte & 0xF];
    }

    wchar_t units_[12];  // four escaped bytes at most
    size_t size_ = 0;
};

// The character that starts at `text` (zero-terminated) and the units it
// takes: a surrogate pair is one character; a lone surrogate, which no
// character encodes, stands for U+FFFD, the replacement character.
char32_t NextCharacter(const wchar_t* text, size_t& units) {
    units = 1;
    char32_t first = static_cast<char16_t>(text[0]);
    if (first < 0xD800 || first > 0xDFFF) return first;
    char32_t second = static_cast<char16_t>(text[1]);
    if (first <= 0xDBFF && second >= 0xDC00 && second <= 0xDFFF) {
        units = 2;
        return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }
    return 0xFFFD;
}

// "+site:" and the forum, as the address carries it.
std::wstring Restriction(const std::string& site) {
    std::wstring restriction = kSiteRestriction;
    wchar_t* wide = gadgets::ASCIITOUTF(site);
    if (wide != nullptr) restriction += wide;
    std::free(wide);
    return restriction;
}

// prefix + as many whole keyword pieces as fit + suffix, within the limit.
// The keywords come from a box that another program may fill with millions
// of letters: only their start is converted, and the work stops once the
// room is used. Every byte of the keywords, in any ANSI code page, gives at
// least one unit of the address, so twice the room and a little more is more
// than can fit, and a character cut off at that end never fits either.
std::wstring Fit(const std::wstring& prefix, std::string_view keywords, const std::wstring& suffix) {
    std::wstring address = prefix;
    size_t room = kMaxAddressUnits > prefix.size() + suffix.size()
                      ? kMaxAddressUnits - prefix.size() - suffix.size()
                      : 0;
    wchar_t* wide = gadgets::ASCIITOUTF(std::string(keywords.substr(0, 2 * (room + 1))));
    AppendKeywords(address, wide, room);
    std::free(wide);
    address += suffix;
    if (address.size() > kMaxAddressUnits) address.resize(kMaxAddressUnits);
    return address;
}

// The keywords without spaces (only) at either end, as TRIMA(keywords, " ")
// gives them, without copying them.
std::string_view TrimSpaces(const std::string& keywords) {
    size_t first = keywords.find_first_not_of(' ');
    if (first == std::string::npos) return std::string_view();
    return std::string_view(keywords).substr(first, keywords.find_last_not_of(' ') - first + 1);
}

}  // namespace

size_t AppendKeywords(std::wstring& address, const wchar_t* keywords, size_t room) {
    size_t used = 0;
    size_t units = 0;
    for (const wchar_t* at = keywords; at != nullptr && *at != L'\0'; at += units) {
        KeywordPiece piece(NextCharacter(at, units));
        if (piece.size() > room - used) break;
        address.append(piece.data(), piece.size());
        used += piece.size();
    }
    return used;
}

std::wstring SearchAddress(int32_t siteIndex, const std::string& siteText,
                           const std::string& keywords) {
    if (siteIndex == kForumSearchIndex) return Fit(kForumSearchPrefix, TrimSpaces(keywords), L"");
    // Spaces at either end are part of the query here.
    return Fit(kEnginePrefix, keywords, Restriction(siteText));
}

std::string ForumHost(const std::string& siteText) {
    size_t scheme = siteText.find("://");
    size_t start = scheme != std::string::npos ? scheme + 3 : 0;
    return siteText.substr(start, siteText.find('/', start) - start);
}

std::wstring FallbackAddress(const std::string& forumHost, const std::string& keywords) {
    return Fit(kFallbackPrefix, keywords, Restriction(forumHost) + kFallbackLanguage);
}

void SearchRequest() {
    int32_t index = gadgets::GetItemComboBox(kSiteList);
    std::string site = gadgets::GetComboBoxText(kSiteList, index);
    std::string keywords = gadgets::GetGadgetText(kKeywordBox, 1);
    // The placeholder is a hint, never a keyword.
    if (IsPlaceholder(keywords)) keywords.clear();
    std::wstring built = SearchAddress(index, site, keywords);
    ForgetEngineSearch();
    if (index != kForumSearchIndex) {
        std::string host = ForumHost(site);
        std::wstring fallback = FallbackAddress(host, keywords);
        if (EngineRefused()) {
            built = fallback;
        } else {
            ExpectEngineResults(host, fallback);
        }
    }
    wchar_t address[kMaxAddressUnits + 1] = {};
    built.copy(address, kMaxAddressUnits);
    gadgets::WEBGADGETNAVIGATE(Browser(), address);
}

}  // namespace app
