// Registry lists, the gadget and colour tables, top-level windows, gadget
// geometry and the kind of a window told by its class name.
#include "gadgets/registry/registry_list.h"
#include "gadgets/registry/tables.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace gadgets;
using testing_support::CreateChild;
using testing_support::OpenTestWindow;

namespace {

using Keys = std::vector<int32_t>;

std::string Show(const Keys& keys) {
    std::ostringstream out;
    out << "{";
    for (size_t i = 0; i < keys.size(); ++i) out << (i == 0 ? "" : ", ") << keys[i];
    out << "}";
    return out.str();
}

// ---- Registry lists built by the tests themselves ---------------------------

// A list owned by a test; frees the nodes that are still linked.
struct OwnedList {
    RegistryList list;

    OwnedList() = default;
    explicit OwnedList(const Keys& values) {
        for (int32_t value : values) ListAddValue(list, value);
    }
    OwnedList(const OwnedList&) = delete;
    OwnedList& operator=(const OwnedList&) = delete;
    ~OwnedList() {
        std::set<RegistryNode*> freed;  // a broken list must not free a node twice
        for (RegistryNode* node = list.first; node != nullptr && freed.insert(node).second;) {
            RegistryNode* next = node->next;
            delete node;
            node = next;
        }
    }
};

// Walks the list forwards along `next` and backwards along `prev`: every link
// must agree with the node it came from, `first` and `last` must be the ends,
// and the keys met going forwards must be `expected`.
testing::AssertionResult Holds(const RegistryList& list, const Keys& expected) {
    const size_t limit = expected.size() + 16;  // a cycle shows as a walk that never ends
    Keys forwards;
    RegistryNode* before = nullptr;
    for (RegistryNode* node = list.first; node != nullptr; node = node->next) {
        if (node->prev != before) {
            return testing::AssertionFailure()
                   << "going forwards, node " << forwards.size() << " (key " << node->key
                   << ") has prev " << node->prev << ", the node before it is " << before;
        }
        forwards.push_back(node->key);
        if (forwards.size() > limit) return testing::AssertionFailure() << "next links loop";
        before = node;
    }
    if (list.last != before) {
        return testing::AssertionFailure()
               << "last is " << list.last << ", the forward walk ended at " << before;
    }
    Keys backwards;
    RegistryNode* after = nullptr;
    for (RegistryNode* node = list.last; node != nullptr; node = node->prev) {
        if (node->next != after) {
            return testing::AssertionFailure()
                   << "going backwards, node with key " << node->key << " has next " << node->next
                   << ", the node after it is " << after;
        }
        backwards.push_back(node->key);
        if (backwards.size() > limit) return testing::AssertionFailure() << "prev links loop";
        after = node;
    }
    std::reverse(backwards.begin(), backwards.end());
    if (backwards != forwards) {
        return testing::AssertionFailure()
               << "forwards " << Show(forwards) << " but backwards " << Show(backwards);
    }
    if (forwards != expected) {
        return testing::AssertionFailure()
               << "keys " << Show(forwards) << ", expected " << Show(expected);
    }
    return testing::AssertionSuccess();
}

struct RemovalCase {
    const char* what;
    int groupSize;  // 2: ListRemovePair, 3: ListRemoveTriple
    Keys before;
    int32_t key;
    Keys after;
};

void CheckRemovals(const std::vector<RemovalCase>& cases) {
    for (const RemovalCase& c : cases) {
        OwnedList owned(c.before);
        if (c.groupSize == 2) {
            ListRemovePair(owned.list, c.key);
        } else {
            ListRemoveTriple(owned.list, c.key);
        }
        EXPECT_TRUE(Holds(owned.list, c.after))
            << c.what << ": removing the group of " << c.groupSize << " for key " << c.key
            << " from " << Show(c.before);
    }
}

// ---- Windows, handles and the tables ---------------------------------------------

int32_t Key(HWND window) { return HandleKey(window); }

std::string ClassNameOfWindow(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The keys of the gadget table without the pair that `number` leads.
Keys WithoutPair(Keys keys, int32_t number, HWND handle) {
    for (size_t i = 0; i + 1 < keys.size(); i += 2) {
        if (keys[i] == number && keys[i + 1] == Key(handle)) {
            keys.erase(keys.begin() + i, keys.begin() + i + 2);
            break;
        }
    }
    return keys;
}

Keys WithPair(Keys keys, int32_t number, HWND handle) {
    keys.push_back(number);
    keys.push_back(Key(handle));
    return keys;
}

// How many pairs of the gadget table the number leads.
int PairsLedBy(const Keys& keys, int32_t number) {
    int count = 0;
    for (size_t i = 0; i < keys.size(); i += 2) count += keys[i] == number;
    return count;
}

HWND NoLongerAWindow() {
    HWND window = CreateWindowExA(0, "static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    DestroyWindow(window);
    return window;
}

struct Placement {
    int x, y, width, height;
    bool operator==(const Placement&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Placement& p) {
    return out << "(" << p.x << ", " << p.y << ", " << p.width << " x " << p.height << ")";
}

// A window's outer rectangle in its parent's client coordinates (screen
// coordinates for a top-level window).
Placement PlacementOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    HWND parent = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// ---- Class names of windows opened by the library ---------------------------------

std::string ClockText(const SYSTEMTIME& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.wHour, time.wMinute, time.wSecond);
    return text;
}

SYSTEMTIME SecondsLater(const SYSTEMTIME& time, int seconds) {
    FILETIME file;
    SystemTimeToFileTime(&time, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart += static_cast<ULONGLONG>(seconds) * 10'000'000;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME later;
    FileTimeToSystemTime(&file, &later);
    return later;
}

// The clock texts of every second from `from` to `to`, both included.
std::set<std::string> ClockTextsBetween(const SYSTEMTIME& from, const SYSTEMTIME& to) {
    std::set<std::string> texts;
    for (int s = 0; s < 60; ++s) {
        std::string text = ClockText(SecondsLater(from, s));
        texts.insert(text);
        if (text == ClockText(to)) break;
    }
    return texts;
}

constexpr char kClassPrefix[] = "CLASSCLASS_";

// A class name "CLASSCLASS_hh:mm:ssN" taken apart; number is -1 when the
// name does not have that shape.
struct WindowClassName {
    std::string clock;
    int number = -1;
};

WindowClassName Parse(const std::string& name) {
    WindowClassName parsed;
    const std::string prefix = kClassPrefix;
    if (name.compare(0, prefix.size(), prefix) != 0) return parsed;
    std::string clock = name.substr(prefix.size(), 8);
    std::string digits = name.size() > prefix.size() + 8 ? name.substr(prefix.size() + 8) : "";
    bool clockShaped = clock.size() == 8 && clock[2] == ':' && clock[5] == ':';
    bool numberShaped = !digits.empty() && digits[0] != '0' && digits.size() < 10 &&
                        std::all_of(digits.begin(), digits.end(),
                                    [](unsigned char c) { return std::isdigit(c) != 0; });
    if (!clockShaped || !numberShaped) return parsed;
    parsed.clock = clock;
    parsed.number = std::stoi(digits);
    return parsed;
}

// Runs `action` with the process's standard output going to a file, and
// returns what it wrote there.
std::string CaptureStandardOutput(const std::function<void()>& action) {
    char folder[MAX_PATH];
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "out", 0, path);
    std::fflush(stdout);
    int output = _fileno(stdout);
    int saved = _dup(output);
    int file = _open(path, _O_WRONLY | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    _dup2(file, output);
    _close(file);
    action();
    std::fflush(stdout);
    _dup2(saved, output);
    _close(saved);
    std::ifstream in(path, std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileA(path);
    return written;
}

void InitControlClasses() {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                               ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                               ICC_DATE_CLASSES | ICC_UPDOWN_CLASS |
                                               ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
}

}  // namespace

// ============================================================================
// Registry lists

TEST(RegistryList, ValueNodesKeepTheirValueAsKeyInOrder) {
    OwnedList owned;
    const Keys values = {7, -3, 0, 2147483647, 7};
    for (int32_t value : values) {
        EXPECT_EQ(ListAddValue(owned.list, value), value);
    }
    ASSERT_TRUE(Holds(owned.list, values));
    for (RegistryNode* node = owned.list.first; node != nullptr; node = node->next) {
        EXPECT_EQ(node->value, node->key);
        EXPECT_EQ(node->text, "") << "value node " << node->key;
    }
}

TEST(RegistryList, TextNodesAreNumberedFromOne) {
    OwnedList owned;
    std::string name = "first";
    EXPECT_EQ(ListAddText(owned.list, name), 1);
    EXPECT_EQ(ListAddText(owned.list, "second"), 2);
    EXPECT_EQ(ListAddText(owned.list, std::string("thi\0rd", 6)), 3);
    name = "changed";  // the node keeps its own copy
    ASSERT_TRUE(Holds(owned.list, {1, 2, 3}));
    EXPECT_EQ(owned.list.first->text, "first");
    EXPECT_EQ(owned.list.first->next->text, "second");
    EXPECT_EQ(owned.list.last->text, std::string("thi\0rd", 6));
    for (RegistryNode* node = owned.list.first; node != nullptr; node = node->next) {
        EXPECT_EQ(node->value, 0) << "text node " << node->key;
    }
}

TEST(RegistryList, TextNodeAfterAValueNodeTakesTheNextKey) {
    OwnedList owned({40});
    EXPECT_EQ(ListAddText(owned.list, "after forty"), 41);
    EXPECT_TRUE(Holds(owned.list, {40, 41}));
}

TEST(RegistryList, FindGivesTheOldestMatch) {
    OwnedList empty;
    EXPECT_EQ(ListFind(empty.list, 7), nullptr);

    OwnedList owned({7, 8, 7, 9});
    RegistryNode* oldestSeven = owned.list.first;
    RegistryNode* eight = oldestSeven->next;
    EXPECT_EQ(ListFind(owned.list, 7), oldestSeven);
    EXPECT_EQ(ListFind(owned.list, 8), eight);
    EXPECT_EQ(ListFind(owned.list, 9), owned.list.last);
    EXPECT_EQ(ListFind(owned.list, 10), nullptr);
}

TEST(RegistryList, RemovingAGroupKeepsBothLinkDirectionsRight) {
    CheckRemovals({
        {"first pair", 2, {1, 101, 2, 102, 3, 103}, 1, {2, 102, 3, 103}},
        {"middle pair", 2, {1, 101, 2, 102, 3, 103}, 2, {1, 101, 3, 103}},
        {"last pair", 2, {1, 101, 2, 102, 3, 103}, 3, {1, 101, 2, 102}},
        {"only pair", 2, {1, 101}, 1, {}},
        {"older of two pairs with one key", 2, {4, 101, 4, 102}, 4, {4, 102}},
        {"first triple", 3, {1, 11, 12, 2, 21, 22, 3, 31, 32}, 1, {2, 21, 22, 3, 31, 32}},
        {"middle triple", 3, {1, 11, 12, 2, 21, 22, 3, 31, 32}, 2, {1, 11, 12, 3, 31, 32}},
        {"last triple", 3, {1, 11, 12, 2, 21, 22, 3, 31, 32}, 3, {1, 11, 12, 2, 21, 22}},
        {"only triple", 3, {1, 11, 12}, 1, {}},
        {"older of two triples with one key", 3, {5, 11, 12, 5, 21, 22}, 5, {5, 21, 22}},
    });
}

TEST(RegistryList, RemovingAnOnlyGroupLeavesNoEnds) {
    for (int groupSize : {2, 3}) {
        OwnedList owned(groupSize == 2 ? Keys{1, 101} : Keys{1, 11, 12});
        groupSize == 2 ? ListRemovePair(owned.list, 1) : ListRemoveTriple(owned.list, 1);
        EXPECT_EQ(owned.list.first, nullptr) << "group of " << groupSize;
        EXPECT_EQ(owned.list.last, nullptr) << "group of " << groupSize;
    }
}

TEST(RegistryList, RemovalLookupLandingInsideAGroupChangesNothing) {
    CheckRemovals({
        {"key of no node", 2, {1, 101, 2, 102}, 5, {1, 101, 2, 102}},
        {"key of a second node in the middle", 2, {1, 101, 2, 102, 3, 103}, 102,
         {1, 101, 2, 102, 3, 103}},
        {"key of the last node", 2, {1, 101, 2, 102}, 102, {1, 101, 2, 102}},
        {"key of the only second node", 2, {1, 101}, 101, {1, 101}},
        {"key of a third node", 3, {1, 11, 12, 2, 21, 22}, 12, {1, 11, 12, 2, 21, 22}},
        {"key of the last node", 3, {1, 11, 12, 2, 21, 22}, 22, {1, 11, 12, 2, 21, 22}},
        {"key of a second node", 3, {1, 11, 12, 2, 21, 22}, 21, {1, 11, 12, 2, 21, 22}},
        {"leader without a whole group behind it", 3, {1, 11, 12, 2, 21}, 2,
         {1, 11, 12, 2, 21}},
        {"leader as the very last node", 2, {1, 101, 2}, 2, {1, 101, 2}},
        // The first node whose key matches is inside a group; the group that the
        // key leads further on is the one removed.
        {"inner match before a leading one", 2, {1, 7, 7, 102}, 7, {1, 7}},
        {"inner match before a leading one", 3, {1, 9, 12, 9, 21, 22}, 9, {1, 9, 12}},
    });
}

TEST(RegistryList, CurrentSlotHoldsWhatWasSet) {
    OwnedList owned;
    EXPECT_EQ(ListGetCurrent(owned.list), 0);
    const intptr_t value = 0x12345678;
    EXPECT_EQ(ListSetCurrent(owned.list, value), 1);
    EXPECT_EQ(ListGetCurrent(owned.list), value);
    EXPECT_TRUE(Holds(owned.list, {})) << "the current slot is not a node";
}

// ============================================================================
// Registry calls before the first OpenWindow: nothing is registered yet.

TEST(RegistryBeforeFirstWindow, CallsReportNothingAndTouchNoTable) {
    ASSERT_FALSE(TablesExist()) << "this suite runs in a process of its own";
    HWND loose = CreateWindowExA(0, "static", "", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(loose, nullptr);
    const intptr_t looseKey = reinterpret_cast<intptr_t>(loose);

    EXPECT_EQ(GadgetID(5), nullptr);
    EXPECT_EQ(ID_In_Number(loose), 0);
    EXPECT_EQ(GETGURRENTAL(), nullptr);
    EXPECT_EQ(ADDIN9999(5, loose), 1);
    EXPECT_EQ(GadgetID(5), nullptr) << "a number registered before the tables exist";
    EXPECT_EQ(ID_In_Number(loose), 0);
    EXPECT_EQ(ColorAdd(loose, 0x112233, 0x445566), 1);
    EXPECT_EQ(GetGadgetColor(looseKey, 3), 0);
    EXPECT_EQ(GetGadgetColor(looseKey, 4), 0);
    EXPECT_EQ(UseGadgetList(loose), 1);
    EXPECT_EQ(GETGURRENTAL(), nullptr);
    EXPECT_EQ(FREEGADGET(5), 0);
    EXPECT_TRUE(IsWindow(loose)) << "FREEGADGET destroyed a window it never had";
    EXPECT_FALSE(TablesExist());

    // The first window creates the tables empty: nothing from before shows up.
    HWND window = OpenTestWindow("first window");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(TablesExist());
    EXPECT_TRUE(GadgetTableKeys().empty()) << "gadget table " << Show(GadgetTableKeys());
    EXPECT_EQ(GadgetID(5), nullptr);
    EXPECT_EQ(ID_In_Number(loose), 0);
    EXPECT_EQ(GetGadgetColor(looseKey, 3), 0);
    EXPECT_EQ(GETGURRENTAL(), window);
    DestroyWindow(loose);
}

// ============================================================================
// The gadget table and the colour table, through real windows

class RegistryGadgetTable : public testing::Test {
protected:
    void SetUp() override {
        parent_ = OpenTestWindow("gadget table");
        ASSERT_NE(parent_, nullptr);
    }

    void TearDown() override {
        for (int32_t number : numbers_) FREEGADGET(number);
        DestroyWindow(parent_);
        testing_support::Drain();
    }

    // A label under the test's window; the number is freed after the test.
    HWND Gadget(int32_t number) {
        numbers_.push_back(number);
        HWND window = CreateChild("static", parent_, number);
        EXPECT_NE(window, nullptr) << "label for gadget " << number;
        return window;
    }

    HWND Registered(int32_t number) {
        HWND window = Gadget(number);
        ADDIN9999(number, window);
        return window;
    }

    HWND parent_ = nullptr;
    std::vector<int32_t> numbers_;
};

TEST_F(RegistryGadgetTable, NumberAndHandleFindEachOther) {
    HWND five = Gadget(5);
    HWND six = Gadget(6);
    Keys before = GadgetTableKeys();
    EXPECT_EQ(ADDIN9999(5, five), 1);
    EXPECT_EQ(ADDIN9999(6, six), 1);
    EXPECT_EQ(GadgetID(5), five);
    EXPECT_EQ(ID_In_Number(five), 5);
    EXPECT_EQ(GadgetID(6), six);
    EXPECT_EQ(ID_In_Number(six), 6);
    EXPECT_EQ(GadgetTableKeys(), WithPair(WithPair(before, 5, five), 6, six));
    EXPECT_TRUE(IsWindow(five));
}

TEST_F(RegistryGadgetTable, ReRegisteringANumberDestroysTheOldGadget) {
    HWND old = Registered(21);
    ColorAdd(old, 0x0000FF, 0x00FF00);
    HWND neighbour = Registered(22);
    ColorAdd(neighbour, 0x123456, 0x654321);
    HWND replacement = Gadget(21);
    Keys before = GadgetTableKeys();

    EXPECT_EQ(ADDIN9999(21, replacement), 1);

    EXPECT_FALSE(IsWindow(old)) << "the old gadget's window is still there";
    EXPECT_TRUE(IsWindow(replacement));
    EXPECT_TRUE(IsWindow(neighbour));
    EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(old), 3), 0);
    EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(old), 4), 0);
    EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(neighbour), 3), 0x123456);
    EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(neighbour), 4), 0x654321);
    Keys after = GadgetTableKeys();
    EXPECT_EQ(after, WithPair(WithoutPair(before, 21, old), 21, replacement))
        << "table before " << Show(before);
    EXPECT_EQ(PairsLedBy(after, 21), 1) << Show(after);
    EXPECT_EQ(GadgetID(21), replacement);
    EXPECT_EQ(ID_In_Number(replacement), 21);
    EXPECT_EQ(GadgetID(22), neighbour);
}

