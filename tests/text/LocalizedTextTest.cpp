#include "text/LocalizedText.h"

#include "DownloadUrl.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <ostream>
#include <vector>

// Failure messages show texts as text, not as bytes.
void PrintTo(const CString& str, std::ostream* os)
{
    *os << ::testing::PrintToString(str.str());
}

namespace {

constexpr WORD ENGLISH_US = 0x0409;
constexpr WORD ENGLISH_UK = 0x0809;
constexpr WORD KOREAN = 0x0412;
constexpr WORD GERMAN_SWISS = 0x0807;  // German has a table; this sublanguage has none
constexpr WORD ICELANDIC = 0x040F;     // holds only the malformed blocks of MalformedStrings.rc

// Every language the installer carries texts for.
const WORD ALL_LANGUAGES[] = {
    0x0401, 0x0402, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040B, 0x040C,
    0x040D, 0x040E, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0418,
    0x0419, 0x041A, 0x041B, 0x041D, 0x041E, 0x041F, 0x0421, 0x0422, 0x0425, 0x0426,
    0x0427, 0x042A, 0x043E, 0x0804, 0x0809, 0x080A, 0x0816, 0x0C04, 0x0C0A, 0x0C0C,
};

struct IdText
{
    UINT nID;
    const wchar_t* pszText;
};

const IdText ENGLISH_TEXTS[] = {
    {IDS_TITLE, L"Downloading Setup file"},
    {IDS_DESCRIPTION, L"Quenlor Tavo Setup file is being downloaded. Wait a minute."},
    {IDS_FILE_STATUS, L"Downloading {0}..."},
    {IDS_CANCEL, L"Cancel"},
    {IDS_CONFIRM_EXIT, L"Setup is not complete. Are you sure you want to exit setup?"},
    {IDS_NOT_CONNECTED, L"You are not connected to the Internet. Installation cannot proceed. "
                        L"Please check the Internet connection and try again."},
    {IDS_CONNECTION_DISRUPTED, L"Connection disrupted. Transfer cancelled."},
    {IDS_SETUP_NOT_VERIFIED, L"The downloaded setup file could not be verified, so it was not started and has been "
                             L"deleted. Please try again later."},
};

const IdText KOREAN_TEXTS[] = {
    {IDS_TITLE, L"설치 파일 다운로드 중"},
    {IDS_DESCRIPTION, L"Quenlor Tavo 설치 파일을 다운로드 중 입니다. 잠시만 기다려 주십시오."},
    {IDS_FILE_STATUS, L"{0} 다운로드 중..."},
    {IDS_CANCEL, L"취소"},
    {IDS_CONFIRM_EXIT, L"설치가 완료되지 않았습니다. 취소하시겠습니까?"},
    {IDS_NOT_CONNECTED, L"인터넷이 연결되어 있지 않아 설치를 계속할 수 없습니다.#인터넷 연결 후 다시 시도해 주십시오."},
    {IDS_CONNECTION_DISRUPTED, L"연결이 해제되어 전송이 중단되었습니다."},
    {IDS_SETUP_NOT_VERIFIED, L"다운로드한 설치 파일을 확인할 수 없어 실행하지 않고 삭제했습니다. 나중에 다시 시도해 주십시오."},
};

// The texts every language shows (the address, 136, is not shown).
const UINT SHOWN_TEXTS[] = {IDS_TITLE,         IDS_DESCRIPTION,          IDS_FILE_STATUS,       IDS_CANCEL,
                            IDS_CONFIRM_EXIT,  IDS_NOT_CONNECTED,        IDS_CONNECTION_DISRUPTED,
                            IDS_SETUP_NOT_VERIFIED};

// Translations whose exact wording matters beyond the table's shape.
const struct {
    WORD wLanguage;
    UINT nID;
    const wchar_t* pszText;
    const char* pszWhy;
} EXACT_TRANSLATIONS[] = {
    {0x040C, IDS_CONFIRM_EXIT,
     L"L'installation n'est pas termin\u00E9e. Voulez-vous vraiment quitter l'installation\u00A0?",
     "French (France): a no-break space before the question mark, which never wraps alone"},
    {0x041F, IDS_NOT_CONNECTED,
     L"\u0130nternet'e ba\u011Fl\u0131 de\u011Filsiniz. Kurulum devam edemiyor. "
     L"L\u00FCtfen \u0130nternet ba\u011Flant\u0131n\u0131z\u0131 denetleyip yeniden deneyin.",
     "Turkish: one spelling of \"\u0130nternet\" as a proper noun throughout"},
};

// A character of the Hebrew or Arabic scripts (their blocks and presentation forms).
bool IsRightToLeftChar(wchar_t ch)
{
    return (ch >= 0x0590 && ch <= 0x08FF) || (ch >= 0xFB1D && ch <= 0xFDFF) || (ch >= 0xFE70 && ch <= 0xFEFF);
}

bool HoldsRightToLeftChar(const CString& str)
{
    for (int i = 0; i < str.GetLength(); ++i)
        if (IsRightToLeftChar(str[i]))
            return true;
    return false;
}

const wchar_t* EnglishText(UINT nID)
{
    for (const IdText& text : ENGLISH_TEXTS)
        if (text.nID == nID)
            return text.pszText;
    return nullptr;
}

bool IsEnglish(WORD wLanguage)
{
    return wLanguage == ENGLISH_US || wLanguage == ENGLISH_UK;
}

// Estonian, Latvian, Lithuanian and Spanish (Mexico) ask the exit question in English.
bool KeepsEnglishExitQuestion(WORD wLanguage)
{
    return wLanguage == 0x0425 || wLanguage == 0x0426 || wLanguage == 0x0427 || wLanguage == 0x080A;
}

int CountOf(const CString& str, const wchar_t* pszSub)
{
    int nCount = 0;
    for (int nPos = str.Find(pszSub); nPos >= 0; nPos = str.Find(pszSub, nPos + 1))
        ++nCount;
    return nCount;
}

CString Lookup(WORD wLanguage, UINT nID)
{
    CString str;
    LoadStringByLang(wLanguage, nID, str);
    return str;
}

// GetLocalizedString follows the thread locale; a test sets it and puts it back.
class ThreadLocale
{
public:
    explicit ThreadLocale(WORD wLanguage) : m_lcidSaved(::GetThreadLocale())
    {
        EXPECT_TRUE(::SetThreadLocale(MAKELCID(wLanguage, SORT_DEFAULT)));
        EXPECT_EQ(wLanguage, LANGIDFROMLCID(::GetThreadLocale()));
    }
    ~ThreadLocale() { ::SetThreadLocale(m_lcidSaved); }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    LCID m_lcidSaved;
};

// --- The table as compiled into the program ---------------------------------------

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD wLanguage, LONG_PTR lParam)
{
    reinterpret_cast<std::vector<WORD>*>(lParam)->push_back(wLanguage);
    return TRUE;
}

