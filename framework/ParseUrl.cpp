#include "framework/ParseUrl.h"

#include <cwctype>
#include <string>

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

bool EqualNoCase(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return i == a.size() && b[i] == L'\0';
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

    std::wstring url(pstrURL);
    if (url.find(L'?') == std::wstring::npos) {
        while (!url.empty() && std::iswspace(url.back()))
            url.pop_back();
    }

    const size_t schemeEnd = url.find(L"://");
    if (schemeEnd == std::wstring::npos || schemeEnd == 0)
        return FALSE;
    const std::wstring scheme = url.substr(0, schemeEnd);
    const Scheme* pScheme = nullptr;
    for (const Scheme& s : kSchemes) {
        if (EqualNoCase(scheme, s.name))
            pScheme = &s;
    }
    if (!pScheme)
        return FALSE;
    dwServiceType = pScheme->dwService;

    const size_t authorityStart = schemeEnd + 3;
    size_t authorityEnd = url.find_first_of(L"/?#", authorityStart);
    if (authorityEnd == std::wstring::npos)
        authorityEnd = url.size();
    std::wstring authority = url.substr(authorityStart, authorityEnd - authorityStart);
    const size_t at = authority.rfind(L'@');
    if (at != std::wstring::npos)
        authority.erase(0, at + 1);

    // The port's colon is the last one, outside an IPv6 address's brackets.
    std::wstring host = authority;
    std::wstring port;
    const size_t colon = authority.rfind(L':');
    const size_t bracket = authority.rfind(L']');
    if (colon != std::wstring::npos && (bracket == std::wstring::npos || colon > bracket)) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty())
        return FALSE;
    strServer = CString(host);

    nPort = pScheme->nDefaultPort;
    if (!port.empty()) {
        unsigned long value = 0;
        for (wchar_t ch : port) {
            if (ch < L'0' || ch > L'9' || value > 65535)
                return FALSE;
            value = value * 10 + static_cast<unsigned long>(ch - L'0');
        }
        if (value == 0 || value > 65535)
            return FALSE;
        nPort = static_cast<INTERNET_PORT>(value);
    }

    std::wstring object = url.substr(authorityEnd);
    if (object.empty() || object[0] != L'/')
        object.insert(0, 1, L'/');
    strObject = CString(object);
    return TRUE;
}