TEST_F(RegistryGadgetTable, FreeingARegisteredNumberDestroysOnlyItsGadget) {
    HWND first = Registered(51);
    HWND middle = Registered(52);
    ColorAdd(middle, 0x111111, 0x222222);
    HWND last = Registered(53);
    ColorAdd(last, 0x333333, 0x444444);
    Keys before = GadgetTableKeys();

    EXPECT_NE(FREEGADGET(52), 0);

    EXPECT_FALSE(IsWindow(middle));
    EXPECT_TRUE(IsWindow(first));
    EXPECT_TRUE(IsWindow(last));
    EXPECT_EQ(GadgetTableKeys(), WithoutPair(before, 52, middle)) << "before " << Show(before);
    EXPECT_EQ(GadgetID(52), nullptr);
    EXPECT_EQ(ID_In_Number(middle), 0);
    EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(middle), 3), 0);
    EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(last), 3), 0x333333);
    EXPECT_EQ(GadgetID(51), first);
    EXPECT_EQ(GadgetID(53), last);
}

TEST_F(RegistryGadgetTable, FreeingANumberThatLeadsNoPairChangesNothing) {
    HWND inside = Registered(41);
    ColorAdd(inside, 0xAAAAAA, 0xBBBBBB);
    HWND atEnd = Registered(42);
    Keys before = GadgetTableKeys();
    ASSERT_EQ(PairsLedBy(before, Key(inside)), 0);
    ASSERT_EQ(PairsLedBy(before, Key(atEnd)), 0);

    struct Case {
        const char* what;
        int32_t number;
    };
    const Case cases[] = {
        {"a number never registered", 31337},
        {"a number equal to a registered handle inside the table", Key(inside)},
        {"a number equal to the handle on the last node of the table", Key(atEnd)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FREEGADGET(c.number), 0) << c.what;
        EXPECT_EQ(GadgetTableKeys(), before) << c.what;
        EXPECT_TRUE(IsWindow(inside)) << c.what;
        EXPECT_TRUE(IsWindow(atEnd)) << c.what;
        EXPECT_EQ(GetGadgetColor(reinterpret_cast<intptr_t>(inside), 3), 0xAAAAAA) << c.what;
    }
}

