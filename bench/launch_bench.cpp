// The whole program against plain Windows programs built and measured in the
// same run: start-up to a painted window, start-up to the banner, idle CPU,
// peak memory and executable size. A console program that runs on Wine,
// starts each candidate with CreateProcess and watches it from outside.
//
// Candidates, all built in this tree, for this tree's architecture (the
// 32-bit product's own on a machine that runs 32-bit code):
//   program       zudizazuz.exe with Wine's own WebBrowser control
//   bare_window   one window, one message loop, the same two 10 ms timers
//   bare_browser  bare_window plus the WebBrowser control hosted through
//                 atl.dll (AtlAxWinInit, an "AtlAxWin" child, "about:blank")
//   hand_written  the program's whole window written by hand without the
//                 gadget library (hand_written.cpp): the same browser, event
//                 sink, form, colours, shortcuts, timers, manifest and build
//                 flags; what the program costs over it is the library's cost
//   stand-in      zudizazuz.exe and hand_written.exe with the browser stand-in
//                 atl.dll that scripts/bench.sh installs in the prefix's
//                 system folder (atl=n), for the banner only
//
// Wine takes a process's DLL load order from the Unix environment it was
// started in, not from the environment block CreateProcess passes, so the
// stand-in runs in a run of its own (--banner-only 1, started with
// ZUDIZAZUZ_ATL=n), which leaves its figures in a file for the main run.
//
// One launch: CreateProcess; watch until painted (and, in the stand-in run,
// until the banner is written); leave it alone for the idle period; read its
// CPU time and peak working set; close it with WM_CLOSE. The rounds rotate the
// order of the candidates so that a machine busy with other work weighs on all
// of them alike; a ratio is the median of the rounds' own ratios.
// Nothing here asserts anything: it prints figures and exits with 0.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// ---- Options --------------------------------------------------------------------

struct Options {
    std::wstring program;
    std::wstring standIn;
    std::wstring bareWindow;
    std::wstring bareBrowser;
    std::wstring handWritten;
    std::wstring standInHandWritten;
    std::wstring product32;   // the stripped 32-bit product, for its size
    std::wstring bare32;      // bare_window built the product's way for 32-bit
    std::wstring bannerFile;  // the stand-in run's figures: written by it, read by the main run
    // Further executables measured in the same rounds (--also NAME=PATH), e.g.
    // variants of the program for finding where its time goes.
    std::vector<std::pair<std::string, std::wstring>> also;
    bool bannerOnly = false;
    int rounds = 7;
    double idleSeconds = 10;
    double settleSeconds = 0.5;  // from painted to the start of the idle period
    long serverPid = 0;          // the wine server of this prefix (Unix pid); 0: not measured
    bool trace = false;          // one line a launch with its milestones
};

// A Unix path ("/work/...") becomes its Wine drive Z: path; others stay.
std::wstring WindowsPath(const char* path) {
    std::wstring wide;
    for (const char* c = path; *c != '\0'; ++c) wide += static_cast<wchar_t>(*c == '/' ? '\\' : *c);
    return path[0] == '/' ? L"Z:" + wide : wide;
}

