// Soaks: many search requests through the real form and the browser
// stand-in, many body writes and reads, many repaints while the library
// paints colours. Each prints its figures (count, time, the bytes in use in
// the process's heaps, the working set, and the room left in the GDI table
// where GDI is at stake) and checks them against the tolerances it states;
// time is printed, never checked.
//
// Flat memory is proven by walking the heaps: the bytes of every block in use
// in every heap of the process, added up before and after the measured steps.
// That counts a block of a few bytes exactly, where the working set moves by
// pages and the heap's own reserve (and Wine reports no private bytes), so a
// soak needs far fewer steps to see a leak of a few bytes a step. What it
// cannot see is what Wine keeps on its Unix side (window and GDI objects);
// GDI objects are counted by the room left in the GDI table instead.
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
#include <array>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

constexpr int kWarmUp = 1000;
constexpr int kSamples = 10;  // heap samples printed over a soak

// Wine leaves PrivateUsage at 0; the working set is what it reports. Printed
// for the record; the heaps are what a soak checks.
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

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The blocks in use in every heap of the process and their bytes. Each heap
// is locked while it is walked; the walk itself allocates nothing.
struct HeapUse {
    long long bytes = 0;
    long long blocks = 0;
    int heaps = 0;
    bool complete = true;  // false when the process has more heaps than are walked
};

HeapUse HeapsInUse() {
    std::array<HANDLE, 256> heaps{};
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    HeapUse use;
    use.complete = count <= heaps.size();
    use.heaps = static_cast<int>(std::min<size_t>(count, heaps.size()));
    for (int i = 0; i < use.heaps; ++i) {
        bool locked = HeapLock(heaps[i]) != FALSE;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                use.bytes += static_cast<long long>(entry.cbData);
                ++use.blocks;
            }
        }
        if (locked) HeapUnlock(heaps[i]);
    }
    return use;
}

// oleaut32 keeps freed BSTRs in a cache of its own, up to six for every size
// in 16-byte steps, and hands them out again: to the heap walk a cached
// string is a block in use, so a soak whose strings come in ever new sizes
// would see the cache fill for a long time, and a leaked string could hide
// among cached ones. SetOaNoCache switches the cache off for the process
// (what the environment variable OANOCACHE does at start-up); strings
// already cached stay there, so a soak calls it before its warm-up.
void SwitchOffBstrCache() {
    using SetOaNoCacheFunction = void(WINAPI*)();
    HMODULE oleaut32 = GetModuleHandleA("oleaut32.dll");
    auto setOaNoCache = reinterpret_cast<SetOaNoCacheFunction>(
        reinterpret_cast<void*>(GetProcAddress(oleaut32, "SetOaNoCache")));
    ASSERT_NE(setOaNoCache, nullptr) << "oleaut32 exports no SetOaNoCache";
    setOaNoCache();
}

// The figures of one soak: the heaps and the working set after the warm-up,
// heap samples along the way, the end, and the time the measured steps took.
// A soak of `steps` steps allows the heaps `tolerance` bytes of growth: a
// leak of more than tolerance / steps bytes a step fails it.
class SoakFigures {
public:
    SoakFigures(const char* what, int steps, long long tolerance)
        : what_(what), steps_(steps), tolerance_(tolerance) {
        samples_.reserve(kSamples);  // no allocation between the two walks
    }