TEST_F(RegistryGadgetTable, NumberEqualToAHandleReachesOnlyItsOwnPair) {
    HWND holder = Registered(61);
    const int32_t sameAsHandle = Key(holder);
    Keys before = GadgetTableKeys();
    ASSERT_EQ(PairsLedBy(before, sameAsHandle), 0);
    HWND other = Gadget(sameAsHandle);

    ADDIN9999(sameAsHandle, other);
    EXPECT_TRUE(IsWindow(holder)) << "registering a new number destroyed another gadget";
    EXPECT_EQ(GadgetTableKeys(), WithPair(before, sameAsHandle, other));

    EXPECT_NE(FREEGADGET(sameAsHandle), 0);
    EXPECT_FALSE(IsWindow(other));
    EXPECT_TRUE(IsWindow(holder));
    EXPECT_EQ(GadgetTableKeys(), before);
    EXPECT_EQ(GadgetID(61), holder);
    EXPECT_EQ(ID_In_Number(holder), 61);
}

TEST_F(RegistryGadgetTable, TwoColourEntriesForOneHandleFindTheOlder) {
    HWND gadget = Registered(71);
    const intptr_t handle = reinterpret_cast<intptr_t>(gadget);
    ColorAdd(gadget, 0x0000AA, 0x0000BB);
    ColorAdd(gadget, 0x00CC00, 0x00DD00);

    EXPECT_EQ(GetGadgetColor(handle, 3), 0x0000AA);
    EXPECT_EQ(GetGadgetColor(handle, 4), 0x0000BB);
    EXPECT_EQ(GetGadgetColor(71, 1), 0x0000AA);
    EXPECT_EQ(GetGadgetColor(71, 2), 0x0000BB);

    // Freeing the gadget removes the older entry; the newer one is what is left.
    EXPECT_NE(FREEGADGET(71), 0);
    EXPECT_EQ(GetGadgetColor(handle, 3), 0x00CC00);
    EXPECT_EQ(GetGadgetColor(handle, 4), 0x00DD00);
}

