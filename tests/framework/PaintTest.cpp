// The off-screen paint path and its holders (PaintScope, MemoryDc).

#include "framework/Handles.h"
#include "framework/Paint.h"
#include "framework/Wnd.h"

#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);

void FillBuffer(const PaintBuffer& buffer, COLORREF cr)
{
    ::SetBkColor(buffer.hdc, cr);
    ::ExtTextOutW(buffer.hdc, 0, 0, ETO_OPAQUE, &buffer.rc, nullptr, 0, nullptr);
}

// GetGuiResources would be the natural leak count, but Wine answers 0 for it;
// the tests instead check that each buffer's own DC and bitmap are gone.
bool IsGdiObjectAlive(HGDIOBJ hObject)
{
    return ::GetObjectType(hObject) != 0;
}

TEST(Paint, PaintIntoComposesOffScreenThenCopiesIntoTheTargetBox)
{
    DibCanvas target(20, 10);
    target.Fill(kBlue);

    HDC hdcBuffer = nullptr;
    HGDIOBJ hBufferBitmap = nullptr;
    CRect rcSeen;
    COLORREF crTargetWhileComposing = 0;
    ASSERT_TRUE(PaintInto(target.dc(), CRect(5, 2, 15, 8), [&](PaintBuffer& buffer) {
        hdcBuffer = buffer.hdc;
        hBufferBitmap = ::GetCurrentObject(buffer.hdc, OBJ_BITMAP);
        rcSeen = buffer.rc;
        FillBuffer(buffer, kRed);
        crTargetWhileComposing = target.At(6, 3); // nothing reaches the target before the copy
    }));

    EXPECT_EQ(CRect(0, 0, 10, 6), rcSeen);
    EXPECT_EQ(kBlue, crTargetWhileComposing);
    EXPECT_EQ(kRed, target.At(5, 2));
    EXPECT_EQ(kRed, target.At(14, 7));
    EXPECT_EQ(kBlue, target.At(4, 2));
    EXPECT_EQ(kBlue, target.At(15, 7));
    EXPECT_EQ(kBlue, target.At(5, 8));

    // The buffer is gone once the call returns.
    EXPECT_FALSE(IsGdiObjectAlive(hBufferBitmap));
    EXPECT_FALSE(IsGdiObjectAlive(hdcBuffer));
}

TEST(Paint, ComposeCanMoveTheSourceColumnOfTheCopy)
{
    DibCanvas target(8, 4);
    target.Fill(kBlue);
    ASSERT_TRUE(PaintInto(target.dc(), CRect(0, 0, 8, 4), [](PaintBuffer& buffer) {
        FillBuffer(buffer, kRed);
        const RECT rcFirstColumn{0, 0, 1, buffer.rc.bottom};
        ::SetBkColor(buffer.hdc, kGreen);
        ::ExtTextOutW(buffer.hdc, 0, 0, ETO_OPAQUE, &rcFirstColumn, nullptr, 0, nullptr);
        buffer.nSourceX = 1;
    }));
    EXPECT_EQ(kRed, target.At(0, 0)); // the green column was skipped
}

TEST(Paint, AnEmptyBoxPaintsNothing)
{
    DibCanvas target(4, 4);
    bool bComposed = false;
    EXPECT_FALSE(PaintInto(target.dc(), CRect(2, 2, 2, 4), [&](PaintBuffer&) { bComposed = true; }));
    EXPECT_FALSE(bComposed);
}

// A window that paints its client area in one colour through CWnd::PaintClient.
class CSolidWnd : public CWnd
{
public:
    COLORREF m_cr = kGreen;
    int m_nPaints = 0;
    HDC m_hdcLastBuffer = nullptr;
    HGDIOBJ m_hLastBufferBitmap = nullptr;
    // Thrown from the next paint, then cleared.
    CRecordingException::Record* m_pThrowRecord = nullptr;

    // A visible cx x cy popup, painted once.
    bool CreateShown(int cx, int cy)
    {
        if (!Create(nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, cx, cy), nullptr, 0))
            return false;
        UpdateWindow();
        return true;
    }
    // A real paint in colour cr, done before this returns.
    void RepaintNow(COLORREF cr)
    {
        m_cr = cr;
        Invalidate();
        UpdateWindow();
    }
    void Print(HDC hdc) { SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT); }

protected:
    void OnPaint(HDC hdcPrint)
    {
        ++m_nPaints;
        if (CRecordingException::Record* pRecord = std::exchange(m_pThrowRecord, nullptr))
            throw new CRecordingException(*pRecord);
        PaintClient(hdcPrint, [this](PaintBuffer& buffer) {
            m_hdcLastBuffer = buffer.hdc;
            m_hLastBufferBitmap = ::GetCurrentObject(buffer.hdc, OBJ_BITMAP);
            FillBuffer(buffer, m_cr);
        });
    }

    BEGIN_MSG_MAP(CSolidWnd, CWnd)
        ON_WM_PAINT()
    END_MSG_MAP()
};

