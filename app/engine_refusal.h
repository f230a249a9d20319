// The search engine turning the embedded browser away, and the same search
// going on to an engine that serves browsers without modern script.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace app {

// Whether the engine has turned the browser away in this run (kept in memory
// only).
bool EngineRefused();

// The engine search just sent is checked once its page has loaded: the
// forum's bare host, and the address of the same search on the fallback.
void ExpectEngineResults(const std::string& forumHost, const std::wstring& fallback);

// No page is checked: the user went elsewhere (F5, Back, Forward, a new
// window's address), or the search sent needs no check.
void ForgetEngineSearch();

// The browser's NavigateComplete2 and DocumentComplete, with the browser
// object that the event is for (the top-level browser or a frame's).
void NavigationCommitted(IDispatch* from);
void DocumentCompleted(IDispatch* from);

}  // namespace app
