// Shows the skinned controls on the test display and saves what the screen
// holds as PNG files in <build>/screenshots, for a person to look at:
//   skin-controls.png  the progress bar at 50 % and the button in its four looks
// The checks only make sure the capture shows the controls really painted.

#include "SkinTestSupport.h"

#include "ui/CustomProgress.h"
#include "ui/ZULTolpButton.h"

#include <cstdlib>
#include <string>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const UINT kLookPictures[4][3] = {{133, 137, 141}, {134, 138, 142}, {135, 139, 143}, {132, 136, 140}};

// The build folder as a Windows path (Wine maps the Linux root to Z:).
std::wstring ScreenshotFolder()
{
    const wchar_t* pszBuild = ::_wgetenv(L"QUILMER_BUILD_DIR");
    if (!pszBuild || !*pszBuild)
        return {};
    std::wstring path = std::wstring(L"Z:") + pszBuild + L"\\screenshots";
    for (auto& ch : path)
        if (ch == L'/')
            ch = L'\\';
    ::CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

// Copies a box of the screen into a new GDI+ bitmap.
UniqueGpImage CaptureScreen(const RECT& rcScreen)
{
    const CRect rc(rcScreen);
    const WindowDc screen = GetWindowDc(nullptr);
    UniqueHBitmap bitmap(::CreateCompatibleBitmap(screen.get(), rc.Width(), rc.Height()));
    {
        UniqueHdc dc(::CreateCompatibleDC(screen.get()));
        const SelectGuard select = SelectInto(dc.get(), bitmap.get());
        ::BitBlt(dc.get(), 0, 0, rc.Width(), rc.Height(), screen.get(), rc.left, rc.top, SRCCOPY);
    }
    GpBitmap* pBitmap = nullptr;
    GdipCreateBitmapFromHBITMAP(bitmap.get(), nullptr, &pBitmap);
    return UniqueGpImage(pBitmap);
}

class SkinScreenshotTest : public GdiplusTest {};

TEST_F(SkinScreenshotTest, ControlsOnScreen)
{
    const std::wstring folder = ScreenshotFolder();
    if (folder.empty())
        GTEST_SKIP() << "QUILMER_BUILD_DIR not set";
    ::SetCursorPos(1200, 1000);

    const CRect rcWindow(60, 60, 60 + 484, 60 + 90);
    CWnd parent;
    ASSERT_TRUE(CreateTestParent(parent, rcWindow));
    CCustomProgress progress;
    ASSERT_TRUE(progress.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(20, 15, 464, 25), &parent, 32343));
    progress.m_nPos = 50;

    UniqueHFont font(::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma"));
    CZULTolpButton buttons[4];
    for (int nLook = 0; nLook < 4; ++nLook) {
        CZULTolpButton& button = buttons[nLook];
        ASSERT_TRUE(button.Create(L"Cancel", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(0, 0, 10, 10), &parent,
                                  1000 + nLook));
        button.ModifyStyle(0, BS_OWNERDRAW);
        button.SetFont(font.get(), FALSE);
        for (int n = 0; n < 4; ++n)
            button.SetStateImages(n, kLookPictures[n][0], kLookPictures[n][1], kLookPictures[n][2]);
        button.MoveWindow(20 + nLook * 115, 45, 75, 25);
    }
    buttons[1].SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
    buttons[2].SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    buttons[3].EnableWindow(FALSE);
    ::RedrawWindow(parent.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages(300);

    UniqueGpImage shot = CaptureScreen(rcWindow);
    ASSERT_TRUE(shot);
    ARGB fill = 0, pressedFace = 0;
    GdipBitmapGetPixel(static_cast<GpBitmap*>(shot.get()), 20 + 100, 15 + 3, &fill);
    GdipBitmapGetPixel(static_cast<GpBitmap*>(shot.get()), 20 + 2 * 115 + 5, 45 + 11, &pressedFace);
    EXPECT_GT((fill >> 16) & 0xFF, 220u) << std::hex << fill;
    EXPECT_LT(fill & 0xFF, 90u) << std::hex << fill;
    EXPECT_LT((pressedFace >> 16) & 0xFF, 100u) << std::hex << pressedFace;

    const CLSID pngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const std::wstring file = folder + L"\\skin-controls.png";
    EXPECT_EQ(GdipSaveImageToFile(shot.get(), file.c_str(), &pngEncoder, nullptr), Ok);
    ::ReleaseCapture();
}

} // namespace
