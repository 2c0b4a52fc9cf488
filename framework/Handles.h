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

// The storage policy of a holder kind, wil's way: what the holder stores
// (type), what get() answers (pointer), the stored value that means "none",
// whether a stored value holds something, and how it is let go. Plain handle
// kinds store the handle itself; a few kinds (a window's DC, a paint, a
// selection) store the little state their release needs.
template <typename T, void (*Close)(T)>
struct NullIsInvalid
{
    using type = T;
    using pointer = T;
    static T invalid() noexcept { return T{}; }
    static bool is_valid(T value) noexcept { return value != T{}; }
    static T get(T value) noexcept { return value; }
    static void close(T value) noexcept { Close(value); }
};

// INVALID_HANDLE_VALUE cannot be a template argument, hence its own policy.
template <void (*Close)(HANDLE)>
struct MinusOneIsInvalid
{
    using type = HANDLE;
    using pointer = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool is_valid(HANDLE value) noexcept { return value != INVALID_HANDLE_VALUE; }
    static HANDLE get(HANDLE value) noexcept { return value; }
    static void close(HANDLE value) noexcept { Close(value); }
};

template <typename Traits>
class UniqueAny
{
public:
    using T = typename Traits::type;
    using pointer = typename Traits::pointer;

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

    pointer get() const noexcept { return Traits::get(m_value); }
    // For interface pointers; not to be used on the other kinds.
    pointer operator->() const noexcept { return get(); }
    explicit operator bool() const noexcept { return Traits::is_valid(m_value); }
    // The whole stored state (a paint's PAINTSTRUCT, say).
    const T& storage() const noexcept { return m_value; }

    // Gives up ownership without closing.
    T release() noexcept { return std::exchange(m_value, Traits::invalid()); }

    void reset(T value = Traits::invalid()) noexcept
    {
        const T old = std::exchange(m_value, value);
        if (Traits::is_valid(old))
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
struct ComPtrPolicy
{
    using type = Interface*;
    using pointer = Interface*;
    static Interface* invalid() noexcept { return nullptr; }
    static bool is_valid(Interface* p) noexcept { return p != nullptr; }
    static Interface* get(Interface* p) noexcept { return p; }
    static void close(Interface* p) noexcept { p->Release(); }
};
template <typename Interface>
using UniqueComPtr = UniqueAny<ComPtrPolicy<Interface>>;

// A DC borrowed from a window with GetDC, given back with ReleaseDC.
struct WindowDcPolicy
{
    struct type
    {
        HWND hWnd;
        HDC hDC;
    };
    using pointer = HDC;
    static type invalid() noexcept { return {nullptr, nullptr}; }
    static bool is_valid(const type& value) noexcept { return value.hDC != nullptr; }
    static HDC get(const type& value) noexcept { return value.hDC; }
    static void close(const type& value) noexcept { ::ReleaseDC(value.hWnd, value.hDC); }
};
using WindowDc = UniqueAny<WindowDcPolicy>;
inline WindowDc GetWindowDc(HWND hWnd) noexcept
{
    return WindowDc({hWnd, ::GetDC(hWnd)});
}

// The paint of one WM_PAINT: BeginPaint when made, EndPaint when let go.
struct PaintScopePolicy
{
    struct type
    {
        HWND hWnd;
        PAINTSTRUCT ps;
    };
    using pointer = HDC;
    static type invalid() noexcept { return {nullptr, {}}; }
    static bool is_valid(const type& value) noexcept { return value.hWnd != nullptr; }
    static HDC get(const type& value) noexcept { return value.ps.hdc; }
    static void close(const type& value) noexcept { ::EndPaint(value.hWnd, &value.ps); }
};
using PaintScope = UniqueAny<PaintScopePolicy>;
// EndPaint follows every BeginPaint, whatever it answered, as the platform asks.
inline PaintScope BeginPaintScope(HWND hWnd) noexcept
{
    PaintScopePolicy::type value{hWnd, {}};
    ::BeginPaint(hWnd, &value.ps);
    return PaintScope(value);
}

// A GDI object selected into a DC; letting go puts the previous object back,
// so an object is never deleted while still selected.
struct SelectionPolicy
{
    struct type
    {
        HDC hDC;
        HGDIOBJ hOld;
    };
    using pointer = HGDIOBJ; // the object that was selected before
    static type invalid() noexcept { return {nullptr, nullptr}; }
    static bool is_valid(const type& value) noexcept { return value.hOld && value.hOld != HGDI_ERROR; }
    static HGDIOBJ get(const type& value) noexcept { return value.hOld; }
    static void close(const type& value) noexcept { ::SelectObject(value.hDC, value.hOld); }
};
using SelectGuard = UniqueAny<SelectionPolicy>;
// Selects nothing when either handle is null.
inline SelectGuard SelectInto(HDC hDC, HGDIOBJ hObject) noexcept
{
    return SelectGuard({hDC, hDC && hObject ? ::SelectObject(hDC, hObject) : nullptr});
}

// An off-screen buffer: a memory DC with a cx x cy bitmap compatible with
// hdcCompatible selected into it. On scope exit the bitmap is deselected first,
// then deleted, then the DC (members are destroyed in reverse order).
class MemoryDc
{
public:
    MemoryDc(HDC hdcCompatible, int cx, int cy) noexcept
        : m_dc(::CreateCompatibleDC(hdcCompatible)),
          m_bitmap(m_dc ? ::CreateCompatibleBitmap(hdcCompatible, cx, cy) : nullptr),
          m_select(SelectInto(m_bitmap ? m_dc.get() : nullptr, m_bitmap.get()))
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
