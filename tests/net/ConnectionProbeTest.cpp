// The connectivity probe against the real WinINet and the local test server.
// Built twice: net_probe_test runs the ProbeOnline cases where Wine reports the
// machine as connected; net_probe_offline_test runs the ProbeOffline cases in a
// network namespace with loopback only, where Wine reports it off line and the
// probe fetches its URL through the test server as proxy.

#include "net/ConnectionProbe.h"

#include "framework/Handles.h"
#include "net/DebugOutputCapture.h"
#include "net/TestServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kPrefix = L"CZULNotifyClientDlg::CheckConnection() - ";

// Runs one probe on a thread of its own, as the dialog does, and returns the verdict.
BOOL RunProbe(const std::wstring& url)
{
    UniqueHandle thread(::CreateThread(nullptr, 0, &CheckConnection, const_cast<wchar_t*>(url.c_str()), 0, nullptr));
    EXPECT_TRUE(thread);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread.get(), 20000));
    DWORD exitCode = 1;
    ::GetExitCodeThread(thread.get(), &exitCode);
    EXPECT_EQ(0u, exitCode);
    return g_bInternetConnected.load();
}

// The lines of a probe that had to fetch its URL, from the session on.
std::vector<std::wstring> FetchLines(bool tryAgain, bool reached)
{
    std::vector<std::wstring> lines = {kPrefix + L"InternetOpen"};
    for (int i = 1; i <= 5; ++i)
        lines.push_back(kPrefix + L"InternetSetOption " + std::to_wstring(i));
    lines.push_back(kPrefix + L"InternetOpenUrl");
    if (tryAgain)
        lines.push_back(kPrefix + L"Try again");
    lines.push_back(kPrefix + (reached ? L"end - true" : L"end - false & url == NULL"));
    return lines;
}

// The platform's calls, put back after every test that replaces one.
class ProbeSeams : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = g_connectionProbePlatform;
        testserver::Reset();
    }
    void TearDown() override { g_connectionProbePlatform = m_saved; }

    ConnectionProbePlatform m_saved{};
    DebugOutputCapture m_log;
};

// ----- where Wine reports the machine as connected

using ProbeOnline = ProbeSeams;

TEST_F(ProbeOnline, ConnectedSystemSetsTheFlagWithoutAnyTraffic)
{
    g_bInternetConnected = FALSE;
    EXPECT_TRUE(RunProbe(PROBE_URL));

    const std::vector<std::wstring> lines = m_log.Lines();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(kPrefix + L"start", lines[0]);
    EXPECT_EQ(L"CZULNotifyClientDlg::CheckConnection() -http://www.quenlor-probe.example/", lines[1]);
    EXPECT_EQ(0u, lines[2].find(kPrefix + L"(InternetGetConnectedState) ConnectionType : ")) << lines[2];
    EXPECT_EQ(kPrefix + L"end InternetCheckConnection true", lines[3]);
    EXPECT_TRUE(testserver::Requests().empty());
}

// Stand-in: "connected" with the off-line bit (0x20) and the LAN bit set.
BOOL WINAPI ConnectedButOffline(LPDWORD flags, DWORD)
{
    *flags = INTERNET_CONNECTION_OFFLINE | INTERNET_CONNECTION_LAN;
    return TRUE;
}

TEST_F(ProbeOnline, OffLineBitMakesTheProbeFetchItsUrl)
{
    g_connectionProbePlatform.pfnInternetGetConnectedState = &ConnectedButOffline;
    EXPECT_TRUE(RunProbe(PROBE_URL));

    std::vector<std::wstring> expected = {
        kPrefix + L"start",
        L"CZULNotifyClientDlg::CheckConnection() -http://www.quenlor-probe.example/",
        kPrefix + L"(InternetGetConnectedState) ConnectionType : 34",
    };
    for (const std::wstring& line : FetchLines(false, true))
        expected.push_back(line);
    EXPECT_EQ(expected, m_log.Lines());

    const std::vector<testserver::RequestRecord> requests = testserver::Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET http://www.quenlor-probe.example:80/ HTTP/1.1", requests[0].requestLine);
    EXPECT_EQ("HTTPTEST", requests[0].Header("User-Agent"));
}

// Stand-in: the answer with no flags at all, which the probe does not log.
BOOL WINAPI NotConnectedNoFlags(LPDWORD flags, DWORD)
{
    *flags = 0xFFFFFFFF;
    return FALSE;
}

