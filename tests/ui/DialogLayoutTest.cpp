#include "ui/DialogLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct LayoutCase
{
    const char* name;
    int cxClient;
    int cyLogo;
    CRect rcTitle, rcDescription, rcFileStatus, rcPercent, rcProgress, rcCancel;
};

class DialogLayoutTable : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(DialogLayoutTable, PlacesEveryControl)
{
    const LayoutCase& c = GetParam();
    const DialogLayout layout = ComputeDialogLayout(c.cxClient, c.cyLogo);
    EXPECT_EQ(layout.rcTitle, c.rcTitle);
    EXPECT_EQ(layout.rcDescription, c.rcDescription);
    EXPECT_EQ(layout.rcFileStatus, c.rcFileStatus);
    EXPECT_EQ(layout.rcPercent, c.rcPercent);
    EXPECT_EQ(layout.rcProgress, c.rcProgress);
    EXPECT_EQ(layout.rcCancel, c.rcCancel);
}

const LayoutCase kLayouts[] = {
    // The installer's window is 474 x 285 (the background less one pixel each
    // way) with a 101 x 107 logo.
    {"installer", 474, 107, CRect(20, 50, 454, 65), CRect(20, 70, 454, 85), CRect(20, 207, 454, 222),
     CRect(404, 207, 454, 222), CRect(20, 227, 464, 237), CRect(199, 252, 274, 277)},
    // The lower rows follow the logo, the widths the client.
    {"no_logo_narrow", 300, 0, CRect(20, 50, 280, 65), CRect(20, 70, 280, 85), CRect(20, 100, 280, 115),
     CRect(230, 100, 280, 115), CRect(20, 120, 290, 130), CRect(112, 145, 187, 170)},
};

INSTANTIATE_TEST_SUITE_P(Clients, DialogLayoutTable, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

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
