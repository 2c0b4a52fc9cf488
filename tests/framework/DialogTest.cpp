// CDialog, DDX_Control and the owner-drawn CButton, on real modal dialogs made
// from templates in memory.

#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/FrameworkResource.h"

#include "DialogTemplate.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

const UINT WM_TEST_END = WM_APP + 9;   // wParam: the EndDialog code
const UINT WM_TEST_STEP = WM_APP + 10; // runs CTestDlg::m_onStep
const UINT WM_STATIC_NOTE = WM_APP + 5;
const int IDC_TEST_STATIC = 50;
const int IDC_TEST_BUTTON = 60;
const COLORREF kRed = RGB(255, 0, 0);

DialogTemplate MakeTemplate()
{
    DialogTemplate dlg(WS_POPUP | WS_VISIBLE | WS_SYSMENU, 200, 100);
    dlg.Add(DialogTemplate::Button, IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 70, 50, 14, L"OK")
        .Add(DialogTemplate::Button, IDCANCEL, WS_VISIBLE | WS_TABSTOP, 70, 70, 50, 14, L"Cancel")
        .Add(DialogTemplate::Static, IDC_TEST_STATIC, WS_VISIBLE, 10, 10, 100, 10, L"Title")
        .Add(DialogTemplate::Button, IDC_TEST_BUTTON, WS_VISIBLE, 10, 30, 60, 20, L"Draw");
    return dlg;
}

class CNoteStatic : public CWnd
{
protected:
    LRESULT OnNote(WPARAM, LPARAM) { return 77; }

    BEGIN_MSG_MAP(CNoteStatic, CWnd)
        ON_MESSAGE(WM_STATIC_NOTE, &CNoteStatic::OnNote)
    END_MSG_MAP()
};

// Paints itself red through the off-screen path and records each request.
class CRedButton : public CButton
{
public:
    std::vector<DRAWITEMSTRUCT> m_draws;

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override
    {
        m_draws.push_back(*lpDrawItemStruct);
        CRect rcClient;
        GetClientRect(&rcClient);
        PaintInto(lpDrawItemStruct->hDC, rcClient, [](PaintBuffer& buffer) {
            ::SetBkColor(buffer.hdc, kRed);
            ::ExtTextOutW(buffer.hdc, 0, 0, ETO_OPAQUE, &buffer.rc, nullptr, 0, nullptr);
        });
    }
};

// The test's script runs in OnInitDialog (m_onInit, after the base's binding)
// and on WM_TEST_STEP (m_onStep); WM_TEST_END ends the dialog.
class CTestDlg : public CDialog
{
public:
    explicit CTestDlg(const DialogTemplate& dlgTemplate) { InitModalIndirect(dlgTemplate.get()); }

    std::function<void(CTestDlg&)> m_onInit;
    std::function<void(CTestDlg&)> m_onStep;
    int m_nInitDialogs = 0;
    int m_nOnCancels = 0;
    HBRUSH m_hbrDefault = nullptr;

    CNoteStatic m_stcTitle;
    CRedButton m_btnDraw;

    BOOL OnInitDialog() override
    {
        ++m_nInitDialogs;
        CDialog::OnInitDialog();
        if (m_onInit)
            m_onInit(*this);
        return TRUE;
    }

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_TEST_STATIC, m_stcTitle);
        DDX_Control(pDX, IDC_TEST_BUTTON, m_btnDraw);
    }
    void OnCancel() override
    {
        ++m_nOnCancels;
        CDialog::OnCancel();
    }
    LRESULT OnTestEnd(WPARAM wParam, LPARAM)
    {
        EndDialog(static_cast<int>(wParam));
        return 0;
    }
    LRESULT OnTestStep(WPARAM, LPARAM)
    {
        m_onStep(*this);
        return 0;
    }
    HBRUSH OnCtlColor(HDC hDC, HWND hWnd, UINT nCtlColor)
    {
        m_hbrDefault = CDialog::OnCtlColor(hDC, hWnd, nCtlColor);
        return static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    }

    BEGIN_MSG_MAP(CTestDlg, CDialog)
        ON_MESSAGE(WM_TEST_END, &CTestDlg::OnTestEnd)
        ON_MESSAGE(WM_TEST_STEP, &CTestDlg::OnTestStep)
        ON_WM_CTLCOLOR()
    END_MSG_MAP()
};

