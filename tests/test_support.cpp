#include "test_support.h"

#include "gadgets/events/event_state.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace testing_support {

HWND OpenTestWindow(const char* title, DWORD style) {
    return gadgets::OpenWindow(title, 50, 50, 400, 300, style, 0);
}

TestWindow::TestWindow(const char* title, DWORD style) : handle_(OpenTestWindow(title, style)) {}

TestWindow::TestWindow(DWORD style, const char* title) : TestWindow(title, style) {}

TestWindow::~TestWindow() {
    if (IsWindow(handle_)) DestroyWindow(handle_);
}

HWND CreateChild(const char* className, HWND parent, int id, DWORD style, int x, int y, int width,
                 int height, const char* text) {
    return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                           parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr,
                           nullptr);
}

bool PumpEvents(const std::function<bool(int32_t code)>& onEvent, int timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG waiting;
        if (gadgets::EventStackCount() == 0 && !PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) {
            if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        if (onEvent(gadgets::WINDOWEVENT())) return true;
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
    }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    return PumpEvents([&](int32_t) { return done(); }, timeoutMs);
}

bool WaitForEvent(int32_t code, int timeoutMs) {
    return PumpEvents([&](int32_t seen) { return seen == code; }, timeoutMs);
}

void Drain() {
    MSG message;
    for (int i = 0; i < 10000; ++i) {
        if (gadgets::EventStackCount() == 0 && !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            return;
        }
        gadgets::WINDOWEVENT();
    }
}

void ServeSendsUntilTheEndOf(HANDLE thread) {
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 5000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
    CloseHandle(thread);
}

bool RunUnix(const std::string& commandLine, int timeoutMs) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    // Wine hands back no exit status of a Unix program, and its handle may not
    // be waitable; what the program did is checked by its effect instead.
    WaitForSingleObject(process.hProcess, timeoutMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool RunUnixToEnd(const std::string& commandLine, int timeoutMs) {
    static int runs = 0;
    std::string marker = "/tmp/zudizazuz-run-" +
                         std::to_string(std::hash<std::string>{}(Env("WINEPREFIX"))) + "-" +
                         std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++runs) +
                         ".done";
    std::string markerPath = WindowsPath(marker);
    DeleteFileA(markerPath.c_str());
    if (!RunUnix("/bin/sh -c \"" + commandLine + "; : > " + marker + "\"", timeoutMs)) return false;
    DWORD start = GetTickCount();
    while (GetFileAttributesA(markerPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        Sleep(10);
    }
    DeleteFileA(markerPath.c_str());
    return true;
}

bool PressKeys(const std::string& keys) {
    return RunUnixToEnd("/usr/bin/xdotool key --delay 20 " + keys);
}

void FocusWindow(HWND window) {
    SetForegroundWindow(window);
    SetActiveWindow(window);
    SetFocus(window);
}

std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string SystemAtlPath() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\atl.dll";
}

namespace {

using SetHookProc = HHOOK(WINAPI*)(int, HOOKPROC, HINSTANCE, DWORD);
std::atomic<int> hookSets{0};
SetHookProc realSetHookA = nullptr;
SetHookProc realSetHookW = nullptr;

HHOOK WINAPI CountedSetHookA(int kind, HOOKPROC routine, HINSTANCE module, DWORD thread) {
    ++hookSets;
    return realSetHookA(kind, routine, module, thread);
}

HHOOK WINAPI CountedSetHookW(int kind, HOOKPROC routine, HINSTANCE module, DWORD thread) {
    ++hookSets;
    return realSetHookW(kind, routine, module, thread);
}

void Replace(ULONG_PTR& slot, SetHookProc replacement, SetHookProc& original) {
    DWORD protection = 0;
    VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &protection);
    original = reinterpret_cast<SetHookProc>(slot);
    slot = reinterpret_cast<ULONG_PTR>(replacement);
    VirtualProtect(&slot, sizeof slot, protection, &protection);
}

void CountHookSets() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + module->Name), "user32.dll") != 0) continue;
        DWORD namesAt = module->OriginalFirstThunk != 0 ? module->OriginalFirstThunk : module->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesAt);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            if (std::strcmp(name, "SetWindowsHookExA") == 0) {
                Replace(slots->u1.Function, CountedSetHookA, realSetHookA);
            } else if (std::strcmp(name, "SetWindowsHookExW") == 0) {
                Replace(slots->u1.Function, CountedSetHookW, realSetHookW);
            }
        }
    }
}

}  // namespace

int HookSetsSoFar() {
    static const bool counting = (CountHookSets(), true);
    (void)counting;
    return hookSets.load();
}

size_t RuntimeHeapInUse() {
    HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    size_t inUse = 0;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) inUse += entry.cbData;
    }
    HeapUnlock(heap);
    return inUse;
}

}  // namespace testing_support
