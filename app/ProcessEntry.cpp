// The executable's entry point and its delay-load hook (see app/DllSearch.h).
//
// The linker makes QuilmerEntry the entry (-e), so it runs before the
// process's start-up (runtime/ProcessStart.h), before every static constructor
// and before the first call into a delay-loaded DLL. By then the loader has
// mapped only the static imports, all of them KnownDLLs or the manifest's
// comctl32.

#include "app/DllSearch.h"
#include "runtime/ProcessStart.h"

#include <delayimp.h>

extern "C" {

// The system calls the entry with whatever stack alignment it has.
__attribute__((force_align_arg_pointer, noreturn)) void QuilmerEntry(void)
{
    RestrictDllSearchToSystem32();
    RunWinMainProcess();
}

} // extern "C"

namespace {

// Every delay-loaded DLL comes from System32 by its full path. Should that
// fail, the process stops here with the delay-load helper's own exception
// rather than let the helper search for the name.
FARPROC WINAPI OnDelayLoadNotify(unsigned dliNotify, PDelayLoadInfo pdli)
{
    if (dliNotify != dliNotePreLoadLibrary)
        return nullptr;
    const HMODULE hModule = LoadSystemLibrary(pdli->szDll);
    if (!hModule) {
        pdli->dwLastError = ::GetLastError();
        ULONG_PTR arg = reinterpret_cast<ULONG_PTR>(pdli);
        ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &arg);
    }
    return reinterpret_cast<FARPROC>(hModule);
}

} // namespace

// The all-zero descriptor that ends the table of delay-import descriptors.
// dlltool puts each DLL's descriptor in ".text$2", and ld sorts the .text$*
// sections by name, so this one follows the last of them;
// tools/delay-import-directory.py then points the PE header's delay-import
// directory at the table. Aligned as the descriptors are: no gap between.
__attribute__((section(".text$3"), used, aligned(4))) const unsigned char kDelayImportTableEnd[32] = {};

// Read by the runtime's __delayLoadHelper2 before it loads a DLL; defining it
// here replaces the runtime's empty default.
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = OnDelayLoadNotify;
}
