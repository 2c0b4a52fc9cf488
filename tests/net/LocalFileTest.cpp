// The setup file's entry when someone else prepared it: links planted at the
// path are neither written nor deleted through.
#include "net/LocalFile.h"

#include "net/LinkPlanting.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

void WriteAll(HANDLE h, const std::string& bytes)
{
    DWORD n = 0;
    ASSERT_TRUE(::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
}

void WriteFileAt(const std::wstring& path, const std::string& bytes)
{
    const UniqueFile h(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(h);
    WriteAll(h.get(), bytes);
}

// A folder of the test's own, where links can be planted, removed afterwards.
class LocalFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.Make(L"local-file-test"));
        m_strPath = m_folder.Path() + L"\\Tavo_Real_Setup.exe";
        m_strVictim = m_folder.Path() + L"\\victim.dat";
        WriteFileAt(m_strVictim, "the victim's own bytes");
    }

    void TearDown() override { m_folder.Remove(); }

    // A link of kind at the setup's path, leading to the victim; false when
    // this platform cannot make one.
    bool PlantLink(bool bSymbolic)
    {
        return bSymbolic ? PlantSymlink(m_strPath, m_strVictim)
                         : ::CreateHardLinkW(m_strPath.c_str(), m_strVictim.c_str(), nullptr) != FALSE;
    }

    PlantingFolder m_folder;
    std::wstring m_strPath, m_strVictim;
};

class PlantedLink : public LocalFileTest, public testing::WithParamInterface<bool>
{
};

// The control: the plain way of creating a file (CREATE_ALWAYS, as a file is
// usually created) writes into the victim through the link.
TEST_P(PlantedLink, PlainCreationWritesThroughIt)
{
    if (!PlantLink(GetParam()))
        GTEST_SKIP() << "no links of this kind here";
    const UniqueFile h(::CreateFileW(m_strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(h);
    WriteAll(h.get(), "planted");
    EXPECT_EQ(ReadAll(m_strVictim), "planted");
}

// Where the platform shows a link for what it is (Windows; any hard link), the
// link is replaced by a fresh file; where it follows every link (Wine's Unix
// links), creation is refused. Either way the victim keeps its bytes.
bool LinkCanBeReplaced(bool bSymbolic, const std::wstring& strLink)
{
    return !bSymbolic || LinksAreVisible(strLink);
}

TEST_P(PlantedLink, FreshFileNeverWritesThroughIt)
{
    if (!PlantLink(GetParam()))
        GTEST_SKIP() << "no links of this kind here";
    const bool bReplaceable = LinkCanBeReplaced(GetParam(), m_strPath);
    {
        const UniqueFile h = CreateFreshFile(m_strPath.c_str());
        ASSERT_EQ(static_cast<bool>(h), bReplaceable);
        if (h)
            WriteAll(h.get(), "download");
    }
    EXPECT_EQ(ReadAll(m_strVictim), "the victim's own bytes");
    if (!bReplaceable)
        return;
    EXPECT_EQ(ReadAll(m_strPath), "download");
    DWORD dwError = 0;
    const UniqueFile hHeld = OpenEntryHeld(m_strPath.c_str(), dwError);
    ASSERT_TRUE(hHeld);
    EXPECT_TRUE(IsPlainFile(hHeld.get(), m_strPath.c_str(), dwError)) << dwError;
}

TEST_P(PlantedLink, IsNotAPlainFileAndRemovingItKeepsTheVictim)
{
    if (!PlantLink(GetParam()))
        GTEST_SKIP() << "no links of this kind here";
    DWORD dwError = 0;
    {
        const UniqueFile h = OpenEntryHeld(m_strPath.c_str(), dwError);
        ASSERT_TRUE(h) << dwError;
        EXPECT_FALSE(IsPlainFile(h.get(), m_strPath.c_str(), dwError));
        EXPECT_EQ(dwError, static_cast<DWORD>(ERROR_FILE_INVALID));
    }
    const bool bReplaceable = LinkCanBeReplaced(GetParam(), m_strPath);
    EXPECT_EQ(RemoveEntry(m_strPath.c_str()), bReplaceable);
    EXPECT_EQ(::GetFileAttributesW(m_strPath.c_str()) == INVALID_FILE_ATTRIBUTES, bReplaceable);
    EXPECT_EQ(ReadAll(m_strVictim), "the victim's own bytes");
    // The control: the victim, by its own name, is a plain file (a hard link
    // counts as one once its second name has gone).
    if (bReplaceable) {
        const UniqueFile hVictim = OpenEntryHeld(m_strVictim.c_str(), dwError);
        ASSERT_TRUE(hVictim);
        EXPECT_TRUE(IsPlainFile(hVictim.get(), m_strVictim.c_str(), dwError)) << dwError;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlantedLink, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "symbolic" : "hard");
                         });

TEST_F(LocalFileTest, FreshFileReplacesAnOlderFileAndRefusesADirectory)
{
    WriteFileAt(m_strPath, "an older setup, longer than the new one");
    {
        const UniqueFile h = CreateFreshFile(m_strPath.c_str());
        ASSERT_TRUE(h);
        WriteAll(h.get(), "new");
    }
    EXPECT_EQ(ReadAll(m_strPath), "new");

    ASSERT_TRUE(::DeleteFileW(m_strPath.c_str()));
    ASSERT_TRUE(::CreateDirectoryW(m_strPath.c_str(), nullptr));
    EXPECT_FALSE(CreateFreshFile(m_strPath.c_str()));
    EXPECT_TRUE(::RemoveDirectoryW(m_strPath.c_str()));
}

// A file the holder deletes goes when the handle closes, by the handle, even
// though others were only allowed to read it.
TEST_F(LocalFileTest, DeleteThroughHandleRemovesTheHeldFile)
{
    WriteFileAt(m_strPath, "refused");
    DWORD dwError = 0;
    UniqueFile h = OpenEntryHeld(m_strPath.c_str(), dwError);
    ASSERT_TRUE(h);
    EXPECT_TRUE(IsPlainFile(h.get(), m_strPath.c_str(), dwError));
    EXPECT_TRUE(DeleteThroughHandle(h.get()));
    h.reset();
    EXPECT_EQ(::GetFileAttributesW(m_strPath.c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
