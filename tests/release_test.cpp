// What the executable carries for Windows: its version and its manifest.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::string VersionString(const std::vector<char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return "(missing)";
    }
    return std::string(value, length > 0 ? length - 1 : 0);
}

std::string Manifest(const std::string& path) {
    HMODULE image = LoadLibraryExA(path.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (image == nullptr) return "(not loaded)";
    std::string text = "(missing)";
    if (HRSRC resource = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        HGLOBAL data = LoadResource(image, resource);
        text.assign(static_cast<const char*>(LockResource(data)), SizeofResource(image, resource));
    }
    FreeLibrary(image);
    return text;
}

std::vector<char> FileBytes(const std::string& path) {
    std::vector<char> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart < (64 << 20)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
            read != bytes.size()) {
            bytes.clear();
        }
    }
    CloseHandle(file);
    return bytes;
}

// The functions a PE file (32- or 64-bit) imports by name, as "dll!Name",
// read from the file's import table; empty when the file cannot be read.
std::vector<std::string> ImportedNames(const std::string& path) {
    std::vector<std::string> names;
    std::vector<char> image = FileBytes(path);
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) return names;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE ||
        static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > image.size()) {
        return names;
    }
    auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    bool wide = headers->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const IMAGE_DATA_DIRECTORY& imports =
        wide ? reinterpret_cast<const IMAGE_NT_HEADERS64*>(headers)
                   ->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT]
             : headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(headers);
    // A file offset for an address of the loaded image; 0 when it lies in no section.
    auto offset = [&](DWORD address) -> size_t {
        for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& section = sections[i];
            if (address >= section.VirtualAddress &&
                address < section.VirtualAddress + section.SizeOfRawData) {
                size_t at = address - section.VirtualAddress + section.PointerToRawData;
                return at < image.size() ? at : 0;
            }
        }
        return 0;
    };
    auto text = [&](size_t at) { return std::string(image.data() + at, strnlen(image.data() + at, image.size() - at)); };
    for (size_t at = offset(imports.VirtualAddress);
         at != 0 && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto* module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        if (module->Name == 0 || offset(module->Name) == 0) break;
        std::string dll = text(offset(module->Name));
        DWORD thunks = module->OriginalFirstThunk != 0 ? module->OriginalFirstThunk : module->FirstThunk;
        size_t step = wide ? 8 : 4;
        for (size_t thunk = offset(thunks); thunk != 0 && thunk + step <= image.size(); thunk += step) {
            ULONGLONG entry = 0;
            std::memcpy(&entry, image.data() + thunk, step);
            if (entry == 0) break;
            bool byOrdinal = (entry >> (wide ? 63 : 31)) & 1;
            size_t name = byOrdinal ? 0 : offset(static_cast<DWORD>(entry));
            if (name != 0) names.push_back(dll + "!" + text(name + 2));  // after the hint
        }
    }
    return names;
}

}  // namespace

// The library tells what a message carries by checking it when it arrives,
// never by watching the thread: neither build of the program imports a
// function that sets a Windows hook, so none can be set.
TEST(ReleaseImports, NeitherBuildImportsAFunctionThatSetsAHook) {
    for (const char* variable : {"ZUDIZAZUZ_EXE32", "ZUDIZAZUZ_EXE"}) {
        ASSERT_FALSE(Env(variable).empty()) << variable;
        std::vector<std::string> names = ImportedNames(WindowsPath(Env(variable)));
        bool windowsFound = false;
        for (const std::string& name : names) {
            if (name.find("!CreateWindowExA") != std::string::npos) windowsFound = true;
            EXPECT_EQ(name.find("!SetWindowsHook"), std::string::npos) << Env(variable) << " imports " << name;
        }
        EXPECT_TRUE(windowsFound) << Env(variable) << ": the import table was not read ("
                                  << names.size() << " names)";
    }
}

