#include "ui/CustomProgress.h"

#include "framework/Afx.h"

#include <algorithm>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

IMPLEMENT_DYNAMIC(CCustomProgress, CWnd)

CCustomProgress::CCustomProgress()
    : m_pImgTrack(LoadPngImage(147, AfxGetInstanceHandle())),
      m_pImgFillLeft(LoadPngImage(148, AfxGetInstanceHandle())),
      m_pImgFillCentre(LoadPngImage(149, AfxGetInstanceHandle())),
      m_pImgFillRight(LoadPngImage(150, AfxGetInstanceHandle()))
{
}

CCustomProgress::~CCustomProgress() = default;

void CCustomProgress::OnPaint(HDC hdcPrint)
{
    PaintClient(hdcPrint, [this](PaintBuffer& buffer) { Compose(buffer); });
}

// Every piece sits at y = 0, drawn at its own pixel size (the fill pieces carry
// a 72-dpi tag that must never scale them). A picture that failed to load is
// left out of the paint (the rest is drawn): without the track there is no
// scale for the fill, and a centre strip of width 0 would never advance the
// run, so either one missing leaves the whole fill out.
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
    m_pImgFillLeft.Draw(pGraphics, 0, 0);
    if (m_nPos == 1)
        return;

    if (m_nPos == 100) {
        // The full bar fits the track exactly, whatever the strip's width.
        const int nStrips = nTrackWidth - nRightWidth - nLeftWidth;
        for (int i = 0; i < nStrips; ++i)
            m_pImgFillCentre.Draw(pGraphics, nLeftWidth + i, 0);
        m_pImgFillRight.Draw(pGraphics, nTrackWidth - nRightWidth, 0);
        return;
    }

    // Beyond the client area nothing shows: capping the run there keeps an
    // absurd position from turning into billions of draw calls (and from
    // overflowing the conversion to int) without changing a visible pixel.
    const double fillExact = (m_nPos - 1) * step;
    const int nFill = static_cast<int>(std::min(fillExact, static_cast<double>(buffer.rc.Width())));
    for (int i = 0; i < nFill; i += nCentreWidth)
        m_pImgFillCentre.Draw(pGraphics, nLeftWidth + i, 0);
    m_pImgFillRight.Draw(pGraphics, nLeftWidth + nFill, 0);
}
