#include "text/LocalizedText.h"

#include "framework/Afx.h"
#include "res/resource.h"

namespace {

// The one table the download address is read from, whatever the user's language.
constexpr WORD DOWNLOAD_URL_LANGUAGE = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);

// An RT_STRING resource is a block of 16 texts: block n holds IDs (n - 1) * 16 to
// (n - 1) * 16 + 15, in order, each a length word followed by that many UTF-16
// code units, without terminator. A length of 0 is an absent text.
constexpr UINT STRINGS_PER_BLOCK = 16;

// Entry nIndex of a block of cchBlock code units. The block's contents are not
// trusted: a length that runs past the block's end ends the walk, so nothing
// beyond the block is ever read.
BOOL FindEntryInBlock(const WCHAR* pBlock, size_t cchBlock, UINT nIndex, const WCHAR*& pchText, size_t& cchText)
{
    size_t nPos = 0;
    for (UINT i = 0;; ++i) {
        if (nPos >= cchBlock)
            return FALSE;
        const size_t nLength = pBlock[nPos];
        if (nLength > cchBlock - nPos - 1)
            return FALSE;
        if (i == nIndex) {
            if (nLength == 0)
                return FALSE;
            pchText = pBlock + nPos + 1;
            cchText = nLength;
            return TRUE;
        }
        nPos += 1 + nLength;
    }
}

} // namespace

BOOL LoadStringByLang(WORD wLanguage, UINT nID, CString& strOut)
{
    // String IDs are 16-bit. Language 0 (neutral) would make FindResourceExW fall
    // back to whichever table it likes best, and the lookup is by exact language.
    if (nID > 0xFFFF || wLanguage == MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
        return FALSE;

    const HMODULE hModule = AfxGetResourceHandle();
    const UINT nBlock = nID / STRINGS_PER_BLOCK + 1;
    const HRSRC hResource = ::FindResourceExW(hModule, RT_STRING, MAKEINTRESOURCEW(nBlock), wLanguage);
    if (!hResource)
        return FALSE;
    // A loaded resource stays mapped with the module; there is nothing to free.
    const HGLOBAL hData = ::LoadResource(hModule, hResource);
    const void* pData = hData ? ::LockResource(hData) : nullptr;
    if (!pData)
        return FALSE;
    const size_t cchBlock = ::SizeofResource(hModule, hResource) / sizeof(WCHAR);

    const WCHAR* pchText = nullptr;
    size_t cchText = 0;
    if (!FindEntryInBlock(static_cast<const WCHAR*>(pData), cchBlock, nID % STRINGS_PER_BLOCK, pchText, cchText))
        return FALSE;
    strOut = CString(pchText, static_cast<int>(cchText));
    return TRUE;
}

WORD GetUserLanguage()
{
    // The thread locale is the user's default locale (the one chosen for formats,
    // not the display language); the program never changes it.
    return LANGIDFROMLCID(::GetThreadLocale());
}

CString GetLocalizedString(UINT nID)
{
    CString strText;
    LoadStringByLang(GetUserLanguage(), nID, strText);
    return strText;
}

BOOL IsRightToLeftLanguage(WORD wLanguage)
{
    // Exact identifiers, as the table lookup: another Arabic or Hebrew
    // sublanguage has no table, so its texts are empty either way.
    return wLanguage == MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_SAUDI_ARABIA) ||
           wLanguage == MAKELANGID(LANG_HEBREW, SUBLANG_DEFAULT);
}

CString GetDownloadURL()
{
    CString strURL;
    LoadStringByLang(DOWNLOAD_URL_LANGUAGE, IDS_DOWNLOAD_URL, strURL);
    return strURL;
}
