// The few POSIX thread calls that the C++ runtime makes, on the system's own
// primitives, in place of the winpthreads library.
//
// The compiler's runtime (exception globals through emulated thread-local storage,
// the unwinder's registration lock and one-time set-up, the guards of function-
// local statics, the emergency exception pool) is built on the POSIX thread model
// and calls pthread_once, thread-specific keys, mutexes and condition variables.
// The program itself starts its threads with CreateThread and never calls POSIX.
// winpthreads brings a full POSIX layer (thread creation, cancellation, read-write
// locks, timed waits) of 32 KB; these are the calls in use, each on its direct
// system counterpart:
//
//   mutex        a CRITICAL_SECTION (re-entrant, so it serves the normal, the
//                error-checking and the recursive kinds), created on first use
//                when the mutex was initialised statically;
//   condition    a CONDITION_VARIABLE, which fits the pthread_cond_t word itself;
//   once         a three-state word: not run, running (others yield until it is
//                done), done;
//   key          a fiber-local storage slot, whose callback runs the key's
//                destructor with a non-null value when a thread ends.
//
// A mix with winpthreads is impossible by construction: any other POSIX call
// would pull in a winpthreads member that defines some of these too, and the
// link fails with a duplicate definition.
//
// QUILMER_POSIX_NAME lets the tests build this file under other names, beside the
// winpthreads that their own runtime uses.

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#ifndef QUILMER_POSIX_NAME
#define QUILMER_POSIX_NAME(name) name
#endif

typedef intptr_t pthread_mutex_t;
typedef intptr_t pthread_cond_t;
typedef unsigned pthread_mutexattr_t;
typedef int pthread_condattr_t;
typedef long pthread_once_t;
typedef unsigned pthread_key_t;

