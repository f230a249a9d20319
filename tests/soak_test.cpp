// Soaks: many search requests through the real form and the browser
// stand-in, many body writes and reads, many repaints while the library
// paints colours. Each prints its figures (count, time, working set, and the
// room left in the GDI table where GDI is at stake) and checks them against
// the tolerances it states; time is printed, never checked.
#include "app/app.h"
#include "app/search.h"
#include "app/sites.h"
#include "gadgets/events/event_state.h"
#include "standin.h"
#include "test_support.h"

#include <exdisp.h>
#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

// Working set growth allowed between the end of the warm-up and the end of a
// soak. A leak of a few dozen bytes a step would pass it over 100,000 steps.
constexpr SIZE_T kWorkingSetTolerance = 4u << 20;
constexpr int kWarmUp = 1000;
constexpr int kSamples = 10;  // working set samples printed over a soak

// Wine leaves PrivateUsage at 0; the working set is what it reports.
SIZE_T WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

std::string MiB(SIZE_T bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MiB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

// The figures of one soak: the working set after the warm-up, samples along
// the way, the end, and the time the measured steps took.
class SoakFigures {
public:
    SoakFigures(const char* what, int steps) : what_(what), steps_(steps) {}

    // Call after the warm-up, right before the measured steps.
    void Begin() {
        baseline_ = WorkingSet();
        largest_ = baseline_;
        start_ = std::chrono::steady_clock::now();
    }

    // Call after step `done` (counting from 1); samples now and then.
    void After(int done) {
        if (done % (steps_ / kSamples) != 0) return;
        SIZE_T now = WorkingSet();
        largest_ = std::max(largest_, now);
        samples_ << (samples_.tellp() > 0 ? ", " : "") << done << ": " << MiB(now);
    }

    void Finish() {
        seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        end_ = WorkingSet();
        std::cout << "[ SOAK     ] " << what_ << ": " << steps_ << " after a warm-up of " << kWarmUp
                  << " in " << Fixed(seconds_, 1) << " s ("
                  << Fixed(steps_ / std::max(seconds_, 1e-9), 0) << " a second)\n"
                  << "[ SOAK     ] working set " << MiB(baseline_) << " after the warm-up, "
                  << MiB(end_) << " at the end: growth " << MiB(Growth()) << ", largest seen "
                  << MiB(largest_) << "; tolerance " << MiB(kWorkingSetTolerance) << "\n"
                  << "[ SOAK     ] samples: " << samples_.str() << std::endl;
        testing::Test::RecordProperty("steps", steps_);
        testing::Test::RecordProperty("milliseconds", static_cast<int>(seconds_ * 1000));
        testing::Test::RecordProperty("working_set_after_warm_up", std::to_string(baseline_));
        testing::Test::RecordProperty("working_set_at_end", std::to_string(end_));
        testing::Test::RecordProperty("working_set_growth", std::to_string(Growth()));
        testing::Test::RecordProperty("working_set_tolerance", std::to_string(kWorkingSetTolerance));
    }

    SIZE_T Growth() const { return end_ > baseline_ ? end_ - baseline_ : 0; }

    std::string Summary() const {
        return std::string(what_) + ": working set " + MiB(baseline_) + " -> " + MiB(end_) +
               " (samples " + samples_.str() + ")";
    }

private:
    static std::string Fixed(double value, int decimals) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        return text;
    }

    const char* what_;
    int steps_;
    SIZE_T baseline_ = 0;
    SIZE_T largest_ = 0;
    SIZE_T end_ = 0;
    double seconds_ = 0;
    std::ostringstream samples_;
    std::chrono::steady_clock::time_point start_;
};

// Once a soak has used up the GDI table, CreateSolidBrush gives null or
// something that is no brush.
testing::AssertionResult BrushesStillMade() {
    constexpr int kBrushes = 100;
    std::vector<HBRUSH> brushes;
    testing::AssertionResult result = testing::AssertionSuccess();
    for (int i = 0; i < kBrushes && result; ++i) {
        HBRUSH brush = CreateSolidBrush(RGB(i, 255 - i, 7));
        DWORD type = GetObjectType(brush);
        if (brush == nullptr || type != OBJ_BRUSH) {
            result = testing::AssertionFailure()
                     << "CreateSolidBrush number " << i + 1 << " of " << kBrushes << " gave "
                     << brush << " of object type " << type << " (a brush is " << OBJ_BRUSH << ")";
        }
        brushes.push_back(brush);
    }
    for (HBRUSH brush : brushes) DeleteObject(brush);
    return result;
}

