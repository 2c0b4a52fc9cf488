// A program linked as Quilmer.exe is (its entry, its start-up, its runtime
// pieces), started by StartUpTest.cpp. It writes what it sees, in the order it
// happens, one line each, to the file that QUILMER_START_UP_TRACE names, and
// exits with 197; given "uncaught" as its command line, it throws an exception
// nobody catches from wWinMain instead. Every constructor and destructor throws an exception through
// a frame of its own and catches it, which works only while the unwinder has the
// program's .eh_frame table.

#include "framework/Handles.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

void Trace(const std::string& line)
{
    char szPath[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableA("QUILMER_START_UP_TRACE", szPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    const UniqueFile file(::CreateFileA(szPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr));
    if (!file)
        return;
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

__attribute__((noinline)) void Throw(const char* pszWhat)
{
    throw std::runtime_error(pszWhat);
}

std::string ThrowAndCatch()
{
    try {
        Throw("caught");
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "not caught";
}

struct Traced {
    explicit Traced(const char* pszName) : m_pszName(pszName)
    {
        Trace(std::string("constructor ") + m_pszName + ", " + ThrowAndCatch());
    }
    ~Traced() { Trace(std::string("destructor ") + m_pszName + ", " + ThrowAndCatch()); }
    const char* m_pszName;
};

// The earliest priority a program may give: it runs right after the unwinder's
// registration and is destroyed right before its deregistration.
__attribute__((init_priority(101))) Traced g_early("early");
Traced g_first("first");
Traced g_second("second");

__attribute__((destructor)) void DestructorAttribute()
{
    Trace("destructor attribute");
}

void UseLocalStatic()
{
    static Traced s_local("local");
}

void __cdecl RegisteredDuringExit()
{
    Trace("registered during exit");
}

void __cdecl RegistersDuringExit()
{
    Trace("registers during exit");
    std::atexit(RegisteredDuringExit);
}

void __cdecl RegisteredByWorker()
{
    Trace("registered by worker");
}

DWORD WINAPI Worker(void*)
{
    Trace("worker, " + ThrowAndCatch());
    std::atexit(RegisteredByWorker);
    return 0;
}

std::string Narrow(const wchar_t* psz)
{
    std::string text;
    for (; *psz; ++psz)
        text += static_cast<char>(*psz);
    return text;
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow)
{
    Trace(std::string("wWinMain: module ") + (hInstance == ::GetModuleHandleW(nullptr) ? "ok" : "wrong") +
          ", previous " + (hPrevInstance ? "set" : "null") + ", show " + std::to_string(nCmdShow) +
          ", command line [" + Narrow(lpCmdLine) + "], " + ThrowAndCatch());
    if (std::wstring(lpCmdLine) == L"uncaught")
        Throw("uncaught");
    UseLocalStatic();
    const UniqueHandle thread(::CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr));
    ::WaitForSingleObject(thread.get(), INFINITE);
    std::atexit(RegistersDuringExit);
    Trace("wWinMain returns");
    return 197;
}
