#include "runtime/StdThrow.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <vector>

// --- The error helpers: each library check still throws, and reaches the handlers
// the program has (std::exception, std::bad_alloc), with the library's message.

struct LibraryCheck {
    const char* name;
    std::function<void()> provoke;
    bool bBadAlloc;  // a std::bad_alloc (else a StdLibraryError)
    const char* pszMessagePart;
};

class StdThrowTest : public ::testing::TestWithParam<LibraryCheck> {};

TEST_P(StdThrowTest, ThrowsWhatTheProgramCatches)
{
    const LibraryCheck& check = GetParam();
    bool bCaught = false;
    try {
        check.provoke();
    } catch (const std::bad_alloc&) {
        bCaught = true;
        EXPECT_TRUE(check.bBadAlloc);
    } catch (const StdLibraryError& e) {
        bCaught = true;
        EXPECT_FALSE(check.bBadAlloc);
        EXPECT_NE(std::string(e.what()).find(check.pszMessagePart), std::string::npos) << e.what();
    }
    EXPECT_TRUE(bCaught);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, StdThrowTest,
    ::testing::Values(
        LibraryCheck{"VectorBeyondMaxSize", [] { std::vector<int> v; v.reserve(v.max_size() + 1); }, false,
                     "vector::reserve"},
        LibraryCheck{"WstringBeyondMaxSize", [] { std::wstring s; s.reserve(s.max_size() + 1); }, false,
                     "basic_string"},
        LibraryCheck{"SubstrPastTheEnd", [] { (void)std::wstring(L"abc").substr(4); }, false,
                     "basic_string::substr: __pos (which is 4) > this->size() (which is 3)"},
        LibraryCheck{"AtPastTheEnd", [] { (void)std::vector<int>(2).at(7); }, false,
                     "vector::_M_range_check: __n (which is 7) >= this->size() (which is 2)"},
        LibraryCheck{"StringFromNull", [] { std::wstring s(static_cast<const wchar_t*>(nullptr)); }, false,
                     "null"},
        LibraryCheck{"AllocationTooLarge", [] { std::vector<char> v(SIZE_MAX / 2); }, true, ""}),
    [](const ::testing::TestParamInfo<LibraryCheck>& info) { return std::string(info.param.name); });

TEST(StdThrow, EmptyFunctionStillThrowsBadFunctionCall)
{
    std::function<void()> empty;
    EXPECT_THROW(empty(), std::bad_function_call);
}

TEST(StdThrow, LongMessagesAreCutNotOverrun)
{
    const std::string strLong(500, 'x');
    try {
        std::__throw_out_of_range_fmt("%s: %zu%%", strLong.c_str(), static_cast<size_t>(12345));
    } catch (const StdLibraryError& e) {
        EXPECT_EQ(std::string(e.what()), std::string(159, 'x'));
    }
    try {
        std::__throw_out_of_range_fmt("%s: %zu%%", "f", static_cast<size_t>(0));
    } catch (const StdLibraryError& e) {
        EXPECT_STREQ(e.what(), "f: 0%");
    }
}

TEST(StdThrow, CaughtAsStdException)
{
    try {
        (void)std::wstring(L"x").substr(2);
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STRNE(e.what(), "");
    }
}

// --- The terminate handler ends the process as abort does (exit code 3).

TEST(TerminateHandlerDeathTest, EndsTheProcessLikeAbort)
{
    EXPECT_EXIT(std::terminate(), ::testing::ExitedWithCode(3), "");
    EXPECT_EXIT(
        [] {
            try {
                throw std::bad_alloc();
            } catch (...) {
                std::terminate();
            }
        }(),
        ::testing::ExitedWithCode(3), "");
}

// --- The POSIX thread calls, on the system's primitives.

extern "C" {
int quilmer_pthread_mutex_init(intptr_t*, const unsigned*);
int quilmer_pthread_mutex_destroy(intptr_t*);
int quilmer_pthread_mutex_lock(intptr_t*);
int quilmer_pthread_mutex_trylock(intptr_t*);
int quilmer_pthread_mutex_unlock(intptr_t*);
int quilmer_pthread_cond_wait(intptr_t*, intptr_t*);
int quilmer_pthread_cond_broadcast(intptr_t*);
int quilmer_pthread_cond_signal(intptr_t*);
int quilmer_pthread_once(long*, void (*)(void));
int quilmer_pthread_key_create(unsigned*, void (*)(void*));
void* quilmer_pthread_getspecific(unsigned);
int quilmer_pthread_setspecific(unsigned, const void*);
}

namespace {

struct ThreadStart {
    void (*fn)(void*);
    void* pArg;
};

DWORD WINAPI RunThreadStart(void* p)
{
    auto* s = static_cast<ThreadStart*>(p);
    s->fn(s->pArg);
    return 0;
}

// Runs fn on n threads at once and waits for all of them.
void OnThreads(int n, void (*fn)(void*), void* pArg)
{
    ThreadStart start{fn, pArg};
    std::vector<HANDLE> threads;
    for (int i = 0; i < n; ++i) {
        threads.push_back(::CreateThread(nullptr, 0, RunThreadStart, &start, 0, nullptr));
        ASSERT_NE(threads.back(), nullptr);
    }
    ::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (HANDLE h : threads)
        ::CloseHandle(h);
}

} // namespace

// Every static initialiser of winpthreads' headers (normal -1, error-checking -2,
// recursive -3) works without an init call, and the lock excludes: four threads
// adding without atomics lose nothing.
class StaticMutexTest : public ::testing::TestWithParam<intptr_t> {};

