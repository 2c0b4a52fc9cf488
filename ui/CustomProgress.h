#pragma once
// CCustomProgress: the visible progress bar of the installer dialog, drawn from
// skin pictures: a fixed track and an orange fill made of a left cap, a run of
// one-pixel centre strips and a right cap.
//
// It has no range and no messages of its own: the owner writes the percentage
// into m_nPos and invalidates the window. UI thread only.

#include "framework/Wnd.h"
#include "ui/SkinImage.h"

class CCustomProgress : public CWnd
{
    DECLARE_DYNAMIC(CCustomProgress)

public:
    // Loads pictures 147..150 from the program's resources; GDI+ must be running.
    CCustomProgress();
    // Releases the four pictures (track, left cap, centre strip, right cap).
    ~CCustomProgress() override;

    // Position in percent, written by the owner. 0 and below show the empty
    // track; above 100 the fill runs on past the track and is cut off at the
    // control's edge.
    int m_nPos = 0;

protected:
    void OnPaint(HDC hdcPrint);

    BEGIN_MSG_MAP(CCustomProgress, CWnd)
        ON_WM_PAINT()
    END_MSG_MAP()

private:
    void Compose(PaintBuffer& buffer) const;

    SkinImage m_pImgTrack;      // 147, 436 x 8
    SkinImage m_pImgFillLeft;   // 148, 5 x 7
    SkinImage m_pImgFillCentre; // 149, 1 x 7
    SkinImage m_pImgFillRight;  // 150, 5 x 7
};
