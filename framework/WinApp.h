#pragma once
// The application object and the framework's entry.
//
// The program defines exactly one object of a class derived from CWinApp (or
// CWinAppEx) at namespace scope; its constructor registers it, and the entry
// (wWinMain, in this layer) runs it: InitInstance; when that returns FALSE,
// straight to ExitInstance, whose result is the process's exit code; otherwise
// Run, the message loop, which ends in ExitInstance as well.

#include "framework/CString.h"
#include "framework/MessageMap.h"

#include <windows.h>

class CWnd;

// The framework's Help command.
#define ID_HELP 0xE146

class CWinApp : public CCmdTarget
{
    DECLARE_DYNAMIC(CWinApp)

public:
    // lpszAppName: the application's name; null takes the executable's file name
    // without its extension (AfxGetAppName).
    explicit CWinApp(LPCWSTR lpszAppName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    // The message loop: runs until WM_QUIT, then returns ExitInstance().
    virtual int Run();
    // The exit code: the WM_QUIT code when Run ran, 0 when it did not.
    virtual int ExitInstance();

    // Names the per-user settings location. The program keeps no settings, so
    // the name is only remembered; nothing is read or written.
    void SetRegistryKey(LPCWSTR lpszRegistryKey);

    // The framework's Help command handler. The program has no help content, so
    // it does nothing.
    void OnHelp();

    const wchar_t* m_pszAppName = nullptr;     // valid for the life of the object
    const wchar_t* m_pszRegistryKey = nullptr; // null until SetRegistryKey
    HINSTANCE m_hInstance = nullptr;
    // The window message boxes belong to; the application does not own it.
    CWnd* m_pMainWnd = nullptr;

protected:
    int m_nExitCode = 0;

private:
    CString m_strAppName;
    CString m_strRegistryKey;
};

// The extended application class; nothing the program uses differs.
class CWinAppEx : public CWinApp
{
public:
    explicit CWinAppEx(LPCWSTR lpszAppName = nullptr) : CWinApp(lpszAppName) {}
};

// The registered application object; null before it is constructed and after
// it is destroyed.
CWinApp* AfxGetApp();

// The framework's entry, which wWinMain calls: runs the registered application
// as described above. -1 when there is no application object.
int AfxWinMain(HINSTANCE hInstance, LPWSTR lpCmdLine, int nCmdShow);
