#include "net/LocalFile.h"

#include <vector>

namespace {

// Without FILE_FLAG_BACKUP_SEMANTICS a directory cannot be opened at all, so
// a directory at the path is refused by the open itself.
constexpr DWORD NO_FOLLOW = FILE_FLAG_OPEN_REPARSE_POINT;

// The final path of an open entry (links resolved), empty when unknown.
CString FinalPath(HANDLE hEntry)
{
    wchar_t szPath[MAX_PATH];
    DWORD n = ::GetFinalPathNameByHandleW(hEntry, szPath, MAX_PATH, FILE_NAME_NORMALIZED);
    if (n > 0 && n < MAX_PATH)
        return CString(szPath, static_cast<int>(n));
    if (n == 0)
        return CString();
    std::vector<wchar_t> buffer(n + 1);
    n = ::GetFinalPathNameByHandleW(hEntry, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
    return n > 0 && n < buffer.size() ? CString(buffer.data(), static_cast<int>(n)) : CString();
}

// TRUE when hFile is the entry strPath names in its folder, not the end of a
// link found there.
BOOL IsEntryAtPath(HANDLE hFile, const CString& strPath)
{
    const int nSlash = strPath.ReverseFind(L'\\');
    if (nSlash <= 0)
        return FALSE;
    // "C:" alone names the drive's current folder; its root is "C:\\".
    CString strFolderPath = strPath.Left(nSlash);
    if (strFolderPath.GetLength() == 2 && strFolderPath[1] == L':')
        strFolderPath += L"\\";
    const UniqueFile hFolder(::CreateFileW(strFolderPath, FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!hFolder)
        return FALSE;
    const CString strFolder = FinalPath(hFolder.get());
    const CString strFile = FinalPath(hFile);
    CString strExpected = strFolder;
    strExpected.TrimRight(L'\\');
    strExpected += L"\\" + strPath.Mid(nSlash + 1);
    return !strFolder.IsEmpty() &&
           ::CompareStringOrdinal(strFile, strFile.GetLength(), strExpected, strExpected.GetLength(), TRUE) ==
               CSTR_EQUAL;
}

} // namespace

UniqueFile OpenEntryHeld(const CString& strPath, DWORD& dwError)
{
    UniqueFile hFile(::CreateFileW(strPath, GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   NO_FOLLOW, nullptr));
    dwError = hFile ? ERROR_SUCCESS : ::GetLastError();
    return hFile;
}

BOOL IsPlainFile(HANDLE hFile, const CString& strPath, DWORD& dwError)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(hFile, &info)) {
        dwError = ::GetLastError();
        return FALSE;
    }
    const DWORD dwNotPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if ((info.dwFileAttributes & dwNotPlain) != 0 || info.nNumberOfLinks != 1 || !IsEntryAtPath(hFile, strPath)) {
        dwError = ERROR_FILE_INVALID;
        return FALSE;
    }
    dwError = ERROR_SUCCESS;
    return TRUE;
}

BOOL DeleteThroughHandle(HANDLE hFile)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(hFile, FileDispositionInfo, &disposition, sizeof disposition);
}

BOOL RemoveEntry(const CString& strPath)
{
    const UniqueFile hEntry(::CreateFileW(strPath, DELETE | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, NO_FOLLOW, nullptr));
    if (!hEntry)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    // Opened without following, the entry is the link itself or this one
    // name of a hard-linked file, and deleting it leaves the rest alone. A
    // platform that follows the link all the same (Wine resolves the Unix
    // links of its prefix on every open, and deletes, through a handle or
    // DeleteFileW, what they lead to) has handed out the target: it is left
    // alone, and so is the link, which no call here can remove by itself.
    if (!IsEntryAtPath(hEntry.get(), strPath))
        return FALSE;
    return DeleteThroughHandle(hEntry.get());
}

UniqueFile CreateFreshFile(const CString& strPath)
{
    if (!RemoveEntry(strPath))
        return UniqueFile();
    // CREATE_NEW fails on anything planted since the removal, links included.
    return UniqueFile(::CreateFileW(strPath, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | NO_FOLLOW, nullptr));
}
