// The browser's event sink and the banner timer.
#include "app/event_sink.h"

#include "app/app.h"
#include "app/engine_refusal.h"
#include "gadgets/gadgets.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <shobjidl.h>

#include <cstdlib>

namespace app {

namespace {

// NewWindow3's dwFlags (the NWMF_* that the pop-up blocker weighs), passed
// by value or by reference as a 32-bit integer; none, or any other type,
// says nothing of the user.
DWORD NewWindowFlags(const DISPPARAMS& parameters) {
    if (parameters.cArgs < 3) return 0;
    const VARIANT& flags = parameters.rgvarg[2];  // bstrUrl, bstrUrlContext, dwFlags
    switch (flags.vt) {
        case VT_I4: return static_cast<DWORD>(flags.lVal);
        case VT_UI4: return flags.ulVal;
        case VT_BYREF | VT_I4: return flags.plVal != nullptr ? static_cast<DWORD>(*flags.plVal) : 0;
        case VT_BYREF | VT_UI4: return flags.pulVal != nullptr ? *flags.pulVal : 0;
        default: return 0;
    }
}

// The user's own click or key asked for the window: the first window of one
// click or key, "Open in new window" or Shift with a click, a window the
// user let through the pop-up blocker, or the blocker's override key. A
// page that opens windows by itself (on load, a second one from one click)
// is held back, as by every browser's pop-up blocker, and so is a window a
// page asks for as it unloads, whatever other flags come with it.
bool AskedByTheUser(DWORD flags) {
    constexpr DWORD kFirstOfAClick = DWORD{NWMF_USERINITED} | DWORD{NWMF_FIRST};
    constexpr DWORD kAskedOtherwise =
        DWORD{NWMF_USERREQUESTED} | DWORD{NWMF_USERALLOWED} | DWORD{NWMF_OVERRIDEKEY};
    if (flags & NWMF_UNLOADING) return false;
    return (flags & kFirstOfAClick) == kFirstOfAClick || (flags & kAskedOtherwise) != 0;
}

bool StartsWithIgnoringAsciiCase(const wchar_t* text, const wchar_t* lowerStart) {
    for (; *lowerStart != L'\0'; ++text, ++lowerStart) {
        wchar_t unit = *text >= L'A' && *text <= L'Z' ? static_cast<wchar_t>(*text - L'A' + L'a') : *text;
        if (unit != *lowerStart) return false;
    }
    return true;
}

// A web address: scheme http or https, in any letter case. A script address
// navigated from the host runs in the document the user reads (javascript:,
// vbscript:), and local or system ones (file:, res:, mk:, ms-settings:)
// reach past the web: none of them opens from a page's request.
bool IsWebAddress(const wchar_t* address) {
    return address != nullptr && (StartsWithIgnoringAsciiCase(address, L"http:") ||
                                  StartsWithIgnoringAsciiCase(address, L"https:"));
}

}  // namespace

const char* const kBannerHtml =
    "<P> <P> <P> <P> <P> <div style=\"text-align: center; color: rgb(204, 0, 0);\">"
    "<big><big><big><big><big>Поиск по сайтам</big></big></big></big></big><br></div>";

HRESULT EventSink::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG EventSink::AddRef() { return static_cast<ULONG>(++references_); }

ULONG EventSink::Release() { return static_cast<ULONG>(--references_); }

HRESULT EventSink::GetTypeInfoCount(UINT*) { return S_OK; }

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) { return S_OK; }

HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return S_OK; }

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                          EXCEPINFO*, UINT*) {
    // The arguments come last first: the first element is the event's last argument.
    if (parameters == nullptr || parameters->cArgs == 0 || parameters->rgvarg == nullptr) {
        return S_OK;
    }
    VARIANT& last = parameters->rgvarg[0];
    if (id == DISPID_NEWWINDOW2) {
        // Cancel: no second browser window opens.
        if (last.vt == (VT_BYREF | VT_BOOL) && last.pboolVal != nullptr) *last.pboolVal = VARIANT_TRUE;
    } else if (id == DISPID_NEWWINDOW3) {
        // A web address the user asked for opens here instead of in a new
        // window; what the code page cannot hold arrives as its default
        // character, and the address is judged as it would be navigated.
        if (last.vt == VT_BSTR && AskedByTheUser(NewWindowFlags(*parameters))) {
            std::string narrow = gadgets::UTFTOASCII(last.bstrVal);
            wchar_t* address = gadgets::ASCIITOUTF(narrow);
            if (IsWebAddress(address)) {
                ForgetEngineSearch();  // the user's own way, as a link is
                gadgets::WEBGADGETNAVIGATE(Browser(), address);
            }
            std::free(address);
        }
    } else if ((id == DISPID_NAVIGATECOMPLETE2 || id == DISPID_DOCUMENTCOMPLETE) &&
               parameters->cArgs >= 2 && parameters->rgvarg[1].vt == VT_DISPATCH) {
        // (pDisp, URL): the browser the event is for, the top-level one or a frame's.
        IDispatch* from = parameters->rgvarg[1].pdispVal;
        if (id == DISPID_NAVIGATECOMPLETE2) {
            NavigationCommitted(from);
        } else {
            DocumentCompleted(from);
        }
    }
    return S_OK;
}

void ConnectEventSink(IWebBrowser2* browser, EventSink& sink) {
    if (browser == nullptr) return;
    // The three interfaces and the cookie stay for the whole run: the sink is
    // never disconnected.
    IConnectionPointContainer* container = nullptr;
    if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer,
                                       reinterpret_cast<void**>(&container))) ||
        container == nullptr) {
        return;
    }
    IConnectionPoint* point = nullptr;
    if (FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point)) || point == nullptr) {
        return;
    }
    DWORD cookie = 0;
    point->Advise(static_cast<IDispatch*>(&sink), &cookie);
}

void CALLBACK BannerTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (gadgets::WEBGADGETSTATE(Browser()) != 0) return;  // still loading: next tick
    gadgets::WEBGADGETSETBODY(Browser(), kBannerHtml);
    KillTimer(MainWindow(), kBannerTimer);
}

}  // namespace app
