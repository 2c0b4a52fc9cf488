#include "thread/Thread.h"

#include "thread/MessageStringManager.h"
#include "thread/ThreadException.h"

#include <new>
#include <utility>

IMPLEMENT_DYNAMIC(CThread, CObject)

// The worker threads' process-wide objects live in this one file so that their
// order is the order of definition below: built top to bottom during static
// initialisation, removed bottom to top at exit. The message-string manager comes
// first, so it is built before and destroyed after everything CThread owns; the
// "already started" text comes last, so it goes first. s_pThreadLock is
// constant-initialised to null before any of this runs, so until the lock exists
// (and after it has gone) every operation runs without it.

namespace {
CMessageStringManager g_messageStringManager;
} // namespace

CList<CThread::_THREAD_SYNCHRONICITY_TAG, CThread::_THREAD_SYNCHRONICITY_TAG&&> CThread::s_listSync;
CMutex* CThread::s_pThreadLock = nullptr;
BOOL(WINAPI* CThread::s_pfnSetEvent)(HANDLE) = ::SetEvent;

// Creates s_pThreadLock after the list exists and deletes it before the list goes.
class CThread::CProcessObjects
{
public:
    CProcessObjects()
    {
        ClearSyncList();
        // Should the system have no mutex to give (out of kernel resources
        // before the program's entry), the lock does nothing and the objects
        // run unlocked, as they do before it exists.
        s_pThreadLock = new CMutex;
    }
    ~CProcessObjects()
    {
        ClearSyncList();
        delete std::exchange(s_pThreadLock, nullptr);
    }
    CProcessObjects(const CProcessObjects&) = delete;
    CProcessObjects& operator=(const CProcessObjects&) = delete;
};

CThread::CProcessObjects CThread::s_processObjects;

namespace {
const CString g_strAlreadyStarted(L"Thread is already started!");

// The one throw of Start's failures; kept out of line so that each failure is a
// call, not a copy of the allocation, construction and throw.
[[noreturn]] __attribute__((noinline)) void ThrowStartError(CThread* pThread, const CString& strError,
                                                            int nErrorKind)
{
    throw new CThreadException(pThread, strError, nErrorKind);
}

// A thread that could not be made, with the system's text for why.
[[noreturn]] __attribute__((noinline)) void ThrowCreateError(CThread* pThread, DWORD dwError)
{
    ThrowStartError(pThread, GetSystemErrorText(dwError), THREAD_ERR_CREATE_THREAD);
}
} // namespace

CThread::CThread() = default;

CThread::~CThread()
{
    EndWorker();
    CScopedLock lock(s_pThreadLock);
    m_hCommandEvent.reset();
    ResetState();
}

void CThread::OnTerminated()
{
}

void CThread::Start()
{
    // Every way out below, a throw included, leaves the lock.
    CScopedLock lock(s_pThreadLock);

    if (m_hThread && ::GetExitCodeThread(m_hThread.get(), &m_dwExitCode) && m_dwExitCode == STILL_ACTIVE)
        ThrowStartError(this, g_strAlreadyStarted, THREAD_ERR_ALREADY_STARTED);

    CString strError;
    ResetState();
    if (!CreateCommandEvent(strError))
        ThrowStartError(this, strError, THREAD_ERR_CREATE_EVENT);

    try {
        RegisterSync();
    } catch (const std::bad_alloc&) {
        // RegisterSync changes nothing when it throws. No thread could be
        // started for lack of memory: the same kind as a refused thread.
        ResetState();
        ThrowCreateError(this, ERROR_NOT_ENOUGH_MEMORY);
    }

    // Created suspended and resumed once the start command is queued: a thread
    // that has not run a single instruction can be ended safely if queuing
    // fails, whereas one ended in the middle of its start-up could leave the
    // system's loader lock held. Nothing of the run is visible to the body
    // before the lock is left anyway.
    m_hThread.reset(::CreateThread(m_pSecurityAttributes, m_nStackSize, ThreadEntry, this, CREATE_SUSPENDED,
                                   &m_dwThreadId));
    if (!m_hThread) {
        const DWORD dwError = ::GetLastError();
        UnregisterSync();
        ResetState();
        ThrowCreateError(this, dwError);
    }

    // Set before the worker can run, so a state the body sets is not overwritten.
    m_nRunState = THREAD_STATE_STARTED;
    const BOOL bPosted = PostStartCommand(strError);
    if (bPosted && ::ResumeThread(m_hThread.get()) != static_cast<DWORD>(-1))
        return;

    const DWORD dwResumeError = bPosted ? ::GetLastError() : 0;
    if (::TerminateThread(m_hThread.get(), 0xFFFFFFFF))
        ::WaitForSingleObject(m_hThread.get(), INFINITE);
    m_hThread.reset();
    UnregisterSync();
    ResetState();
    if (!bPosted)
        ThrowStartError(this, strError, THREAD_ERR_POST_COMMAND);
    ThrowCreateError(this, dwResumeError);
}

DWORD WINAPI CThread::ThreadEntry(LPVOID pParam)
{
    // Nothing is caught here: DoWork's contract is that no exception leaves it.
    CThread* pThread = static_cast<CThread*>(pParam);
    const DWORD dwResult = pThread->DoWork();
    pThread->FinishRun(dwResult);
    // The object may be gone from here on; only the local result is used.
    return dwResult;
}

