#include "net/HttpMultiFileDown.h"

#include "framework/Afx.h"
#include "framework/File.h"
#include "framework/ParseUrl.h"
#include "net/Diagnostics.h"

#include <commctrl.h>
#include <wininet.h>

#include <climits>
#include <cwchar>
#include <exception>
#include <memory>

IMPLEMENT_DYNAMIC(CHttpMultiFileDown, CThread)

namespace {

// 32 bytes: a status code or a length needs far fewer than 15 characters.
constexpr DWORD kQueryBufferChars = 16;
constexpr DWORD kChunkBytes = 1024;
constexpr DWORD kPauseSleepMs = 500;
// The request is sent this long after it has been opened.
constexpr DWORD kSendDelayMs = 100;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
static_assert(kRequestFlags == 0x84400000, "GET without cache, on a kept connection");

// A response header as a signed 32-bit decimal number; values beyond the range
// read as its ends, text that is no number as 0.
LONG ParseInt32(const wchar_t* psz)
{
    const long long value = std::wcstoll(psz, nullptr, 10);
    if (value > LONG_MAX)
        return LONG_MAX;
    if (value < LONG_MIN)
        return LONG_MIN;
    return static_cast<LONG>(value);
}

// One response value as text; FALSE when the response does not carry it.
BOOL QueryHeader(HINTERNET hRequest, DWORD dwInfoLevel, wchar_t (&szValue)[kQueryBufferChars])
{
    DWORD cbValue = sizeof szValue;
    szValue[0] = L'\0';
    return ::HttpQueryInfoW(hRequest, dwInfoLevel, szValue, &cbValue, nullptr);
}

// (received × 100) ÷ announced, rounded down; 0 while no length is known, so a
// response without a usable Content-Length never divides by zero.
UINT Percentage(ULONGLONG nReceived, LONG nAnnounced)
{
    if (nAnnounced <= 0)
        return 0;
    return static_cast<UINT>(nReceived * 100 / static_cast<ULONGLONG>(nAnnounced));
}

} // namespace

CHttpMultiFileDown::CHttpMultiFileDown()
{
    m_bUseCommandQueue = TRUE;
    m_bSynchronized = TRUE;
    m_strSyncName = L"CHttpClient";
}

CHttpMultiFileDown::~CHttpMultiFileDown()
{
    // The worker uses the members below; it must be gone before they are.
    EndWorker();
    // No lock here: a worker ended at once may have died holding it, and no
    // other thread can reach the list any more.
    while (!m_listDownFiles.IsEmpty())
        delete m_listDownFiles.RemoveHead();
}

void CHttpMultiFileDown::Request::Close() noexcept
{
    hRequest.reset();
    hConnect.reset();
    hSession.reset();
}

void CHttpMultiFileDown::DeleteJobs() noexcept
{
    CCriticalSectionLock lock(&m_csJobs);
    while (!m_listDownFiles.IsEmpty())
        delete m_listDownFiles.RemoveHead();
}

void CHttpMultiFileDown::AddDownFile(const CString& strURL, const CString& strLocalPath, int nDownType,
                                     HWND hProgressWnd, HWND hNotifyWnd)
{
    m_nDownType = nDownType;
    m_nReceivedBytes = 0;
    m_hProgressWnd = hProgressWnd;
    m_hNotifyWnd = hNotifyWnd;
    m_bCancel = FALSE;
    m_bPause = FALSE;

    // The list takes the job only once AddTail has returned; until then a
    // failed copy or link deletes it here.
    auto pJob = std::make_unique<CDownFilesContainer>();
    pJob->m_strURL = strURL;
    pJob->m_strLocalPath = strLocalPath;
    CCriticalSectionLock lock(&m_csJobs);
    m_listDownFiles.AddTail(pJob.get());
    pJob.release();
}

void CHttpMultiFileDown::CancelDownload()
{
    m_bCancel = TRUE;
    DeleteJobs();
}

INT_PTR CHttpMultiFileDown::GetJobCount()
{
    CCriticalSectionLock lock(&m_csJobs);
    return m_listDownFiles.GetCount();
}

BOOL CHttpMultiFileDown::GetJob(INT_PTR nIndex, CString& strURL, CString& strLocalPath)
{
    CCriticalSectionLock lock(&m_csJobs);
    POSITION pos = m_listDownFiles.GetHeadPosition();
    for (INT_PTR i = 0; pos && i < nIndex; ++i)
        m_listDownFiles.GetNext(pos);
    if (!pos)
        return FALSE;
    const CDownFilesContainer* pJob = m_listDownFiles.GetAt(pos);
    strURL = pJob->m_strURL;
    strLocalPath = pJob->m_strLocalPath;
    return TRUE;
}

