// Cost of the gadget table as it grows: gadgets::GadgetID for the first, a
// middle and the last gadget in table order, and gadgets::ADDIN9999 for a new
// number and for a number that is already registered (which frees the old
// gadget first: window property calls, the class name, DestroyWindow).
//
// The bulk of the table holds made-up window handles: the table stores plain
// integers, and creating ten thousand real windows on Wine takes long. Real
// windows are used where a real one matters (a re-used number whose window is
// destroyed), and the Windows calls that FREEGADGET makes are timed on their own.
#include "gadgets/gadgets.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 9;

double Nanoseconds(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::nano>(end - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Distinct values that can never be real windows: Wine numbers its window
// handles from 0x20 in the low word, so a low word of 0x10 is turned down in
// the process itself (DestroyWindow, GetClassNameA fail at once, as for handle
// 0). Window properties live in the wine server, so property calls on them
// cost a round trip, as they do on handle 0 and on real windows. The values
// stay far above any gadget number used here.
HWND FakeHandle(int32_t number) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(((0x1000 + number) << 16) | 0x10));
}

// The gadget numbers in table order, oldest first, kept beside the table:
// re-registering a number moves its pair to the end.
std::vector<int32_t> order;
int32_t nextNumber = 1;

void Reregistered(int32_t number) {
    order.erase(std::find(order.begin(), order.end(), number));
    order.push_back(number);
}

volatile intptr_t sink = 0;

// Nanoseconds per call for a cheap call: many calls a repeat, enough for a
// few milliseconds, median over the repeats.
template <typename Call>
double BatchedNanoseconds(Call&& call) {
    int calls = 1;
    for (;;) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < calls; ++i) call();
        if (Nanoseconds(start, Clock::now()) > 5e6 || calls >= (1 << 24)) break;
        calls *= 2;
    }
    std::vector<double> samples;
    for (int r = 0; r < kRepeats; ++r) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < calls; ++i) call();
        samples.push_back(Nanoseconds(start, Clock::now()) / calls);
    }
    return Median(samples);
}

// Takes whatever the freed windows left in the queue, untimed.
void EmptyQueue() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

struct Row {
    int size = 0;
    double gadgetFirst = 0, gadgetMiddle = 0, gadgetLast = 0;
    double addNew = 0, reuseFirst = 0, reuseMiddle = 0, reuseLast = 0, reuseReal = 0;
    double fillPerCall = 0;
    double roundTrip = 0;  // one failing GetPropA, timed alongside the samples
};

template <typename Call>
double TimeOnce(Call&& call) {
    Clock::time_point start = Clock::now();
    call();
    return Nanoseconds(start, Clock::now());
}

// ADDIN9999 of a number not registered yet; the pair is dropped again
// (untimed) so the table keeps its size.
double AddNewNumber() {
    int32_t number = nextNumber++;
    double time = TimeOnce([&] { gadgets::ADDIN9999(number, FakeHandle(number)); });
    gadgets::FREEGADGET(number);
    return time;
}

// ADDIN9999 of the number at `position` in table order (made-up handles).
double Reuse(size_t position) {
    int32_t number = order[position];
    double time = TimeOnce([&] { gadgets::ADDIN9999(number, FakeHandle(number)); });
    Reregistered(number);
    return time;
}

// ADDIN9999 of a number registered with a real child window, handing it a new
// real one: the old window is destroyed. The number is the newest in the table.
double ReuseReal(HWND parent) {
    auto child = [&] {
        return CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, parent,
                               nullptr, nullptr, nullptr);
    };
    int32_t number = nextNumber++;
    gadgets::ADDIN9999(number, child());
    HWND replacement = child();
    double time = TimeOnce([&] { gadgets::ADDIN9999(number, replacement); });
    gadgets::FREEGADGET(number);
    EmptyQueue();
    return time;
}

// A wine-server round trip that changes nothing: the yardstick for the rest.
double RoundTrip() {
    return TimeOnce([] { GetPropA(nullptr, "STATUSBARARRAY"); });
}

