#include "ui/ZULTolpButton.h"

#include "framework/Afx.h"
#include "ui/SkinRun.h"

#include <commctrl.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

IMPLEMENT_DYNAMIC(CZULTolpButton, CButton)

namespace {

// The edges are 3 pixels wide by design of the drawing, not measured.
constexpr int kEdgeWidth = 3;

// 1 ms: the hover look comes as soon as the cursor rests on the button.
constexpr DWORD kHoverTimeMs = 1;

} // namespace

CZULTolpButton::CZULTolpButton()
    : m_crText{RGB(73, 73, 73), RGB(0, 0, 0), RGB(255, 255, 255), RGB(41, 41, 41)}
{
}

CZULTolpButton::~CZULTolpButton() = default;

BOOL CZULTolpButton::SetStateImages(int nLook, UINT nIDLeft, UINT nIDCentre, UINT nIDRight)
{
    if (nLook < 0 || nLook >= LOOK_COUNT)
        return FALSE;
    SkinImage* const pieces = m_pImgPieces[nLook];
    const UINT nIDs[PIECE_COUNT] = {nIDLeft, nIDCentre, nIDRight};
    for (int nPiece = 0; nPiece < PIECE_COUNT; ++nPiece)
        pieces[nPiece] = LoadPngImage(nIDs[nPiece], AfxGetInstanceHandle());

    if (pieces[PIECE_LEFT]) {
        m_nImageWidth = static_cast<int>(pieces[PIECE_LEFT].GetWidth());
        m_nImageHeight = static_cast<int>(pieces[PIECE_LEFT].GetHeight());
        if (IsWindow())
            SetWindowPos(nullptr, 0, 0, m_nImageWidth, m_nImageHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return pieces[PIECE_LEFT] && pieces[PIECE_CENTRE] && pieces[PIECE_RIGHT];
}

int CZULTolpButton::ChooseLook() const
{
    if (m_bHover)
        return LOOK_HOVER;
    if (m_bPressed)
        return LOOK_PRESSED;
    if (!IsWindowEnabled())
        return LOOK_DISABLED;
    return LOOK_NORMAL;
}

void CZULTolpButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    // The whole client area is drawn; the item box and state are not used.
    CRect rcClient;
    GetClientRect(&rcClient);
    PaintInto(lpDrawItemStruct->hDC, rcClient, [this](PaintBuffer& buffer) { Compose(buffer); });
}

// A picture that failed to load is left out (the rest of the face and the text
// are drawn), as is a piece whose drawing fails.
void CZULTolpButton::Compose(PaintBuffer& buffer) const
{
    const HDC hdc = buffer.hdc;
    const int nWidth = buffer.rc.Width();
    ::SetBkMode(hdc, TRANSPARENT);
    const int nLook = ChooseLook();
    {
        UniqueGpGraphics graphics;
        if (GdipCreateFromHDC(hdc, graphics.put()) == Ok) {
            GpGraphics* const pGraphics = graphics.get();
            GdipGraphicsClear(pGraphics, 0xFFFFFFFF);
            const SkinImage* const pieces = m_pImgPieces[nLook];
            DrawSkinRun(pGraphics, {pieces[PIECE_LEFT], pieces[PIECE_CENTRE], pieces[PIECE_RIGHT]}, kEdgeWidth,
                        nWidth - kEdgeWidth);
        }
        // GDI+ lets go of the DC here, before GDI writes the text into it.
    }

    // In a mirrored DC the buffer's columns are off by one; the copy reads from -1.
    if (::GetLayout(hdc) & LAYOUT_RTL)
        buffer.nSourceX = -1;

    const CString strText = GetWindowText();
    const SelectGuard selectFont = SelectInto(hdc, GetFont());
    ::SetTextColor(hdc, m_crText[nLook]);
    CRect rcText = buffer.rc;
    ::DrawTextW(hdc, strText, -1, &rcText, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

BOOL CZULTolpButton::OnEraseBkgnd(HDC)
{
    // The paint covers every pixel; erasing first would only flicker.
    return TRUE;
}

void CZULTolpButton::OnMouseMove(UINT, CPoint)
{
    if (!m_bTracking) {
        TRACKMOUSEEVENT tme{};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        tme.dwHoverTime = kHoverTimeMs;
        // A refused request leaves the flag clear, so the next move asks again.
        m_bTracking = ::_TrackMouseEvent(&tme) ? TRUE : FALSE;
    }
    Default();
}

void CZULTolpButton::OnMouseHover(UINT, CPoint)
{
    m_bHover = TRUE;
    Invalidate(TRUE);
}

void CZULTolpButton::OnMouseLeave()
{
    m_bTracking = FALSE;
    m_bHover = FALSE;
    Invalidate(TRUE);
}

void CZULTolpButton::OnLButtonDown(UINT, CPoint)
{
    m_bHover = FALSE;
    m_bPressed = TRUE;
    SetCapture();
    Invalidate(TRUE);
    Default();
}

void CZULTolpButton::OnLButtonUp(UINT, CPoint)
{
    // The hover look stays until a leave notification, wherever the cursor is.
    m_bHover = TRUE;
    m_bPressed = FALSE;
    Invalidate(TRUE);
    Default();
    ::ReleaseCapture();
}

void CZULTolpButton::OnSetFocus(HWND)
{
    Default();
    Invalidate(TRUE);
}

void CZULTolpButton::OnKillFocus(HWND)
{
    Default();
    Invalidate(TRUE);
}
