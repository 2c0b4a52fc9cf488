#pragma once
// CButton: a push button borrowed from a dialog (SubclassDlgItem) or created as
// a child. An owner-drawn button (BS_OWNERDRAW) is drawn by its DrawItem: the
// parent's WM_DRAWITEM for this button is handed to it (CWnd::OnDrawItem ->
// OnChildNotify), so the drawing lives with the button, not with the dialog.

#include "framework/Wnd.h"

class CButton : public CWnd
{
    DECLARE_DYNAMIC(CButton)

public:
    CButton() = default;

    // Creates a button of the system class "Button" (BS_xxx styles in dwStyle).
    BOOL Create(LPCWSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    UINT GetButtonStyle() const { return static_cast<UINT>(GetStyle()) & 0xFFFFu; }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }

    // Owner-draw hook: draw the button into lpDrawItemStruct->hDC. Runs on the UI
    // thread while the parent handles WM_DRAWITEM. The base draws nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

protected:
    using CWnd::Create;

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
