#include "app/SetupFile.h"

#include "framework/Handles.h"

#include <vector>

CString GetTempFolder()
{
    // The customary buffer first; GetTempPathW answers with the size it needs
    // (terminator included) when a path does not fit, and writes nothing
    // usable then. The folder can change between two calls (another thread
    // setting TMP), hence the loop.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int nAttempt = 0; nAttempt < 4; ++nAttempt) {
        const DWORD n = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0)
            return CString();
        if (n < buffer.size())
            return CString(buffer.data(), static_cast<int>(n));
        buffer.assign(n + 1, L'\0');
    }
    return CString();
}

CString TrimFolder(const CString& strFolder)
{
    CString strTrimmed = strFolder;
    strTrimmed.TrimRight(L'\\');
    return strTrimmed;
}

CString JoinFolderAndFile(const CString& strFolder, const CString& strFileName)
{
    return TrimFolder(strFolder) + L"\\" + strFileName;
}

BOOL EntryExists(const CString& strPath)
{
    WIN32_FIND_DATAW data{};
    const UniqueFindHandle hFind(::FindFirstFileW(strPath, &data));
    return static_cast<bool>(hFind);
}

BOOL GetLocalFileSize(const CString& strPath, ULONGLONG& nSize)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(strPath, GetFileExInfoStandard, &data))
        return FALSE;
    nSize = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return TRUE;
}

int RunProgram(const CString& strProgramPath, DWORD& dwProcessId, int& nStatus)
{
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};

    // CreateProcessW may write into its command line, so it gets a copy.
    const CString strQuoted = L"\"" + strProgramPath + L"\"";
    std::vector<wchar_t> commandLine(strQuoted.GetString(), strQuoted.GetString() + strQuoted.GetLength() + 1);

    if (!::CreateProcessW(strProgramPath, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi)) {
        nStatus = -1;
        return -1;
    }
    const UniqueHandle hProcess(pi.hProcess);
    const UniqueHandle hThread(pi.hThread);
    dwProcessId = ::GetProcessId(hProcess.get());
    nStatus = 0;
    return 0;
}
