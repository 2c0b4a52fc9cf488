// CWnd and the message-map dispatcher on real windows.

#include "framework/Button.h"
#include "framework/CString.h"
#include "framework/FrameworkResource.h"
#include "framework/Wnd.h"

#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const UINT WM_SHARED_NOTE = WM_APP + 1;
const UINT WM_BASE_NOTE = WM_APP + 2;
const UINT WM_UNMAPPED_NOTE = WM_APP + 3;
const UINT WM_THROWING_NOTE = WM_APP + 4;

class CBaseNoteWnd : public CWnd
{
protected:
    LRESULT OnSharedNote(WPARAM, LPARAM) { return 1; }
    LRESULT OnBaseNote(WPARAM wParam, LPARAM) { return 100 + static_cast<LRESULT>(wParam); }

    BEGIN_MSG_MAP(CBaseNoteWnd, CWnd)
        ON_MESSAGE(WM_SHARED_NOTE, &CBaseNoteWnd::OnSharedNote)
        ON_MESSAGE(WM_BASE_NOTE, &CBaseNoteWnd::OnBaseNote)
    END_MSG_MAP()
};

UINT g_nRegisteredNote = 0;

// Records what its handlers were given.
class CRecordingWnd : public CBaseNoteWnd
{
public:
    int m_nCreates = 0;
    int m_nDestroys = 0;
    int m_nPostNcDestroys = 0;
    CPoint m_ptLButtonDown{-1, -1};
    CSize m_sizeLast;
    UINT m_nCtlColor = 0xFFFF;
    HBRUSH m_hbrDefault = nullptr;
    int m_nCommand7 = 0;
    int m_nCommand7Code3 = 0;
    int m_nRegistered = 0;
    std::function<void()> m_onThrowingNote;

protected:
    int OnCreate(LPCREATESTRUCT pCreate)
    {
        ++m_nCreates;
        return CBaseNoteWnd::OnCreate(pCreate);
    }
    void OnDestroy()
    {
        ++m_nDestroys;
        CBaseNoteWnd::OnDestroy();
    }
    void PostNcDestroy() override { ++m_nPostNcDestroys; }
    LRESULT OnSharedNote(WPARAM, LPARAM) { return 2; }
    void OnLButtonDown(UINT, CPoint point) { m_ptLButtonDown = point; }
    void OnSize(UINT nType, int cx, int cy)
    {
        m_sizeLast = CSize(cx, cy);
        CBaseNoteWnd::OnSize(nType, cx, cy);
    }
    HBRUSH OnCtlColor(HDC hDC, HWND hWnd, UINT nCtlColor)
    {
        m_nCtlColor = nCtlColor;
        m_hbrDefault = CBaseNoteWnd::OnCtlColor(hDC, hWnd, nCtlColor);
        return static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    }
    void OnCommand7() { ++m_nCommand7; }
    void OnCommand7Code3() { ++m_nCommand7Code3; }
    LRESULT OnRegisteredNote(WPARAM, LPARAM)
    {
        ++m_nRegistered;
        return 5;
    }
    LRESULT OnThrowingNote(WPARAM, LPARAM)
    {
        m_onThrowingNote();
        return 9;
    }

    BEGIN_MSG_MAP(CRecordingWnd, CBaseNoteWnd)
        ON_WM_CREATE()
        ON_WM_DESTROY()
        ON_MESSAGE(WM_SHARED_NOTE, &CRecordingWnd::OnSharedNote)
        ON_WM_LBUTTONDOWN()
        ON_WM_SIZE()
        ON_WM_CTLCOLOR()
        ON_COMMAND(7, &CRecordingWnd::OnCommand7)
        ON_CONTROL(3, 7, &CRecordingWnd::OnCommand7Code3)
        ON_REGISTERED_MESSAGE(g_nRegisteredNote, &CRecordingWnd::OnRegisteredNote)
        ON_MESSAGE(WM_THROWING_NOTE, &CRecordingWnd::OnThrowingNote)
    END_MSG_MAP()
};

const CRect kPopupBox(10, 10, 210, 110);

