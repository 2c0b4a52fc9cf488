#pragma once
// Where the installer dialog puts its controls and pictures. Pure arithmetic
// on the measured client area and the logo's size, so that the numbers can be
// checked without a window.

#include "framework/Geometry.h"

// Boxes in client coordinates of the dialog.
struct DialogLayout
{
    CRect rcTitle;       // IDC_TITLE
    CRect rcDescription; // IDC_DESCRIPTION
    CRect rcFileStatus;  // IDC_FILE_STATUS
    CRect rcPercent;     // IDC_PERCENT: lies over the right end of the file status line
    CRect rcProgress;    // IDC_SKIN_PROGRESS
    CRect rcCancel;      // IDCANCEL
};

// The controls of a client area nClientWidth wide, below a logo nLogoHeight
// high: the heading and description at fixed places near the top, the file
// line, the percentage, the bar and the button stacked under the logo. In the
// 474-pixel-wide dialog with the 107-pixel logo the button sits at
// (199, 252), 75 x 25.
// bRightToLeft: the file line reads right to left and is aligned right; it
// then ends where the percentage begins, so that its text never runs under it.
// Nothing else moves: the arrangement is not mirrored.
DialogLayout ComputeDialogLayout(int nClientWidth, int nLogoHeight, BOOL bRightToLeft = FALSE);

// Top-left corner of a picture of size szPicture centred in a client area of
// size szClient, halves truncated toward zero: the logo (101 x 107) lands at
// (186, 89) in 474 x 285.
CPoint CenteredOrigin(CSize szClient, CSize szPicture);

// Top-left corner of the icon painted into a minimised window: the half of
// (client − icon + 1), truncated toward zero.
CPoint MinimizedIconOrigin(CSize szClient, CSize szIcon);
