#pragma once
// RAII holders, one per handle kind, all aliases of one template. A holder owns
// its handle: it is move-only, and it releases the handle when it goes out of
// scope or is reset. Borrowed handles stay plain handles (or CWnd for windows).

#include <windows.h>
#include <wininet.h>
#include <objidl.h>
#include <gdiplus.h>
#include <bcrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <utility>

// Traits of a handle kind: its type, the value that means "none", and how it is
// released. INVALID_HANDLE_VALUE cannot be a template argument, hence a function.
template <typename T, void (*Close)(T)>
struct NullIsInvalid
{
    using type = T;
    static T invalid() noexcept { return T{}; }
    static void close(T value) noexcept { Close(value); }
};

template <void (*Close)(HANDLE)>
struct MinusOneIsInvalid
{
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE value) noexcept { Close(value); }
};

template <typename Traits>
class UniqueAny
{
public:
    using T = typename Traits::type;

    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : m_value(value) {}
    ~UniqueAny() { reset(); }

    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : m_value(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != Traits::invalid(); }

    // Gives up ownership without closing.
    T release() noexcept { return std::exchange(m_value, Traits::invalid()); }

    void reset(T value = Traits::invalid()) noexcept
    {
        const T old = std::exchange(m_value, value);
        if (old != Traits::invalid())
            Traits::close(old);
    }

    // For out-parameters of creation calls: closes what is held first.
    T* put() noexcept
    {
        reset();
        return &m_value;
    }

private:
    T m_value = Traits::invalid();
};

