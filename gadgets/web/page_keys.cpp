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

// The document's root, the HTML element.
bool IsDocumentElement(IHTMLDocument2* document, IHTMLElement* element) {
    IHTMLDocument3* document3 = nullptr;
    IHTMLElement* root = nullptr;
    bool is = SUCCEEDED(document->QueryInterface(__uuidof(IHTMLDocument3), reinterpret_cast<void**>(&document3))) &&
              document3 != nullptr && SUCCEEDED(document3->get_documentElement(&root)) && root != nullptr &&
              SameObject(element, root);
    Release(root);
    Release(document3);
    return is;
}

// Whether a document's active element, no frame, is something in particular.
// The focus rests on the body, or on the HTML element, when nothing in
// particular has it; with no body yet the page is still loading and nothing
// of it is for Enter. A body or root being edited (design mode) takes Enter
// to break the line.
bool SomethingInParticular(IHTMLDocument2* document, IHTMLElement* active) {
    IHTMLElement* body = nullptr;
    if (FAILED(document->get_body(&body)) || body == nullptr) return false;
    bool resting = SameObject(active, body) || IsDocumentElement(document, active);
    Release(body);
    return resting ? IsEditable(active) : true;
}

// The document that a frame shows, with a reference; null when its window
// cannot be had or refuses it, as a frame of another origin refuses access.
IHTMLDocument2* ContentDocument(IHTMLFrameBase2* frame) {
    IHTMLWindow2* window = nullptr;
    if (FAILED(frame->get_contentWindow(&window)) || window == nullptr) return nullptr;
    IHTMLDocument2* document = nullptr;
    bool got = SUCCEEDED(window->get_document(&document));
    window->Release();
    return got ? document : nullptr;
}

// Frames nested deeper than this keep Enter for the page: no real page nests
// them so deep, and the walk ends whatever a page reports.
constexpr int kDeepestFrame = 10;

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
    IDispatch* top = nullptr;
    IHTMLDocument2* document = nullptr;
    if (browser == nullptr || FAILED(browser->get_Document(&top)) || top == nullptr) return false;
    bool html = SUCCEEDED(top->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document))) &&
                document != nullptr;
    top->Release();
    if (!html) return false;
    // A document whose focus is in a frame reports the FRAME or IFRAME as
    // its active element; the frame's own document has the focused element.
    for (int depth = 0;; ++depth) {
        IHTMLElement* active = nullptr;
        if (FAILED(document->get_activeElement(&active)) || active == nullptr) {
            document->Release();
            return false;
        }
        IHTMLFrameBase2* frame = nullptr;
        if (FAILED(active->QueryInterface(__uuidof(IHTMLFrameBase2), reinterpret_cast<void**>(&frame))) ||
            frame == nullptr) {
            bool focused = SomethingInParticular(document, active);
            active->Release();
            document->Release();
            return focused;
        }
        IHTMLDocument2* inner = depth < kDeepestFrame ? ContentDocument(frame) : nullptr;
        frame->Release();
        active->Release();
        document->Release();
        if (inner == nullptr) return true;  // a frame that cannot be looked into keeps Enter
        document = inner;
    }
}

}  // namespace gadgets
