#pragma once
// Where the installer keeps the downloaded setup program, and how it starts it.

#include "framework/CString.h"

#include <windows.h>

// The local file name of the full setup program.
constexpr const wchar_t* SETUP_FILE_NAME = L"Tavo_Real_Setup.exe";

// The user's temporary folder as the system reports it (normally ending in a
// backslash). A path longer than the customary 260-character buffer is read
// whole with a buffer of the size the system asks for; the empty string when
// the system cannot say (the platform itself refuses a TMP longer than
// MAX_PATH rather than report it).
CString GetTempFolder();

// strFolder without the backslashes at its end, so exactly one separates it
// from the file name. Leading backslashes stay: they make a UNC path
// (\\server\share\...) or a \\?\ path, which without them would name a folder
// relative to the current one.
CString TrimFolder(const CString& strFolder);

// The full path of file strFileName in folder strFolder (trimmed as above).
CString JoinFolderAndFile(const CString& strFolder, const CString& strFileName);

// TRUE when strPath names something present (a file or a folder; wildcards
// match as FindFirstFileW matches them).
BOOL EntryExists(const CString& strPath);

// The size of the file at strPath; FALSE, with nSize untouched, when it cannot
// be read.
BOOL GetLocalFileSize(const CString& strPath, ULONGLONG& nSize);

// Starts the program at strProgramPath with no arguments and does not wait for
// it. The program is named twice to CreateProcessW: as the application name,
// and quoted as the command line, so a path with spaces can never be read as
// a shorter program path followed by arguments ("C:\Users\John.exe" for
// "C:\Users\John Smith\..."); the command line is as long as the path needs.
// On success returns 0 with nStatus 0 and dwProcessId set; on failure returns
// -1 with nStatus -1 and dwProcessId untouched. Nothing of the new process is
// kept: its handles are closed at once.
int RunProgram(const CString& strProgramPath, DWORD& dwProcessId, int& nStatus);