TEST(MessageMap, DerivedEntriesAnswerBeforeBaseEntries)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, L"", WS_POPUP, kPopupBox, nullptr, 0));

    EXPECT_EQ(2, wnd.SendMessage(WM_SHARED_NOTE));        // listed by both: the derived one
    EXPECT_EQ(105, wnd.SendMessage(WM_BASE_NOTE, 5));     // only the base lists it
    EXPECT_EQ(0, wnd.SendMessage(WM_UNMAPPED_NOTE, 5, 6)); // nobody: DefWindowProc
}

TEST(MessageMap, HandlersGetTheMessageParametersCracked)
{
    g_nRegisteredNote = ::RegisterWindowMessageW(L"Quilmer.WndTest.Note");
    ASSERT_NE(0u, g_nRegisteredNote);
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, L"", WS_POPUP, kPopupBox, nullptr, 0));

    // Client coordinates are signed: a press left of the window arrives negative.
    wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, 7));
    EXPECT_EQ(CPoint(-5, 7), wnd.m_ptLButtonDown);

    wnd.MoveWindow(0, 0, 123, 45);
    EXPECT_EQ(123, wnd.m_sizeLast.cx);
    EXPECT_EQ(45, wnd.m_sizeLast.cy);

    const WindowDc dc = GetWindowDc(wnd.m_hWnd);
    const LRESULT lBrush = wnd.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                                           reinterpret_cast<LPARAM>(wnd.m_hWnd));
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH)), lBrush);
    EXPECT_EQ(static_cast<UINT>(CTLCOLOR_STATIC), wnd.m_nCtlColor);
    EXPECT_NE(nullptr, wnd.m_hbrDefault); // Default() gave the platform's brush
    wnd.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc.get()), 0);
    EXPECT_EQ(static_cast<UINT>(CTLCOLOR_BTN), wnd.m_nCtlColor);

    // Commands match on both the control ID and the notification code.
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(7, 0));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(7, 3));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(7, 4));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(8, 0));
    EXPECT_EQ(1, wnd.m_nCommand7);
    EXPECT_EQ(1, wnd.m_nCommand7Code3);

    EXPECT_EQ(5, wnd.SendMessage(g_nRegisteredNote));
    EXPECT_EQ(1, wnd.m_nRegistered);
}

TEST(Wnd, CreateAttachesOnCreationAndNcDestroyDetaches)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, L"", WS_POPUP, kPopupBox, nullptr, 0));
    const HWND hWnd = wnd.m_hWnd;

    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(hWnd));
    EXPECT_EQ(1, wnd.m_nCreates); // attached before WM_CREATE
    // The default class paints nothing behind a control's own paint.
    EXPECT_EQ(0u, ::GetClassLongPtrW(hWnd, GCLP_HBRBACKGROUND));

    ASSERT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(1, wnd.m_nDestroys);
    EXPECT_EQ(1, wnd.m_nPostNcDestroys);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_FALSE(::IsWindow(hWnd));
}

TEST(Wnd, SubclassWindowTakesOverAControlAndGivesItBack)
{
    UniqueHwnd control(::CreateWindowExW(0, L"Static", L"text", WS_POPUP, 0, 0, 50, 20, nullptr,
                                                  nullptr, nullptr, nullptr));
    ASSERT_TRUE(control.get());
    const LONG_PTR pfnOriginal = ::GetWindowLongPtrW(control.get(), GWLP_WNDPROC);

    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.SubclassWindow(control.get()));
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(control.get()));
    EXPECT_NE(pfnOriginal, ::GetWindowLongPtrW(control.get(), GWLP_WNDPROC));
    EXPECT_EQ(2, ::SendMessageW(control.get(), WM_SHARED_NOTE, 0, 0));
    // What the map does not answer reaches the control's own procedure.
    wnd.SetWindowText(L"changed");
    EXPECT_EQ(CString(L"changed"), wnd.GetWindowText());

    CRecordingWnd second; // one object per window
    EXPECT_FALSE(second.SubclassWindow(control.get()));

    EXPECT_EQ(control.get(), wnd.UnsubclassWindow());
    EXPECT_EQ(pfnOriginal, ::GetWindowLongPtrW(control.get(), GWLP_WNDPROC));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(control.get()));
    EXPECT_EQ(0, ::SendMessageW(control.get(), WM_SHARED_NOTE, 0, 0));
}

