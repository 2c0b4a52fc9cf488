// The application object and the framework's entry.

#include "framework/Afx.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"

#include <gtest/gtest.h>

namespace {

class CTestApp : public CWinAppEx
{
public:
    BOOL m_bInitResult = FALSE;
    int m_nInits = 0;
    int m_nRuns = 0;
    int m_nExits = 0;
    int m_nHelps = 0;

    BOOL InitInstance() override
    {
        ++m_nInits;
        CWinAppEx::InitInstance();
        SetRegistryKey(L"Quilmer test settings");
        return m_bInitResult;
    }
    int Run() override
    {
        ++m_nRuns;
        return ExitInstance();
    }
    int ExitInstance() override
    {
        ++m_nExits;
        return CWinAppEx::ExitInstance() + 7;
    }

protected:
    void OnHelpCommand() { ++m_nHelps; }

    BEGIN_MSG_MAP(CTestApp, CWinAppEx)
        ON_COMMAND(ID_HELP, &CTestApp::OnHelpCommand)
    END_MSG_MAP()
};

TEST(WinApp, WhenInitInstanceFailsTheEntryGoesStraightToExitInstance)
{
    {
        CTestApp app;
        EXPECT_EQ(&app, AfxGetApp());
        EXPECT_STREQ(AfxGetAppName(), app.m_pszAppName);

        EXPECT_EQ(7, AfxWinMain(::GetModuleHandleW(nullptr), const_cast<LPWSTR>(L""), SW_SHOW));
        EXPECT_EQ(1, app.m_nInits);
        EXPECT_EQ(0, app.m_nRuns);
        EXPECT_EQ(1, app.m_nExits);

        // The settings location is only named; nothing is written there.
        EXPECT_STREQ(L"Quilmer test settings", app.m_pszRegistryKey);
        HKEY hKey = nullptr;
        EXPECT_NE(ERROR_SUCCESS,
                  ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quilmer test settings", 0, KEY_READ, &hKey));
    }
    EXPECT_EQ(nullptr, AfxGetApp());
    EXPECT_EQ(-1, AfxWinMain(::GetModuleHandleW(nullptr), const_cast<LPWSTR>(L""), SW_SHOW));
}

TEST(WinApp, WhenInitInstanceSucceedsTheEntryRunsTheLoop)
{
    CTestApp app;
    app.m_bInitResult = TRUE;
    EXPECT_EQ(7, AfxWinMain(::GetModuleHandleW(nullptr), const_cast<LPWSTR>(L""), SW_SHOW));
    EXPECT_EQ(1, app.m_nRuns);
    EXPECT_EQ(1, app.m_nExits);
}

TEST(WinApp, TheMainWindowOwnsMessageBoxesAndHandsUnansweredCommandsToTheApp)
{
    CTestApp app;
    CWnd wnd;
    app.m_pMainWnd = &wnd;
    ASSERT_TRUE(wnd.Create(nullptr, L"", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0));
    EXPECT_EQ(wnd.m_hWnd, AfxGetMainWindowHandle());

    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(ID_HELP, 0));
    EXPECT_EQ(1, app.m_nHelps);

    wnd.DestroyWindow();
    EXPECT_EQ(nullptr, AfxGetMainWindowHandle());
}

} // namespace
