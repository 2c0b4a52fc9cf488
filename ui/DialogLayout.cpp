#include "ui/DialogLayout.h"

namespace {

// Margins and heights of the dialog's arrangement, in pixels.
constexpr int MARGIN = 20;       // left edge of every text and of the bar
constexpr int LINE_HEIGHT = 15;  // every text line
constexpr int PERCENT_WIDTH = 50;
constexpr int PERCENT_RIGHT_GAP = 70; // the percentage starts this far from the right edge
constexpr int PROGRESS_HEIGHT = 10;
constexpr int PROGRESS_RIGHT_GAP = 30; // the bar reaches 10 pixels closer to the right edge than the texts
constexpr int BUTTON_WIDTH = 75;
constexpr int BUTTON_HEIGHT = 25;
// Rows measured from the top of the client area, or from the logo's height.
constexpr int TITLE_TOP = 50;
constexpr int DESCRIPTION_TOP = 70;
constexpr int FILE_LINE_BELOW_LOGO = 100;
constexpr int PROGRESS_BELOW_LOGO = 120;
constexpr int BUTTON_BELOW_LOGO = 145;

CRect Box(int x, int y, int cx, int cy)
{
    return CRect(x, y, x + cx, y + cy);
}

} // namespace

DialogLayout ComputeDialogLayout(int nClientWidth, int nLogoHeight, BOOL bRightToLeft)
{
    const int nTextWidth = nClientWidth - 2 * MARGIN;
    DialogLayout layout;
    layout.rcTitle = Box(MARGIN, TITLE_TOP, nTextWidth, LINE_HEIGHT);
    layout.rcDescription = Box(MARGIN, DESCRIPTION_TOP, nTextWidth, LINE_HEIGHT);
    layout.rcFileStatus = Box(MARGIN, nLogoHeight + FILE_LINE_BELOW_LOGO, nTextWidth, LINE_HEIGHT);
    layout.rcPercent = Box(nClientWidth - PERCENT_RIGHT_GAP, nLogoHeight + FILE_LINE_BELOW_LOGO, PERCENT_WIDTH,
                           LINE_HEIGHT);
    if (bRightToLeft)
        layout.rcFileStatus.right = layout.rcPercent.left;
    layout.rcProgress = Box(MARGIN, nLogoHeight + PROGRESS_BELOW_LOGO, nClientWidth - PROGRESS_RIGHT_GAP,
                            PROGRESS_HEIGHT);
    layout.rcCancel = Box((nClientWidth - BUTTON_WIDTH) / 2, nLogoHeight + BUTTON_BELOW_LOGO, BUTTON_WIDTH,
                          BUTTON_HEIGHT);
    return layout;
}

CPoint CenteredOrigin(CSize szClient, CSize szPicture)
{
    return CPoint((szClient.cx - szPicture.cx) / 2, (szClient.cy - szPicture.cy) / 2);
}

CPoint MinimizedIconOrigin(CSize szClient, CSize szIcon)
{
    return CPoint((szClient.cx - szIcon.cx + 1) / 2, (szClient.cy - szIcon.cy + 1) / 2);
}
