// Download benchmark: one transfer of one URL, timed, in one of three ways.
//
//   a  the downloader itself: CHttpMultiFileDown with its real worker thread,
//      its file and its messages, reporting to two windows on a thread of
//      their own (the tests' MessageReceiver: a hidden standard progress
//      control and a notify window whose handler only counts), as the
//      installer dialog does;
//   b  the floor under that design: the downloader's own request (CHttpRequest,
//      with its 100 ms wait before it is sent), 1024-byte reads and, per
//      chunk, PBM_SETPOS and WM_DOWNLOAD_PROGRESS sent to the same two kinds of
//      window on another thread; nothing else, no file;
//   c  the same request with 64 KB reads and no messages.
//
//   DownloadBench a <url> <local path>
//   DownloadBench b <url>
//   DownloadBench c <url>
//   DownloadBench                (the arguments from QUILMER_BENCH_ARGS, separated
//                                 by spaces: how bench/installer.py starts it through
//                                 the end-to-end driver, which passes no arguments;
//                                 the result line then goes nowhere, since the
//                                 driver's own output is the one it inherits and
//                                 the driver times the process itself)
//
// Prints one line, space-separated key=value pairs:
//   BENCH mode=a width=64 bytes=16777216 seconds=13.52 cpu=2.10 receiver_cpu=0.40 process_cpu=2.91 chunks=16384
// seconds: from the first call (Start, or InternetOpen) until the end is known
// (the windows' thread has WM_BINARYDOWN_COMPLETE, or the handles are closed);
// cpu: user + kernel time of the thread that transferred (the downloader's
// worker in a); receiver_cpu: the windows' thread; process_cpu: the process;
// chunks: progress notifications the notify window took (a), reads that
// returned data (b, c). Exit code 0 only when the whole announced body came.
// The proxy comes from the system settings (http_proxy under Wine).

#include "framework/Afx.h"
#include "framework/CString.h"
#include "framework/Exception.h"
#include "framework/Handles.h"
#include "net/DownloadMessages.h"
#include "net/HttpMultiFileDown.h"
#include "net/HttpRequest.h"
#include "net/MessageSink.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

// The downloader's read size; the floor reads as the downloader does, or the
// ratio compares two different things.
constexpr DWORD kDownloaderChunk = 1024;
constexpr DWORD kLargeChunk = 64 * 1024;
// A 16 MB run at the floor's 1.2 MB/s takes about 14 s; this only stops a hang.
constexpr DWORD kRunTimeoutMs = 30 * 60 * 1000;

ULONGLONG ToUlong(const FILETIME& ft)
{
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// User + kernel time of a thread, in seconds. Under Wine the figures of a
// thread that has ended read 0, so callers ask while it still runs.
double ThreadCpuSeconds(HANDLE hThread)
{
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(hThread, &created, &exited, &kernel, &user))
        return -1.0;
    return static_cast<double>(ToUlong(kernel) + ToUlong(user)) / 1e7;
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1.0;
    return static_cast<double>(ToUlong(kernel) + ToUlong(user)) / 1e7;
}

LONGLONG Now()
{
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double SecondsBetween(LONGLONG from, LONGLONG to)
{
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(to - from) / static_cast<double>(f.QuadPart);
}

struct Measurement
{
    ULONGLONG nBytes = 0;
    double dSeconds = 0;
    double dCpu = 0;
    double dReceiverCpu = 0;
    LONG nChunks = 0;
};

// The downloader with a completion hook that reads the worker's CPU time while
// the worker still runs, and ends the worker so the object can be destroyed
// without cutting a thread off.
class BenchDownloader : public CHttpMultiFileDown
{
public:
    BenchDownloader()
    {
        m_hCompleted.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_pfnOnComplete = &OnComplete;
    }
    ~BenchDownloader() override
    {
        // The worker has left the hook once m_hWorker is set; let it return.
        if (m_hWorker)
            ::WaitForSingleObject(m_hWorker.get(), 10000);
    }

    HANDLE Completed() const { return m_hCompleted.get(); }
    double WorkerCpu() const { return m_dWorkerCpu; }

private:
    // Worker thread, right after WM_BINARYDOWN_COMPLETE has been posted.
    static void OnComplete(CHttpMultiFileDown* pDownloader, HWND, BOOL* pbKeepRunning)
    {
        auto* self = static_cast<BenchDownloader*>(pDownloader);
        self->m_dWorkerCpu = ThreadCpuSeconds(::GetCurrentThread());
        self->m_hWorker.reset(::OpenThread(SYNCHRONIZE, FALSE, ::GetCurrentThreadId()));
        *pbKeepRunning = FALSE;
        ::SetEvent(self->m_hCompleted.get());
    }

    UniqueHandle m_hCompleted;
    // Written by the worker before m_hCompleted is set, read by the owner after.
    UniqueHandle m_hWorker;
    double m_dWorkerCpu = 0;
};

bool RunDownloader(const wchar_t* pszUrl, const wchar_t* pszPath, Measurement& m)
{
    MessageReceiver receiver;
    if (!receiver.IsReady()) {
        std::fprintf(stderr, "DownloadBench: the receiving windows could not be created\n");
        return false;
    }
    BenchDownloader downloader;
    downloader.AddDownFile(pszUrl, pszPath, DOWN_TYPE_BINARY, receiver.Progress(), receiver.Notify());
    const LONGLONG start = Now();
    try {
        downloader.Start();
    } catch (CException* e) {
        e->Delete();
        std::fprintf(stderr, "DownloadBench: the downloader's worker did not start\n");
        return false;
    }
    const UINT end = receiver.WaitForEnd(kRunTimeoutMs);
    if (end != WM_BINARYDOWN_COMPLETE) {
        std::fprintf(stderr, "DownloadBench: the download ended with message %u (0: none in time)\n", end);
        return false;
    }
    ::WaitForSingleObject(downloader.Completed(), INFINITE);
    m.dSeconds = SecondsBetween(start, receiver.EndTime());
    m.dCpu = downloader.WorkerCpu();
    m.dReceiverCpu = ThreadCpuSeconds(receiver.Thread());
    m.nChunks = receiver.ProgressCount();
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!::GetFileAttributesExW(pszPath, GetFileExInfoStandard, &fad)) {
        std::fprintf(stderr, "DownloadBench: the downloaded file is missing\n");
        return false;
    }
    m.nBytes = (static_cast<ULONGLONG>(fad.nFileSizeHigh) << 32) | fad.nFileSizeLow;
    return true;
}

