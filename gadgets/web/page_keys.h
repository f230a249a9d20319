// What the event pump asks of the web gadgets about the keyboard: a hosted
// WebBrowser control sees only the keys its container offers it, and Enter
// on whatever its page has focused belongs to the page.
#pragma once

#include <windows.h>

struct IWebBrowser2;

namespace gadgets {

// ATL's WM_FORWARDMSG: a container sends it to a control's host window with
// the address of a key message that the control may translate.
constexpr UINT kForwardMessage = 0x037F;

// The browser object of the web gadget that holds `window` (the host window
// or any window inside it); null when the window lies in no web gadget.
IWebBrowser2* BrowserHolding(HWND window);

// Offers a key message bound for a window inside a web gadget to that
// gadget's browser (from BrowserHolding; null: nothing is offered) through
// IOleInPlaceActiveObject::TranslateAccelerator. True when the control took
// the key (S_OK): the key is then done.
bool OfferKeyToBrowser(IWebBrowser2* browser, MSG& message);

// Whether the browser's page (null: no browser) has the focus on something
// in particular: a field, a link, a button, an editable element, in the page
// or in the frame that holds its focus (followed through nested frames).
// Enter there is the page's, as in any browser: it submits or breaks the
// line, follows the link or presses the button. Nothing is focused with no
// document or no active element, with the focus resting on the body or the
// HTML element (of the page, or of the frame that holds the focus), or while
// that document has no body yet. A frame whose document cannot be reached
// (another origin refuses access) counts as focused: Enter stays the page's.
bool PageHasSomethingFocused(IWebBrowser2* browser);

}  // namespace gadgets
