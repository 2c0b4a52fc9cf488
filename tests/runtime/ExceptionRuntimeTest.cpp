// The 32-bit program's exception runtime (runtime/Unwind.cpp, Personality.cpp,
// PointerTypeInfo.cpp and ExceptionStorage.cpp), linked into this test in place
// of the compiler runtime's unwinder and the library's personality, pointer
// type information and exception storage: every exception
// below, and every one that GoogleTest itself throws and catches, uses it. The
// link proves the replacement: the replaced library members define the same
// entry points, so had any of them been pulled in, the link would fail with
// duplicate definitions.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// --- Frames of different shapes between a throw and its handler ------------

struct ThrownError {
    int nCode;
};

struct DerivedError : ThrownError {
    explicit DerivedError(int n) : ThrownError{n} {}
    virtual ~DerivedError() = default;
};

// Keeps the compiler from folding the frames away.
volatile int g_nSink;

[[noreturn]] __attribute__((noinline)) void ThrowDerived(int nCode)
{
    throw new DerivedError(nCode);
}

// A frame with a variable-sized allocation: its CFA is tracked through ebp.
__attribute__((noinline)) int AllocaFrame(int nCode, int nBytes)
{
    char* p = static_cast<char*>(__builtin_alloca(nBytes));
    for (int i = 0; i < nBytes; ++i)
        p[i] = char(i);
    g_nSink = p[nBytes - 1];
    ThrowDerived(nCode);
    return p[0];
}

// A frame that realigns its stack, described with DWARF expressions.
__attribute__((noinline, force_align_arg_pointer)) int RealignedFrame(int nCode)
{
    alignas(16) volatile char buffer[64] = {};
    buffer[3] = char(nCode);
    ThrowDerived(nCode + buffer[3] - char(nCode));
    return buffer[0];
}

// A stdcall frame, the convention of every window procedure and thread entry.
__attribute__((noinline)) int __stdcall StdcallFrame(int nCode, int nPadding)
{
    g_nSink = nPadding;
    ThrowDerived(nCode);
    return 0;
}

// Many frames, each with callee-saved registers in use.
__attribute__((noinline)) int Recurse(int nDepth, int nCode)
{
    if (nDepth == 0) {
        if (nCode >= 0)
            ThrowDerived(nCode);
        return 0;
    }
    const int a = nDepth * 3, b = nDepth ^ 0x55, c = nDepth + nCode;
    const int n = Recurse(nDepth - 1, nCode);
    return n + a + b + c;
}

struct FrameShape {
    const char* name;
    void (*pfnThrow)(int nCode);
};

class UnwindThroughFrame : public ::testing::TestWithParam<FrameShape> {};

// The handler gets the exception object, and the handler's frame gets its own
// registers back: the locals it holds in callee-saved registers across the
// call must be what they were, or the unwinder restored the wrong values.
TEST_P(UnwindThroughFrame, HandlerGetsTheExceptionAndItsOwnRegisters)
{
    const int nCode = 0x1234 + int(std::strlen(GetParam().name));
    int a = nCode * 7, b = nCode ^ 0x0F0F, c = nCode - 99, d = nCode * nCode, e = nCode + 3;
    int nCaught = 0;
    try {
        GetParam().pfnThrow(nCode);
        ADD_FAILURE() << "nothing thrown";
    } catch (ThrownError* pError) {
        nCaught = pError->nCode;
        delete static_cast<DerivedError*>(pError);
    }
    EXPECT_EQ(nCaught, nCode);
    EXPECT_EQ(a, nCode * 7);
    EXPECT_EQ(b, nCode ^ 0x0F0F);
    EXPECT_EQ(c, nCode - 99);
    EXPECT_EQ(d, nCode * nCode);
    EXPECT_EQ(e, nCode + 3);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, UnwindThroughFrame,
    ::testing::Values(FrameShape{"Leaf", [](int n) { ThrowDerived(n); }},
                      FrameShape{"Alloca", [](int n) { g_nSink = AllocaFrame(n, 100 + n % 7); }},
                      FrameShape{"Realigned", [](int n) { g_nSink = RealignedFrame(n); }},
                      FrameShape{"Stdcall", [](int n) { g_nSink = StdcallFrame(n, 5); }},
                      FrameShape{"Through200Frames", [](int n) { g_nSink = Recurse(200, n); }}),
    [](const ::testing::TestParamInfo<FrameShape>& info) { return std::string(info.param.name); });

