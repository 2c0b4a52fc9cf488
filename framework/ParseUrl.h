#pragma once
// AfxParseURL: splits a URL into what WinINet's InternetConnectW and
// HttpOpenRequestW take.

#include "framework/CString.h"

#include <windows.h>
#include <wininet.h>

// Service kinds beyond WinINet's own INTERNET_SERVICE_* values.
constexpr DWORD AFX_INET_SERVICE_UNK = 0x1000;
constexpr DWORD AFX_INET_SERVICE_HTTPS = 0x1005;

// Splits "scheme://[user[:password]@]host[:port][object]".
//   dwServiceType  INTERNET_SERVICE_HTTP for http, AFX_INET_SERVICE_HTTPS for
//                  https, INTERNET_SERVICE_FTP for ftp; AFX_INET_SERVICE_UNK when
//                  the scheme is unknown or missing
//   strServer      the host name (an IPv6 address keeps its brackets)
//   strObject      everything after the host and port, query included; "/" when
//                  the URL names nothing after the host
//   nPort          the URL's port, else the scheme's default (80 for http)
// White space at the end of the URL is dropped, unless the URL has a query part
// ("?"), whose text is kept exactly. Returns FALSE, leaving the outputs with
// whatever was split so far, for a URL it cannot split: null or empty, no known
// scheme, no host, or a port that is not a number from 1 to 65535.
BOOL AfxParseURL(const wchar_t* pstrURL, DWORD& dwServiceType, CString& strServer, CString& strObject,
                 INTERNET_PORT& nPort);
