#include "SkinTestSupport.h"

#include "framework/Afx.h"
#include "res/resource.h"
#include "ui/SkinImage.h"

#include <cstring>
#include <iterator>
#include <vector>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

enum class Alpha { None, SomeTransparent, Opaque };

struct Picture
{
    UINT nID;
    UINT nWidth, nHeight;
    Alpha alpha;
    double dpi;
    UINT32 nPixelDigest; // PixelDigest of the decoded picture
};

// The skin's picture table: what the drawing code relies on. The digests pin
// every pixel of the art as drawn, so storing a picture differently (another
// compressor, filter or chunk set) must decode to exactly the same pixels;
// `tools/skin/png_pixels.py digest` computes them from the files.
const Picture kPictures[] = {
    {130, 1, 22, Alpha::None, 96, 0x88760CCF},
    {131, 1, 22, Alpha::Opaque, 96, 0x7DCF872D},
    {132, 3, 22, Alpha::SomeTransparent, 96, 0x380943CF},
    {133, 3, 22, Alpha::SomeTransparent, 96, 0x251127E7},
    {134, 3, 22, Alpha::SomeTransparent, 96, 0xCCAC500D},
    {135, 3, 22, Alpha::SomeTransparent, 96, 0x3D036CD1},
    {136, 1, 22, Alpha::Opaque, 96, 0x0DC1667D},
    {137, 1, 22, Alpha::Opaque, 96, 0x88760CCF},
    {138, 1, 22, Alpha::Opaque, 96, 0x7DCF872D},
    {139, 1, 22, Alpha::Opaque, 96, 0x1862CAEF},
    {140, 3, 22, Alpha::SomeTransparent, 96, 0xA73CD00F},
    {141, 3, 22, Alpha::SomeTransparent, 96, 0x447813E3},
    {142, 3, 22, Alpha::SomeTransparent, 96, 0xE5234AFD},
    {143, 3, 22, Alpha::SomeTransparent, 96, 0x8CCBC851},
    {144, 3, 22, Alpha::SomeTransparent, 96, 0x8CCBC851},
    {145, 101, 107, Alpha::SomeTransparent, 96, 0x51784CE3},
    {146, 475, 286, Alpha::Opaque, 96, 0xF1EFBD90},
    {147, 436, 8, Alpha::SomeTransparent, 96, 0x6D370B39},
    {148, 5, 7, Alpha::SomeTransparent, 72, 0xAEC4C25B},
    {149, 1, 7, Alpha::Opaque, 72, 0xC70A0D84},
    {150, 5, 7, Alpha::SomeTransparent, 72, 0xD4A40B77},
};

// FNV-1a over the ARGB values GDI+ answers, row by row, each as 4 bytes from
// the least significant (blue) up.
UINT32 PixelDigest(GpImage* pImage)
{
    UINT nWidth = 0, nHeight = 0;
    GdipGetImageWidth(pImage, &nWidth);
    GdipGetImageHeight(pImage, &nHeight);
    UINT32 nHash = 0x811C9DC5u;
    for (UINT y = 0; y < nHeight; ++y)
        for (UINT x = 0; x < nWidth; ++x) {
            ARGB argb = 0;
            EXPECT_EQ(GdipBitmapGetPixel(static_cast<GpBitmap*>(pImage), static_cast<INT>(x), static_cast<INT>(y), &argb),
                      Ok);
            for (int nShift = 0; nShift < 32; nShift += 8)
                nHash = (nHash ^ ((argb >> nShift) & 0xFF)) * 0x01000193u;
        }
    return nHash;
}

std::vector<BYTE> AlphaValues(const SkinImage& image)
{
    std::vector<BYTE> values;
    auto* pBitmap = static_cast<GpBitmap*>(image.get());
    for (UINT y = 0; y < image.GetHeight(); ++y)
        for (UINT x = 0; x < image.GetWidth(); ++x) {
            ARGB argb = 0;
            EXPECT_EQ(GdipBitmapGetPixel(pBitmap, static_cast<INT>(x), static_cast<INT>(y), &argb), Ok);
            values.push_back(static_cast<BYTE>(argb >> 24));
        }
    return values;
}

class SkinImageTest : public GdiplusTest {};