// --- Cleanups, rethrow, nesting ----------------------------------------------

struct Recorder {
    std::vector<int>& log;
    int nId;
    ~Recorder() { log.push_back(nId); }
};

__attribute__((noinline)) void InnerWithCleanup(std::vector<int>& log)
{
    Recorder inner{log, 3};
    throw std::runtime_error("inner");
}

__attribute__((noinline)) void MiddleWithCleanup(std::vector<int>& log)
{
    Recorder first{log, 1};
    Recorder second{log, 2};
    InnerWithCleanup(log);
}

TEST(Unwind, DestructorsOfEveryFrameRunInnermostFirst)
{
    std::vector<int> log;
    try {
        MiddleWithCleanup(log);
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "inner");
        log.push_back(0);
    }
    EXPECT_EQ(log, (std::vector<int>{3, 2, 1, 0}));
}

TEST(Unwind, RethrowReachesTheOuterHandlerWithTheSameObject)
{
    std::vector<int> log;
    const std::exception* pFirst = nullptr;
    const std::exception* pSecond = nullptr;
    try {
        try {
            MiddleWithCleanup(log);
        } catch (const std::exception& e) {
            pFirst = &e;
            Recorder inHandler{log, 9};
            throw;
        }
    } catch (const std::runtime_error& e) {
        pSecond = &e;
    }
    EXPECT_NE(pFirst, nullptr);
    EXPECT_EQ(pFirst, pSecond);
    EXPECT_EQ(log, (std::vector<int>{3, 2, 1, 9}));
}

TEST(Unwind, ExceptionThrownInsideAHandlerReplacesTheFirst)
{
    int nCaught = 0;
    try {
        try {
            ThrowDerived(1);
        } catch (ThrownError* pError) {
            delete static_cast<DerivedError*>(pError);
            throw std::logic_error("second");
        }
    } catch (const std::logic_error& e) {
        nCaught = 2;
        EXPECT_STREQ(e.what(), "second");
    } catch (...) {
        nCaught = -1;
    }
    EXPECT_EQ(nCaught, 2);
    EXPECT_EQ(std::uncaught_exceptions(), 0);
}

TEST(Unwind, ExceptionPointerRethrowsAcrossFrames)
{
    std::exception_ptr pStored;
    try {
        MiddleWithCleanup(*new std::vector<int>);   // leaked on purpose: the log is not the point
    } catch (...) {
        pStored = std::current_exception();
    }
    ASSERT_TRUE(pStored);
    EXPECT_THROW(std::rethrow_exception(pStored), std::runtime_error);
}

TEST(Unwind, HandlerThatDoesNotMatchIsPassedBy)
{
    std::string caught;
    try {
        try {
            throw std::out_of_range("range");
        } catch (const std::bad_alloc&) {
            caught = "bad_alloc";
        } catch (ThrownError*) {
            caught = "ThrownError";
        }
    } catch (const std::logic_error& e) {
        caught = e.what();
    }
    EXPECT_EQ(caught, "range");
}

// Of several handlers, the first whose type the thrown one converts to runs.
struct ClauseCase {
    const char* name;
    void (*pfnThrow)();
    int nClause;
};

class FirstMatchingHandler : public ::testing::TestWithParam<ClauseCase> {};

TEST_P(FirstMatchingHandler, Runs)
{
    int nClause = 0;
    try {
        GetParam().pfnThrow();
    } catch (const std::bad_alloc&) {
        nClause = 1;
    } catch (ThrownError* pError) {
        nClause = 2;
        delete static_cast<DerivedError*>(pError);
    } catch (const std::logic_error&) {
        nClause = 3;
    } catch (const std::exception&) {
        nClause = 4;
    } catch (...) {
        nClause = 5;
    }
    EXPECT_EQ(nClause, GetParam().nClause);
}

