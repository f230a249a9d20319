// Events per second through the library's pump (gadgets::WINDOWEVENT, which
// peeks, and gadgets::WAITEVENT, which waits in GetMessageA) against raw Win32
// loops on a plain window, all measured in the same run: the raw loop takes,
// translates (TranslateAcceleratorA) and dispatches; the "same calls" loop
// also makes the calls the pump makes for each event (UpdateWindow, and for a
// command from a control GetClassNameA and SetPropA), so that its ratio shows
// what the library's own bookkeeping costs.
//
// Each round posts N messages to a window and times how long the loop takes
// to hand all of them out, once for each loop. Only the draining is timed, not
// the posting. The rounds rotate which loop goes first; the figures are
// medians, and a ratio is the median of the rounds' own ratios, so that a
// machine busy with other work skews both sides of a ratio alike.
//
// On Wine every PeekMessageA that takes a message is a round trip to the wine
// server, so the bare loop is bounded by that; any further server call per
// event in the library shows up directly in the ratio.
#include "gadgets/gadgets.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMessages = 2000;  // per round and loop; far below any queue limit
constexpr int kRounds = 21;
constexpr int kLabelId = 7;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Series {
    std::vector<double> values;
    void Add(double value) { values.push_back(value); }
    double median() const { return Median(values); }
    double lowest() const { return *std::min_element(values.begin(), values.end()); }
    double highest() const { return *std::max_element(values.begin(), values.end()); }
};

// ---- The bare program ---------------------------------------------------

int bareReceived = 0;

LRESULT CALLBACK BareProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER || message == WM_COMMAND) {
        ++bareReceived;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateBareWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_VREDRAW | CS_HREDRAW;
    windowClass.lpfnWndProc = BareProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "BarePumpBench";
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, "BarePumpBench", "bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 440, 50,
                           320, 240, nullptr, nullptr, nullptr, nullptr);
}

// The same four shortcuts as the library's window: Enter, F5, Alt+Left, Alt+Right.
HACCEL CreateBareAccelerators() {
    ACCEL records[] = {
        {FVIRTKEY, VK_RETURN, 1001},
        {FVIRTKEY, VK_F5, 1002},
        {FVIRTKEY | FALT, VK_LEFT, 1003},
        {FVIRTKEY | FALT, VK_RIGHT, 1004},
    };
    return CreateAcceleratorTableA(records, 4);
}

// ---- The loops ------------------------------------------------------------

