#include "framework/Wnd.h"

#include "framework/Afx.h"
#include "framework/Exception.h"
#include "framework/FrameworkResource.h"
#include "framework/WinApp.h"

#include <atomic>

IMPLEMENT_DYNAMIC(CWnd, CObject)

namespace {

// The window property that carries the attached object.
const wchar_t kPropObject[] = L"Quilmer.CWnd";

// Shows the framework's generic failure text for an exception that reached a
// window procedure. Reporting must not throw in turn: whatever it raises is
// swallowed here, since nothing above the window procedure could take it.
void ReportEscapedException(CException* pException) noexcept
{
    try {
        if (pException) {
            pException->ReportError(MB_ICONSTOP, AFX_IDP_INTERNAL_FAILURE);
            pException->Delete();
        } else {
            AfxMessageBox(AFX_IDP_INTERNAL_FAILURE, MB_ICONSTOP);
        }
    } catch (...) {
        ::OutputDebugStringW(L"Exception while reporting an exception from a window procedure\r\n");
    }
}

} // namespace

CWnd::~CWnd()
{
    if (!m_hWnd)
        return;
    if (m_bCreatedHere)
        ::DestroyWindow(m_hWnd); // detaches on WM_NCDESTROY
    if (m_hWnd)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? static_cast<CWnd*>(::GetPropW(hWnd, kPropObject)) : nullptr;
}

void CWnd::Attach(HWND hWnd, WNDPROC pfnOriginal)
{
    ::SetPropW(hWnd, kPropObject, this);
    m_hWnd = hWnd;
    m_pfnSuper = pfnOriginal;

    // The application's message boxes are owned by its main window once that
    // window exists.
    CWinApp* pApp = AfxGetApp();
    if (pApp && pApp->m_pMainWnd == this)
        AfxSetMainWindowHandle(hWnd);
}

void CWnd::Detach()
{
    if (!m_hWnd)
        return;
    // Only give the procedure back when nobody has subclassed on top of us;
    // otherwise their chain still ends in WndProc, which then passes messages
    // to DefWindowProc.
    if (m_bProcReplaced &&
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC)) == &CWnd::WndProc)
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::RemovePropW(m_hWnd, kPropObject);
    if (AfxGetMainWindowHandle() == m_hWnd)
        AfxSetMainWindowHandle(nullptr);

    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_bProcReplaced = false;
    m_bCreatedHere = false;
}

LPCWSTR CWnd::RegisterDefaultClass()
{
    static const wchar_t kClassName[] = L"QuilmerWnd";
    // Registered on first use. A second registration, from a thread that raced
    // the first, finds the class there already, which is as good.
    static std::atomic<bool> s_bRegistered{false};
    if (!s_bRegistered.load(std::memory_order_acquire)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &CWnd::WndProc;
        wc.hInstance = AfxGetInstanceHandle();
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = nullptr; // the window's WM_PAINT covers the whole client area
        wc.lpszClassName = kClassName;
        if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
        s_bRegistered.store(true, std::memory_order_release);
    }
    return kClassName;
}

BOOL CWnd::Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID)
{
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle, rect, pParentWnd, nID);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    if (m_hWnd)
        return FALSE;
    HWND hParent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
    HMENU hMenuOrId = (dwStyle & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)) : nullptr;
    const CRect rc(rect);

    if (!lpszClassName) {
        LPCWSTR pszClass = RegisterDefaultClass();
        if (!pszClass)
            return FALSE;
        // WndProc attaches this object on WM_NCCREATE from lpCreateParams.
        HWND hWnd = ::CreateWindowExW(dwExStyle, pszClass, lpszWindowName ? lpszWindowName : L"", dwStyle,
                                      rc.left, rc.top, rc.Width(), rc.Height(), hParent, hMenuOrId,
                                      AfxGetInstanceHandle(), this);
        if (!hWnd || m_hWnd != hWnd)
            return FALSE;
        m_bCreatedHere = true;
        return TRUE;
    }

    HWND hWnd = ::CreateWindowExW(dwExStyle, lpszClassName, lpszWindowName ? lpszWindowName : L"", dwStyle,
                                  rc.left, rc.top, rc.Width(), rc.Height(), hParent, hMenuOrId,
                                  AfxGetInstanceHandle(), nullptr);
    if (!hWnd)
        return FALSE;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    m_bCreatedHere = true;
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (m_hWnd || !::IsWindow(hWnd) || FromHandlePermanent(hWnd))
        return FALSE;
    // Attached before the procedure changes, so the first message that reaches
    // WndProc finds the object.
    Attach(hWnd, reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC)));
    ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WndProc));
    m_bProcReplaced = true;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (!pParent || !pParent->m_hWnd)
        return FALSE;
    HWND hControl = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hControl ? SubclassWindow(hControl) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    Detach();
    return hWnd;
}

LRESULT CALLBACK CWnd::WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd && message == WM_NCCREATE) {
        // Only CreateEx makes windows of the default class, and it passes itself.
        const auto* pCreate = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        pWnd = static_cast<CWnd*>(pCreate->lpCreateParams);
        if (pWnd)
            pWnd->Attach(hWnd, &::DefWindowProcW);
    }
    if (!pWnd)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    return pWnd->CallWindowProcGuarded(message, wParam, lParam);
}

