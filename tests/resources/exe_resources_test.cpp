#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring exePath;

std::vector<char> versionInfo() {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exePath.c_str(), &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoW(exePath.c_str(), 0, size, data.data())) {
        data.clear();
    }
    return data;
}

} // namespace

TEST(ExeResources, CarriesVersion0235) {
    std::vector<char> data = versionInfo();
    ASSERT_FALSE(data.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(2, 0));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(5, 3));
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040704B0\\FileVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), L"0.2.3.5");
}

TEST(ExeResources, CarriesTheGermanDescription) {
    std::vector<char> data = versionInfo();
    ASSERT_FALSE(data.empty());
    wchar_t* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040704B0\\FileDescription",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), L"Sammlung von Tools f\u00FCr das Browserspiel 'Korallin'");
}

TEST(ExeResources, IconOneIsThe32PixelIconAndTheManifestAsksForCommonControls6) {
    HMODULE exe = LoadLibraryExW(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC group = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    HICON icon = static_cast<HICON>(
        LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr);
    DestroyIcon(icon);
    HRSRC manifest = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const char* xml = static_cast<const char*>(LockResource(LoadResource(exe, manifest)));
    const std::string text(xml, SizeofResource(exe, manifest));
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    FreeLibrary(exe);
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        const std::string path = argv[1];
        exePath.assign(path.begin(), path.end());
    }
    return RUN_ALL_TESTS();
}