TEST_P(StaticMutexTest, ExcludesOtherThreads)
{
    struct Shared {
        intptr_t mutex;
        long counter;
    } shared{GetParam(), 0};
    OnThreads(4, [](void* p) {
        auto* s = static_cast<Shared*>(p);
        for (int i = 0; i < 20000; ++i) {
            quilmer_pthread_mutex_lock(&s->mutex);
            const long value = s->counter;
            if (i % 1000 == 0)
                ::SwitchToThread();
            s->counter = value + 1;
            quilmer_pthread_mutex_unlock(&s->mutex);
        }
    }, &shared);
    EXPECT_EQ(shared.counter, 4 * 20000);
    EXPECT_EQ(quilmer_pthread_mutex_destroy(&shared.mutex), 0);
}

INSTANTIATE_TEST_SUITE_P(Initialisers, StaticMutexTest, ::testing::Values(-1, -2, -3));

TEST(PosixMutex, TryLockFailsWhileAnotherThreadHoldsItAndLockIsReentrant)
{
    intptr_t mutex = 0;
    ASSERT_EQ(quilmer_pthread_mutex_init(&mutex, nullptr), 0);
    ASSERT_EQ(quilmer_pthread_mutex_lock(&mutex), 0);
    EXPECT_EQ(quilmer_pthread_mutex_lock(&mutex), 0);  // the recursive kind relocks
    int nResult = -1;
    struct Args {
        intptr_t* pMutex;
        int* pResult;
    } args{&mutex, &nResult};
    OnThreads(1, [](void* p) {
        auto* a = static_cast<Args*>(p);
        *a->pResult = quilmer_pthread_mutex_trylock(a->pMutex);
    }, &args);
    EXPECT_EQ(nResult, EBUSY);
    quilmer_pthread_mutex_unlock(&mutex);
    quilmer_pthread_mutex_unlock(&mutex);
    OnThreads(1, [](void* p) {
        auto* a = static_cast<Args*>(p);
        *a->pResult = quilmer_pthread_mutex_trylock(a->pMutex);
        if (*a->pResult == 0)
            quilmer_pthread_mutex_unlock(a->pMutex);
    }, &args);
    EXPECT_EQ(nResult, 0);
    EXPECT_EQ(quilmer_pthread_mutex_destroy(&mutex), 0);
}

TEST(PosixCondition, BroadcastWakesEveryWaiter)
{
    struct Shared {
        intptr_t mutex = -1;
        intptr_t cond = -1;  // the static initialiser
        bool bGo = false;
        int nAwake = 0;
        int nWaiting = 0;
    } shared;
    ThreadStart waiter{[](void* p) {
                           auto* s = static_cast<Shared*>(p);
                           quilmer_pthread_mutex_lock(&s->mutex);
                           ++s->nWaiting;
                           while (!s->bGo)
                               quilmer_pthread_cond_wait(&s->cond, &s->mutex);
                           ++s->nAwake;
                           quilmer_pthread_mutex_unlock(&s->mutex);
                       },
                       &shared};
    HANDLE hWaiters[3];
    for (HANDLE& h : hWaiters) {
        h = ::CreateThread(nullptr, 0, RunThreadStart, &waiter, 0, nullptr);
        ASSERT_NE(h, nullptr);
    }
    for (;;) {
        quilmer_pthread_mutex_lock(&shared.mutex);
        const bool bAll = shared.nWaiting == 3;
        if (bAll) {
            shared.bGo = true;
            quilmer_pthread_cond_broadcast(&shared.cond);
        }
        quilmer_pthread_mutex_unlock(&shared.mutex);
        if (bAll)
            break;
        ::Sleep(1);
    }
    EXPECT_EQ(::WaitForMultipleObjects(3, hWaiters, TRUE, 10000), WAIT_OBJECT_0);
    for (HANDLE h : hWaiters)
        ::CloseHandle(h);
    EXPECT_EQ(shared.nAwake, 3);
}

namespace {
long g_nOnceRuns = 0;
long g_once = 0;
}

TEST(PosixOnce, RunsOnceWhenThreadsRace)
{
    OnThreads(8, [](void*) {
        quilmer_pthread_once(&g_once, [] {
            ::Sleep(20);  // the others arrive while it runs, and must wait for it
            ::InterlockedIncrement(&g_nOnceRuns);
        });
        EXPECT_EQ(g_nOnceRuns, 1);
    }, nullptr);
    EXPECT_EQ(g_nOnceRuns, 1);
}

namespace {
void* g_pDestroyed = nullptr;
long g_nDestroyed = 0;
}

TEST(PosixKey, ValuesArePerThreadAndTheDestructorRunsAtThreadExit)
{
    static unsigned s_key = 0;
    ASSERT_EQ(quilmer_pthread_key_create(&s_key, [](void* p) {
        g_pDestroyed = p;
        ::InterlockedIncrement(&g_nDestroyed);
    }), 0);
    static int s_main = 1, s_other = 2;
    ASSERT_EQ(quilmer_pthread_setspecific(s_key, &s_main), 0);
    OnThreads(1, [](void*) {
        EXPECT_EQ(quilmer_pthread_getspecific(s_key), nullptr);
        quilmer_pthread_setspecific(s_key, &s_other);
        ::SetLastError(ERROR_ACCESS_DENIED);
        EXPECT_EQ(quilmer_pthread_getspecific(s_key), &s_other);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }, nullptr);
    EXPECT_EQ(g_nDestroyed, 1);
    EXPECT_EQ(g_pDestroyed, &s_other);
    EXPECT_EQ(quilmer_pthread_getspecific(s_key), &s_main);

    // A thread that leaves its value null gets no destructor call.
    OnThreads(1, [](void*) { quilmer_pthread_setspecific(s_key, nullptr); }, nullptr);
    EXPECT_EQ(g_nDestroyed, 1);
    quilmer_pthread_setspecific(s_key, nullptr);
}