TEST(StringTable, HoldsExactlyTheFortyLanguages)
{
    // A wrong sublanguage would add a table nobody looks up and lose a real one.
    std::vector<WORD> languages;
    ASSERT_TRUE(::EnumResourceLanguagesW(::GetModuleHandleW(nullptr), RT_STRING,
                                         MAKEINTRESOURCEW(IDS_TITLE / 16 + 1), CollectLanguage,
                                         reinterpret_cast<LONG_PTR>(&languages)));
    std::sort(languages.begin(), languages.end());
    const std::vector<WORD> expected(std::begin(ALL_LANGUAGES), std::end(ALL_LANGUAGES));
    EXPECT_EQ(expected, languages);
}

class EveryLanguage : public ::testing::TestWithParam<WORD>
{
};

TEST_P(EveryLanguage, CarriesItsTextsInTheFixedShape)
{
    const WORD wLanguage = GetParam();
    for (UINT nID : SHOWN_TEXTS) {
        SCOPED_TRACE(nID);
        const CString strText = Lookup(wLanguage, nID);
        ASSERT_FALSE(strText.IsEmpty());
        // Exactly the stored code units: no terminator or other NUL taken along.
        EXPECT_EQ(std::wcslen(strText), static_cast<size_t>(strText.GetLength()));
        EXPECT_NE(L' ', strText[strText.GetLength() - 1]);
        // Only Korean breaks text 134 into lines.
        EXPECT_EQ(wLanguage == KOREAN && nID == IDS_NOT_CONNECTED ? 1 : 0, CountOf(strText, L"#"));
    }
    // The file line takes the file name in the one place the language puts it.
    CString strStatus = Lookup(wLanguage, IDS_FILE_STATUS);
    EXPECT_EQ(1, strStatus.Replace(L"{0}", L"Tavo_Real_Setup.exe"));
    EXPECT_EQ(1, CountOf(strStatus, L"Tavo_Real_Setup.exe"));
    EXPECT_EQ(0, CountOf(strStatus, L"{"));

    if (wLanguage != KOREAN) {
        EXPECT_EQ(EnglishText(IDS_TITLE), Lookup(wLanguage, IDS_TITLE));
        EXPECT_EQ(EnglishText(IDS_DESCRIPTION), Lookup(wLanguage, IDS_DESCRIPTION));
    }
    // The other texts are translated, except where a language keeps the English.
    for (UINT nID : SHOWN_TEXTS) {
        if (nID == IDS_TITLE || nID == IDS_DESCRIPTION)
            continue;
        SCOPED_TRACE(nID);
        const bool bEnglish = IsEnglish(wLanguage) || (nID == IDS_CONFIRM_EXIT && KeepsEnglishExitQuestion(wLanguage));
        EXPECT_EQ(bEnglish, Lookup(wLanguage, nID) == EnglishText(nID));
    }

    CString strURL = L"untouched";
    if (wLanguage == KOREAN) {
        EXPECT_FALSE(LoadStringByLang(wLanguage, IDS_DOWNLOAD_URL, strURL));
    } else {
        ASSERT_TRUE(LoadStringByLang(wLanguage, IDS_DOWNLOAD_URL, strURL));
        EXPECT_EQ(wLanguage == ENGLISH_US ? QUILMER_DOWNLOAD_URL_US : QUILMER_DOWNLOAD_URL, strURL);
    }

    // Nothing else of the block is filled.
    for (UINT nID : {128u, 138u, 143u}) {
        CString strText = L"untouched";
        EXPECT_FALSE(LoadStringByLang(wLanguage, nID, strText)) << nID;
    }
}

