#pragma once
// The downloader: a worker thread that fetches an ordered list of jobs over
// plain HTTP into local files, reporting to windows by the messages of
// net/DownloadMessages.h; and the remote size query used before a download.

#include "framework/Collections.h"
#include "framework/CriticalSection.h"
#include "framework/CString.h"
#include "framework/Handles.h"
#include "framework/Object.h"
#include "net/DownloadMessages.h"
#include "net/HttpRequest.h"
#include "thread/Thread.h"

#include <windows.h>

#include <atomic>

// One download job. Owned by the downloader's list.
class CDownFilesContainer : public CObject
{
public:
    CDownFilesContainer() = default;
    ~CDownFilesContainer() override = default;

    CString m_strLocalPath; // full path of the file to write
    CString m_strURL;       // address of the remote file
};

// The percentage of a transfer: nReceived × 100 ÷ nAnnounced, rounded down,
// in 0 to 100 for any 64-bit values (100 once nReceived reaches nAnnounced),
// without overflow; 0 while nAnnounced is 0.
UINT DownloadPercentage(ULONGLONG nReceived, ULONGLONG nAnnounced) noexcept;

class CHttpMultiFileDown : public CThread
{
    DECLARE_DYNAMIC(CHttpMultiFileDown)

public:
    // Runs on the worker thread right after WM_BINARYDOWN_COMPLETE has been
    // posted; clearing *pbKeepRunning ends the worker.
    using PFN_ON_COMPLETE = void (*)(CHttpMultiFileDown* pDownloader, HWND hNotifyWnd, BOOL* pbKeepRunning);

    CHttpMultiFileDown();
    // Ends a still-running worker first, then deletes the jobs.
    ~CHttpMultiFileDown() override;

    // Queues one job at the tail of the list and sets, for every job, the kind
    // and the two windows reported to. Call before Start. Also clears the cancel
    // and pause flags: a new batch of jobs begins with neither.
    void AddDownFile(const CString& strURL, const CString& strLocalPath, int nDownType, HWND hProgressWnd,
                     HWND hNotifyWnd);
    // Any thread. Sets m_bCancel, then deletes every job. A transfer in
    // progress stops after its current chunk (or within 500 ms while paused),
    // deletes its incomplete file and reports WM_BINARYDOWN_CANCEL; so does a
    // run whose next job has not begun yet.
    void CancelDownload();
    // The length the server announces for strURL, without reading the body;
    // 0 on every failure. A status other than 200 goes to m_nHttpStatus.
    // Runs on the caller's thread and blocks for one network exchange.
    ULONGLONG GetRemoteFileSize(const CString& strURL);

    // How many jobs are queued, and a copy of job nIndex (FALSE past the end).
    INT_PTR GetJobCount();
    BOOL GetJob(INT_PTR nIndex, CString& strURL, CString& strLocalPath);

    // Set by AddDownFile on the owner's thread before Start, read by the worker.
    HWND m_hProgressWnd = nullptr; // gets PBM_SETPOS with the percentage
    HWND m_hNotifyWnd = nullptr;   // gets the WM_* notifications
    int m_nDownType = DOWN_TYPE_BINARY;
    // The last HTTP status other than 200 that the size query or a transfer
    // received; never reset. 404 turns any later failure into
    // WM_CONNECTION_ERROR. Written by whichever thread made the request.
    std::atomic<LONG> m_nHttpStatus{0};
    // Bytes of the current job received so far; worker thread while it runs.
    ULONGLONG m_nReceivedBytes = 0;
    // Written by the owner's thread at any time, read by the worker between
    // chunks. m_bCancel: set by CancelDownload (or a failed write), cleared by
    // AddDownFile and once the cancel has been reported. m_bPause: while 1 the
    // transfer reads nothing; the dialog sets it around its cancel question.
    std::atomic<BOOL> m_bCancel{FALSE};
    std::atomic<BOOL> m_bPause{FALSE};
    // Optional; set before Start.
    PFN_ON_COMPLETE m_pfnOnComplete = nullptr;

protected:
    // Worker thread: answers THREAD_CMD_START by pushing THREAD_CMD_WORK, and
    // THREAD_CMD_WORK by fetching the jobs in order. Returns 0 after a failed
    // job (the thread ends) or when the completion callback says so.
    DWORD DoWork() override;
    // Worker thread: fetches one job into strLocalPath: the request's read
    // loop, writing each chunk to the file and reporting the percentage. TRUE
    // when the file on disk has the announced length and no cancel was asked
    // for. A file of any other length is deleted. A response without a
    // positive Content-Length fails before the file is created; a body longer
    // than announced stops the reads at once and fails. Throws what the file
    // or the strings throw; DoWork catches it.
    BOOL HTTPDown2(const CString& strLocalPath, HWND hProgressWnd, const CString& strURL);

private:
    // What the run does at position nIndex of a run that began with nJobs jobs.
    enum class JobChoice
    {
        Job,       // fetch the job copied into strURL and strLocalPath
        End,       // the list is done: the command ends
        Cancelled, // a cancel came: the run reports it and ends
    };
    // Worker thread. A cancel that arrived between two jobs starts no new
    // request; one that emptied the list before its jobs were all fetched is
    // reported like one that stops a transfer.
    JobChoice NextJob(INT_PTR nIndex, INT_PTR nJobs, CString& strURL, CString& strLocalPath);
    // request.Open, keeping a status other than 200 in m_nHttpStatus.
    BOOL OpenRequest(const CString& strURL, CHttpRequest& request);
    // Sends the one failure message of a failed job, by precedence: status 404,
    // then the kind, then the cancel flag.
    void ReportFailure();
    void DeleteJobs() noexcept;

    // Guards m_listDownFiles: the owner's thread adds and deletes jobs while
    // the worker copies them. Held only for the copy, never across a transfer.
    CCriticalSection m_csJobs;
    CTypedPtrList<CPtrList, CDownFilesContainer*> m_listDownFiles{10}; // owns its jobs
};