TEST_F(SkinImageTest, EveryPictureDecodesToItsTableEntry)
{
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(::testing::Message() << "picture " << picture.nID);
        const SkinImage image = LoadPngImage(picture.nID, AfxGetInstanceHandle());
        ASSERT_TRUE(image);
        EXPECT_EQ(image.GetWidth(), picture.nWidth);
        EXPECT_EQ(image.GetHeight(), picture.nHeight);

        UINT nFlags = 0;
        ASSERT_EQ(GdipGetImageFlags(image.get(), &nFlags), Ok);
        EXPECT_EQ((nFlags & ImageFlagsHasAlpha) != 0, picture.alpha != Alpha::None);

        const std::vector<BYTE> alphas = AlphaValues(image);
        const bool bAllOpaque = std::all_of(alphas.begin(), alphas.end(), [](BYTE a) { return a == 255; });
        EXPECT_EQ(bAllOpaque, picture.alpha != Alpha::SomeTransparent);

        REAL dpiX = 0, dpiY = 0;
        GdipGetImageHorizontalResolution(image.get(), &dpiX);
        GdipGetImageVerticalResolution(image.get(), &dpiY);
        EXPECT_NEAR(dpiX, picture.dpi, 0.5);
        EXPECT_NEAR(dpiY, picture.dpi, 0.5);

        EXPECT_EQ(PixelDigest(image.get()), picture.nPixelDigest) << std::hex << PixelDigest(image.get());
    }
}

TEST(SkinResources, PicturesAreKoreanAndTheIconHasSeveralSizes)
{
    const HMODULE hModule = AfxGetInstanceHandle();
    const WORD wKorean = MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN);
    for (UINT nID = IDB_SKIN_FIRST; nID <= IDB_SKIN_LAST; ++nID)
        EXPECT_NE(::FindResourceExW(hModule, L"PNG", MAKEINTRESOURCEW(nID), wKorean), nullptr) << nID;

    for (const int nSize : {16, 24, 32, 48, 256}) {
        UniqueHIcon icon(static_cast<HICON>(
            ::LoadImageW(hModule, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, nSize, nSize, 0)));
        ASSERT_TRUE(icon) << nSize;
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon.get(), &info));
        UniqueHBitmap colour(info.hbmColor), mask(info.hbmMask);
        BITMAP bm{};
        ::GetObjectW(colour.get(), sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, nSize);
    }
}

// Every image of the icon is stored as a PNG (Vista on) and decodes to the
// pixels drawn for its size; PixelDigest as for the pictures.
TEST_F(SkinImageTest, IconImagesArePngsOfTheirPixels)
{
    const struct
    {
        int nSize;
        UINT32 nPixelDigest;
    } kImages[] = {{16, 0x89471FC5}, {24, 0xAE9D821C}, {32, 0x1A694041}, {48, 0xDCC0EAF1}, {256, 0xCEA4A719}};

    const HMODULE hModule = AfxGetInstanceHandle();
    const HRSRC hGroup = ::FindResourceW(hModule, MAKEINTRESOURCEW(IDR_MAINFRAME), RT_GROUP_ICON);
    ASSERT_NE(hGroup, nullptr);
    auto* pDirectory = static_cast<BYTE*>(::LockResource(::LoadResource(hModule, hGroup)));
    ASSERT_NE(pDirectory, nullptr);
    EXPECT_EQ(static_cast<size_t>(reinterpret_cast<const WORD*>(pDirectory)[2]), std::size(kImages)) << "images in the icon";

    for (const auto& expected : kImages) {
        SCOPED_TRACE(::testing::Message() << expected.nSize << " x " << expected.nSize);
        const int nID = ::LookupIconIdFromDirectoryEx(pDirectory, TRUE, expected.nSize, expected.nSize, 0);
        const HRSRC hImage = ::FindResourceW(hModule, MAKEINTRESOURCEW(nID), RT_ICON);
        ASSERT_NE(hImage, nullptr);
        const DWORD nBytes = ::SizeofResource(hModule, hImage);
        const void* pBytes = ::LockResource(::LoadResource(hModule, hImage));
        ASSERT_NE(pBytes, nullptr);
        ASSERT_GE(nBytes, 8u);
        EXPECT_EQ(std::memcmp(pBytes, "\x89PNG\r\n\x1a\n", 8), 0) << "stored as PNG";

        UniqueHGlobal hBlock(::GlobalAlloc(GMEM_MOVEABLE, nBytes));
        ASSERT_TRUE(hBlock);
        std::memcpy(::GlobalLock(hBlock.get()), pBytes, nBytes);
        ::GlobalUnlock(hBlock.get());
        UniqueComPtr<IStream> pStream;
        ASSERT_TRUE(SUCCEEDED(::CreateStreamOnHGlobal(hBlock.get(), FALSE, pStream.put())));
        GpBitmap* pBitmap = nullptr;
        ASSERT_EQ(GdipCreateBitmapFromStream(pStream.get(), &pBitmap), Ok);
        UniqueGpImage image(pBitmap);
        UINT nWidth = 0, nHeight = 0;
        GdipGetImageWidth(image.get(), &nWidth);
        GdipGetImageHeight(image.get(), &nHeight);
        EXPECT_EQ(nWidth, static_cast<UINT>(expected.nSize));
        EXPECT_EQ(nHeight, static_cast<UINT>(expected.nSize));
        EXPECT_EQ(PixelDigest(image.get()), expected.nPixelDigest) << std::hex << PixelDigest(image.get());
    }
}

