// Keyboard shortcuts, pressed for real: xdotool sends the keys through the X
// server into a window whose edit control has the focus.
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace gadgets;
using namespace testing_support;

namespace {

// Records the keys that reach the edit control itself.
std::vector<WPARAM> editKeys;
WNDPROC editProcedure = nullptr;

LRESULT CALLBACK EditSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN || message == WM_CHAR) {
        editKeys.push_back(wParam);
    }
    return CallWindowProcA(editProcedure, window, message, wParam, lParam);
}

bool EditSaw(WPARAM key) {
    for (WPARAM seen : editKeys) {
        if (seen == key) return true;
    }
    return false;
}

struct ShortcutWindow {
    HWND window;
    HWND edit;
};

ShortcutWindow OpenWithEdit(const char* title) {
    ShortcutWindow result{};
    result.window = OpenTestWindow(title);
    result.edit = CreateChild("EDIT", result.window, 40, WS_BORDER | ES_AUTOHSCROLL, 10, 10, 200, 24);
    editProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(result.edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditSpy)));
    return result;
}

void FocusEdit(const ShortcutWindow& w) {
    FocusWindow(w.window);
    SetFocus(w.edit);
    Drain();
    editKeys.clear();
}

// A shortcut on F7 closes every press: once its command has come, every key
// pressed before it has been through the pump.
constexpr int32_t kSentinel = 1099;

void AddSentinel(HWND window) { ADDKEYBOARDSHORTCUT(window, 1, VK_F7, kSentinel); }

// Presses the keys, then F7, and returns the shortcut commands that came
// before the sentinel's.
std::vector<int32_t> PressAndCollectCommands(const std::string& keys) {
    std::vector<int32_t> commands;
    bool sentinelSeen = false;
    // Wine's default window procedure takes the release of Alt, after an Alt
    // shortcut that it never saw, for Alt pressed alone and enters keyboard
    // menu mode; Escape leaves it (and reaches the edit control harmlessly
    // where no menu mode began).
    bool withAlt = keys.rfind("alt+", 0) == 0;
    EXPECT_TRUE(PressKeys(keys + (withAlt ? " Escape" : "") + " F7")) << "xdotool key " << keys;
    PumpEvents([&](int32_t code) {
        if (code != 1026) return false;
        if (EVENTNUMBER() == kSentinel) return sentinelSeen = true;
        commands.push_back(EVENTNUMBER());
        return false;
    });
    EXPECT_TRUE(sentinelSeen) << "the keys " << keys << " never went through the pump";
    return commands;
}

// Waits until the edit control has seen the key.
bool EditReceives(WPARAM key) {
    return PumpUntil([&] { return EditSaw(key); }, 5000);
}

}  // namespace

TEST(KeyboardShortcuts, KeysInTheEditControlBecomeCommandsOfTheWindow) {
    ShortcutWindow w = OpenWithEdit("shortcuts");
    ADDKEYBOARDSHORTCUT(w.window, 1, VK_RETURN, 1001);
    ADDKEYBOARDSHORTCUT(w.window, 1, VK_F5, 1002);
    ADDKEYBOARDSHORTCUT(w.window, 16, VK_LEFT, 1003);
    HACCEL table = ADDKEYBOARDSHORTCUT(w.window, 16, VK_RIGHT, 1004);
    ASSERT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 4);
    AddSentinel(w.window);
    FocusEdit(w);

    struct Press {
        const char* keys;
        int32_t command;
    };
    const Press presses[] = {{"Return", 1001}, {"F5", 1002}, {"alt+Left", 1003}, {"alt+Right", 1004}};
    for (const Press& press : presses) {
        std::vector<int32_t> commands = PressAndCollectCommands(press.keys);
        ASSERT_EQ(commands.size(), 1u) << press.keys;
        EXPECT_EQ(commands[0], press.command) << press.keys;
    }
    EXPECT_FALSE(EditSaw(VK_RETURN)) << "the edit control saw Enter";
    EXPECT_FALSE(EditSaw('\r')) << "the edit control saw Enter as a character";
    EXPECT_EQ(GetFocus(), w.edit);
    DELETEALLKEYBOARDSHORTCUT(w.window);
}

