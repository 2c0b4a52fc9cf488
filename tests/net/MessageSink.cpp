#include "net/MessageSink.h"

#include "net/DownloadMessages.h"

#include <commctrl.h>

namespace {

const wchar_t kNotifyClassName[] = L"QuilmerTestNotify";

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

MessageReceiver* ReceiverOf(HWND hWnd)
{
    return reinterpret_cast<MessageReceiver*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
}

} // namespace

MessageReceiver::MessageReceiver(Observer pfnObserver, void* pContext)
    : m_pfnObserver(pfnObserver), m_pContext(pContext)
{
    m_hReady.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_hEnded.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_hThread.reset(::CreateThread(nullptr, 0, &ThreadMain, this, 0, &m_dwThreadId));
    if (m_hThread)
        ::WaitForSingleObject(m_hReady.get(), INFINITE);
}

MessageReceiver::~MessageReceiver()
{
    if (!m_hThread)
        return;
    ::PostThreadMessageW(m_dwThreadId, WM_QUIT, 0, 0);
    ::WaitForSingleObject(m_hThread.get(), INFINITE);
}

DWORD WINAPI MessageReceiver::ThreadMain(LPVOID pParam)
{
    auto* self = static_cast<MessageReceiver*>(pParam);
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &NotifyProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kNotifyClassName;
    ::RegisterClassW(&wc); // a second receiver finds it registered already
    // Both hidden, as the installer's progress control is: a position change
    // costs the control's bookkeeping but no painting.
    UniqueHwnd hNotify(::CreateWindowExW(0, kNotifyClassName, L"", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr,
                                         hInstance, nullptr));
    if (hNotify) {
        ::SetWindowLongPtrW(hNotify.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        const HWND hProgress = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 200, 16, hNotify.get(),
                                                 nullptr, hInstance, nullptr);
        if (hProgress) {
            ::SetWindowLongPtrW(hProgress, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->m_pfnProgressProc = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(hProgress, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ProgressProc)));
            self->m_hProgress = hProgress;
        }
        self->m_hNotify = hNotify.get();
    }
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue exists before anyone posts
    ::SetEvent(self->m_hReady.get());
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&msg);
    return 0; // hNotify takes its child with it
}

LRESULT CALLBACK MessageReceiver::NotifyProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MessageReceiver* const self = ReceiverOf(hWnd);
    if (!self || message < WM_USER)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    self->Take(hWnd, message, wParam, lParam);
    return 0;
}

LRESULT CALLBACK MessageReceiver::ProgressProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MessageReceiver* const self = ReceiverOf(hWnd);
    if (message >= WM_USER)
        self->Take(hWnd, message, wParam, lParam);
    return ::CallWindowProcW(self->m_pfnProgressProc, hWnd, message, wParam, lParam);
}

void MessageReceiver::Take(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnObserver)
        m_pfnObserver(m_pContext, hWnd, message, wParam, lParam);
    if (message == WM_DOWNLOAD_PROGRESS && hWnd == m_hNotify)
        ++m_nProgressCount;
    if (EndsARun(message)) {
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        m_nEndTime = now.QuadPart;
        m_nEndMessage = message;
        ::SetEvent(m_hEnded.get());
    }
}

UINT MessageReceiver::WaitForEnd(DWORD dwTimeoutMs) const
{
    return ::WaitForSingleObject(m_hEnded.get(), dwTimeoutMs) == WAIT_OBJECT_0 ? m_nEndMessage.load() : 0;
}

MessageSink::MessageSink() : m_receiver(&Record, this)
{
}

void MessageSink::Record(void* pContext, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<MessageSink*>(pContext);
    const RecordedMessage recorded = {hWnd, message, wParam, lParam, ::InSendMessage() != FALSE};
    ::AcquireSRWLockExclusive(&self->m_lock);
    self->m_messages.push_back(recorded);
    ::ReleaseSRWLockExclusive(&self->m_lock);
    if (self->onMessage)
        self->onMessage(recorded);
}

std::vector<RecordedMessage> MessageSink::Messages() const
{
    ::AcquireSRWLockShared(&m_lock);
    std::vector<RecordedMessage> copy = m_messages;
    ::ReleaseSRWLockShared(&m_lock);
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
        if ((m.message == PBM_SETPOS) != (m.hWnd == Progress()))
            text += " (wrong window)";
        if (m.lParam != 0)
            text += " (lParam " + std::to_string(m.lParam) + ")";
        summary.push_back(text);
    }
    return summary;
}
