// The colour painting that the window procedure runs for control-colour messages.
#pragma once

#include <windows.h>

namespace gadgets {

// Sets the control's colours on the device context and returns the shared
// brush for its background.
HBRUSH PaintControlColour(HWND window, UINT message, HDC dc, HWND control);

}  // namespace gadgets