struct Target {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

void PostAll(const Target& target, int count) {
    for (int i = 0; i < count; ++i) {
        PostMessageA(target.window, target.message, target.wParam, target.lParam);
    }
}

// A lost message would leave a waiting loop waiting for good: a timer on the
// window ends any wait after this long (reported, never fatal).
constexpr UINT_PTR kDeadlineTimer = 99;
constexpr UINT kDeadlineMs = 30000;

// Drains until `count` events with the expected code came out; the time taken.
double DrainLibrary(bool wait, HWND window, int32_t expected, int count, int& seen) {
    seen = 0;
    if (wait) SetTimer(window, kDeadlineTimer, kDeadlineMs, nullptr);
    Clock::time_point start = Clock::now();
    while (seen < count) {
        int32_t code = wait ? gadgets::WAITEVENT() : gadgets::WINDOWEVENT();
        if (code == expected) {
            ++seen;
        } else if (Seconds(start) * 1000 > kDeadlineMs) {
            break;
        }
    }
    double seconds = Seconds(start);
    if (wait) KillTimer(window, kDeadlineTimer);
    return seconds;
}

// What the raw loop does besides taking, translating and dispatching.
enum Extra {
    kNothing = 0,
    kUpdate = 1,      // UpdateWindow on the message's window after each message
    kSenderCalls = 2  // GetClassNameA on the sender and SetPropA on the window, as
                      // the pump decodes a command from a control
};

double DrainBare(bool wait, HWND window, HACCEL accelerators, int count, int extra, int& seen) {
    bareReceived = 0;
    MSG message;
    if (wait) SetTimer(window, kDeadlineTimer, kDeadlineMs, nullptr);
    Clock::time_point start = Clock::now();
    while (bareReceived < count) {
        if (wait) {
            if (GetMessageA(&message, nullptr, 0, 0) <= 0) break;
        } else if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (Seconds(start) * 1000 > kDeadlineMs) break;
            continue;
        }
        if (message.message == WM_TIMER && message.wParam == kDeadlineTimer) break;
        if (!TranslateAcceleratorA(window, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if ((extra & kSenderCalls) != 0 && message.message == WM_COMMAND && message.lParam != 0) {
            char name[128];
            GetClassNameA(reinterpret_cast<HWND>(message.lParam), name, sizeof name);
            SetPropA(message.hwnd, "WM_NOTIFY_Event", nullptr);
        }
        if ((extra & kUpdate) != 0) UpdateWindow(message.hwnd);
    }
    seen = bareReceived;
    double seconds = Seconds(start);
    if (wait) KillTimer(window, kDeadlineTimer);
    return seconds;
}

// Empties the queue and the library's event stack: WINDOWEVENT returns 0 for
// an empty queue and an empty stack; the stack holds at most 20 entries, so
// more zeros than that in a row with nothing queued means both are empty.
void Settle(int minimumMs = 0) {
    Clock::time_point start = Clock::now();
    int zeros = 0;
    while (Seconds(start) < 5) {
        if (gadgets::WINDOWEVENT() != 0) {
            zeros = 0;
            continue;
        }
        ++zeros;
        bool quiet = HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0;
        if (zeros > 25 && quiet && Seconds(start) * 1000 >= minimumMs) return;
        if (quiet) Sleep(1);
    }
}

// ---- Scenarios ------------------------------------------------------------

struct Scenario {
    const char* name;
    bool wait;  // WAITEVENT against a GetMessageA loop; else WINDOWEVENT against PeekMessageA
    Target library;
    Target bare;
    int32_t expectedCode;  // what the pump returns for each posted message
    int sameCalls;         // what the raw loop adds to make the pump's calls
};

struct Result {
    double libraryRate = 0;
    double rawRate = 0;       // take, translate, dispatch
    double sameRate = 0;      // ... and the pump's further calls
    Series overSame, overRaw;
    bool complete = true;
};

Result Run(const Scenario& scenario, HACCEL accelerators) {
    std::vector<double> libraryRates, rawRates, sameRates;
    Result result;
    for (int round = 0; round < kRounds; ++round) {
        double rates[3] = {};
        for (int turn = 0; turn < 3; ++turn) {
            int which = (turn + round) % 3;  // 0 library, 1 raw, 2 same calls
            Settle();
            int seen = 0;
            if (which == 0) {
                PostAll(scenario.library, kMessages);
                double seconds = DrainLibrary(scenario.wait, scenario.library.window,
                                              scenario.expectedCode, kMessages, seen);
                rates[0] = seen / seconds;
            } else {
                PostAll(scenario.bare, kMessages);
                double seconds = DrainBare(scenario.wait, scenario.bare.window, accelerators,
                                           kMessages, which == 1 ? kNothing : scenario.sameCalls,
                                           seen);
                rates[which] = seen / seconds;
            }
            if (seen != kMessages) result.complete = false;
        }
        libraryRates.push_back(rates[0]);
        rawRates.push_back(rates[1]);
        sameRates.push_back(rates[2]);
        result.overRaw.Add(rates[0] / rates[1]);
        result.overSame.Add(rates[0] / rates[2]);
    }
    result.libraryRate = Median(libraryRates);
    result.rawRate = Median(rawRates);
    result.sameRate = Median(sameRates);
    return result;
}

// ---- Single calls -----------------------------------------------------------

// Microseconds per call, the median of several repeats of many calls.
template <typename Call>
double MicrosecondsPerCall(Call&& call, int callsPerRepeat = 2000, int repeats = 7) {
    std::vector<double> samples;
    for (int r = 0; r < repeats; ++r) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < callsPerRepeat; ++i) call();
        samples.push_back(Seconds(start) * 1e6 / callsPerRepeat);
    }
    return Median(samples);
}

// ---- A thread with a control that notifies ----------------------------------

