#include "TestThread.h"

#include "thread/ThreadException.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr DWORD kFreshExitCode = 0xFFFFFFFE;

// Runs a Start that must throw a CThreadException and hands back its kind and
// text; the exception is deleted as its handler must.
struct StartFailure
{
    bool bThrown = false;
    int nKind = 0;
    CString strError;
    CThread* pThread = nullptr;
};

StartFailure StartExpectingFailure(CThread& thread)
{
    StartFailure failure;
    try {
        thread.Start();
    } catch (CThreadException* e) {
        failure = {true, e->m_nErrorKind, e->m_strError, e->m_pThread};
        e->Delete();
    }
    return failure;
}

// A real thread's own exit code, read through a handle of the test's own.
DWORD ThreadExitCode(HANDLE hThread)
{
    DWORD dwCode = 0;
    EXPECT_TRUE(::GetExitCodeThread(hThread, &dwCode));
    return dwCode;
}

bool HasEnded(HANDLE hThread, DWORD nMilliseconds = 5000)
{
    return ::WaitForSingleObject(hThread, nMilliseconds) == WAIT_OBJECT_0;
}

// The test's names are plain ASCII.
std::string Narrow(const wchar_t* psz)
{
    std::string str;
    for (; *psz; ++psz)
        str += static_cast<char>(*psz);
    return "'" + str + "'";
}

bool IsIdle(CTestThread& thread)
{
    return WaitUntil([&] { return !thread.IsThreadActive() && thread.ThreadHandle() == nullptr; });
}

} // namespace

// --- Runs: start, the body's result, restart --------------------------------

