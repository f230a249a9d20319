// The search request and the address it builds.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// The longest address the browser is given, in UTF-16 units.
constexpr size_t kMaxAddressUnits = 255;

// Appends to `address` as many whole characters of `keywords` (UTF-16, zero
// ended; null for none) as fit into `room` units, each as an address carries
// it: ASCII as itself but "%", "&", "#" and "+" escaped; every other
// character as the percent-escapes of its UTF-8 bytes (a surrogate pair is
// one character, a lone surrogate stands for U+FFFD). Returns the units added.
size_t AppendKeywords(std::wstring& address, const wchar_t* keywords, size_t room);

// The address for the forum at `siteIndex` (its root address `siteText`) and
// the keywords as the keyword box holds them: the forum's own search page for
// the forum search index, otherwise a search engine query restricted to the
// forum. The address is ASCII only: every keyword character outside ASCII
// goes as the percent-escapes of its UTF-8 bytes. At most 255 units; the
// keywords are shortened to fit, never the restriction, and never inside one
// character's escapes.
std::wstring SearchAddress(int32_t siteIndex, const std::string& siteText,
                           const std::string& keywords);

// The bare host of a forum's root address: "forum.ixbt.com" for
// "https://forum.ixbt.com/".
std::string ForumHost(const std::string& siteText);

// The same search on the engine that serves browsers without modern script:
// the keywords as the engine's address carries them, restricted to the
// forum's bare host. At most 255 units, cut as the engine's address is; the
// restriction and the language stay whole.
std::wstring FallbackAddress(const std::string& forumHost, const std::string& keywords);

// Reads the form and sends the browser to the address; a keyword box that
// holds exactly the placeholder text searches with no keywords. Once the
// engine has refused the browser in this run, an engine search goes to the
// fallback straight away; until then the engine's page is checked when it
// has loaded.
void SearchRequest();

}  // namespace app