    // Call after the warm-up, right before the measured steps.
    void Begin() {
        workingSetBegun_ = WorkingSet();
        auto walkStart = std::chrono::steady_clock::now();
        begun_ = HeapsInUse();
        walkSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - walkStart).count();
        start_ = std::chrono::steady_clock::now();
    }

    // Call after step `done` (counting from 1); samples now and then.
    void After(int done) {
        if (done % (steps_ / kSamples) != 0 || samples_.size() >= kSamples) return;
        samples_.push_back(HeapsInUse().bytes);
    }

    void Finish() {
        seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        ended_ = HeapsInUse();
        workingSetEnded_ = WorkingSet();
        std::string samples;
        for (size_t i = 0; i < samples_.size(); ++i) {
            samples += (i > 0 ? ", " : "") + std::to_string((i + 1) * (steps_ / kSamples)) + ": " +
                       Signed(samples_[i] - begun_.bytes);
        }
        std::cout << "[ SOAK     ] " << what_ << ": " << steps_ << " after a warm-up of " << kWarmUp
                  << " in " << Fixed(seconds_, 1) << " s ("
                  << Fixed(steps_ / std::max(seconds_, 1e-9), 0) << " a second)\n"
                  << "[ SOAK     ] heaps: " << begun_.bytes << " bytes in " << begun_.blocks
                  << " blocks of " << begun_.heaps << " heaps after the warm-up, " << ended_.bytes
                  << " in " << ended_.blocks << " at the end: growth " << Signed(Growth())
                  << " bytes; tolerance " << tolerance_ << " bytes, a leak of "
                  << Fixed(Sensitivity(), 1) << " bytes a step; a walk took "
                  << Fixed(walkSeconds_ * 1000, 2) << " ms\n"
                  << "[ SOAK     ] heap growth by step: " << samples << "\n"
                  << "[ SOAK     ] working set " << MiB(workingSetBegun_) << " after the warm-up, "
                  << MiB(workingSetEnded_) << " at the end" << std::endl;
        testing::Test::RecordProperty("steps", steps_);
        testing::Test::RecordProperty("milliseconds", static_cast<int>(seconds_ * 1000));
        testing::Test::RecordProperty("heap_bytes_after_warm_up", std::to_string(begun_.bytes));
        testing::Test::RecordProperty("heap_bytes_at_end", std::to_string(ended_.bytes));
        testing::Test::RecordProperty("heap_growth", std::to_string(Growth()));
        testing::Test::RecordProperty("heap_tolerance", std::to_string(tolerance_));
        testing::Test::RecordProperty("working_set_after_warm_up", std::to_string(workingSetBegun_));
        testing::Test::RecordProperty("working_set_at_end", std::to_string(workingSetEnded_));
    }

    long long Growth() const { return ended_.bytes - begun_.bytes; }

    // The smallest leak a step, in bytes, that the tolerance does not absorb.
    double Sensitivity() const { return static_cast<double>(tolerance_) / steps_; }

    // The heaps grew less than the tolerance over the measured steps.
    testing::AssertionResult HeapsFlat() const {
        if (!begun_.complete || !ended_.complete) {
            return testing::AssertionFailure() << "the process has more heaps than were walked";
        }
        if (Growth() < tolerance_) return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << what_ << ": the heaps grew by " << Growth() << " bytes (" << begun_.bytes
               << " -> " << ended_.bytes << " in " << begun_.blocks << " -> " << ended_.blocks
               << " blocks) over " << steps_ << " steps, " << Fixed(static_cast<double>(Growth()) / steps_, 2)
               << " bytes a step; tolerance " << tolerance_ << " bytes";
    }

private:
    static std::string Signed(long long value) {
        return (value > 0 ? "+" : "") + std::to_string(value);
    }

    const char* what_;
    int steps_;
    long long tolerance_;
    HeapUse begun_;
    HeapUse ended_;
    SIZE_T workingSetBegun_ = 0;
    SIZE_T workingSetEnded_ = 0;
    double seconds_ = 0;
    double walkSeconds_ = 0;
    std::vector<long long> samples_;
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
// full a leak of one object every step also exhausts it.
constexpr int kGdiRoom = 10000;

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

    void Report(const char* what, size_t held, int tolerance) const {
        std::cout << "[ SOAK     ] GDI: " << held << " brushes hold the table full; room "
                  << filled << " objects after filling, " << begun << " after the warm-up, "
                  << ended << " after the " << what << ": " << Lost() << " lost; tolerance "
                  << tolerance << std::endl;
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
// 10,500 requests, a whole number of the cycles of sites (5), keywords (6 and
// 7), queue drains (10) and log checks (50): the soak ends on the request of
// the same kind as the last of the warm-up, so the heaps are compared in
// like states (a request with empty keywords, for one, leaves some 60 KiB
// fewer in use on Wine until the next). The heaps may grow by 64 KiB over
// them: a leak of 6.2 bytes a request fails the soak. At most 10 GDI objects
// may stay behind over the warm-up and the requests, one per 1,150 requests;
// a leak of one object a request exhausts the table's room before the end.
constexpr int kRequests = 10500;
constexpr long long kRequestHeapTolerance = 64 << 10;
constexpr int kRequestGdiTolerance = kRequests / 1000;

}  // namespace