INSTANTIATE_TEST_SUITE_P(
    Clauses, FirstMatchingHandler,
    ::testing::Values(ClauseCase{"BadAlloc", [] { throw std::bad_alloc(); }, 1},
                      ClauseCase{"PointerToDerived", [] { ThrowDerived(7); }, 2},
                      ClauseCase{"DerivedOfLogicError", [] { throw std::out_of_range("x"); }, 3},
                      ClauseCase{"OtherStdException", [] { throw std::runtime_error("x"); }, 4},
                      ClauseCase{"Int", [] { throw 42; }, 5},
                      ClauseCase{"Text", [] { throw "text"; }, 5}),
    [](const ::testing::TestParamInfo<ClauseCase>& info) { return std::string(info.param.name); });

// Handlers for pointers follow the language's conversions: to void*, adding
// const, a null pointer constant to any pointer; never dropping const, and a
// base-class conversion only at the first level.
ThrownError g_thrown{3};
ThrownError* g_pThrown = &g_thrown;
const ThrownError g_constThrown{4};
DerivedError g_derived(5);
DerivedError* g_pDerived = &g_derived;

struct PointerCase {
    const char* name;
    bool (*pfnCaughtAsExpected)();
};

class PointerHandler : public ::testing::TestWithParam<PointerCase> {};

TEST_P(PointerHandler, FollowsTheConversions)
{
    EXPECT_TRUE(GetParam().pfnCaughtAsExpected());
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, PointerHandler,
    ::testing::Values(
        PointerCase{"VoidTakesAnObjectPointer",
                    [] {
                        try { throw g_pDerived; } catch (void* p) { return p == g_pDerived; }
                    }},
        PointerCase{"ConstIsAdded",
                    [] {
                        try { throw &g_thrown; } catch (const ThrownError* p) { return p == &g_thrown; }
                    }},
        PointerCase{"ConstIsNeverDropped",
                    [] {
                        try { throw &g_constThrown; } catch (ThrownError*) { return false; } catch (const ThrownError* p) { return p == &g_constThrown; }
                    }},
        PointerCase{"NullPointerConstantToAnyPointer",
                    [] {
                        try { throw nullptr; } catch (ThrownError* p) { return p == nullptr; }
                    }},
        PointerCase{"NoBaseConversionBelowTheFirstLevel",
                    [] {
                        try { throw &g_pDerived; } catch (ThrownError**) { return false; } catch (DerivedError** pp) { return *pp == &g_derived; }
                    }},
        PointerCase{"ConstAtEveryLevel",
                    [] {
                        try { throw &g_pThrown; } catch (const ThrownError* const* pp) { return *pp == &g_thrown; }
                    }},
        PointerCase{"ConstOnlyInside",
                    [] {
                        try { throw &g_pThrown; } catch (const ThrownError**) { return false; } catch (...) { return true; }
                    }}),
    [](const ::testing::TestParamInfo<PointerCase>& info) { return std::string(info.param.name); });

// --- Threads ------------------------------------------------------------------