// Each round, on a thread where the library has no other window: a window of
// the library's procedure (hidden) with a label, where a send, a message
// taken and a mouse move through the pump are timed, and a list view is
// filled in a plain window; then the same with a list view in the library
// window, a control that notifies it by WM_NOTIFY, which is filled; and the
// window closed. Medians over the rounds, and the medians of the rounds'
// own ratios (with a list view over without).
constexpr int kNotifyRounds = 11;
constexpr int kFillRows = 200;

HWND OpenLibraryProcedureWindow() {
    WNDCLASSA library{};
    library.lpfnWndProc = gadgets::FBGUIWINPROC;
    library.hInstance = GetModuleHandleA(nullptr);
    library.lpszClassName = "PumpBenchLibraryProcedure";
    RegisterClassA(&library);  // once; later calls fail harmlessly
    return CreateWindowExA(0, library.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                           nullptr, nullptr, nullptr, nullptr);
}

HWND OpenPlainWindow() {
    WNDCLASSA plain{};
    plain.lpfnWndProc = DefWindowProcA;
    plain.hInstance = GetModuleHandleA(nullptr);
    plain.lpszClassName = "PumpBenchPlain";
    RegisterClassA(&plain);
    return CreateWindowExA(0, plain.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr,
                           nullptr, nullptr, nullptr);
}

HWND MakeListView(HWND parent, int id) {
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 10, 40, 280,
                                150, parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                                nullptr, nullptr);
    for (int column = 0; column < 4; ++column) {
        LVCOLUMNA header{};
        header.mask = LVCF_WIDTH;
        header.cx = 60;
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
    }
    return list;
}

// Milliseconds to fill `list` with kFillRows rows of four cells.
double FillMilliseconds(HWND list) {
    char text[] = "cell";
    Clock::time_point start = Clock::now();
    for (int row = 0; row < kFillRows; ++row) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = text;
        int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = 1; column < 4; ++column) {
            LVITEMA cell{};
            cell.iSubItem = column;
            cell.pszText = text;
            SendMessageA(list, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&cell));
        }
    }
    return Seconds(start) * 1000;
}

struct ThreadCosts {
    double send = 0, taken = 0, mouseMove = 0;
};

ThreadCosts MeasureThread(HWND window) {
    ThreadCosts costs;
    MSG message;
    costs.send = MicrosecondsPerCall([&] { SendMessageA(window, WM_NULL, 0, 0); }, 1000, 5);
    costs.taken = MicrosecondsPerCall([&] {
        PostMessageA(window, WM_NULL, 0, 0);
        PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
    }, 200, 5);
    costs.mouseMove = MicrosecondsPerCall([&] {
        PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        while (gadgets::WINDOWEVENT() != WM_MOUSEMOVE) {
        }
    }, 200, 5);
    return costs;
}

