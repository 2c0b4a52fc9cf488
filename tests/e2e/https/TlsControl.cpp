// The unprotected control of the https scenarios: a WinINet client that asks
// for an https address the careless way, either waiving certificate errors or
// following redirects wherever they lead. What it fetches shows that the
// scenario's server, tunnel and file would deliver the setup, so only the
// installer's own checks stop it there.
//
//   tls_control.exe <url> ignore-certificate|follow-redirects
//   exit code 0 when a 200 body arrived; it prints "status <n> bytes <n> url <final>"

#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    const bool bIgnoreCertificate = std::wcscmp(argv[2], L"ignore-certificate") == 0;
    DWORD dwFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    if (bIgnoreCertificate)
        dwFlags |= INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
    else
        dwFlags |= INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;
    wchar_t szHost[256] = {};
    wchar_t szPath[1024] = {};
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = szHost;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = szPath;
    parts.dwUrlPathLength = 1024;
    if (!::InternetCrackUrlW(argv[1], 0, 0, &parts))
        return 2;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS)
        dwFlags |= INTERNET_FLAG_SECURE;
    HINTERNET hSession = ::InternetOpenW(L"TlsControl", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET hConnect =
        ::InternetConnectW(hSession, szHost, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET hUrl = ::HttpOpenRequestW(hConnect, nullptr, szPath, nullptr, nullptr, nullptr, dwFlags, 0);
    if (bIgnoreCertificate) {
        DWORD dwSecurity = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_REVOCATION;
        ::InternetSetOptionW(hUrl, INTERNET_OPTION_SECURITY_FLAGS, &dwSecurity, sizeof dwSecurity);
    }
    if (!hUrl || !::HttpSendRequestW(hUrl, nullptr, 0, nullptr, 0)) {
        std::printf("failed %lu\n", ::GetLastError());
        return 1;
    }
    DWORD dwStatus = 0;
    DWORD cb = sizeof dwStatus;
    ::HttpQueryInfoW(hUrl, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &dwStatus, &cb, nullptr);
    unsigned long long nBytes = 0;
    char buffer[4096];
    DWORD dwRead = 0;
    while (::InternetReadFile(hUrl, buffer, sizeof buffer, &dwRead) && dwRead)
        nBytes += dwRead;
    wchar_t szUrl[1024] = {};
    cb = sizeof szUrl;
    ::InternetQueryOptionW(hUrl, INTERNET_OPTION_URL, szUrl, &cb);
    std::printf("status %lu bytes %llu url %ls\n", dwStatus, nBytes, szUrl);
    ::InternetCloseHandle(hUrl);
    ::InternetCloseHandle(hConnect);
    ::InternetCloseHandle(hSession);
    return dwStatus == 200 && nBytes ? 0 : 1;
}
