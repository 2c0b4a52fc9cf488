#include "net/MessageSink.h"

#include "net/DownloadMessages.h"

#include <commctrl.h>

namespace {

const wchar_t kClassName[] = L"QuilmerTestMessageSink";

bool EndsARun(UINT message)
{
    switch (message) {
    case WM_BINARYDOWN_COMPLETE:
    case WM_XMLDOWN_COMPLETE:
    case WM_BINARYDOWN_ERROR:
    case WM_XMLDOWN_ERROR:
    case WM_BINARYDOWN_CANCEL:
    case WM_CONNECTION_ERROR:
        return true;
    default:
        return false;
    }
}

} // namespace

MessageSink::MessageSink()
{
    ::InitializeCriticalSection(&m_cs);
    m_hReady.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_hEnded.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_hThread.reset(::CreateThread(nullptr, 0, &ThreadMain, this, 0, &m_dwThreadId));
    ::WaitForSingleObject(m_hReady.get(), INFINITE);
}

MessageSink::~MessageSink()
{
    ::PostThreadMessageW(m_dwThreadId, WM_QUIT, 0, 0);
    ::WaitForSingleObject(m_hThread.get(), INFINITE);
    ::DeleteCriticalSection(&m_cs);
}

DWORD WINAPI MessageSink::ThreadMain(LPVOID pParam)
{
    auto* self = static_cast<MessageSink*>(pParam);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc); // a second sink finds it registered already
    for (HWND* target : {&self->m_hNotify, &self->m_hProgress}) {
        *target = ::CreateWindowExW(0, kClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    wc.hInstance, nullptr);
        ::SetWindowLongPtrW(*target, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue exists from here on
    ::SetEvent(self->m_hReady.get());
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);
    ::DestroyWindow(self->m_hNotify);
    ::DestroyWindow(self->m_hProgress);
    return 0;
}

LRESULT CALLBACK MessageSink::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<MessageSink*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (self && (message == PBM_SETPOS || message >= WM_USER)) {
        self->Record(hWnd, message, wParam, lParam);
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

void MessageSink::Record(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const RecordedMessage recorded = {hWnd, message, wParam, lParam, ::InSendMessage() != FALSE};
    ::EnterCriticalSection(&m_cs);
    m_messages.push_back(recorded);
    ::LeaveCriticalSection(&m_cs);
    if (onMessage)
        onMessage(recorded);
    if (EndsARun(message))
        ::SetEvent(m_hEnded.get());
}

bool MessageSink::WaitForEnd(DWORD dwTimeout)
{
    return ::WaitForSingleObject(m_hEnded.get(), dwTimeout) == WAIT_OBJECT_0;
}

std::vector<RecordedMessage> MessageSink::Messages() const
{
    ::EnterCriticalSection(&m_cs);
    std::vector<RecordedMessage> copy = m_messages;
    ::LeaveCriticalSection(&m_cs);
    return copy;
}

std::vector<std::string> MessageSink::Summary() const
{
    std::vector<std::string> summary;
    for (const RecordedMessage& m : Messages()) {
        std::string text;
        switch (m.message) {
        case PBM_SETPOS: text = "pos " + std::to_string(m.wParam); break;
        case WM_DOWNLOAD_PROGRESS: text = "progress " + std::to_string(m.wParam); break;
        case WM_DOWNLOAD_START: text = "start"; break;
        case WM_BINARYDOWN_COMPLETE: text = "complete"; break;
        case WM_XMLDOWN_COMPLETE: text = "xml-complete"; break;
        case WM_BINARYDOWN_ERROR: text = "error"; break;
        case WM_XMLDOWN_ERROR: text = "xml-error"; break;
        case WM_BINARYDOWN_CANCEL: text = "cancel"; break;
        case WM_CONNECTION_ERROR: text = "connection-error"; break;
        default: text = "message " + std::to_string(m.message); break;
        }
        if (!m.sent)
            text += " (posted)";
        if ((m.message == PBM_SETPOS) != (m.hWnd == m_hProgress))
            text += " (wrong window)";
        if (m.lParam != 0)
            text += " (lParam " + std::to_string(m.lParam) + ")";
        summary.push_back(text);
    }
    return summary;
}
