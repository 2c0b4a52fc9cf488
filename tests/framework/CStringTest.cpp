#include "framework/CString.h"

#include <gtest/gtest.h>

namespace {

struct ReplaceCase {
    const wchar_t* text;
    const wchar_t* oldText;
    const wchar_t* newText;
    const wchar_t* expected;
    int count;
};

class CStringReplace : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(CStringReplace, ReplacesNonOverlappingLeftToRightWithoutRescan)
{
    const ReplaceCase& c = GetParam();
    CString s(c.text);
    EXPECT_EQ(c.count, s.Replace(c.oldText, c.newText));
    EXPECT_STREQ(c.expected, s);
}

INSTANTIATE_TEST_SUITE_P(Cases, CStringReplace, ::testing::Values(
    ReplaceCase{L"Downloading {0}...", L"{0}", L"Tavo_Real_Setup.exe", L"Downloading Tavo_Real_Setup.exe...", 1},
    ReplaceCase{L"aaa", L"aa", L"a", L"aa", 1},
    ReplaceCase{L"aaaa", L"aa", L"b", L"bb", 2},
    ReplaceCase{L"{0}{0}", L"{0}", L"<{0}>", L"<{0}><{0}>", 2},
    ReplaceCase{L"a#b#", L"#", L"\r\n", L"a\r\nb\r\n", 2},
    ReplaceCase{L"", L"#", L"\r\n", L"", 0},
    ReplaceCase{L"abc", L"", L"x", L"abc", 0},
    ReplaceCase{L"abc", L"b", L"", L"ac", 1}));

TEST(CString, TrimsOnlyTheGivenCharacterFromOneEnd)
{
    CString s(L"\\\\server\\share\\temp\\\\");
    s.TrimRight(L'\\');
    EXPECT_STREQ(L"\\\\server\\share\\temp", s);
    s.TrimLeft(L'\\');
    EXPECT_STREQ(L"server\\share\\temp", s);

    CString all(L"\\\\\\");
    all.TrimRight(L'\\');
    EXPECT_TRUE(all.IsEmpty());

    CString spaced(L" \t a b \r\n");
    spaced.Trim();
    EXPECT_STREQ(L"a b", spaced);
}

TEST(CString, ComparesExactlyAndIsAValue)
{
    CString a(L"CHttpClient");
    CString b = a;
    b += L"x";
    EXPECT_STREQ(L"CHttpClient", a);
    EXPECT_TRUE(a == L"CHttpClient");
    EXPECT_FALSE(a == L"chttpclient");
    EXPECT_NE(a, b);
    EXPECT_EQ(CString(L"a\0b", 3).GetLength(), 3);
}

TEST(CString, FormatsAndSlices)
{
    CString s;
    s.Format(L"%d%%", 42);
    EXPECT_STREQ(L"42%", s);
    s.Format(L"%s-%ls", L"x", L"y");
    EXPECT_STREQ(L"x-y", s);

    const CString path(L"C:\\dir\\file.exe");
    EXPECT_STREQ(L"file.exe", path.Mid(path.ReverseFind(L'\\') + 1));
    EXPECT_STREQ(L"C:", path.Left(2));
    EXPECT_STREQ(L"exe", path.Right(3));
    EXPECT_EQ(3, path.Find(L"dir"));
    EXPECT_EQ(-1, path.Find(L"nothing"));
}

TEST(CString, BufferRoundTrip)
{
    CString s;
    wchar_t* p = s.GetBuffer(10);
    wcscpy(p, L"abc");
    s.ReleaseBuffer();
    EXPECT_EQ(3, s.GetLength());
    EXPECT_STREQ(L"abc", s);
}

} // namespace
