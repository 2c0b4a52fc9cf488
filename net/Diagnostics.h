#pragma once
// The network code's diagnostics: one line per call to the system debug output
// (OutputDebugStringW), passed on exactly as given, line ends included. Nothing
// in the program reads them; they are for a debugger or a debug-output viewer.

#include <windows.h>

// The one place that writes to the debug output.
void DebugLine(const wchar_t* pszLine);
// Formats with swprintf rules, then DebugLine.
void DebugLineFormat(const wchar_t* pszFormat, ...);
