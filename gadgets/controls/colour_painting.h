// The colour painting that the window procedure runs for control-colour messages.
#pragma once

#include <windows.h>

#include <cstdint>

namespace gadgets {

// Sets the control's colours on the device context and returns the shared
// brush for its background.
HBRUSH PaintControlColour(HWND window, UINT message, HDC dc, HWND control);

// The colour skip flag: while it is not 0, the next painting (other than a
// drop-down list's) sets no colours and clears it. ERR_ sets it for callers;
// a lookup of a window without a colour entry sets it here.
void SetColourSkip(int32_t flag);
// The flag's value; reading it clears it.
bool TakeColourSkip();

}  // namespace gadgets