void CompareANotifyingControlsThread() {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    Series plainSend, plainTaken, plainMouse, listSend, listTaken, listMouse;
    Series sendRatio, takenRatio, mouseRatio, fillPlain, fillLibrary, fillRatio;
    for (int round = 0; round < kNotifyRounds; ++round) {
        HWND window = OpenLibraryProcedureWindow();
        CreateWindowExA(0, "Static", "label", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20, window,
                        reinterpret_cast<HMENU>(7), nullptr, nullptr);
        Settle();
        ThreadCosts plain = MeasureThread(window);
        HWND other = OpenPlainWindow();
        double inPlain = FillMilliseconds(MakeListView(other, 8));
        DestroyWindow(other);
        HWND list = MakeListView(window, 8);
        Settle();
        ThreadCosts notifying = MeasureThread(window);
        double inLibrary = FillMilliseconds(list);
        DestroyWindow(window);
        Settle();
        plainSend.Add(plain.send);
        plainTaken.Add(plain.taken);
        plainMouse.Add(plain.mouseMove);
        listSend.Add(notifying.send);
        listTaken.Add(notifying.taken);
        listMouse.Add(notifying.mouseMove);
        sendRatio.Add(notifying.send / plain.send);
        takenRatio.Add(notifying.taken / plain.taken);
        mouseRatio.Add(notifying.mouseMove / plain.mouseMove);
        fillPlain.Add(inPlain);
        fillLibrary.Add(inLibrary);
        fillRatio.Add(inLibrary / inPlain);
    }
    std::printf("\nA thread with a control that notifies a library window (a list view)\n"
                "against the same thread with only a label: medians of %d rounds, each a\n"
                "window of its own on a thread where the library has no other window, each\n"
                "figure the median of 5 x 1,000 sends or 5 x 200 messages\n", kNotifyRounds);
    std::printf("%-44s %10s %10s %6s %-11s %s\n", "per call", "label", "list view", "ratio", "range",
                "target");
    auto row = [](const char* name, const Series& without, const Series& with, const Series& ratio,
                  const char* unit) {
        std::printf("%-44s %8.2f%-2s %8.2f%-2s %6.3f %5.3f-%5.3f <= 1.10 %s\n", name, without.median(),
                    unit, with.median(), unit, ratio.median(), ratio.lowest(), ratio.highest(),
                    ratio.median() <= 1.10 ? "met" : "MISSED");
        std::fflush(stdout);
    };
    row("SendMessageA (WM_NULL) to the window", plainSend, listSend, sendRatio, "us");
    row("PostMessageA + PeekMessageA (one message)", plainTaken, listTaken, takenRatio, "us");
    row("WM_MOUSEMOVE posted, WINDOWEVENT -> 512", plainMouse, listMouse, mouseRatio, "us");
    std::printf("%-44s %8.1fms %8.1fms %6.3f %5.3f-%5.3f (plain window, library window)\n",
                "fill a 200 x 4 list view", fillPlain.median(), fillLibrary.median(),
                fillRatio.median(), fillRatio.lowest(), fillRatio.highest());
    std::fflush(stdout);
}

}  // namespace