TEST(Dialog, DoModalRunsOnInitDialogAndReturnsTheEndDialogCode)
{
    const DialogTemplate dlgTemplate = MakeTemplate();
    CTestDlg dlg(dlgTemplate);
    HWND hDlgSeen = nullptr;
    dlg.m_onInit = [&](CTestDlg& d) {
        hDlgSeen = d.m_hWnd;
        d.PostMessage(WM_TEST_END, 42);
    };

    EXPECT_EQ(42, dlg.DoModal());
    EXPECT_EQ(1, dlg.m_nInitDialogs);
    EXPECT_NE(nullptr, hDlgSeen);
    // WM_NCDESTROY detached the dialog and every bound control.
    EXPECT_EQ(nullptr, dlg.m_hWnd);
    EXPECT_EQ(nullptr, dlg.m_stcTitle.m_hWnd);
    EXPECT_EQ(nullptr, dlg.m_btnDraw.m_hWnd);
    EXPECT_FALSE(::IsWindow(hDlgSeen));
}

TEST(Dialog, DdxControlBindsTheControlAndRoutesItsMessagesThroughItsMap)
{
    const DialogTemplate dlgTemplate = MakeTemplate();
    CTestDlg dlg(dlgTemplate);
    HWND hBound = nullptr, hItem = nullptr;
    CWnd* pAttached = nullptr;
    LRESULT lNote = 0;
    CString strText;
    dlg.m_onInit = [&](CTestDlg& d) {
        hBound = d.m_stcTitle.m_hWnd;
        hItem = d.GetDlgItem(IDC_TEST_STATIC);
        pAttached = CWnd::FromHandlePermanent(hItem);
        lNote = ::SendMessageW(hItem, WM_STATIC_NOTE, 0, 0);
        strText = d.m_stcTitle.GetWindowText(); // unmapped: the static's own processing
        d.PostMessage(WM_TEST_END, IDOK);
    };

    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_NE(nullptr, hItem);
    EXPECT_EQ(hItem, hBound);
    EXPECT_EQ(&dlg.m_stcTitle, pAttached);
    EXPECT_EQ(77, lNote);
    EXPECT_EQ(CString(L"Title"), strText);
}

// How the user leaves: all three arrive as WM_COMMAND IDCANCEL.
struct CancelRoute
{
    const char* pszName;
    void (*pfnTrigger)(CTestDlg& dlg);
};

