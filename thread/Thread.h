#pragma once
// CThread: a reusable worker-thread base. A subclass supplies the body (DoWork)
// and, in its constructor, switches on the optional facilities:
//   m_bUseCommandQueue  a queue of THREAD_CMD_* codes with an auto-reset event;
//                       Start queues THREAD_CMD_START, DoWork takes codes with
//                       WaitForCommand and may put THREAD_CMD_WORK in front
//                       with PushWorkCommand;
//   m_bSynchronized     a registration under m_strSyncName in the process-wide
//                       synchronisation list: objects of the same name share one
//                       record (and its lock) while their workers run.
// The owner calls Start once per run; an object whose body has returned may be
// started again. There is no stop request: the body ends its run by returning,
// and the destructor ends a still-running worker at once.
//
// Threads: the owner's thread constructs, starts and destroys the object; the
// worker runs ThreadEntry, DoWork, WaitForCommand, PushWorkCommand and FinishRun.
// One process-wide re-entrant lock, s_pThreadLock, guards every object's fields
// below, its queue and s_listSync; the worker never holds it while it waits.
//
// Destruction order: this destructor runs after the subclass's members are gone.
// A subclass whose DoWork uses its own members must call EndWorker() first thing
// in its own destructor, so no worker runs on destroyed members.

#include "framework/Collections.h"
#include "framework/CString.h"
#include "framework/CriticalSection.h"
#include "framework/Handles.h"
#include "framework/Object.h"

#include <windows.h>

#include <atomic>
#include <memory>

// Command codes carried by the queue.
constexpr UINT THREAD_CMD_NONE = 0;  // WaitForCommand's answer without a queue; never queued
constexpr UINT THREAD_CMD_START = 2; // queued by Start once the thread exists
constexpr UINT THREAD_CMD_WORK = 3;  // put in front of the queue by PushWorkCommand

// Run states (m_nRunState). CThread writes only 0 and 1; 2 and up belong to the body.
constexpr int THREAD_STATE_STARTED = 0; // Start succeeded, the body has not set another state
constexpr int THREAD_STATE_IDLE = 1;    // no worker thread
constexpr int THREAD_STATE_BUSY = 2;    // set by a body while it works

class CThread : public CObject
{
    DECLARE_DYNAMIC(CThread)

public:
    CThread();
    // Ends a still-running worker at once (exit code 0, registration withdrawn)
    // and closes the command event. Never throws.
    ~CThread() override;

    // Starts a new run on a new thread. Throws a heap-allocated CThreadException*
    // (THREAD_ERR_*) when it cannot; the caller deletes it with Delete(). The
    // lock is free and the object idle after every failure except
    // THREAD_ERR_ALREADY_STARTED, which leaves the running worker untouched.
    // std::bad_alloc goes on up only when not even the exception can be built.
    void Start();

protected:
    // The body; runs on the worker thread. Its result becomes the thread's exit
    // code and m_dwExitCode. No exception may leave it: nothing catches one on
    // the worker thread, so the process would end.
    virtual DWORD DoWork() = 0;
    // Called by Terminate after it has ended a worker and reset the object, with
    // s_pThreadLock held. From the base destructor only this empty version runs.
    virtual void OnTerminated();

    // Worker thread only. The next command code, first in queue first; waits as
    // long as the queue is empty. THREAD_CMD_NONE at once without a queue.
    UINT WaitForCommand();
    // Worker thread only. Puts THREAD_CMD_WORK in front of every queued code,
    // without signalling the event: the worker's next WaitForCommand takes it at
    // once. FALSE without a worker or queue, or when memory runs out.
    BOOL PushWorkCommand();

    // TRUE while the worker thread runs; refreshes m_dwExitCode.
    BOOL IsThreadActive();
    // Ends the worker at once wherever it is, waits until the system has ended
    // it, and resets the object (exit code 0, registration withdrawn, idle);
    // then OnTerminated. Without a worker it only resets the object. A worker
    // ended this way gets no chance to clean up: what it held stays held.
    void Terminate();
    // For subclass destructors: ends a still-running worker (as the base
    // destructor would) while the subclass's members still exist. Never throws.
    void EndWorker() noexcept;

    // One record per synchronisation name, in registration order.
    struct _THREAD_SYNCHRONICITY_TAG
    {
        CString strName;                        // compared exactly, letter case matters
        std::unique_ptr<CCriticalSection> pLock; // shared by the registrations; never entered here
        UINT nRefCount;                         // registrations sharing the record
    };

    // Set by the subclass's constructor, read-only afterwards.
    BOOL m_bUseCommandQueue = FALSE;
    BOOL m_bSynchronized = FALSE;
    CString m_strSyncName;
    // Guarded by s_pThreadLock.
    POSITION m_posSync = nullptr;                        // our record while registered
    LPSECURITY_ATTRIBUTES m_pSecurityAttributes = nullptr; // for CreateThread
    UniqueHandle m_hThread;                              // the worker while one exists
    // Created by the first Start of an object with a queue, kept until
    // destruction. The worker reads it without the lock: it is set before the
    // worker exists and closed only after the worker has ended.
    UniqueHandle m_hCommandEvent;
    DWORD m_dwThreadId = 0;
    DWORD m_nStackSize = 0; // for CreateThread; 0 is the platform's default
    // 0xFFFFFFFE until a thread has existed; then STILL_ACTIVE while an activity
    // check found it running, DoWork's result after a normal end, 0 after a
    // forced end.
    DWORD m_dwExitCode = 0xFFFFFFFE;
    // Written by CThread under the lock and by the body without it.
    std::atomic<int> m_nRunState{THREAD_STATE_IDLE};
    CUIntArray m_aCommands; // the command queue, first element first

    // Process-wide, built and removed by static initialisation and destruction
    // in Thread.cpp; null while it does not exist, and then nothing locks.
    // A kernel mutex rather than a critical section: Terminate ends the worker
    // while holding this lock, and the worker may at that moment be waiting to
    // enter it; a critical section would keep counting the dead waiter.
    static CMutex* s_pThreadLock;
    static CList<_THREAD_SYNCHRONICITY_TAG, _THREAD_SYNCHRONICITY_TAG&&> s_listSync;

    // How Start signals the command event: ::SetEvent. A test points it at a
    // failing stand-in, since SetEvent on a valid event cannot be made to fail
    // for real. Read under s_pThreadLock.
    static BOOL(WINAPI* s_pfnSetEvent)(HANDLE hEvent);

private:
    // Creates s_pThreadLock at start-up and removes it and the list at exit.
    class CProcessObjects;
    static CProcessObjects s_processObjects;

    static DWORD WINAPI ThreadEntry(LPVOID pParam);
    void FinishRun(DWORD dwExitCode);
    // The helpers below run with s_pThreadLock held.
    void ResetState() noexcept;
    BOOL CreateCommandEvent(CString& strError);
    BOOL PostStartCommand(CString& strError);
    void RegisterSync();
    void UnregisterSync() noexcept;
    BOOL FindSyncEntry();
    static void ClearSyncList() noexcept;
};