TEST(KeyboardShortcutReplacement, SecondShortcutForACommandReplacesItsKey) {
    ShortcutWindow w = OpenWithEdit("replacement");
    ADDKEYBOARDSHORTCUT(w.window, 1, VK_RETURN, 1001);
    ADDKEYBOARDSHORTCUT(w.window, 1, VK_F5, 1002);
    ADDKEYBOARDSHORTCUT(w.window, 16, VK_LEFT, 1003);
    ADDKEYBOARDSHORTCUT(w.window, 16, VK_RIGHT, 1004);
    HACCEL table = ADDKEYBOARDSHORTCUT(w.window, 1, VK_F6, 1002);

    // The table keeps four records, in the order of the calls, with F6 in F5's place.
    ACCEL records[8] = {};
    ASSERT_EQ(CopyAcceleratorTableA(table, records, 8), 4);
    EXPECT_EQ(records[1].cmd, 1002);
    EXPECT_EQ(records[1].key, VK_F6);
    EXPECT_EQ(records[1].fVirt, FVIRTKEY);
    EXPECT_EQ(records[2].fVirt, FVIRTKEY | FALT);

    AddSentinel(w.window);
    FocusEdit(w);
    std::vector<int32_t> afterF5 = PressAndCollectCommands("F5");
    EXPECT_TRUE(afterF5.empty()) << "F5 still gave command " << afterF5.front();
    std::vector<int32_t> afterF6 = PressAndCollectCommands("F6");
    ASSERT_EQ(afterF6.size(), 1u);
    EXPECT_EQ(afterF6[0], 1002);
    DELETEALLKEYBOARDSHORTCUT(w.window);
}

TEST(KeyboardShortcutDeletion, KeysReachTheEditControlAgainAfterDeletingAll) {
    ShortcutWindow w = OpenWithEdit("deletion");
    ADDKEYBOARDSHORTCUT(w.window, 1, VK_RETURN, 1001);
    EXPECT_NE(DELETEALLKEYBOARDSHORTCUT(w.window), 0);
    EXPECT_EQ(DELETEALLKEYBOARDSHORTCUT(w.window), 0) << "a window without shortcuts gives 0";

    FocusEdit(w);
    ASSERT_TRUE(PressKeys("Return"));
    EXPECT_TRUE(EditReceives(VK_RETURN)) << "Enter did not reach the edit control";

    // A new shortcut starts a table holding only itself.
    HACCEL table = ADDKEYBOARDSHORTCUT(w.window, 1, VK_RETURN, 1001);
    EXPECT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 1);
    AddSentinel(w.window);
    FocusEdit(w);
    std::vector<int32_t> again = PressAndCollectCommands("Return");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0], 1001);
    EXPECT_FALSE(EditSaw(VK_RETURN));
    DELETEALLKEYBOARDSHORTCUT(w.window);
}

TEST(KeyboardShortcutTables, FlagsZeroMeansVirtualKeyAndNullWindowIsRefused) {
    HWND window = OpenTestWindow("flags");
    HACCEL table = ADDKEYBOARDSHORTCUT(window, 0, VK_F2, 7);
    ACCEL record{};
    ASSERT_EQ(CopyAcceleratorTableA(table, &record, 1), 1);
    EXPECT_EQ(record.fVirt, FVIRTKEY);
    EXPECT_EQ(record.key, VK_F2);
    EXPECT_EQ(record.cmd, 7);
    EXPECT_EQ(ADDKEYBOARDSHORTCUT(nullptr, 1, VK_F2, 8), nullptr);
    EXPECT_EQ(DELETEALLKEYBOARDSHORTCUT(nullptr), 0);
    // Two commands on one key are kept both.
    table = ADDKEYBOARDSHORTCUT(window, 1, VK_F2, 9);
    EXPECT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 2);
    DELETEALLKEYBOARDSHORTCUT(window);
}