const CancelRoute kCancelRoutes[] = {
    {"Escape", [](CTestDlg& d) { ::PostMessageW(d.GetDlgItem(IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }},
    {"Close", [](CTestDlg& d) { d.PostMessage(WM_CLOSE); }},
    {"CancelButton", [](CTestDlg& d) { ::PostMessageW(d.GetDlgItem(IDCANCEL), BM_CLICK, 0, 0); }},
};

TEST(Dialog, EscapeCloseAndTheCancelButtonAllReachOnCancel)
{
    for (const CancelRoute& route : kCancelRoutes) {
        SCOPED_TRACE(route.pszName);
        const DialogTemplate dlgTemplate = MakeTemplate();
        CTestDlg dlg(dlgTemplate);
        dlg.m_onInit = route.pfnTrigger;
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        EXPECT_EQ(1, dlg.m_nOnCancels);
    }
}

// Lists IDCANCEL in its own map: that entry wins over the base's OnCancel.
class CConfirmingDlg : public CTestDlg
{
public:
    using CTestDlg::CTestDlg;
    int m_nClickedCancel = 0;

protected:
    void OnBnClickedCancel()
    {
        ++m_nClickedCancel;
        EndDialog(7);
    }

    BEGIN_MSG_MAP(CConfirmingDlg, CTestDlg)
        ON_BN_CLICKED(IDCANCEL, &CConfirmingDlg::OnBnClickedCancel)
    END_MSG_MAP()
};

TEST(Dialog, ADerivedCancelEntryComesBeforeTheBaseOnCancel)
{
    const DialogTemplate dlgTemplate = MakeTemplate();
    CConfirmingDlg dlg(dlgTemplate);
    dlg.m_onInit = [](CTestDlg& d) { d.PostMessage(WM_CLOSE); };

    EXPECT_EQ(7, dlg.DoModal());
    EXPECT_EQ(1, dlg.m_nClickedCancel);
    EXPECT_EQ(0, dlg.m_nOnCancels);
}

TEST(Dialog, CtlColorBrushesComeBackFromTheDialog)
{
    const DialogTemplate dlgTemplate = MakeTemplate();
    CTestDlg dlg(dlgTemplate);
    LRESULT lBrush = 0;
    dlg.m_onInit = [&](CTestDlg& d) {
        const WindowDc dc = GetWindowDc(d.m_stcTitle.m_hWnd);
        lBrush = d.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                               reinterpret_cast<LPARAM>(d.m_stcTitle.m_hWnd));
        d.PostMessage(WM_TEST_END, IDOK);
    };

    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH)), lBrush);
    EXPECT_NE(nullptr, dlg.m_hbrDefault); // Default() ran the platform's dialog processing
}

TEST(Dialog, AnOwnerDrawnButtonIsDrawnByItsOwnDrawItem)
{
    const DialogTemplate dlgTemplate = MakeTemplate();
    CTestDlg dlg(dlgTemplate);
    DibCanvas canvas(200, 100);
    HWND hButton = nullptr;
    size_t nDrawsByPaint = 0;
    dlg.m_onInit = [&](CTestDlg& d) {
        d.m_btnDraw.ModifyStyle(0, BS_OWNERDRAW);
        d.PostMessage(WM_TEST_STEP);
    };
    dlg.m_onStep = [&](CTestDlg& d) {
        hButton = d.m_btnDraw.m_hWnd;
        d.m_btnDraw.Invalidate();
        d.m_btnDraw.UpdateWindow();
        nDrawsByPaint = d.m_btnDraw.m_draws.size();
        // The button's print goes to the parent as WM_DRAWITEM with the given DC.
        d.m_btnDraw.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        d.EndDialog(IDOK);
    };

    EXPECT_EQ(IDOK, dlg.DoModal());
    ASSERT_GE(nDrawsByPaint, 1u);
    const DRAWITEMSTRUCT& dis = dlg.m_btnDraw.m_draws.front();
    EXPECT_EQ(static_cast<UINT>(ODT_BUTTON), dis.CtlType);
    EXPECT_EQ(static_cast<UINT>(IDC_TEST_BUTTON), dis.CtlID);
    EXPECT_EQ(hButton, dis.hwndItem);
    ASSERT_GT(dlg.m_btnDraw.m_draws.size(), nDrawsByPaint);
    EXPECT_EQ(kRed, canvas.At(0, 0));
    EXPECT_EQ(kRed, canvas.At(5, 5));
}

TEST(Dialog, AnExceptionLeavingOnInitDialogIsReportedAndTheDialogRunsOn)
{
    const DialogTemplate dlgTemplate = MakeTemplate();
    CTestDlg dlg(dlgTemplate);
    CRecordingException::Record record;
    dlg.m_onInit = [&](CTestDlg& d) {
        d.PostMessage(WM_TEST_END, IDCANCEL);
        throw new CRecordingException(record);
    };

    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(1, record.nReports);
    EXPECT_EQ(static_cast<UINT>(MB_ICONSTOP), record.nType);
    EXPECT_EQ(static_cast<UINT>(AFX_IDP_INTERNAL_FAILURE), record.nMessageID);
    EXPECT_TRUE(record.bDeleted);
}

} // namespace
