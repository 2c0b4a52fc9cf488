#include "SkinTestSupport.h"

#include "framework/Afx.h"
#include "res/resource.h"
#include "ui/CustomProgress.h"

#include <algorithm>
#include <vector>

namespace {

// The dialog's layout gives the bar 444 x 10 while the track is 436 x 8.
constexpr int kWidth = 444;
constexpr int kHeight = 10;
constexpr int kFillHeight = 7;
constexpr int kTrackWidth = 436;
constexpr int kTrackHeight = 8;

class CustomProgressTest : public GdiplusTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateTestParent(m_parent, CRect(100, 100, 100 + 480, 100 + 60)));
        ASSERT_TRUE(m_progress.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 5, 5), &m_parent,
                                      IDC_SKIN_PROGRESS));
        m_progress.MoveWindow(20, 20, kWidth, kHeight);
        for (UINT nID = IDB_PROGRESS_TRACK; nID <= IDB_PROGRESS_FILL_RIGHT; ++nID) {
            m_pictures.push_back(LoadPngImage(nID, AfxGetInstanceHandle()));
            ASSERT_TRUE(m_pictures.back()) << nID;
        }
    }

    // The bar's whole client area into hdc, by the message a parent or a
    // print uses: the same paint handler as WM_PAINT, given that DC.
    void Print(HDC hdc) { m_progress.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT); }

    const SkinImage& Track() const { return m_pictures[0]; }
    const SkinImage& LeftCap() const { return m_pictures[1]; }
    const SkinImage& Strip() const { return m_pictures[2]; }
    const SkinImage& RightCap() const { return m_pictures[3]; }

    CWnd m_parent;
    CCustomProgress m_progress;
    std::vector<SkinImage> m_pictures;
};

// The worked positions: the columns (inclusive) each fill piece covers.
struct Position
{
    int nPos;
    bool bLeftCap;
    int nStripFirst, nStripLast; // nStripFirst > nStripLast: no strips
    int nRightFirst;             // -1: no right cap
};

const Position kPositions[] = {
    {-5, false, 1, 0, -1},
    {0, false, 1, 0, -1},
    {1, true, 1, 0, -1},
    {2, true, 5, 8, 9},
    {26, true, 5, 113, 114},
    {50, true, 5, 217, 218},
    {99, true, 5, 431, 432},
    {100, true, 5, 430, 431},
    {101, true, 5, 440, 441},
};

TEST_F(CustomProgressTest, WorkedPositionsPaintTheirColumns)
{
    for (const Position& position : kPositions) {
        SCOPED_TRACE(::testing::Message() << "position " << position.nPos);
        m_progress.m_nPos = position.nPos;
        DibCanvas dib(kWidth, kHeight);
        Print(dib.dc());

        int nMismatches = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                COLORREF cr = RGB(255, 255, 255);
                if (x < kTrackWidth && y < kTrackHeight)
                    cr = Over(Track(), x, y, cr);
                if (y < kFillHeight) {
                    if (position.bLeftCap && x <= 4)
                        cr = Over(LeftCap(), x, y, cr);
                    if (x >= position.nStripFirst && x <= position.nStripLast)
                        cr = Over(Strip(), 0, y, cr);
                    if (position.nRightFirst >= 0 && x >= position.nRightFirst && x <= position.nRightFirst + 4)
                        cr = Over(RightCap(), x - position.nRightFirst, y, cr);
                }
                const ::testing::AssertionResult same = ColourNear(dib.At(x, y), cr);
                if (!same && ++nMismatches <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << same.message();
            }
        EXPECT_EQ(nMismatches, 0);
    }
}

