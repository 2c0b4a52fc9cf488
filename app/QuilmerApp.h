#pragma once
// CQuilmerApp: the program's single application object. It prepares the
// process (common controls, GDI+), runs the installer dialog modally as the
// program's only window, and returns without a message loop of its own: when
// the dialog ends, the process ends, without waiting for a setup it started.

#include "framework/WinApp.h"

class CQuilmerApp : public CWinAppEx
{
public:
    CQuilmerApp() = default;

    // Runs the whole installer; always FALSE, so the framework goes straight to
    // ExitInstance.
    BOOL InitInstance() override;
    // Shuts GDI+ down (every picture is gone with the dialog by then).
    int ExitInstance() override;

    BEGIN_MSG_MAP(CQuilmerApp, CWinAppEx)
        ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
    END_MSG_MAP()
};
