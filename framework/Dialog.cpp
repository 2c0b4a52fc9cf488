#include "framework/Dialog.h"

#include "framework/Afx.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd)
{
}

CDialog::CDialog() = default;

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATEW pTemplate, CWnd* pParentWnd)
{
    if (!pTemplate)
        return FALSE;
    m_pTemplate = pTemplate;
    m_pParentWnd = pParentWnd;
    return TRUE;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    HWND hParent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    const LPARAM lThis = reinterpret_cast<LPARAM>(this);
    if (m_pTemplate)
        return ::DialogBoxIndirectParamW(AfxGetResourceHandle(), m_pTemplate, hParent, &CDialog::DialogProc, lThis);
    return ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), hParent,
                             &CDialog::DialogProc, lThis);
}

void CDialog::EndDialog(int nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    // After WM_INITDIALOG the window procedure is CWnd's; the platform's dialog
    // processing still asks this procedure on every Default(), and it declines.
    if (message != WM_INITDIALOG)
        return FALSE;

    CDialog* pDialog = reinterpret_cast<CDialog*>(lParam);
    if (!pDialog || !pDialog->SubclassWindow(hDlg))
        return FALSE;

    // WM_INITDIALOG itself comes through here, not through the window
    // procedure: its result (whether to set the focus) is this procedure's.
    return static_cast<INT_PTR>(pDialog->CallWindowProcGuarded(message, wParam, lParam));
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return OnInitDialog();
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/)
{
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd || !pDX || !pDX->m_pDlgWnd)
        return;
    if (!rControl.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd)) {
        CString strLine;
        strLine.Format(L"DDX_Control: no control %d to bind\r\n", nIDC);
        ::OutputDebugStringW(strLine);
    }
}