// The paint must equal, pixel for pixel, the pieces drawn one by one in the
// order of the algorithm: white, the track, the left cap, each one-pixel strip
// of the run, the right cap.
TEST_F(CustomProgressTest, RunEqualsItsStripsDrawnOneByOne)
{
    for (const int nPos : {2, 3, 26, 50, 77, 99, 100, 101, 120}) {
        SCOPED_TRACE(nPos);
        m_progress.m_nPos = nPos;
        DibCanvas painted(kWidth, kHeight);
        Print(painted.dc());

        DibCanvas reference(kWidth, kHeight);
        {
            UniqueGpGraphics graphics;
            ASSERT_EQ(Gdiplus::DllExports::GdipCreateFromHDC(reference.dc(), graphics.put()), Gdiplus::Ok);
            Gdiplus::DllExports::GdipGraphicsClear(graphics.get(), 0xFFFFFFFF);
            Track().Draw(graphics.get(), 0, 0);
            LeftCap().Draw(graphics.get(), 0, 0);
            const int nFill = nPos == 100 ? kTrackWidth - 5 - 5 : std::min(static_cast<int>((nPos - 1) * 4.36), kWidth);
            for (int i = 0; i < nFill; ++i)
                Strip().Draw(graphics.get(), 5 + i, 0);
            RightCap().Draw(graphics.get(), nPos == 100 ? kTrackWidth - 5 : 5 + nFill, 0);
        }
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                ASSERT_EQ(painted.At(x, y), reference.At(x, y)) << x << "," << y;
    }
}

TEST_F(CustomProgressTest, AreaOutsideTheTrackStaysOpaqueWhite)
{
    for (const int nPos : {0, 50, 100}) {
        SCOPED_TRACE(nPos);
        m_progress.m_nPos = nPos;
        DibCanvas dib(kWidth, kHeight);
        Print(dib.dc());
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                if (x >= kTrackWidth || y >= kTrackHeight) {
                    ASSERT_EQ(dib.At(x, y), RGB(255, 255, 255)) << x << "," << y;
                }
            }
        }
    }
}

TEST_F(CustomProgressTest, FillIsOrangeOverTheLightTrack)
{
    m_progress.m_nPos = 50;
    DibCanvas dib(kWidth, kHeight);
    Print(dib.dc());
    const COLORREF crFill = dib.At(100, 3);
    EXPECT_GT(GetRValue(crFill), 220);
    EXPECT_GT(GetGValue(crFill), 100);
    EXPECT_LT(GetGValue(crFill), 190);
    EXPECT_LT(GetBValue(crFill), 90);
    const COLORREF crTrack = dib.At(300, 3);
    EXPECT_GT(GetRValue(crTrack), 200);
    EXPECT_GT(GetBValue(crTrack), 200);
}

TEST_F(CustomProgressTest, AbsurdPositionPaintsLikeAFullRun)
{
    // Past the control's width every position looks the same. The largest
    // position would ask for about nine billion strips: a run left uncapped
    // never ends and the test's time-out reports it, one whose length
    // overflows the conversion to int draws no strips and the pixels differ.
    m_progress.m_nPos = 120;
    DibCanvas expected(kWidth, kHeight);
    Print(expected.dc());

    m_progress.m_nPos = 0x7FFFFFFF;
    DibCanvas dib(kWidth, kHeight);
    Print(dib.dc());
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(dib.At(x, y), expected.At(x, y)) << x << "," << y;
}

TEST_F(CustomProgressTest, WindowPaintsTheSameThroughItsMessages)
{
    m_progress.m_nPos = 26;
    DibCanvas printed(kWidth, kHeight);
    Print(printed.dc());

    // A real WM_PAINT, read back from the window's own DC.
    m_progress.Invalidate(TRUE);
    m_progress.UpdateWindow();
    PumpMessages(100);
    DibCanvas screen(kWidth, kHeight);
    {
        const WindowDc window = GetWindowDc(m_progress.m_hWnd);
        ASSERT_TRUE(::BitBlt(screen.dc(), 0, 0, kWidth, kHeight, window.get(), 0, 0, SRCCOPY));
    }
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            ASSERT_TRUE(ColourNear(screen.At(x, y), printed.At(x, y), 0)) << x << "," << y;
        }
}

TEST(CustomProgressClass, CarriesItsRunTimeClass)
{
    EXPECT_STREQ(RUNTIME_CLASS(CCustomProgress)->m_lpszClassName, "CCustomProgress");
    EXPECT_TRUE(RUNTIME_CLASS(CCustomProgress)->IsDerivedFrom(RUNTIME_CLASS(CWnd)));
}

} // namespace
