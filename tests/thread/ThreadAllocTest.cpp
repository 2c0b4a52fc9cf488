// Start under real allocation failures: this executable replaces the global
// operator new with one that, once armed for a thread, throws std::bad_alloc on
// that thread's n-th allocation. Start is run with n = 0, 1, 2... until it gets
// through without meeting the failure, so every allocation it makes fails once.

#include "TestThread.h"

#include "thread/ThreadException.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>

namespace {

std::atomic<DWORD> g_dwArmedThread{0};
std::atomic<long> g_nAllocationsLeft{0};
std::atomic<bool> g_bFailureMet{false};

void Arm(long nAllocationsBeforeFailure)
{
    g_bFailureMet = false;
    g_nAllocationsLeft = nAllocationsBeforeFailure;
    g_dwArmedThread = ::GetCurrentThreadId();
}

void Disarm()
{
    g_dwArmedThread = 0;
}

} // namespace

void* operator new(std::size_t nSize)
{
    if (g_dwArmedThread.load() == ::GetCurrentThreadId() && g_nAllocationsLeft-- == 0) {
        g_dwArmedThread = 0; // one failure per arming; the report may allocate
        g_bFailureMet = true;
        throw std::bad_alloc();
    }
    // The process heap rather than malloc: delete below must match it.
    if (void* p = ::HeapAlloc(::GetProcessHeap(), 0, nSize ? nSize : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    if (p)
        ::HeapFree(::GetProcessHeap(), 0, p);
}

void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}

TEST(CThreadStartOutOfMemory, EveryFailedAllocationLeavesLockFreeAndObjectIdle)
{
    // Longer than the string's inline room, so copying the name allocates too.
    const CString strName = L"OutOfMemoryName";
    std::atomic<int> nRuns{0};
    CTestThread thread(TRUE, TRUE, strName);
    thread.SetBody([&](CTestThread& self) -> DWORD {
        ++nRuns;
        return self.WaitForCommand();
    });
    const size_t nRecordsBefore = CTestThread::SyncRecords().size();

    std::vector<int> aKinds;
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 50) << "Start kept allocating";
        int nKind = 0;
        CString strError;
        bool bBadAlloc = false;
        Arm(n);
        try {
            thread.Start();
        } catch (CThreadException* e) {
            nKind = e->m_nErrorKind;
            strError = e->m_strError;
            e->Delete();
        } catch (const std::bad_alloc&) {
            bBadAlloc = true; // not even the exception could be built
        }
        Disarm();
        SCOPED_TRACE(::testing::Message() << "failing allocation " << n << ", kind " << nKind);

        if (!g_bFailureMet) {
            EXPECT_EQ(0, nKind);
            break; // Start made fewer than n + 1 allocations: the run is on
        }
        EXPECT_TRUE(nKind != 0 || bBadAlloc);
        if (nKind != 0) {
            aKinds.push_back(nKind);
            if (nKind == THREAD_ERR_POST_COMMAND)
                EXPECT_TRUE(strError.IsEmpty());
            else
                EXPECT_EQ(GetSystemErrorText(ERROR_NOT_ENOUGH_MEMORY), strError);
        }
        EXPECT_TRUE(CTestThread::ThreadLockIsFree());
        EXPECT_FALSE(thread.IsThreadActive());
        EXPECT_EQ(nullptr, thread.ThreadHandle());
        EXPECT_EQ(THREAD_STATE_IDLE, thread.RunState());
        EXPECT_TRUE(thread.QueuedCommands().empty());
        EXPECT_EQ(nRecordsBefore, CTestThread::SyncRecords().size());
        EXPECT_EQ(0, nRuns.load());
    }

    // The registration record failed as a refused thread, the queue as kind 5.
    EXPECT_NE(aKinds.end(), std::find(aKinds.begin(), aKinds.end(), THREAD_ERR_CREATE_THREAD));
    EXPECT_NE(aKinds.end(), std::find(aKinds.begin(), aKinds.end(), THREAD_ERR_POST_COMMAND));

    ASSERT_TRUE(WaitUntil([&] { return !thread.IsThreadActive() && thread.ThreadHandle() == nullptr; }));
    EXPECT_EQ(1, nRuns.load());
    EXPECT_EQ(THREAD_CMD_START, thread.ExitCode());
    EXPECT_EQ(nRecordsBefore, CTestThread::SyncRecords().size());
}
