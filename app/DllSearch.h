#pragma once
// Where the process finds its DLLs.
//
// The installer runs elevated from a folder anyone can write to (Downloads), and
// Windows looks in a program's own folder first for every DLL that is not a
// KnownDLL: a DLL dropped there would run as administrator. So the executable
// imports only KnownDLLs statically (comctl32 comes through the manifest's
// side-by-side assembly), delay-loads the rest, and restricts the search of the
// whole process to System32 before anything else runs (app/ProcessEntry.cpp).
//
// Both functions use kernel32 alone and no C runtime: they run before the
// runtime has started and inside the delay-load helper.

#include <windows.h>

// Restricts every later DLL search of the process to System32, for the
// program's own loads and for those that system DLLs make on its behalf.
// Where the system has SetDefaultDllDirectories (Windows 8 and later; Vista
// and 7 with KB2533623) it sets LOAD_LIBRARY_SEARCH_SYSTEM32 and returns TRUE;
// elsewhere it takes the current folder out of the search (SetDllDirectoryW
// with an empty string) and returns FALSE. Either way it then loads the DLLs
// that system DLLs are known to load by name on the program's behalf, from
// System32 by full path: a DLL already loaded is found by its name, not
// searched for.
BOOL RestrictDllSearchToSystem32() noexcept;

// System32's copy of pszDll (a bare file name such as "wininet.dll"), never a
// file of that name anywhere else; null on failure (GetLastError says why).
HMODULE LoadSystemLibrary(const char* pszDll) noexcept;
