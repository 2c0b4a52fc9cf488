#pragma once
// CWnd: a C++ object that borrows a window handle and answers its messages
// through its class's message map.
//
// The object is attached to its HWND in exactly one place, CWnd::Attach, which
// creation (WM_NCCREATE), dialog start-up (WM_INITDIALOG) and subclassing all
// go through; WM_NCDESTROY detaches it and puts the window's original procedure
// back. Messages the map does not answer, and handlers that call Default(), go
// to that original procedure (DefWindowProc for windows created by Create).
//
// Ownership: a CWnd never owns the window it borrows, with one exception: a
// window made by Create is destroyed by the object's destructor if it still
// exists then. A subclassed control is only given back its procedure.

#include "framework/CString.h"
#include "framework/Geometry.h"
#include "framework/MessageMap.h"
#include "framework/Paint.h"

#include <windows.h>

class CWnd : public CCmdTarget
{
    DECLARE_DYNAMIC(CWnd)

public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object attached to hWnd, or null when none is.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // ---- Creation and take-over -------------------------------------------------

    // Creates a child window of pParentWnd with control ID nID. A null class name
    // uses the framework's default child class: no background brush (a WM_PAINT
    // handler covers the client area), arrow cursor. Any other class is created
    // as it is and subclassed afterwards, so its WM_NCCREATE and WM_CREATE do not
    // reach the map.
    virtual BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                        CWnd* pParentWnd, UINT nID);
    BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID);
    BOOL DestroyWindow();

    // Takes over an existing window: its messages reach this object's map first.
    // FALSE when hWnd is not a window or something is already attached to it.
    BOOL SubclassWindow(HWND hWnd);
    // The same for the control nID of pParent (a dialog).
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    // Gives the window its own procedure back and detaches; returns the window.
    HWND UnsubclassWindow();

    // ---- Message processing -----------------------------------------------------

    // The window's original processing of the message being handled (the one
    // whose handler is running), with its original parameters.
    LRESULT Default();
    // The original processing of any message.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // ---- Window queries and changes ---------------------------------------------

    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    // The child with control ID nID, or null. A plain HWND: there are no
    // temporary CWnd objects; bind a member with DDX_Control to talk to a control.
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }

    void SetWindowText(LPCWSTR lpszString) { ::SetWindowTextW(m_hWnd, lpszString); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    void GetWindowText(CString& rString) const;
    CString GetWindowText() const;

    void SetFont(HFONT hFont, BOOL bRedraw = TRUE);
    HFONT GetFont() const;
    void SetIcon(HICON hIcon, BOOL bBigIcon);

    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }
    // Removes then adds style bits; with nFlags, also SetWindowPos(nFlags |
    // SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) so a frame change
    // shows. TRUE when the style changed.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);

    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
    void ClientToScreen(LPPOINT lpPoint) const { ::ClientToScreen(m_hWnd, lpPoint); }
    void ClientToScreen(LPRECT lpRect) const;
    void ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }
    void ScreenToClient(LPRECT lpRect) const;

    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    // Centres a top-level window on hAlternateOwner, else on its owner when that
    // is visible and not minimised, else on the work area of its monitor; keeps
    // it inside that work area. A child window is centred in its parent.
    void CenterWindow(HWND hAlternateOwner = nullptr);

    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }

    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, lpRect, bErase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }

    HWND SetCapture() { return ::SetCapture(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

protected:
    // Every message of an attached window arrives here: the map first, then the
    // window's original procedure. A class overrides it only to see messages
    // before the map does.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Called by the parent's WM_DRAWITEM (and similar) handling for the child the
    // message is about; TRUE when the child took it, with *pResult set.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // Called after WM_NCDESTROY, once the object is detached.
    virtual void PostNcDestroy() {}

    // Paints the client area through the off-screen path: into hdcPrint when
    // given (WM_PRINTCLIENT), else through BeginPaint/EndPaint (WM_PAINT). Pass
    // the OnPaint handler's argument.
    void PaintClient(HDC hdcPrint, const PaintCompose& compose);

    // The one place an object is tied to its window; pfnOriginal is the procedure
    // Default() calls (the window's own before a take-over).
    void Attach(HWND hWnd, WNDPROC pfnOriginal);

    // Default handlers: the original processing of the message. A derived class
    // that answers a message usually calls its base's handler for the rest.
    int OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
    void OnDestroy() { Default(); }
    void OnClose() { Default(); }
    void OnPaint(HDC) { Default(); }
    BOOL OnEraseBkgnd(HDC) { return static_cast<BOOL>(Default()); }
    void OnSize(UINT, int, int) { Default(); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
    void OnTimer(UINT_PTR) { Default(); }
    HBRUSH OnCtlColor(HDC, HWND, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
    // Hands the request to the owner-drawn child it is about (OnChildNotify);
    // the original processing when that child is not one of ours.
    void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    void OnSetFocus(HWND) { Default(); }
    void OnKillFocus(HWND) { Default(); }
    void OnCaptureChanged(HWND) { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnLButtonDown(UINT, CPoint) { Default(); }
    void OnLButtonUp(UINT, CPoint) { Default(); }
    void OnLButtonDblClk(UINT, CPoint) { Default(); }
    void OnMouseHover(UINT, CPoint) { Default(); }
    void OnMouseLeave() { Default(); }

    BEGIN_MSG_MAP(CWnd, CCmdTarget)
        ON_WM_DRAWITEM()
    END_MSG_MAP()

private:
    friend class CDialog;

    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // WindowProc with the exception barrier and the WM_NCDESTROY detach.
    LRESULT CallWindowProcGuarded(UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();
    static LPCWSTR RegisterDefaultClass();

    WNDPROC m_pfnSuper = nullptr;   // original procedure; null when not attached
    bool m_bProcReplaced = false;   // WndProc was put in place of m_pfnSuper
    bool m_bCreatedHere = false;    // made by Create: destroyed with the object
    MSG m_msgCurrent{};           // the message whose handler runs now, for Default()
};
