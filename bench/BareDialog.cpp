// The start-up benchmark's yardstick: a bare dialog of the installer's size.
//
// A dialog box from an in-memory template, sized and centred as the installer's
// window (the background picture's 475 x 286), with nothing else: no pictures, no
// fonts, no imaging library, no threads. Its one child, a static control with the
// skinned bar's ID, lets the end-to-end driver find it as it finds the installer.
// It stays until it is closed (Escape, the Close command or IDCANCEL).

#include <windows.h>

namespace {

constexpr int kWidth = 475;
constexpr int kHeight = 286;
constexpr WORD kMarkerId = 32343;

// DLGTEMPLATE, no menu, no class, no title, then one DLGITEMTEMPLATE (a static).
struct alignas(DWORD) Template {
    DLGTEMPLATE dialog;
    WORD wMenu, wClass, wTitle;
    alignas(DWORD) DLGITEMTEMPLATE item;
    WORD wClassMarker, wClassAtom, wText, wExtra;
};

INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        RECT rcWork{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0);
        ::SetWindowPos(hDlg, nullptr, rcWork.left + (rcWork.right - rcWork.left - kWidth) / 2,
                       rcWork.top + (rcWork.bottom - rcWork.top - kHeight) / 2, kWidth, kHeight, SWP_NOZORDER);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)
            ::EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int)
{
    Template t{};
    t.dialog.style = WS_POPUP | WS_VISIBLE | WS_SYSMENU;
    t.dialog.cdit = 1;
    t.item.style = WS_CHILD;
    t.item.id = kMarkerId;
    t.wClassMarker = 0xFFFF;
    t.wClassAtom = 0x0082; // static
    return static_cast<int>(::DialogBoxIndirectParamW(hInstance, &t.dialog, nullptr, DialogProc, 0));
}