TEST(SoakSearchStandIn, RequestsKeepHeapsAndGdiFlat) {
    ASSERT_NO_FATAL_FAILURE(SwitchOffBstrCache());
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

    SoakFigures figures("search requests", kRequests, kRequestHeapTolerance);
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
    rooms.Report("requests", gdi.Held(), kRequestGdiTolerance);
    gdi.Empty();
    EXPECT_EQ(navigations.Failures(), 0);
    EXPECT_TRUE(figures.HeapsFlat());
    EXPECT_LE(rooms.Lost(), kRequestGdiTolerance)
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

// 100,000 writes and reads take a few seconds. The heaps may grow by 64 KiB
// over them: a leak of 0.7 bytes a step fails the soak.
constexpr int kBodySteps = 100000;
constexpr int kBodyLookEvery = 1000;
constexpr long long kBodyHeapTolerance = 64 << 10;

}  // namespace

TEST(SoakBodyStandIn, HundredThousandWritesAndReadsLeaveNothingReferenced) {
    ASSERT_NO_FATAL_FAILURE(SwitchOffBstrCache());
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

    SoakFigures figures("body writes and reads", kBodySteps, kBodyHeapTolerance);
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
    EXPECT_TRUE(figures.HeapsFlat());
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

// Measured here: a few hundred whole-window repaints a second on Wine (each
// painted window costs wine server round trips, with or without the
// library). 5,000 repaints after the warm-up: the heaps may grow by 16 KiB
// over them, so a leak of 3.3 bytes a repaint fails the soak. At most 16 GDI
// objects may stay behind over the warm-up and the repaints, one per 375
// repaints. The soak first fills the GDI table up to a room of kGdiRoom
// objects: a leak of one object a repaint uses up 6,000 of that room, and the
// room counted at the end shows any smaller leak.
constexpr int kRepaints = 5000;
constexpr long long kRepaintHeapTolerance = 16 << 10;
constexpr int kRepaintGdiTolerance = 16;

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06lX", value);
    return text;
}

}  // namespace

TEST(SoakRepaint, ColouredRepaintsKeepHeapsAndGdiFlat) {
    ASSERT_NO_FATAL_FAILURE(SwitchOffBstrCache());
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
    SoakFigures figures("coloured repaints", kRepaints, kRepaintHeapTolerance);
    figures.Begin();
    for (int done = 1; done <= kRepaints; ++done) {
        repaint(kWarmUp + done - 1);
        figures.After(done);
    }
    figures.Finish();
    rooms.ended = gdi.Room();
    rooms.Report("repaints", gdi.Held(), kRepaintGdiTolerance);
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
    EXPECT_TRUE(figures.HeapsFlat());
    EXPECT_LE(rooms.Lost(), kRepaintGdiTolerance)
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
    rooms.Report("window colour switches", gdi.Held(), 10);
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
    rooms.Report("distinct window colours", gdi.Held(), 10);
    gdi.Empty();
    EXPECT_EQ(previous.Failures(), 0);
    EXPECT_LE(rooms.Lost(), 10) << "GDI objects kept by the colours (" << rooms.Summary() << ")";
    EXPECT_TRUE(BrushesStillMade()) << "after " << kColours << " colours";
    DestroyWindow(window);
}