LRESULT CWnd::CallWindowProcGuarded(UINT message, WPARAM wParam, LPARAM lParam)
{
    const MSG msgOuter = m_msgCurrent;
    m_msgCurrent = MSG{m_hWnd, message, wParam, lParam, 0, {0, 0}};

    // Exceptions stop here: the platform's code between us and the message
    // loop cannot unwind. What escapes a handler is shown with the framework's
    // generic failure text and the message gets a neutral result.
    LRESULT lResult = 0;
    const auto recover = [&](CException* pException) {
        lResult = (message == WM_CREATE || message == WM_NCCREATE) ? -1 : 0;
        if (message == WM_PAINT)
            ::ValidateRect(m_hWnd, nullptr); // or the report's own message loop paints again, and throws again
        ReportEscapedException(pException);
    };
    try {
        lResult = WindowProc(message, wParam, lParam);
    } catch (CException* pException) {
        recover(pException);
    } catch (...) {
        recover(nullptr);
    }
    if (message == WM_NCCREATE && lResult == -1)
        lResult = FALSE;

    m_msgCurrent = msgOuter;
    if (message == WM_NCDESTROY) {
        Detach();
        PostNcDestroy();
    }
    return lResult;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (DispatchMessageMap(message, wParam, lParam, lResult))
        return lResult;

    if (message == WM_COMMAND) {
        // Commands the main window does not answer go to the application object.
        CWinApp* pApp = AfxGetApp();
        if (pApp && pApp->m_pMainWnd == this && pApp->DispatchMessageMap(message, wParam, lParam, lResult))
            return lResult;
    }
    return DefWindowProc(message, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

LRESULT CWnd::Default()
{
    if (!m_msgCurrent.hwnd)
        return 0;
    return DefWindowProc(m_msgCurrent.message, m_msgCurrent.wParam, m_msgCurrent.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_hWnd)
        return 0;
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

void CWnd::OnDrawItem(int /*nIDCtl*/, LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (lpDrawItemStruct && lpDrawItemStruct->CtlType != ODT_MENU) {
        CWnd* pChild = FromHandlePermanent(lpDrawItemStruct->hwndItem);
        LRESULT lResult = 0;
        if (pChild && pChild->OnChildNotify(WM_DRAWITEM, m_msgCurrent.wParam, m_msgCurrent.lParam, &lResult))
            return;
    }
    Default();
}

void CWnd::PaintClient(HDC hdcPrint, const PaintCompose& compose)
{
    if (hdcPrint) {
        CRect rcClient;
        GetClientRect(&rcClient);
        PaintInto(hdcPrint, rcClient, compose);
    } else {
        PaintWindow(m_hWnd, compose);
    }
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

void CWnd::GetWindowText(CString& rString) const
{
    const int nLength = ::GetWindowTextLengthW(m_hWnd);
    wchar_t* pBuffer = rString.GetBuffer(nLength + 1);
    const int nCopied = ::GetWindowTextW(m_hWnd, pBuffer, nLength + 1);
    rString.ReleaseBuffer(nCopied > 0 ? nCopied : 0);
}

CString CWnd::GetWindowText() const
{
    CString strText;
    GetWindowText(strText);
    return strText;
}

void CWnd::SetFont(HFONT hFont, BOOL bRedraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), MAKELPARAM(bRedraw, 0));
}

HFONT CWnd::GetFont() const
{
    return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
}

void CWnd::SetIcon(HICON hIcon, BOOL bBigIcon)
{
    SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
}

namespace {

// ModifyStyle and ModifyStyleEx: one of the two style words of hWnd.
BOOL ModifyStyleWord(HWND hWnd, int nIndex, DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    const DWORD dwStyle = static_cast<DWORD>(::GetWindowLongW(hWnd, nIndex));
    const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongW(hWnd, nIndex, static_cast<LONG>(dwNewStyle));
    if (nFlags)
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, nFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

} // namespace

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    return ModifyStyleWord(m_hWnd, GWL_STYLE, dwRemove, dwAdd, nFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    return ModifyStyleWord(m_hWnd, GWL_EXSTYLE, dwRemove, dwAdd, nFlags);
}

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(lpRect), 2);
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint)
{
    const CRect rc(*lpRect);
    ::MoveWindow(m_hWnd, rc.left, rc.top, rc.Width(), rc.Height(), bRepaint);
}

BOOL CWnd::SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
{
    return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
}

void CWnd::CenterWindow(HWND hAlternateOwner)
{
    CRect rcWindow;
    GetWindowRect(&rcWindow);

    CRect rcCenter; // what to centre on, in the coordinates of rcBounds
    CRect rcBounds; // what the window must stay inside
    if (GetStyle() & WS_CHILD) {
        HWND hParent = GetParent();
        ::GetClientRect(hParent, &rcBounds);
        ::MapWindowPoints(nullptr, hParent, reinterpret_cast<LPPOINT>(&rcWindow), 2);
        rcCenter = rcBounds;
    } else {
        HWND hOwner = hAlternateOwner ? hAlternateOwner : ::GetWindow(m_hWnd, GW_OWNER);
        if (hOwner && (!::IsWindowVisible(hOwner) || ::IsIconic(hOwner)))
            hOwner = nullptr;

        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        HMONITOR hMonitor = ::MonitorFromWindow(hOwner ? hOwner : m_hWnd, MONITOR_DEFAULTTOPRIMARY);
        if (::GetMonitorInfoW(hMonitor, &mi))
            rcBounds = mi.rcWork;
        else
            ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcBounds, 0);

        if (hOwner)
            ::GetWindowRect(hOwner, &rcCenter);
        else
            rcCenter = rcBounds;
    }

    int x = (rcCenter.left + rcCenter.right) / 2 - rcWindow.Width() / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - rcWindow.Height() / 2;
    // Keep the window inside the bounds; its top-left corner wins when it is
    // larger than they are.
    if (x + rcWindow.Width() > rcBounds.right)
        x = rcBounds.right - rcWindow.Width();
    if (x < rcBounds.left)
        x = rcBounds.left;
    if (y + rcWindow.Height() > rcBounds.bottom)
        y = rcBounds.bottom - rcWindow.Height();
    if (y < rcBounds.top)
        y = rcBounds.top;

    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
