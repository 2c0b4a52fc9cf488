#include "framework/File.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A folder of its own under the temporary folder, removed with what is in it.
class FileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
        m_dir = std::wstring(temp) + L"quilmer-file-test-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(m_dir.c_str(), nullptr);
    }
    void TearDown() override
    {
        ::DeleteFileW(Path(L"a.bin").c_str());
        ::RemoveDirectoryW(m_dir.c_str());
    }
    std::wstring Path(const wchar_t* name) const { return m_dir + L"\\" + name; }

    void WriteAll(const std::wstring& path, const std::string& bytes)
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite));
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        file.Close();
    }

    std::wstring m_dir;
};

constexpr UINT kCreateForWriting = CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite;
constexpr UINT kReadOnly = CFile::modeRead | CFile::typeBinary;

TEST_F(FileTest, FlagValuesAreTheFrameworkOnes)
{
    EXPECT_EQ(0x1021u, kCreateForWriting);
    EXPECT_EQ(0x8000u, kReadOnly);
}

TEST_F(FileTest, CreateTruncatesAnExistingFileAndWritesAtItsStart)
{
    const std::wstring path = Path(L"a.bin");
    WriteAll(path, "a longer first content");
    WriteAll(path, "abc");

    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), kReadOnly));
    EXPECT_EQ(3u, file.GetLength());
    char buf[16] = {};
    EXPECT_EQ(3u, file.Read(buf, sizeof buf));
    EXPECT_EQ(std::string("abc"), std::string(buf, 3));
    EXPECT_EQ(0u, file.Read(buf, sizeof buf));
}

TEST_F(FileTest, ShareDenyWriteLetsOthersReadButNotWrite)
{
    const std::wstring path = Path(L"a.bin");
    CFile writer;
    ASSERT_TRUE(writer.Open(path.c_str(), kCreateForWriting));
    writer.Write("xy", 2);

    CFile reader;
    EXPECT_TRUE(reader.Open(path.c_str(), kReadOnly));
    EXPECT_EQ(2u, reader.GetLength());

    CFile secondWriter;
    CFileException error;
    EXPECT_FALSE(secondWriter.Open(path.c_str(), kCreateForWriting, &error));
    EXPECT_EQ(CFileException::accessDenied, error.m_cause);
    EXPECT_EQ(ERROR_SHARING_VIOLATION, error.m_lOsError);
}

TEST_F(FileTest, HandleIsClosedByCloseAndByTheDestructor)
{
    const std::wstring path = Path(L"a.bin");
    HANDLE raw = nullptr;
    {
        CFile file;
        ASSERT_TRUE(file.Open(path.c_str(), kCreateForWriting));
        raw = file.GetHandle();
    }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags));
    EXPECT_TRUE(::DeleteFileW(path.c_str())) << "a handle left open keeps the file";

    CFile file;
    ASSERT_TRUE(file.Open(path.c_str(), kCreateForWriting));
    raw = file.GetHandle();
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(::GetHandleInformation(raw, &flags));
    EXPECT_NO_THROW(file.Close());
}

TEST_F(FileTest, OpenFailuresAreReportedThroughTheResult)
{
    struct Case
    {
        std::wstring path;
        UINT flags;
        int cause;
        LONG osError;
    } cases[] = {
        {Path(L"missing.bin"), kReadOnly, CFileException::fileNotFound, ERROR_FILE_NOT_FOUND},
        {Path(L"no-such-folder\\a.bin"), kCreateForWriting, CFileException::badPath, ERROR_PATH_NOT_FOUND},
        {L"", kCreateForWriting, CFileException::badPath, ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        CFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(c.path.c_str(), c.flags, &error));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(c.cause, error.m_cause);
        EXPECT_EQ(c.osError, error.m_lOsError);
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(Path(L"no-such-folder").c_str()));
}

// Catches what an operation throws, as a handler of the framework's family
// does, and hands back its cause and system error.
template <typename Operation>
std::pair<int, LONG> ThrownFileError(Operation operation)
{
    try {
        operation();
    } catch (CFileException* e) {
        const std::pair<int, LONG> result(e->m_cause, e->m_lOsError);
        wchar_t text[256];
        EXPECT_TRUE(e->GetErrorMessage(text, 256));
        EXPECT_NE(L'\0', text[0]);
        e->Delete();
        return result;
    }
    ADD_FAILURE() << "no CFileException was thrown";
    return {-1, -1};
}

TEST_F(FileTest, WriteReadAndLengthThrowFileExceptions)
{
    const std::wstring path = Path(L"a.bin");
    WriteAll(path, "data");

    CFile notOpen;
    EXPECT_EQ(CFileException::invalidFile, ThrownFileError([&] { notOpen.Write("x", 1); }).first);
    EXPECT_EQ(CFileException::invalidFile, ThrownFileError([&] { notOpen.GetLength(); }).first);
    char buf[4];
    EXPECT_EQ(CFileException::invalidFile, ThrownFileError([&] { notOpen.Read(buf, 4); }).first);

    // The downloader's case: the file could not be created, so the first write fails.
    CFile missingFolder;
    EXPECT_FALSE(missingFolder.Open(Path(L"no-such-folder\\a.bin").c_str(), kCreateForWriting));
    EXPECT_EQ(ERROR_INVALID_HANDLE, ThrownFileError([&] { missingFolder.Write("x", 1); }).second);

    CFile readOnly;
    ASSERT_TRUE(readOnly.Open(path.c_str(), kReadOnly));
    EXPECT_EQ(CFileException::accessDenied, ThrownFileError([&] { readOnly.Write("x", 1); }).first);
}

TEST_F(FileTest, ConstructorThrowsWhenTheFileCannotBeOpened)
{
    const std::pair<int, LONG> error =
        ThrownFileError([&] { CFile file(Path(L"missing.bin").c_str(), kReadOnly); });
    EXPECT_EQ(CFileException::fileNotFound, error.first);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, error.second);
}

TEST_F(FileTest, ExceptionIsAKindOfCException)
{
    CFileException* e = new CFileException(CFileException::diskFull, ERROR_DISK_FULL, L"x");
    EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_STREQ("CFileException", e->GetRuntimeClass()->m_lpszClassName);
    e->Delete();
}

} // namespace
