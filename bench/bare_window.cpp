// A bare Windows program for the launch benchmark: one window, one message
// loop and two 10 ms timers, plain Win32.
#include "bare_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND window = bare::OpenCentredWindow();
    bare::SetTimers(window);
    return bare::RunMessageLoop();
}