// Wine's GDI table holds about 65,000 objects. A soak fills it up to a known
// room before it starts and counts the room again at the end: the room lost
// is the number of GDI objects that the soak leaked, and with the table this
// full a leak of one object every few steps also exhausts it early.
constexpr int kGdiRoom = 10000;
constexpr int kGdiLeakTolerance = 100;  // objects that may stay behind after a soak

class GdiTable {
public:
    GdiTable() = default;
    GdiTable(const GdiTable&) = delete;
    GdiTable& operator=(const GdiTable&) = delete;
    ~GdiTable() { Empty(); }

    // Takes brushes until the table is full, then gives back `room` of them.
    // False when the table did not fill within a bound far above its size.
    bool LeaveRoom(int room) {
        constexpr int kBound = 1000000;
        while (static_cast<int>(held_.size()) < kBound) {
            HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
            if (brush == nullptr) break;
            held_.push_back(brush);
        }
        if (static_cast<int>(held_.size()) >= kBound) return false;
        for (int i = 0; i < room && !held_.empty(); ++i) {
            DeleteObject(held_.back());
            held_.pop_back();
        }
        return true;
    }

    // The objects that can still be made: made until none comes, then freed.
    int Room() const {
        std::vector<HBRUSH> probe;
        for (HBRUSH brush; (brush = CreateSolidBrush(RGB(4, 5, 6))) != nullptr;) {
            probe.push_back(brush);
        }
        for (HBRUSH brush : probe) DeleteObject(brush);
        return static_cast<int>(probe.size());
    }

    size_t Held() const { return held_.size(); }

    void Empty() {
        for (HBRUSH brush : held_) DeleteObject(brush);
        held_.clear();
    }

private:
    std::vector<HBRUSH> held_;
};

// The room in the GDI table when the table was filled (before the warm-up),
// when the measured steps began, and at the end.
struct GdiRooms {
    int filled = 0;
    int begun = 0;
    int ended = 0;

    int Lost() const { return filled - ended; }

    void Report(const char* what, size_t held) const {
        std::cout << "[ SOAK     ] GDI: " << held << " brushes hold the table full; room "
                  << filled << " objects after filling, " << begun << " after the warm-up, "
                  << ended << " after the " << what << ": " << Lost() << " lost; tolerance "
                  << kGdiLeakTolerance << std::endl;
        testing::Test::RecordProperty("gdi_room_filled", filled);
        testing::Test::RecordProperty("gdi_room_at_end", ended);
    }

    std::string Summary() const {
        return "room " + std::to_string(filled) + " -> " + std::to_string(begun) + " -> " +
               std::to_string(ended);
    }
};

// Counts failures of a check repeated in a loop, reporting the first one in
// full so that a broken soak does not print 100,000 lines.
class FirstFailure {
public:
    void Check(bool ok, const std::string& whenNot) {
        if (ok) return;
        if (failures_++ == 0) ADD_FAILURE() << whenNot;
    }
    int Failures() const { return failures_; }

private:
    int failures_ = 0;
};

// ANSI bytes as UTF-16, one unit a byte in a single-byte code page.
std::wstring FromAnsi(const std::string& bytes) {
    if (bytes.empty()) return L"";
    std::wstring wide(bytes.size(), L'\0');
    int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    wide.data(), static_cast<int>(wide.size()));
    wide.resize(units > 0 ? static_cast<size_t>(units) : 0);
    return wide;
}

// ============================================================================
// Search requests
// ============================================================================

using FormFixture = StandInForm;

// Keywords of all kinds: Cyrillic, the escaped characters, spaces at the
// ends, a tab, and more than the address holds.
std::string SoakKeywords(int step) {
    static const std::vector<std::string> kKeywords = {
        "abc",
        "  Привет мир  ",
        "C++ & C# 100%",
        "\tтабуляция\t",
        std::string(300, '\xE6'),  // "ж" in Windows-1251, cut to fit
        "",
    };
    std::string keywords = kKeywords[static_cast<size_t>(step) % kKeywords.size()];
    return step % 7 == 0 ? keywords : keywords + " " + std::to_string(step);
}

