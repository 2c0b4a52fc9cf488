#include "framework/WinApp.h"

#include "framework/Afx.h"
#include "framework/Exception.h"
#include "framework/FrameworkResource.h"

IMPLEMENT_DYNAMIC(CWinApp, CObject)

namespace {

// Written by the application object's constructor during static
// initialisation, read on the main thread afterwards.
CWinApp* g_pApp = nullptr;

} // namespace

CWinApp* AfxGetApp()
{
    return g_pApp;
}

CWinApp::CWinApp(LPCWSTR lpszAppName)
{
    m_strAppName = lpszAppName ? CString(lpszAppName) : CString(AfxGetAppName());
    m_pszAppName = m_strAppName;
    m_hInstance = AfxGetInstanceHandle();
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        const BOOL bResult = ::GetMessageW(&msg, nullptr, 0, 0);
        if (bResult == 0) {
            m_nExitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (bResult == -1)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return m_nExitCode;
}

void CWinApp::SetRegistryKey(LPCWSTR lpszRegistryKey)
{
    m_strRegistryKey = lpszRegistryKey;
    m_pszRegistryKey = m_strRegistryKey;
}

void CWinApp::OnHelp()
{
}

int AfxWinMain(HINSTANCE hInstance, LPWSTR /*lpCmdLine*/, int /*nCmdShow*/)
{
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;

    // An exception that leaves InitInstance (outside any window procedure) is
    // caught in the same kinds as a window procedure catches them: one of the
    // framework's family shows its own text, any other the generic failure
    // text. The application then exits through ExitInstance all the same.
    BOOL bRunLoop = FALSE;
    try {
        bRunLoop = pApp->InitInstance();
    } catch (CException* pException) {
        pException->ReportError(MB_ICONSTOP);
        pException->Delete();
    } catch (...) {
        AfxMessageBox(AFX_IDP_INTERNAL_FAILURE, MB_ICONSTOP);
    }
    return bRunLoop ? pApp->Run() : pApp->ExitInstance();
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPWSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, lpCmdLine, nCmdShow);
}
