// The search request and the address it builds.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// The longest address the browser is given, in UTF-16 units.
constexpr size_t kMaxAddressUnits = 255;

// The address for the forum at `siteIndex` (its root address `siteText`) and
// the keywords as the keyword box holds them: the forum's own search page for
// the forum search index, otherwise a search engine query restricted to the
// forum. At most 255 units; the keywords are shortened to fit, never the
// restriction, and never inside an escape.
std::wstring SearchAddress(int32_t siteIndex, const std::string& siteText,
                           const std::string& keywords);

// Reads the form and sends the browser to the address; a keyword box that
// holds exactly the placeholder text searches with no keywords.
void SearchRequest();

}  // namespace app
