#include "app/SetupFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// ---- Paths -------------------------------------------------------------------------

struct JoinCase
{
    const wchar_t* pszFolder;
    const wchar_t* pszExpected;
};

class JoinFolderAndFileTest : public testing::TestWithParam<JoinCase>
{
};

TEST_P(JoinFolderAndFileTest, OneBackslashBetweenFolderAndFile)
{
    EXPECT_STREQ(JoinFolderAndFile(GetParam().pszFolder, SETUP_FILE_NAME).GetString(), GetParam().pszExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, JoinFolderAndFileTest,
    testing::Values(JoinCase{L"C:\\Temp\\", L"C:\\Temp\\Tavo_Real_Setup.exe"},
                    JoinCase{L"C:\\Temp", L"C:\\Temp\\Tavo_Real_Setup.exe"},
                    JoinCase{L"C:\\Temp\\\\\\", L"C:\\Temp\\Tavo_Real_Setup.exe"},
                    JoinCase{L"C:\\", L"C:\\Tavo_Real_Setup.exe"},
                    // Leading backslashes make the path what it is; without them
                    // these would name folders relative to the current one.
                    JoinCase{L"\\\\server\\share\\temp\\", L"\\\\server\\share\\temp\\Tavo_Real_Setup.exe"},
                    JoinCase{L"\\\\?\\C:\\Temp\\", L"\\\\?\\C:\\Temp\\Tavo_Real_Setup.exe"}));

// ---- The temporary folder ------------------------------------------------------------

// Sets TMP for the test's life and puts the old value back.
class TmpVariable
{
public:
    explicit TmpVariable(const std::wstring& value)
    {
        wchar_t old[32768];
        const DWORD n = ::GetEnvironmentVariableW(L"TMP", old, 32768);
        m_bHad = n > 0 && n < 32768;
        if (m_bHad)
            m_strOld.assign(old, n);
        ::SetEnvironmentVariableW(L"TMP", value.c_str());
    }
    ~TmpVariable() { ::SetEnvironmentVariableW(L"TMP", m_bHad ? m_strOld.c_str() : nullptr); }

private:
    bool m_bHad = false;
    std::wstring m_strOld;
};

TEST(GetTempFolderTest, ReportsTheFolderWithItsBackslash)
{
    TmpVariable tmp(L"C:\\quilmer temp");
    EXPECT_STREQ(GetTempFolder().GetString(), L"C:\\quilmer temp\\");
}

// Near the customary buffer's end (the platform itself stops a little short of
// it: Wine refuses 259 characters, though Windows reports up to 260).
TEST(GetTempFolderTest, LongFolderComesBackWhole)
{
    const std::wstring folder = L"C:\\" + std::wstring(245, L'q') + L"\\";
    TmpVariable tmp(folder);
    EXPECT_STREQ(GetTempFolder().GetString(), folder.c_str());
}

// ---- A file already there -------------------------------------------------------------

// The size that decides whether a present setup file is reused: the whole
// size, above 4 GB too (a sparse file costs no disk).
TEST(LocalFileTest, ReportsPresenceAndSize)
{
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
    const std::wstring folder = std::wstring(temp) + L"quilmer-local-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring small = folder + L"\\small.exe";
    const std::wstring large = folder + L"\\large.exe";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const auto make = [](const std::wstring& path, LONGLONG nSize) {
        const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD dw = 0;
        ::DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &dw, nullptr);
        LARGE_INTEGER li;
        li.QuadPart = nSize;
        EXPECT_TRUE(::SetFilePointerEx(h, li, nullptr, FILE_BEGIN) && ::SetEndOfFile(h));
        ::CloseHandle(h);
    };
    make(small, 5000);
    make(large, 0x100000005LL);

    ULONGLONG nSize = 7;
    EXPECT_TRUE(EntryExists(small.c_str()));
    EXPECT_TRUE(GetLocalFileSize(small.c_str(), nSize));
    EXPECT_EQ(5000u, nSize);
    EXPECT_TRUE(GetLocalFileSize(large.c_str(), nSize));
    EXPECT_EQ(0x100000005ULL, nSize);
    EXPECT_TRUE(EntryExists(folder.c_str()));

    nSize = 7;
    EXPECT_FALSE(EntryExists((folder + L"\\absent.exe").c_str()));
    EXPECT_FALSE(GetLocalFileSize((folder + L"\\absent.exe").c_str(), nSize));
    EXPECT_EQ(7u, nSize) << "a failed query leaves the size alone";

    ::DeleteFileW(small.c_str());
    ::DeleteFileW(large.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

// ---- Starting the setup ----------------------------------------------------------------

std::string Utf8(const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n) - 1);
    return out;
}