TEST(CThreadRun, FreshObjectIsIdleWithoutEventAndCarriesItsRecord)
{
    CTestThread thread(TRUE, TRUE, L"Fresh");
    EXPECT_EQ(kFreshExitCode, thread.ExitCode());
    EXPECT_EQ(THREAD_STATE_IDLE, thread.RunState());
    EXPECT_EQ(nullptr, thread.CommandEvent());
    EXPECT_FALSE(thread.IsThreadActive());
    EXPECT_EQ(kFreshExitCode, thread.ExitCode()); // an activity check without a thread leaves it
    EXPECT_EQ(0u, CTestThread::SyncRefCount(L"Fresh"));
    EXPECT_STREQ("CThread", thread.GetRuntimeClass()->m_lpszClassName);
    EXPECT_TRUE(thread.IsKindOf(RUNTIME_CLASS(CThread)));
    EXPECT_TRUE(thread.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_TRUE(CTestThread::ThreadLockExists());
}

TEST(CThreadRun, BodyTakesStartCommandAndItsResultBecomesTheExitCode)
{
    std::atomic<UINT> nFirstCommand{0xFFFF};
    std::atomic<int> nStateSeen{-1};
    CGate release;   // the worker ends only once the test holds its own handle to it
    CTestThread thread(TRUE, TRUE, L"ResultRun");
    thread.SetBody([&](CTestThread& self) -> DWORD {
        nFirstCommand = self.WaitForCommand();
        nStateSeen = self.RunState();
        release.Wait();
        return 0x1234;
    });

    thread.Start();
    UniqueHandle hWorker = thread.DuplicateThreadHandle();
    release.Open();
    ASSERT_TRUE(hWorker);
    ASSERT_TRUE(HasEnded(hWorker.get()));
    ASSERT_TRUE(IsIdle(thread));

    EXPECT_EQ(THREAD_CMD_START, nFirstCommand.load());
    EXPECT_EQ(THREAD_STATE_STARTED, nStateSeen.load());
    EXPECT_EQ(0x1234u, thread.ExitCode());
    EXPECT_EQ(0x1234u, ThreadExitCode(hWorker.get()));
    EXPECT_EQ(THREAD_STATE_IDLE, thread.RunState());
    EXPECT_EQ(0u, thread.ThreadId());
    EXPECT_FALSE(thread.IsRegistered());
    EXPECT_EQ(0u, CTestThread::SyncRefCount(L"ResultRun"));
    EXPECT_NE(nullptr, thread.CommandEvent()); // kept for the next run
}

TEST(CThreadRun, SecondStartWhileActiveThrowsAlreadyStartedAndChangesNothing)
{
    CGate queued, release;
    CTestThread thread(TRUE, TRUE, L"Twice");
    thread.SetBody([&](CTestThread& self) -> DWORD {
        self.WaitForCommand();
        self.PushWorkCommand();
        self.PushWorkCommand();
        self.SetRunState(THREAD_STATE_BUSY);
        queued.Open();
        release.Wait(INFINITE);
        return 7;
    });
    thread.Start();
    ASSERT_TRUE(queued.Wait());
    const DWORD dwThreadId = thread.ThreadId();
    const HANDLE hThread = thread.ThreadHandle();
    const HANDLE hEvent = thread.CommandEvent();

    const StartFailure failure = StartExpectingFailure(thread);
    ASSERT_TRUE(failure.bThrown);
    EXPECT_EQ(THREAD_ERR_ALREADY_STARTED, failure.nKind);
    EXPECT_EQ(CString(L"Thread is already started!"), failure.strError);
    EXPECT_EQ(&thread, failure.pThread);
    EXPECT_TRUE(CTestThread::ThreadLockIsFree());

    EXPECT_TRUE(thread.IsThreadActive());
    EXPECT_EQ(STILL_ACTIVE, thread.ExitCode());
    EXPECT_EQ(dwThreadId, thread.ThreadId());
    EXPECT_EQ(hThread, thread.ThreadHandle());
    EXPECT_EQ(hEvent, thread.CommandEvent());
    EXPECT_EQ((std::vector<UINT>{THREAD_CMD_WORK, THREAD_CMD_WORK}), thread.QueuedCommands());
    EXPECT_EQ(THREAD_STATE_BUSY, thread.RunState());
    EXPECT_EQ(1u, CTestThread::SyncRefCount(L"Twice"));

    release.Open();
    ASSERT_TRUE(IsIdle(thread));
    EXPECT_EQ(7u, thread.ExitCode());
}

TEST(CThreadRun, RestartAfterBodyReturnedReusesEventAndRegistersAfresh)
{
    std::vector<UINT> aFirstCommands;
    CTestThread thread(TRUE, TRUE, L"Again");
    // Each run takes its first command and leaves a pushed one behind untaken.
    thread.SetBody([&](CTestThread& self) -> DWORD {
        aFirstCommands.push_back(self.WaitForCommand());
        self.PushWorkCommand();
        return static_cast<DWORD>(aFirstCommands.size());
    });

    thread.Start();
    ASSERT_TRUE(IsIdle(thread));
    EXPECT_EQ(1u, thread.ExitCode());
    EXPECT_TRUE(thread.QueuedCommands().empty());
    EXPECT_EQ(0u, CTestThread::SyncRefCount(L"Again"));
    const HANDLE hEvent = thread.CommandEvent();
    ASSERT_NE(nullptr, hEvent);

    CGate hold;
    thread.SetBody([&](CTestThread& self) -> DWORD {
        aFirstCommands.push_back(self.WaitForCommand());
        hold.Wait(INFINITE);
        return 2;
    });
    thread.Start();
    EXPECT_TRUE(WaitUntil([&] { return aFirstCommands.size() == 2; }));
    EXPECT_EQ(hEvent, thread.CommandEvent());
    DWORD dwFlags = 0;
    EXPECT_TRUE(::GetHandleInformation(hEvent, &dwFlags)); // never closed in between
    EXPECT_EQ(1u, CTestThread::SyncRefCount(L"Again"));
    EXPECT_TRUE(thread.IsRegistered());
    hold.Open();
    ASSERT_TRUE(IsIdle(thread));

    EXPECT_EQ((std::vector<UINT>{THREAD_CMD_START, THREAD_CMD_START}), aFirstCommands);
    EXPECT_EQ(2u, thread.ExitCode());
}

// --- Forced end -----------------------------------------------------------

TEST(CThreadTerminate, EndsRunningWorkerWithExitCodeZero)
{
    std::atomic<bool> bWoke{false};
    CGate waiting;
    CTestThread thread(TRUE, TRUE, L"Forced");
    thread.SetBody([&](CTestThread& self) -> DWORD {
        self.WaitForCommand();
        waiting.Open();
        self.WaitForCommand();
        bWoke = true;
        return 5;
    });
    thread.Start();
    ASSERT_TRUE(waiting.Wait());
    UniqueHandle hWorker = thread.DuplicateThreadHandle();

    thread.Terminate();
    EXPECT_TRUE(HasEnded(hWorker.get(), 0)); // ended by the time Terminate returns
    EXPECT_EQ(0u, ThreadExitCode(hWorker.get()));
    EXPECT_EQ(0u, thread.ExitCode());
    EXPECT_EQ(1, thread.m_nTerminatedCalls.load());
    EXPECT_FALSE(bWoke.load());
    EXPECT_EQ(THREAD_STATE_IDLE, thread.RunState());
    EXPECT_EQ(nullptr, thread.ThreadHandle());
    EXPECT_EQ(0u, CTestThread::SyncRefCount(L"Forced"));
    EXPECT_TRUE(CTestThread::ThreadLockIsFree());

    // Without a worker it only resets: no OnTerminated.
    thread.Terminate();
    EXPECT_EQ(1, thread.m_nTerminatedCalls.load());
    EXPECT_EQ(0u, thread.ExitCode());
}

TEST(CThreadTerminate, DestroyingObjectWhoseWorkerWaitsEndsItWithoutWakingIt)
{
    // A subclass that leaves the forced end to the base destructor: its body
    // uses nothing of its own.
    struct CWaiter : CThread
    {
        std::atomic<bool>* pbWoke = nullptr;
        CGate* pWaiting = nullptr;
        CWaiter()
        {
            m_bUseCommandQueue = TRUE;
            m_bSynchronized = TRUE;
            m_strSyncName = L"Waiter";
        }
        HANDLE Event() const { return m_hCommandEvent.get(); }
        HANDLE Thread() const { return m_hThread.get(); }
        DWORD DoWork() override
        {
            WaitForCommand();
            pWaiting->Open();
            WaitForCommand();
            *pbWoke = true;
            return 9;
        }
    };

    std::atomic<bool> bWoke{false};
    CGate waiting;
    auto pWaiter = std::make_unique<CWaiter>();
    pWaiter->pbWoke = &bWoke;
    pWaiter->pWaiting = &waiting;
    pWaiter->Start();
    ASSERT_TRUE(waiting.Wait());
    ASSERT_EQ(1u, CTestThread::SyncRefCount(L"Waiter"));
    HANDLE hWorkerCopy = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), pWaiter->Thread(), ::GetCurrentProcess(), &hWorkerCopy, 0,
                                  FALSE, DUPLICATE_SAME_ACCESS));
    UniqueHandle hWorker(hWorkerCopy);
    const HANDLE hEvent = pWaiter->Event();

    pWaiter.reset();
    EXPECT_TRUE(HasEnded(hWorker.get(), 0));
    EXPECT_EQ(0u, ThreadExitCode(hWorker.get()));
    EXPECT_FALSE(bWoke.load());
    EXPECT_EQ(0u, CTestThread::SyncRefCount(L"Waiter"));
    DWORD dwFlags = 0;
    EXPECT_FALSE(::GetHandleInformation(hEvent, &dwFlags)); // the event is closed
    EXPECT_TRUE(CTestThread::ThreadLockIsFree());
}

