#include "net/HttpRequest.h"

#include "framework/Afx.h"
#include "framework/ParseUrl.h"
#include "net/Diagnostics.h"

#include <climits>
#include <cwchar>
#include <utility>

static_assert(CHttpRequest::kFlags == 0x84400000, "GET without cache, on a kept connection");

namespace {

// The lowest status code an HTTP status line can carry.
constexpr LONG kFirstStatus = 100;

// 32 bytes: a status code or a length needs far fewer than 15 characters.
constexpr DWORD kQueryBufferChars = 16;

// One response value as text; FALSE when the response does not carry it or
// it does not fit.
template <DWORD N>
BOOL QueryText(HINTERNET hRequest, DWORD dwInfoLevel, wchar_t (&szValue)[N])
{
    szValue[0] = L'\0';
    DWORD cbValue = sizeof szValue;
    return ::HttpQueryInfoW(hRequest, dwInfoLevel, szValue, &cbValue, nullptr);
}

// A number: one or more decimal digits, nothing else, at most 2^64 - 1.
BOOL ParseDecimal(const wchar_t* psz, ULONGLONG& nValue)
{
    if (!*psz)
        return FALSE;
    ULONGLONG nParsed = 0;
    for (; *psz; ++psz) {
        if (*psz < L'0' || *psz > L'9')
            return FALSE;
        const unsigned nDigit = static_cast<unsigned>(*psz - L'0');
        // ULLONG_MAX = 10 * kMaxTenth + 5: the next digit fits exactly when the
        // value so far is below kMaxTenth, or equal to it and the digit at most 5.
        constexpr ULONGLONG kMaxTenth = ULLONG_MAX / 10;
        if (nParsed > kMaxTenth || (nParsed == kMaxTenth && nDigit > ULLONG_MAX % 10))
            return FALSE;
        nParsed = nParsed * 10 + nDigit;
    }
    nValue = nParsed;
    return TRUE;
}

// The status code; FALSE when the response carries none that is a number of
// decimal digits. A value beyond LONG_MAX reads as LONG_MAX.
BOOL QueryStatus(HINTERNET hRequest, LONG& nStatus)
{
    wchar_t szValue[kQueryBufferChars];
    ULONGLONG nValue = 0;
    if (!QueryText(hRequest, HTTP_QUERY_STATUS_CODE, szValue) || !ParseDecimal(szValue, nValue))
        return FALSE;
    nStatus = nValue > LONG_MAX ? LONG_MAX : static_cast<LONG>(nValue);
    return TRUE;
}

} // namespace

BOOL CHttpRequest::Open(const CString& strURL, DWORD dwSendDelayMs)
{
    Close();
    m_bAnswered = FALSE;
    m_nStatus = 0;

    DWORD dwService = 0;
    CString strServer;
    CString strObject;
    INTERNET_PORT nPort = INTERNET_DEFAULT_HTTP_PORT;
    if (!AfxParseURL(strURL, dwService, strServer, strObject, nPort)) {
        DebugLine(L"AfxParseURL error \r\n");
        return FALSE;
    }

    // An https address asks for TLS. WinINet then checks the server's
    // certificate and fails the send on any fault in it; no flag here waives
    // a check. Redirects are not followed at all, so none can lead from the
    // secure address to a plain one: a 3xx answer fails like any status but 200.
    DWORD dwFlags = kFlags;
    if (dwService == AFX_INET_SERVICE_HTTPS) {
        dwService = INTERNET_SERVICE_HTTP;
        dwFlags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT;
    }

    // Built in locals and kept only once the whole sequence has succeeded:
    // on any failure the holders close what was opened, newest first.
    UniqueHInternet hSession(::InternetOpenW(AfxGetAppName(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!hSession) {
        DebugLine(L"InternetOpen error \r\n");
        return FALSE;
    }
    UniqueHInternet hConnect(
        ::InternetConnectW(hSession.get(), strServer, nPort, nullptr, nullptr, dwService, 0, 0));
    if (!hConnect) {
        DebugLine(L"InternetConnect error \r\n");
        return FALSE;
    }
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    UniqueHInternet hRequest(
        ::HttpOpenRequestW(hConnect.get(), nullptr, strObject, nullptr, nullptr, acceptTypes, dwFlags, 0));
    if (!hRequest) {
        DebugLine(L"HttpOpenRequest error \r\n");
        return FALSE;
    }

    if (dwSendDelayMs)
        ::Sleep(dwSendDelayMs);
    // No Range header: a download always starts from the first byte.
    if (!::HttpSendRequestW(hRequest.get(), nullptr, 0, nullptr, 0)) {
        DebugLine(L"HttpSendRequest error ! \r\n");
        return FALSE;
    }

    // A status below 100 is no status line at all: when the server resets the
    // connection after the request went out, Wine's WinINet may report the
    // send as done and the status as "0", where Windows fails the send.
    LONG nStatus = 0;
    if (!QueryStatus(hRequest.get(), nStatus) || nStatus < kFirstStatus) {
        DebugLine(L"HttpQueryInfo Failed ! \r\n");
        return FALSE;
    }
    m_bAnswered = TRUE;
    m_nStatus = nStatus;
    if (nStatus == HTTP_STATUS_PROXY_AUTH_REQ || nStatus == HTTP_STATUS_DENIED) {
        // No credentials are offered and nothing is retried.
        DebugLine(L"HTTP_STATUS_PROXY_AUTH_REQ Failed ! \r\n");
        return FALSE;
    }
    if (nStatus != HTTP_STATUS_OK)
        return FALSE;

    m_hSession = std::move(hSession);
    m_hConnect = std::move(hConnect);
    m_hRequest = std::move(hRequest);
    return TRUE;
}

BOOL CHttpRequest::QueryContentLength(ULONGLONG& nLength) const
{
    // Room for any 64-bit number with leading zeros to spare; a longer text is
    // no length either way.
    wchar_t szLength[64];
    if (!m_hRequest || !QueryText(m_hRequest.get(), HTTP_QUERY_CONTENT_LENGTH, szLength) ||
        !ParseDecimal(szLength, nLength))
        return FALSE;
    DebugLineFormat(L"%I64u bytes \r\n", nLength);
    return TRUE;
}

BOOL CHttpRequest::Read(void* pBuffer, DWORD cbBuffer, DWORD& dwRead) const
{
    dwRead = 0;
    return ::InternetReadFile(m_hRequest.get(), pBuffer, cbBuffer, &dwRead);
}

void CHttpRequest::Close() noexcept
{
    m_hRequest.reset();
    m_hConnect.reset();
    m_hSession.reset();
}