// The reading order follows the table's script: right to left exactly where
// the translated texts are Hebrew or Arabic, while the English title and
// description of those tables stay left to right.
TEST_P(EveryLanguage, ReadsRightToLeftExactlyWhereItsTranslationsDo)
{
    const WORD wLanguage = GetParam();
    for (UINT nID : SHOWN_TEXTS) {
        if (nID == IDS_TITLE || nID == IDS_DESCRIPTION || (nID == IDS_CONFIRM_EXIT && KeepsEnglishExitQuestion(wLanguage)))
            continue;
        EXPECT_EQ(IsRightToLeftLanguage(wLanguage) != FALSE, HoldsRightToLeftChar(Lookup(wLanguage, nID))) << nID;
    }
    for (UINT nID : {IDS_TITLE, IDS_DESCRIPTION})
        EXPECT_FALSE(HoldsRightToLeftChar(Lookup(wLanguage, nID))) << nID;
}

INSTANTIATE_TEST_SUITE_P(StringTable, EveryLanguage, ::testing::ValuesIn(ALL_LANGUAGES),
                         [](const ::testing::TestParamInfo<WORD>& info) {
                             char szName[16];
                             std::snprintf(szName, sizeof szName, "lang_%04X", info.param);
                             return std::string(szName);
                         });

