// The program whatever code page the system gives programs that are not
// Unicode: it asks for Windows-1251 in its manifest, and where a process
// still runs in another code page it says so once, in Russian and English.
// The suites run under the machine's own locale (Wine derives the system
// code page from LANG: C.UTF-8 gives 1252); each prints the one it saw.
#include "app/app.h"
#include "app/sites.h"
#include "program_support.h"
#include "standin.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// The code page of the system's locale for programs that are not Unicode,
// which the manifest's setting overrides for the program's process only.
UINT SystemCodePage() {
    DWORD codePage = 0;
    GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<char*>(&codePage), sizeof codePage / sizeof(char));
    return codePage;
}

// The addresses the stand-in was sent to, as UTF-16.
std::vector<std::wstring> Navigations(const RunningProgram& program) {
    std::vector<std::wstring> addresses;
    for (const std::string& line : program.Lines()) {
        if (line.rfind("Navigate ", 0) == 0) addresses.push_back(Widen(line.substr(9), CP_UTF8));
    }
    return addresses;
}

// Empties the keyword box, clicks into it, pastes the text there and presses
// Enter; the address navigated to, its escapes decoded.
std::wstring PasteAndSearch(const RunningProgram& program, const std::wstring& keywords) {
    size_t before = Navigations(program).size();
    Ask(program.Gadget(app::kKeywordBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    program.Click(app::kKeywordBox);
    if (!SetClipboardText(keywords)) return L"<the clipboard could not be set>";
    if (!PressKeys("ctrl+v") ||
        !WaitUntil([&] { return program.WideText(app::kKeywordBox) == keywords; })) {
        return L"<the box holds " + program.WideText(app::kKeywordBox) + L">";
    }
    if (!PressKeys("Return") || !WaitUntil([&] { return Navigations(program).size() > before; })) {
        return L"<no navigation>";
    }
    std::wstring address = Navigations(program).back();
    return PercentDecoded(address).value_or(L"<not ASCII with whole UTF-8 escapes: " + address + L">");
}

}  // namespace

// The label and the placeholder read right as UTF-16 from another process,
// the banner reaches the page in its Russian words, and Cyrillic pasted
// into the box searches for itself in both kinds of search.
TEST(ProgramCodePageStandIn, TextsBannerAndPastedCyrillicAreRightInAnySystemCodePage) {
    std::printf("the system's code page for programs that are not Unicode: %u\n", SystemCodePage());
    RunningProgram program;
    Start(program);
    ASSERT_NE(program.window, nullptr);
    EXPECT_EQ(program.WideText(app::kSiteLabel), L"Поиск по сайту:");
    EXPECT_EQ(program.WideText(app::kKeywordBox), L"Введите текст для поиска");
    EXPECT_TRUE(WaitUntil([&] {
        return program.Log().find(Utf8(L">Поиск по сайтам</big>")) != std::string::npos;
    })) << program.Log();

    const std::wstring keywords = L"ёжик в тумане";
    EXPECT_EQ(PasteAndSearch(program, keywords),
              L"https://www.google.com/search?client=IE&rls=ru&q=" + keywords + L"+site:" +
                  Widen(app::kSites[0], CP_ACP));
    ASSERT_NE(Ask(program.Gadget(app::kSiteList), CB_SETCURSEL, app::kForumSearchIndex), CB_ERR);
    EXPECT_EQ(PasteAndSearch(program, keywords),
              L"https://www.radiokot.ru/forum/search.php?keywords=" + keywords);
    EXPECT_EQ(CloseAndWait(program), 0);
}

namespace {

// A copy of the program beside the stand-in whose manifest says `codePage`
// in its activeCodePage element, or has no such element when it is empty,
// or is the program's own when it is null; deleted with the object.
class ProgramCopy {
public:
    explicit ProgramCopy(const char* codePage) {
        char folder[MAX_PATH] = {};
        GetTempPathA(sizeof folder, folder);
        path_ = std::string(folder) + "zudizazuz-code-page-" + std::to_string(GetCurrentProcessId()) +
                "-" + std::to_string(++copies_) + ".exe";
        std::string original = WindowsPath(Env("ZUDIZAZUZ_EXE_STANDIN"));
        if (!CopyFileA(original.c_str(), path_.c_str(), FALSE)) {
            error_ = "could not copy " + original;
            return;
        }
        if (codePage != nullptr) error_ = RewriteManifest(codePage);
    }
    ~ProgramCopy() { DeleteFileA(path_.c_str()); }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    const std::string& Path() const { return path_; }
    // Empty when the copy is ready.
    const std::string& Error() const { return error_; }

private:
    static BOOL CALLBACK FirstLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
        *reinterpret_cast<WORD*>(found) = language;
        return FALSE;
    }

    std::string RewriteManifest(const std::string& codePage) {
        HMODULE image = LoadLibraryExA(path_.c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (image == nullptr) return "could not read " + path_;
        std::string manifest;
        WORD language = 0;
        if (HRSRC resource = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
            manifest.assign(static_cast<const char*>(LockResource(LoadResource(image, resource))),
                            SizeofResource(image, resource));
            EnumResourceLanguagesA(image, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), FirstLanguage,
                                   reinterpret_cast<LONG_PTR>(&language));
        }
        FreeLibrary(image);
        const std::string element =
            "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">";
        size_t start = manifest.find(element);
        size_t end = manifest.find("</activeCodePage>", start);
        if (start == std::string::npos || end == std::string::npos) {
            return "the program's manifest has no activeCodePage element:\n" + manifest;
        }
        if (codePage.empty()) {
            manifest.erase(start, end + std::string("</activeCodePage>").size() - start);
        } else {
            manifest.replace(start + element.size(), end - start - element.size(), codePage);
        }
        HANDLE update = BeginUpdateResourceA(path_.c_str(), FALSE);
        if (update == nullptr) return "could not open " + path_ + " for its resources";
        bool updated = UpdateResourceA(update, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), language,
                                       manifest.data(), static_cast<DWORD>(manifest.size()));
        if (!EndUpdateResourceA(update, !updated) || !updated) return "could not rewrite the manifest";
        return "";
    }

    static inline int copies_ = 0;
    std::string path_;
    std::string error_;
};

