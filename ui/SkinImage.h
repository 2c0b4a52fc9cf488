#pragma once
// One picture of the installer's skin, decoded from a "PNG" resource of the
// program, and its loader.
//
// The imaging library (GDI+) must be running from before the first load until
// after the last SkinImage is released. UI thread only.

#include "framework/Handles.h"

#include <windows.h>
#include <gdiplus.h>

class SkinImage
{
public:
    // Not loaded.
    SkinImage() noexcept = default;
    ~SkinImage() { Release(); }

    SkinImage(const SkinImage&) = delete;
    SkinImage& operator=(const SkinImage&) = delete;
    SkinImage(SkinImage&& other) noexcept;
    SkinImage& operator=(SkinImage&& other) noexcept;

    explicit operator bool() const noexcept { return static_cast<bool>(m_pImage); }
    Gdiplus::GpImage* get() const noexcept { return m_pImage.get(); }

    // Pixel sizes, asked of the decoded picture each time; 0 when not loaded or
    // when the query fails.
    UINT GetWidth() const noexcept;
    UINT GetHeight() const noexcept;

    // Draw blended through the picture's alpha: at natural size, one picture
    // pixel per device pixel, or into a box of the given pixel size. Natural
    // size is a box of the picture's own pixel size rather than GDI+'s "draw at
    // a point": that one scales by the dpi tag, and a 96-dpi PNG stores 3780
    // pixels per metre, which reads back as 96.01 dpi; the tiny scale costs a
    // whole column at the edge of small pieces (seen with the 3-pixel button
    // edges). A picture that is not loaded draws nothing and answers
    // InvalidParameter, so a holder whose load failed simply misses that piece.
    Gdiplus::GpStatus Draw(Gdiplus::GpGraphics* pGraphics, int x, int y) const noexcept;
    Gdiplus::GpStatus DrawInBox(Gdiplus::GpGraphics* pGraphics, int x, int y, int cx, int cy) const noexcept;

    // Disposes of the decoded picture, then unlocks and frees the block of
    // encoded bytes it was decoded from; afterwards the image is "not loaded".
    void Release() noexcept;

private:
    friend SkinImage LoadPngImage(UINT nID, HMODULE hModule);

    // The encoded bytes, locked for as long as m_pImage exists: GDI+ may read
    // the stream over them again after the bitmap is created. Declared before
    // the picture, and Release() keeps the order explicit: picture first.
    UniqueHGlobal m_hBytes;
    UniqueGpImage m_pImage;
};

// Loads "PNG" resource nID, searching hModule first and then the framework's
// resource module. Returns a SkinImage that is not loaded on any failure
// (missing, empty, out of memory, undecodable); nothing stays allocated then.
SkinImage LoadPngImage(UINT nID, HMODULE hModule);
