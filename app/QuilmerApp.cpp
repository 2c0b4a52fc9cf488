// The executable's own object: the application, and the GDI+ token it keeps
// from InitInstance to ExitInstance.
#include "app/QuilmerApp.h"

#include "app/QuilmerDlg.h"

#include <commctrl.h>
#include <gdiplus.h>

CQuilmerApp theApp;

// Filled by GdiplusStartup, handed back to GdiplusShutdown.
ULONG_PTR g_gdiplusToken = 0;

BOOL CQuilmerApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);

    CWinAppEx::InitInstance();

    Gdiplus::GdiplusStartupInput input; // version 1, no callback, no suppression
    Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr);

    SetRegistryKey(L"로컬 응용 프로그램 마법사에서 생성된 응용 프로그램");

    // The pictures of the dialog and of its controls are released when it is
    // destroyed here, before ExitInstance stops GDI+.
    {
        CQuilmerDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

int CQuilmerApp::ExitInstance()
{
    Gdiplus::GdiplusShutdown(g_gdiplusToken);
    return CWinAppEx::ExitInstance();
}
