// The exported face: the 32-bit product's export table, and the adapters.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

namespace {

// Every exported function with its decorated stdcall name.
const std::set<std::string> kAllExports = {
    "ADDIN9999@8", "GadgetID@4", "ID_In_Number@4", "UseGadgetList@4", "GETGURRENTAL@0",
    "ColorAdd@12", "FREEGADGET@4",
    "OpenWindow@28", "CENTERWINDOW@4", "RESIZEWINDOW@20",
    "GADGETX@4", "GADGETY@4", "GADGETWIDTH@4", "GADGETHEIGHT@4", "RESIZEGADGET@20",
    "GETCLASSNAME_@4", "GADGETCLASS@4",
    "TEXTGADGET@28", "ComboBoxGadget@24", "STRINGGADGET@32", "BUTTONGADGET@28",
    "GetGadgetText@8", "SetGadgetText@8", "AddComboBoxItem@12", "SetItemComboBox@8",
    "GetItemComboBox@4", "GetComboBoxText@8",
    "SetGadgetColor@16", "GetGadgetColor@8", "DSGC@16", "COOLOOR@8", "WindowColor@8",
    "SETGADGETFONT@8", "GGF@0",
    "EVENTNUMBER@0", "EVENTNUMBERTOOLBAR@0", "EVENTNUMBERLISTVIEW@0", "MOUSEX@0", "MOUSEY@0",
    "SIZEX@0", "SIZEY@0", "EVENTHWND@0", "EVENTKEY@0", "EVENTWPARAM@0", "EVENTLPARAM@0",
    "GETSUBITEMLISTVIEW@0", "GETITEMLISTVIEW@0", "GETCOLUMNLISTVIEW@0", "FLAGKEYLISTVIEW@0",
    "GETITEMTREEVIEW@0", "EVENTNUMBERTREEVIEW@0", "ERR_@4", "SETPAGESTEPSCROLLBAR@4",
    "FBGUIWINPROC@16", "SETWINDOWCALLBACK@8", "FREECALLBACK@4",
    "WINDOWEVENT@0", "WAITEVENT@0",
    "ADDKEYBOARDSHORTCUT@16", "DELETEALLKEYBOARDSHORTCUT@4",
    "WEBGADGET@32", "WEBGADGETNAVIGATE@8", "WEBGADGETGOBACK@4", "WEBGADGETGOFORWARD@4",
    "WEBGADGETREFRESH@4", "WEBGADGETSTOP@4", "WEBGADGETGETURL@4", "WEBGADGETSTATE@4",
    "WEBGADGETGETBODY@8", "WEBGADGETSETBODY@8",
    "TRIMA@8", "LTRIMA@8", "RTRIMA@8", "PEEKS@8",
    "ASCIITOUTF@4", "UTFTOASCII@4",
};

// Reads the names of a PE file's export directory (PE32 or PE32+).
std::vector<std::string> ExportNames(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> image((std::istreambuf_iterator<char>(file)), {});
    auto read32 = [&](size_t at) -> uint32_t {
        if (at + 4 > image.size()) throw std::runtime_error("read past the file");
        uint32_t v;
        std::memcpy(&v, &image[at], 4);
        return v;
    };
    auto read16 = [&](size_t at) -> uint16_t {
        if (at + 2 > image.size()) throw std::runtime_error("read past the file");
        uint16_t v;
        std::memcpy(&v, &image[at], 2);
        return v;
    };
    std::vector<std::string> names;
    try {
        if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') throw std::runtime_error("not MZ");
        size_t pe = read32(0x3C);
        if (read32(pe) != 0x4550) throw std::runtime_error("not PE");
        uint16_t sections = read16(pe + 6);
        uint16_t optionalSize = read16(pe + 20);
        size_t optional = pe + 24;
        bool pe32plus = read16(optional) == 0x20B;
        size_t directories = optional + (pe32plus ? 112 : 96);
        uint32_t exportRva = read32(directories);
        size_t sectionTable = optional + optionalSize;
        auto offsetOf = [&](uint32_t rva) -> size_t {
            for (uint16_t i = 0; i < sections; ++i) {
                size_t s = sectionTable + i * 40u;
                uint32_t virtualAddress = read32(s + 12), virtualSize = read32(s + 8);
                uint32_t rawOffset = read32(s + 20), rawSize = read32(s + 16);
                if (rva >= virtualAddress && rva < virtualAddress + std::max(virtualSize, rawSize)) {
                    return rva - virtualAddress + rawOffset;
                }
            }
            throw std::runtime_error("address outside the sections");
        };
        if (exportRva == 0) return names;
        size_t directory = offsetOf(exportRva);
        uint32_t count = read32(directory + 24);
        size_t nameTable = offsetOf(read32(directory + 32));
        for (uint32_t i = 0; i < count; ++i) {
            size_t at = offsetOf(read32(nameTable + i * 4));
            std::string name;
            while (at < image.size() && image[at] != 0) name += static_cast<char>(image[at++]);
            names.push_back(name);
        }
    } catch (const std::exception& e) {
        error = e.what();
    }
    return names;
}

}  // namespace

TEST(ExportTable, ProductExportsEveryFunctionUnderItsDecoratedName) {
    std::string product = testing_support::Env("ZUDIZAZUZ_EXE32");
    ASSERT_FALSE(product.empty()) << "ZUDIZAZUZ_EXE32 names the 32-bit product";
    std::string error;
    std::vector<std::string> names = ExportNames(testing_support::WindowsPath(product), error);
    ASSERT_TRUE(error.empty()) << error;
    std::set<std::string> exported(names.begin(), names.end());
    EXPECT_EQ(exported.size(), names.size()) << "a name is exported twice";
    for (const std::string& name : kAllExports) {
        EXPECT_TRUE(exported.count(name)) << "missing export " << name;
    }
    for (const std::string& name : exported) {
        EXPECT_TRUE(kAllExports.count(name)) << "unexpected export " << name;
    }
    EXPECT_EQ(kAllExports.size(), 76u);
}

// The exported adapters, linked into this test program as into the product.
extern "C" {
char* __stdcall TRIMA(const char*, const char*);
char* __stdcall PEEKS(const void*, int32_t);
char* __stdcall UTFTOASCII(const wchar_t*);
wchar_t* __stdcall ASCIITOUTF(const char*);
char* __stdcall GETCLASSNAME_(HWND);
}

TEST(ExportedAdapters, StringResultsAreMallocBlocksTheCallerFrees) {
    char* trimmed = ::TRIMA("  abc  ", " ");
    ASSERT_NE(trimmed, nullptr);
    EXPECT_STREQ(trimmed, "abc");
    std::free(trimmed);

    char* empty = ::PEEKS("xyz", -5);
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    std::free(empty);

    char* narrow = ::UTFTOASCII(nullptr);
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow, "");
    std::free(narrow);

    wchar_t* wide = ::ASCIITOUTF("abc");
    ASSERT_NE(wide, nullptr);
    EXPECT_STREQ(wide, L"abc");
    std::free(wide);
    EXPECT_EQ(::ASCIITOUTF(nullptr), nullptr);

    char* name = ::GETCLASSNAME_(GetDesktopWindow());
    ASSERT_NE(name, nullptr);
    EXPECT_GT(std::strlen(name), 0u);
    std::free(name);
}
