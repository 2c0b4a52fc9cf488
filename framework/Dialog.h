#pragma once
// CDialog: a modal dialog made from a dialog template, answering its messages
// through its class's message map.
//
// DoModal runs the platform's modal loop (DialogBoxParamW). The dialog procedure
// attaches the object on WM_INITDIALOG by subclassing the dialog window: from
// then on every message reaches CWnd's window procedure, the map answers first,
// and Default() is the platform's dialog processing (DefDlgProc, which asks the
// dialog procedure and finds it declines). Results therefore come back as
// ordinary window-procedure results, WM_CTLCOLORxxx brushes included, without
// DWLP_MSGRESULT. Messages sent before WM_INITDIALOG (WM_SETFONT, the first
// WM_SIZE...) get the platform's dialog processing only.
//
// Escape (the modal loop's IsDialogMessage) and the Close command (DefDlgProc's
// WM_CLOSE) both arrive as WM_COMMAND IDCANCEL; the base map sends IDCANCEL to
// OnCancel and IDOK to OnOK, so a derived class overrides either virtual, or
// lists IDCANCEL in its own map, which is searched first.

#include "framework/Wnd.h"

class CDataExchange;

class CDialog : public CWnd
{
    DECLARE_DYNAMIC(CDialog)

public:
    // nIDTemplate: dialog template resource in the program's module. pParentWnd:
    // owner of the dialog; null for none.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // A dialog from a template in memory (InitModalIndirect before DoModal).
    CDialog();

    // Uses the template at pTemplate (DLGTEMPLATE or DLGTEMPLATEEX, DWORD
    // aligned, valid until DoModal returns) instead of a resource.
    BOOL InitModalIndirect(LPCDLGTEMPLATEW pTemplate, CWnd* pParentWnd = nullptr);

    // Runs the dialog until EndDialog; returns the EndDialog result, or -1 when
    // the dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    // The base binds and fills the controls (UpdateData(FALSE)) and returns
    // TRUE, which lets the platform give the first control the focus.
    virtual BOOL OnInitDialog();

    // Runs DoDataExchange: bSaveAndValidate TRUE reads the controls into the
    // fields, FALSE writes the fields to the controls (and binds controls).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    // The plain endings: OnOK saves the data (UpdateData(TRUE)) and ends with
    // IDOK; OnCancel ends with IDCANCEL. Neither asks anything.
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    BEGIN_MSG_MAP(CDialog, CWnd)
        ON_COMMAND(IDOK, &CDialog::OnOK)
        ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
    END_MSG_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate = 0;
    LPCDLGTEMPLATEW m_pTemplate = nullptr;
    CWnd* m_pParentWnd = nullptr;
};

// What DoDataExchange is working on.
class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    BOOL m_bSaveAndValidate; // TRUE: controls to fields; FALSE: fields to controls
    CWnd* m_pDlgWnd;         // the dialog
};

// Binds rControl to the dialog's control nIDC: the control is subclassed, so
// its messages reach rControl's map. A control already bound stays as it is; a
// missing control leaves rControl unbound (and says so on the debug output).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