HINTERNET WINAPI SessionRefused(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD)
{
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(ProbeOnline, RefusedSessionTriesNoUrlAndClearsTheFlag)
{
    g_connectionProbePlatform.pfnInternetGetConnectedState = &NotConnectedNoFlags;
    g_connectionProbePlatform.pfnInternetOpenW = &SessionRefused;
    g_bInternetConnected = TRUE;
    EXPECT_FALSE(RunProbe(PROBE_URL));

    const std::vector<std::wstring> expected = {
        kPrefix + L"start",
        L"CZULNotifyClientDlg::CheckConnection() -http://www.quenlor-probe.example/",
        kPrefix + L"InternetOpen",
        kPrefix + L"hInternet == NULL",
    };
    EXPECT_EQ(expected, m_log.Lines());
    EXPECT_TRUE(testserver::Requests().empty());
}

BOOL g_flagSeenByTheSystemQuery = -1;
BOOL WINAPI RecordFlagThenSayOffline(LPDWORD flags, DWORD)
{
    g_flagSeenByTheSystemQuery = g_bInternetConnected.load();
    *flags = INTERNET_CONNECTION_OFFLINE;
    return FALSE;
}

TEST_F(ProbeOnline, FlagIsClearedWhileTheProbeRunsAndTheUrlIsCopied)
{
    g_connectionProbePlatform.pfnInternetGetConnectedState = &RecordFlagThenSayOffline;
    g_bInternetConnected = TRUE;
    std::wstring url = L"http://probe.test/t/404/";
    EXPECT_TRUE(RunProbe(url)) << "any HTTP answer counts, 404 too";
    EXPECT_FALSE(g_flagSeenByTheSystemQuery);
    ASSERT_EQ(1u, testserver::Requests().size());
    EXPECT_EQ("GET http://probe.test:80/t/404/ HTTP/1.1", testserver::Requests()[0].requestLine);
}

// ----- inside a network namespace with loopback only: Wine reports off line

using ProbeOffline = ProbeSeams;

struct OfflineCase
{
    const wchar_t* url;
    BOOL verdict;
};

TEST_F(ProbeOffline, FetchesItsUrlOnceAndCountsAnyAnswer)
{
    const OfflineCase cases[] = {
        {PROBE_URL, TRUE},
        {L"http://probe.test/t/404/", TRUE},
        {L"http://probe.test/t/500/", TRUE},
        {L"http://probe.test/t/407/", TRUE},
    };
    for (const OfflineCase& c : cases) {
        const std::wstring url = c.url;
        SCOPED_TRACE(std::string(url.begin(), url.end()));
        testserver::Reset();
        m_log.Clear();
        g_bInternetConnected = !c.verdict;

        EXPECT_EQ(c.verdict, RunProbe(url));

        const std::vector<std::wstring> lines = m_log.Lines();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(kPrefix + L"start", lines[0]);
        EXPECT_EQ(L"CZULNotifyClientDlg::CheckConnection() -" + url, lines[1]);
        EXPECT_EQ(0u, lines[2].find(kPrefix + L"(InternetGetConnectedState) ConnectionType : ")) << lines[2];
        EXPECT_EQ(FetchLines(false, c.verdict), std::vector<std::wstring>(lines.begin() + 3, lines.end()));

        const std::vector<testserver::RequestRecord> requests = testserver::Requests();
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ("HTTPTEST", requests[0].Header("User-Agent"));
    }
}

// Stand-in: the first attempt fails as an unreachable site does; later ones
// are the real call.
int g_urlAttempts = 0;
HINTERNET WINAPI FailFirstAttempt(HINTERNET hInternet, LPCWSTR url, LPCWSTR headers, DWORD headersLength,
                                  DWORD flags, DWORD_PTR context)
{
    if (++g_urlAttempts == 1) {
        ::SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return nullptr;
    }
    return ::InternetOpenUrlW(hInternet, url, headers, headersLength, flags, context);
}

// Stand-in: every attempt fails as an unreachable site does.
HINTERNET WINAPI FailEveryAttempt(HINTERNET, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD_PTR)
{
    ++g_urlAttempts;
    ::SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
    return nullptr;
}

TEST_F(ProbeOffline, FailedFirstAttemptIsRepeatedOnceAtOnce)
{
    struct Case
    {
        decltype(ConnectionProbePlatform::pfnInternetOpenUrlW) pfnOpenUrl;
        BOOL verdict;
        size_t requests;
    } cases[] = {
        {&FailFirstAttempt, TRUE, 1},
        {&FailEveryAttempt, FALSE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.verdict ? "second attempt succeeds" : "both attempts fail");
        testserver::Reset();
        m_log.Clear();
        g_urlAttempts = 0;
        g_bInternetConnected = !c.verdict;
        g_connectionProbePlatform.pfnInternetOpenUrlW = c.pfnOpenUrl;

        EXPECT_EQ(c.verdict, RunProbe(PROBE_URL));
        EXPECT_EQ(2, g_urlAttempts) << "exactly one more attempt";
        const std::vector<std::wstring> lines = m_log.Lines();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(FetchLines(true, c.verdict), std::vector<std::wstring>(lines.begin() + 3, lines.end()));
        EXPECT_EQ(c.requests, testserver::Requests().size());
    }
}

} // namespace
