#include "framework/Afx.h"

#include <atomic>

namespace {

std::atomic<HWND> g_hMainWnd{nullptr};

CString ComputeAppName()
{
    // The module path can in principle exceed MAX_PATH; grow until it fits.
    CString strPath;
    for (DWORD nSize = MAX_PATH;; nSize *= 2) {
        const DWORD nLength = ::GetModuleFileNameW(nullptr, strPath.GetBuffer(static_cast<int>(nSize)), nSize);
        if (nLength < nSize) {
            strPath.ReleaseBuffer(static_cast<int>(nLength));
            break;
        }
        if (nSize > 32768) {
            strPath.ReleaseBuffer(0);
            break;
        }
    }
    const int nSlash = strPath.ReverseFind(L'\\');
    CString strName = strPath.Mid(nSlash + 1);
    const int nDot = strName.ReverseFind(L'.');
    if (nDot > 0)
        strName = strName.Left(nDot);
    return strName;
}

} // namespace

HINSTANCE AfxGetInstanceHandle()
{
    return ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return ::GetModuleHandleW(nullptr);
}

const wchar_t* AfxGetAppName()
{
    // Computed on first use and kept for the life of the process. Threads that
    // race on the first call each compute it; the first to publish wins and the
    // others drop their copy, so every caller sees the same text.
    static std::atomic<const CString*> s_pAppName{nullptr};
    const CString* pAppName = s_pAppName.load(std::memory_order_acquire);
    if (!pAppName) {
        const CString* pComputed = new CString(ComputeAppName());
        if (s_pAppName.compare_exchange_strong(pAppName, pComputed, std::memory_order_acq_rel))
            pAppName = pComputed;
        else
            delete pComputed;
    }
    return *pAppName;
}

HWND AfxGetMainWindowHandle()
{
    return g_hMainWnd.load();
}

void AfxSetMainWindowHandle(HWND hWnd)
{
    g_hMainWnd.store(hWnd);
}

int AfxMessageBox(const wchar_t* pszText, UINT nType, UINT /*nIDHelp*/)
{
    HWND hOwner = AfxGetMainWindowHandle();
    if (hOwner && !::IsWindow(hOwner))
        hOwner = nullptr;
    return ::MessageBoxW(hOwner, pszText ? pszText : L"", AfxGetAppName(), nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    CString strText;
    strText.LoadString(nIDPrompt);
    return AfxMessageBox(strText, nType, nIDHelp == static_cast<UINT>(-1) ? nIDPrompt : nIDHelp);
}
