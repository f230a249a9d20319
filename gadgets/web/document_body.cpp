// The HTML of the body of the page that a web gadget shows.
#include "gadgets/gadgets.h"

#include <exdisp.h>
#include <mshtml.h>

#include <cstdlib>

namespace gadgets {

namespace {

// The document's body element, with the interfaces met on the way; each is
// released when the walk ends. `body` is null when there is no HTML document
// with a body.
struct BodyWalk {
    IDispatch* document = nullptr;
    IHTMLDocument2* html = nullptr;
    IHTMLElement* body = nullptr;

    explicit BodyWalk(IWebBrowser2* browser) {
        if (browser == nullptr) return;
        if (FAILED(browser->get_Document(&document)) || document == nullptr) return;
        if (FAILED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html)))) {
            html = nullptr;
            return;
        }
        if (FAILED(html->get_body(&body))) body = nullptr;
    }
    ~BodyWalk() {
        if (body != nullptr) body->Release();
        if (document != nullptr) document->Release();
        if (html != nullptr) html->Release();
    }
    BodyWalk(const BodyWalk&) = delete;
    BodyWalk& operator=(const BodyWalk&) = delete;
};

}  // namespace

std::string WEBGADGETGETBODY(IWebBrowser2* browser, int32_t outer) {
    BodyWalk walk(browser);
    if (walk.body == nullptr) return std::string();
    BSTR html = nullptr;
    HRESULT result = outer == 0 ? walk.body->get_innerHTML(&html) : walk.body->get_outerHTML(&html);
    if (FAILED(result)) html = nullptr;
    std::string text = UTFTOASCII(html != nullptr ? html : L"");
    SysFreeString(html);
    return text;
}

void WEBGADGETSETBODY(IWebBrowser2* browser, std::string html) {
    BodyWalk walk(browser);
    if (walk.body == nullptr) return;
    wchar_t* wide = ASCIITOUTF(html);
    BSTR text = SysAllocString(wide != nullptr ? wide : L"");
    walk.body->put_innerHTML(text);
    SysFreeString(text);
    std::free(wide);
}

}  // namespace gadgets
