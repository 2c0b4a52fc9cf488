#include "framework/ParseUrl.h"

#include <cwchar>
#include <cwctype>

namespace {

struct Scheme
{
    const wchar_t* name;
    DWORD dwService;
    INTERNET_PORT nDefaultPort;
};

constexpr Scheme kSchemes[] = {
    {L"http", INTERNET_SERVICE_HTTP, INTERNET_DEFAULT_HTTP_PORT},
    {L"https", AFX_INET_SERVICE_HTTPS, INTERNET_DEFAULT_HTTPS_PORT},
    {L"ftp", INTERNET_SERVICE_FTP, INTERNET_DEFAULT_FTP_PORT},
};

// The n characters at a against the whole of b, ignoring case.
bool EqualNoCase(const wchar_t* a, size_t n, const wchar_t* b)
{
    size_t i = 0;
    for (; i < n && b[i]; ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return i == n && b[i] == L'\0';
}

// The last ch in [pFirst, pLast), or null.
const wchar_t* FindLast(const wchar_t* pFirst, const wchar_t* pLast, wchar_t ch)
{
    while (pLast != pFirst) {
        if (*--pLast == ch)
            return pLast;
    }
    return nullptr;
}

} // namespace

BOOL AfxParseURL(const wchar_t* pstrURL, DWORD& dwServiceType, CString& strServer, CString& strObject,
                 INTERNET_PORT& nPort)
{
    dwServiceType = AFX_INET_SERVICE_UNK;
    strServer.Empty();
    strObject.Empty();
    if (!pstrURL)
        return FALSE;

    // The URL is read in place as [pstrURL, pEnd). Every mark searched for below
    // ("://", "/?#", "@", ":", "]") is no white space, so a search of the whole
    // text finds it inside that range or not at all.
    const wchar_t* pEnd = pstrURL + std::wcslen(pstrURL);
    if (!std::wcschr(pstrURL, L'?')) {
        while (pEnd != pstrURL && std::iswspace(pEnd[-1]))
            --pEnd;
    }

    const wchar_t* const pSchemeEnd = std::wcsstr(pstrURL, L"://");
    if (!pSchemeEnd || pSchemeEnd == pstrURL)
        return FALSE;
    const Scheme* pScheme = nullptr;
    for (const Scheme& s : kSchemes) {
        if (EqualNoCase(pstrURL, static_cast<size_t>(pSchemeEnd - pstrURL), s.name))
            pScheme = &s;
    }
    if (!pScheme)
        return FALSE;
    dwServiceType = pScheme->dwService;

    const wchar_t* pAuthority = pSchemeEnd + 3;
    const wchar_t* pAuthorityEnd = std::wcspbrk(pAuthority, L"/?#");
    if (!pAuthorityEnd)
        pAuthorityEnd = pEnd;
    if (const wchar_t* pAt = FindLast(pAuthority, pAuthorityEnd, L'@'))
        pAuthority = pAt + 1;

    // The port's colon is the last one, outside an IPv6 address's brackets.
    const wchar_t* pHostEnd = pAuthorityEnd;
    const wchar_t* pPort = pAuthorityEnd;
    const wchar_t* const pColon = FindLast(pAuthority, pAuthorityEnd, L':');
    const wchar_t* const pBracket = FindLast(pAuthority, pAuthorityEnd, L']');
    if (pColon && (!pBracket || pColon > pBracket)) {
        pHostEnd = pColon;
        pPort = pColon + 1;
    }
    if (pHostEnd == pAuthority)
        return FALSE;
    strServer = CString(pAuthority, static_cast<int>(pHostEnd - pAuthority));

    nPort = pScheme->nDefaultPort;
    if (pPort != pAuthorityEnd) {
        unsigned long value = 0;
        for (const wchar_t* p = pPort; p != pAuthorityEnd; ++p) {
            if (*p < L'0' || *p > L'9' || value > 65535)
                return FALSE;
            value = value * 10 + static_cast<unsigned long>(*p - L'0');
        }
        if (value == 0 || value > 65535)
            return FALSE;
        nPort = static_cast<INTERNET_PORT>(value);
    }

    const CString strRest(pAuthorityEnd, static_cast<int>(pEnd - pAuthorityEnd));
    strObject = pAuthorityEnd != pEnd && *pAuthorityEnd == L'/' ? strRest : CString(L'/') + strRest;
    return TRUE;
}