// Walks on several threads at once share nothing but the read-only table.
TEST(Unwind, ThreadsThrowAtTheSameTime)
{
    constexpr int kThreads = 4, kThrows = 500;
    std::atomic<int> nCaught{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &nCaught] {
            for (int i = 0; i < kThrows; ++i) {
                const int nCode = t * 100000 + i;
                try {
                    g_nSink = Recurse(i % 20, nCode);
                } catch (ThrownError* pError) {
                    if (pError->nCode == nCode)
                        ++nCaught;
                    delete static_cast<DerivedError*>(pError);
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(nCaught.load(), kThreads * kThrows);
}

// --- Where thrown objects and the per-thread state live -------------------------

struct CountsInDestructor {
    int& nHere;
    int& nOtherThread;
    ~CountsInDestructor()
    {
        nHere = std::uncaught_exceptions();
        std::thread([this] { nOtherThread = std::uncaught_exceptions(); }).join();
    }
};

// The count of exceptions in flight belongs to the thread that threw.
TEST(ExceptionStorage, ExceptionsInFlightAreCountedPerThread)
{
    int nHere = -1, nOtherThread = -1;
    try {
        CountsInDestructor counts{nHere, nOtherThread};
        throw std::runtime_error("in flight");
    } catch (const std::exception&) {
    }
    EXPECT_EQ(nHere, 1);
    EXPECT_EQ(nOtherThread, 0);
    EXPECT_EQ(std::uncaught_exceptions(), 0);
}

// Handlers nest: the innermost caught exception is the current one, and the
// outer one is current again when the inner handler ends.
TEST(ExceptionStorage, CaughtExceptionsStack)
{
    std::string inner, outer;
    try {
        throw std::runtime_error("outer");
    } catch (const std::exception&) {
        try {
            throw std::logic_error("inner");
        } catch (const std::exception&) {
            try {
                std::rethrow_exception(std::current_exception());
            } catch (const std::exception& e) {
                inner = e.what();
            }
        }
        try {
            throw;
        } catch (const std::exception& e) {
            outer = e.what();
        }
    }
    EXPECT_EQ(inner, "inner");
    EXPECT_EQ(outer, "outer");
}

// An exception thrown when the heap cannot give a byte more (std::bad_alloc
// itself) still reaches its handler: its object comes from the reserve.
TEST(ExceptionStorage, ThrowsWithTheHeapExhausted)
{
    std::vector<void*> blocks;
    blocks.reserve(1 << 20);
    for (size_t nSize = size_t(64) << 20; nSize >= 8 && blocks.size() < blocks.capacity();) {
        if (void* p = std::malloc(nSize))
            blocks.push_back(p);
        else
            nSize /= 2;
    }
    const bool bExhausted = std::malloc(8 + 96) == nullptr;
    bool bCaught = false;
    try {
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
        bCaught = true;
    }
    for (void* p : blocks)
        std::free(p);
    EXPECT_TRUE(bExhausted);
    EXPECT_TRUE(bCaught);
}

// --- No handler ---------------------------------------------------------------

BOOL CALLBACK ThrowFromSystemCallback(HMODULE, LPWSTR, LONG_PTR)
{
    throw std::runtime_error("through the system");
}

// The system's own frames have no entry in the program's table: an exception
// that would cross them is never caught on the far side; the process ends in
// terminate, as the compiler runtime's unwinder ends it.
TEST(UnwindDeathTest, ExceptionCrossingSystemFramesTerminates)
{
    EXPECT_DEATH(
        {
            try {
                ::EnumResourceTypesW(::GetModuleHandleW(nullptr), ThrowFromSystemCallback, 0);
            } catch (...) {
                ::OutputDebugStringA("caught on the far side of the system's frames\n");
                ::ExitProcess(0);
            }
        },
        "");
}

__attribute__((noinline)) void MustNotThrow() noexcept
{
    ThrowDerived(6);
}

// An exception leaving a noexcept function terminates, even with a handler
// waiting outside it.
TEST(UnwindDeathTest, ExceptionLeavingNoexceptTerminates)
{
    EXPECT_DEATH(
        {
            try {
                MustNotThrow();
            } catch (...) {
                ::ExitProcess(0);
            }
        },
        "");
}

DWORD WINAPI ThreadWithoutHandler(void*)
{
    ThrowDerived(5);
}

// A thread's outermost frame is the system's: the walk finds no handler and
// the throw ends in terminate, before any frame has been unwound.
TEST(UnwindDeathTest, ExceptionWithoutHandlerTerminates)
{
    EXPECT_DEATH(
        {
            HANDLE hThread = ::CreateThread(nullptr, 0, ThreadWithoutHandler, nullptr, 0, nullptr);
            ::WaitForSingleObject(hThread, INFINITE);
            ::ExitProcess(0);
        },
        "");
}

} // namespace
