#pragma once
// What the thread tests share: a gate the test opens for a worker, a bounded
// poll, and CTestThread, a CThread whose body the test supplies and which lets
// the test look at the protected state (always under the process-wide lock).

#include "framework/Handles.h"
#include "thread/Thread.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

// A manual-reset event: once open, every wait passes.
class CGate
{
public:
    CGate() : m_hEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    void Open() { ::SetEvent(m_hEvent.get()); }
    bool Wait(DWORD nMilliseconds = 5000) { return ::WaitForSingleObject(m_hEvent.get(), nMilliseconds) == WAIT_OBJECT_0; }

private:
    UniqueHandle m_hEvent;
};

// Polls pred every millisecond until it holds or nMilliseconds have passed.
template <typename Pred>
bool WaitUntil(Pred pred, DWORD nMilliseconds = 5000)
{
    const ULONGLONG nEnd = ::GetTickCount64() + nMilliseconds;
    while (!pred()) {
        if (::GetTickCount64() > nEnd)
            return false;
        ::Sleep(1);
    }
    return true;
}

struct SyncRecordView
{
    CString strName;
    UINT nRefCount;
    const CCriticalSection* pLock;
};

class CTestThread : public CThread
{
public:
    using Body = std::function<DWORD(CTestThread&)>;

    explicit CTestThread(BOOL bUseCommandQueue = TRUE, BOOL bSynchronized = FALSE, const wchar_t* pszSyncName = L"")
    {
        m_bUseCommandQueue = bUseCommandQueue;
        m_bSynchronized = bSynchronized;
        m_strSyncName = pszSyncName;
    }
    // DoWork runs m_body, a member: the worker must end before it goes.
    ~CTestThread() override { EndWorker(); }

    void SetBody(Body body) { m_body = std::move(body); }
    void SetSecurityAttributes(LPSECURITY_ATTRIBUTES pAttributes) { m_pSecurityAttributes = pAttributes; }

    using CThread::IsThreadActive;
    using CThread::PushWorkCommand;
    using CThread::Terminate;
    using CThread::WaitForCommand;

    DWORD ExitCode() const
    {
        CScopedLock lock(s_pThreadLock);
        return m_dwExitCode;
    }
    int RunState() const { return m_nRunState; }
    void SetRunState(int nState) { m_nRunState = nState; }
    HANDLE CommandEvent() const
    {
        CScopedLock lock(s_pThreadLock);
        return m_hCommandEvent.get();
    }
    HANDLE ThreadHandle() const
    {
        CScopedLock lock(s_pThreadLock);
        return m_hThread.get();
    }
    DWORD ThreadId() const
    {
        CScopedLock lock(s_pThreadLock);
        return m_dwThreadId;
    }
    bool IsRegistered() const
    {
        CScopedLock lock(s_pThreadLock);
        return m_posSync != nullptr;
    }
    // A handle of the test's own to the current worker (null without one), so the
    // test can see the thread end even after the object has let go of it.
    UniqueHandle DuplicateThreadHandle() const
    {
        CScopedLock lock(s_pThreadLock);
        HANDLE hCopy = nullptr;
        if (m_hThread)
            ::DuplicateHandle(::GetCurrentProcess(), m_hThread.get(), ::GetCurrentProcess(), &hCopy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS);
        return UniqueHandle(hCopy);
    }
    std::vector<UINT> QueuedCommands() const
    {
        CScopedLock lock(s_pThreadLock);
        std::vector<UINT> aCommands;
        for (INT_PTR i = 0; i < m_aCommands.GetSize(); ++i)
            aCommands.push_back(m_aCommands[i]);
        return aCommands;
    }

    static std::vector<SyncRecordView> SyncRecords()
    {
        CScopedLock lock(s_pThreadLock);
        std::vector<SyncRecordView> aRecords;
        for (POSITION pos = s_listSync.GetHeadPosition(); pos;) {
            const _THREAD_SYNCHRONICITY_TAG& record = s_listSync.GetNext(pos);
            aRecords.push_back({record.strName, record.nRefCount, record.pLock.get()});
        }
        return aRecords;
    }
    // The registrations under strName (0 when no record exists).
    static UINT SyncRefCount(const CString& strName)
    {
        for (const SyncRecordView& record : SyncRecords()) {
            if (record.strName == strName)
                return record.nRefCount;
        }
        return 0;
    }

    static bool ThreadLockExists() { return s_pThreadLock != nullptr; }
    // Holds the process-wide lock for the caller's scope.
    static CMutexLock HoldThreadLock() { return CMutexLock(s_pThreadLock); }
    // Asked from another thread: the lock is re-entrant, so the test's own
    // thread would always get it.
    static bool ThreadLockIsFree()
    {
        bool bFree = false;
        std::thread probe([&bFree] {
            bFree = s_pThreadLock->TryLock() != FALSE;
            if (bFree)
                s_pThreadLock->Unlock();
        });
        probe.join();
        return bFree;
    }

    static void SetSetEventHook(BOOL(WINAPI* pfnSetEvent)(HANDLE))
    {
        CScopedLock lock(s_pThreadLock);
        s_pfnSetEvent = pfnSetEvent;
    }
    static void RestoreSetEvent() { SetSetEventHook(::SetEvent); }

    std::atomic<int> m_nTerminatedCalls{0};

protected:
    DWORD DoWork() override { return m_body ? m_body(*this) : 0; }
    void OnTerminated() override { ++m_nTerminatedCalls; }

private:
    Body m_body;
};
