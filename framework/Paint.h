#pragma once
// The one off-screen paint path. Every painted window (the dialog, the skinned
// progress bar, the skinned button) composes its whole client area into a
// memory bitmap and copies it to the screen with a single BitBlt, so nothing
// flickers and a paint never leaves a GDI object behind.
//
// Compose functions draw into whatever DC they are given: a test paints a
// control into its own memory bitmap with PaintInto (or WM_PRINTCLIENT, which
// reaches the window's paint handler with that DC) and reads the pixels back.

#include "framework/Geometry.h"

#include <windows.h>

#include <type_traits>

// The off-screen buffer handed to a compose function.
struct PaintBuffer
{
    HDC hdc;      // memory DC with a W x H bitmap compatible with the target selected
    CRect rc;     // (0, 0, W, H)
    int nSourceX; // source column of the final copy; 0 unless compose changes it
};

// Draws the whole buffer; runs on the painting (UI) thread, must not keep hdc.
// A reference to the caller's callable, not a copy: it is valid for the call it
// is passed to and is never stored, so a paint costs no allocation.
class PaintCompose
{
public:
    template <typename Compose,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<Compose>, PaintCompose>>>
    PaintCompose(const Compose& compose) noexcept
        : m_pCompose(&compose),
          m_pfnInvoke([](const void* pCompose, PaintBuffer& buffer) {
              (*static_cast<const Compose*>(pCompose))(buffer);
          })
    {
    }
    PaintCompose(const PaintCompose&) = default;
    PaintCompose& operator=(const PaintCompose&) = delete;

    void operator()(PaintBuffer& buffer) const { m_pfnInvoke(m_pCompose, buffer); }

private:
    const void* m_pCompose;
    void (*m_pfnInvoke)(const void* pCompose, PaintBuffer& buffer);
};

// Composes a buffer the size of rcTarget, compatible with hdcTarget, and copies
// it to rcTarget's top-left corner with one SRCCOPY BitBlt. The bitmap is
// deselected and the buffer deleted before the function returns. FALSE when the
// buffer could not be made (nothing drawn) or rcTarget is empty.
BOOL PaintInto(HDC hdcTarget, const RECT& rcTarget, const PaintCompose& compose);

// WM_PAINT: BeginPaint, PaintInto the whole client area, EndPaint. The whole
// client area is repainted, whatever the update region.
void PaintWindow(HWND hWnd, const PaintCompose& compose);
