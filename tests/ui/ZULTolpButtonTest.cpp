#include "SkinTestSupport.h"

#include "framework/Afx.h"
#include "framework/Button.h"
#include "res/resource.h"
#include "ui/ZULTolpButton.h"

#include <vector>

namespace {

// Opens up the button's state for the tests; behaviour is the button's own.
class ButtonProbe : public CZULTolpButton
{
public:
    using CZULTolpButton::m_bHover;
    using CZULTolpButton::m_bPressed;
    using CZULTolpButton::m_bTracking;
    using CZULTolpButton::m_crText;
    using CZULTolpButton::m_nImageHeight;
    using CZULTolpButton::m_nImageWidth;
};

// The dialog's stand-in: hands WM_DRAWITEM to the button and counts clicks.
class ClickCountingParent : public CWnd
{
public:
    int m_nClicks = 0;

protected:
    void OnClickedCancel() { ++m_nClicks; }

    BEGIN_MSG_MAP(ClickCountingParent, CWnd)
        ON_BN_CLICKED(IDCANCEL, &ClickCountingParent::OnClickedCancel)
    END_MSG_MAP()
};

// The looks as the installer assigns them: left, centre, right picture IDs.
const UINT kLookPictures[4][3] = {
    {IDB_BUTTON_NORMAL_LEFT, IDB_BUTTON_NORMAL_CENTRE, IDB_BUTTON_NORMAL_RIGHT},
    {IDB_BUTTON_HOVER_LEFT, IDB_BUTTON_HOVER_CENTRE, IDB_BUTTON_HOVER_RIGHT},
    {IDB_BUTTON_PRESSED_LEFT, IDB_BUTTON_PRESSED_CENTRE, IDB_BUTTON_PRESSED_RIGHT},
    {IDB_BUTTON_DISABLED_LEFT, IDB_BUTTON_DISABLED_CENTRE, IDB_BUTTON_DISABLED_RIGHT},
};

constexpr int kWidth = 75;  // the dialog's layout
constexpr int kHeight = 25;

class ZULTolpButtonTest : public GdiplusTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateTestParent(m_parent, CRect(100, 100, 300, 180)));
        ASSERT_TRUE(m_button.Create(L"Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(10, 10, 85, 35), &m_parent,
                                    IDCANCEL));
        m_button.ModifyStyle(0, BS_OWNERDRAW);
        // Without antialiasing every text pixel has exactly the look's colour.
        m_font.reset(::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, L"Tahoma"));
        m_button.SetFont(m_font.get(), FALSE);
        for (int nLook = 0; nLook < 4; ++nLook)
            ASSERT_TRUE(m_button.SetStateImages(nLook, kLookPictures[nLook][0], kLookPictures[nLook][1],
                                                kLookPictures[nLook][2]));
        m_button.MoveWindow(60, 20, kWidth, kHeight);
    }

    bool NeedsRepaint() const { return ::GetUpdateRect(m_button.m_hWnd, nullptr, FALSE) != FALSE; }

    CPoint ButtonCentreOnScreen() const
    {
        CPoint pt(kWidth / 2, kHeight / 2);
        m_button.ClientToScreen(&pt);
        return pt;
    }

    ClickCountingParent m_parent;
    ButtonProbe m_button;
    UniqueHFont m_font;
};