TEST_F(RegistryGadgetTable, HandleEqualToAStoredColourRemovesOnlyItsOwnEntry) {
    HWND painted = Registered(81);
    HWND gadget = Registered(82);
    const intptr_t paintedKey = reinterpret_cast<intptr_t>(painted);
    const intptr_t gadgetKey = reinterpret_cast<intptr_t>(gadget);
    ColorAdd(painted, Key(gadget), Key(gadget));  // colours equal to the other handle
    ColorAdd(gadget, 0x010203, 0x040506);
    ASSERT_EQ(GetGadgetColor(gadgetKey, 3), 0x010203);

    EXPECT_NE(FREEGADGET(82), 0);

    EXPECT_EQ(GetGadgetColor(paintedKey, 3), Key(gadget));
    EXPECT_EQ(GetGadgetColor(paintedKey, 4), Key(gadget));
    EXPECT_EQ(GetGadgetColor(gadgetKey, 3), 0);
}

namespace {

struct ReleaseSeen {
    int calls = 0;
    HANDLE argument = nullptr;
    bool propertiesLeftAtDestroy = false;
};
ReleaseSeen releaseSeen;

void __stdcall RecordRelease(HANDLE argument) {
    ++releaseSeen.calls;
    releaseSeen.argument = argument;
}

LRESULT CALLBACK ExplorerGadgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        for (const char* name : {"STATUSBARARRAY", "STATUSBARNUMBERFIELDS", "STATUSBARWINDOW",
                                 "EXPLORERLISTFREEPROC", "EXPLORERGADGETLISTVIEWWINDOW",
                                 "addparam60000"}) {
            if (GetPropA(window, name) != nullptr) releaseSeen.propertiesLeftAtDestroy = true;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST_F(RegistryGadgetTable, FreeingAGadgetReleasesWhatItsWindowCarries) {
    WNDCLASSA explorerClass{};
    explorerClass.lpfnWndProc = ExplorerGadgetProc;
    explorerClass.hInstance = GetModuleHandleA(nullptr);
    explorerClass.lpszClassName = "ExplorerGadget";
    ASSERT_NE(RegisterClassA(&explorerClass), 0);
    HWND gadget = CreateChild("ExplorerGadget", parent_, 91);
    ASSERT_NE(gadget, nullptr);
    numbers_.push_back(91);
    ADDIN9999(91, gadget);
    int record = 0;
    SetPropA(gadget, "STATUSBARARRAY", std::malloc(16));
    SetPropA(gadget, "STATUSBARNUMBERFIELDS", reinterpret_cast<HANDLE>(2));
    SetPropA(gadget, "STATUSBARWINDOW", gadget);
    SetPropA(gadget, "EXPLORERLISTFREEPROC", reinterpret_cast<HANDLE>(&RecordRelease));
    SetPropA(gadget, "EXPLORERGADGETLISTVIEWWINDOW", gadget);
    SetPropA(gadget, "addparam60000", &record);

    EXPECT_NE(FREEGADGET(91), 0);

    EXPECT_FALSE(IsWindow(gadget));
    EXPECT_EQ(releaseSeen.calls, 1);
    EXPECT_EQ(releaseSeen.argument, &record) << "the release routine gets addparam60000";
    EXPECT_FALSE(releaseSeen.propertiesLeftAtDestroy)
        << "properties still set when the window was destroyed";
    UnregisterClassA("ExplorerGadget", GetModuleHandleA(nullptr));
}

// ============================================================================
// Top-level windows

TEST(WindowOpen, ClassNameIsPrefixClockAndWindowNumber) {
    SYSTEMTIME start;
    GetLocalTime(&start);
    HWND first = OpenTestWindow("class name 1");
    HWND second = OpenTestWindow("class name 2");
    SYSTEMTIME end;
    GetLocalTime(&end);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);

    const std::set<std::string> clocks = ClockTextsBetween(start, end);
    const std::string names[] = {ClassNameOfWindow(first), ClassNameOfWindow(second)};
    const WindowClassName parsed[] = {Parse(names[0]), Parse(names[1])};
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(parsed[i].number, -1) << "class name \"" << names[i] << "\"";
        EXPECT_TRUE(clocks.count(parsed[i].clock))
            << "class name \"" << names[i] << "\" carries a time outside " << ClockText(start)
            << " .. " << ClockText(end);
        EXPECT_EQ(ClassNameOf(parsed[i].number), names[i])
            << "class-name table under the window number";
    }
    EXPECT_EQ(parsed[1].number, parsed[0].number + 1) << names[0] << " then " << names[1];
    DestroyWindow(first);
    DestroyWindow(second);
}

