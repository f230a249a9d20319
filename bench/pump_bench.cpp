// Events per second through the library's pump (gadgets::WINDOWEVENT) against
// a bare Win32 loop (PeekMessageA / TranslateAcceleratorA / TranslateMessage /
// DispatchMessageA) on a plain window, both measured in the same run.
//
// Each round posts N messages to a window and times how long the loop takes
// to hand all of them out, once for each loop. Only the draining is timed, not
// the posting. The rounds alternate which loop goes first; the figures are
// medians, and the ratio is the median of the rounds' own ratios, so that a
// machine busy with other work skews both sides of a ratio alike.
//
// On Wine every PeekMessageA that takes a message is a round trip to the wine
// server, so the bare loop is bounded by that; any further server call per
// event in the library shows up directly in the ratio.
#include "gadgets/gadgets.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMessages = 2000;  // per round and loop; far below any queue limit
constexpr int kRounds = 11;
constexpr int kLabelId = 7;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

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

// ---- The two loops --------------------------------------------------------

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

// Drains until `count` events with the expected code came out; the time taken.
// A deadline guards against lost messages (reported, never fatal).
double DrainLibrary(int32_t expected, int count, int& seen) {
    seen = 0;
    Clock::time_point start = Clock::now();
    while (seen < count) {
        if (gadgets::WINDOWEVENT() == expected) {
            ++seen;
        } else if (Seconds(start) > 30) {
            break;
        }
    }
    return Seconds(start);
}

double DrainBare(HWND window, HACCEL accelerators, int count, bool updateEach, int& seen) {
    bareReceived = 0;
    MSG message;
    Clock::time_point start = Clock::now();
    while (bareReceived < count) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (Seconds(start) > 30) break;
            continue;
        }
        if (!TranslateAcceleratorA(window, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (updateEach) UpdateWindow(message.hwnd);
    }
    seen = bareReceived;
    return Seconds(start);
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
    Target library;
    Target bare;
    int32_t expectedCode;  // what WINDOWEVENT returns for each posted message
    bool bareUpdates;      // the bare loop also calls UpdateWindow after each message
};

struct Result {
    double libraryRate = 0;
    double bareRate = 0;
    double ratio = 0;
    double lowestRatio = 0;
    double highestRatio = 0;
    bool complete = true;
};

Result Run(const Scenario& scenario, HACCEL accelerators) {
    std::vector<double> libraryRates, bareRates, ratios;
    Result result;
    for (int round = 0; round < kRounds; ++round) {
        double libraryRate = 0, bareRate = 0;
        for (int turn = 0; turn < 2; ++turn) {
            bool libraryTurn = (turn == 0) == (round % 2 == 0);
            Settle();
            int seen = 0;
            if (libraryTurn) {
                PostAll(scenario.library, kMessages);
                double seconds = DrainLibrary(scenario.expectedCode, kMessages, seen);
                libraryRate = seen / seconds;
            } else {
                PostAll(scenario.bare, kMessages);
                double seconds = DrainBare(scenario.bare.window, accelerators, kMessages,
                                           scenario.bareUpdates, seen);
                bareRate = seen / seconds;
            }
            if (seen != kMessages) result.complete = false;
        }
        libraryRates.push_back(libraryRate);
        bareRates.push_back(bareRate);
        ratios.push_back(libraryRate / bareRate);
    }
    result.libraryRate = Median(libraryRates);
    result.bareRate = Median(bareRates);
    result.ratio = Median(ratios);
    result.lowestRatio = *std::min_element(ratios.begin(), ratios.end());
    result.highestRatio = *std::max_element(ratios.begin(), ratios.end());
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
        {"WM_USER -> event 1024", {window, WM_USER, 0, 0}, {bare, WM_USER, 0, 0}, 1024, false},
        {"WM_COMMAND lParam 0 -> 1026", {window, WM_COMMAND, 1001, 0},
         {bare, WM_COMMAND, 1001, 0}, 1026, false},
        {"WM_COMMAND from label -> 1025", {window, WM_COMMAND, kLabelId, asLParam(label)},
         {bare, WM_COMMAND, kLabelId, asLParam(bareLabel)}, 1025, false},
        {"WM_USER, bare + UpdateWindow", {window, WM_USER, 0, 0}, {bare, WM_USER, 0, 0}, 1024,
         true},
    };

    std::printf("Event pump: %d posted messages per round, median of %d rounds\n", kMessages,
                kRounds);
    std::printf("library: WINDOWEVENT, 4 shortcuts on the window; bare: PeekMessageA,\n"
                "TranslateAcceleratorA (4 entries), TranslateMessage, DispatchMessageA\n\n");
    std::printf("%-32s %13s %13s %7s  %s\n", "messages", "library ev/s", "bare msg/s", "ratio",
                "ratio range");
    std::printf("%-32s %13s %13s %7s  %s\n", "--------", "------------", "----------", "-----",
                "-----------");
    for (const Scenario& scenario : scenarios) {
        Result result = Run(scenario, accelerators);
        std::printf("%-32s %13.0f %13.0f %7.2f  %.2f-%.2f%s\n", scenario.name, result.libraryRate,
                    result.bareRate, result.ratio, result.lowestRatio, result.highestRatio,
                    result.complete ? "" : "  (some messages did not come out)");
        std::fflush(stdout);
    }
    std::printf("\nratio = library / bare, the median of the per-round ratios. The last row\n"
                "gives the bare loop an UpdateWindow after each message, as WINDOWEVENT does\n"
                "after each event with a nonzero code.\n");

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

    DestroyAcceleratorTable(accelerators);
    return 0;
}