TEST(Paint, PrintClientPaintsTheWindowIntoTheGivenDc)
{
    CSolidWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, L"", WS_POPUP, CRect(0, 0, 30, 20), nullptr, 0));
    DibCanvas canvas(40, 30);
    canvas.Fill(kBlue);

    wnd.Print(canvas.dc());

    EXPECT_EQ(1, wnd.m_nPaints);
    EXPECT_EQ(kGreen, canvas.At(0, 0));
    EXPECT_EQ(kGreen, canvas.At(29, 19));
    EXPECT_EQ(kBlue, canvas.At(30, 19)); // nothing beyond the client area
    EXPECT_EQ(kBlue, canvas.At(29, 20));
}

// A print whose handler throws leaves nothing behind: the next real WM_PAINT
// begins its own paint, draws on the window and validates it, and the next
// print draws into its own DC.
TEST(Paint, APrintThatThrowsLeavesTheNextPaintsAlone)
{
    CSolidWnd wnd;
    ASSERT_TRUE(wnd.CreateShown(30, 20));
    DibCanvas stale(30, 20);
    stale.Fill(kBlue);
    CRecordingException::Record record;
    wnd.m_pThrowRecord = &record;
    wnd.Print(stale.dc());
    ASSERT_EQ(1, record.nReports);
    EXPECT_TRUE(record.bDeleted);

    wnd.RepaintNow(kRed);
    EXPECT_FALSE(::GetUpdateRect(wnd.m_hWnd, nullptr, FALSE)) << "the real paint validates the window";
    EXPECT_EQ(kBlue, stale.At(5, 5)) << "the real paint went into the print's DC";
    DibCanvas screen(30, 20);
    {
        const WindowDc window = GetWindowDc(wnd.m_hWnd);
        ASSERT_TRUE(::BitBlt(screen.dc(), 0, 0, 30, 20, window.get(), 0, 0, SRCCOPY));
    }
    EXPECT_EQ(kRed, screen.At(5, 5));

    DibCanvas printed(30, 20);
    wnd.Print(printed.dc());
    EXPECT_EQ(kRed, printed.At(5, 5));
    EXPECT_EQ(kBlue, stale.At(5, 5));
}

TEST(Paint, EveryPaintValidatesTheWindowAndDeletesItsBuffer)
{
    CSolidWnd wnd;
    ASSERT_TRUE(wnd.CreateShown(60, 40));
    DibCanvas canvas(60, 40);
    const int nPaintsBefore = wnd.m_nPaints;

    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        wnd.RepaintNow((i % 2) ? kRed : kGreen);
        EXPECT_FALSE(::GetUpdateRect(wnd.m_hWnd, nullptr, FALSE));
        ASSERT_NE(nullptr, wnd.m_hdcLastBuffer);
        EXPECT_FALSE(IsGdiObjectAlive(wnd.m_hdcLastBuffer));
        EXPECT_FALSE(IsGdiObjectAlive(wnd.m_hLastBufferBitmap));
        wnd.m_hdcLastBuffer = nullptr;
        wnd.Print(canvas.dc());
        ASSERT_NE(nullptr, wnd.m_hdcLastBuffer);
        EXPECT_FALSE(IsGdiObjectAlive(wnd.m_hdcLastBuffer));
        EXPECT_FALSE(IsGdiObjectAlive(wnd.m_hLastBufferBitmap));
    }
    EXPECT_EQ(nPaintsBefore + 100, wnd.m_nPaints);
    EXPECT_EQ(kRed, canvas.At(10, 10));
}

TEST(PaintHolders, MemoryDcSelectsItsBitmapAndReleasesBothInOrder)
{
    const WindowDc screen = GetWindowDc(nullptr);
    HDC hdc = nullptr;
    HBITMAP hBitmap = nullptr;
    {
        MemoryDc buffer(screen.get(), 16, 8);
        ASSERT_TRUE(buffer);
        hdc = buffer.get();
        hBitmap = buffer.bitmap();
        EXPECT_EQ(hBitmap, ::GetCurrentObject(hdc, OBJ_BITMAP));
        EXPECT_TRUE(IsGdiObjectAlive(hdc));
        EXPECT_TRUE(IsGdiObjectAlive(hBitmap));
        BITMAP bm{};
        ASSERT_TRUE(::GetObjectW(hBitmap, sizeof bm, &bm));
        EXPECT_EQ(16, bm.bmWidth);
        EXPECT_EQ(8, bm.bmHeight);
    }
    EXPECT_FALSE(IsGdiObjectAlive(hBitmap));
    EXPECT_FALSE(IsGdiObjectAlive(hdc));
}

TEST(PaintHolders, PaintScopeEndsThePaintItBegan)
{
    CSolidWnd wnd;
    ASSERT_TRUE(wnd.CreateShown(20, 20));
    wnd.Invalidate(FALSE);
    ASSERT_TRUE(::GetUpdateRect(wnd.m_hWnd, nullptr, FALSE));
    {
        const PaintScope paint = BeginPaintScope(wnd.m_hWnd);
        EXPECT_NE(nullptr, paint.get());
        EXPECT_EQ(20, paint.storage().ps.rcPaint.right);
    }
    EXPECT_FALSE(::GetUpdateRect(wnd.m_hWnd, nullptr, FALSE));
}

} // namespace
