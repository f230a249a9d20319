// The browser engine the program's pages are drawn with.
#include "app/app.h"

#include <exdisp.h>

namespace app {

namespace {

constexpr wchar_t kEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
// Internet Explorer 11's own mode, whatever the page's doctype says.
constexpr DWORD kCurrentEngine = 11001;

}  // namespace

void AskForTheCurrentEngine() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;  // a cut path names no file
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at != L'\0'; ++at) {
        if (*at == L'\\' || *at == L'/') name = at + 1;
    }
    // A value already there is the user's or an administrator's choice.
    if (RegGetValueW(HKEY_CURRENT_USER, kEmulationKey, name, RRF_RT_ANY, nullptr, nullptr,
                     nullptr) != ERROR_FILE_NOT_FOUND) {
        return;
    }
    RegSetKeyValueW(HKEY_CURRENT_USER, kEmulationKey, name, REG_DWORD, &kCurrentEngine,
                    sizeof kCurrentEngine);
}

void SilenceScriptErrors(IWebBrowser2* browser) {
    if (browser != nullptr) browser->put_Silent(VARIANT_TRUE);
}

}  // namespace app
