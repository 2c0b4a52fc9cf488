#pragma once
// Process-wide helpers of the framework layer: module handles, the application's
// name and the application's message box.

#include "framework/CString.h"

#include <windows.h>

// The program's own module; resources are looked up there.
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// The application's name: the executable's file name without its extension.
// Message boxes use it as their caption.
const wchar_t* AfxGetAppName();

// A modal message box owned by the application's main window (or by nobody
// before there is one), captioned with the application's name. Returns the
// button pressed (IDOK, IDCANCEL, IDRETRY...).
int AfxMessageBox(const wchar_t* pszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// The same with the text of string resource nIDPrompt.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = static_cast<UINT>(-1));

// The window message boxes are owned by; set by the application object.
HWND AfxGetMainWindowHandle();
void AfxSetMainWindowHandle(HWND hWnd);