TEST(ReleaseResources, VersionAndManifestReadBackFromBothBuilds) {
    for (const char* variable : {"ZUDIZAZUZ_EXE32", "ZUDIZAZUZ_EXE"}) {
        std::string path = WindowsPath(Env(variable));
        ASSERT_FALSE(Env(variable).empty()) << variable;
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << path << " has no version resource";
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
        EXPECT_EQ(VersionString(block, "ProductName"), "Zudizazuz") << path;
        EXPECT_EQ(VersionString(block, "ProductVersion"), "1.0.0.0") << path;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u) << path;
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP)) << path;

        std::string manifest = Manifest(path);
        for (const char* part : {"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                                 "requestedExecutionLevel level=\"asInvoker\"",
                                 "supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"",
                                 "supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\""}) {
            EXPECT_NE(manifest.find(part), std::string::npos) << path << " manifest lacks " << part;
        }
        // Aware of the system DPI, so that Windows does not stretch the
        // window into a blur at 125 % and above; not per monitor, since the
        // gadgets keep the system font, made for the system DPI only. (Wine
        // treats every program as aware and cannot show the stretching.)
        EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/"
                                "WindowsSettings\">true</dpiAware>"),
                  std::string::npos)
            << path << " manifest does not declare the system DPI awareness:\n" << manifest;
        EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                                "WindowsSettings\">System</dpiAwareness>"),
                  std::string::npos)
            << path << " manifest lacks the dpiAwareness element of Windows 10";
        // The program's code page, Windows-1251, whatever the system's code
        // page for programs that are not Unicode (Windows 11 and Server 2022
        // on), in the one windowsSettings element.
        size_t codePage = manifest.find("<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/"
                                        "2019/WindowsSettings\">ru-RU</activeCodePage>");
        EXPECT_NE(codePage, std::string::npos) << path << " manifest does not ask for code page 1251";
        EXPECT_LT(manifest.find("<windowsSettings>"), codePage);
        EXPECT_GT(manifest.find("</windowsSettings>"), codePage);
        EXPECT_EQ(manifest.find("<windowsSettings>"), manifest.rfind("<windowsSettings>"));
        std::string lower = manifest;
        for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(lower.find("permonitor"), std::string::npos) << path << " asks for per-monitor awareness";
    }
}

// The shipped 32-bit executable stays small: at most 56 KiB stripped (48 KiB
// until the layout was scaled to the display's DPI and the manifest said so,
// 1.5 KiB, and the notification watch became one a thread, set on demand, and
// the browser's host refused foreign WM_FORWARDMSG, 1.5 KiB more; 52 KiB until
// the manifest asked for code page 1251 and the program learnt to say where a
// system ignores that, in Russian and English, 1 KiB, and the keywords left
// as UTF-8 escapes and Enter looked into the page's frames, 0.5 KiB, and the
// notification watch took a second hook and the wait went per thread, 0.5 KiB
// more; the manifest's comments went, 0.5 KiB less; 54 KiB until the
// engine's page was checked after a search, a refusal going on to the
// fallback, 2.5 KiB, while the watch gave way to checks of what a
// notification carries, 1.5 KiB less: 56,320 bytes). A change
// that brings the C++ runtime's exception machinery, its string classes or a
// C runtime formatter back into the program shows here at once (each is tens
// of KiB). It is also a PE32 GUI program that keeps ASLR and DEP.
TEST(ReleaseSize, TheShipped32BitExecutableIsAtMost56KiBWithAslrAndDep) {
    std::string path = WindowsPath(Env("ZUDIZAZUZ_EXE32"));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
    ASSERT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_LE(data.nFileSizeLow, 56u * 1024) << path << " is " << data.nFileSizeLow << " bytes";

    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::vector<char> image(data.nFileSizeLow);
    DWORD read = 0;
    ReadFile(file, image.data(), data.nFileSizeLow, &read, nullptr);
    CloseHandle(file);
    ASSERT_EQ(read, data.nFileSizeLow);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_LT(static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), image.size());
    auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    EXPECT_EQ(headers->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(headers->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(headers->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    WORD characteristics = headers->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "no ASLR";
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "no DEP";
    EXPECT_NE(headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u)
        << "no relocations: ASLR cannot move it";
}
