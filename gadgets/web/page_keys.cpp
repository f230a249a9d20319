// The keys of the web gadgets: offered to the control, and Enter left to a
// page field.
#include "gadgets/web/page_keys.h"

#include <exdisp.h>
#include <mshtml.h>

namespace gadgets {

namespace {

void Release(IUnknown* object) {
    if (object != nullptr) object->Release();
}

// Whether the string is one of `names`, compared without case; a null
// string is the empty one.
template <size_t N>
bool IsOneOf(BSTR text, const wchar_t* const (&names)[N]) {
    for (const wchar_t* name : names) {
        if (lstrcmpiW(text != nullptr ? text : L"", name) == 0) return true;
    }
    return false;
}

// The INPUT types whose field takes typed text; an INPUT without a type is
// a text field. Enter on a button, a check box or a radio button is left to
// the search.
constexpr const wchar_t* kTypedInputs[] = {
    L"",     L"text", L"password", L"search",   L"email",          L"url",   L"tel",
    L"number", L"date", L"time",   L"datetime", L"datetime-local", L"month", L"week",
};
constexpr const wchar_t* kTypedElements[] = {L"TEXTAREA", L"SELECT"};
constexpr const wchar_t* kInput[] = {L"INPUT"};

bool TakesTypedText(IHTMLElement* element) {
    BSTR tag = nullptr;
    BSTR type = nullptr;
    IHTMLInputElement* input = nullptr;
    IHTMLElement3* other = nullptr;
    VARIANT_BOOL editable = VARIANT_FALSE;
    bool typed = false;
    if (SUCCEEDED(element->get_tagName(&tag))) {
        if (IsOneOf(tag, kTypedElements)) {
            typed = true;
        } else if (IsOneOf(tag, kInput)) {
            typed = SUCCEEDED(element->QueryInterface(__uuidof(IHTMLInputElement),
                                                      reinterpret_cast<void**>(&input))) &&
                    input != nullptr && SUCCEEDED(input->get_type(&type)) &&
                    IsOneOf(type, kTypedInputs);
        } else {
            typed = SUCCEEDED(element->QueryInterface(__uuidof(IHTMLElement3),
                                                      reinterpret_cast<void**>(&other))) &&
                    other != nullptr && SUCCEEDED(other->get_isContentEditable(&editable)) &&
                    editable != VARIANT_FALSE;
        }
    }
    Release(other);
    Release(input);
    SysFreeString(type);
    SysFreeString(tag);
    return typed;
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

bool PageFieldHasFocus(IWebBrowser2* browser) {
    IDispatch* document = nullptr;
    IHTMLDocument2* html = nullptr;
    IHTMLElement* active = nullptr;
    bool field = browser != nullptr && SUCCEEDED(browser->get_Document(&document)) &&
                 document != nullptr &&
                 SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html))) &&
                 html != nullptr && SUCCEEDED(html->get_activeElement(&active)) && active != nullptr &&
                 TakesTypedText(active);
    Release(active);
    Release(html);
    Release(document);
    return field;
}

}  // namespace gadgets