// Takes every recorded event off the stack, as the main loop would.
int DrainStack() {
    int taken = 0;
    for (; EventStackCount() > 0; ++taken) WINDOWEVENT();
    return taken;
}

// One request as the user makes it: pick a site, type, press OK. The events
// it records are taken at once; the queue (paint messages above all) is
// emptied every tenth request, which halves the soak's time on Wine, where
// every look at the queue is a round trip to the wine server.
void Request(int step) {
    SetItemComboBox(app::kSiteList, step % 5);
    SetGadgetText(app::kKeywordBox, SoakKeywords(step));
    app::SearchRequest();
    DrainStack();
    if (step % 10 == 9) Drain();
}

// Requests between two looks at (and clearings of) the stand-in's call log.
constexpr int kLogEvery = 50;
constexpr int kRequests = 100000;

}  // namespace

TEST(SoakSearchStandIn, HundredThousandRequestsKeepWorkingSetAndGdiFlat) {
    FormFixture form;
    ASSERT_NE(form.browser, nullptr);
    Drain();
    GdiTable gdi;
    ASSERT_TRUE(gdi.LeaveRoom(kGdiRoom)) << "the GDI table did not fill";
    GdiRooms rooms;
    rooms.filled = gdi.Room();
    for (int step = 0; step < kWarmUp; ++step) {
        Request(step);
        if ((step + 1) % kLogEvery == 0) form.standIn.clearLog();
    }
    form.standIn.clearLog();
    rooms.begun = gdi.Room();

    SoakFigures figures("search requests", kRequests);
    FirstFailure navigations;
    figures.Begin();
    for (int done = 1; done <= kRequests; ++done) {
        int step = kWarmUp + done - 1;
        Request(step);
        if (done % kLogEvery == 0) {
            // Every request of the stretch reached the browser; the last one
            // with the address that its form state makes.
            std::vector<std::string> calls = form.standIn.Calls("Navigate");
            int index = step % 5;
            std::string expected = "Navigate " + Utf8(app::SearchAddress(
                                                     index, app::kSites[index], SoakKeywords(step)));
            std::string last = calls.empty() ? "(none)" : calls.back();
            navigations.Check(calls.size() == kLogEvery && last == expected,
                              "request " + std::to_string(done) + ": " +
                                  std::to_string(calls.size()) + " navigations in the last " +
                                  std::to_string(kLogEvery) + " requests, the last \"" + last +
                                  "\", expected \"" + expected + "\"");
            form.standIn.clearLog();
        }
        figures.After(done);
    }
    figures.Finish();
    Drain();
    rooms.ended = gdi.Room();
    rooms.Report("requests", gdi.Held());
    gdi.Empty();
    EXPECT_EQ(navigations.Failures(), 0);
    EXPECT_LT(figures.Growth(), kWorkingSetTolerance) << figures.Summary();
    EXPECT_LE(rooms.Lost(), kGdiLeakTolerance)
        << "GDI objects left behind by the search requests (" << rooms.Summary() << ")";
    EXPECT_TRUE(BrushesStillMade()) << "after " << kRequests << " search requests";
}

namespace {

// ============================================================================
// Body writes and reads
// ============================================================================

// Bodies of changing length and content; now and then a long one.
std::string SoakBody(int step) {
    if (step % 97 == 0) return "<pre>" + std::string(4000 + step % 1000, '\xE6') + "</pre>";
    return "<p>Поиск по сайтам " + std::to_string(step) + "</p>" +
           std::string(static_cast<size_t>(step % 64), 'x');
}

constexpr int kBodySteps = 100000;
constexpr int kBodyLookEvery = 1000;

}  // namespace

