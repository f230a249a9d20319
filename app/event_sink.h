// The browser's event sink and the start banner.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

struct IWebBrowser2;

namespace app {

// An IDispatch-only sink for the browser's DWebBrowserEvents2: it cancels
// NewWindow2, and opens NewWindow3's address in the web gadget itself when
// it is a web address (http or https) that the user's own click or key asked
// for; any other new-window request opens nothing. NavigateComplete2 and
// DocumentComplete go to the check of the engine's page (engine_refusal.h).
class EventSink : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;

private:
    int32_t references_ = 0;  // nothing is freed at 0: the sink lives for the whole run
};

// Connects the sink to the browser's DWebBrowserEvents2 connection point.
// Each step needs the interface that the one before gave; a missing one ends it.
void ConnectEventSink(IWebBrowser2* browser, EventSink& sink);

// The banner that the blank start page shows (Windows-1251).
extern const char* const kBannerHtml;

// Runs every 10 ms until the browser is idle, then writes the banner into the
// page once and kills itself.
void CALLBACK BannerTimer(HWND, UINT, UINT_PTR, DWORD);

}  // namespace app
