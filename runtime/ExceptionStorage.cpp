// Where the 32-bit program keeps its thrown objects and each thread's exception
// state, in place of the C++ library's versions of these five calls.
//
// The library's allocator reserves a 73 KB emergency pool at start-up and
// brings its own locking and memory-tuning code; its per-thread state comes
// through the compiler's emulated thread-local storage. Here a thrown object
// comes from the heap, or, when the heap is exhausted (std::bad_alloc being
// thrown), from a few fixed blocks; the per-thread state lives in a
// fiber-local slot whose callback frees it when the thread ends.
//
// The library's catch and rethrow code reads a header in front of every thrown
// object; only its size matters here (the header is private to the library):
// 96 bytes for an ordinary exception and 80 for a dependent one (an
// exception_ptr being rethrown), both zeroed, on this target.

#if defined(__i386__)

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

constexpr size_t kExceptionHeaderSize = 96;
constexpr size_t kDependentExceptionSize = 80;

// Enough for std::bad_alloc and the framework's exceptions with their texts
// in place; an exception thrown while memory is short is one of those.
constexpr size_t kEmergencyBlockSize = 512;
constexpr unsigned kEmergencyBlocks = 4;

struct alignas(16) EmergencyBlock {
    unsigned char bytes[kEmergencyBlockSize];
};

EmergencyBlock g_emergencyBlocks[kEmergencyBlocks];
volatile LONG g_emergencyInUse[kEmergencyBlocks];

void* AllocateZeroedHeader(size_t nTotal, size_t nHeader)
{
    void* p = std::malloc(nTotal);
    if (!p && nTotal <= kEmergencyBlockSize) {
        for (unsigned i = 0; i < kEmergencyBlocks && !p; ++i) {
            if (::InterlockedExchange(&g_emergencyInUse[i], 1) == 0)
                p = g_emergencyBlocks[i].bytes;
        }
    }
    if (!p)
        std::terminate();   // no memory at all to throw with, as the library does
    std::memset(p, 0, nHeader);
    return p;
}

void FreeBlock(void* p)
{
    for (unsigned i = 0; i < kEmergencyBlocks; ++i) {
        if (p == g_emergencyBlocks[i].bytes) {
            ::InterlockedExchange(&g_emergencyInUse[i], 0);
            return;
        }
    }
    std::free(p);
}

// The library's per-thread record: the stack of caught exceptions and the
// count of exceptions in flight.
struct ThreadExceptionState {
    void* pCaughtExceptions;
    unsigned nUncaughtExceptions;
};

INIT_ONCE g_stateSlotOnce = INIT_ONCE_STATIC_INIT;
DWORD g_dwStateSlot = FLS_OUT_OF_INDEXES;

void WINAPI FreeThreadState(void* pState)
{
    std::free(pState);
}

BOOL CALLBACK AllocateStateSlot(INIT_ONCE*, void*, void**)
{
    g_dwStateSlot = ::FlsAlloc(FreeThreadState);
    return g_dwStateSlot != FLS_OUT_OF_INDEXES;
}

} // namespace

extern "C" {

void* __cxa_allocate_exception(size_t nThrownSize) noexcept
{
    char* p = static_cast<char*>(AllocateZeroedHeader(nThrownSize + kExceptionHeaderSize, kExceptionHeaderSize));
    return p + kExceptionHeaderSize;
}

void __cxa_free_exception(void* pThrown) noexcept
{
    FreeBlock(static_cast<char*>(pThrown) - kExceptionHeaderSize);
}

void* __cxa_allocate_dependent_exception() noexcept
{
    return AllocateZeroedHeader(kDependentExceptionSize, kDependentExceptionSize);
}

void __cxa_free_dependent_exception(void* pDependent) noexcept
{
    FreeBlock(pDependent);
}

void* __cxa_get_globals() noexcept
{
    if (!::InitOnceExecuteOnce(&g_stateSlotOnce, AllocateStateSlot, nullptr, nullptr))
        std::terminate();
    void* pState = ::FlsGetValue(g_dwStateSlot);
    if (!pState) {
        pState = std::calloc(1, sizeof(ThreadExceptionState));
        if (!pState || !::FlsSetValue(g_dwStateSlot, pState))
            std::terminate();
    }
    return pState;
}

void* __cxa_get_globals_fast() noexcept
{
    return __cxa_get_globals();
}

} // extern "C"

#endif // __i386__