TEST_F(SkinImageTest, LogoHasTransparentSurround)
{
    const SkinImage logo = LoadPngImage(145, AfxGetInstanceHandle());
    ASSERT_TRUE(logo);
    auto* pBitmap = static_cast<GpBitmap*>(logo.get());
    const INT corners[][2] = {{0, 0}, {100, 0}, {0, 106}, {100, 106}};
    for (const auto& corner : corners) {
        ARGB argb = 0xFFFFFFFF;
        GdipBitmapGetPixel(pBitmap, corner[0], corner[1], &argb);
        EXPECT_EQ(argb >> 24, 0u) << corner[0] << "," << corner[1];
    }
    ARGB centre = 0;
    GdipBitmapGetPixel(pBitmap, 50, 50, &centre);
    EXPECT_EQ(centre >> 24, 255u);
}

TEST_F(SkinImageTest, RgbPictureWithoutAlphaLoads)
{
    const SkinImage image = LoadPngImage(130, AfxGetInstanceHandle());
    ASSERT_TRUE(image);
    PixelFormat format = 0;
    ASSERT_EQ(GdipGetImagePixelFormat(image.get(), &format), Ok);
    EXPECT_FALSE(IsAlphaPixelFormat(format));
}

TEST_F(SkinImageTest, FallsBackToTheResourceModule)
{
    // kernel32 has no "PNG" resources; the program's module is searched next.
    const SkinImage image = LoadPngImage(147, ::GetModuleHandleW(L"kernel32.dll"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image.GetWidth(), 436u);
}

TEST_F(SkinImageTest, UnknownIdIsNotLoaded)
{
    for (const UINT nID : {129u, 151u, 102u, 128u, 0xFFFFu}) {
        SCOPED_TRACE(nID);
        const SkinImage image = LoadPngImage(nID, AfxGetInstanceHandle());
        EXPECT_FALSE(image);
        EXPECT_EQ(image.get(), nullptr);
        EXPECT_EQ(image.GetWidth(), 0u);
        EXPECT_EQ(image.GetHeight(), 0u);
        EXPECT_EQ(image.Draw(nullptr, 0, 0), InvalidParameter);
    }
}

// Natural size is one picture pixel per device pixel wherever the picture
// lands, whatever its dpi tag (148 carries 72 dpi).
TEST_F(SkinImageTest, DrawPutsOnePicturePixelOnEachDevicePixel)
{
    const struct
    {
        UINT nID;
        int x, y;
    } kDraws[] = {{141, 0, 0}, {141, 72, 0}, {141, 71, 2}, {145, 30, 1}, {148, 60, 5}};
    for (const auto& draw : kDraws) {
        SCOPED_TRACE(::testing::Message() << "picture " << draw.nID << " at " << draw.x << "," << draw.y);
        const SkinImage image = LoadPngImage(draw.nID, AfxGetInstanceHandle());
        ASSERT_TRUE(image);
        DibCanvas canvas(140, 110);
        {
            UniqueGpGraphics graphics;
            ASSERT_EQ(GdipCreateFromHDC(canvas.dc(), graphics.put()), Ok);
            GdipGraphicsClear(graphics.get(), 0xFFFFFFFF);
            ASSERT_EQ(image.Draw(graphics.get(), draw.x, draw.y), Ok);
        }
        const int cx = static_cast<int>(image.GetWidth()), cy = static_cast<int>(image.GetHeight());
        int nMismatches = 0;
        for (int y = 0; y < 110; ++y)
            for (int x = 0; x < 140; ++x) {
                const bool bInside = x >= draw.x && x < draw.x + cx && y >= draw.y && y < draw.y + cy;
                const COLORREF crExpected =
                    bInside ? Over(image, x - draw.x, y - draw.y, RGB(255, 255, 255)) : RGB(255, 255, 255);
                const ::testing::AssertionResult same = ColourNear(canvas.At(x, y), crExpected);
                if (!same && ++nMismatches <= 3)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << same.message();
            }
        EXPECT_EQ(nMismatches, 0);
    }
}

TEST_F(SkinImageTest, ReleaseAndMoveKeepOneOwner)
{
    SkinImage first = LoadPngImage(148, AfxGetInstanceHandle());
    ASSERT_TRUE(first);
    SkinImage second = std::move(first);
    EXPECT_FALSE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(second.GetWidth(), 5u);

    // Assigning over a loaded image releases the old one first; the new one
    // must still be readable afterwards (its block was not freed with the old).
    second = LoadPngImage(150, AfxGetInstanceHandle());
    ASSERT_TRUE(second);
    ARGB argb = 0;
    EXPECT_EQ(GdipBitmapGetPixel(static_cast<GpBitmap*>(second.get()), 2, 3, &argb), Ok);
    EXPECT_EQ(argb >> 24, 255u);

    second.Release();
    EXPECT_FALSE(second);
    EXPECT_EQ(second.GetWidth(), 0u);
    second.Release();
}

} // namespace
