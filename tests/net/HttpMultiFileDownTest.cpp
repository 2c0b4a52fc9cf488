// The downloader against the real WinINet, the local test server and two real
// windows on a thread of their own (tests/net/MessageSink.h).

#include "net/HttpMultiFileDown.h"

#include "framework/Afx.h"
#include "net/DebugOutputCapture.h"
#include "net/MessageSink.h"
#include "net/TestServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Summary = std::vector<std::string>;

// The downloader with the thread state a test needs to see.
class TestDownloader : public CHttpMultiFileDown
{
public:
    using CThread::IsThreadActive;
    int RunState() const { return m_nRunState; }
};

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

class Downloader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
        m_dir = std::wstring(temp) + L"quilmer-down-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++s_nFixture);
        // Wine reuses process ids, and a worker ended by force keeps its file
        // open past TearDown: an earlier run may have left this folder behind.
        RemoveDir();
        ASSERT_TRUE(::CreateDirectoryW(m_dir.c_str(), nullptr));
        testserver::Reset();
    }
    void TearDown() override { RemoveDir(); }

    void RemoveDir() const
    {
        WIN32_FIND_DATAW fd;
        UniqueFindHandle find(::FindFirstFileW((m_dir + L"\\*").c_str(), &fd));
        if (find) {
            do {
                ::DeleteFileW((m_dir + L"\\" + fd.cFileName).c_str());
            } while (::FindNextFileW(find.get(), &fd));
        }
        find.reset();
        ::RemoveDirectoryW(m_dir.c_str());
    }

    std::wstring Path(const wchar_t* name) const { return m_dir + L"\\" + name; }

    static bool Exists(const std::wstring& path)
    {
        return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    static std::string ReadAll(const std::wstring& path)
    {
        std::ifstream in(Narrow(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The file holds exactly the server's pattern, nBytes long.
    static void ExpectPattern(const std::wstring& path, size_t nBytes)
    {
        const std::string data = ReadAll(path);
        ASSERT_EQ(nBytes, data.size());
        for (size_t i = 0; i < data.size(); ++i) {
            if (static_cast<unsigned char>(data[i]) != testserver::PatternByte(i)) {
                ADD_FAILURE() << "byte " << i << " differs";
                return;
            }
        }
    }

    // Queues one binary job for the sink's windows, starts the worker and waits
    // for the message that ends the run.
    void RunOne(const std::wstring& url, const std::wstring& path, int nKind = DOWN_TYPE_BINARY)
    {
        m_down.AddDownFile(url.c_str(), path.c_str(), nKind, m_sink.Progress(), m_sink.Notify());
        StartAndWait();
    }
    void StartAndWait()
    {
        m_down.Start();
        ASSERT_TRUE(m_sink.WaitForEnd(30000)) << "no message ended the run";
    }

    // Progress pairs are PBM_SETPOS then WM_DOWNLOAD_PROGRESS with the same,
    // never decreasing percentage; returns the percentages.
    static std::vector<int> ProgressPairs(const Summary& s, size_t first, size_t end)
    {
        std::vector<int> percent;
        EXPECT_EQ(0u, (end - first) % 2);
        for (size_t i = first; i + 1 < end; i += 2) {
            EXPECT_EQ(0u, s[i].rfind("pos ", 0)) << s[i];
            const int value = std::stoi(s[i].substr(4));
            EXPECT_EQ("progress " + std::to_string(value), s[i + 1]);
            if (!percent.empty()) {
                EXPECT_LE(percent.back(), value);
            }
            percent.push_back(value);
        }
        return percent;
    }

    // A failed job ends the worker; the cancel flag is cleared just before.
    static void WaitForWorkerEnd(TestDownloader& down)
    {
        for (int i = 0; i < 500 && down.IsThreadActive(); ++i)
            ::Sleep(10);
        EXPECT_FALSE(down.IsThreadActive()) << "a failed job ends the worker";
    }

    // Fetches a 40 KB body that arrives in 1 KB pieces into path; the window's
    // thread sets the pause flag when it handles progress message nth, as the
    // dialog does when its Cancel button is pressed. Returns once paused.
    void StartAndPauseAt(int nth, const std::wstring& path)
    {
        m_hPaused.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_sink.onMessage = [this, nth](const RecordedMessage& m) {
            if (m.message == WM_DOWNLOAD_PROGRESS && ++m_progressCount == nth) {
                m_down.m_bPause = TRUE;
                ::SetEvent(m_hPaused.get());
            }
        };
        m_down.AddDownFile(L"http://d.example/t/drip/40960/2/paused.exe", path.c_str(), DOWN_TYPE_BINARY,
                           m_sink.Progress(), m_sink.Notify());
        m_down.Start();
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_hPaused.get(), 30000));
    }

    bool LogHas(const std::wstring& line) const
    {
        for (const std::wstring& l : m_log.Lines()) {
            if (l == line)
                return true;
        }
        return false;
    }

    static int s_nFixture;
    std::atomic<int> m_progressCount{0};
    UniqueHandle m_hPaused;
    std::wstring m_dir;
    DebugOutputCapture m_log;
    MessageSink m_sink;
    TestDownloader m_down; // destroyed first: its worker may still send to the sink
};

int Downloader::s_nFixture = 0;

const std::wstring kDone = L"HTTPDown2 \uB2E4\uC6B4\uB85C\uB4DC \uC644\uB8CC\uB428";

// ----- the objects

TEST_F(Downloader, FreshObjectAndJobList)
{
    EXPECT_STREQ("CHttpMultiFileDown", m_down.GetRuntimeClass()->m_lpszClassName);
    EXPECT_TRUE(m_down.IsKindOf(RUNTIME_CLASS(CThread)));
    EXPECT_EQ(0, m_down.m_nHttpStatus);
    EXPECT_FALSE(m_down.m_bCancel);
    EXPECT_FALSE(m_down.m_bPause);
    EXPECT_EQ(DOWN_TYPE_BINARY, m_down.m_nDownType);
    EXPECT_EQ(0u, m_down.m_nReceivedBytes);
    EXPECT_EQ(nullptr, m_down.m_pfnOnComplete);

    m_down.CancelDownload();
    EXPECT_TRUE(m_down.m_bCancel) << "an empty list only sets the flag";
    EXPECT_EQ(0, m_down.GetJobCount());

    const HWND other = reinterpret_cast<HWND>(0x1234);
    m_down.AddDownFile(L"http://a.example/1", L"C:\\1", DOWN_TYPE_XML, other, other);
    m_down.AddDownFile(L"http://a.example/2", L"C:\\2", DOWN_TYPE_BINARY, m_sink.Progress(), m_sink.Notify());
    EXPECT_FALSE(m_down.m_bCancel) << "a new batch starts without a stale cancel";
    ASSERT_EQ(2, m_down.GetJobCount());
    CString url, path;
    ASSERT_TRUE(m_down.GetJob(0, url, path));
    EXPECT_EQ(CString(L"http://a.example/1"), url);
    EXPECT_EQ(CString(L"C:\\1"), path);
    ASSERT_TRUE(m_down.GetJob(1, url, path));
    EXPECT_EQ(CString(L"http://a.example/2"), url);
    EXPECT_FALSE(m_down.GetJob(2, url, path));
    EXPECT_EQ(DOWN_TYPE_BINARY, m_down.m_nDownType);
    EXPECT_EQ(m_sink.Notify(), m_down.m_hNotifyWnd);
    EXPECT_EQ(m_sink.Progress(), m_down.m_hProgressWnd);

    m_down.CancelDownload();
    EXPECT_EQ(0, m_down.GetJobCount());
}

// ----- the remote size query

TEST_F(Downloader, RemoteFileSize)
{
    struct Case
    {
        const wchar_t* url;
        ULONGLONG size;
        LONG status; // m_nHttpStatus afterwards
        const wchar_t* line;
    } cases[] = {
        {L"http://update.quenlor.example/t/ok/123456/a.exe", 123456, 0, L"123456 bytes \r\n"},
        {L"http://update.quenlor.example/download/Tavo_Q7120.exe ", 262144, 0, L"262144 bytes \r\n"},
        {L"http://update.quenlor.example/t/zero/a.exe", 0, 0, L"0 bytes \r\n"},
        {L"http://update.quenlor.example/t/nolength/100/a.exe", 0, 0, nullptr},
        {L"http://update.quenlor.example/t/short/3000000000/0/a.exe", 3000000000u, 0, L"3000000000 bytes \r\n"},
        {L"http://update.quenlor.example/t/short/5000000000/0/a.exe", 5000000000u, 0, L"5000000000 bytes \r\n"},
        {L"http://update.quenlor.example/t/length/10/a.exe?cl=-1", 0, 0, nullptr},
        {L"http://update.quenlor.example/t/404/a.exe", 0, 404, nullptr},
        {L"http://update.quenlor.example/t/500/a.exe", 0, 500, nullptr},
        {L"http://update.quenlor.example/t/407/a.exe", 0, 407, L"HTTP_STATUS_PROXY_AUTH_REQ Failed ! \r\n"},
        {L"http://update.quenlor.example/t/401/a.exe", 0, 401, L"HTTP_STATUS_PROXY_AUTH_REQ Failed ! \r\n"},
        {L"no address", 0, 0, L"AfxParseURL error \r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.url));
        TestDownloader down;
        m_log.Clear();
        EXPECT_EQ(c.size, down.GetRemoteFileSize(c.url));
        EXPECT_EQ(c.status, down.m_nHttpStatus);
        if (c.line) {
            EXPECT_TRUE(LogHas(c.line));
        }
    }

    testserver::Reset();
    m_log.Clear();
    EXPECT_EQ(0u, m_down.GetRemoteFileSize(L""));
    EXPECT_TRUE(testserver::Requests().empty()) << "an empty address makes no request";
    EXPECT_TRUE(m_log.Lines().empty());
}

// ----- transfers

TEST_F(Downloader, SuccessfulJobReportsStartProgressAndCompletion)
{
    const std::wstring path = Path(L"Tavo_Real_Setup.exe");
    RunOne(L"http://download.quenlor.example/t/ok/5000/file.exe", path);

    const Summary s = m_sink.Summary();
    ASSERT_GE(s.size(), 4u);
    EXPECT_EQ("start", s.front());
    EXPECT_EQ("complete (posted)", s.back());
    const std::vector<int> percent = ProgressPairs(s, 1, s.size() - 1);
    ASSERT_FALSE(percent.empty());
    EXPECT_EQ(100, percent.back());
    EXPECT_EQ(5000u, m_down.m_nReceivedBytes);
    ExpectPattern(path, 5000);

    const std::vector<testserver::RequestRecord> requests = testserver::Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET http://download.quenlor.example:80/t/ok/5000/file.exe HTTP/1.1", requests[0].requestLine);
    EXPECT_EQ("*/*", requests[0].Header("Accept"));
    EXPECT_EQ(Narrow(AfxGetAppName()), requests[0].Header("User-Agent"));
    EXPECT_FALSE(requests[0].HasHeader("Range"));

    const std::vector<std::wstring> expected = {L"In HTTPDown2 , Start ! \r\n", L"5000 bytes \r\n", kDone};
    EXPECT_EQ(expected, m_log.Lines());

    // After its last job the worker stays, waiting for a command.
    EXPECT_TRUE(m_down.IsThreadActive());
    EXPECT_EQ(THREAD_STATE_BUSY, m_down.RunState());
}

TEST_F(Downloader, TwoJobsAreFetchedInOrderWithOneCompletion)
{
    const HWND elsewhere = reinterpret_cast<HWND>(0x4321);
    const std::wstring first = Path(L"first.bin");
    const std::wstring second = Path(L"second.bin");
    // The second call's kind and windows hold for both jobs.
    m_down.AddDownFile(L"http://download.quenlor.example/t/ok/3000/first.bin", first.c_str(), DOWN_TYPE_XML,
                       elsewhere, elsewhere);
    m_down.AddDownFile(L"http://download.quenlor.example/t/ok/2048/second.bin", second.c_str(), DOWN_TYPE_BINARY,
                       m_sink.Progress(), m_sink.Notify());
    StartAndWait();

    const Summary s = m_sink.Summary();
    size_t starts = 0, completions = 0;
    for (const std::string& m : s) {
        starts += m == "start";
        completions += m.rfind("complete", 0) == 0;
    }
    EXPECT_EQ(2u, starts);
    EXPECT_EQ(1u, completions);
    EXPECT_EQ("complete (posted)", s.back());
    ExpectPattern(first, 3000);
    ExpectPattern(second, 2048);

    const std::vector<testserver::RequestRecord> requests = testserver::Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_NE(std::string::npos, requests[0].requestLine.find("/first.bin"));
    EXPECT_NE(std::string::npos, requests[1].requestLine.find("/second.bin"));
    EXPECT_EQ(2, m_down.GetJobCount()) << "fetched jobs stay in the list";
}

TEST_F(Downloader, CompletionCallbackRunsOnTheWorkerAndMayEndIt)
{
    static std::atomic<DWORD> callbackThread{0};
    static HWND callbackWindow = nullptr;
    m_down.m_pfnOnComplete = [](CHttpMultiFileDown*, HWND hNotifyWnd, BOOL* pbKeepRunning) {
        callbackThread = ::GetCurrentThreadId();
        callbackWindow = hNotifyWnd;
        *pbKeepRunning = FALSE;
    };
    RunOne(L"http://download.quenlor.example/t/ok/100/f.bin", Path(L"f.bin"));
    WaitForWorkerEnd(m_down);
    EXPECT_NE(0u, callbackThread.load());
    EXPECT_NE(::GetCurrentThreadId(), callbackThread.load());
    EXPECT_EQ(m_sink.Notify(), callbackWindow);
}

struct FailureCase
{
    const char* name;
    const wchar_t* url;
    int kind;
    Summary messages;  // the whole sequence; "..." stands for any progress pairs
    LONG status;       // m_nHttpStatus afterwards
    const wchar_t* line; // a diagnostic line that must appear, or null
};

// One failed job each: the message it ends with, by precedence (404, kind,
// cancel flag), and what is left on disk (nothing).
TEST_F(Downloader, FailuresEndInOneMessageAndLeaveNoFile)
{
    const FailureCase cases[] = {
        {"404", L"http://d.example/t/404/f.exe", DOWN_TYPE_BINARY, {"connection-error"}, 404, L"HTTPDown2 WM_CONNECTION_ERROR"},
        {"404 xml", L"http://d.example/t/404/f.xml", DOWN_TYPE_XML, {"connection-error"}, 404, nullptr},
        {"401", L"http://d.example/t/401/f.exe", DOWN_TYPE_BINARY, {"error"}, 401, L"HTTP_STATUS_PROXY_AUTH_REQ Failed ! \r\n"},
        {"407", L"http://d.example/t/407/f.exe", DOWN_TYPE_BINARY, {"error"}, 407, L"HTTP_STATUS_PROXY_AUTH_REQ Failed ! \r\n"},
        {"500", L"http://d.example/t/500/f.exe", DOWN_TYPE_BINARY, {"error"}, 500, L"HTTPDown2 WM_BINARYDOWN_ERROR"},
        {"500 xml", L"http://d.example/t/500/f.xml", DOWN_TYPE_XML, {"xml-error"}, 500, L"HTTPDown2 WM_XMLDOWN_ERROR"},
        {"short body", L"http://d.example/t/short/5000/2500/f.exe", DOWN_TYPE_BINARY, {"start", "...", "error"}, 0, nullptr},
        {"no length", L"http://d.example/t/nolength/3000/f.exe", DOWN_TYPE_BINARY, {"error"}, 0, L"No usable Content-Length ! \r\n"},
        {"longer body", L"http://d.example/t/long/3000/9000/f.exe", DOWN_TYPE_BINARY, {"start", "...", "error"}, 0, L"Body longer than announced ! \r\n"},
        {"empty url", L"", DOWN_TYPE_BINARY, {"error"}, 0, nullptr},
        {"bad url", L"not an address", DOWN_TYPE_BINARY, {"error"}, 0, L"AfxParseURL error \r\n"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        MessageSink sink;
        TestDownloader down;
        m_log.Clear();
        const std::wstring path = Path(L"failed.exe");
        down.AddDownFile(c.url, path.c_str(), c.kind, sink.Progress(), sink.Notify());
        down.Start();
        ASSERT_TRUE(sink.WaitForEnd(30000));
        WaitForWorkerEnd(down);

        Summary s = sink.Summary();
        if (c.messages.size() == 3) {
            ASSERT_GE(s.size(), 2u);
            for (int p : ProgressPairs(s, 1, s.size() - 1))
                EXPECT_LE(p, 100);
            s = {s.front(), "...", s.back()};
        }
        EXPECT_EQ(c.messages, s);
        EXPECT_EQ(c.status, down.m_nHttpStatus);
        EXPECT_FALSE(Exists(path));
        if (c.line) {
            EXPECT_TRUE(LogHas(c.line)) << Narrow(c.line);
        }
        EXPECT_TRUE(LogHas(L"HTTPDown2 canceld"));
    }
}

TEST_F(Downloader, UnknownKindFailsWithoutAMessage)
{
    m_down.AddDownFile(L"http://d.example/t/500/f", Path(L"f").c_str(), 7, m_sink.Progress(), m_sink.Notify());
    m_down.Start();
    WaitForWorkerEnd(m_down);
    EXPECT_TRUE(m_sink.Messages().empty());
}

// Records every name created in a folder, however briefly it lived: the
// system's own change notifications (ReadDirectoryChangesW), so a file made
// and deleted between two looks is seen all the same.
class FolderWatch
{
public:
    explicit FolderWatch(const std::wstring& folder)
        : m_hDir(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr)),
          m_hEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        EXPECT_TRUE(m_hDir) << "cannot watch the folder";
        Arm();
    }
    ~FolderWatch()
    {
        if (m_bPending) {
            ::CancelIo(m_hDir.get());
            DWORD n = 0;
            ::GetOverlappedResult(m_hDir.get(), &m_overlapped, &n, TRUE);
        }
    }

    // Every name added so far; waits for notifications until none has come
    // for 300 ms (the system delivers them a little after the fact).
    std::vector<std::wstring> Added()
    {
        while (m_bPending && ::WaitForSingleObject(m_hEvent.get(), 300) == WAIT_OBJECT_0) {
            DWORD n = 0;
            m_bPending = FALSE;
            if (::GetOverlappedResult(m_hDir.get(), &m_overlapped, &n, FALSE) && n)
                Collect(n);
            Arm();
        }
        return m_added;
    }

private:
    void Arm()
    {
        ::ResetEvent(m_hEvent.get());
        m_overlapped = OVERLAPPED{};
        m_overlapped.hEvent = m_hEvent.get();
        m_bPending = m_hDir && ::ReadDirectoryChangesW(m_hDir.get(), m_buffer, sizeof m_buffer, FALSE,
                                                       FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &m_overlapped, nullptr);
    }
    void Collect(DWORD cb)
    {
        for (DWORD offset = 0; offset < cb;) {
            const auto* p = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(m_buffer + offset);
            if (p->Action == FILE_ACTION_ADDED || p->Action == FILE_ACTION_RENAMED_NEW_NAME)
                m_added.emplace_back(p->FileName, p->FileNameLength / sizeof(wchar_t));
            if (!p->NextEntryOffset)
                break;
            offset += p->NextEntryOffset;
        }
    }

    UniqueFile m_hDir;
    UniqueHandle m_hEvent;
    OVERLAPPED m_overlapped{};
    BOOL m_bPending = FALSE;
    alignas(DWORD) BYTE m_buffer[16384];
    std::vector<std::wstring> m_added;
};

struct UnboundedCase
{
    const char* name;
    const wchar_t* url;
    bool created; // whether the file may appear at all
};

void PrintTo(const UnboundedCase& c, std::ostream* os)
{
    *os << c.name;
}

class UnboundedBody : public Downloader, public ::testing::WithParamInterface<UnboundedCase>
{
};

// A response that gives the body no bound fails before the file is made. The
// short body is the control: its file does appear (and is removed), which
// shows the watch would see one.
TEST_P(UnboundedBody, NeverCreatesTheFile)
{
    const UnboundedCase& c = GetParam();
    FolderWatch watch(m_dir);
    const std::wstring path = Path(L"Tavo_Real_Setup.exe");
    RunOne(c.url, path);
    const std::vector<std::wstring> added = watch.Added();
    EXPECT_EQ(c.created, !added.empty()) << (added.empty() ? "" : Narrow(added.front()));
    EXPECT_FALSE(Exists(path));
    if (!c.created) {
        EXPECT_EQ(Summary{"error"}, m_sink.Summary());
        EXPECT_TRUE(LogHas(L"No usable Content-Length ! \r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Responses, UnboundedBody,
    ::testing::Values(UnboundedCase{"control_short_body", L"http://d.example/t/short/300000/1000/f.exe", true},
                      UnboundedCase{"no_length", L"http://d.example/t/nolength/300000/f.exe", false},
                      UnboundedCase{"chunked", L"http://d.example/t/chunked/300000/f.exe", false},
                      UnboundedCase{"zero_length", L"http://d.example/t/zero/f.exe", false},
                      UnboundedCase{"length_not_a_number", L"http://d.example/t/length/300000/f.exe?cl=12abc", false}),
    [](const ::testing::TestParamInfo<UnboundedCase>& info) { return std::string(info.param.name); });

TEST_F(Downloader, BodyLongerThanAnnouncedStopsAtOnceAndLeavesNoFile)
{
    FolderWatch watch(m_dir);
    const std::wstring path = Path(L"long.exe");
    // 2000 bytes announced, 30000 sent: the read that passes 2000 ends it.
    RunOne(L"http://d.example/t/long/2000/30000/f.exe", path);
    const Summary s = m_sink.Summary();
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ("start", s.front());
    EXPECT_EQ("error", s.back());
    const std::vector<int> percent = ProgressPairs(s, 1, s.size() - 1);
    EXPECT_LE(percent.size(), 2u) << "reads went on past the announced length";
    for (int p : percent)
        EXPECT_LE(p, 100);
    EXPECT_TRUE(LogHas(L"Body longer than announced ! \r\n"));
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(watch.Added().empty()) << "the file was made, then removed";
}

// ----- the percentage

struct PercentCase
{
    ULONGLONG received;
    ULONGLONG announced;
    UINT percent;
};

class Percentage : public ::testing::TestWithParam<PercentCase>
{
};

TEST_P(Percentage, RoundsDownWithinZeroToHundredWithoutOverflow)
{
    EXPECT_EQ(GetParam().percent, DownloadPercentage(GetParam().received, GetParam().announced));
}

constexpr ULONGLONG kGiB = 1024ull * 1024 * 1024;
INSTANTIATE_TEST_SUITE_P(
    Values, Percentage,
    ::testing::Values(PercentCase{3 * kGiB, 5 * kGiB, 60}, PercentCase{0, 0, 0}, PercentCase{1000, 0, 0},
                      PercentCase{0, 5, 0}, PercentCase{1, 3, 33}, PercentCase{2, 3, 66}, PercentCase{999, 1000, 99},
                      PercentCase{5, 5, 100}, PercentCase{6, 5, 100},
                      PercentCase{0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull, 50},
                      PercentCase{0xFFFFFFFFFFFFFFFEull, 0xFFFFFFFFFFFFFFFFull, 99},
                      PercentCase{0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 100},
                      PercentCase{0x7FFFFFFFFFFFFFFFull / 100 + 1, 0x7FFFFFFFFFFFFFFFull, 1}));

TEST_F(Downloader, FileInAMissingFolderEndsAsACancelAndLeavesNothing)
{
    const std::wstring folder = Path(L"no-such-folder");
    const std::wstring path = folder + L"\\Tavo_Real_Setup.exe";
    RunOne(L"http://d.example/t/ok/5000/f.exe", path);

    // The first write fails: its chunk is still reported, then the cancel.
    const Summary s = m_sink.Summary();
    ASSERT_EQ(4u, s.size());
    EXPECT_EQ("start", s[0]);
    ProgressPairs(s, 1, 3);
    EXPECT_EQ("cancel", s[3]);
    EXPECT_TRUE(LogHas(L"An exception occured while writing to the download file \n"));
    EXPECT_TRUE(LogHas(L"HTTPDown2 WM_BINARYDOWN_CANCEL"));
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(folder));
    WaitForWorkerEnd(m_down);
    EXPECT_FALSE(m_down.m_bCancel) << "cleared once the cancel has been reported";
}

// ----- pause and cancel, set by the receiving window's thread as the dialog does

TEST_F(Downloader, PauseStopsReadsAndProgressUntilItIsLifted)
{
    const std::wstring path = Path(L"paused.exe");
    StartAndPauseAt(3, path);

    // Two rounds of the paused loop (500 ms each) read nothing.
    ::Sleep(1200);
    EXPECT_EQ(3, m_progressCount.load());
    EXPECT_FALSE(m_sink.WaitForEnd(0));

    m_down.m_bPause = FALSE;
    ASSERT_TRUE(m_sink.WaitForEnd(30000));
    const Summary s = m_sink.Summary();
    EXPECT_EQ("complete (posted)", s.back());
    EXPECT_EQ(100, ProgressPairs(s, 1, s.size() - 1).back());
    ExpectPattern(path, 40960);
    EXPECT_EQ(1u, testserver::Requests().size()) << "resumed on the same request";
}

TEST_F(Downloader, CancelWhilePausedEndsWithinOnePauseRound)
{
    const std::wstring path = Path(L"cancelled.exe");
    StartAndPauseAt(2, path);
    ::Sleep(100);

    const DWORD before = ::GetTickCount();
    m_down.CancelDownload(); // the pause stays set, as after the dialog's "Yes"
    ASSERT_TRUE(m_sink.WaitForEnd(5000));
    // The paused loop looks at the flags every 500 ms; the margin is for a busy machine.
    EXPECT_LT(::GetTickCount() - before, 1500u);

    const Summary s = m_sink.Summary();
    EXPECT_EQ("cancel", s.back());
    EXPECT_EQ(2, m_progressCount.load());
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(0, m_down.GetJobCount());
    WaitForWorkerEnd(m_down);
    EXPECT_FALSE(m_down.m_bCancel);
}

TEST_F(Downloader, CancelDuringTheBodyStopsAfterTheCurrentChunk)
{
    std::atomic<int> progressCount{0};
    m_sink.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_DOWNLOAD_PROGRESS && ++progressCount == 3)
            m_down.CancelDownload();
    };
    const std::wstring path = Path(L"cancelled.exe");
    RunOne(L"http://d.example/t/drip/40960/2/cancelled.exe", path);
    EXPECT_EQ(3, progressCount.load()) << "no chunk after the cancel is reported";
    EXPECT_EQ("cancel", m_sink.Summary().back());
    EXPECT_FALSE(Exists(path));
}

TEST_F(Downloader, CancelDuringTheFirstOfTwoJobsFetchesNoMore)
{
    m_sink.onMessage = [this](const RecordedMessage& m) {
        if (m.message == WM_DOWNLOAD_PROGRESS && m.wParam == 100)
            m_down.CancelDownload(); // deletes both jobs while the worker holds copies
    };
    const std::wstring first = Path(L"first.bin");
    m_down.AddDownFile(L"http://d.example/t/ok/4096/first.bin", first.c_str(), DOWN_TYPE_BINARY, m_sink.Progress(),
                       m_sink.Notify());
    m_down.AddDownFile(L"http://d.example/t/ok/4096/second.bin", Path(L"second.bin").c_str(), DOWN_TYPE_BINARY,
                       m_sink.Progress(), m_sink.Notify());
    StartAndWait();
    WaitForWorkerEnd(m_down);

    EXPECT_EQ("cancel", m_sink.Summary().back());
    EXPECT_EQ(1u, testserver::Requests().size()) << "the second job is never asked for";
    EXPECT_EQ(0, m_down.GetJobCount());
    // The cancel came after the last chunk: the complete file stays.
    ExpectPattern(first, 4096);
    EXPECT_FALSE(Exists(Path(L"second.bin")));
}

TEST_F(Downloader, CancelWhileTheRequestIsBeingOpenedIsNotLost)
{
    const std::wstring path = Path(L"early.exe");
    // The server holds its answer for 3 s; the cancel comes while it waits.
    m_down.AddDownFile(L"http://d.example/t/delay/3000/20000/early.exe", path.c_str(), DOWN_TYPE_BINARY,
                       m_sink.Progress(), m_sink.Notify());
    m_down.Start();
    for (int i = 0; i < 500 && testserver::Requests().empty(); ++i)
        ::Sleep(10);
    ASSERT_EQ(1u, testserver::Requests().size());
    m_down.m_bPause = TRUE;
    m_down.CancelDownload();

    ASSERT_TRUE(m_sink.WaitForEnd(30000));
    const Summary s = m_sink.Summary();
    EXPECT_EQ("cancel", s.back());
    for (const std::string& m : s)
        EXPECT_NE(0u, m.rfind("complete", 0));
    EXPECT_FALSE(Exists(path));
}

TEST_F(Downloader, DestroyingTheDownloaderEndsAPausedTransfer)
{
    UniqueHandle paused(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto down = std::make_unique<TestDownloader>();
    TestDownloader* pDown = down.get();
    m_sink.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_DOWNLOAD_PROGRESS && !pDown->m_bPause) {
            pDown->m_bPause = TRUE;
            ::SetEvent(paused.get());
        }
    };
    down->AddDownFile(L"http://d.example/t/drip/40960/2/gone.exe", Path(L"gone.exe").c_str(), DOWN_TYPE_BINARY,
                      m_sink.Progress(), m_sink.Notify());
    down->Start();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(paused.get(), 30000));
    down.reset();
    m_sink.onMessage = nullptr;
    ::Sleep(700);
    EXPECT_FALSE(m_sink.WaitForEnd(0)) << "nothing is reported after the downloader is gone";
}

} // namespace
