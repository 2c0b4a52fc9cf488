#pragma once
// The connectivity probe: is the Internet reachable? CheckConnection runs on a
// short-lived thread of its own, one per attempt, and leaves its verdict in
// g_bInternetConnected.

#include <windows.h>
#include <wininet.h>

#include <atomic>

// The probe's verdict: 1 reachable, 0 not. Written by the probe thread (0 when
// it starts, the verdict when it ends) and read by the dialog's thread after its
// bounded wait, with no lock: one whole 32-bit word, read and written atomically.
extern std::atomic<BOOL> g_bInternetConnected;
static_assert(sizeof(BOOL) == 4, "the verdict is one 32-bit word");

// What the installer probes: the root of a site under a reserved name, which no
// real network answers; the test server stands in for it.
constexpr const wchar_t* PROBE_URL = L"http://www.quenlor-probe.example/";

// Thread routine. pParam: a NUL-terminated UTF-16 URL, which the probe copies
// right after its first log line; the caller's buffer must stay valid until
// then. Asks the system whether it is on line; only when it is not, fetches the
// URL itself (100 ms time-outs, one immediate second attempt), where any HTTP
// answer, whatever its status, counts as reachable. Returns 0 always.
DWORD WINAPI CheckConnection(LPVOID pParam);

// The platform calls of the probe whose outcomes a test cannot bring about with
// the real calls under Wine: InternetGetConnectedState answers from the
// machine's interfaces, so "connected, but the off-line bit set" never happens;
// InternetOpenW does not fail for want of a network; and InternetOpenUrlW
// cannot be made to fail once and then succeed, since Wine hands back a handle
// even for a connection closed without any response and does not enforce the
// time-outs. Tests point these at stand-ins (which may call the real ones)
// before they start a probe thread; the program never changes them.
struct ConnectionProbePlatform
{
    BOOL(WINAPI* pfnInternetGetConnectedState)(LPDWORD lpdwFlags, DWORD dwReserved);
    HINTERNET(WINAPI* pfnInternetOpenW)(LPCWSTR pszAgent, DWORD dwAccessType, LPCWSTR pszProxy,
                                        LPCWSTR pszProxyBypass, DWORD dwFlags);
    HINTERNET(WINAPI* pfnInternetOpenUrlW)(HINTERNET hInternet, LPCWSTR pszUrl, LPCWSTR pszHeaders,
                                           DWORD dwHeadersLength, DWORD dwFlags, DWORD_PTR dwContext);
};
extern ConnectionProbePlatform g_connectionProbePlatform;
