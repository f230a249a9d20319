// What the event pump asks of the web gadgets about the keyboard: a hosted
// WebBrowser control sees only the keys its container offers it, and keys
// typed into a field of its page belong to the page.
#pragma once

#include <windows.h>

struct IWebBrowser2;

namespace gadgets {

// The browser object of the web gadget that holds `window` (the host window
// or any window inside it); null when the window lies in no web gadget.
IWebBrowser2* BrowserHolding(HWND window);

// Offers a key message bound for a window inside a web gadget to that
// gadget's browser (from BrowserHolding; null: nothing is offered) through
// IOleInPlaceActiveObject::TranslateAccelerator. True when the control took
// the key (S_OK): the key is then done.
bool OfferKeyToBrowser(IWebBrowser2* browser, MSG& message);

// Whether the browser's page (null: no browser) has the focus on an element
// a person types into: a text-like INPUT, a TEXTAREA, a SELECT, or a
// content-editable element.
bool PageFieldHasFocus(IWebBrowser2* browser);

}  // namespace gadgets
