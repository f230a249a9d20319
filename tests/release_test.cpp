// What the executable carries for Windows: its version and its manifest.
#include "test_support.h"

#include <gtest/gtest.h>

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

}  // namespace

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
    }
}
