#pragma once
// Two real windows on a thread of their own, standing in for the installer
// dialog (notify window) and its hidden progress control (progress window):
// they record every message the downloader sends or posts them, in order.

#include "framework/Handles.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

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
    ~MessageSink(); // destroys the windows and ends their thread

    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

    HWND Notify() const { return m_hNotify; }
    HWND Progress() const { return m_hProgress; }

    // Runs on the windows' thread for each message, after it has been
    // recorded and before the sender's SendMessage returns (as the dialog's
    // handlers do). Set it before the downloader starts.
    std::function<void(const RecordedMessage&)> onMessage;

    // Waits until a message that ends a run arrives (completion, error,
    // cancel, connection error); FALSE after dwTimeout ms.
    bool WaitForEnd(DWORD dwTimeout);
    std::vector<RecordedMessage> Messages() const;

    // The recorded messages in short form: "start", "pos 12", "progress 12",
    // "complete", "error", "cancel", "connection-error", "xml-complete",
    // "xml-error"; a posted message gets " (posted)".
    std::vector<std::string> Summary() const;

private:
    static DWORD WINAPI ThreadMain(LPVOID pParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Record(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    UniqueHandle m_hReady;
    UniqueHandle m_hEnded;
    UniqueHandle m_hThread;
    DWORD m_dwThreadId = 0;
    HWND m_hNotify = nullptr;
    HWND m_hProgress = nullptr;
    mutable CRITICAL_SECTION m_cs;
    std::vector<RecordedMessage> m_messages;
};