TEST(CThreadTerminate, SubclassEndsItsWorkerBeforeItsMembersGo)
{
    // The subclass's body keeps writing to its own member. Its destructor ends
    // the worker first; the sentinel, a later member, is destroyed before any
    // earlier member and looks whether the worker still runs at that moment.
    struct CMemberUser : CTestThread
    {
        HANDLE hWorker = nullptr; // the test's own copy
        bool* pbWorkerOutlivedMembers = nullptr;
        std::vector<int> aWork;
        struct Sentinel
        {
            CMemberUser* pOwner;
            ~Sentinel() { *pOwner->pbWorkerOutlivedMembers = ::WaitForSingleObject(pOwner->hWorker, 0) == WAIT_TIMEOUT; }
        } sentinel{this};

        ~CMemberUser() override { EndWorker(); }
    };

    bool bWorkerOutlivedMembers = true;
    CGate running;
    auto pUser = std::make_unique<CMemberUser>();
    pUser->pbWorkerOutlivedMembers = &bWorkerOutlivedMembers;
    pUser->SetBody([&running](CTestThread& self) -> DWORD {
        auto& user = static_cast<CMemberUser&>(self);
        // Reserved: the loop never allocates, so ending it cannot leave the
        // heap's lock held.
        user.aWork.reserve(1);
        running.Open();
        for (;;) {
            user.aWork.assign(1, 1);
            ::Sleep(0);
        }
    });
    pUser->Start();
    ASSERT_TRUE(running.Wait());
    UniqueHandle hWorker = pUser->DuplicateThreadHandle();
    pUser->hWorker = hWorker.get();

    pUser.reset();
    EXPECT_FALSE(bWorkerOutlivedMembers);
    EXPECT_TRUE(HasEnded(hWorker.get(), 0));
    EXPECT_EQ(0u, ThreadExitCode(hWorker.get()));
}

