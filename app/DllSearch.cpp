#include "app/DllSearch.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32 is in force for the process. Written once by
// RestrictDllSearchToSystem32 on the main thread before any other thread exists.
BOOL g_bSearchRestricted = FALSE;

// Loaded by name from system DLLs on the program's behalf: the visual styles
// (comctl32, user32), the PNG decoder and its property store (gdiplus), the
// network provider router (wininet), the desktop compositor (the dialog's
// frame). Preloaded from System32 in every case: where the search cannot be
// restricted, and because a loader may resolve a system DLL's own delay
// imports along the program's folder all the same (Wine's does: gdiplus's
// windowscodecs).
const char* const kLoadedOnOurBehalf[] = {
    "uxtheme.dll", "dwmapi.dll", "windowscodecs.dll", "propsys.dll", "mpr.dll",
};

// System32's folder followed by pszDll, in szPath; FALSE when it does not fit
// or pszDll is not a plain ASCII file name.
BOOL SystemPath(const char* pszDll, wchar_t (&szPath)[MAX_PATH]) noexcept
{
    const UINT nDir = ::GetSystemDirectoryW(szPath, MAX_PATH);
    if (nDir == 0 || nDir >= MAX_PATH - 1)
        return FALSE;
    UINT n = nDir;
    szPath[n++] = L'\\';
    for (const char* p = pszDll; *p; ++p) {
        const unsigned char ch = static_cast<unsigned char>(*p);
        if (ch >= 0x80 || ch == '\\' || ch == '/' || ch == ':' || n >= MAX_PATH - 1)
            return FALSE;
        szPath[n++] = static_cast<wchar_t>(ch);
    }
    if (n == nDir + 1)
        return FALSE;
    szPath[n] = L'\0';
    return TRUE;
}

} // namespace

BOOL RestrictDllSearchToSystem32() noexcept
{
    using PFN_SET_DEFAULT_DLL_DIRECTORIES = BOOL(WINAPI*)(DWORD);
    // kernel32 is mapped into every process before its first instruction.
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto pfnSetDefaultDllDirectories = hKernel
        ? reinterpret_cast<PFN_SET_DEFAULT_DLL_DIRECTORIES>(
              reinterpret_cast<void*>(::GetProcAddress(hKernel, "SetDefaultDllDirectories")))
        : nullptr;
    if (pfnSetDefaultDllDirectories && pfnSetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        g_bSearchRestricted = TRUE;
    else
        ::SetDllDirectoryW(L"");
    // Loaded once here, for the life of the process: a later request by name
    // finds the module already loaded.
    for (const char* pszDll : kLoadedOnOurBehalf)
        LoadSystemLibrary(pszDll);
    return g_bSearchRestricted;
}

HMODULE LoadSystemLibrary(const char* pszDll) noexcept
{
    wchar_t szPath[MAX_PATH];
    if (!pszDll || !SystemPath(pszDll, szPath)) {
        ::SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    // Without the restricted search, the altered search order makes the DLL's
    // own imports start in System32 instead of the program's folder.
    return ::LoadLibraryExW(szPath, nullptr, g_bSearchRestricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
}