namespace handles_detail {
inline void CloseKernelHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void CloseFind(HANDLE h) noexcept { ::FindClose(h); }
inline void CloseInternet(HINTERNET h) noexcept { ::InternetCloseHandle(h); }
inline void DeleteDc(HDC h) noexcept { ::DeleteDC(h); }
template <typename GdiObject>
inline void DeleteGdi(GdiObject h) noexcept { ::DeleteObject(h); }
inline void FreeGlobal(HGLOBAL h) noexcept { ::GlobalFree(h); }
inline void FreeLocal(HLOCAL h) noexcept { ::LocalFree(h); }
inline void DestroyIconHandle(HICON h) noexcept { ::DestroyIcon(h); }
inline void DestroyWindowHandle(HWND h) noexcept { ::DestroyWindow(h); }
inline void DisposeGpImage(Gdiplus::GpImage* p) noexcept { Gdiplus::DllExports::GdipDisposeImage(p); }
inline void DeleteGpGraphics(Gdiplus::GpGraphics* p) noexcept { Gdiplus::DllExports::GdipDeleteGraphics(p); }
inline void CloseBCryptAlgorithm(BCRYPT_ALG_HANDLE h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
inline void DestroyBCryptHash(BCRYPT_HASH_HANDLE h) noexcept { ::BCryptDestroyHash(h); }
// The state a WinVerifyTrust verification kept (WTD_STATEACTION_VERIFY) goes
// with a second call for the same action with WTD_STATEACTION_CLOSE; only the
// state itself is read then, so the file information is a blank one.
inline void CloseWinTrustState(HANDLE h) noexcept
{
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    data.hWVTStateData = h;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}
} // namespace handles_detail

using UniqueHandle     = UniqueAny<NullIsInvalid<HANDLE, handles_detail::CloseKernelHandle>>;
using UniqueFile       = UniqueAny<MinusOneIsInvalid<handles_detail::CloseKernelHandle>>;
using UniqueFindHandle = UniqueAny<MinusOneIsInvalid<handles_detail::CloseFind>>;
using UniqueHInternet  = UniqueAny<NullIsInvalid<HINTERNET, handles_detail::CloseInternet>>;
using UniqueHdc        = UniqueAny<NullIsInvalid<HDC, handles_detail::DeleteDc>>;
template <typename GdiObject>
using UniqueGdiObject  = UniqueAny<NullIsInvalid<GdiObject, handles_detail::DeleteGdi<GdiObject>>>;
using UniqueHBitmap    = UniqueGdiObject<HBITMAP>;
using UniqueHFont      = UniqueGdiObject<HFONT>;
using UniqueHBrush     = UniqueGdiObject<HBRUSH>;
using UniqueHGlobal    = UniqueAny<NullIsInvalid<HGLOBAL, handles_detail::FreeGlobal>>;
using UniqueHLocal     = UniqueAny<NullIsInvalid<HLOCAL, handles_detail::FreeLocal>>;
using UniqueHIcon      = UniqueAny<NullIsInvalid<HICON, handles_detail::DestroyIconHandle>>;
// A window this code made and must destroy (windows CWnd borrows are plain HWNDs).
using UniqueHwnd       = UniqueAny<NullIsInvalid<HWND, handles_detail::DestroyWindowHandle>>;
using UniqueGpImage    = UniqueAny<NullIsInvalid<Gdiplus::GpImage*, handles_detail::DisposeGpImage>>;
using UniqueGpGraphics = UniqueAny<NullIsInvalid<Gdiplus::GpGraphics*, handles_detail::DeleteGpGraphics>>;
using UniqueBCryptAlgorithm = UniqueAny<NullIsInvalid<BCRYPT_ALG_HANDLE, handles_detail::CloseBCryptAlgorithm>>;
using UniqueBCryptHash = UniqueAny<NullIsInvalid<BCRYPT_HASH_HANDLE, handles_detail::DestroyBCryptHash>>;
using UniqueWinTrustState = UniqueAny<NullIsInvalid<HANDLE, handles_detail::CloseWinTrustState>>;

// A COM interface pointer owned by one reference.
template <typename Interface>
class UniqueComPtr
{
public:
    UniqueComPtr() noexcept = default;
    explicit UniqueComPtr(Interface* p) noexcept : m_p(p) {}
    ~UniqueComPtr() { reset(); }
    UniqueComPtr(const UniqueComPtr&) = delete;
    UniqueComPtr& operator=(const UniqueComPtr&) = delete;
    UniqueComPtr(UniqueComPtr&& other) noexcept : m_p(other.release()) {}
    UniqueComPtr& operator=(UniqueComPtr&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Interface* get() const noexcept { return m_p; }
    Interface* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    Interface* release() noexcept { return std::exchange(m_p, nullptr); }
    void reset(Interface* p = nullptr) noexcept
    {
        if (Interface* old = std::exchange(m_p, p))
            old->Release();
    }
    Interface** put() noexcept
    {
        reset();
        return &m_p;
    }

private:
    Interface* m_p = nullptr;
};

// A DC borrowed from a window with GetDC, given back with ReleaseDC.
class WindowDc
{
public:
    explicit WindowDc(HWND hWnd) noexcept : m_hWnd(hWnd), m_hDC(::GetDC(hWnd)) {}
    ~WindowDc()
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const noexcept { return m_hDC; }
    explicit operator bool() const noexcept { return m_hDC != nullptr; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// Selects a GDI object into a DC and puts the previous one back on scope exit,
// so an object is never deleted while still selected.
class SelectGuard
{
public:
    SelectGuard(HDC hDC, HGDIOBJ hObject) noexcept
        : m_hDC(hDC), m_hOld(hDC && hObject ? ::SelectObject(hDC, hObject) : nullptr)
    {
    }
    ~SelectGuard()
    {
        if (m_hOld && m_hOld != HGDI_ERROR)
            ::SelectObject(m_hDC, m_hOld);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// The paint of one WM_PAINT: BeginPaint on construction, EndPaint on scope exit.
class PaintScope
{
public:
    explicit PaintScope(HWND hWnd) noexcept : m_hWnd(hWnd), m_ps{}, m_hDC(::BeginPaint(hWnd, &m_ps)) {}
    ~PaintScope() { ::EndPaint(m_hWnd, &m_ps); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC get() const noexcept { return m_hDC; }
    const PAINTSTRUCT& ps() const noexcept { return m_ps; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps;
    HDC m_hDC;
};

// An off-screen buffer: a memory DC with a cx x cy bitmap compatible with
// hdcCompatible selected into it. On scope exit the bitmap is deselected first,
// then deleted, then the DC (members are destroyed in reverse order).
class MemoryDc
{
public:
    MemoryDc(HDC hdcCompatible, int cx, int cy) noexcept
        : m_dc(::CreateCompatibleDC(hdcCompatible)),
          m_bitmap(m_dc ? ::CreateCompatibleBitmap(hdcCompatible, cx, cy) : nullptr),
          m_select(m_bitmap ? m_dc.get() : nullptr, m_bitmap.get())
    {
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC get() const noexcept { return m_dc.get(); }
    HBITMAP bitmap() const noexcept { return m_bitmap.get(); }
    explicit operator bool() const noexcept { return m_dc && m_bitmap; }

private:
    UniqueHdc m_dc;
    UniqueHBitmap m_bitmap;
    SelectGuard m_select;
};