TEST(CThreadTerminate, WorkerEndedWhileWaitingForTheLockLeavesTheLockWhole)
{
    // The worker's first WaitForCommand needs the process-wide lock, which the
    // test holds; Terminate (entering it again) ends the worker while it waits
    // there. The lock must then be free to any other thread.
    CGate started;
    CTestThread thread;
    thread.SetBody([&](CTestThread& self) -> DWORD {
        started.Open();
        return self.WaitForCommand();
    });
    {
        CMutexLock hold = CTestThread::HoldThreadLock();
        thread.Start();
        ASSERT_TRUE(started.Wait());
        ::Sleep(100); // time for the worker to reach the lock; earlier only makes the case weaker
        thread.Terminate();
    }
    EXPECT_TRUE(CTestThread::ThreadLockIsFree());

    thread.Start();
    ASSERT_TRUE(IsIdle(thread));
    EXPECT_EQ(THREAD_CMD_START, thread.ExitCode());
}

// --- Command queue --------------------------------------------------------

TEST(CThreadCommands, PushedWorkCommandIsTakenBeforeOlderOnesAndWithoutWaiting)
{
    std::vector<UINT> aTaken;
    std::vector<BOOL> aPushed;
    CTestThread thread;
    thread.SetBody([&](CTestThread& self) -> DWORD {
        aPushed.push_back(self.PushWorkCommand()); // before THREAD_CMD_START, still queued
        aTaken.push_back(self.WaitForCommand());
        aTaken.push_back(self.WaitForCommand());
        // The queue is empty and the start signal used up: a pushed code must
        // still come back at once, since pushing does not signal.
        aPushed.push_back(self.PushWorkCommand());
        aTaken.push_back(self.WaitForCommand());
        return 0;
    });
    thread.Start();
    ASSERT_TRUE(IsIdle(thread));
    EXPECT_EQ((std::vector<BOOL>{TRUE, TRUE}), aPushed);
    EXPECT_EQ((std::vector<UINT>{THREAD_CMD_WORK, THREAD_CMD_START, THREAD_CMD_WORK}), aTaken);
}

TEST(CThreadCommands, ObjectWithoutQueueHasNoEventAndNeverWaits)
{
    std::atomic<UINT> nCommand{0xFFFF};
    std::atomic<BOOL> bPushed{TRUE};
    CTestThread thread(FALSE);
    thread.SetBody([&](CTestThread& self) -> DWORD {
        nCommand = self.WaitForCommand();
        bPushed = self.PushWorkCommand();
        return 3;
    });
    thread.Start();
    ASSERT_TRUE(IsIdle(thread));
    EXPECT_EQ(THREAD_CMD_NONE, nCommand.load());
    EXPECT_FALSE(bPushed.load());
    EXPECT_EQ(nullptr, thread.CommandEvent());
    EXPECT_EQ(3u, thread.ExitCode());
}

