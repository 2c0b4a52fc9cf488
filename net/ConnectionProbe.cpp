#include "net/ConnectionProbe.h"

#include "framework/CString.h"
#include "framework/Handles.h"
#include "net/Diagnostics.h"

std::atomic<BOOL> g_bInternetConnected{FALSE};
static_assert(std::atomic<BOOL>::is_always_lock_free, "the dialog reads the verdict without a lock");

ConnectionProbePlatform g_connectionProbePlatform = {&::InternetGetConnectedState, &::InternetOpenW,
                                                     &::InternetOpenUrlW};

namespace {

constexpr const wchar_t* kLogPrefix = L"CZULNotifyClientDlg::CheckConnection() - ";

void ProbeLog(const wchar_t* pszText)
{
    DebugLineFormat(L"%s%s", kLogPrefix, pszText);
}

// 100 ms each: the whole probe, at most two attempts, must answer well within
// the 5000 ms the dialog waits for it.
constexpr DWORD kTimeoutMs = 100;
constexpr DWORD kTimeoutOptions[] = {
    INTERNET_OPTION_CONNECT_TIMEOUT,      INTERNET_OPTION_RECEIVE_TIMEOUT,
    INTERNET_OPTION_SEND_TIMEOUT,         INTERNET_OPTION_DATA_SEND_TIMEOUT,
    INTERNET_OPTION_DATA_RECEIVE_TIMEOUT,
};

} // namespace

DWORD WINAPI CheckConnection(LPVOID pParam)
{
    g_bInternetConnected = FALSE;
    ProbeLog(L"start");

    const CString strURL(static_cast<const wchar_t*>(pParam));
    DebugLineFormat(L"CZULNotifyClientDlg::CheckConnection() -%s", strURL.GetString());

    DWORD dwFlags = 0;
    const BOOL bConnected = g_connectionProbePlatform.pfnInternetGetConnectedState(&dwFlags, 0);
    g_bInternetConnected = (bConnected && !(dwFlags & INTERNET_CONNECTION_OFFLINE)) ? TRUE : FALSE;
    if (dwFlags != 0xFFFFFFFF)
        DebugLineFormat(L"%s(InternetGetConnectedState) ConnectionType : %d", kLogPrefix, static_cast<int>(dwFlags));
    if (g_bInternetConnected) {
        ProbeLog(L"end InternetCheckConnection true");
        return 0;
    }

    UniqueHInternet hSession(g_connectionProbePlatform.pfnInternetOpenW(L"HTTPTEST", INTERNET_OPEN_TYPE_PRECONFIG,
                                                                        nullptr, nullptr, 0));
    ProbeLog(L"InternetOpen");
    if (!hSession) {
        ProbeLog(L"hInternet == NULL");
        g_bInternetConnected = FALSE;
        return 0;
    }

    // Set on the session, the time-outs hold for every request made from it.
    int nOption = 0;
    for (DWORD dwOption : kTimeoutOptions) {
        DWORD dwValue = kTimeoutMs;
        ::InternetSetOptionW(hSession.get(), dwOption, &dwValue, sizeof dwValue);
        DebugLineFormat(L"%sInternetSetOption %d", kLogPrefix, ++nOption);
    }

    // Bypasses any cache: only an answer from the site itself counts.
    const auto openUrl = [&] {
        return g_connectionProbePlatform.pfnInternetOpenUrlW(hSession.get(), strURL, nullptr, 0,
                                                             INTERNET_FLAG_RELOAD, 0);
    };
    UniqueHInternet hUrl(openUrl());
    ProbeLog(L"InternetOpenUrl");
    if (!hUrl) {
        ProbeLog(L"Try again");
        hUrl.reset(openUrl());
    }
    const bool bReached = static_cast<bool>(hUrl);
    hUrl.reset();
    hSession.reset();

    if (bReached) {
        ProbeLog(L"end - true");
        g_bInternetConnected = TRUE;
    } else {
        ProbeLog(L"end - false & url == NULL");
        g_bInternetConnected = FALSE;
    }
    return 0;
}
