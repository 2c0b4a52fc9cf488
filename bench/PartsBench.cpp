// What each part of the installer's per-chunk and per-percent work costs, alone.
//
// The end-to-end benchmark (bench/installer.py) measures the whole installer
// against the floor of its design; this one times the parts that the floor
// leaves out, or shares, one at a time, with the program's own code:
//
//   paint    the skinned bar's full paint (WM_PRINTCLIENT, which runs its WM_PAINT
//            handler into a given DC) at 1, 2, ..., 100 %, as a download paints it once per change
//            of the percentage; at 100 % it draws 426 one-pixel strips
//   text     the percentage's static control: SetWindowTextW and its repaint, the
//            dialog handler's other work on each change, 100 times
//   write    CFile::Write of 1024 bytes, once per chunk (16384 chunks: 16 MiB)
//   setpos   PBM_SETPOS sent from another thread to a hidden standard progress
//            control, once per chunk, beside the same number of sends of a message
//            that a plain window ignores (the floor's own cost of one send)
//
// Prints one line per part; a benchmark, nothing is judged.

#include "framework/File.h"
#include "ui/CustomProgress.h"

#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include <cstdio>

namespace {

constexpr int kChunks = 16384;

double Seconds(LONGLONG from, LONGLONG to)
{
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(to - from) / static_cast<double>(f.QuadPart);
}

LONGLONG Now()
{
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}

HWND TopWindow(int cx, int cy)
{
    return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, cx, cy, nullptr, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

void BenchPaint()
{
    HWND hWnd = TopWindow(444, 10);
    CWnd parent;
    parent.SubclassWindow(hWnd);
    CCustomProgress progress;
    const RECT rc = {0, 0, 444, 10};
    progress.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, rc, &parent, 32343);
    HDC hdc = ::GetDC(hWnd);
    const LONGLONG start = Now();
    for (int p = 1; p <= 100; ++p) {
        progress.m_nPos = p;
        progress.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT);
    }
    ::GdiFlush();
    const double d = Seconds(start, Now());
    ::ReleaseDC(hWnd, hdc);
    progress.DestroyWindow();
    parent.UnsubclassWindow();
    ::DestroyWindow(hWnd);
    std::printf("PART paint ms_per_download=%.1f ms_per_paint=%.3f\n", d * 1000, d * 10);
}

void BenchText()
{
    HWND hWnd = TopWindow(200, 40);
    HWND hStatic = ::CreateWindowExW(0, L"STATIC", L"0%", WS_CHILD | WS_VISIBLE, 10, 10, 80, 16, hWnd, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
    const LONGLONG start = Now();
    for (int p = 1; p <= 100; ++p) {
        wchar_t sz[8];
        ::wsprintfW(sz, L"%d%%", p);
        ::SetWindowTextW(hStatic, sz);
        ::UpdateWindow(hStatic);
    }
    const double d = Seconds(start, Now());
    ::DestroyWindow(hWnd);
    std::printf("PART text ms_per_download=%.1f\n", d * 1000);
}

void BenchWrite()
{
    wchar_t szPath[MAX_PATH + 32];
    const DWORD n = ::GetTempPathW(MAX_PATH, szPath);
    ::lstrcpyW(szPath + n, L"quilmer-parts-bench.bin");
    static BYTE buffer[1024];
    double d = 0;
    try {
        CFile file(szPath, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite);
        const LONGLONG start = Now();
        for (int i = 0; i < kChunks; ++i)
            file.Write(buffer, sizeof buffer);
        d = Seconds(start, Now());
        file.Close();
    } catch (CException* e) {
        e->Delete();
    }
    ::DeleteFileW(szPath);
    std::printf("PART write us_per_chunk=%.2f s_per_16mib=%.3f\n", d * 1e6 / kChunks, d);
}

struct Windows {
    HWND hProgress = nullptr;
    HWND hPlain = nullptr;
    HANDLE hReady = nullptr;
    DWORD dwThreadId = 0;
};

DWORD WINAPI WindowsThread(void* p)
{
    auto* w = static_cast<Windows*>(p);
    w->hPlain = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    w->hProgress = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 200, 16, w->hPlain, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ::SetEvent(w->hReady);
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);
    ::DestroyWindow(w->hPlain);
    return 0;
}

void BenchSetPos()
{
    Windows w;
    w.hReady = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hThread = ::CreateThread(nullptr, 0, WindowsThread, &w, 0, &w.dwThreadId);
    ::WaitForSingleObject(w.hReady, INFINITE);
    LONGLONG start = Now();
    for (int i = 0; i < kChunks; ++i)
        ::SendMessageW(w.hProgress, PBM_SETPOS, static_cast<WPARAM>(i * 100 / kChunks), 0);
    const double dSetPos = Seconds(start, Now());
    start = Now();
    for (int i = 0; i < kChunks; ++i)
        ::SendMessageW(w.hPlain, WM_NULL, 0, 0);
    const double dPlain = Seconds(start, Now());
    ::PostThreadMessageW(w.dwThreadId, WM_QUIT, 0, 0);
    ::WaitForSingleObject(hThread, INFINITE);
    ::CloseHandle(hThread);
    ::CloseHandle(w.hReady);
    std::printf("PART setpos us_per_chunk=%.2f plain_send_us_per_chunk=%.2f\n", dSetPos * 1e6 / kChunks,
                dPlain * 1e6 / kChunks);
}

} // namespace

int wmain()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    BenchPaint();
    BenchText();
    BenchWrite();
    BenchSetPos();
    Gdiplus::GdiplusShutdown(token);
    std::fflush(stdout);
    return 0;
}
