#pragma once
// CZULTolpButton: an owner-drawn push button whose face is built from skin
// pictures (left edge, one-pixel centre strips, right edge) in one of four
// looks, with its window text drawn over it in the look's colour.
//
// The look follows the button's own hover and pressed flags, kept from the
// mouse messages it receives (hover and leave come from _TrackMouseEvent), and
// the window's enabled state; the item state of the draw request is not used,
// and no focus mark is drawn. UI thread only.

#include "framework/Button.h"
#include "ui/SkinImage.h"

class CZULTolpButton : public CButton
{
    DECLARE_DYNAMIC(CZULTolpButton)

public:
    // Look indices.
    enum { LOOK_NORMAL = 0, LOOK_HOVER = 1, LOOK_PRESSED = 2, LOOK_DISABLED = 3, LOOK_COUNT = 4 };
    // Piece indices within a look.
    enum { PIECE_LEFT = 0, PIECE_CENTRE = 1, PIECE_RIGHT = 2, PIECE_COUNT = 3 };

    CZULTolpButton();
    // Releases all twelve pictures.
    ~CZULTolpButton() override;

    // Loads the three pictures of look nLook (left, centre, right) from the
    // program's resources, remembers the left edge's size and gives the window
    // that size without moving it. When the left edge fails to load the window
    // keeps its size (the size of nothing is no size to give a button). TRUE
    // when all three pictures loaded.
    BOOL SetStateImages(int nLook, UINT nIDLeft, UINT nIDCentre, UINT nIDRight);

    // The look a paint would use now: hover wins over pressed, and a disabled
    // window shows the disabled look only when neither flag is set.
    int ChooseLook() const;

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

protected:
    BOOL OnEraseBkgnd(HDC hDC);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnMouseHover(UINT nFlags, CPoint point);
    void OnMouseLeave();
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnSetFocus(HWND hOldWnd);
    void OnKillFocus(HWND hNewWnd);

    BEGIN_MSG_MAP(CZULTolpButton, CButton)
        ON_WM_ERASEBKGND()
        ON_WM_MOUSEMOVE()
        ON_WM_MOUSEHOVER()
        ON_WM_MOUSELEAVE()
        ON_WM_LBUTTONDOWN()
        ON_WM_LBUTTONUP()
        ON_WM_SETFOCUS()
        ON_WM_KILLFOCUS()
    END_MSG_MAP()

    SkinImage m_pImgPieces[LOOK_COUNT][PIECE_COUNT];
    int m_nImageWidth = 0;  // left edge of the look assigned last
    int m_nImageHeight = 0;
    COLORREF m_crText[LOOK_COUNT];
    BOOL m_bHover = FALSE;    // the hover look is wanted
    BOOL m_bTracking = FALSE; // a hover-and-leave tracking request is active
    BOOL m_bPressed = FALSE;  // the pressed look is wanted

private:
    void Compose(PaintBuffer& buffer) const;
};