constexpr int kSamples = 101;
constexpr int kRealSamples = 31;

Row Measure(HWND parent, int size) {
    Row row{};
    row.size = size;

    int added = size - static_cast<int>(order.size());
    Clock::time_point fillStart = Clock::now();
    while (static_cast<int>(order.size()) < size) {
        int32_t number = nextNumber++;
        gadgets::ADDIN9999(number, FakeHandle(number));
        order.push_back(number);
    }
    row.fillPerCall = added > 0 ? Nanoseconds(fillStart, Clock::now()) / added : 0;

    auto lookUp = [](int32_t number) {
        return [number] { sink = reinterpret_cast<intptr_t>(gadgets::GadgetID(number)); };
    };
    row.gadgetFirst = BatchedNanoseconds(lookUp(order.front()));
    row.gadgetMiddle = BatchedNanoseconds(lookUp(order[order.size() / 2]));
    row.gadgetLast = BatchedNanoseconds(lookUp(order.back()));

    // The kinds take turns, sample by sample, so that a machine busy with other
    // work weighs on all of them alike.
    std::vector<double> addNew, reuseFirst, reuseMiddle, reuseLast, reuseReal, roundTrip;
    for (int i = 0; i < kSamples; ++i) {
        roundTrip.push_back(RoundTrip());
        addNew.push_back(AddNewNumber());
        reuseFirst.push_back(Reuse(0));
        reuseMiddle.push_back(Reuse(order.size() / 2));
        reuseLast.push_back(Reuse(order.size() - 1));
        if (i < kRealSamples) reuseReal.push_back(ReuseReal(parent));
    }
    row.addNew = Median(addNew);
    row.reuseFirst = Median(reuseFirst);
    row.reuseMiddle = Median(reuseMiddle);
    row.reuseLast = Median(reuseLast);
    row.reuseReal = Median(reuseReal);
    row.roundTrip = Median(roundTrip);
    return row;
}

// Microseconds per call of one Windows call, median of repeats of 1000 calls.
template <typename Call>
double MicrosecondsPerCall(Call&& call) {
    std::vector<double> samples;
    for (int r = 0; r < kRepeats; ++r) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < 1000; ++i) call();
        samples.push_back(Nanoseconds(start, Clock::now()) / 1000 / 1000);
    }
    return Median(samples);
}

}  // namespace