TEST(WindowOpen, TwoWindowsInOneSecondDifferOnlyInTheirNumber) {
    // Opening two windows takes far less than a second; should a second
    // boundary fall between them, the pair is opened again.
    std::string names[2];
    HWND windows[2] = {};
    bool sameSecond = false;
    for (int attempt = 0; attempt < 5 && !sameSecond; ++attempt) {
        SYSTEMTIME start, end;
        GetLocalTime(&start);
        windows[0] = OpenTestWindow("same second 1");
        windows[1] = OpenTestWindow("same second 2");
        GetLocalTime(&end);
        sameSecond = ClockText(start) == ClockText(end);
        for (int i = 0; i < 2; ++i) {
            ASSERT_NE(windows[i], nullptr) << "attempt " << attempt << ", window " << i;
            names[i] = ClassNameOfWindow(windows[i]);
            if (!sameSecond) DestroyWindow(windows[i]);
        }
    }
    ASSERT_TRUE(sameSecond) << "no two windows opened within one second";
    WindowClassName first = Parse(names[0]);
    WindowClassName second = Parse(names[1]);
    ASSERT_NE(first.number, -1) << names[0];
    ASSERT_NE(second.number, -1) << names[1];
    // Everything but the trailing window number: prefix and clock.
    auto stem = [](const std::string& name, int number) {
        return name.substr(0, name.size() - std::to_string(number).size());
    };
    EXPECT_EQ(stem(names[0], first.number), stem(names[1], second.number))
        << names[0] << " and " << names[1];
    EXPECT_EQ(second.number, first.number + 1) << names[0] << " and " << names[1];
    DestroyWindow(windows[0]);
    DestroyWindow(windows[1]);
}

TEST(WindowOpen, NewWindowBecomesTheCurrentGadgetList) {
    HWND earlier = OpenTestWindow("earlier");
    ASSERT_NE(earlier, nullptr);
    EXPECT_EQ(GETGURRENTAL(), earlier);
    HWND elsewhere = CreateChild("static", earlier, 1);
    UseGadgetList(elsewhere);
    ASSERT_EQ(GETGURRENTAL(), elsewhere);

    HWND window = OpenTestWindow("newest");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GETGURRENTAL(), window);
    DestroyWindow(window);
    DestroyWindow(earlier);
}

TEST(WindowOpen, WindowThatCannotBeCreatedBecomesNoCurrentGadgetList) {
    HWND earlier = OpenTestWindow("earlier");
    ASSERT_NE(earlier, nullptr);
    ASSERT_EQ(GETGURRENTAL(), earlier);
    const int earlierNumber = Parse(ClassNameOfWindow(earlier)).number;
    ASSERT_NE(earlierNumber, -1) << ClassNameOfWindow(earlier);

    // A child window needs a parent, and OpenWindow gives none.
    HWND orphan = OpenWindow("orphan", 0, 0, 50, 50, WS_CHILD | WS_VISIBLE, 0);
    EXPECT_EQ(orphan, nullptr);
    EXPECT_EQ(GETGURRENTAL(), nullptr);
    // Its class was registered all the same, under the next window number.
    const std::string orphanClass = ClassNameOf(earlierNumber + 1);
    EXPECT_EQ(Parse(orphanClass).number, earlierNumber + 1) << "\"" << orphanClass << "\"";
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), orphanClass.c_str(), &info))
        << orphanClass;
    DestroyWindow(earlier);
}

