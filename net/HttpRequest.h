#pragma once
// One HTTP GET over WinINet (plain, or over TLS for an https address): the
// address parsed, a session, a
// connection and a request opened, the request sent after a short wait, and
// the status read. The downloader and the download benchmark both use it, so
// they ask WinINet for exactly the same thing.

#include "framework/CString.h"
#include "framework/Handles.h"

#include <windows.h>
#include <wininet.h>

class CHttpRequest
{
public:
    // The request's flags, in one place: a GET that neither reads nor writes
    // the cache, on a connection kept open. An https address adds
    // INTERNET_FLAG_SECURE and INTERNET_FLAG_NO_AUTO_REDIRECT, and nothing that
    // would let a certificate error pass.
    static constexpr DWORD kFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
    // 100 ms between opening and sending the request, as the downloader has
    // always waited.
    static constexpr DWORD kSendDelayMs = 100;

    CHttpRequest() = default;
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // Parse, session, connection, GET request, dwSendDelayMs wait, send,
    // status. TRUE with a 200 response open; otherwise nothing stays open
    // (a request opens fully or not at all), and Answered() says whether a
    // status came (a code of 100 or more), Status() which. Writes one diagnostic line per failed step.
    // Opening again closes what an earlier Open left open.
    BOOL Open(const CString& strURL, DWORD dwSendDelayMs = kSendDelayMs);
    BOOL Answered() const noexcept { return m_bAnswered; }
    LONG Status() const noexcept { return m_nStatus; }

    // The Content-Length header of the open response as an unsigned 64-bit
    // number. Only a text of decimal digits that fits 64 bits is a length:
    // FALSE, with nLength untouched, for a response without the header and for
    // any other text (empty, a sign, a suffix, beyond 2^64 - 1). The one place
    // the length is read.
    BOOL QueryContentLength(ULONGLONG& nLength) const;

    // Up to cbBuffer bytes of the body; dwRead 0 at its end. FALSE when
    // WinINet reports a failure.
    BOOL Read(void* pBuffer, DWORD cbBuffer, DWORD& dwRead) const;

    // Closes the request, then the connection, then the session. A body not
    // read is dropped.
    void Close() noexcept;
    BOOL IsOpen() const noexcept { return m_hRequest ? TRUE : FALSE; }

private:
    // Declared in opening order; Close releases them in reverse.
    UniqueHInternet m_hSession;
    UniqueHInternet m_hConnect;
    UniqueHInternet m_hRequest;
    BOOL m_bAnswered = FALSE;
    LONG m_nStatus = 0;
};
