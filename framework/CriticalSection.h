#pragma once
// A critical section and its scope guard.
//
// CCriticalSection owns one CRITICAL_SECTION: initialised on construction,
// deleted on destruction, never copied or moved (the system keeps pointers into
// it while it is entered). The thread that holds it may enter it again.
//
// CCriticalSectionLock enters a lock for one scope and leaves it on every way
// out, a throw included. A null lock means "no lock to take": the guard then
// does nothing, for locks that exist only for part of the process's life.

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

class CCriticalSectionLock
{
public:
    explicit CCriticalSectionLock(CCriticalSection* pLock) noexcept : m_pLock(pLock)
    {
        if (m_pLock)
            m_pLock->Lock();
    }
    ~CCriticalSectionLock()
    {
        if (m_pLock)
            m_pLock->Unlock();
    }

    CCriticalSectionLock(const CCriticalSectionLock&) = delete;
    CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

private:
    CCriticalSection* m_pLock;
};