TEST_F(ZULTolpButtonTest, SetStateImagesSizesTheWindowToTheLeftEdge)
{
    ButtonProbe button;
    ASSERT_TRUE(button.Create(L"Cancel", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, CRect(10, 40, 90, 70), &m_parent, 3));
    ASSERT_TRUE(button.SetStateImages(CZULTolpButton::LOOK_NORMAL, IDB_BUTTON_NORMAL_LEFT, IDB_BUTTON_NORMAL_CENTRE, IDB_BUTTON_NORMAL_RIGHT));
    CRect rc;
    button.GetWindowRect(&rc);
    EXPECT_EQ(rc.Width(), 3);
    EXPECT_EQ(rc.Height(), 22);
    EXPECT_EQ(button.m_nImageWidth, 3);
    EXPECT_EQ(button.m_nImageHeight, 22);
    CRect rcClient;
    button.GetClientRect(&rcClient);
    m_parent.ScreenToClient(&rc);
    EXPECT_EQ(rc.TopLeft(), CPoint(10, 40)) << "the window must not move";

    // A left edge that fails to load gives no size: the window keeps its own.
    button.MoveWindow(10, 40, 50, 25);
    EXPECT_FALSE(button.SetStateImages(CZULTolpButton::LOOK_HOVER, 999, IDB_BUTTON_HOVER_CENTRE, IDB_BUTTON_HOVER_RIGHT));
    button.GetWindowRect(&rc);
    EXPECT_EQ(rc.Width(), 50);
    EXPECT_EQ(rc.Height(), 25);
    EXPECT_FALSE(button.SetStateImages(4, 133, 137, 141));
    EXPECT_FALSE(button.SetStateImages(-1, 133, 137, 141));
}

TEST_F(ZULTolpButtonTest, LookChoiceOrder)
{
    struct Case
    {
        BOOL bHover, bPressed, bEnabled;
        int nLook;
    };
    const Case kCases[] = {
        {FALSE, FALSE, TRUE, CZULTolpButton::LOOK_NORMAL},   {TRUE, FALSE, TRUE, CZULTolpButton::LOOK_HOVER},
        {FALSE, TRUE, TRUE, CZULTolpButton::LOOK_PRESSED},   {TRUE, TRUE, TRUE, CZULTolpButton::LOOK_HOVER},
        {FALSE, FALSE, FALSE, CZULTolpButton::LOOK_DISABLED}, {TRUE, FALSE, FALSE, CZULTolpButton::LOOK_HOVER},
        {FALSE, TRUE, FALSE, CZULTolpButton::LOOK_PRESSED},  {TRUE, TRUE, FALSE, CZULTolpButton::LOOK_HOVER},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(::testing::Message() << "hover " << c.bHover << ", pressed " << c.bPressed << ", enabled "
                                          << c.bEnabled);
        m_button.m_bHover = c.bHover;
        m_button.m_bPressed = c.bPressed;
        m_button.EnableWindow(c.bEnabled);
        EXPECT_EQ(m_button.ChooseLook(), c.nLook);
    }
}