BOOL CHttpMultiFileDown::OpenRequest(const CString& strURL, Request& request)
{
    DWORD dwService = 0;
    CString strServer;
    CString strObject;
    INTERNET_PORT nPort = INTERNET_DEFAULT_HTTP_PORT;
    if (!AfxParseURL(strURL, dwService, strServer, strObject, nPort)) {
        DebugLine(L"AfxParseURL error \r\n");
        return FALSE;
    }

    request.hSession.reset(::InternetOpenW(AfxGetAppName(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!request.hSession) {
        DebugLine(L"InternetOpen error \r\n");
        return FALSE;
    }
    request.hConnect.reset(
        ::InternetConnectW(request.hSession.get(), strServer, nPort, nullptr, nullptr, dwService, 0, 0));
    if (!request.hConnect) {
        DebugLine(L"InternetConnect error \r\n");
        request.Close();
        return FALSE;
    }
    const wchar_t* acceptTypes[] = {L"*/*", nullptr};
    request.hRequest.reset(::HttpOpenRequestW(request.hConnect.get(), nullptr, strObject, nullptr, nullptr,
                                              acceptTypes, kRequestFlags, 0));
    if (!request.hRequest) {
        DebugLine(L"HttpOpenRequest error \r\n");
        request.Close();
        return FALSE;
    }

    ::Sleep(kSendDelayMs);
    // No Range header: a download always starts from the first byte.
    if (!::HttpSendRequestW(request.hRequest.get(), nullptr, 0, nullptr, 0)) {
        DebugLine(L"HttpSendRequest error ! \r\n");
        request.Close();
        return FALSE;
    }

    wchar_t szStatus[kQueryBufferChars];
    if (!QueryHeader(request.hRequest.get(), HTTP_QUERY_STATUS_CODE, szStatus)) {
        DebugLine(L"HttpQueryInfo Failed ! \r\n");
        request.Close();
        return FALSE;
    }
    const LONG nStatus = ParseInt32(szStatus);
    if (nStatus == HTTP_STATUS_PROXY_AUTH_REQ || nStatus == HTTP_STATUS_DENIED) {
        // No credentials are offered and nothing is retried.
        m_nHttpStatus = nStatus;
        DebugLine(L"HTTP_STATUS_PROXY_AUTH_REQ Failed ! \r\n");
        request.Close();
        return FALSE;
    }
    if (nStatus != HTTP_STATUS_OK) {
        m_nHttpStatus = nStatus;
        request.Close();
        return FALSE;
    }
    return TRUE;
}

ULONGLONG CHttpMultiFileDown::GetRemoteFileSize(const CString& strURL)
{
    if (strURL.IsEmpty())
        return 0;
    try {
        Request request;
        if (!OpenRequest(strURL, request))
            return 0;
        wchar_t szLength[kQueryBufferChars];
        if (!QueryHeader(request.hRequest.get(), HTTP_QUERY_CONTENT_LENGTH, szLength))
            return 0;
        const LONG nLength = ParseInt32(szLength);
        DebugLineFormat(L"%d bytes \r\n", static_cast<int>(nLength));
        // The body is never read: closing the request drops it.
        request.Close();
        return static_cast<ULONGLONG>(static_cast<LONGLONG>(nLength));
    } catch (CException* e) {
        e->Delete();
    } catch (const std::exception&) {
    }
    return 0;
}

BOOL CHttpMultiFileDown::HTTPDown2(const CString& strLocalPath, HWND hProgressWnd, const CString& strURL)
{
    if (strURL.IsEmpty() || strLocalPath.IsEmpty())
        return FALSE;
    DebugLine(L"In HTTPDown2 , Start ! \r\n");

    Request request;
    CFile file;
    try {
        if (!OpenRequest(strURL, request))
            return FALSE;

        LONG nAnnounced = 0;
        wchar_t szLength[kQueryBufferChars];
        if (QueryHeader(request.hRequest.get(), HTTP_QUERY_CONTENT_LENGTH, szLength)) {
            nAnnounced = ParseInt32(szLength);
            DebugLineFormat(L"%d bytes \r\n", static_cast<int>(nAnnounced));
        }

        // The cancel and pause flags are deliberately not cleared here: a cancel
        // (or pause) that the dialog set while the request was being opened must
        // still take effect. AddDownFile gives every batch fresh flags.

        // Not tested here: when the file did not open, the first write fails.
        file.Open(strLocalPath, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite);
        ::SendMessageW(m_hNotifyWnd, WM_DOWNLOAD_START, 0, 0);
        m_nReceivedBytes = 0;

        BYTE buffer[kChunkBytes];
        for (;;) {
            if (m_bPause) {
                // Holds the connection open without reading.
                ::Sleep(kPauseSleepMs);
            } else {
                DWORD dwRead = 0;
                if (!::InternetReadFile(request.hRequest.get(), buffer, kChunkBytes, &dwRead)) {
                    DebugLine(L"Failed in call to InternetReadFile, Error: \n");
                    break;
                }
                if (dwRead == 0)
                    break;
                if (m_bCancel)
                    break;
                try {
                    file.Write(buffer, dwRead);
                } catch (CFileException* e) {
                    e->Delete();
                    DebugLine(L"An exception occured while writing to the download file \n");
                    file.Abort();
                    // Reported as a cancel: the incomplete file is removed below.
                    m_bCancel = TRUE;
                }
                m_nReceivedBytes += dwRead;
                const UINT nPercent = Percentage(m_nReceivedBytes, nAnnounced);
                ::SendMessageW(hProgressWnd, PBM_SETPOS, nPercent, 0);
                ::SendMessageW(m_hNotifyWnd, WM_DOWNLOAD_PROGRESS, nPercent, 0);
            }
            if (m_bCancel)
                break;
        }

        file.Close();
        request.Close();

        // A file whose length is not the announced one is never left behind.
        if (!file.Open(strLocalPath, CFile::modeRead | CFile::typeBinary))
            return FALSE;
        const ULONGLONG nLength = file.GetLength();
        file.Close();
        if (nLength != static_cast<ULONGLONG>(static_cast<LONGLONG>(nAnnounced))) {
            ::DeleteFileW(strLocalPath);
            return FALSE;
        }
        return m_bCancel ? FALSE : TRUE;
    } catch (CException* e) {
        e->Delete();
    } catch (const std::exception&) {
    }
    // The holders close the file and the Internet handles; the file stays.
    return FALSE;
}

void CHttpMultiFileDown::ReportFailure()
{
    DebugLine(L"HTTPDown2 canceld");
    if (m_nHttpStatus == HTTP_STATUS_NOT_FOUND) {
        DebugLine(L"HTTPDown2 WM_CONNECTION_ERROR");
        ::SendMessageW(m_hNotifyWnd, WM_CONNECTION_ERROR, 0, 0);
    } else if (m_nDownType == DOWN_TYPE_XML) {
        DebugLine(L"HTTPDown2 WM_XMLDOWN_ERROR");
        ::SendMessageW(m_hNotifyWnd, WM_XMLDOWN_ERROR, 0, 0);
    } else if (m_nDownType == DOWN_TYPE_BINARY) {
        if (m_bCancel) {
            DebugLine(L"HTTPDown2 WM_BINARYDOWN_CANCEL");
            ::SendMessageW(m_hNotifyWnd, WM_BINARYDOWN_CANCEL, 0, 0);
            m_bCancel = FALSE;
        } else {
            DebugLine(L"HTTPDown2 WM_BINARYDOWN_ERROR");
            ::SendMessageW(m_hNotifyWnd, WM_BINARYDOWN_ERROR, 0, 0);
        }
    }
}

DWORD CHttpMultiFileDown::DoWork()
{
    BOOL bKeepRunning = TRUE;
    while (bKeepRunning) {
        const UINT nCommand = WaitForCommand();
        if (nCommand == THREAD_CMD_START) {
            PushWorkCommand();
            continue;
        }
        if (nCommand != THREAD_CMD_WORK)
            continue;

        m_nRunState = THREAD_STATE_BUSY;
        const INT_PTR nJobs = GetJobCount();
        INT_PTR nFetched = 0;
        for (INT_PTR i = 0;; ++i) {
            if (!bKeepRunning)
                return 0;
            BOOL bSucceeded = FALSE;
            try {
                CString strURL;
                CString strLocalPath;
                const BOOL bHaveJob = GetJob(i, strURL, strLocalPath);
                // The end of the list ends the command, unless a cancel emptied
                // the list before its jobs were all fetched: that cancel is
                // reported like one that stops a transfer.
                if (!bHaveJob && (!m_bCancel || (i > 0 && i >= nJobs)))
                    break;
                // A cancel that arrived between two jobs starts no new request.
                if (bHaveJob && !m_bCancel)
                    bSucceeded = HTTPDown2(strLocalPath, m_hProgressWnd, strURL);
            } catch (CException* e) {
                e->Delete();
            } catch (const std::exception&) {
            }
            ++nFetched;

            if (!bSucceeded) {
                ReportFailure();
                return 0;
            }
            DebugLine(L"HTTPDown2 \uB2E4\uC6B4\uB85C\uB4DC \uC644\uB8CC\uB428"); // "download finished"
            if (nFetched == nJobs) {
                if (m_nDownType == DOWN_TYPE_XML) {
                    ::SendMessageW(m_hNotifyWnd, WM_XMLDOWN_COMPLETE, 0, 0);
                } else if (m_nDownType == DOWN_TYPE_BINARY) {
                    ::PostMessageW(m_hNotifyWnd, WM_BINARYDOWN_COMPLETE, 0, 0);
                    if (m_pfnOnComplete)
                        m_pfnOnComplete(this, m_hNotifyWnd, &bKeepRunning);
                }
            }
        }
    }
    return 0;
}
