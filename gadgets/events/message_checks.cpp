// Checks made on what a message carries when it arrives.
#include "gadgets/events/message_checks.h"

#include <cstdint>

namespace gadgets {

namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kWritable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE |
                            PAGE_EXECUTE_WRITECOPY;

// Region by region: a range may span pages of different protections.
bool Allows(const void* address, size_t size, DWORD access) {
    auto at = reinterpret_cast<uintptr_t>(address);
    uintptr_t end = at + size;
    if (at == 0 || size == 0 || end < at) return false;
    while (at < end) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) != sizeof region ||
            region.State != MEM_COMMIT || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0 ||
            (region.Protect & access) == 0) {
            return false;
        }
        at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    }
    return true;
}

// Whether `tooltip` is a tooltip control with the tool `tool` of `window`.
// Asked without a text buffer: nothing is copied back but the tool's fields.
bool IsToolTipWithTool(HWND tooltip, HWND window, UINT_PTR tool) {
    char name[32];
    if (GetClassNameA(tooltip, name, sizeof name) == 0 || lstrcmpiA(name, TOOLTIPS_CLASSA) != 0) {
        return false;
    }
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.hwnd = window;
    info.uId = tool;
    return SendMessageA(tooltip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

}  // namespace

bool IsReadable(const void* address, size_t size) { return Allows(address, size, kReadable); }

bool IsWritable(void* address, size_t size) { return Allows(address, size, kWritable); }

bool IsWindowOfThisThread(HWND window) {
    return window != nullptr && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

bool InAnotherThreadsSend() { return InSendMessageEx(nullptr) != ISMEX_NOSEND; }

bool ReadNotificationHeader(HWND window, LPARAM lParam, NMHDR& header) {
    const auto* record = reinterpret_cast<const NMHDR*>(lParam);
    if (InAnotherThreadsSend() || !IsReadable(record, sizeof *record)) return false;
    header = *record;
    HWND sender = header.hwndFrom;
    if (!IsWindowOfThisThread(sender)) return false;
    if (sender == window || IsChild(window, sender)) {
        return static_cast<UINT_PTR>(GetWindowLongPtrA(sender, GWLP_ID)) == header.idFrom;
    }
    // A tooltip notifies its tool's window, which owns it: it is no child.
    return GetWindow(sender, GW_OWNER) == window && IsToolTipWithTool(sender, window, header.idFrom);
}

}  // namespace gadgets
