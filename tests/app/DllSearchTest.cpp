#include "app/DllSearch.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath(HMODULE hModule)
{
    wchar_t szPath[MAX_PATH] = {};
    ::GetModuleFileNameW(hModule, szPath, MAX_PATH);
    return szPath;
}

std::wstring SystemFolder()
{
    wchar_t szDir[MAX_PATH] = {};
    ::GetSystemDirectoryW(szDir, MAX_PATH);
    return szDir;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// ---- LoadSystemLibrary ------------------------------------------------------------

TEST(LoadSystemLibraryTest, LoadsTheSystemFoldersCopy)
{
    const HMODULE hModule = LoadSystemLibrary("version.dll");
    ASSERT_NE(hModule, nullptr);
    EXPECT_TRUE(StartsWithNoCase(ModulePath(hModule), SystemFolder() + L"\\")) << ModulePath(hModule);
}

class LoadSystemLibraryRejects : public testing::TestWithParam<const char*>
{
};

// Only a bare file name may be appended to the system folder: anything that
// could lead out of it is refused before the loader sees it.
TEST_P(LoadSystemLibraryRejects, NamesThatAreNotPlainFileNames)
{
    ::SetLastError(0);
    EXPECT_EQ(LoadSystemLibrary(GetParam()), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

INSTANTIATE_TEST_SUITE_P(Names, LoadSystemLibraryRejects,
                         testing::Values("", "..\\version.dll", "../version.dll", "C:version.dll",
                                         "Z:\\tmp\\version.dll", "\xC3\xA9version.dll"));

TEST(LoadSystemLibraryTest, NullNameIsRefused)
{
    EXPECT_EQ(LoadSystemLibrary(nullptr), nullptr);
}

// ---- RestrictDllSearchToSystem32 ---------------------------------------------------

// The build copies the planted-DLL stand-in beside this test as
// quilmer_planted_before.dll and quilmer_planted_after.dll. No system DLL has
// these names, so Wine, too, looks for them along the search path, where the
// program's own folder comes first. The restriction holds for the rest of the
// process, so the control comes first in the same test.
TEST(RestrictDllSearchTest, TheProgramsFolderIsNoLongerSearched)
{
    const HMODULE hBefore = ::LoadLibraryW(L"quilmer_planted_before.dll");
    ASSERT_NE(hBefore, nullptr) << "the control: a DLL beside the program is found by its bare name";

    EXPECT_TRUE(RestrictDllSearchToSystem32()) << "SetDefaultDllDirectories is there on every system tested";

    EXPECT_EQ(::LoadLibraryW(L"quilmer_planted_after.dll"), nullptr);
    EXPECT_EQ(::LoadLibraryExW(L"quilmer_planted_after.dll", nullptr, 0), nullptr);
    EXPECT_EQ(LoadSystemLibrary("quilmer_planted_after.dll"), nullptr);
    // System DLLs are still found by name, in System32.
    const HMODULE hVersion = ::LoadLibraryW(L"version.dll");
    ASSERT_NE(hVersion, nullptr);
    EXPECT_TRUE(StartsWithNoCase(ModulePath(hVersion), SystemFolder() + L"\\"));
    ::FreeLibrary(hBefore);
}

} // namespace