// A folder tree of the test's own under the system's temporary folder, with the
// stand-in setup program copied into it; removed afterwards.
class RunProgramTest : public testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        m_strRoot = std::wstring(temp) + L"quilmer-run-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(m_strRoot.c_str(), nullptr);
        m_strMarker = m_strRoot + L"\\marker.txt";
        ::SetEnvironmentVariableW(L"QUILMER_STANDIN_MARKER", m_strMarker.c_str());
        m_strStandin = BuildFolder() + L"\\tools\\standin-setup\\standin-setup.exe";
        ASSERT_NE(::GetFileAttributesW(m_strStandin.c_str()), INVALID_FILE_ATTRIBUTES) << "build standin-setup first";
    }

    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"QUILMER_STANDIN_MARKER", nullptr);
        for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
            if (!::DeleteFileW(it->c_str()))
                ::RemoveDirectoryW(it->c_str());
        }
        ::DeleteFileW(m_strMarker.c_str());
        ::RemoveDirectoryW(m_strRoot.c_str());
    }

    std::wstring MakeFolder(const std::wstring& relative)
    {
        const std::wstring path = m_strRoot + L"\\" + relative;
        EXPECT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
        m_created.push_back(path);
        return path;
    }

    std::wstring PlaceStandin(const std::wstring& path)
    {
        EXPECT_TRUE(::CopyFileW(m_strStandin.c_str(), path.c_str(), FALSE));
        m_created.push_back(path);
        return path;
    }

    // What the stand-in wrote about itself, once it has; empty after 15 s.
    std::string WaitForMarker()
    {
        for (int i = 0; i < 300; ++i) {
            const std::string text = ReadAll(m_strMarker);
            if (!text.empty())
                return text;
            ::Sleep(50);
        }
        return std::string();
    }

    std::wstring m_strRoot, m_strMarker, m_strStandin;
    std::vector<std::wstring> m_created;
};

// "C:\...\John Smith\..." unquoted would start "C:\...\John.exe" with arguments.
TEST_F(RunProgramTest, PathWithSpaceStartsThatFileNotTheFirstWord)
{
    const std::wstring base = MakeFolder(L"Users");
    PlaceStandin(base + L"\\John.exe");
    const std::wstring setup = PlaceStandin(MakeFolder(L"Users\\John Smith") + L"\\Tavo_Real_Setup.exe");

    DWORD dwProcessId = 0;
    int nStatus = 1;
    EXPECT_EQ(RunProgram(setup.c_str(), dwProcessId, nStatus), 0);
    EXPECT_EQ(nStatus, 0);
    EXPECT_NE(dwProcessId, 0u);

    const std::string marker = WaitForMarker();
    EXPECT_NE(marker.find("module=" + Utf8(setup) + "\r\n"), std::string::npos) << marker;
    EXPECT_NE(marker.find("cmdline=\"" + Utf8(setup) + "\"\r\n"), std::string::npos) << marker;
}

// A full path of more than 255 characters reaches the system whole.
TEST_F(RunProgramTest, PathLongerThan255CharactersIsNotCut)
{
    std::wstring folder = L"long";
    MakeFolder(folder);
    while (m_strRoot.size() + folder.size() < 200) {
        folder += L"\\" + std::wstring(20, L'd');
        MakeFolder(folder);
    }
    // 238 + "\Tavo_Real_Setup.exe": 258 characters, over 255 and under MAX_PATH.
    folder += L"\\" + std::wstring(238 - 2 - m_strRoot.size() - folder.size(), L'e');
    MakeFolder(folder);
    const std::wstring setup = PlaceStandin(m_strRoot + L"\\" + folder + L"\\Tavo_Real_Setup.exe");
    ASSERT_EQ(setup.size(), 258u);

    DWORD dwProcessId = 0;
    int nStatus = 1;
    EXPECT_EQ(RunProgram(setup.c_str(), dwProcessId, nStatus), 0);
    const std::string marker = WaitForMarker();
    EXPECT_NE(marker.find("module=" + Utf8(setup) + "\r\n"), std::string::npos) << marker;
}

TEST_F(RunProgramTest, MissingProgramFailsAndLeavesTheIdentifier)
{
    DWORD dwProcessId = 1234;
    int nStatus = 0;
    EXPECT_EQ(RunProgram((m_strRoot + L"\\absent.exe").c_str(), dwProcessId, nStatus), -1);
    EXPECT_EQ(nStatus, -1);
    EXPECT_EQ(dwProcessId, 1234u);
}

} // namespace
