// A stand-in for a DLL that an attacker drops next to a program: whenever a
// process loads it, it writes "<its own path>.loaded" beside itself, holding the
// path of the program that loaded it, and stays loaded. It exports nothing, so a
// program that binds to it by mistake also fails in plain sight.
//
// One build of it is copied under the name of every DLL a test plants.

#include <windows.h>

namespace {

// Only kernel32 here: this runs under the loader lock.
void WriteMarker(HINSTANCE hInstance)
{
    wchar_t szMarker[MAX_PATH + 16];
    const DWORD nDll = ::GetModuleFileNameW(hInstance, szMarker, MAX_PATH);
    if (nDll == 0 || nDll >= MAX_PATH)
        return;
    ::lstrcpyW(szMarker + nDll, L".loaded");

    wchar_t szLoader[MAX_PATH];
    DWORD nLoader = ::GetModuleFileNameW(nullptr, szLoader, MAX_PATH);
    if (nLoader >= MAX_PATH)
        nLoader = 0;

    const HANDLE hFile = ::CreateFileW(szMarker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    DWORD dwWritten = 0;
    ::WriteFile(hFile, szLoader, nLoader * sizeof(wchar_t), &dwWritten, nullptr);
    ::CloseHandle(hFile);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID /*lpReserved*/)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        WriteMarker(hInstance);
    return TRUE;
}
