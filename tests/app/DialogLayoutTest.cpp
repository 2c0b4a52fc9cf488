#include "ui/DialogLayout.h"

#include <gtest/gtest.h>

namespace {

// The installer's window is 474 x 285 (the background less one pixel each way)
// with a 101 x 107 logo.
TEST(DialogLayoutTest, InstallerWindowMatchesItsTable)
{
    const DialogLayout layout = ComputeDialogLayout(474, 107);
    EXPECT_EQ(layout.rcTitle, CRect(20, 50, 454, 65));
    EXPECT_EQ(layout.rcDescription, CRect(20, 70, 454, 85));
    EXPECT_EQ(layout.rcFileStatus, CRect(20, 207, 454, 222));
    EXPECT_EQ(layout.rcPercent, CRect(404, 207, 454, 222));
    EXPECT_EQ(layout.rcProgress, CRect(20, 227, 464, 237));
    EXPECT_EQ(layout.rcCancel, CRect(199, 252, 274, 277));
}

TEST(DialogLayoutTest, LowerRowsFollowTheLogoAndWidthsTheClient)
{
    const DialogLayout layout = ComputeDialogLayout(300, 0);
    EXPECT_EQ(layout.rcTitle, CRect(20, 50, 280, 65));
    EXPECT_EQ(layout.rcFileStatus, CRect(20, 100, 280, 115));
    EXPECT_EQ(layout.rcPercent, CRect(230, 100, 280, 115));
    EXPECT_EQ(layout.rcProgress, CRect(20, 120, 290, 130));
    EXPECT_EQ(layout.rcCancel, CRect(112, 145, 187, 170));
}

// A file line read from right to left is aligned right: it ends where the
// percentage begins instead of running under it. Nothing else moves.
TEST(DialogLayoutTest, RightToLeftFileLineStopsAtThePercentage)
{
    const DialogLayout leftToRight = ComputeDialogLayout(474, 107);
    const DialogLayout rightToLeft = ComputeDialogLayout(474, 107, TRUE);
    EXPECT_EQ(rightToLeft.rcFileStatus, CRect(20, 207, 404, 222));
    EXPECT_EQ(rightToLeft.rcFileStatus.right, rightToLeft.rcPercent.left);
    EXPECT_EQ(rightToLeft.rcTitle, leftToRight.rcTitle);
    EXPECT_EQ(rightToLeft.rcDescription, leftToRight.rcDescription);
    EXPECT_EQ(rightToLeft.rcPercent, leftToRight.rcPercent);
    EXPECT_EQ(rightToLeft.rcProgress, leftToRight.rcProgress);
    EXPECT_EQ(rightToLeft.rcCancel, leftToRight.rcCancel);
}

// A client narrower than the button: the halving truncates toward zero.
TEST(DialogLayoutTest, ButtonCentringTruncatesTowardZero)
{
    EXPECT_EQ(ComputeDialogLayout(74, 107).rcCancel.left, 0);  // -1 / 2
    EXPECT_EQ(ComputeDialogLayout(72, 107).rcCancel.left, -1); // -3 / 2
}

TEST(DialogLayoutTest, PicturesAndIconAreCentred)
{
    EXPECT_EQ(CenteredOrigin(CSize(474, 285), CSize(101, 107)), CPoint(186, 89));
    EXPECT_EQ(CenteredOrigin(CSize(50, 50), CSize(101, 107)), CPoint(-25, -28));
    EXPECT_EQ(MinimizedIconOrigin(CSize(160, 28), CSize(32, 32)), CPoint(64, -1));
    EXPECT_EQ(MinimizedIconOrigin(CSize(33, 33), CSize(32, 32)), CPoint(1, 1));
}

} // namespace