struct FoundBox {
    HWND owner;
    HWND box;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<FoundBox*>(context);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "#32770" && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == found->owner) {
        found->box = window;
        return FALSE;
    }
    return TRUE;
}

// The program's visible dialog box owned by its main window, or null.
HWND OwnedMessageBox(const RunningProgram& program) {
    FoundBox found{program.window, nullptr};
    EnumThreadWindows(program.process.dwThreadId, FindOwnedDialog, reinterpret_cast<LPARAM>(&found));
    return found.box;
}

BOOL CALLBACK CollectText(HWND child, LPARAM context) {
    wchar_t text[2048] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(child, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    *reinterpret_cast<std::wstring*>(context) += std::wstring(text) + L"\n";
    return TRUE;
}

// Every text in the box's windows, read as UTF-16.
std::wstring BoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
    return text;
}

}  // namespace

// The program as built runs in 1251 whatever the system's code page, and says
// nothing. A copy whose manifest lacks the setting runs in the system's
// code page, a copy that asks for UTF-8 in 65001: where that is not 1251 it
// opens its window and then says, in a message box owned by the window, in
// Russian and in English, what it needs and where Windows sets it; after it
// the program runs as ever. With or without the message, Enter searches
// from the main loop and Alt+F4 ends the program with status 0.
TEST(ProgramCodePageNoticeStandIn, TellsOnceWhereTheProcessIsNotInWindows1251) {
    const UINT system = SystemCodePage();
    std::printf("the system's code page for programs that are not Unicode: %u\n", system);
    struct Case {
        const char* what;
        const char* codePage;  // the manifest's activeCodePage; empty: none; null: as built
        bool tells;
    };
    const Case cases[] = {
        {"as built", nullptr, false},
        {"no code-page setting", "", system != 1251},
        {"UTF-8", "UTF-8", true},
    };
    // Outside 1251 the placeholder's bytes read otherwise, so the search's
    // keywords are whatever they became; the address is the engine's.
    const std::string search = "Navigate https://www.google.com/search?client=IE&rls=ru&q=";
    auto searches = [&](const RunningProgram& program) {
        size_t count = 0;
        for (const std::string& line : program.Lines()) count += line.rfind(search, 0) == 0 ? 1 : 0;
        return count;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramCopy copy(c.codePage);
        ASSERT_EQ(copy.Error(), "");
        RunningProgram program;
        ASSERT_NO_FATAL_FAILURE(StartAt(program, copy.Path(), false));
        if (c.tells) {
            HWND box = nullptr;
            ASSERT_TRUE(WaitUntil([&] { return (box = OwnedMessageBox(program)) != nullptr; }))
                << "no message box owned by the main window";
            std::wstring text = BoxText(box);
            for (const wchar_t* part :
                 {L"Язык программ, не поддерживающих Юникод", L"Изменить язык системы",
                  L"Language for non-Unicode programs", L"Change system locale", L"Windows-1251"}) {
                EXPECT_NE(text.find(part), std::wstring::npos) << "the message lacks " << Utf8(part)
                                                               << ":\n" << Utf8(text);
            }
            EXPECT_FALSE(IsWindowEnabled(program.window)) << "the message is not modal";
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(WaitUntil([&] { return OwnedMessageBox(program) == nullptr; }))
                << "the message box stayed";
            EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program.window) != FALSE; }));
        }
        // The keyword box has the focus: Enter searches, through the main
        // loop's shortcut. Had a message box been up, Enter would have gone
        // to it instead.
        ASSERT_TRUE(RunUnixToEnd("/usr/bin/xdotool windowfocus --sync " + XWindow(program.window)));
        ASSERT_TRUE(PressKeys("Return"));
        EXPECT_TRUE(WaitUntil([&] { return searches(program) == 1; })) << program.Log();
        EXPECT_EQ(OwnedMessageBox(program), nullptr) << "a message box came up";
        ASSERT_TRUE(PressKeys("alt+F4"));
        EXPECT_EQ(WaitForExit(program), 0);
    }
}