int main() {
    HWND window = gadgets::OpenWindow("pump bench", 50, 50, 320, 240,
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0);
    gadgets::ADDKEYBOARDSHORTCUT(window, 1, 13, 1001);
    gadgets::ADDKEYBOARDSHORTCUT(window, 1, 116, 1002);
    gadgets::ADDKEYBOARDSHORTCUT(window, 16, 37, 1003);
    gadgets::ADDKEYBOARDSHORTCUT(window, 16, 39, 1004);
    HWND label = CreateWindowExA(0, "Static", "label", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20,
                                 window, reinterpret_cast<HMENU>(kLabelId), nullptr, nullptr);

    HWND bare = CreateBareWindow();
    HACCEL accelerators = CreateBareAccelerators();
    HWND bareLabel = CreateWindowExA(0, "Static", "label", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20,
                                     bare, reinterpret_cast<HMENU>(kLabelId), nullptr, nullptr);
    if (window == nullptr || bare == nullptr || accelerators == nullptr) {
        std::printf("pump bench: could not create the windows\n");
        return 0;
    }
    // Let the windows be shown, activated and painted before anything is timed.
    Settle(500);

    auto asLParam = [](HWND handle) { return reinterpret_cast<LPARAM>(handle); };
    const Scenario scenarios[] = {
        {"WINDOWEVENT, WM_USER -> 1024", false, {window, WM_USER, 0, 0}, {bare, WM_USER, 0, 0},
         1024, kUpdate},
        {"WINDOWEVENT, WM_COMMAND 0 -> 1026", false, {window, WM_COMMAND, 1001, 0},
         {bare, WM_COMMAND, 1001, 0}, 1026, kUpdate},
        {"WINDOWEVENT, label WM_COMMAND", false, {window, WM_COMMAND, kLabelId, asLParam(label)},
         {bare, WM_COMMAND, kLabelId, asLParam(bareLabel)}, 1025, kUpdate | kSenderCalls},
        {"WAITEVENT, WM_USER -> 1024", true, {window, WM_USER, 0, 0}, {bare, WM_USER, 0, 0}, 1024,
         kUpdate},
    };

    std::printf("Event pump (%s build): %d posted messages per round, median of %d rounds\n",
                sizeof(void*) == 4 ? "32-bit" : "64-bit", kMessages, kRounds);
    std::printf(
        "library: WINDOWEVENT (PeekMessageA) or WAITEVENT (GetMessageA), 4 shortcuts on the\n"
        "window. raw loop: PeekMessageA or GetMessageA, TranslateAcceleratorA (4 entries),\n"
        "TranslateMessage, DispatchMessageA. same calls: the raw loop plus the calls the pump\n"
        "makes for each event: UpdateWindow, and for a command from a control GetClassNameA\n"
        "and SetPropA.\n\n");
    std::printf("%-34s %10s %10s %10s %6s %-11s %6s %s\n", "messages", "library", "same calls",
                "raw loop", "ratio", "range", "/raw", "target");
    std::printf("%-34s %10s %10s %10s %6s %-11s %6s %s\n", "", "ev/s", "msg/s", "msg/s",
                "/same", "", "", "");
    for (const Scenario& scenario : scenarios) {
        Result result = Run(scenario, accelerators);
        std::printf("%-34s %10.0f %10.0f %10.0f %6.3f %5.3f-%5.3f %6.3f >= 0.95 %s%s\n",
                    scenario.name, result.libraryRate, result.sameRate, result.rawRate,
                    result.overSame.median(), result.overSame.lowest(), result.overSame.highest(),
                    result.overRaw.median(), result.overSame.median() >= 0.95 ? "met" : "MISSED",
                    result.complete ? "" : "  (some messages did not come out)");
        std::fflush(stdout);
    }
    std::printf("\nratio = library / loop, the median of the per-round ratios (each round runs\n"
                "the three loops in rotated order).\n");

    // What each call that WINDOWEVENT makes beyond the bare loop costs here.
    Settle();
    std::printf("\nSingle calls (microseconds per call, median of 7 x 2000 calls)\n");
    std::printf("%-44s %10s\n", "call", "us/call");
    std::printf("%-44s %10s\n", "----", "-------");
    MSG message;
    auto row = [](const char* name, double microseconds) {
        std::printf("%-44s %10.2f\n", name, microseconds);
        std::fflush(stdout);
    };
    row("PeekMessageA, empty queue",
        MicrosecondsPerCall([&] { PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); }));
    row("PostMessageA + PeekMessageA (one message)", MicrosecondsPerCall([&] {
            PostMessageA(bare, WM_NULL, 0, 0);
            PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
        }));
    row("GetParent (top-level window)", MicrosecondsPerCall([&] { GetParent(window); }));
    row("GetParent (child window)", MicrosecondsPerCall([&] { GetParent(label); }));
    row("UpdateWindow (nothing to paint)", MicrosecondsPerCall([&] { UpdateWindow(window); }));
    row("GetFocus", MicrosecondsPerCall([&] { GetFocus(); }));
    row("GetPropA", MicrosecondsPerCall([&] { GetPropA(window, "WM_NOTIFY_Event"); }));
    row("SetPropA (value 0)",
        MicrosecondsPerCall([&] { SetPropA(window, "WM_NOTIFY_Event", nullptr); }));
    row("GetClassNameA (child)", MicrosecondsPerCall([&] {
            char name[128];
            GetClassNameA(label, name, sizeof name);
        }));
    row("gadgets::GADGETCLASS (child)", MicrosecondsPerCall([&] { gadgets::GADGETCLASS(label); }));
    row("TranslateAcceleratorA (WM_USER)", MicrosecondsPerCall([&] {
            MSG user{window, WM_USER, 0, 0, 0, {0, 0}};
            TranslateAcceleratorA(window, accelerators, &user);
        }));
    row("DefWindowProcA (WM_USER)",
        MicrosecondsPerCall([&] { DefWindowProcA(window, WM_USER, 0, 0); }));
    row("DefWindowProcA (WM_COMMAND, lParam 0)",
        MicrosecondsPerCall([&] { DefWindowProcA(window, WM_COMMAND, 1001, 0); }));
    // Called directly: the event stack fills up (20 entries) and then stays
    // full, so this is the recording plus DefWindowProcA. Settle empties it.
    row("gadgets::FBGUIWINPROC (WM_USER), direct",
        MicrosecondsPerCall([&] { gadgets::FBGUIWINPROC(window, WM_USER, 0, 0); }));
    Settle();

    // A thread with a control that notifies a library window against a
    // plain window's thread, measured on a thread of its own.
    std::thread(CompareANotifyingControlsThread).join();
    Settle();

    DestroyAcceleratorTable(accelerators);
    return 0;
}
