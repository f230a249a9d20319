// The browser's event sink and the banner timer.
#include "app/event_sink.h"

#include "app/app.h"
#include "gadgets/gadgets.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

#include <cstdlib>

namespace app {

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
        // The address the new window would show opens here instead; what the
        // code page cannot hold arrives as its default character.
        if (last.vt == VT_BSTR) {
            std::string narrow = gadgets::UTFTOASCII(last.bstrVal);
            wchar_t* address = gadgets::ASCIITOUTF(narrow);
            gadgets::WEBGADGETNAVIGATE(Browser(), address);
            std::free(address);
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
