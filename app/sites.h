// The five forums, in the order the site list shows them.
#pragma once

namespace app {

constexpr const char* kSites[] = {
    "https://forum.ixbt.com/",
    "https://www.cyberforum.ru/",
    "https://www.radiokot.ru/forum/",  // a phpBB board: searched on its own search page
    "https://forum.ru-board.com/",
    "https://forum.oberoncore.ru/",
};

// The forum at this index is searched on its own search page; every other
// forum through the search engine, restricted to the forum's address.
constexpr int kForumSearchIndex = 2;

}  // namespace app
