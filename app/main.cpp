// Zudizazuz: searches five forums and shows the results in an embedded browser.
#include "app/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND window = app::StartUp();
    app::WarnWhenNotInTheRussianCodePage(window);
    ExitProcess(static_cast<UINT>(app::RunMainLoop(window)));
}
