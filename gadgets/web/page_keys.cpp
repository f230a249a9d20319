// The keys of the web gadgets: offered to the control, and Enter left to
// whatever the page has focused.
#include "gadgets/web/page_keys.h"

#include <exdisp.h>
#include <mshtml.h>

namespace gadgets {

namespace {

void Release(IUnknown* object) {
    if (object != nullptr) object->Release();
}

// The same COM object: the same IUnknown.
bool SameObject(IUnknown* one, IUnknown* other) {
    IUnknown* first = nullptr;
    IUnknown* second = nullptr;
    bool same = SUCCEEDED(one->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&first))) &&
                SUCCEEDED(other->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&second))) &&
                first != nullptr && first == second;
    Release(second);
    Release(first);
    return same;
}

bool IsEditable(IHTMLElement* element) {
    IHTMLElement3* element3 = nullptr;
    VARIANT_BOOL editable = VARIANT_FALSE;
    bool is = SUCCEEDED(element->QueryInterface(__uuidof(IHTMLElement3), reinterpret_cast<void**>(&element3))) &&
              element3 != nullptr && SUCCEEDED(element3->get_isContentEditable(&editable)) &&
              editable != VARIANT_FALSE;
    Release(element3);
    return is;
}

}  // namespace

bool OfferKeyToBrowser(IWebBrowser2* browser, MSG& message) {
    IOleInPlaceActiveObject* active = nullptr;
    if (browser == nullptr ||
        FAILED(browser->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active))) ||
        active == nullptr) {
        return false;
    }
    bool taken = active->TranslateAccelerator(&message) == S_OK;
    active->Release();
    return taken;
}

bool PageHasSomethingFocused(IWebBrowser2* browser) {
    IDispatch* document = nullptr;
    IHTMLDocument2* html = nullptr;
    IHTMLElement* active = nullptr;
    IHTMLElement* body = nullptr;
    bool focused = browser != nullptr && SUCCEEDED(browser->get_Document(&document)) &&
                   document != nullptr &&
                   SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html))) &&
                   html != nullptr && SUCCEEDED(html->get_activeElement(&active)) && active != nullptr;
    // The body is where the focus rests when nothing in particular has it,
    // unless the page is being edited (design mode) and Enter breaks a line.
    if (focused && SUCCEEDED(html->get_body(&body)) && body != nullptr && SameObject(active, body)) {
        focused = IsEditable(active);
    }
    Release(body);
    Release(active);
    Release(html);
    Release(document);
    return focused;
}

}  // namespace gadgets
