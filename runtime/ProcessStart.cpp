// The process's start-up and exit: what this program needs of the C runtime's
// start-up (crt2u.o), and nothing more.
//
// The runtime's start-up also splits the command line into argv and expands
// wildcards in it, sets stdio's file modes, applies runtime pseudo-relocations,
// routes access violations and floating-point faults to signal() handlers,
// installs a math-error handler and an invalid-parameter handler (which the
// import library only records: msvcrt.dll never calls it) and supports TLS
// callbacks. The program reads no argument, uses no stdio, installs no signal
// handler and calls no math function; per-thread data lives in fiber-local
// slots that free it when a thread ends (the 32-bit exception state in
// runtime/ExceptionStorage.cpp, the compiler runtime's emulated TLS of the
// 64-bit program under POSIX keys in runtime/PosixThreads.cpp); and the link
// refuses to import data from a DLL (so no pseudo-relocation can be needed)
// and to place anything the runtime's start-up would have run (C initialisers,
// TLS callbacks: cmake/StartUp.cmake).
//
// What this program needs, in order:
//   0. on x86_64, the filter that lets a C++ exception nobody catches reach
//      std::terminate (below);
//   1. the static constructors, the linker's __CTOR_LIST__, last to first as the
//      compiler's runtime runs them: higher-priority ones (named later) first.
//      The first to run is crtend.o's, which registers the .eh_frame table that
//      crtbegin.o opens with the unwinder: without it every C++ exception ends
//      the process. It registers the matching deregistration with atexit, so
//      that runs last of all;
//   2. wWinMain(module, null, command line after the program's name, show
//      command of STARTUPINFO);
//   3. at exit, the functions given to atexit (every static object's
//      destructor, function-local statics' included), last registered first,
//      with the destructor list (__DTOR_LIST__) in the place the compiler's
//      runtime gives it: registered right after the constructors;
//   4. ExitProcess with wWinMain's result.

#include "runtime/ProcessStart.h"

#include <windows.h>

#include <cstdlib>

extern "C" {

// Written by the default linker script: a -1 word, the entries, a null word.
extern void (*__CTOR_LIST__[])(void);
extern void (*__DTOR_LIST__[])(void);
// The image's first byte: its module handle.
extern IMAGE_DOS_HEADER __ImageBase;
// msvcrt: where its own run-time error reports go (a message box for a GUI
// program, as the runtime's start-up had it).
void __cdecl __set_app_type(int);

} // extern "C"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

namespace {

constexpr int kGuiApp = 2;

// The functions given to atexit, most recent first. Static objects register
// their destructors from any thread (a function-local static first used on a
// worker), so the list has a lock; nodes come from malloc and are freed as
// they run.
struct ExitFunction {
    void(__cdecl* pfn)(void);
    ExitFunction* pNext;
};
SRWLOCK s_exitLock = SRWLOCK_INIT;
ExitFunction* s_pExitFunctions = nullptr;

ExitFunction* PopExitFunction()
{
    ::AcquireSRWLockExclusive(&s_exitLock);
    ExitFunction* pEntry = s_pExitFunctions;
    if (pEntry)
        s_pExitFunctions = pEntry->pNext;
    ::ReleaseSRWLockExclusive(&s_exitLock);
    return pEntry;
}

void __cdecl RunDestructorList()
{
    for (void (**ppfn)(void) = __DTOR_LIST__ + 1; *ppfn; ++ppfn)
        (*ppfn)();
}

void RunConstructors()
{
    size_t n = 0;
    while (__CTOR_LIST__[n + 1])
        ++n;
    for (; n > 0; --n)
        __CTOR_LIST__[n]();
}

// The command line after the program's name (quoted or not) and the blanks that
// follow it, as wWinMain receives it.
LPWSTR CommandLineArguments()
{
    LPWSTR psz = ::GetCommandLineW();
    bool bInQuotes = false;
    for (; *psz > L' ' || (*psz && bInQuotes); ++psz) {
        if (*psz == L'"')
            bInQuotes = !bInQuotes;
    }
    while (*psz && *psz <= L' ')
        ++psz;
    return psz;
}

int ShowCommand()
{
    STARTUPINFOW si;
    ::GetStartupInfoW(&si);
    return (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWDEFAULT;
}

#if defined(__x86_64__)
// The 64-bit unwinder raises every C++ exception as a system exception of
// GCC's ('GCC' with the customer bit; the top byte says throw, unwind or
// forced unwind) and, when no frame takes it, expects the process's last filter
// to continue it: its throw then returns and calls std::terminate. Without this
// filter such an exception ends the process as a crash instead.
LONG WINAPI ContinueUncaughtCxxException(EXCEPTION_POINTERS* pInfo)
{
    constexpr DWORD kGccExceptionMask = 0x20FFFFFF;
    constexpr DWORD kGccException = 0x20474343;
    const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
    if ((pRecord->ExceptionCode & kGccExceptionMask) == kGccException &&
        !(pRecord->ExceptionFlags & EXCEPTION_NONCONTINUABLE))
        return EXCEPTION_CONTINUE_EXECUTION;
    return EXCEPTION_CONTINUE_SEARCH;
}
#endif

} // namespace

extern "C" {

// The C library's atexit: also what the compiler calls to register a static
// object's destructor. 0 on success, non-zero when memory ran out.
int __cdecl atexit(void(__cdecl* pfn)(void))
{
    ExitFunction* pEntry = static_cast<ExitFunction*>(std::malloc(sizeof(ExitFunction)));
    if (!pEntry)
        return -1;
    pEntry->pfn = pfn;
    ::AcquireSRWLockExclusive(&s_exitLock);
    pEntry->pNext = s_pExitFunctions;
    s_pExitFunctions = pEntry;
    ::ReleaseSRWLockExclusive(&s_exitLock);
    return 0;
}

// The C library's exit: the exit functions, then the end of the process. A
// function registered while they run runs before those registered earlier.
__attribute__((noreturn)) void __cdecl exit(int nCode)
{
    while (ExitFunction* pEntry = PopExitFunction()) {
        pEntry->pfn();
        std::free(pEntry);
    }
    ::ExitProcess(static_cast<UINT>(nCode));
}

} // extern "C"

void RunWinMainProcess()
{
    __set_app_type(kGuiApp);
#if defined(__x86_64__)
    ::SetUnhandledExceptionFilter(ContinueUncaughtCxxException);
#endif
#if defined(__i386__)
    // The x87 unit in its initial state (extended precision, every exception
    // masked), as the runtime's start-up leaves it on the first thread and as
    // the tests' programs compute: the progress bar's fill is computed in it.
    __asm__ __volatile__("fninit");
#endif
    RunConstructors();
    atexit(RunDestructorList);
    exit(wWinMain(reinterpret_cast<HINSTANCE>(&__ImageBase), nullptr, CommandLineArguments(), ShowCommand()));
}