TEST(SoakBodyStandIn, HundredThousandWritesAndReadsLeaveNothingReferenced) {
    StandInWeb web(31, "body soak", 0, 0);
    ASSERT_NE(web.browser, nullptr);
    web.standIn.setDocumentKind(1);
    const LONG browserReferences = web.standIn.references(kBrowserObject);

    FirstFailure reads;
    FirstFailure stored;
    FirstFailure references;
    auto writeAndRead = [&](int step) {
        std::string html = SoakBody(step);
        WEBGADGETSETBODY(web.browser, html);
        int32_t outer = step % 2;
        std::string read = WEBGADGETGETBODY(web.browser, outer);
        std::string expected = outer != 0 ? "<BODY>" + html + "</BODY>" : html;
        reads.Check(read == expected, "step " + std::to_string(step) + ": read " +
                                          std::to_string(read.size()) + " bytes \"" +
                                          read.substr(0, 60) + "\", expected " +
                                          std::to_string(expected.size()) + " bytes \"" +
                                          expected.substr(0, 60) + "\"");
        if ((step + 1) % kBodyLookEvery == 0) {
            stored.Check(web.standIn.bodyHtml() == FromAnsi(html),
                         "step " + std::to_string(step) + ": the stand-in holds \"" +
                             Utf8(web.standIn.bodyHtml()).substr(0, 60) + "\"");
            LONG document = web.standIn.references(kDocument);
            LONG body = web.standIn.references(kBody);
            references.Check(document == 0 && body == 0,
                             "step " + std::to_string(step) + ": document references " +
                                 std::to_string(document) + ", body references " +
                                 std::to_string(body) + "; expected 0 and 0");
            web.standIn.clearLog();
            Drain();
        }
    };
    for (int step = 0; step < kWarmUp; ++step) writeAndRead(step);

    SoakFigures figures("body writes and reads", kBodySteps);
    figures.Begin();
    for (int done = 1; done <= kBodySteps; ++done) {
        writeAndRead(kWarmUp + done - 1);
        figures.After(done);
    }
    figures.Finish();
    EXPECT_EQ(reads.Failures(), 0);
    EXPECT_EQ(stored.Failures(), 0);
    EXPECT_EQ(references.Failures(), 0);
    EXPECT_EQ(web.standIn.references(kDocument), 0) << "the document is left referenced";
    EXPECT_EQ(web.standIn.references(kBody), 0) << "the body is left referenced";
    EXPECT_EQ(web.standIn.references(kBrowserObject), browserReferences)
        << "the browser's references changed over the soak";
    EXPECT_LT(figures.Growth(), kWorkingSetTolerance) << figures.Summary();
}

namespace {

// ============================================================================
// Repaints with colours
// ============================================================================

// The colour messages that reach the library's window procedure, counted for
// each control by a subclass of the test window that passes everything on.
struct ColourMessages {
    WNDPROC library = nullptr;
    std::vector<std::pair<HWND, long long>> perControl;
    long long withoutBrush = 0;
} colourMessages;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(colourMessages.library, window, message, wParam, lParam);
    switch (message) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORSCROLLBAR:
            for (auto& [control, count] : colourMessages.perControl) {
                if (control == reinterpret_cast<HWND>(lParam)) ++count;
            }
            if (result == 0) ++colourMessages.withoutBrush;
            break;
        default:
            break;
    }
    return result;
}

struct Coloured {
    const char* name;
    int32_t number;
    COLORREF background;
    COLORREF text;
};

// Three colour entries with three backgrounds, so that the shared brush is
// remade several times in every repaint.
constexpr Coloured kLabel{"label", 7301, 0x00FFFF, 0xFF0000};
constexpr Coloured kEdit{"edit box", 7302, 0x00FF00, 0x0000FF};
constexpr Coloured kCombo{"combo box", 7303, 0xFFFF00, 0x000080};

// Measured here: about 500 to 600 whole-window repaints a second on Wine
// (each painted window costs some 0.3 ms of wine server round trips, with or
// without the library), so 100,000 would take about three minutes. 30,000
// stay within about a minute. They alone would not exceed the GDI table at one
// leaked object a repaint, so the soak first fills the table up to a room of
// kGdiRoom objects: such a leak exhausts that room a third of the way in, and
// the room counted at the end shows any smaller leak.
constexpr int kRepaints = 30000;

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06lX", value);
    return text;
}

}  // namespace