TEST(WindowOpen, WindowTakesTheCallersTitleStylesAndPlaceInAClassOfItsOwn) {
    HWND window = OpenWindow("Zudizazuz test", 70, 80, 333, 222, WS_POPUP | WS_VISIBLE,
                             WS_EX_TOOLWINDOW);
    ASSERT_NE(window, nullptr);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Zudizazuz test");
    EXPECT_EQ(PlacementOf(window), (Placement{70, 80, 333, 222}));
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME | WS_CHILD),
              WS_POPUP | WS_VISIBLE)
        << std::hex << "style " << style;
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());

    std::string name = ClassNameOfWindow(window);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &windowClass)) << name;
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(windowClass.lpfnWndProc, &FBGUIWINPROC);
    EXPECT_EQ(windowClass.cbClsExtra, 0);
    EXPECT_EQ(windowClass.cbWndExtra, 0);
    EXPECT_EQ(windowClass.hIcon, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(windowClass.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    EXPECT_EQ(windowClass.lpszMenuName, nullptr);
    DestroyWindow(window);
}

// Own process: window numbers, and so class-name keys, start at 1 here.
TEST(WindowClassKeys, KeysFollowWindowNumbersAlsoWhenRegistrationFails) {
    HWND first = OpenTestWindow("window 1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Parse(ClassNameOfWindow(first)).number, 1) << ClassNameOfWindow(first);
    EXPECT_EQ(ClassNameOf(1), ClassNameOfWindow(first));

    // Take every name window 2 can get in the next seconds, so that its class
    // cannot be registered.
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::vector<std::string> taken;
    for (int s = 0; s < 3; ++s) {
        taken.push_back(kClassPrefix + ClockText(SecondsLater(now, s)) + "2");
    }
    WNDCLASSEXA blocker{};
    blocker.cbSize = sizeof blocker;
    blocker.lpfnWndProc = DefWindowProcA;
    blocker.hInstance = GetModuleHandleA(nullptr);
    for (const std::string& name : taken) {
        blocker.lpszClassName = name.c_str();
        ASSERT_NE(RegisterClassExA(&blocker), 0) << name;
    }
    blocker.lpszClassName = taken[0].c_str();
    ASSERT_EQ(RegisterClassExA(&blocker), 0);
    const DWORD expectedError = GetLastError();

    HWND second = reinterpret_cast<HWND>(1);
    std::string console = CaptureStandardOutput([&] { second = OpenTestWindow("window 2"); });

    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(console, "Not Registered class , Error = " + std::to_string(expectedError) + "\n");
    EXPECT_EQ(expectedError, static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    EXPECT_EQ(GETGURRENTAL(), first) << "a failed window changed the current gadget list";
    std::string secondName = ClassNameOf(2);
    EXPECT_NE(std::find(taken.begin(), taken.end(), secondName), taken.end())
        << "class-name table under 2: \"" << secondName << "\"";

    HWND third = OpenTestWindow("window 3");
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(Parse(ClassNameOfWindow(third)).number, 3) << ClassNameOfWindow(third);
    EXPECT_EQ(ClassNameOf(3), ClassNameOfWindow(third));
    EXPECT_EQ(ClassNameOf(4), "");
    EXPECT_EQ(GETGURRENTAL(), third);
}

// ============================================================================
// Moving and centring top-level windows

TEST(WindowPlacement, ResizeWindowKeepsWhatIsMarked) {
    HWND window = OpenTestWindow("resize");
    ASSERT_NE(window, nullptr);
    const Placement start{60, 70, 320, 240};
    struct Case {
        const char* what;
        int32_t x, y, width, height;
        Placement expected;
    };
    const Case cases[] = {
        {"all kept", kKeep, kKeep, kKeep, kKeep, {60, 70, 320, 240}},
        {"size given", kKeep, kKeep, 350, 260, {60, 70, 350, 260}},
        {"place given", 100, 120, kKeep, kKeep, {100, 120, 320, 240}},
        {"y and width given", kKeep, 90, 330, kKeep, {60, 90, 330, 240}},
        {"everything given", 30, 40, 300, 200, {30, 40, 300, 200}},
    };
    for (const Case& c : cases) {
        MoveWindow(window, start.x, start.y, start.width, start.height, TRUE);
        ASSERT_EQ(PlacementOf(window), start) << c.what;
        EXPECT_NE(RESIZEWINDOW(window, c.x, c.y, c.width, c.height), 0) << c.what;
        EXPECT_EQ(PlacementOf(window), c.expected) << c.what;
    }
    DestroyWindow(window);
}

TEST(WindowPlacement, CenterWindowHalvesScreenAndWindowEachOnItsOwn) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Odd sizes tell halving each operand apart from halving the difference.
    struct Size {
        int width, height;
    };
    for (Size size : {Size{301, 201}, Size{400, 300}, Size{555, 333}}) {
        HWND window = OpenWindow("centre", 5, 5, size.width, size.height, WS_POPUP | WS_VISIBLE, 0);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(PlacementOf(window), (Placement{5, 5, size.width, size.height}));
        EXPECT_EQ(CENTERWINDOW(window), 1);
        Placement expected{(screenWidth >> 1) - (size.width >> 1),
                           (screenHeight >> 1) - (size.height >> 1), size.width, size.height};
        EXPECT_EQ(PlacementOf(window), expected)
            << size.width << " x " << size.height << " on a " << screenWidth << " x "
            << screenHeight << " screen";
        DestroyWindow(window);
    }
}

TEST(WindowPlacement, CenterWindowPutsAWindowLargerThanTheScreenAtNegativeCoordinates) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HWND window = OpenWindow("oversized", 0, 0, screenWidth + 401, screenHeight + 301,
                             WS_POPUP | WS_VISIBLE, 0);
    ASSERT_NE(window, nullptr);
    const Placement before = PlacementOf(window);
    ASSERT_GT(before.width, screenWidth) << "window " << before;
    ASSERT_GT(before.height, screenHeight) << "window " << before;

    EXPECT_EQ(CENTERWINDOW(window), 1);

    Placement expected{(screenWidth >> 1) - (before.width >> 1),
                       (screenHeight >> 1) - (before.height >> 1), before.width, before.height};
    EXPECT_LT(expected.x, 0);
    EXPECT_LT(expected.y, 0);
    EXPECT_EQ(PlacementOf(window), expected);
    DestroyWindow(window);
}

TEST(WindowPlacement, InvalidHandle) {
    HWND gone = NoLongerAWindow();
    for (HWND window : {gone, static_cast<HWND>(nullptr)}) {
        EXPECT_EQ(RESIZEWINDOW(window, 1, 2, 30, 40), 0) << window;
        EXPECT_EQ(RESIZEWINDOW(window, kKeep, kKeep, kKeep, kKeep), 0) << window;
        EXPECT_EQ(CENTERWINDOW(window), 1) << window;
    }
}

// ============================================================================
// Gadget geometry

class GeometryGadget : public testing::Test {
protected:
    void SetUp() override {
        InitControlClasses();
        // A caption and a border put the client area away from the window's corner.
        parent_ = OpenTestWindow("geometry");
        ASSERT_NE(parent_, nullptr);
    }

    void TearDown() override {
        for (int32_t number : numbers_) FREEGADGET(number);
        DestroyWindow(parent_);
        testing_support::Drain();
    }

    HWND Registered(const char* className, int32_t number, Placement at, DWORD style = 0,
                    HWND parent = nullptr) {
        HWND window = CreateChild(className, parent != nullptr ? parent : parent_, number, style,
                                  at.x, at.y, at.width, at.height);
        EXPECT_NE(window, nullptr) << className;
        ADDIN9999(number, window);
        numbers_.push_back(number);
        return window;
    }

    HWND parent_ = nullptr;
    std::vector<int32_t> numbers_;
};

TEST_F(GeometryGadget, PositionIsInTheParentsClientAreaAndSizeIsOuter) {
    const Placement placements[] = {
        {15, 25, 120, 40}, {0, 0, 1, 1}, {-5, -7, 50, 30}, {200, 150, 90, 60}};
    HWND gadget = Registered("static", 101, placements[0], WS_BORDER);
    HWND nested = Registered("static", 102, {30, 20, 200, 100}, 0);
    HWND inner = Registered("static", 103, placements[0], WS_BORDER, nested);
    for (const Placement& at : placements) {
        for (auto [number, window] : {std::pair{101, gadget}, std::pair{103, inner}}) {
            MoveWindow(window, at.x, at.y, at.width, at.height, TRUE);
            ASSERT_EQ(PlacementOf(window), at) << "gadget " << number;
            Placement measured{GADGETX(number), GADGETY(number), GADGETWIDTH(number),
                               GADGETHEIGHT(number)};
            EXPECT_EQ(measured, at) << "gadget " << number;
        }
    }
}

TEST_F(GeometryGadget, ResizeGadgetKeepsMarkedValuesInTheParentsClientArea) {
    const Placement start{15, 25, 120, 40};
    HWND gadget = Registered("static", 111, start, WS_BORDER);
    struct Case {
        const char* what;
        int32_t x, y, width, height;
        Placement expected;
    };
    const Case cases[] = {
        {"all kept", kKeep, kKeep, kKeep, kKeep, {15, 25, 120, 40}},
        {"size given", kKeep, kKeep, 200, 60, {15, 25, 200, 60}},
        {"x and height given", 30, kKeep, kKeep, 50, {30, 25, 120, 50}},
        {"y and width given", kKeep, 35, 90, kKeep, {15, 35, 90, 40}},
        {"everything given", 5, 6, 70, 80, {5, 6, 70, 80}},
    };
    for (const Case& c : cases) {
        MoveWindow(gadget, start.x, start.y, start.width, start.height, TRUE);
        ASSERT_EQ(PlacementOf(gadget), start) << c.what;
        EXPECT_NE(RESIZEGADGET(111, c.x, c.y, c.width, c.height), 0) << c.what;
        EXPECT_EQ(PlacementOf(gadget), c.expected) << c.what;
    }
}

TEST_F(GeometryGadget, UnregisteredNumberGivesZeroEverywhere) {
    const int32_t number = 424242;
    ASSERT_EQ(GadgetID(number), nullptr);
    struct Case {
        const char* call;
        int32_t result;
    };
    const Case cases[] = {
        {"GADGETX", GADGETX(number)},
        {"GADGETY", GADGETY(number)},
        {"GADGETWIDTH", GADGETWIDTH(number)},
        {"GADGETHEIGHT", GADGETHEIGHT(number)},
        {"RESIZEGADGET given all", RESIZEGADGET(number, 1, 2, 30, 40)},
        {"RESIZEGADGET all kept", RESIZEGADGET(number, kKeep, kKeep, kKeep, kKeep)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, 0) << c.call;
}

TEST_F(GeometryGadget, TabControlFitsItsPanelBelowTheTabs) {
    HWND tab = Registered(WC_TABCONTROLA, 121, {10, 10, 300, 200});
    for (const char* text : {"One", "Two"}) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(text);
        SendMessageA(tab, TCM_INSERTITEMA, SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0),
                     reinterpret_cast<LPARAM>(&item));
    }
    HWND panel = CreateChild("static", tab, 0, 0, 50, 50, 20, 20);
    ASSERT_NE(panel, nullptr);
    SetPropA(tab, "paneltab", panel);
    SetPropA(tab, "paneltabItem", reinterpret_cast<HANDLE>(1));

    EXPECT_NE(RESIZEGADGET(121, 20, 30, 360, 250), 0);

    EXPECT_EQ(PlacementOf(tab), (Placement{20, 30, 360, 250}));
    RECT item{};
    ASSERT_TRUE(SendMessageA(tab, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)));
    ASSERT_GT(item.bottom, 0);
    EXPECT_EQ(PlacementOf(panel), (Placement{1, item.bottom + 1, 360 - 3, 250 - 26}));
}

