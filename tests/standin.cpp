#include "standin.h"

#include "test_support.h"

#include "app/app.h"
#include "gadgets/gadgets.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace testing_support {

namespace {

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

}  // namespace

bool StandIn::Load() {
    module = LoadLibraryA(SystemAtlPath().c_str());
    bool loaded = module != nullptr && Find(module, "StandInLog", log) &&
           Find(module, "StandInClearLog", clearLog) && Find(module, "StandInSetBusy", setBusy) &&
           Find(module, "StandInSetDocumentKind", setDocumentKind) &&
           Find(module, "StandInSetLocation", setLocation) &&
           Find(module, "StandInBodyHtml", bodyHtml) &&
           Find(module, "StandInReferences", references) &&
           Find(module, "StandInFireNewWindow2", fireNewWindow2) &&
           Find(module, "StandInFireNewWindow3", fireNewWindow3) &&
           Find(module, "StandInFireNewWindow3WithFlags", fireNewWindow3WithFlags) &&
           Find(module, "StandInFireEvent", fireEvent) &&
           Find(module, "StandInTakeKeys", takeKeys) &&
           Find(module, "StandInSetActiveElement", setActiveElement) &&
           Find(module, "StandInSetFrameElement", setFrameElement) &&
           Find(module, "StandInSetDocumentState", setDocumentState) &&
           Find(module, "StandInResetPage", resetPage) &&
           Find(module, "StandInDocHostFlags", docHostFlags) &&
           Find(module, "StandInSetDocHostFlags", setDocHostFlags) &&
           Find(module, "StandInSetPage", setPage) && Find(module, "StandInClearPages", clearPages) &&
           Find(module, "StandInItemCalls", itemCalls) &&
           Find(module, "StandInLinkReferences", linkReferences);
    if (!loaded) return false;
    // The keys and the page's focus as a fresh control has them: the state
    // lives as long as the test process.
    takeKeys(nullptr, 0);
    resetPage();
    return true;
}

std::vector<std::string> StandIn::Calls(const std::string& call) const {
    std::vector<std::string> lines;
    std::istringstream text(Log());
    for (std::string line; std::getline(text, line);) {
        if (line == call || line.rfind(call + " ", 0) == 0) lines.push_back(line);
    }
    return lines;
}

std::string Utf8(const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), bytes, nullptr, nullptr);
    result.resize(result.size() - 1);
    return result;
}

StandInWeb::StandInWeb(int32_t number, const char* title, DWORD style, DWORD exStyle) {
    if (!standIn.Load()) {
        ADD_FAILURE() << "the stand-in atl.dll did not load";
        return;
    }
    window = OpenTestWindow(title);
    browser = gadgets::WEBGADGET(number, 10, 50, 300, 200, "about:blank", style, exStyle);
}

StandInForm::StandInForm() {
    if (!standIn.Load()) {
        ADD_FAILURE() << "the stand-in atl.dll did not load";
        return;
    }
    window = gadgets::OpenWindow("Zudizazuz", 10, 10, 735, 600, 0x10CF0000, 0);
    app::SetMainWindow(window);
    browser = gadgets::WEBGADGET(app::kWebGadget, 10, 50, 700, 500, "about:blank", 0, 0);
    app::SetBrowser(browser);
    app::CreateSearchForm();
    standIn.clearLog();
}

std::string StandInForm::LastNavigation() const {
    std::vector<std::string> calls = standIn.Calls("Navigate");
    return calls.empty() ? "(none)" : calls.back().substr(std::string("Navigate ").size());
}

}  // namespace testing_support