TEST(SoakRepaint, ColouredRepaintsKeepWorkingSetAndGdiFlat) {
    HWND window = OpenTestWindow("repaint soak");
    ASSERT_NE(window, nullptr);
    HWND label = TEXTGADGET(kLabel.number, 10, 10, 120, 20, "Поиск по сайту:", SS_CENTERIMAGE);
    HWND edit = STRINGGADGET(kEdit.number, 10, 40, 200, 24, "Введите текст", ES_AUTOHSCROLL,
                             WS_EX_CLIENTEDGE);
    HWND combo = ComboBoxGadget(kCombo.number, 10, 80, 200, 120, CBS_DROPDOWNLIST | WS_VSCROLL);
    ASSERT_TRUE(label != nullptr && edit != nullptr && combo != nullptr);
    for (const char* site : app::kSites) AddComboBoxItem(kCombo.number, site, -1);
    SetItemComboBox(kCombo.number, 0);
    for (const Coloured& gadget : {kLabel, kEdit, kCombo}) {
        SetGadgetColor(gadget.number, gadget.background, gadget.text, 3);
    }
    colourMessages.perControl = {{label, 0}, {edit, 0}, {combo, 0}};
    colourMessages.library = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    ASSERT_NE(colourMessages.library, nullptr);
    Drain();

    long long drained = 0;
    int fullStacks = 0;
    auto repaint = [&](int step) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        // The repaint records its WM_PAINT; take the events off the stack so
        // that it never sits full.
        if (EventStackCount() >= kEventStackSize) ++fullStacks;
        drained += DrainStack();
        if ((step + 1) % 1000 == 0) Drain();  // and whatever the queue gathered
    };
    GdiTable gdi;
    ASSERT_TRUE(gdi.LeaveRoom(kGdiRoom)) << "the GDI table did not fill";
    GdiRooms rooms;
    rooms.filled = gdi.Room();
    for (int step = 0; step < kWarmUp; ++step) repaint(step);

    for (auto& [control, count] : colourMessages.perControl) count = 0;
    colourMessages.withoutBrush = 0;
    drained = 0;
    rooms.begun = gdi.Room();
    SoakFigures figures("coloured repaints", kRepaints);
    figures.Begin();
    for (int done = 1; done <= kRepaints; ++done) {
        repaint(kWarmUp + done - 1);
        figures.After(done);
    }
    figures.Finish();
    rooms.ended = gdi.Room();
    rooms.Report("repaints", gdi.Held());
    gdi.Empty();
    std::cout << "[ SOAK     ] colour messages:";
    const Coloured gadgets[] = {kLabel, kEdit, kCombo};
    for (size_t i = 0; i < std::size(gadgets); ++i) {
        std::cout << " " << gadgets[i].name << " " << colourMessages.perControl[i].second;
    }
    std::cout << "; events drained: " << drained << std::endl;

    // Every repaint paints each gadget, and each asks the library for its colours.
    for (size_t i = 0; i < std::size(gadgets); ++i) {
        EXPECT_GE(colourMessages.perControl[i].second, kRepaints)
            << "colour messages for the " << gadgets[i].name << " over " << kRepaints
            << " repaints";
    }
    EXPECT_EQ(colourMessages.withoutBrush, 0) << "colour messages answered without a brush";
    EXPECT_GE(drained, kRepaints) << "events taken off the stack; each repaint records its WM_PAINT";
    EXPECT_EQ(fullStacks, 0) << "the event stack was full after a repaint";
    EXPECT_LT(figures.Growth(), kWorkingSetTolerance) << figures.Summary();
    EXPECT_LE(rooms.Lost(), kGdiLeakTolerance)
        << "GDI objects left behind by the repaints (" << rooms.Summary() << ")";
    EXPECT_TRUE(BrushesStillMade()) << "after " << kRepaints << " repaints";

    // The library still makes its brush, of the edit box's background.
    HDC dc = GetDC(edit);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(window, WM_CTLCOLOREDIT,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(edit)));
    LOGBRUSH description{};
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH)) << "the library's brush";
    EXPECT_EQ(GetObjectA(brush, sizeof description, &description),
              static_cast<int>(sizeof description));
    EXPECT_EQ(Hex(description.lbColor), Hex(kEdit.background)) << "the library's brush colour";
    // And the last repaint left the edit box's background on the screen.
    RECT client{};
    GetClientRect(edit, &client);
    COLORREF pixel = GetPixel(dc, client.right - 4, client.bottom / 2);
    EXPECT_EQ(Hex(pixel), Hex(kEdit.background)) << "the edit box's background pixel";
    ReleaseDC(edit, dc);

    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(colourMessages.library));
    DestroyWindow(window);
}

