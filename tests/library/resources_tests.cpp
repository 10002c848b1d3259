// The library's resources as Windows itself reads them from the built file.
#include "test_environment.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

class LibraryResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module_ = ::LoadLibraryExW(kxtest::ProductDllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (module_ != nullptr) {
            ::FreeLibrary(module_);
        }
    }
    void SetUp() override { ASSERT_NE(nullptr, module_); }

    static std::wstring String(UINT id)
    {
        wchar_t buffer[64] = {};
        ::LoadStringW(module_, id, buffer, 64);
        return buffer;
    }

    // The image the system picks out of an icon group for a size and colour need.
    static int PickedImage(UINT group, int size, UINT flags)
    {
        HRSRC found = ::FindResourceExW(module_, RT_GROUP_ICON, MAKEINTRESOURCEW(group),
                                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        if (found == nullptr) {
            return -1;
        }
        auto* directory = static_cast<BYTE*>(::LockResource(::LoadResource(module_, found)));
        return ::LookupIconIdFromDirectoryEx(directory, TRUE, size, size, flags);
    }

    static HMODULE module_;
};
HMODULE LibraryResources::module_ = nullptr;

TEST_F(LibraryResources, StringTableHoldsTheTwoNames)
{
    EXPECT_EQ(L"CorvantaVantorel", String(100));
    EXPECT_EQ(L"Vantorel TZ7100", String(103));
    EXPECT_EQ(L"", String(101));
}

TEST_F(LibraryResources, IconGroupsOfferEverySize)
{
    const struct {
        UINT group;
        int firstImage;
    } groups[] = {{101, 1}, {102, 8}};
    for (const auto& group : groups) {
        EXPECT_EQ(group.firstImage + 3, PickedImage(group.group, 256, LR_DEFAULTCOLOR)) << group.group;
        EXPECT_EQ(group.firstImage + 4, PickedImage(group.group, 48, LR_DEFAULTCOLOR)) << group.group;
        EXPECT_EQ(group.firstImage + 6, PickedImage(group.group, 16, LR_DEFAULTCOLOR)) << group.group;
    }
}

TEST_F(LibraryResources, IconsLoadAtTheirSizes)
{
    for (UINT group : {101u, 102u}) {
        for (int size : {16, 32, 48, 256}) {
            HICON icon = static_cast<HICON>(::LoadImageW(module_, MAKEINTRESOURCEW(group), IMAGE_ICON, size, size, 0));
            ASSERT_NE(nullptr, icon) << group << " at " << size;
            ICONINFO info = {};
            ASSERT_TRUE(::GetIconInfo(icon, &info));
            BITMAP colour = {};
            ::GetObjectW(info.hbmColor, sizeof(colour), &colour);
            EXPECT_EQ(size, colour.bmWidth) << group;
            ::DeleteObject(info.hbmColor);
            ::DeleteObject(info.hbmMask);
            ::DestroyIcon(icon);
        }
    }
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* key)
{
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904e4\\") + key;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr) {
        return L"(missing)";
    }
    return static_cast<const wchar_t*>(value);
}

TEST_F(LibraryResources, VersionRecordNamesTheProduct)
{
    const std::wstring path = kxtest::ProductDllPath();
    std::vector<BYTE> block(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00020002u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000005u, fixed->dwFileVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
    EXPECT_EQ(L"Vantorel Tarno Driver", VersionString(block, L"ProductName"));
    // The record names the processor the library was built for, which is this program's too.
#if defined(_M_ARM64) || defined(__aarch64__)
    EXPECT_EQ(L"Corvanta Coinstaller Dll (ARM64)", VersionString(block, L"FileDescription"));
#else
    EXPECT_EQ(L"Corvanta Coinstaller Dll (64bit)", VersionString(block, L"FileDescription"));
#endif
}

} // namespace