namespace {

// The static initialisers of winpthreads' headers, which the runtime was compiled
// with: normal, error-checking and recursive mutexes, and condition variables.
constexpr intptr_t kStaticInitMin = -3;
constexpr intptr_t kStaticInit = -1;

static_assert(sizeof(pthread_cond_t) == sizeof(CONDITION_VARIABLE), "the condition variable lives in the word");

bool IsStaticInit(intptr_t value)
{
    return value >= kStaticInitMin && value <= kStaticInit;
}

// The mutex's critical section; created on first use of a statically initialised
// mutex. Two threads may race to create it: one wins, the other frees its copy.
CRITICAL_SECTION* MutexSection(pthread_mutex_t* m)
{
    const intptr_t value = __atomic_load_n(m, __ATOMIC_ACQUIRE);
    if (!IsStaticInit(value))
        return reinterpret_cast<CRITICAL_SECTION*>(value);
    // A failure here is an error code for the caller, never an exception out of
    // the runtime's lock: malloc gives that null answer without the library's
    // new-handler machinery that the nothrow operator new carries.
    auto* pSection = static_cast<CRITICAL_SECTION*>(std::malloc(sizeof(CRITICAL_SECTION)));
    if (!pSection)
        return nullptr;
    ::InitializeCriticalSection(pSection);
    intptr_t expected = value;
    if (__atomic_compare_exchange_n(m, &expected, reinterpret_cast<intptr_t>(pSection), false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
        return pSection;
    ::DeleteCriticalSection(pSection);
    std::free(pSection);
    return reinterpret_cast<CRITICAL_SECTION*>(expected);
}

CONDITION_VARIABLE* ConditionVariable(pthread_cond_t* c)
{
    intptr_t expected = kStaticInit;
    __atomic_compare_exchange_n(c, &expected, 0, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
    return reinterpret_cast<CONDITION_VARIABLE*>(c);
}

// Keys: the runtime creates one or two; each has its own callback, because a
// fiber-local storage callback receives the value but not the slot.
constexpr unsigned kMaxKeys = 8;
struct KeySlot {
    DWORD dwFlsIndex;
    void (*pfnDestructor)(void*);
};
KeySlot s_keys[kMaxKeys];
LONG s_nKeys = 0;

template <unsigned N>
void WINAPI KeyCallback(void* pValue)
{
    if (pValue && s_keys[N].pfnDestructor)
        s_keys[N].pfnDestructor(pValue);
}

constexpr PFLS_CALLBACK_FUNCTION kCallbacks[kMaxKeys] = {KeyCallback<0>, KeyCallback<1>, KeyCallback<2>,
                                                         KeyCallback<3>, KeyCallback<4>, KeyCallback<5>,
                                                         KeyCallback<6>, KeyCallback<7>};

enum : long { kOnceNotRun = 0, kOnceRunning = 1, kOnceDone = 2 };

} // namespace

extern "C" {

int QUILMER_POSIX_NAME(pthread_mutex_init)(pthread_mutex_t* m, const pthread_mutexattr_t*)
{
    *m = kStaticInit;
    return MutexSection(m) ? 0 : ENOMEM;
}

int QUILMER_POSIX_NAME(pthread_mutex_destroy)(pthread_mutex_t* m)
{
    const intptr_t value = __atomic_exchange_n(m, kStaticInit, __ATOMIC_ACQ_REL);
    if (!IsStaticInit(value)) {
        CRITICAL_SECTION* pSection = reinterpret_cast<CRITICAL_SECTION*>(value);
        ::DeleteCriticalSection(pSection);
        std::free(pSection);
    }
    return 0;
}

int QUILMER_POSIX_NAME(pthread_mutex_lock)(pthread_mutex_t* m)
{
    CRITICAL_SECTION* pSection = MutexSection(m);
    if (!pSection)
        return ENOMEM;
    ::EnterCriticalSection(pSection);
    return 0;
}

int QUILMER_POSIX_NAME(pthread_mutex_trylock)(pthread_mutex_t* m)
{
    CRITICAL_SECTION* pSection = MutexSection(m);
    if (!pSection)
        return ENOMEM;
    return ::TryEnterCriticalSection(pSection) ? 0 : EBUSY;
}

int QUILMER_POSIX_NAME(pthread_mutex_unlock)(pthread_mutex_t* m)
{
    const intptr_t value = __atomic_load_n(m, __ATOMIC_ACQUIRE);
    if (IsStaticInit(value))
        return EPERM;
    ::LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(value));
    return 0;
}

int QUILMER_POSIX_NAME(pthread_cond_init)(pthread_cond_t* c, const pthread_condattr_t*)
{
    *c = kStaticInit;
    ConditionVariable(c);
    return 0;
}

int QUILMER_POSIX_NAME(pthread_cond_destroy)(pthread_cond_t*)
{
    return 0;
}

int QUILMER_POSIX_NAME(pthread_cond_wait)(pthread_cond_t* c, pthread_mutex_t* m)
{
    CRITICAL_SECTION* pSection = MutexSection(m);
    if (!pSection)
        return ENOMEM;
    return ::SleepConditionVariableCS(ConditionVariable(c), pSection, INFINITE) ? 0 : EINVAL;
}

int QUILMER_POSIX_NAME(pthread_cond_signal)(pthread_cond_t* c)
{
    ::WakeConditionVariable(ConditionVariable(c));
    return 0;
}

int QUILMER_POSIX_NAME(pthread_cond_broadcast)(pthread_cond_t* c)
{
    ::WakeAllConditionVariable(ConditionVariable(c));
    return 0;
}

int QUILMER_POSIX_NAME(pthread_once)(pthread_once_t* o, void (*pfnInit)(void))
{
    if (__atomic_load_n(o, __ATOMIC_ACQUIRE) == kOnceDone)
        return 0;
    long expected = kOnceNotRun;
    if (__atomic_compare_exchange_n(o, &expected, kOnceRunning, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
        pfnInit();
        __atomic_store_n(o, kOnceDone, __ATOMIC_RELEASE);
        return 0;
    }
    while (__atomic_load_n(o, __ATOMIC_ACQUIRE) != kOnceDone)
        ::SwitchToThread();
    return 0;
}

int QUILMER_POSIX_NAME(pthread_key_create)(pthread_key_t* key, void (*pfnDestructor)(void*))
{
    const LONG n = ::InterlockedIncrement(&s_nKeys) - 1;
    if (n >= static_cast<LONG>(kMaxKeys)) {
        ::InterlockedDecrement(&s_nKeys);
        return EAGAIN;
    }
    s_keys[n].pfnDestructor = pfnDestructor;
    s_keys[n].dwFlsIndex = ::FlsAlloc(kCallbacks[n]);
    if (s_keys[n].dwFlsIndex == FLS_OUT_OF_INDEXES)
        return EAGAIN;
    *key = static_cast<pthread_key_t>(n);
    return 0;
}

void* QUILMER_POSIX_NAME(pthread_getspecific)(pthread_key_t key)
{
    if (key >= kMaxKeys)
        return nullptr;
    // The system's call resets the last error; a caller between a failed call and
    // its GetLastError must not see that.
    const DWORD dwError = ::GetLastError();
    void* pValue = ::FlsGetValue(s_keys[key].dwFlsIndex);
    ::SetLastError(dwError);
    return pValue;
}

int QUILMER_POSIX_NAME(pthread_setspecific)(pthread_key_t key, const void* pValue)
{
    if (key >= kMaxKeys)
        return EINVAL;
    return ::FlsSetValue(s_keys[key].dwFlsIndex, const_cast<void*>(pValue)) ? 0 : ENOMEM;
}

} // extern "C"