namespace {

// Whether the value WindowColor handed back is a live brush of that colour.
bool IsLiveBrushOf(HBRUSH brush, COLORREF colour) {
    LOGBRUSH description{};
    return GetObjectType(brush) == OBJ_BRUSH &&
           GetObjectA(brush, sizeof description, &description) == sizeof description &&
           description.lbColor == colour;
}

}  // namespace

// 100,000 switches of a window's class background between two colours hold
// two brushes: with the table filled to a room of kGdiRoom objects, a brush
// made for every switch would exhaust the room a tenth of the way in. The
// brush handed back at each switch stays a brush of the other colour.
TEST(SoakWindowColour, HundredThousandSwitchesBetweenTwoColoursHoldTwoBrushes) {
    constexpr int kSwitches = 100000;
    constexpr COLORREF kColours[] = {0x2040C0, 0xC04020};
    HWND window = OpenTestWindow("window colour soak");
    ASSERT_NE(window, nullptr);
    WindowColor(window, kColours[0]);
    WindowColor(window, kColours[1]);
    GdiTable gdi;
    ASSERT_TRUE(gdi.LeaveRoom(kGdiRoom)) << "the GDI table did not fill";
    GdiRooms rooms;
    rooms.filled = gdi.Room();
    rooms.begun = rooms.filled;
    FirstFailure previous;
    for (int done = 1; done <= kSwitches; ++done) {
        COLORREF colour = kColours[(done + 1) % 2];  // the class holds kColours[1] before
        auto brush = reinterpret_cast<HBRUSH>(WindowColor(window, colour));
        previous.Check(IsLiveBrushOf(brush, kColours[done % 2]), "switch " + std::to_string(done) + ": the previous value " +
                                 std::to_string(reinterpret_cast<uintptr_t>(brush)) +
                                 " is no live brush of the other colour");
    }
    rooms.ended = gdi.Room();
    rooms.Report("window colour switches", gdi.Held());
    gdi.Empty();
    EXPECT_EQ(previous.Failures(), 0);
    // Both brushes were made before the table was filled; a few objects of
    // the window's repaints may come and go.
    EXPECT_LE(rooms.Lost(), 10) << "GDI objects made by the switches (" << rooms.Summary() << ")";
    EXPECT_TRUE(BrushesStillMade()) << "after " << kSwitches << " switches";
    DestroyWindow(window);
}

// Every call a colour of its own, 30,000 of them, with the GDI table filled
// to a room of kGdiRoom objects: a brush kept for every colour asked would
// exhaust the room a third of the way in. The class holds two brushes of the
// library at a time, and the brush handed back is the live one it replaced.
TEST(SoakWindowColour, ThirtyThousandDistinctColoursHoldTwoBrushes) {
    constexpr int kColours = 30000;
    HWND window = OpenTestWindow("window colour soak, distinct colours");
    ASSERT_NE(window, nullptr);
    WindowColor(window, 1);
    WindowColor(window, 2);
    GdiTable gdi;
    ASSERT_TRUE(gdi.LeaveRoom(kGdiRoom)) << "the GDI table did not fill";
    GdiRooms rooms;
    rooms.filled = gdi.Room();
    rooms.begun = rooms.filled;
    FirstFailure previous;
    for (COLORREF colour = 3; colour < 3 + kColours; ++colour) {
        auto brush = reinterpret_cast<HBRUSH>(WindowColor(window, colour));
        previous.Check(IsLiveBrushOf(brush, colour - 1), "colour " + std::to_string(colour) + ": the previous value " +
                                 std::to_string(reinterpret_cast<uintptr_t>(brush)) +
                                 " is no live brush of the colour before");
    }
    rooms.ended = gdi.Room();
    rooms.Report("distinct window colours", gdi.Held());
    gdi.Empty();
    EXPECT_EQ(previous.Failures(), 0);
    EXPECT_LE(rooms.Lost(), 10) << "GDI objects kept by the colours (" << rooms.Summary() << ")";
    EXPECT_TRUE(BrushesStillMade()) << "after " << kColours << " colours";
    DestroyWindow(window);
}