TEST(CThreadCommands, PushWithoutWorkerFails)
{
    struct CIdle : CTestThread
    {
        using CTestThread::PushWorkCommand;
    } idle;
    EXPECT_FALSE(idle.PushWorkCommand());
    EXPECT_TRUE(idle.QueuedCommands().empty());
}

// --- Synchronisation list -------------------------------------------------

TEST(CThreadSync, SameNameSharesOneRecordUntilTheLastWorkerEnds)
{
    const CString strName = L"CHttpClient";
    CGate releaseFirst, releaseSecond;
    CTestThread first(TRUE, TRUE, strName), second(TRUE, TRUE, strName);
    first.SetBody([&](CTestThread&) -> DWORD { return releaseFirst.Wait(INFINITE) ? 0 : 1; });
    second.SetBody([&](CTestThread&) -> DWORD { return releaseSecond.Wait(INFINITE) ? 0 : 1; });
    const size_t nRecordsBefore = CTestThread::SyncRecords().size();

    first.Start();
    second.Start();
    std::vector<SyncRecordView> aRecords = CTestThread::SyncRecords();
    ASSERT_EQ(nRecordsBefore + 1, aRecords.size());
    EXPECT_EQ(2u, CTestThread::SyncRefCount(strName));
    const CCriticalSection* pLock = aRecords.back().pLock;
    EXPECT_NE(nullptr, pLock);

    releaseFirst.Open();
    ASSERT_TRUE(IsIdle(first));
    aRecords = CTestThread::SyncRecords();
    ASSERT_EQ(nRecordsBefore + 1, aRecords.size());
    EXPECT_EQ(1u, aRecords.back().nRefCount);
    EXPECT_EQ(pLock, aRecords.back().pLock);

    releaseSecond.Open();
    ASSERT_TRUE(IsIdle(second));
    EXPECT_EQ(nRecordsBefore, CTestThread::SyncRecords().size());
    EXPECT_EQ(0u, CTestThread::SyncRefCount(strName));
}

TEST(CThreadSync, NamesAreComparedExactly)
{
    struct Case
    {
        const wchar_t* pszFirst;
        BOOL bFirstSynchronized;
        const wchar_t* pszSecond;
        BOOL bSecondSynchronized;
        size_t nNewRecords;
    };
    const Case cases[] = {
        {L"Name", TRUE, L"name", TRUE, 2},   // letter case matters
        {L"Name", TRUE, L"Name ", TRUE, 2},  // so does a trailing space
        {L"", TRUE, L"", TRUE, 1},           // the empty name is a name like any other
        {L"Solo", TRUE, L"Solo", FALSE, 1},  // unsynchronised objects stay out of the list
        {L"None", FALSE, L"None", FALSE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.pszFirst) + (c.bFirstSynchronized ? "+" : "-") + " / " + Narrow(c.pszSecond) +
                     (c.bSecondSynchronized ? "+" : "-"));
        CGate release;
        CTestThread first(TRUE, c.bFirstSynchronized, c.pszFirst), second(TRUE, c.bSecondSynchronized, c.pszSecond);
        first.SetBody([&](CTestThread&) -> DWORD { return release.Wait(INFINITE) ? 0 : 1; });
        second.SetBody([&](CTestThread&) -> DWORD { return release.Wait(INFINITE) ? 0 : 1; });
        const size_t nRecordsBefore = CTestThread::SyncRecords().size();
        first.Start();
        second.Start();
        EXPECT_EQ(nRecordsBefore + c.nNewRecords, CTestThread::SyncRecords().size());
        release.Open();
        ASSERT_TRUE(IsIdle(first));
        ASSERT_TRUE(IsIdle(second));
        EXPECT_EQ(nRecordsBefore, CTestThread::SyncRecords().size());
    }
}