std::wstring Folder(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

Options ParseOptions(int argc, char** argv) {
    // Defaults: this program sits in BUILD/bench beside the bare programs.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring bench = Folder(self);
    std::wstring build = Folder(bench);
    Options options;
    options.program = build + L"\\zudizazuz.exe";
    options.standIn = build + L"\\zudizazuz.exe";
    options.bareWindow = bench + L"\\bare_window.exe";
    options.bareBrowser = bench + L"\\bare_browser.exe";
    options.handWritten = bench + L"\\hand_written.exe";
    options.standInHandWritten = bench + L"\\hand_written.exe";
    options.bare32 = bench + L"\\i686\\bare_window.exe";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--program") options.program = WindowsPath(value);
        else if (name == "--standin") options.standIn = WindowsPath(value);
        else if (name == "--bare-window") options.bareWindow = WindowsPath(value);
        else if (name == "--bare-browser") options.bareBrowser = WindowsPath(value);
        else if (name == "--hand-written") options.handWritten = WindowsPath(value);
        else if (name == "--standin-hand-written") options.standInHandWritten = WindowsPath(value);
        else if (name == "--product32") options.product32 = WindowsPath(value);
        else if (name == "--bare32") options.bare32 = WindowsPath(value);
        else if (name == "--banner-file") options.bannerFile = WindowsPath(value);
        else if (name == "--also" && std::strchr(value, '=') != nullptr) {
            const char* path = std::strchr(value, '=') + 1;
            options.also.emplace_back(std::string(value, path - 1), WindowsPath(path));
        }
        else if (name == "--banner-only") options.bannerOnly = std::string(value) == "1";
        else if (name == "--rounds") options.rounds = std::max(1, std::atoi(value));
        else if (name == "--idle-seconds") options.idleSeconds = std::atof(value);
        else if (name == "--server-pid") options.serverPid = std::atol(value);
        else if (name == "--trace") options.trace = std::string(value) == "1";
        else std::printf("launch bench: unknown option %s ignored\n", name.c_str());
    }
    return options;
}

// ---- Small helpers ----------------------------------------------------------------

