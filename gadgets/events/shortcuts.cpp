// Keyboard shortcuts: one Windows accelerator table per window.
#include "gadgets/events/event_state.h"
#include "gadgets/gadgets.h"

#include <vector>

namespace gadgets {

namespace {

struct ShortcutEntry {
    HACCEL table;
    HWND window;  // null marks a free entry
};

// Starts with one free entry; entries keep their places for good.
std::vector<ShortcutEntry> shortcuts{{nullptr, nullptr}};

ShortcutEntry* EntryOf(HWND window) {
    for (ShortcutEntry& entry : shortcuts) {
        if (entry.window == window) return &entry;
    }
    return nullptr;
}

// Replaces the window's table by one with the shortcut added, or with the
// command's key and flags changed where the table already has the command.
HACCEL RebuildTable(HACCEL old, BYTE flags, WORD key, WORD command) {
    int count = old != nullptr ? CopyAcceleratorTableA(old, nullptr, 0) : 0;
    std::vector<ACCEL> records(static_cast<size_t>(count) + 1, ACCEL{});
    if (count > 0) CopyAcceleratorTableA(old, records.data(), count);
    if (old != nullptr) DestroyAcceleratorTable(old);

    int used = count;
    ACCEL* target = &records[static_cast<size_t>(count)];
    for (int i = 0; i < count; ++i) {
        if (records[static_cast<size_t>(i)].cmd == command) {
            target = &records[static_cast<size_t>(i)];
            break;
        }
    }
    if (target == &records[static_cast<size_t>(count)]) {
        target->cmd = command;
        ++used;
    }
    target->fVirt = flags;
    target->key = key;
    return CreateAcceleratorTableA(records.data(), used);
}

}  // namespace

HACCEL ADDKEYBOARDSHORTCUT(HWND window, int32_t flags, int32_t key, int32_t command) {
    if (window == nullptr) return nullptr;  // a null window would take the free entry's place
    BYTE virtualFlags = static_cast<BYTE>((flags | FVIRTKEY) & 0xFF);
    ShortcutEntry* entry = EntryOf(window);
    if (entry == nullptr) {
        if (shortcuts.back().window != nullptr) shortcuts.push_back(ShortcutEntry{nullptr, nullptr});
        entry = &shortcuts.back();
        entry->window = window;
    }
    entry->table = RebuildTable(entry->table, virtualFlags, static_cast<WORD>(key),
                                static_cast<WORD>(command));
    SETWINDOWACCELERATOR(entry->table, entry->window);
    return entry->table;
}

int32_t DELETEALLKEYBOARDSHORTCUT(HWND window) {
    int32_t result = 0;
    if (window == nullptr) return 0;
    for (ShortcutEntry& entry : shortcuts) {
        if (entry.window != window) continue;
        result = DestroyAcceleratorTable(entry.table);
        entry.table = nullptr;
        SETWINDOWACCELERATOR(nullptr, window);
        entry.window = nullptr;
    }
    return result;
}

}  // namespace gadgets
