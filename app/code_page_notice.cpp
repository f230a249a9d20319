// The word to the user where the process does not run in the Russian code
// page: the program's texts are stored in Windows-1251 and the gadgets work
// in the process's code page, so elsewhere the texts read wrong and Russian
// keywords reach the search as "?". The manifest asks for the code page, but
// only Windows 11 and Server 2022 (build 20348) on honour that; earlier
// systems give the code page the user set for programs that are not Unicode.
#include "app/app.h"

namespace app {

namespace {

constexpr UINT kRussianCodePage = 1251;

// Stored in Windows-1251 like every text of the program, and made UTF-16
// through that code page by its number, not through the process's: the box
// reads right whatever code page the process has.
constexpr char kInRussian[] =
    "Zudizazuz работает в русской кодовой странице Windows-1251, а Windows запускает его в "
    "другой: надписи и поиск по-русски будут неверны.\n\n"
    "Как исправить: Параметры > Время и язык > Язык и регион > Административные языковые "
    "параметры > Изменить язык системы (или Панель управления > Регион > Дополнительно). "
    "«Язык программ, не поддерживающих Юникод»: «Русский (Россия)»; флажок «Бета-версия: "
    "Использовать Юникод (UTF-8)...» снять; перезагрузить компьютер.";
// ASCII: the same UTF-16 through any code page.
constexpr char kInEnglish[] =
    "Zudizazuz works in the Russian code page, Windows-1251, but Windows runs it in another: "
    "its texts and Russian searches will be wrong.\n\n"
    "To fix it: Settings > Time & language > Language & region > Administrative language "
    "settings > Change system locale (or Control Panel > Region > Administrative). "
    "\"Language for non-Unicode programs\": \"Russian (Russia)\"; clear \"Beta: Use Unicode "
    "UTF-8...\"; restart the computer.";
constexpr char kBetweenTheLanguages[] = "\n\n\n";

// Appends `text`, converted from code page 1251, at `at` within `end`; where
// in the buffer the next text goes.
wchar_t* Append(wchar_t* at, wchar_t* end, const char* text) {
    int written = MultiByteToWideChar(kRussianCodePage, 0, text, -1, at, static_cast<int>(end - at));
    return written > 0 ? at + written - 1 : at;  // over the terminating zero
}

}  // namespace

void WarnWhenNotInTheRussianCodePage(HWND window) {
    if (GetACP() == kRussianCodePage) return;
    wchar_t message[sizeof kInRussian + sizeof kBetweenTheLanguages + sizeof kInEnglish];
    wchar_t* end = message + sizeof message / sizeof *message;
    message[0] = L'\0';
    wchar_t* at = Append(message, end, kInRussian);
    at = Append(at, end, kBetweenTheLanguages);
    Append(at, end, kInEnglish);
    MessageBoxW(window, message, L"Zudizazuz", MB_OK | MB_ICONWARNING);
}

}  // namespace app