// A mark in a wine server trace (a server started with -d1): opening an event
// that does not exist is one request that names the moment. bench.sh's
// request count (server_requests.py) splits each candidate's requests there.
void Mark(const char* moment) {
    char name[64] = "ZudizazuzLaunchBench.";
    lstrcatA(name, moment);
    if (HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name)) CloseHandle(event);
}

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Series {
    std::vector<double> values;
    void Add(double value) { values.push_back(value); }
    bool empty() const { return values.empty(); }
    double median() const { return Median(values); }
    double lowest() const { return empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double highest() const { return empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::optional<long long> FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// ---- Unix processes, through Wine's drive Z: ----------------------------------------
//
// Wine's GetProcessTimes answers with the caller's own times whatever process
// it is asked about, so CPU time is read where Linux keeps it.

std::string ProcFile(long pid, const char* name) {
    return ReadWholeFile("Z:\\proc\\" + std::to_string(pid) + "\\" + name);
}

// Time on the CPU from /proc/<pid>/task/*/schedstat (the first field, in
// nanoseconds) summed over the process's threads: precise where
// /proc/<pid>/stat counts 10 ms clock ticks. Threads that have ended are
// missed; the candidates run a single thread here.
std::optional<double> UnixCpuSeconds(long pid) {
    if (pid <= 0) return std::nullopt;
    std::string tasks = "Z:\\proc\\" + std::to_string(pid) + "\\task\\";
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((tasks + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    double nanoseconds = 0;
    bool any = false;
    do {
        if (std::atol(entry.cFileName) <= 0) continue;
        std::string text = ReadWholeFile(tasks + entry.cFileName + "\\schedstat");
        if (text.empty()) continue;
        nanoseconds += std::atof(text.c_str());
        any = true;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    if (!any) return std::nullopt;
    return nanoseconds / 1e9;
}

// "Z:\Work\x.exe" and "/work/x.exe" alike: lower case, forward slashes, no drive.
std::string Comparable(std::string path) {
    for (char& c : path) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (path.size() >= 2 && path[1] == ':') path.erase(0, 2);
    return path;
}

// The last process id Linux handed out; the candidate's comes after it.
long LastUnixPid() { return std::atol(ReadWholeFile("Z:\\proc\\sys\\kernel\\ns_last_pid").c_str()); }

// Whether a Unix process runs the executable: Wine names the process after
// the executable (comm, at most 15 characters) and gives it the executable's
// path as its first argument.
bool Runs(long pid, const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1).substr(0, 15);
    std::string comm = ProcFile(pid, "comm");
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0')) comm.pop_back();
    if (Comparable(comm) != name) return false;
    std::string commandLine = ProcFile(pid, "cmdline");
    return Comparable(commandLine.substr(0, commandLine.find('\0'))) == path;
}

// The Unix process of a candidate started after `lastPid` was handed out:
// the next few ids first (a few file reads, cheap enough to do while the
// candidate starts), then all of /proc. The harness runs one candidate at a time.
long UnixPidOf(const std::wstring& executable, long lastPid) {
    std::string path = Comparable(Narrow(executable));
    for (long pid = lastPid + 1; lastPid > 0 && pid <= lastPid + 64; ++pid) {
        if (Runs(pid, path)) return pid;
    }
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    long found = 0;
    do {
        long pid = std::atol(entry.cFileName);
        if (pid > 0 && Runs(pid, path)) found = std::max(found, pid);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

// ---- Watching a candidate -------------------------------------------------------------

// The main window of every candidate: "Zudizazuz", 735 by 600, centred by
// the rule that CENTERWINDOW uses (each half taken on its own).
constexpr int kWidth = 735;
constexpr int kHeight = 600;

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisibleMainWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    char title[32] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(title, "Zudizazuz") != 0) return TRUE;
    search->found = window;
    return FALSE;
}

bool AtCentre(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    int left = (GetSystemMetrics(SM_CXSCREEN) >> 1) - (kWidth >> 1);
    int top = (GetSystemMetrics(SM_CYSCREEN) >> 1) - (kHeight >> 1);
    return rect.left == left && rect.top == top && rect.right - rect.left == kWidth &&
           rect.bottom - rect.top == kHeight;
}

// Two points of the client area that no child covers in any candidate (left
// of the form's first row, below and right of the web gadget), read from the
// X screen: they show the window's background once the window has been
// painted and Wine has put its surface on the screen.
bool BackgroundOnScreen(HWND window, HDC screen, COLORREF background) {
    RECT client{};
    GetClientRect(window, &client);
    POINT points[] = {{5, 40}, {client.right - 5, client.bottom - 5}};
    for (POINT point : points) {
        ClientToScreen(window, &point);
        if (GetPixel(screen, point.x, point.y) != background) return false;
    }
    return true;
}

bool LogHasLine(const std::wstring& path, const std::string& start) {
    std::string text = ReadWholeFile(Narrow(path));
    return text.rfind(start, 0) == 0 || text.find("\n" + start) != std::string::npos;
}

// ---- One launch ------------------------------------------------------------------------

struct Candidate {
    std::string name;
    std::wstring path;
};

struct Launch {
    bool ok = false;
    std::string failure;
    double windowMs = 0;   // a visible main window of the process exists
    double centredMs = 0;  // ... at its final, centred place
    double idleMs = 0;     // WaitForInputIdle said idle
    double paintedMs = 0;  // centred, idle and the background on the screen
    double bannerMs = 0;   // the stand-in logged put_innerHTML (stand-in run)
    double startupCpuSeconds = 0;  // the process's time on the CPU at painted
    double idleCpuSeconds = 0;     // the process's over the idle period
    double serverCpuSeconds = 0;   // the wine server's over the idle period
    double peakMiB = 0;            // PeakWorkingSetSize at the end
    bool cpuMeasured = false;
    bool serverMeasured = false;
    bool closedCleanly = false;
};

Launch Run(const Candidate& candidate, const Options& options, HDC screen, bool standIn) {
    Launch launch;
    std::wstring log;
    if (standIn) {
        // The stand-in appends its calls to the file this variable names.
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        log = std::wstring(folder) + L"zudizazuz-launch-bench-" +
              std::to_wstring(GetCurrentProcessId()) + L".log";
        DeleteFileW(log.c_str());
        SetEnvironmentVariableW(L"ZUDIZAZUZ_STANDIN_LOG", log.c_str());
    }
    std::wstring commandLine = L"\"" + candidate.path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    long lastPid = LastUnixPid();
    double start = Now();
    if (!CreateProcessW(candidate.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        launch.failure = "CreateProcess failed, error " + std::to_string(GetLastError());
        return launch;
    }
    auto elapsedMs = [&] { return (Now() - start) * 1000; };

    // Painted: a visible main window of the process at its centred place, the
    // process idle for input (WaitForInputIdle: it has taken its messages,
    // paints included, and found its queue empty), and its background on the
    // X screen. Polled every 2 ms.
    COLORREF background = GetSysColor(COLOR_BTNFACE);
    Search search{process.dwProcessId, nullptr};
    long pid = 0;  // the candidate's Unix process, looked up once its window shows
    bool bannerSeen = !standIn;
    while (launch.paintedMs == 0 || !bannerSeen) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            launch.failure = "the process ended during start-up";
            break;
        }
        if (elapsedMs() > 30000) {
            launch.failure = launch.paintedMs == 0 ? "not painted within 30 s"
                                                   : "no banner within 30 s";
            break;
        }
        if (launch.paintedMs == 0) {
            if (search.found == nullptr) {
                EnumWindows(FindVisibleMainWindow, reinterpret_cast<LPARAM>(&search));
                if (search.found != nullptr) {
                    launch.windowMs = elapsedMs();
                    pid = UnixPidOf(candidate.path, lastPid);
                }
            }
            if (search.found != nullptr) {
                if (launch.centredMs == 0 && AtCentre(search.found)) launch.centredMs = elapsedMs();
                if (launch.idleMs == 0 && WaitForInputIdle(process.hProcess, 0) == 0) {
                    launch.idleMs = elapsedMs();
                }
                if (launch.centredMs != 0 && launch.idleMs != 0 &&
                    BackgroundOnScreen(search.found, screen, background)) {
                    launch.paintedMs = elapsedMs();
                    Mark("painted");
                    if (auto cpu = UnixCpuSeconds(pid)) launch.startupCpuSeconds = *cpu;
                }
            }
        }
        if (!bannerSeen && LogHasLine(log, "put_innerHTML ")) {
            bannerSeen = true;
            launch.bannerMs = elapsedMs();
        }
        Sleep(2);
    }

    if (launch.failure.empty()) {
        launch.ok = true;
        if (!standIn && options.idleSeconds > 0) {
            // The idle period: the harness only sleeps.
            Sleep(static_cast<DWORD>(options.settleSeconds * 1000));
            auto cpu = UnixCpuSeconds(pid);
            auto server = UnixCpuSeconds(options.serverPid);
            Mark("idle");
            Sleep(static_cast<DWORD>(options.idleSeconds * 1000));
            Mark("idle-end");
            auto cpuAfter = UnixCpuSeconds(pid);
            auto serverAfter = UnixCpuSeconds(options.serverPid);
            if (cpu && cpuAfter) {
                launch.cpuMeasured = true;
                launch.idleCpuSeconds = *cpuAfter - *cpu;
            }
            if (server && serverAfter) {
                launch.serverMeasured = true;
                launch.serverCpuSeconds = *serverAfter - *server;
            }
        }
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
            launch.peakMiB = static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
        }
    }

    // Closed through its close request: the bare programs quit on WM_DESTROY,
    // the program on event 16.
    if (search.found != nullptr) PostMessageA(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0) {
        launch.closedCleanly = search.found != nullptr;
    } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (standIn) {
        SetEnvironmentVariableW(L"ZUDIZAZUZ_STANDIN_LOG", nullptr);
        DeleteFileW(log.c_str());
    }
    return launch;
}

void Trace(int round, const Candidate& candidate, const Launch& launch) {
    std::printf("  round %d %-13s window %6.1f centred %6.1f idle %6.1f painted %6.1f", round + 1,
                candidate.name.c_str(), launch.windowMs, launch.centredMs, launch.idleMs, launch.paintedMs);
    if (launch.bannerMs > 0) std::printf(" banner %6.1f", launch.bannerMs);
    std::printf(" ms; CPU to painted %.3f s, idle %.3f s, server %.3f s; peak %.1f MiB%s%s%s\n",
                launch.startupCpuSeconds, launch.idleCpuSeconds,
                launch.serverCpuSeconds,
                launch.peakMiB, launch.closedCleanly ? "" : "; not closed by WM_CLOSE",
                launch.ok ? "" : "; FAILED: ", launch.failure.c_str());
    std::fflush(stdout);
}


// ---- The stand-in run: start-up to the banner --------------------------------------------

const char* Architecture() { return sizeof(void*) == 4 ? "32-bit" : "64-bit"; }

struct BannerFigures {
    int runs = 0;
    double bannerMs = 0, lowestMs = 0, highestMs = 0, paintedMs = 0;
    // The hand-written program beside the same stand-in, and the program's
    // banner time over its own in the same round.
    int handRuns = 0;
    double handBannerMs = 0, handPaintedMs = 0, ratio = 0, lowestRatio = 0, highestRatio = 0;
};

void RunBannerOnly(const Options& options, HDC screen) {
    const Candidate candidates[] = {{"stand-in", options.standIn},
                                    {"hand stand-in", options.standInHandWritten}};
    std::printf("Launch benchmark, stand-in run (%s): %d rounds of %s and %s, the order rotated\n",
                Architecture(), options.rounds, Narrow(candidates[0].path).c_str(),
                Narrow(candidates[1].path).c_str());
    Series banner[2], painted[2], ratio;
    for (int round = 0; round < options.rounds; ++round) {
        Launch launches[2];
        for (int turn = 0; turn < 2; ++turn) {
            int which = (turn + round) % 2;
            launches[which] = Run(candidates[which], options, screen, true);
            if (options.trace || !launches[which].ok) Trace(round, candidates[which], launches[which]);
            if (launches[which].ok) {
                banner[which].Add(launches[which].bannerMs);
                painted[which].Add(launches[which].paintedMs);
            }
            Sleep(300);
        }
        if (launches[0].ok && launches[1].ok) ratio.Add(launches[0].bannerMs / launches[1].bannerMs);
    }
    std::printf("start-up to the banner written: program %.1f ms (median of %zu, range %.1f-%.1f), "
                "painted at %.1f ms\n",
                banner[0].median(), banner[0].values.size(), banner[0].lowest(), banner[0].highest(),
                painted[0].median());
    std::printf("                                hand-written %.1f ms (median of %zu, range "
                "%.1f-%.1f), painted at %.1f ms\n",
                banner[1].median(), banner[1].values.size(), banner[1].lowest(),
                banner[1].highest(), painted[1].median());
    std::printf("                                ratio %.2f (range %.2f-%.2f)\n", ratio.median(),
                ratio.lowest(), ratio.highest());
    if (!options.bannerFile.empty()) {
        std::ofstream file(Narrow(options.bannerFile));
        file << banner[0].values.size() << ' ' << banner[0].median() << ' ' << banner[0].lowest()
             << ' ' << banner[0].highest() << ' ' << painted[0].median() << ' '
             << banner[1].values.size() << ' ' << banner[1].median() << ' ' << painted[1].median()
             << ' ' << ratio.median() << ' ' << ratio.lowest() << ' ' << ratio.highest() << '\n';
    }
}

std::optional<BannerFigures> ReadBannerFigures(const std::wstring& path) {
    if (path.empty()) return std::nullopt;
    std::istringstream text(ReadWholeFile(Narrow(path)));
    BannerFigures figures;
    if (!(text >> figures.runs >> figures.bannerMs >> figures.lowestMs >> figures.highestMs >>
          figures.paintedMs >> figures.handRuns >> figures.handBannerMs >> figures.handPaintedMs >>
          figures.ratio >> figures.lowestRatio >> figures.highestRatio) ||
        figures.runs == 0) {
        return std::nullopt;
    }
    return figures;
}

// ---- The main run ----------------------------------------------------------------------------

// The first four candidates; any further ones follow them.
enum Which { kProgram, kBareWindow, kBareBrowser, kHandWritten, kFixed };
const char* const kFixedNames[kFixed] = {"program", "bare_window", "bare_browser", "hand_written"};

// The figures of one launch that are compared, and their names.
enum Figure { kPainted, kStartupCpu, kIdleCpu, kWithServer, kPeak, kFigures };

double FigureOf(const Launch& launch, Figure figure) {
    switch (figure) {
        case kPainted: return launch.paintedMs;
        case kStartupCpu: return launch.startupCpuSeconds;
        case kIdleCpu: return launch.cpuMeasured ? launch.idleCpuSeconds : 0;
        case kWithServer:
            return launch.cpuMeasured && launch.serverMeasured
                       ? launch.idleCpuSeconds + launch.serverCpuSeconds
                       : 0;
        case kPeak: return launch.peakMiB;
        default: return 0;
    }
}

const char* Verdict(double value, double target) {
    return value <= target ? "met" : "MISSED";
}

// The figures of all rounds: each candidate's own, and its ratio to each of
// the four fixed candidates in the same round.
struct Results {
    int count = 0;
    std::vector<Series> value[kFigures];
    std::vector<std::vector<Series>> ratio[kFigures];  // [figure][candidate][reference]
};

void PrintRow(const char* label, const Results& results, Figure figure, int which, int reference,
              const char* format, double target) {
    const Series& ratio = results.ratio[figure][which][reference];
    if (ratio.empty()) return;
    char own[32], other[32], goal[32] = "";
    std::snprintf(own, sizeof own, format, results.value[figure][which].median());
    std::snprintf(other, sizeof other, format, results.value[figure][reference].median());
    if (target > 0) {
        std::snprintf(goal, sizeof goal, "<= %.2f %s", target, Verdict(ratio.median(), target));
    }
    std::printf("%-30s %-12s %9s %-12s %9s %6.3f  %5.3f-%5.3f  %s\n", label,
                kFixedNames[which], own, kFixedNames[reference], other, ratio.median(),
                ratio.lowest(), ratio.highest(), goal);
}

void RunMain(const Options& options, HDC screen) {
    std::vector<Candidate> candidates = {
        {"program", options.program},
        {"bare_window", options.bareWindow},
        {"bare_browser", options.bareBrowser},
        {"hand_written", options.handWritten},
    };
    for (const auto& [name, path] : options.also) candidates.push_back({name, path});
    const int count = static_cast<int>(candidates.size());
    const bool idle = options.idleSeconds > 0;
    std::printf("Launch benchmark (%s builds): %d rounds of %d launches, the order rotated each "
                "round\n",
                Architecture(), options.rounds, count);
    std::string load = ReadWholeFile("Z:\\proc\\loadavg");
    std::printf("load average at start: %s", load.c_str());
    for (const Candidate& candidate : candidates) {
        std::printf("  %-16s %s\n", candidate.name.c_str(), Narrow(candidate.path).c_str());
    }
    std::fflush(stdout);

    // The wine server's own cost with no candidate running, for reference.
    std::optional<double> serverAlone;
    if (auto before = idle ? UnixCpuSeconds(options.serverPid) : std::nullopt) {
        Sleep(static_cast<DWORD>(options.idleSeconds * 1000));
        if (auto after = UnixCpuSeconds(options.serverPid)) {
            serverAlone = *after - *before;
        }
    }

    Results results;
    for (auto& series : results.value) series.resize(count);
    for (auto& table : results.ratio) table.assign(count, std::vector<Series>(kFixed));
    for (int round = 0; round < options.rounds; ++round) {
        std::vector<Launch> launches(count);
        for (int turn = 0; turn < count; ++turn) {
            int which = (turn + round) % count;
            launches[which] = Run(candidates[which], options, screen, false);
            if (options.trace || !launches[which].ok) Trace(round, candidates[which], launches[which]);
            Sleep(300);  // Wine and the X server finish tearing the window down
        }
        if (!std::all_of(std::begin(launches), std::end(launches),
                         [](const Launch& launch) { return launch.ok; })) {
            continue;  // a round with a failed launch is left out
        }
        ++results.count;
        for (int f = 0; f < kFigures; ++f) {
            Figure figure = static_cast<Figure>(f);
            if (!idle && (figure == kIdleCpu || figure == kWithServer)) continue;
            for (int which = 0; which < count; ++which) {
                double own = FigureOf(launches[which], figure);
                results.value[f][which].Add(own);
                for (int reference = 0; reference < kFixed; ++reference) {
                    double other = FigureOf(launches[reference], figure);
                    if (own > 0 && other > 0) results.ratio[f][which][reference].Add(own / other);
                }
            }
        }
    }

    std::printf("\n%d of %d rounds complete\n\n", results.count, options.rounds);
    if (results.count > 0) {
        std::printf("%-30s %-12s %9s %-12s %9s %6s  %-11s  %s\n", "figure (medians)", "", "",
                    "against", "", "ratio", "range", "target");
        std::printf("%-30s %-12s %9s %-12s %9s %6s  %-11s  %s\n", "----------------", "", "",
                    "-------", "", "-----", "-----", "------");
        PrintRow("(a) start-up to painted, ms", results, kPainted, kProgram, kHandWritten, "%.1f", 1.05);
        PrintRow("", results, kPainted, kProgram, kBareBrowser, "%.1f", 1.10);
        PrintRow("", results, kPainted, kProgram, kBareWindow, "%.1f", 0);
        PrintRow("", results, kPainted, kHandWritten, kBareBrowser, "%.1f", 0);
        PrintRow("    CPU to painted, s", results, kStartupCpu, kProgram, kHandWritten, "%.3f", 0);
        PrintRow("", results, kStartupCpu, kHandWritten, kBareBrowser, "%.3f", 0);
        if (idle) {
            PrintRow("(c) idle CPU, process, s", results, kIdleCpu, kProgram, kBareWindow, "%.3f", 1.00);
            PrintRow("", results, kIdleCpu, kHandWritten, kBareWindow, "%.3f", 0);
            PrintRow("    process + wine server, s", results, kWithServer, kProgram, kBareWindow,
                     "%.3f", 1.00);
            PrintRow("", results, kWithServer, kHandWritten, kBareWindow, "%.3f", 0);
        }
        PrintRow("(d) peak working set, MiB", results, kPeak, kProgram, kHandWritten, "%.2f", 1.05);
        PrintRow("", results, kPeak, kProgram, kBareBrowser, "%.2f", 0);
        PrintRow("", results, kPeak, kHandWritten, kBareBrowser, "%.2f", 0);
    }

    if (options.bannerFile.empty()) {
        // A run without the stand-in run's figures (the variants' run).
    } else if (auto banner = ReadBannerFigures(options.bannerFile)) {
        std::printf("\n(b) start-up to the banner written (beside the browser stand-in):\n");
        std::printf("    program %.1f ms, median of %d (range %.1f-%.1f), painted at %.1f ms;\n"
                    "    hand_written %.1f ms, painted at %.1f ms; ratio %.2f (range %.2f-%.2f)\n",
                    banner->bannerMs, banner->runs, banner->lowestMs, banner->highestMs,
                    banner->paintedMs, banner->handBannerMs, banner->handPaintedMs, banner->ratio,
                    banner->lowestRatio, banner->highestRatio);
    } else {
        std::printf("\n(b) start-up to the banner written: not measured (no figures from a "
                    "stand-in run)\n");
    }

    if (results.count > 0) {
        std::printf("\nEach candidate, medians of %d runs (ratios: over the same round's run of "
                    "the candidate named)\n",
                    results.count);
        std::printf("  %-16s %8s %7s %7s %7s %8s %8s %7s %8s %7s %7s %7s\n", "", "painted", "/hand",
                    "/brows", "/window", "CPU to", "idle CPU", "/window", "+server", "/window",
                    "peak", "/hand");
        std::printf("  %-16s %8s %7s %7s %7s %8s %8s %7s %8s %7s %7s %7s\n", "", "ms", "", "", "",
                    "paint, s", "s", "", "s", "", "MiB", "");
        for (int which = 0; which < count; ++which) {
            auto median = [&](Figure figure) { return results.value[figure][which].median(); };
            auto ratio = [&](Figure figure, int reference) {
                return results.ratio[figure][which][reference].median();
            };
            std::printf("  %-16s %8.1f %7.2f %7.2f %7.2f %8.3f %8.3f %7.2f %8.3f %7.2f %7.2f %7.2f\n",
                        candidates[which].name.c_str(), median(kPainted),
                        ratio(kPainted, kHandWritten), ratio(kPainted, kBareBrowser),
                        ratio(kPainted, kBareWindow), median(kStartupCpu), median(kIdleCpu),
                        ratio(kIdleCpu, kBareWindow), median(kWithServer),
                        ratio(kWithServer, kBareWindow), median(kPeak), ratio(kPeak, kHandWritten));
        }
    }
    if (serverAlone) {
        std::printf("  the wine server alone, no candidate running, over %.0f s: %.3f CPU-s\n",
                    options.idleSeconds, *serverAlone);
    }

    std::printf("\n(e) executable size (%s, stripped)\n", Architecture());
    auto sizeRow = [](const char* what, const std::wstring& path, bool target) {
        auto size = FileSize(path);
        if (!size) {
            if (!path.empty()) std::printf("  %-44s %s\n", what, "(not found)");
            return;
        }
        std::printf("  %-44s %8lld bytes %7.1f KiB%s\n", what, *size, *size / 1024.0,
                    !target ? "" : *size <= 56 * 1024 ? "  <= 56 KiB met" : "  <= 56 KiB MISSED");
    };
    sizeRow("zudizazuz.exe", options.program, sizeof(void*) == 4);
    sizeRow("hand_written.exe", options.handWritten, false);
    sizeRow("bare_window.exe", options.bareWindow, false);
    sizeRow("bare_browser.exe", options.bareBrowser, false);
    for (size_t i = kFixed; i < candidates.size(); ++i) {
        sizeRow((candidates[i].name + ".exe").c_str(), candidates[i].path, false);
    }
    if (sizeof(void*) == 8) {
        sizeRow("zudizazuz.exe, the 32-bit product", options.product32, true);
        sizeRow("bare_window.exe, 32-bit, built the same way", options.bare32, false);
    }

    if (!idle) return;  // the figures are explained with the main run's
    std::printf(
        "\nHow the figures are taken\n"
        "  painted: from CreateProcess until a visible top-level \"Zudizazuz\" window of\n"
        "    the process is at its centred place, WaitForInputIdle says the process has\n"
        "    taken its messages (paints included) and found its queue empty, and two\n"
        "    client points that no child covers read COLOR_BTNFACE on the X screen;\n"
        "    polled every 2 ms.\n"
        "  banner: Wine's control holds no document here, so the write cannot be seen in\n"
        "    a page; the program and the hand-written program, beside the browser\n"
        "    stand-in (atl=n), are timed from CreateProcess until the stand-in logs\n"
        "    their put_innerHTML call.\n"
        "  CPU: of the candidate's Unix process, as Linux counts it (Wine's\n"
        "    GetProcessTimes reports the caller's own times for other processes).\n"
        "    Time on the CPU from /proc/<pid>/task/*/schedstat (ns): to painted, and\n"
        "    idle over %.0f s starting %.1f s after painted, while the harness only\n"
        "    sleeps. \"+ wine server\" adds the prefix's wine server over the same period,\n"
        "    which serves the candidate's timers and messages (and little else then).\n"
        "  peak: PeakWorkingSetSize (GetProcessMemoryInfo) at the end of the idle period;\n"
        "    Wine leaves PrivateUsage at 0.\n"
        "  ratio: candidate / comparator, the median of the per-round ratios, with their\n"
        "    range.\n",
        options.idleSeconds, options.settleSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    HDC screen = GetDC(nullptr);
    if (options.bannerOnly) {
        RunBannerOnly(options, screen);
    } else {
        RunMain(options, screen);
    }
    ReleaseDC(nullptr, screen);
    return 0;
}