TEST(StringTable, EnglishWordingIsExact)
{
    for (WORD wLanguage : {ENGLISH_US, ENGLISH_UK})
        for (const IdText& text : ENGLISH_TEXTS)
            EXPECT_EQ(text.pszText, Lookup(wLanguage, text.nID)) << std::hex << wLanguage << " " << std::dec << text.nID;
}

TEST(StringTable, KoreanWordingIsExact)
{
    for (const IdText& text : KOREAN_TEXTS)
        EXPECT_EQ(text.pszText, Lookup(KOREAN, text.nID)) << text.nID;
}

TEST(StringTable, TranslationsOfNoteAreExact)
{
    for (const auto& c : EXACT_TRANSLATIONS)
        EXPECT_EQ(c.pszText, Lookup(c.wLanguage, c.nID)) << c.pszWhy;
}

// --- Looking a text up -------------------------------------------------------------

TEST(LoadStringByLang, LeavesTheStringAloneWhenThereIsNoText)
{
    const struct {
        WORD wLanguage;
        UINT nID;
        const char* pszWhy;
    } cases[] = {
        {GERMAN_SWISS, IDS_TITLE, "no table in that language (though German has one)"},
        {KOREAN, IDS_DOWNLOAD_URL, "empty entry in a present block"},
        {ENGLISH_US, 138, "empty entry after the last text"},
        {ENGLISH_US, 5000, "no block for the ID in any language"},
        {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), IDS_TITLE, "neutral language is not a wildcard"},
        {ENGLISH_US, 0x10000 + IDS_TITLE, "IDs are 16-bit"},
    };
    for (const auto& c : cases) {
        CString str = L"untouched";
        EXPECT_FALSE(LoadStringByLang(c.wLanguage, c.nID, str)) << c.pszWhy;
        EXPECT_EQ(L"untouched", str) << c.pszWhy;
    }
}

TEST(LoadStringByLang, NeverReadsPastTheEndOfABrokenBlock)
{
    // The blocks of MalformedStrings.rc, block n holding IDs (n - 1) * 16 and up.
    const UINT FIRST_ID = (4001 - 1) * 16;
    const struct {
        UINT nID;
        const wchar_t* pszText;  // null: no text
        const char* pszWhy;
    } cases[] = {
        {FIRST_ID + 0, L"A", "a good entry before the end"},
        {FIRST_ID + 1, nullptr, "an empty entry"},
        {FIRST_ID + 2, nullptr, "the walk reaches the end"},
        {FIRST_ID + 15, nullptr, "the walk reaches the end long before the entry"},
        {FIRST_ID + 16, L"AB", "a good entry before a bad one"},
        {FIRST_ID + 17, nullptr, "an entry whose length runs past the end"},
        {FIRST_ID + 18, nullptr, "an entry after one that runs past the end"},
        {FIRST_ID + 32, nullptr, "the first length runs far past the end"},
        {FIRST_ID + 33, nullptr, "an entry after a first length far past the end"},
        {FIRST_ID + 48, L"Z", "a good entry before an odd byte"},
        {FIRST_ID + 49, nullptr, "one byte is no length word"},
        {FIRST_ID + 64, L"abc", "an entry that ends exactly at the block's end"},
        {FIRST_ID + 65, nullptr, "the walk ends exactly at the block's end"},
    };
    for (const auto& c : cases) {
        CString str = L"untouched";
        EXPECT_EQ(c.pszText ? TRUE : FALSE, LoadStringByLang(ICELANDIC, c.nID, str)) << c.pszWhy;
        EXPECT_EQ(c.pszText ? c.pszText : L"untouched", str) << c.pszWhy;
    }
}

TEST(GetLocalizedString, FollowsTheThreadLocaleAndNothingElse)
{
    for (WORD wLanguage : ALL_LANGUAGES) {
        ThreadLocale locale(wLanguage);
        for (UINT nID = IDS_TITLE; nID <= IDS_DOWNLOAD_URL; ++nID)
            EXPECT_EQ(Lookup(wLanguage, nID), GetLocalizedString(nID)) << std::hex << wLanguage << " " << std::dec << nID;
    }
}