TEST(Wnd, DestructorGivesBackABorrowedWindowAndDestroysACreatedOne)
{
    UniqueHwnd control(::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                                  nullptr, nullptr));
    ASSERT_TRUE(control.get());
    const LONG_PTR pfnOriginal = ::GetWindowLongPtrW(control.get(), GWLP_WNDPROC);
    HWND hCreated = nullptr;
    {
        CRecordingWnd borrowed;
        ASSERT_TRUE(borrowed.SubclassWindow(control.get()));
        CRecordingWnd created;
        ASSERT_TRUE(created.Create(nullptr, L"", WS_POPUP, kPopupBox, nullptr, 0));
        hCreated = created.m_hWnd;
    }
    EXPECT_TRUE(::IsWindow(control.get()));
    EXPECT_EQ(pfnOriginal, ::GetWindowLongPtrW(control.get(), GWLP_WNDPROC));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(control.get()));
    EXPECT_FALSE(::IsWindow(hCreated));
}

TEST(Wnd, CreateWithAClassNameMakesThatControlAndTakesItOver)
{
    CRecordingWnd parent;
    ASSERT_TRUE(parent.Create(nullptr, L"", WS_POPUP, kPopupBox, nullptr, 0));
    HWND hButton = nullptr;
    {
        CButton button;
        ASSERT_TRUE(button.Create(L"Press", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(1, 2, 61, 22), &parent, 33));
        hButton = button.m_hWnd;
        EXPECT_EQ(hButton, parent.GetDlgItem(33));
        EXPECT_EQ(&button, CWnd::FromHandlePermanent(hButton));
        EXPECT_EQ(CString(L"Press"), button.GetWindowText());
        EXPECT_EQ(static_cast<UINT>(BS_PUSHBUTTON), button.GetButtonStyle() & BS_TYPEMASK);
        CRect rc;
        button.GetWindowRect(&rc);
        EXPECT_EQ(60, rc.Width());
        EXPECT_EQ(20, rc.Height());
    }
    EXPECT_FALSE(::IsWindow(hButton)); // made by Create: destroyed with the object
}

TEST(Wnd, AnExceptionLeavingAHandlerIsReportedWithTheGenericTextAndDeleted)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, L"", WS_POPUP, kPopupBox, nullptr, 0));
    CRecordingException::Record record;
    wnd.m_onThrowingNote = [&record] { throw new CRecordingException(record); };

    EXPECT_EQ(0, wnd.SendMessage(WM_THROWING_NOTE));
    EXPECT_EQ(1, record.nReports);
    EXPECT_EQ(static_cast<UINT>(MB_ICONSTOP), record.nType);
    EXPECT_EQ(static_cast<UINT>(AFX_IDP_INTERNAL_FAILURE), record.nMessageID);
    EXPECT_TRUE(record.bDeleted);

    // The window goes on answering.
    EXPECT_EQ(2, wnd.SendMessage(WM_SHARED_NOTE));

    CString strText;
    ASSERT_TRUE(strText.LoadString(AFX_IDP_INTERNAL_FAILURE));
    EXPECT_EQ(CString(L"Internal application error."), strText);
}

TEST(Wnd, CenterWindowWithoutOwnerCentresOnTheWorkArea)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, L"", WS_POPUP, CRect(0, 0, 201, 101), nullptr, 0));
    wnd.CenterWindow();

    CRect rcWork;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0));
    CRect rcWindow;
    wnd.GetWindowRect(&rcWindow);
    EXPECT_EQ(201, rcWindow.Width());
    EXPECT_EQ(101, rcWindow.Height());
    EXPECT_NEAR((rcWork.left + rcWork.right) / 2.0, (rcWindow.left + rcWindow.right) / 2.0, 1.0);
    EXPECT_NEAR((rcWork.top + rcWork.bottom) / 2.0, (rcWindow.top + rcWindow.bottom) / 2.0, 1.0);
}

} // namespace