TEST_F(GeometryGadget, TabControlWithoutPanelIsResizedAlone) {
    HWND tab = Registered(WC_TABCONTROLA, 122, {10, 10, 300, 200});
    EXPECT_NE(RESIZEGADGET(122, 40, 50, 200, 150), 0);
    EXPECT_EQ(PlacementOf(tab), (Placement{40, 50, 200, 150}));
}

// ============================================================================
// Kinds of windows by class name

TEST(GadgetKind, EachKnownClassGivesItsCodeAndOthersNone) {
    InitControlClasses();
    HWND parent = OpenTestWindow("kinds");
    ASSERT_NE(parent, nullptr);
    struct Case {
        const char* createdAs;
        DWORD style;
        const char* reportedAs;
        int32_t kind;
    };
    const Case cases[] = {
        {"COMBOBOX", CBS_DROPDOWNLIST, "ComboBox", 3},
        {"ListBox", 0, "ListBox", 2},
        {WC_TABCONTROLA, 0, "SysTabControl32", 4},
        {TRACKBAR_CLASSA, 0, "msctls_trackbar32", 7},
        {"ScrollBar", SBS_HORZ, "ScrollBar", 5},
        {PROGRESS_CLASSA, 0, "msctls_progress32", 8},
        {DATETIMEPICK_CLASSA, 0, "SysDateTimePick32", 9},
        {MONTHCAL_CLASSA, 0, "SysMonthCal32", 10},
        {UPDOWN_CLASSA, 0, "msctls_updown32", 14},
        {TOOLBARCLASSNAMEA, 0, "ToolbarWindow32", 15},
        {"static", 0, "Static", 16},
        {WC_LISTVIEWA, 0, "SysListView32", 6},
        {"Button", BS_PUSHBUTTON, "Button", 0},
        {"Edit", 0, "Edit", 0},
    };
    int id = 200;
    HWND combo = nullptr;
    for (const Case& c : cases) {
        HWND window = CreateChild(c.createdAs, parent, ++id, c.style, 10, 10, 150, 100);
        if (window == nullptr) {
            ADD_FAILURE() << "no window of class " << c.createdAs << ", error " << GetLastError();
            continue;
        }
        if (c.kind == 3) combo = window;
        EXPECT_EQ(GETCLASSNAME_(window), c.reportedAs) << "created as " << c.createdAs;
        EXPECT_EQ(GADGETCLASS(window), c.kind) << "class " << c.reportedAs;
    }

    ASSERT_NE(combo, nullptr);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(SendMessageA(combo, CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(&info)));
    ASSERT_NE(info.hwndList, nullptr);
    EXPECT_EQ(GETCLASSNAME_(info.hwndList), "ComboLBox");
    EXPECT_EQ(GADGETCLASS(info.hwndList), 13) << "class ComboLBox";

    EXPECT_EQ(GETCLASSNAME_(parent), ClassNameOfWindow(parent));
    EXPECT_EQ(GETCLASSNAME_(parent).rfind(kClassPrefix, 0), 0u) << GETCLASSNAME_(parent);
    EXPECT_EQ(GADGETCLASS(parent), 0) << "top-level window of class " << GETCLASSNAME_(parent);
    DestroyWindow(parent);
}

