#include "ui/SkinImage.h"

#include "framework/Afx.h"

#include <cstring>
#include <utility>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

SkinImage::SkinImage(SkinImage&& other) noexcept
    : m_hBytes(std::move(other.m_hBytes)), m_pImage(std::move(other.m_pImage))
{
}

SkinImage& SkinImage::operator=(SkinImage&& other) noexcept
{
    if (this != &other) {
        Release();
        m_hBytes = std::move(other.m_hBytes);
        m_pImage = std::move(other.m_pImage);
    }
    return *this;
}

UINT SkinImage::GetWidth() const noexcept
{
    UINT nWidth = 0;
    if (!m_pImage || GdipGetImageWidth(m_pImage.get(), &nWidth) != Ok)
        return 0;
    return nWidth;
}

UINT SkinImage::GetHeight() const noexcept
{
    UINT nHeight = 0;
    if (!m_pImage || GdipGetImageHeight(m_pImage.get(), &nHeight) != Ok)
        return 0;
    return nHeight;
}

GpStatus SkinImage::Draw(GpGraphics* pGraphics, int x, int y) const noexcept
{
    return DrawInBox(pGraphics, x, y, static_cast<int>(GetWidth()), static_cast<int>(GetHeight()));
}

GpStatus SkinImage::DrawInBox(GpGraphics* pGraphics, int x, int y, int cx, int cy) const noexcept
{
    if (!m_pImage || !pGraphics)
        return InvalidParameter;
    return GdipDrawImageRectI(pGraphics, m_pImage.get(), x, y, cx, cy);
}

void SkinImage::Release() noexcept
{
    m_pImage.reset();
    if (m_hBytes) {
        ::GlobalUnlock(m_hBytes.get());
        m_hBytes.reset();
    }
}

SkinImage LoadPngImage(UINT nID, HMODULE hModule)
{
    const wchar_t* const pszName = MAKEINTRESOURCEW(nID);
    HRSRC hResource = hModule ? ::FindResourceW(hModule, pszName, L"PNG") : nullptr;
    if (!hResource) {
        hModule = AfxGetResourceHandle();
        hResource = ::FindResourceW(hModule, pszName, L"PNG");
        if (!hResource)
            return {};
    }

    const DWORD nSize = ::SizeofResource(hModule, hResource);
    if (nSize == 0)
        return {};
    // Resource memory is part of the mapped module: never freed, never unlocked.
    HGLOBAL hResourceData = ::LoadResource(hModule, hResource);
    const void* pResourceBytes = hResourceData ? ::LockResource(hResourceData) : nullptr;
    if (!pResourceBytes)
        return {};

    UniqueHGlobal hBlock(::GlobalAlloc(GMEM_MOVEABLE, nSize));
    if (!hBlock)
        return {};
    void* pBlockBytes = ::GlobalLock(hBlock.get());
    if (!pBlockBytes)
        return {};
    std::memcpy(pBlockBytes, pResourceBytes, nSize);

    // From here on the image owns the locked block: every early return below
    // unlocks and frees it through Release().
    SkinImage image;
    image.m_hBytes = std::move(hBlock);

    // FALSE: releasing the stream must leave the block to its owner.
    UniqueComPtr<IStream> pStream;
    if (FAILED(::CreateStreamOnHGlobal(image.m_hBytes.get(), FALSE, pStream.put())))
        return {};

    // The variant without colour management: the embedded profile and
    // chromaticity chunks are not applied. The bitmap takes its own reference
    // to the stream, so the loader's reference goes when pStream leaves scope.
    GpBitmap* pBitmap = nullptr;
    const GpStatus status = GdipCreateBitmapFromStream(pStream.get(), &pBitmap);
    image.m_pImage.reset(pBitmap);
    if (status != Ok || !pBitmap)
        return {};
    return image;
}