TEST(GetLocalizedString, EnglishUserSeesEnglishAndDownloadsFromTheUkAddress)
{
    ThreadLocale locale(ENGLISH_US);
    for (const IdText& text : ENGLISH_TEXTS)
        EXPECT_EQ(text.pszText, GetLocalizedString(text.nID)) << text.nID;

    CString strStatus = GetLocalizedString(IDS_FILE_STATUS);
    EXPECT_EQ(1, strStatus.Replace(L"{0}", L"Tavo_Real_Setup.exe"));
    EXPECT_EQ(L"Downloading Tavo_Real_Setup.exe...", strStatus);

    EXPECT_EQ(QUILMER_DOWNLOAD_URL_US, GetLocalizedString(IDS_DOWNLOAD_URL));
    EXPECT_EQ(QUILMER_DOWNLOAD_URL, GetDownloadURL());
}

TEST(GetLocalizedString, KoreanUserSeesKoreanWithATwoLineNotice)
{
    ThreadLocale locale(KOREAN);
    EXPECT_EQ(L"설치 파일 다운로드 중", GetLocalizedString(IDS_TITLE));

    CString strNotice = GetLocalizedString(IDS_NOT_CONNECTED);
    EXPECT_EQ(1, strNotice.Replace(L"#", L"\r\n"));
    EXPECT_EQ(L"인터넷이 연결되어 있지 않아 설치를 계속할 수 없습니다.\r\n인터넷 연결 후 다시 시도해 주십시오.", strNotice);

    EXPECT_TRUE(GetLocalizedString(IDS_DOWNLOAD_URL).IsEmpty());
    EXPECT_EQ(QUILMER_DOWNLOAD_URL, GetDownloadURL());
}

TEST(GetLocalizedString, UnknownLanguageGetsEmptyTextsButTheAddressIsFound)
{
    ThreadLocale locale(GERMAN_SWISS);
    for (UINT nID = 128; nID <= 143; ++nID)
        EXPECT_TRUE(GetLocalizedString(nID).IsEmpty()) << nID;
    EXPECT_EQ(QUILMER_DOWNLOAD_URL, GetDownloadURL());
}

// The reading order is decided from the very language that picks the texts.
TEST(IsRightToLeftLanguage, FollowsTheUserLanguage)
{
    const struct {
        WORD wLanguage;
        BOOL bRightToLeft;
        const char* pszWhy;
    } cases[] = {
        {0x0401, TRUE, "Arabic (Saudi Arabia)"},
        {0x040D, TRUE, "Hebrew"},
        {ENGLISH_US, FALSE, "English"},
        {KOREAN, FALSE, "Korean"},
        {0x0C01, FALSE, "Arabic (Egypt): no table, empty texts"},
        {GERMAN_SWISS, FALSE, "no table"},
    };
    for (const auto& c : cases) {
        ThreadLocale locale(c.wLanguage);
        EXPECT_EQ(c.wLanguage, GetUserLanguage()) << c.pszWhy;
        EXPECT_EQ(c.bRightToLeft, IsRightToLeftLanguage(GetUserLanguage())) << c.pszWhy;
    }
}

TEST(GetDownloadURL, IsTheUkTextWithItsSingleTrailingSpace)
{
    for (WORD wLanguage : {ENGLISH_US, KOREAN, GERMAN_SWISS, ENGLISH_UK}) {
        ThreadLocale locale(wLanguage);
        const CString strURL = GetDownloadURL();
        EXPECT_EQ(Lookup(ENGLISH_UK, IDS_DOWNLOAD_URL), strURL);
        ASSERT_GE(strURL.GetLength(), 2);
        EXPECT_EQ(L' ', strURL[strURL.GetLength() - 1]);
        EXPECT_NE(L' ', strURL[strURL.GetLength() - 2]);
    }
}

} // namespace