// The downloader's request without the downloader: the same CHttpRequest,
// then reads of nChunk bytes until the body ends. With windows given, each
// chunk is followed by the downloader's two sent messages. dwSendDelayMs: the
// design waits 100 ms between opening and sending the request; the floor of
// that design waits as well, the 64 KB reference not.
bool RunFloor(const wchar_t* pszUrl, DWORD nChunk, DWORD dwSendDelayMs, HWND hProgress, HWND hNotify,
              Measurement& m)
{
    const LONGLONG start = Now();
    ULONGLONG nAnnounced = 0;
    {
        CHttpRequest request;
        if (!request.Open(pszUrl, dwSendDelayMs)) {
            std::fprintf(stderr, "DownloadBench: the request failed (status %ld, error %lu)\n", request.Status(),
                         ::GetLastError());
            return false;
        }
        ULONGLONG nLength = 0;
        if (request.QueryContentLength(nLength))
            nAnnounced = nLength;

        std::vector<BYTE> buffer(nChunk);
        for (;;) {
            DWORD dwRead = 0;
            if (!request.Read(buffer.data(), nChunk, dwRead)) {
                std::fprintf(stderr, "DownloadBench: a read failed (error %lu)\n", ::GetLastError());
                return false;
            }
            if (dwRead == 0)
                break;
            m.nBytes += dwRead;
            ++m.nChunks;
            if (hNotify) {
                const WPARAM nPercent = nAnnounced ? static_cast<WPARAM>(m.nBytes * 100 / nAnnounced) : 0;
                ::SendMessageW(hProgress, PBM_SETPOS, nPercent, 0);
                ::SendMessageW(hNotify, WM_DOWNLOAD_PROGRESS, nPercent, 0);
            }
        }
    }
    m.dSeconds = SecondsBetween(start, Now());
    m.dCpu = ThreadCpuSeconds(::GetCurrentThread());
    if (m.nBytes != nAnnounced) {
        std::fprintf(stderr, "DownloadBench: %llu bytes came, %llu were announced\n", m.nBytes, nAnnounced);
        return false;
    }
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: DownloadBench a <url> <local path>\n"
                         "       DownloadBench b|c <url>\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t szArgs[2048] = L"";
    wchar_t* apszFromEnvironment[5] = {argv[0]};
    const bool bFromEnvironment = argc == 1;
    if (bFromEnvironment && ::GetEnvironmentVariableW(L"QUILMER_BENCH_ARGS", szArgs, ARRAYSIZE(szArgs)) - 1 <
                         ARRAYSIZE(szArgs) - 1) {
        for (wchar_t* p = szArgs; *p && argc < 5;) {
            apszFromEnvironment[argc++] = p;
            while (*p && *p != L' ')
                ++p;
            while (*p == L' ')
                *p++ = L'\0';
        }
        argv = apszFromEnvironment;
    }
    if (argc < 3 || std::wcslen(argv[1]) != 1)
        return Usage();
    const wchar_t mode = argv[1][0];
    const wchar_t* pszUrl = argv[2];
    Measurement m;
    bool ok = false;
    switch (mode) {
    case L'a':
        if (argc != 4)
            return Usage();
        ok = RunDownloader(pszUrl, argv[3], m);
        break;
    case L'b': {
        MessageReceiver receiver;
        if (!receiver.IsReady()) {
            std::fprintf(stderr, "DownloadBench: the receiving windows could not be created\n");
            return 1;
        }
        ok = RunFloor(pszUrl, kDownloaderChunk, CHttpRequest::kSendDelayMs, receiver.Progress(), receiver.Notify(), m);
        m.dReceiverCpu = ThreadCpuSeconds(receiver.Thread());
        break;
    }
    case L'c':
        ok = RunFloor(pszUrl, kLargeChunk, 0, nullptr, nullptr, m);
        break;
    default:
        return Usage();
    }
    if (!ok)
        return 1;
    if (bFromEnvironment)
        return 0;
    std::printf("BENCH mode=%c width=%u bytes=%llu seconds=%.4f cpu=%.4f receiver_cpu=%.4f process_cpu=%.4f "
                "chunks=%ld\n",
                static_cast<char>(mode), static_cast<unsigned>(sizeof(void*) * 8), m.nBytes, m.dSeconds, m.dCpu,
                m.dReceiverCpu, ProcessCpuSeconds(), m.nChunks);
    std::fflush(stdout);
    return 0;
}
