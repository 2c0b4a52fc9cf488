// The unprotected control of the trust scenarios: the installer's own flow
// from the connectivity gate on (reuse a present file of the server's size,
// or download it with the installer's downloader; then start it), without any
// check of what it starts. What this program starts, an installer without the
// check would start elevated; the trust scenarios show it doing so before they
// show Quilmer.exe refusing the same file.
//
// Same inputs as Quilmer.exe: the temporary folder (TEMP/TMP), the download
// address of its string table, http_proxy. Exit code 0 when it started a
// program, 1 when it did not, 2 when the transfer did not end within 60 s.

#include "app/SetupFile.h"
#include "net/DownloadMessages.h"
#include "net/HttpMultiFileDown.h"
#include "text/LocalizedText.h"

#include <windows.h>

namespace {

int Start(const CString& strPath)
{
    DWORD dwProcessId = 0;
    int nStatus = 0;
    return RunProgram(strPath, dwProcessId, nStatus) == 0 ? 0 : 1;
}

} // namespace

int wmain()
{
    const CString strPath = JoinFolderAndFile(GetTempFolder(), SETUP_FILE_NAME);
    CHttpMultiFileDown downloader;
    ULONGLONG nLocalSize = 0;
    if (EntryExists(strPath) && GetLocalFileSize(strPath, nLocalSize) &&
        nLocalSize == downloader.GetRemoteFileSize(GetDownloadURL()))
        return Start(strPath);

    // A message-only window receives the downloader's messages; the sent ones
    // (progress, errors) get the default answer, the posted completion ends
    // the loop.
    const HWND hNotify = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    downloader.AddDownFile(GetDownloadURL(), strPath, DOWN_TYPE_BINARY, nullptr, hNotify);
    downloader.Start();
    ::SetTimer(hNotify, 1, 60000, nullptr);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_BINARYDOWN_COMPLETE)
            return Start(strPath);
        if (msg.message == WM_TIMER)
            return 2;
        ::DispatchMessageW(&msg);
    }
    return 1;
}