TEST_F(ZULTolpButtonTest, MouseMessagesDriveTheFlags)
{
    // The cursor rests on the button, as it does when the system sends these.
    const CPoint ptScreen = ButtonCentreOnScreen();
    ::SetCursorPos(ptScreen.x, ptScreen.y);
    const LPARAM lParamInside = MAKELPARAM(kWidth / 2, kHeight / 2);

    struct Step
    {
        const char* pszName;
        UINT message;
        WPARAM wParam;
        BOOL bTracking, bHover, bPressed;
        bool bRepaint;
        int nLook;
        HWND (*pfnCaptureOwner)(HWND button); // who holds the capture afterwards
    };
    auto button = [](HWND hWnd) { return hWnd; };
    auto nobody = [](HWND) -> HWND { return nullptr; };
    const Step kSteps[] = {
        {"move", WM_MOUSEMOVE, 0, TRUE, FALSE, FALSE, false, CZULTolpButton::LOOK_NORMAL, nobody},
        {"move again", WM_MOUSEMOVE, 0, TRUE, FALSE, FALSE, false, CZULTolpButton::LOOK_NORMAL, nobody},
        {"hover", WM_MOUSEHOVER, 0, TRUE, TRUE, FALSE, true, CZULTolpButton::LOOK_HOVER, nobody},
        {"press", WM_LBUTTONDOWN, MK_LBUTTON, TRUE, FALSE, TRUE, true, CZULTolpButton::LOOK_PRESSED, button},
        {"hover while held", WM_MOUSEHOVER, MK_LBUTTON, TRUE, TRUE, TRUE, true, CZULTolpButton::LOOK_HOVER, button},
        {"release", WM_LBUTTONUP, 0, TRUE, TRUE, FALSE, true, CZULTolpButton::LOOK_HOVER, nobody},
        {"leave", WM_MOUSELEAVE, 0, FALSE, FALSE, FALSE, true, CZULTolpButton::LOOK_NORMAL, nobody},
        {"press again", WM_LBUTTONDOWN, MK_LBUTTON, FALSE, FALSE, TRUE, true, CZULTolpButton::LOOK_PRESSED, button},
        {"release again", WM_LBUTTONUP, 0, FALSE, TRUE, FALSE, true, CZULTolpButton::LOOK_HOVER, nobody},
        {"move after leave", WM_MOUSEMOVE, 0, TRUE, TRUE, FALSE, false, CZULTolpButton::LOOK_HOVER, nobody},
    };
    for (const Step& step : kSteps) {
        SCOPED_TRACE(step.pszName);
        ::ValidateRect(m_button.m_hWnd, nullptr);
        const LRESULT lResult = m_button.SendMessage(step.message, step.wParam, lParamInside);
        EXPECT_EQ(m_button.m_bTracking, step.bTracking);
        EXPECT_EQ(m_button.m_bHover, step.bHover);
        EXPECT_EQ(m_button.m_bPressed, step.bPressed);
        EXPECT_EQ(NeedsRepaint(), step.bRepaint);
        EXPECT_EQ(m_button.ChooseLook(), step.nLook);
        EXPECT_EQ(::GetCapture(), step.pfnCaptureOwner(m_button.m_hWnd));
        if (step.message == WM_MOUSEHOVER || step.message == WM_MOUSELEAVE) {
            EXPECT_EQ(lResult, 0);
        }
    }
    // Both releases happened over the button: the standard click handling
    // reported each to the parent.
    EXPECT_EQ(m_parent.m_nClicks, 2);
}

TEST_F(ZULTolpButtonTest, FocusChangesRepaintWithoutChangingTheLook)
{
    m_button.m_bPressed = TRUE;
    for (const bool bToButton : {true, false}) {
        SCOPED_TRACE(bToButton ? "focus to the button" : "focus away");
        ::ValidateRect(m_button.m_hWnd, nullptr);
        if (bToButton)
            m_button.SetFocus();
        else
            m_parent.SetFocus();
        EXPECT_EQ(::GetFocus() == m_button.m_hWnd, bToButton);
        EXPECT_TRUE(NeedsRepaint());
        EXPECT_EQ(m_button.m_bHover, FALSE);
        EXPECT_EQ(m_button.m_bPressed, TRUE);
        EXPECT_EQ(m_button.m_bTracking, FALSE);
    }
}

TEST_F(ZULTolpButtonTest, EraseBackgroundDrawsNothing)
{
    DibCanvas canvas(kWidth, kHeight);
    canvas.Fill(RGB(255, 0, 255));
    EXPECT_NE(m_button.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc())), 0);
    for (int x = 0; x < kWidth; x += 7)
        EXPECT_EQ(canvas.At(x, 10), RGB(255, 0, 255));
}

TEST_F(ZULTolpButtonTest, RealMouseShowsHoverThenLeave)
{
    CPoint ptAway(20, 20);
    m_parent.ClientToScreen(&ptAway);
    ::SetCursorPos(ptAway.x, ptAway.y);
    PumpMessages(100);
    const CPoint ptOver = ButtonCentreOnScreen();
    ::SetCursorPos(ptOver.x, ptOver.y);
    for (int i = 0; i < 40 && !m_button.m_bHover; ++i)
        PumpMessages(25);
    EXPECT_TRUE(m_button.m_bTracking);
    EXPECT_TRUE(m_button.m_bHover);

    ::SetCursorPos(ptAway.x, ptAway.y);
    for (int i = 0; i < 40 && m_button.m_bTracking; ++i)
        PumpMessages(25);
    EXPECT_FALSE(m_button.m_bTracking);
    EXPECT_FALSE(m_button.m_bHover);
}

