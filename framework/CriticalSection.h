#pragma once
// Locks (a critical section, a kernel mutex) and their scope guard.
//
// CCriticalSection owns one CRITICAL_SECTION: initialised on construction,
// deleted on destruction, never copied or moved (the system keeps pointers into
// it while it is entered). Cheap, but a thread ended from outside while it
// waits to enter one leaves the section's waiter count wrong for good.
//
// CMutex owns an unnamed kernel mutex. Dearer (every entry is a system call),
// but a thread may be ended while it waits for it without harm: the kernel
// simply drops the wait. Use it for a lock whose waiters may be ended by
// TerminateThread.
//
// Both may be entered again by the thread that holds them.
//
// CScopedLock enters a lock for one scope and leaves it on every way out, a
// throw included. A null lock means "no lock to take": the guard then does
// nothing, for locks that exist only for part of the process's life.

#include "framework/Handles.h"

#include <windows.h>

class CCriticalSection
{
public:
    CCriticalSection() noexcept { ::InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }

    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void Lock() noexcept { ::EnterCriticalSection(&m_cs); }
    void Unlock() noexcept { ::LeaveCriticalSection(&m_cs); }
    // TRUE when the lock was free (or already held by this thread) and is now held.
    BOOL TryLock() noexcept { return ::TryEnterCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CMutex
{
public:
    CMutex() noexcept : m_hMutex(::CreateMutexW(nullptr, FALSE, nullptr)) {}

    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    // FALSE only when the system could not create the mutex.
    BOOL IsValid() const noexcept { return m_hMutex ? TRUE : FALSE; }

    // WAIT_ABANDONED (its last holder ended without leaving it) also hands
    // the mutex over.
    void Lock() noexcept { ::WaitForSingleObject(m_hMutex.get(), INFINITE); }
    void Unlock() noexcept { ::ReleaseMutex(m_hMutex.get()); }
    BOOL TryLock() noexcept
    {
        const DWORD dwResult = ::WaitForSingleObject(m_hMutex.get(), 0);
        return dwResult == WAIT_OBJECT_0 || dwResult == WAIT_ABANDONED;
    }

private:
    UniqueHandle m_hMutex;
};

template <typename TLock>
class CScopedLock
{
public:
    explicit CScopedLock(TLock* pLock) noexcept : m_pLock(pLock)
    {
        if (m_pLock)
            m_pLock->Lock();
    }
    ~CScopedLock()
    {
        if (m_pLock)
            m_pLock->Unlock();
    }

    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    TLock* m_pLock;
};

using CCriticalSectionLock = CScopedLock<CCriticalSection>;
using CMutexLock = CScopedLock<CMutex>;
