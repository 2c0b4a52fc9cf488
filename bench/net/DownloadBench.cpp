// Measures one download three ways in one process (bench/net/download-bench.sh
// runs it and adds curl):
//   a  the downloader itself: CHttpMultiFileDown's worker, its 1024-byte reads,
//      the file writes and its two sent messages per chunk to windows on
//      another thread, from Start to WM_BINARYDOWN_COMPLETE;
//   b  the floor of that design: the same WinINet calls (with the same 100 ms
//      wait before sending), 1024-byte reads and two SendMessageW per chunk to
//      a window on another thread, and nothing else;
//   c  the same calls with 64 KB reads, no wait and no messages.
// Prints one line per round: "<mode> <bytes> <seconds> <cpu seconds>", where
// cpu is this process's user+kernel time (wineserver's share not included).
//
//   download_bench.exe <url> <rounds>

#include "framework/Handles.h"
#include "framework/ParseUrl.h"
#include "net/DownloadMessages.h"
#include "net/HttpMultiFileDown.h"

#include <commctrl.h>
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

double Seconds(const FILETIME& ft)
{
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

double Now()
{
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// A window on a thread of its own that takes messages and does nothing with
// them, except that a run's end message sets an event.
class Receiver
{
public:
    Receiver()
    {
        m_hReady.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_hEnded.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        m_hThread.reset(::CreateThread(nullptr, 0, &ThreadMain, this, 0, &m_dwThreadId));
        ::WaitForSingleObject(m_hReady.get(), INFINITE);
    }
    ~Receiver()
    {
        ::PostThreadMessageW(m_dwThreadId, WM_QUIT, 0, 0);
        ::WaitForSingleObject(m_hThread.get(), INFINITE);
    }
    HWND Window() const { return m_hWnd; }
    bool WaitForEnd() { return ::WaitForSingleObject(m_hEnded.get(), 600000) == WAIT_OBJECT_0; }

private:
    static DWORD WINAPI ThreadMain(LPVOID p)
    {
        auto* self = static_cast<Receiver*>(p);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &WindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuilmerBenchReceiver";
        ::RegisterClassW(&wc);
        self->m_hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                         wc.hInstance, nullptr);
        ::SetWindowLongPtrW(self->m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        ::SetEvent(self->m_hReady.get());
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
            ::DispatchMessageW(&msg);
        ::DestroyWindow(self->m_hWnd);
        return 0;
    }
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_BINARYDOWN_COMPLETE || message == WM_BINARYDOWN_ERROR || message == WM_BINARYDOWN_CANCEL ||
            message == WM_CONNECTION_ERROR) {
            auto* self = reinterpret_cast<Receiver*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
            self->m_bFailed = message != WM_BINARYDOWN_COMPLETE;
            ::SetEvent(self->m_hEnded.get());
            return 0;
        }
        if (message >= WM_USER)
            return 0;
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }

    UniqueHandle m_hReady;
    UniqueHandle m_hEnded;
    UniqueHandle m_hThread;
    DWORD m_dwThreadId = 0;
    HWND m_hWnd = nullptr;

public:
    bool m_bFailed = false;
};

// Mode a.
unsigned long long RunDownloader(const std::wstring& url, const std::wstring& path, Receiver& receiver)
{
    CHttpMultiFileDown down;
    down.AddDownFile(url.c_str(), path.c_str(), DOWN_TYPE_BINARY, receiver.Window(), receiver.Window());
    down.Start();
    if (!receiver.WaitForEnd() || receiver.m_bFailed)
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    ::DeleteFileW(path.c_str());
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Modes b and c: the downloader's request sequence, then the read loop alone.
unsigned long long RunBare(const std::wstring& url, DWORD chunk, HWND hReceiver, DWORD sendDelayMs)
{
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    if (!AfxParseURL(url.c_str(), service, server, object, port))
        return 0;
    UniqueHInternet session(::InternetOpenW(L"download_bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    UniqueHInternet connect(::InternetConnectW(session.get(), server, port, nullptr, nullptr, service, 0, 0));
    const wchar_t* accept[] = {L"*/*", nullptr};
    UniqueHInternet request(::HttpOpenRequestW(connect.get(), nullptr, object, nullptr, nullptr, accept,
                                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                   INTERNET_FLAG_KEEP_CONNECTION,
                                               0));
    if (!request)
        return 0;
    if (sendDelayMs)
        ::Sleep(sendDelayMs);
    if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0))
        return 0;
    std::vector<BYTE> buffer(chunk);
    unsigned long long total = 0;
    DWORD read = 0;
    while (::InternetReadFile(request.get(), buffer.data(), chunk, &read) && read > 0) {
        total += read;
        if (hReceiver) {
            ::SendMessageW(hReceiver, PBM_SETPOS, 0, 0);
            ::SendMessageW(hReceiver, WM_DOWNLOAD_PROGRESS, 0, 0);
        }
    }
    return total;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: download_bench.exe <url> <rounds>\n");
        return 2;
    }
    const std::wstring url = argv[1];
    const int rounds = _wtoi(argv[2]);
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"quilmer-bench-" + std::to_wstring(::GetCurrentProcessId()) +
                              L".bin";
    Receiver receiver;

    for (int round = 0; round < rounds; ++round) {
        struct Mode
        {
            const char* name;
            unsigned long long (*run)(const std::wstring&, const std::wstring&, Receiver&);
        } modes[] = {
            {"a", [](const std::wstring& u, const std::wstring& p, Receiver& r) { return RunDownloader(u, p, r); }},
            {"b", [](const std::wstring& u, const std::wstring&, Receiver& r) { return RunBare(u, 1024, r.Window(), 100); }},
            {"c", [](const std::wstring& u, const std::wstring&, Receiver&) { return RunBare(u, 64 * 1024, nullptr, 0); }},
        };
        for (const Mode& mode : modes) {
            const double cpu0 = ProcessCpuSeconds();
            const double t0 = Now();
            const unsigned long long bytes = mode.run(url, path, receiver);
            const double seconds = Now() - t0;
            const double cpu = ProcessCpuSeconds() - cpu0;
            std::printf("%s %llu %.4f %.4f\n", mode.name, bytes, seconds, cpu);
            std::fflush(stdout);
            if (bytes == 0)
                return 1;
        }
    }
    return 0;
}
