#include "ui/CustomProgress.h"

#include "framework/Afx.h"
#include "res/resource.h"
#include "ui/SkinRun.h"

#include <algorithm>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

IMPLEMENT_DYNAMIC(CCustomProgress, CWnd)

CCustomProgress::CCustomProgress()
    : m_pImgTrack(LoadPngImage(IDB_PROGRESS_TRACK, AfxGetInstanceHandle())),
      m_pImgFillLeft(LoadPngImage(IDB_PROGRESS_FILL_LEFT, AfxGetInstanceHandle())),
      m_pImgFillCentre(LoadPngImage(IDB_PROGRESS_FILL_CENTRE, AfxGetInstanceHandle())),
      m_pImgFillRight(LoadPngImage(IDB_PROGRESS_FILL_RIGHT, AfxGetInstanceHandle()))
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
    if (m_nPos == 1) {
        m_pImgFillLeft.Draw(pGraphics, 0, 0);
        return;
    }

    const SkinRun fill = {m_pImgFillLeft, m_pImgFillCentre, m_pImgFillRight};
    if (m_nPos == 100) {
        // The full bar fits the track exactly, whatever the strip's width.
        DrawSkinRun(pGraphics, fill, nLeftWidth, nTrackWidth - nRightWidth);
        return;
    }

    // Beyond the client area nothing shows: capping the run there keeps an
    // absurd position from turning into billions of draw calls (and from
    // overflowing the conversion to int) without changing a visible pixel.
    const double fillExact = (m_nPos - 1) * step;
    const int nFill = static_cast<int>(std::min(fillExact, static_cast<double>(buffer.rc.Width())));
    DrawSkinRun(pGraphics, fill, nLeftWidth, nLeftWidth + nFill, nCentreWidth);
}
