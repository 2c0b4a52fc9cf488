// The unprotected control of the planting test: a program built the ordinary
// way, with no hardening of the DLL search. It imports wininet and gdiplus
// statically, as the installer once did, and loads every DLL named on its
// command line by its bare name, as system DLLs load their helpers on a
// program's behalf. Placed beside planted DLLs, it must load them: that shows
// the planting test's folder, names and overrides would catch a fault.
//
//   planting_control.exe <dll name>...   exit code: how many names did not load

#include <windows.h>
#include <gdiplus.h>
#include <wininet.h>

int wmain(int argc, wchar_t** argv)
{
    // Never true: the references keep the two static imports in the table.
    if (argc < 0) {
        ::InternetCloseHandle(nullptr);
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    int nFailed = 0;
    for (int i = 1; i < argc; ++i) {
        if (!::LoadLibraryW(argv[i]))
            ++nFailed;
    }
    return nFailed;
}
