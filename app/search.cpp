// The search request: the form's state becomes one address for the browser.
#include "app/search.h"

#include "app/app.h"
#include "app/sites.h"
#include "gadgets/gadgets.h"

#include <cstdlib>
#include <vector>

namespace app {

namespace {

constexpr const wchar_t* kEnginePrefix = L"https://www.google.com/search?client=IE&rls=ru&q=";
constexpr const wchar_t* kForumSearchPrefix = L"https://www.radiokot.ru/forum/search.php?keywords=";
constexpr const wchar_t* kSiteRestriction = L"+site:";

// The keywords as pieces that the address may be cut between: one letter, or
// one escape. "%", "&", "#" and "+" would otherwise change the address's
// structure (C++ would search for C; a&b or a#b would drop the restriction).
std::vector<std::wstring> KeywordPieces(const std::string& keywords) {
    std::vector<std::wstring> pieces;
    wchar_t* wide = gadgets::ASCIITOUTF(keywords);
    for (const wchar_t* letter = wide; letter != nullptr && *letter != L'\0'; ++letter) {
        switch (*letter) {
            case L'%': pieces.push_back(L"%25"); break;
            case L'&': pieces.push_back(L"%26"); break;
            case L'#': pieces.push_back(L"%23"); break;
            case L'+': pieces.push_back(L"%2B"); break;
            default: pieces.push_back(std::wstring(1, *letter)); break;
        }
    }
    std::free(wide);
    return pieces;
}

std::wstring Widen(const std::string& ascii) {
    wchar_t* wide = gadgets::ASCIITOUTF(ascii);
    std::wstring text = wide != nullptr ? wide : L"";
    std::free(wide);
    return text;
}

// prefix + as many whole keyword pieces as fit + suffix, within the limit.
std::wstring Fit(const std::wstring& prefix, const std::vector<std::wstring>& pieces,
                 const std::wstring& suffix) {
    std::wstring address = prefix;
    size_t room = kMaxAddressUnits > prefix.size() + suffix.size()
                      ? kMaxAddressUnits - prefix.size() - suffix.size()
                      : 0;
    size_t used = 0;
    for (const std::wstring& piece : pieces) {
        if (used + piece.size() > room) break;
        address += piece;
        used += piece.size();
    }
    address += suffix;
    if (address.size() > kMaxAddressUnits) address.resize(kMaxAddressUnits);
    return address;
}

}  // namespace

std::wstring SearchAddress(int32_t siteIndex, const std::string& siteText,
                           const std::string& keywords) {
    if (siteIndex == kForumSearchIndex) {
        return Fit(kForumSearchPrefix, KeywordPieces(gadgets::TRIMA(keywords, " ")), L"");
    }
    // Spaces at either end are part of the query here.
    return Fit(kEnginePrefix, KeywordPieces(keywords), kSiteRestriction + Widen(siteText));
}

void SearchRequest() {
    int32_t index = gadgets::GetItemComboBox(kSiteList);
    std::string site = gadgets::GetComboBoxText(kSiteList, index);
    std::string keywords = gadgets::GetGadgetText(kKeywordBox, 1);
    wchar_t address[kMaxAddressUnits + 1] = {};
    std::wstring built = SearchAddress(index, site, keywords);
    built.copy(address, kMaxAddressUnits);
    gadgets::WEBGADGETNAVIGATE(Browser(), address);
}

}  // namespace app
