#include "ui/CustomProgress.h"

#include "framework/Afx.h"

#include <algorithm>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

IMPLEMENT_DYNAMIC(CCustomProgress, CWnd)

namespace {

// Draws a piece into a box of its own pixel size, measured afresh: the fill
// pieces carry a 72-dpi tag that must never scale them.
void DrawPiece(GpGraphics* pGraphics, const SkinImage& piece, int x)
{
    piece.DrawInBox(pGraphics, x, 0, static_cast<int>(piece.GetWidth()), static_cast<int>(piece.GetHeight()));
}

} // namespace

CCustomProgress::CCustomProgress()
    : m_pImgTrack(LoadPngImage(147, AfxGetInstanceHandle())),
      m_pImgFillLeft(LoadPngImage(148, AfxGetInstanceHandle())),
      m_pImgFillCentre(LoadPngImage(149, AfxGetInstanceHandle())),
      m_pImgFillRight(LoadPngImage(150, AfxGetInstanceHandle()))
{
}

CCustomProgress::~CCustomProgress()
{
    m_pImgTrack.Release();
    m_pImgFillLeft.Release();
    m_pImgFillCentre.Release();
    m_pImgFillRight.Release();
}

void CCustomProgress::OnPaint()
{
    PaintClient([this](PaintBuffer& buffer) { Compose(buffer); });
}

void CCustomProgress::PaintTo(HDC hdc)
{
    CRect rcClient;
    GetClientRect(&rcClient);
    PaintInto(hdc, rcClient, [this](PaintBuffer& buffer) { Compose(buffer); });
}

// Every piece sits at y = 0. A picture that failed to load is left out of the
// paint (the rest is drawn): without the track there is no scale for the fill,
// and a centre strip of width 0 would never advance the run, so either one
// missing leaves the whole fill out.
void CCustomProgress::Compose(PaintBuffer& buffer) const
{
    UniqueGpGraphics graphics;
    if (GdipCreateFromHDC(buffer.hdc, graphics.put()) != Ok)
        return;
    GpGraphics* const pGraphics = graphics.get();
    GdipGraphicsClear(pGraphics, 0xFFFFFFFF);
    m_pImgTrack.Draw(pGraphics, 0, 0);

    const int nTrackWidth = static_cast<int>(m_pImgTrack.GetWidth());
    const int nLeftWidth = static_cast<int>(m_pImgFillLeft.GetWidth());
    const int nCentreWidth = static_cast<int>(m_pImgFillCentre.GetWidth());
    const int nRightWidth = static_cast<int>(m_pImgFillRight.GetWidth());
    const double step = nTrackWidth / 100.0;

    if (m_nPos <= 0 || nTrackWidth == 0 || nCentreWidth == 0)
        return;
    DrawPiece(pGraphics, m_pImgFillLeft, 0);
    if (m_nPos == 1)
        return;

    if (m_nPos == 100) {
        // The full bar fits the track exactly, whatever the strip's width.
        const int nStrips = nTrackWidth - nRightWidth - nLeftWidth;
        for (int i = 0; i < nStrips; ++i)
            DrawPiece(pGraphics, m_pImgFillCentre, nLeftWidth + i);
        DrawPiece(pGraphics, m_pImgFillRight, nTrackWidth - nRightWidth);
        return;
    }

    // Beyond the client area nothing shows: capping the run there keeps an
    // absurd position from turning into billions of draw calls (and from
    // overflowing the conversion to int) without changing a visible pixel.
    const double fillExact = (m_nPos - 1) * step;
    const int nFill = static_cast<int>(std::min(fillExact, static_cast<double>(buffer.rc.Width())));
    for (int i = 0; i < nFill; i += nCentreWidth)
        DrawPiece(pGraphics, m_pImgFillCentre, nLeftWidth + i);
    DrawPiece(pGraphics, m_pImgFillRight, nLeftWidth + nFill);
}
