#pragma once
// The setup file's entry in the temporary folder, a folder the user (and any
// program the user runs) can write. Someone may have put a link there, to a
// file the installer must never write, delete or start. So the entry is
// opened itself, never what it points to; a link is refused; and a file the
// installer holds is deleted through its handle, never again by its path.

#include "framework/CString.h"
#include "framework/Handles.h"

#include <windows.h>

// Opens the existing entry at strPath for reading and deleting. A reparse
// point (symbolic link, junction) is opened itself, not followed. Others may
// only read it while the handle is open: they can neither write, rename nor
// delete it. An invalid holder on failure, with dwError the system's code.
UniqueFile OpenEntryHeld(const CString& strPath, DWORD& dwError);

// TRUE when the open entry hFile is a plain file with this one name, strPath:
// not a directory, not a reparse point, not one of several hard links (any
// other name could be written while this one is checked), and the file that
// strPath names itself, not one a link there leads to (the file's final path
// is its folder's final path and its own name; platforms that follow a link
// without showing a reparse point still tell this). FALSE with dwError
// ERROR_FILE_INVALID when it is something else, or the system's code when
// its information cannot be read.
BOOL IsPlainFile(HANDLE hFile, const CString& strPath, DWORD& dwError);

// Marks the file of hFile (opened with DELETE access) for deletion: the entry
// goes when the last handle to it is closed. FALSE when the system refuses.
BOOL DeleteThroughHandle(HANDLE hFile);

// Removes the entry at strPath itself, whatever it is (a file, one hard link
// of several, a link to a file: the link goes, never what it leads to). TRUE
// when nothing is there afterwards; FALSE when the entry cannot be removed
// without touching something else (a link the platform will not let go of).
BOOL RemoveEntry(const CString& strPath);

// Creates strPath afresh for writing: whatever entry was there (a file, a
// link) is removed first, without following it, and the new file is created
// only if nothing has taken the place in between. Others may read it while
// the handle is open; the handle may delete it. Invalid on failure.
UniqueFile CreateFreshFile(const CString& strPath);