// --- Start failures -------------------------------------------------------

namespace {

CTestThread* g_pStarting = nullptr;
UniqueHandle g_hStartedWorker;

// Stands in for SetEvent: fails as a call on a bad handle would, after keeping
// a handle to the thread Start has just created.
BOOL WINAPI FailingSetEvent(HANDLE)
{
    g_hStartedWorker = g_pStarting->DuplicateThreadHandle();
    ::SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

} // namespace

TEST(CThreadStartFailure, FailedSetEventLeavesNoThreadAndReportsTheSystemText)
{
    std::atomic<bool> bBodyRan{false};
    CTestThread thread(TRUE, TRUE, L"SignalFails");
    thread.SetBody([&](CTestThread& self) -> DWORD {
        bBodyRan = true;
        return self.WaitForCommand();
    });
    g_pStarting = &thread;
    CTestThread::SetSetEventHook(FailingSetEvent);
    const StartFailure failure = StartExpectingFailure(thread);
    CTestThread::RestoreSetEvent();

    ASSERT_TRUE(failure.bThrown);
    EXPECT_EQ(THREAD_ERR_POST_COMMAND, failure.nKind);
    EXPECT_EQ(GetSystemErrorText(ERROR_INVALID_HANDLE), failure.strError);
    EXPECT_FALSE(failure.strError.IsEmpty());
    ASSERT_TRUE(g_hStartedWorker);
    EXPECT_TRUE(HasEnded(g_hStartedWorker.get(), 0));
    EXPECT_EQ(0xFFFFFFFFu, ThreadExitCode(g_hStartedWorker.get()));
    g_hStartedWorker.reset();
    EXPECT_FALSE(bBodyRan.load());
    EXPECT_TRUE(CTestThread::ThreadLockIsFree());
    EXPECT_EQ(nullptr, thread.ThreadHandle());
    EXPECT_EQ(THREAD_STATE_IDLE, thread.RunState());
    EXPECT_TRUE(thread.QueuedCommands().empty());
    EXPECT_EQ(0u, CTestThread::SyncRefCount(L"SignalFails"));
    const HANDLE hEvent = thread.CommandEvent();
    EXPECT_NE(nullptr, hEvent);

    // The object is whole: the next Start runs normally on the same event.
    thread.Start();
    ASSERT_TRUE(IsIdle(thread));
    EXPECT_TRUE(bBodyRan.load());
    EXPECT_EQ(THREAD_CMD_START, thread.ExitCode());
    EXPECT_EQ(hEvent, thread.CommandEvent());
}

TEST(CThreadStartFailure, RefusedThreadWithdrawsTheRegistration)
{
    // Security attributes whose descriptor the system cannot read: the
    // platform refuses the thread for real.
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = reinterpret_cast<void*>(1);
    CTestThread thread(TRUE, TRUE, L"Refused");
    thread.SetBody([](CTestThread& self) -> DWORD { return self.WaitForCommand(); });
    thread.SetSecurityAttributes(&attributes);
    const StartFailure failure = StartExpectingFailure(thread);

    ASSERT_TRUE(failure.bThrown);
    EXPECT_EQ(THREAD_ERR_CREATE_THREAD, failure.nKind);
    EXPECT_FALSE(failure.strError.IsEmpty());
    EXPECT_TRUE(CTestThread::ThreadLockIsFree());
    EXPECT_EQ(0u, CTestThread::SyncRefCount(L"Refused"));
    EXPECT_EQ(nullptr, thread.ThreadHandle());
    EXPECT_EQ(THREAD_STATE_IDLE, thread.RunState());
    EXPECT_EQ(kFreshExitCode, thread.ExitCode());
    EXPECT_NE(nullptr, thread.CommandEvent()); // created before the refusal, kept

    thread.SetSecurityAttributes(nullptr);
    thread.Start();
    ASSERT_TRUE(IsIdle(thread));
    EXPECT_EQ(THREAD_CMD_START, thread.ExitCode());
}