void CThread::FinishRun(DWORD dwExitCode)
{
    CScopedLock lock(s_pThreadLock);
    UnregisterSync();
    m_hThread.reset();
    ResetState();
    m_dwExitCode = dwExitCode;
}

void CThread::ResetState() noexcept
{
    // A handle still held here belongs to a thread that ended without FinishRun
    // (FinishRun and Terminate release their own): closing it is all that is left.
    m_hThread.reset();
    m_dwThreadId = 0;
    m_nRunState = THREAD_STATE_IDLE;
    m_posSync = nullptr;
    m_aCommands.RemoveAll();
}

BOOL CThread::IsThreadActive()
{
    CScopedLock lock(s_pThreadLock);
    return m_hThread && ::GetExitCodeThread(m_hThread.get(), &m_dwExitCode) && m_dwExitCode == STILL_ACTIVE;
}

void CThread::Terminate()
{
    CScopedLock lock(s_pThreadLock);
    if (m_hThread) {
        // TerminateThread only asks for the end; the wait makes sure the worker
        // no longer runs when the caller goes on to destroy what it uses. A
        // failure to end it is ignored: the object is reset all the same.
        if (::TerminateThread(m_hThread.get(), 0))
            ::WaitForSingleObject(m_hThread.get(), INFINITE);
        m_hThread.reset();
        m_dwExitCode = 0;
        UnregisterSync();
        ResetState();
        OnTerminated();
    } else {
        m_dwExitCode = 0;
        ResetState();
    }
}

void CThread::EndWorker() noexcept
{
    try {
        if (IsThreadActive())
            Terminate();
    } catch (...) {
        // Called from destructors: an exception from OnTerminated must not
        // escape. The worker has been ended and the object reset before it.
    }
}

BOOL CThread::CreateCommandEvent(CString& strError)
{
    if (!m_bUseCommandQueue || m_hCommandEvent)
        return TRUE;
    // Auto-reset, not signalled: one signal wakes one wait.
    m_hCommandEvent.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_hCommandEvent) {
        strError = GetSystemErrorText(::GetLastError());
        return FALSE;
    }
    return TRUE;
}

BOOL CThread::PostStartCommand(CString& strError)
{
    strError.Empty();
    if (!m_bUseCommandQueue || !m_hCommandEvent)
        return TRUE;
    try {
        m_aCommands.Add(THREAD_CMD_START);
        if (!s_pfnSetEvent(m_hCommandEvent.get())) {
            strError = GetSystemErrorText(::GetLastError());
            return FALSE;
        }
    } catch (const std::bad_alloc&) {
        // No room for the command (or for the error's text): reported with "".
        strError.Empty();
        return FALSE;
    }
    return TRUE;
}

UINT CThread::WaitForCommand()
{
    if (!m_bUseCommandQueue || !m_hCommandEvent)
        return THREAD_CMD_NONE;
    for (;;) {
        {
            CScopedLock lock(s_pThreadLock);
            if (m_bUseCommandQueue && m_hCommandEvent && !m_aCommands.IsEmpty()) {
                const UINT nCommand = m_aCommands[0];
                m_aCommands.RemoveAt(0);
                return nCommand;
            }
        }
        // A code queued between the check and this wait has signalled the
        // auto-reset event, which stays signalled until this wait: nothing is
        // lost. A stale signal only makes the loop look at the queue once more.
        ::WaitForSingleObject(m_hCommandEvent.get(), INFINITE);
    }
}

BOOL CThread::PushWorkCommand()
{
    CScopedLock lock(s_pThreadLock);
    if (!m_hThread || !m_bUseCommandQueue)
        return FALSE;
    try {
        m_aCommands.InsertAt(0, THREAD_CMD_WORK);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    return TRUE;
}

void CThread::RegisterSync()
{
    if (!m_bSynchronized)
        return;
    if (FindSyncEntry()) {
        ++s_listSync.GetAt(m_posSync).nRefCount;
        return;
    }
    // Built completely before it is linked in: if any allocation fails, the
    // list and m_posSync are as they were.
    _THREAD_SYNCHRONICITY_TAG record{m_strSyncName, std::make_unique<CCriticalSection>(), 1};
    m_posSync = s_listSync.AddTail(std::move(record));
}

BOOL CThread::FindSyncEntry()
{
    for (POSITION pos = s_listSync.GetHeadPosition(); pos;) {
        const POSITION posRecord = pos;
        if (s_listSync.GetNext(pos).strName == m_strSyncName) {
            m_posSync = posRecord;
            return TRUE;
        }
    }
    return FALSE;
}

void CThread::UnregisterSync() noexcept
{
    if (!m_bSynchronized || !m_posSync)
        return;
    _THREAD_SYNCHRONICITY_TAG& record = s_listSync.GetAt(m_posSync);
    if (record.nRefCount > 1) {
        --record.nRefCount;
        return;
    }
    // The record's lock goes with it.
    s_listSync.RemoveAt(m_posSync);
    m_posSync = nullptr;
}

void CThread::ClearSyncList() noexcept
{
    s_listSync.RemoveAll();
}
