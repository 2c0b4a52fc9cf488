#pragma once
// The windows the downloader reports to, standing in for the installer dialog
// (notify window) and its hidden standard progress control (progress window,
// a child of the notify window), on a thread of their own that only pumps
// messages.
//
// MessageReceiver does as little as the dialog's handlers should: it counts
// the progress notifications and remembers which message ended the run, and
// when. The benchmark measures its thread's CPU time, so it does no more.
// MessageSink builds on it and records every message, in order, for the tests.

#include "framework/Handles.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class MessageReceiver
{
public:
    // Called on the windows' thread for every message from WM_USER up that
    // either window gets (PBM_SETPOS included), before the sender's
    // SendMessage returns; the progress control handles the message after it.
    using Observer = void (*)(void* pContext, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    explicit MessageReceiver(Observer pfnObserver = nullptr, void* pContext = nullptr);
    ~MessageReceiver(); // destroys the windows and ends their thread

    MessageReceiver(const MessageReceiver&) = delete;
    MessageReceiver& operator=(const MessageReceiver&) = delete;

    bool IsReady() const { return m_hNotify && m_hProgress; }
    HWND Notify() const { return m_hNotify; }
    HWND Progress() const { return m_hProgress; }
    // The windows' thread, for its CPU time: ask before the receiver goes
    // (under Wine an ended thread's times read 0).
    HANDLE Thread() const { return m_hThread.get(); }

    // The message that ended the run (completion, error, cancel, connection
    // error, of either job kind), 0 when none came within dwTimeoutMs.
    UINT WaitForEnd(DWORD dwTimeoutMs) const;
    // QueryPerformanceCounter when that message arrived.
    LONGLONG EndTime() const { return m_nEndTime; }
    // WM_DOWNLOAD_PROGRESS notifications taken so far.
    LONG ProgressCount() const { return m_nProgressCount; }

private:
    static DWORD WINAPI ThreadMain(LPVOID pParam);
    static LRESULT CALLBACK NotifyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ProgressProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Take(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    const Observer m_pfnObserver;
    void* const m_pContext;
    UniqueHandle m_hReady;
    UniqueHandle m_hEnded;
    UniqueHandle m_hThread;
    DWORD m_dwThreadId = 0;
    // Written by the windows' thread before m_hReady is set, read-only after.
    HWND m_hNotify = nullptr;
    HWND m_hProgress = nullptr;
    WNDPROC m_pfnProgressProc = nullptr; // the standard control's own procedure
    // Written by the windows' thread, read by others.
    std::atomic<LONG> m_nProgressCount{0};
    std::atomic<UINT> m_nEndMessage{0};
    std::atomic<LONGLONG> m_nEndTime{0};
};

struct RecordedMessage
{
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool sent; // SendMessage from another thread (InSendMessage), not posted
};

class MessageSink
{
public:
    MessageSink();

    HWND Notify() const { return m_receiver.Notify(); }
    HWND Progress() const { return m_receiver.Progress(); }

    // Runs on the windows' thread for each message, after it has been
    // recorded and before the sender's SendMessage returns (as the dialog's
    // handlers do). Set it before the downloader starts.
    std::function<void(const RecordedMessage&)> onMessage;

    // Waits until a message that ends a run arrives (completion, error,
    // cancel, connection error); FALSE after dwTimeout ms.
    bool WaitForEnd(DWORD dwTimeout) { return m_receiver.WaitForEnd(dwTimeout) != 0; }
    std::vector<RecordedMessage> Messages() const;

    // The recorded messages in short form: "start", "pos 12", "progress 12",
    // "complete", "error", "cancel", "connection-error", "xml-complete",
    // "xml-error"; a posted message gets " (posted)".
    std::vector<std::string> Summary() const;

private:
    static void Record(void* pContext, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    mutable SRWLOCK m_lock = SRWLOCK_INIT; // m_messages: written on the windows' thread, read on others
    std::vector<RecordedMessage> m_messages;
    // Last: it ends the windows' thread before the record goes.
    MessageReceiver m_receiver;
};