int main() {
    // The first OpenWindow creates the tables; it is also the parent of the
    // real gadgets. The window itself is not a gadget.
    HWND window = gadgets::OpenWindow("registry bench", 50, 50, 320, 240,
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0);
    if (window == nullptr) {
        std::printf("registry bench: could not open the window\n");
        return 0;
    }
    EmptyQueue();

    std::printf("Gadget table: nanoseconds per call, medians\n");
    std::printf("GadgetID: batched calls, median of %d repeats. ADDIN9999: single calls timed,\n"
                "median of %d (%d with real windows). first/middle/last: place in table order.\n\n",
                kRepeats, kSamples, kRealSamples);
    std::printf("%8s | %-29s | %-51s |\n", "", "GadgetID of number at",
                "ADDIN9999 of a new number / of a re-used number at");
    std::printf("%8s | %9s %9s %9s | %9s | %9s %9s %9s | %9s | %9s\n", "gadgets", "first",
                "middle", "last", "new", "first", "middle", "last", "real wnd", "fill/call");
    std::printf("%8s-+-%9s-%9s-%9s-+-%9s-+-%9s-%9s-%9s-+-%9s-+-%9s\n", "--------", "---------",
                "---------", "---------", "---------", "---------", "---------", "---------",
                "---------", "---------");
    std::vector<Row> rows;
    for (int size : {10, 1000, 10000}) {
        Row row = Measure(window, size);
        std::printf("%8d | %9.0f %9.0f %9.0f | %9.0f | %9.0f %9.0f %9.0f | %9.0f | %9.0f\n",
                    row.size, row.gadgetFirst, row.gadgetMiddle, row.gadgetLast, row.addNew,
                    row.reuseFirst, row.reuseMiddle, row.reuseLast, row.reuseReal,
                    row.fillPerCall);
        std::fflush(stdout);
        rows.push_back(row);
    }
    std::printf("\nnew: a number not yet registered (FREEGADGET finds nothing but still makes its\n"
                "property calls on handle 0). first/middle/last: a number registered with a\n"
                "made-up handle, at that place in table order. real wnd: a number registered\n"
                "with a real child window, which is destroyed (the number is the newest).\n"
                "fill/call: average ADDIN9999 while growing the table to its size.\n");

    // Wine-server round trips dominate ADDIN9999 and vary with the machine's
    // load; the same figures in units of one round trip measured alongside.
    std::printf("\nADDIN9999 in wine-server round trips (one failing GetPropA, timed alongside)\n");
    std::printf("%8s | %9s | %9s | %9s %9s %9s | %9s\n", "gadgets", "trip ns", "new",
                "re first", "re middle", "re last", "real wnd");
    std::printf("%8s-+-%9s-+-%9s-+-%9s-%9s-%9s-+-%9s\n", "--------", "---------", "---------",
                "---------", "---------", "---------", "---------");
    for (const Row& row : rows) {
        std::printf("%8d | %9.0f | %9.1f | %9.1f %9.1f %9.1f | %9.1f\n", row.size, row.roundTrip,
                    row.addNew / row.roundTrip, row.reuseFirst / row.roundTrip,
                    row.reuseMiddle / row.roundTrip, row.reuseLast / row.roundTrip,
                    row.reuseReal / row.roundTrip);
    }
    std::fflush(stdout);

    // The Windows calls that FREEGADGET makes, on their own.
    HWND real = CreateWindowExA(0, "Static", "", WS_CHILD, 0, 0, 50, 20, window, nullptr, nullptr,
                                nullptr);
    HWND fake = FakeHandle(0);
    std::printf("\nWindows calls made by FREEGADGET (microseconds per call)\n");
    std::printf("%-40s %10s\n", "call", "us/call");
    std::printf("%-40s %10s\n", "----", "-------");
    auto line = [](const char* name, double microseconds) {
        std::printf("%-40s %10.2f\n", name, microseconds);
        std::fflush(stdout);
    };
    char name[128];
    line("GetPropA, handle 0", MicrosecondsPerCall([] { GetPropA(nullptr, "STATUSBARARRAY"); }));
    line("RemovePropA, handle 0",
         MicrosecondsPerCall([] { RemovePropA(nullptr, "STATUSBARWINDOW"); }));
    line("GetPropA, made-up handle",
         MicrosecondsPerCall([&] { GetPropA(fake, "STATUSBARARRAY"); }));
    line("RemovePropA, made-up handle",
         MicrosecondsPerCall([&] { RemovePropA(fake, "STATUSBARWINDOW"); }));
    line("GetClassNameA, made-up handle",
         MicrosecondsPerCall([&] { GetClassNameA(fake, name, sizeof name); }));
    line("DestroyWindow, made-up handle", MicrosecondsPerCall([&] { DestroyWindow(fake); }));
    line("GetPropA, real window", MicrosecondsPerCall([&] { GetPropA(real, "STATUSBARARRAY"); }));
    line("RemovePropA, real window (not set)",
         MicrosecondsPerCall([&] { RemovePropA(real, "STATUSBARWINDOW"); }));
    line("GetClassNameA, real window",
         MicrosecondsPerCall([&] { GetClassNameA(real, name, sizeof name); }));
    {
        std::vector<double> samples;
        for (int i = 0; i < 31; ++i) {
            HWND child = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20,
                                         window, nullptr, nullptr, nullptr);
            Clock::time_point start = Clock::now();
            DestroyWindow(child);
            samples.push_back(Nanoseconds(start, Clock::now()) / 1000);
            EmptyQueue();
        }
        line("DestroyWindow, real child window", Median(samples));
    }
    DestroyWindow(real);
    return 0;
}
