#include "net/HttpMultiFileDown.h"

#include "framework/Afx.h"
#include "framework/File.h"
#include "net/Diagnostics.h"
#include "net/LocalFile.h"

#include <commctrl.h>
#include <wininet.h>

#include <exception>
#include <memory>

IMPLEMENT_DYNAMIC(CHttpMultiFileDown, CThread)

namespace {

constexpr DWORD kChunkBytes = 1024;
constexpr DWORD kPauseSleepMs = 500;

} // namespace

UINT DownloadPercentage(ULONGLONG nReceived, ULONGLONG nAnnounced) noexcept
{
    if (nAnnounced == 0)
        return 0;
    if (nReceived >= nAnnounced)
        return 100;
    // Two decimal digits of nReceived ÷ nAnnounced by long division. Each
    // digit is (10 × remainder) ÷ nAnnounced, found by adding the remainder ten
    // times modulo nAnnounced, so no intermediate ever exceeds nAnnounced.
    UINT nPercent = 0;
    ULONGLONG nRemainder = nReceived;
    for (int nDigits = 0; nDigits < 2; ++nDigits) {
        UINT nDigit = 0;
        ULONGLONG nSum = 0;
        for (int i = 0; i < 10; ++i) {
            if (nSum >= nAnnounced - nRemainder) {
                nSum -= nAnnounced - nRemainder;
                ++nDigit;
            } else {
                nSum += nRemainder;
            }
        }
        nPercent = nPercent * 10 + nDigit;
        nRemainder = nSum;
    }
    return nPercent;
}

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

BOOL CHttpMultiFileDown::OpenRequest(const CString& strURL, CHttpRequest& request)
{
    if (request.Open(strURL))
        return TRUE;
    if (request.Answered())
        m_nHttpStatus = request.Status();
    return FALSE;
}

ULONGLONG CHttpMultiFileDown::GetRemoteFileSize(const CString& strURL)
{
    if (strURL.IsEmpty())
        return 0;
    // The caller's thread: nothing thrown here reaches it.
    try {
        CHttpRequest request;
        ULONGLONG nLength = 0;
        if (!OpenRequest(strURL, request) || !request.QueryContentLength(nLength))
            return 0;
        // The body is never read: closing the request drops it.
        request.Close();
        return nLength;
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

    // On an exception the holders close the file and the request; the file stays.
    CHttpRequest request;
    if (!OpenRequest(strURL, request))
        return FALSE;
    // Without a positive length the body has no bound: nothing is written.
    ULONGLONG nAnnounced = 0;
    if (!request.QueryContentLength(nAnnounced) || nAnnounced == 0) {
        DebugLine(L"No usable Content-Length ! \r\n");
        return FALSE;
    }

    // The cancel and pause flags are deliberately not cleared here: a cancel
    // (or pause) that the dialog set while the request was being opened must
    // still take effect. AddDownFile gives every batch fresh flags.

    // Created afresh without following a link planted at the path (what was
    // there is removed, not written through), others may read it but not
    // write it; the handle may delete it. Not tested here: when the file did
    // not open, the first write fails.
    CFile file(CreateFreshFile(strLocalPath).release());
    ::SendMessageW(m_hNotifyWnd, WM_DOWNLOAD_START, 0, 0);
    m_nReceivedBytes = 0;

    BOOL bOverlong = FALSE;
    BYTE buffer[kChunkBytes];
    for (;;) {
        if (m_bPause) {
            // Holds the connection open without reading.
            ::Sleep(kPauseSleepMs);
        } else {
            DWORD dwRead = 0;
            if (!request.Read(buffer, kChunkBytes, dwRead)) {
                DebugLine(L"Failed in call to InternetReadFile, Error: \n");
                break;
            }
            if (dwRead == 0)
                break;
            if (m_bCancel)
                break;
            if (dwRead > nAnnounced - m_nReceivedBytes) {
                // More than announced: the rest is not written, and the file
                // (of the announced length, perhaps) is removed below.
                DebugLine(L"Body longer than announced ! \r\n");
                bOverlong = TRUE;
                break;
            }
            try {
                file.Write(buffer, dwRead);
            } catch (CFileException* e) {
                e->Delete();
                DebugLine(L"An exception occured while writing to the download file \n");
                // Reported as a cancel: the incomplete file is removed below.
                m_bCancel = TRUE;
            }
            m_nReceivedBytes += dwRead;
            const UINT nPercent = DownloadPercentage(m_nReceivedBytes, nAnnounced);
            ::SendMessageW(hProgressWnd, PBM_SETPOS, nPercent, 0);
            ::SendMessageW(m_hNotifyWnd, WM_DOWNLOAD_PROGRESS, nPercent, 0);
        }
        if (m_bCancel)
            break;
    }

    request.Close();

    // A file whose length is not the announced one is never left behind. It
    // is measured and deleted through the handle that wrote it: its path may
    // name something else by now.
    if (!file.IsOpen())
        return FALSE;
    const ULONGLONG nLength = bOverlong ? 0 : file.GetLength();
    if (bOverlong || nLength != nAnnounced) {
        DeleteThroughHandle(file.GetHandle());
        file.Abort();
        return FALSE;
    }
    file.Close();
    return m_bCancel ? FALSE : TRUE;
}

CHttpMultiFileDown::JobChoice CHttpMultiFileDown::NextJob(INT_PTR nIndex, INT_PTR nJobs, CString& strURL,
                                                          CString& strLocalPath)
{
    const BOOL bHaveJob = GetJob(nIndex, strURL, strLocalPath);
    const BOOL bCancel = m_bCancel;
    if (bHaveJob)
        return bCancel ? JobChoice::Cancelled : JobChoice::Job;
    // The list ran out: the end, unless a cancel emptied it early.
    if (!bCancel || (nIndex > 0 && nIndex >= nJobs))
        return JobChoice::End;
    return JobChoice::Cancelled;
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
        for (INT_PTR i = 0; bKeepRunning; ++i) {
            BOOL bSucceeded = FALSE;
            // The worker's one exception barrier: whatever a job throws makes
            // it a failed job, reported below.
            try {
                CString strURL;
                CString strLocalPath;
                const JobChoice choice = NextJob(i, nJobs, strURL, strLocalPath);
                if (choice == JobChoice::End)
                    break;
                if (choice == JobChoice::Job)
                    bSucceeded = HTTPDown2(strLocalPath, m_hProgressWnd, strURL);
            } catch (CException* e) {
                e->Delete();
            } catch (const std::exception&) {
            }

            if (!bSucceeded) {
                ReportFailure();
                return 0;
            }
            DebugLine(L"HTTPDown2 \uB2E4\uC6B4\uB85C\uB4DC \uC644\uB8CC\uB428"); // "download finished"
            if (i + 1 == nJobs) {
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