// One paint per look, through the parent's WM_DRAWITEM as the dialog gets it.
TEST_F(ZULTolpButtonTest, EachLookPaintsItsPicturesAndTextColour)
{
    for (int nLook = 0; nLook < 4; ++nLook) {
        SCOPED_TRACE(::testing::Message() << "look " << nLook);
        m_button.m_bHover = nLook == CZULTolpButton::LOOK_HOVER;
        m_button.m_bPressed = nLook == CZULTolpButton::LOOK_PRESSED;
        m_button.EnableWindow(nLook != CZULTolpButton::LOOK_DISABLED);
        ASSERT_EQ(m_button.ChooseLook(), nLook);

        DibCanvas canvas(kWidth, kHeight);
        canvas.Fill(RGB(255, 0, 255));
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = IDCANCEL;
        dis.itemAction = ODA_DRAWENTIRE;
        dis.hwndItem = m_button.m_hWnd;
        dis.hDC = canvas.dc();
        dis.rcItem = CRect(0, 0, kWidth, kHeight);
        EXPECT_EQ(m_parent.SendMessage(WM_DRAWITEM, IDCANCEL, reinterpret_cast<LPARAM>(&dis)), TRUE);

        const SkinImage left = LoadPngImage(kLookPictures[nLook][0], AfxGetInstanceHandle());
        const SkinImage centre = LoadPngImage(kLookPictures[nLook][1], AfxGetInstanceHandle());
        const SkinImage right = LoadPngImage(kLookPictures[nLook][2], AfxGetInstanceHandle());
        const COLORREF white = RGB(255, 255, 255);
        for (const int y : {0, 1, 11, 20, 21}) {
            SCOPED_TRACE(::testing::Message() << "row " << y);
            for (int x = 0; x < 3; ++x) {
                EXPECT_TRUE(ColourNear(canvas.At(x, y), Over(left, x, y, white))) << "x " << x;
                EXPECT_TRUE(ColourNear(canvas.At(kWidth - 3 + x, y), Over(right, x, y, white))) << "x " << kWidth - 3 + x;
            }
            EXPECT_TRUE(ColourNear(canvas.At(3, y), Over(centre, 0, y, white)));
            EXPECT_TRUE(ColourNear(canvas.At(kWidth - 4, y), Over(centre, 0, y, white)));
        }
        for (int y = 22; y < kHeight; ++y)
            for (const int x : {0, 2, kWidth / 2, kWidth - 1})
                EXPECT_EQ(canvas.At(x, y), white) << x << "," << y;

        // The text: pixels of exactly the look's colour, centred on the button,
        // and none of another look's colour (white aside: faces may hold it).
        int nLeft = kWidth, nRight = -1, nTop = kHeight, nBottom = -1, nCount = 0, nForeign = 0;
        for (int y = 1; y < 21; ++y)
            for (int x = 3; x < kWidth - 3; ++x) {
                const COLORREF cr = canvas.At(x, y);
                if (cr == m_button.m_crText[nLook]) {
                    ++nCount;
                    nLeft = std::min(nLeft, x);
                    nRight = std::max(nRight, x);
                    nTop = std::min(nTop, y);
                    nBottom = std::max(nBottom, y);
                }
                for (int nOther = 0; nOther < 4; ++nOther)
                    if (nOther != nLook && cr == m_button.m_crText[nOther] && cr != white)
                        ++nForeign;
            }
        EXPECT_GT(nCount, 15);
        EXPECT_EQ(nForeign, 0);
        EXPECT_NEAR((nLeft + nRight + 1) / 2.0, kWidth / 2.0, 3.0);
        EXPECT_NEAR((nTop + nBottom + 1) / 2.0, kHeight / 2.0, 3.0);
    }
}

TEST(ZULTolpButtonClass, CarriesItsRunTimeClass)
{
    EXPECT_STREQ(RUNTIME_CLASS(CZULTolpButton)->m_lpszClassName, "CZULTolpButton");
    EXPECT_TRUE(RUNTIME_CLASS(CZULTolpButton)->IsDerivedFrom(RUNTIME_CLASS(CButton)));
}

} // namespace
