// The browser stand-in (the test prefix's system atl.dll, picked up with
// atl=n), as tests steer and read it.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <exdisp.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// What a page of the stand-in's table holds: a navigation to an address
// that begins with `start` ends at `final` and loads the page once the
// navigation's message comes round (NavigateComplete2 and DocumentComplete
// for the top-level browser, or a frame's); `body` null: a document without
// a body; `links` the addresses of its links, separated by spaces ("area:"
// before one: an element that is no anchor).
struct StandInPage {
    std::wstring start;
    std::wstring final;
    std::wstring title;
    const wchar_t* body;
    std::wstring links;
    int flags = 0;
    LONG length = 0;  // the links collection's length; 0: the number of links
};
enum StandInPageFlags {
    kPageInAFrame = 1,     // the events name a frame, not the top-level browser
    kPageNoLinks = 2,      // get_links fails
    kPageItemsFail = 4,    // the collection's item fails
    kPageNotHtml = 8,      // the document is no HTML document
    kPageNoDocument = 16,  // the browser holds no document
    kPageNoCommit = 32,    // DocumentComplete alone, without NavigateComplete2
};

struct StandIn {
    HMODULE module = nullptr;
    const char* (*log)() = nullptr;
    void (*clearLog)() = nullptr;
    void (*setBusy)(int) = nullptr;
    void (*setDocumentKind)(int) = nullptr;
    void (*setLocation)(const wchar_t*) = nullptr;
    const wchar_t* (*bodyHtml)() = nullptr;
    LONG (*references)(int) = nullptr;
    VARIANT_BOOL (*fireNewWindow2)() = nullptr;
    VARIANT_BOOL (*fireNewWindow3)(const wchar_t*) = nullptr;  // with the flags 0
    VARIANT_BOOL (*fireNewWindow3WithFlags)(const wchar_t*, DWORD flags) = nullptr;
    void (*fireEvent)(DISPID) = nullptr;
    void (*takeKeys)(const int*, int) = nullptr;
    void (*setActiveElement)(const wchar_t* tag, const wchar_t* type, int editable) = nullptr;
    // The active element of a frame's document (level 1 to 3; a FRAME or
    // IFRAME at level n shows level n + 1, one at level 3 level 3 again), or
    // of the page itself (level 0). BODY stands for the body, HTML for the
    // document element, "" for none.
    void (*setFrameElement)(int level, const wchar_t* tag, const wchar_t* type, int editable) = nullptr;
    // Whether a document has a body yet, and whether its window refuses it
    // (a frame of another origin).
    void (*setDocumentState)(int level, int hasBody, int refusesAccess) = nullptr;
    // Every document with a body and open; the page's focus on its body,
    // each frame's on a field.
    void (*resetPage)() = nullptr;
    // A page of the stand-in's table (see StandInPage); with no start it
    // loads now, as a page the browser reaches by itself.
    void (*setPage)(const wchar_t* start, const wchar_t* final, const wchar_t* title,
                    const wchar_t* body, const wchar_t* links, int flags, LONG length) = nullptr;
    void (*clearPages)() = nullptr;
    // Items of the loaded page's links collection asked for since it loaded,
    // and the references the links and their collection hold.
    LONG (*itemCalls)() = nullptr;
    LONG (*linkReferences)() = nullptr;
    // The control host's doc-host flags (IAxWinAmbientDispatch), and new ones for it.
    DWORD (*docHostFlags)() = nullptr;
    void (*setDocHostFlags)(DWORD) = nullptr;

    // Loads the stand-in; false when the "atl.dll" that loads is not it.
    bool Load();
    std::string Log() const { return log(); }
    void SetPage(const StandInPage& page) const {
        setPage(page.start.c_str(), page.final.c_str(), page.title.c_str(), page.body,
                page.links.c_str(), page.flags, page.length);
    }
    // The logged lines that start with `call` (a call name), in order.
    std::vector<std::string> Calls(const std::string& call) const;
};

enum StandInObject {
    kBrowserObject = 0, kContainer = 1, kConnectionPoint = 2, kDocument = 3, kBody = 4,
    kBareControl = 5,  // the control that is no browser (ZUDIZAZUZ_STANDIN_NO_BROWSER)
    kActiveElement = 6,
    kHost = 7,  // the control host (AtlAxGetHost)
    kRestOfThePage = 8,  // the top document element and window, and every object of the frames
};
// The doc-host flags a fresh stand-in host starts with: DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_THEME.
constexpr DWORD kStandInFirstDocHostFlags = 0x00040004;

std::string Utf8(const std::wstring& text);

// A test window of its own with a web gadget under `number` hosting the
// stand-in's browser; with the default styles the gadget is made as the
// program makes its own.
struct StandInWeb {
    StandIn standIn;
    HWND window = nullptr;
    IWebBrowser2* browser = nullptr;

    explicit StandInWeb(int32_t number, const char* title = "web gadget",
                        DWORD style = WS_VSCROLL | WS_HSCROLL, DWORD exStyle = WS_EX_CLIENTEDGE);
};

// A main window like the program's, with the stand-in's browser as the web
// gadget and the search form, the stand-in's log cleared.
struct StandInForm {
    StandIn standIn;
    HWND window = nullptr;
    IWebBrowser2* browser = nullptr;

    StandInForm();
    // The address of the last navigation, as the browser was given it.
    std::string LastNavigation() const;
};

}  // namespace testing_support
