// The search request: the form's state becomes one address for the browser.
#include "app/search.h"

#include "app/app.h"
#include "app/sites.h"
#include "gadgets/gadgets.h"

#include <cstdlib>
#include <string_view>

namespace app {

namespace {

constexpr const wchar_t* kEnginePrefix = L"https://www.google.com/search?client=IE&rls=ru&q=";
constexpr const wchar_t* kForumSearchPrefix = L"https://www.radiokot.ru/forum/search.php?keywords=";
constexpr const wchar_t* kSiteRestriction = L"+site:";

// The keywords' piece for one letter: the letter, or an escape for the four
// characters that would otherwise change the address's structure (C++ would
// search for C; a&b or a#b would drop the restriction). The address is cut
// between pieces, never inside an escape.
std::wstring_view KeywordPiece(const wchar_t& letter) {
    switch (letter) {
        case L'%': return L"%25";
        case L'&': return L"%26";
        case L'#': return L"%23";
        case L'+': return L"%2B";
        default: return std::wstring_view(&letter, 1);
    }
}

std::wstring Widen(const std::string& ascii) {
    wchar_t* wide = gadgets::ASCIITOUTF(ascii);
    std::wstring text = wide != nullptr ? wide : L"";
    std::free(wide);
    return text;
}

// prefix + as many whole keyword pieces as fit + suffix, within the limit.
// The keywords come from a box that another program may fill with millions
// of letters: only their start is converted, and the work stops once the
// room is used. An ANSI code page gives at most one UTF-16 unit a byte and
// takes at most two bytes a character, so twice the room, and a character
// more, is more than can fit.
std::wstring Fit(const std::wstring& prefix, std::string_view keywords, const std::wstring& suffix) {
    std::wstring address = prefix;
    size_t room = kMaxAddressUnits > prefix.size() + suffix.size()
                      ? kMaxAddressUnits - prefix.size() - suffix.size()
                      : 0;
    wchar_t* wide = gadgets::ASCIITOUTF(std::string(keywords.substr(0, 2 * (room + 1))));
    for (const wchar_t* letter = wide; letter != nullptr && *letter != L'\0'; ++letter) {
        std::wstring_view piece = KeywordPiece(*letter);
        if (piece.size() > room) break;
        address += piece;
        room -= piece.size();
    }
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

std::wstring SearchAddress(int32_t siteIndex, const std::string& siteText,
                           const std::string& keywords) {
    if (siteIndex == kForumSearchIndex) return Fit(kForumSearchPrefix, TrimSpaces(keywords), L"");
    // Spaces at either end are part of the query here.
    return Fit(kEnginePrefix, keywords, kSiteRestriction + Widen(siteText));
}

void SearchRequest() {
    int32_t index = gadgets::GetItemComboBox(kSiteList);
    std::string site = gadgets::GetComboBoxText(kSiteList, index);
    std::string keywords = gadgets::GetGadgetText(kKeywordBox, 1);
    // The placeholder is a hint, never a keyword.
    if (keywords == kPlaceholder) keywords.clear();
    wchar_t address[kMaxAddressUnits + 1] = {};
    std::wstring built = SearchAddress(index, site, keywords);
    built.copy(address, kMaxAddressUnits);
    gadgets::WEBGADGETNAVIGATE(Browser(), address);
}

}  // namespace app
