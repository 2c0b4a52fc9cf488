#include "framework/CString.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

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

    // No terminator in the buffer: the length stops at the buffer's end.
    p = s.GetBuffer(4);
    wmemcpy(p, L"wxyz", 4);
    s.ReleaseBuffer();
    EXPECT_EQ(4, s.GetLength());
    EXPECT_STREQ(L"wxyz", s);
}

TEST(CString, ReplaceReadsTextsLyingInsideTheString)
{
    CString s(L"ab-ab");
    EXPECT_EQ(2, s.Replace(s.GetString() + 3, L"x"));
    EXPECT_STREQ(L"x-x", s);

    CString t(L"a-b");
    EXPECT_EQ(1, t.Replace(L"-", t.GetString()));
    EXPECT_STREQ(L"aa-bb", t);
}

// Counts and positions outside the text are cut to it, never read past it.
struct SliceCase {
    const char* name;
    wchar_t op; // 'L' Left(n), 'M' Mid(first, n), 'F' Mid(first), 'R' Right(n)
    int nFirst;
    int nCount;
    const wchar_t* expected; // of "abcdef"
};

void PrintTo(const SliceCase& c, std::ostream* os)
{
    *os << c.name;
}

class CStringSlice : public ::testing::TestWithParam<SliceCase> {};

TEST_P(CStringSlice, CutsToTheText)
{
    const SliceCase& c = GetParam();
    const CString s(L"abcdef");
    CString slice;
    switch (c.op) {
    case 'L': slice = s.Left(c.nCount); break;
    case 'M': slice = s.Mid(c.nFirst, c.nCount); break;
    case 'F': slice = s.Mid(c.nFirst); break;
    default: slice = s.Right(c.nCount); break;
    }
    EXPECT_STREQ(c.expected, slice);
    EXPECT_EQ(static_cast<int>(wcslen(c.expected)), slice.GetLength());
}

INSTANTIATE_TEST_SUITE_P(Cases, CStringSlice, ::testing::Values(
    SliceCase{"left_some", 'L', 0, 2, L"ab"},
    SliceCase{"left_all", 'L', 0, 6, L"abcdef"},
    SliceCase{"left_more", 'L', 0, 99, L"abcdef"},
    SliceCase{"left_none", 'L', 0, 0, L""},
    SliceCase{"left_negative", 'L', 0, -3, L""},
    SliceCase{"mid_inside", 'M', 2, 3, L"cde"},
    SliceCase{"mid_past_the_end", 'M', 4, 99, L"ef"},
    SliceCase{"mid_first_negative", 'M', -2, 2, L"ab"},
    SliceCase{"mid_first_at_end", 'M', 6, 1, L""},
    SliceCase{"mid_first_beyond", 'M', 99, 1, L""},
    SliceCase{"mid_count_negative", 'M', 1, -1, L""},
    SliceCase{"mid_to_end", 'F', 3, 0, L"def"},
    SliceCase{"mid_to_end_beyond", 'F', 7, 0, L""},
    SliceCase{"right_some", 'R', 0, 3, L"def"},
    SliceCase{"right_more", 'R', 0, 99, L"abcdef"},
    SliceCase{"right_none", 'R', 0, 0, L""},
    SliceCase{"right_negative", 'R', 0, -1, L""}),
    [](const ::testing::TestParamInfo<SliceCase>& info) { return std::string(info.param.name); });

} // namespace