TEST(GadgetKind, NamesDifferingOnlyInLetterCaseGiveNothing) {
    InitControlClasses();
    HWND parent = OpenTestWindow("letter case");
    ASSERT_NE(parent, nullptr);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    for (const char* name : {"Combobox", "STATIC", "syslistview32", "MSCTLS_TRACKBAR32"}) {
        WNDCLASSA ownClass{};
        ownClass.lpfnWndProc = DefWindowProcA;
        ownClass.hInstance = instance;
        ownClass.lpszClassName = name;
        if (RegisterClassA(&ownClass) == 0) {
            ADD_FAILURE() << "class " << name << " not registered, error " << GetLastError();
            continue;
        }
        HWND window = CreateWindowExA(0, name, "", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                      instance, nullptr);
        EXPECT_NE(window, nullptr) << name;
        EXPECT_EQ(GETCLASSNAME_(window), name);
        EXPECT_EQ(GADGETCLASS(window), 0) << "class " << name;
        DestroyWindow(window);
        UnregisterClassA(name, instance);
    }
    DestroyWindow(parent);
}

TEST(GadgetKind, NoClassNameWithoutAWindow) {
    for (HWND window : {NoLongerAWindow(), static_cast<HWND>(nullptr)}) {
        EXPECT_EQ(GETCLASSNAME_(window), "") << window;
        EXPECT_EQ(GADGETCLASS(window), 0) << window;
    }
}

TEST(GadgetKind, LongClassNameIsCutTo127Bytes) {
    const std::string name(150, 'L');
    WNDCLASSA longClass{};
    longClass.lpfnWndProc = DefWindowProcA;
    longClass.hInstance = GetModuleHandleA(nullptr);
    longClass.lpszClassName = name.c_str();
    ASSERT_NE(RegisterClassA(&longClass), 0) << "error " << GetLastError();
    HWND window = CreateWindowExA(0, name.c_str(), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GETCLASSNAME_(window), name.substr(0, 127));
    DestroyWindow(window);
}

// Registering the pair that the number already holds keeps the window: the
// number is not freed first.
TEST_F(RegistryGadgetTable, RegisteringTheSamePairAgainKeepsTheWindow) {
    HWND window = CreateWindowExA(0, "Static", "kept", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ADDIN9999(4711, window);
    ADDIN9999(4711, window);
    EXPECT_TRUE(IsWindow(window)) << "the second registration destroyed the window";
    EXPECT_EQ(GadgetID(4711), window);
    EXPECT_EQ(ID_In_Number(window), 4711);
    // One pair, not two: freeing the number once leaves nothing.
    EXPECT_EQ(FREEGADGET(4711), 1);
    EXPECT_EQ(GadgetID(4711), nullptr);
    EXPECT_EQ(ID_In_Number(window), 0);
    EXPECT_FALSE(IsWindow(window));
}
