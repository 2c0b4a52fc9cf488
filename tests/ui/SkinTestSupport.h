#pragma once
// Helpers of the skin tests: the expected colour of a picture's pixel laid over
// a background, and a plain top-level window to parent the controls under test.
// Controls are painted into the window layer's DibCanvas and read back.

#include "GdiplusFixture.h"
#include "framework/WindowTestSupport.h"

#include "framework/Handles.h"
#include "framework/Wnd.h"
#include "ui/SkinImage.h"

#include <cstdlib>
#include <cstdio>

// Picture pixel (x, y) blended over crBelow, as source-over with straight alpha.
inline COLORREF Over(const SkinImage& image, int x, int y, COLORREF crBelow)
{
    Gdiplus::ARGB argb = 0;
    Gdiplus::DllExports::GdipBitmapGetPixel(static_cast<Gdiplus::GpBitmap*>(image.get()), x, y, &argb);
    const int a = static_cast<int>(argb >> 24);
    auto blend = [a](int src, int dst) { return (src * a + dst * (255 - a) + 127) / 255; };
    return RGB(blend((argb >> 16) & 0xFF, GetRValue(crBelow)), blend((argb >> 8) & 0xFF, GetGValue(crBelow)),
               blend(argb & 0xFF, GetBValue(crBelow)));
}

// Colours equal within nTolerance per channel (GDI+ blending rounds its own way).
inline ::testing::AssertionResult ColourNear(COLORREF crActual, COLORREF crExpected, int nTolerance = 3)
{
    const int dr = std::abs(GetRValue(crActual) - GetRValue(crExpected));
    const int dg = std::abs(GetGValue(crActual) - GetGValue(crExpected));
    const int db = std::abs(GetBValue(crActual) - GetBValue(crExpected));
    if (dr <= nTolerance && dg <= nTolerance && db <= nTolerance)
        return ::testing::AssertionSuccess();
    char text[80];
    std::snprintf(text, sizeof text, "actual #%02X%02X%02X, expected #%02X%02X%02X", GetRValue(crActual),
                  GetGValue(crActual), GetBValue(crActual), GetRValue(crExpected), GetGValue(crExpected),
                  GetBValue(crExpected));
    return ::testing::AssertionFailure() << text;
}

// Runs the thread's message loop for about nMilliseconds.
inline void PumpMessages(DWORD nMilliseconds)
{
    const DWORD nStart = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    } while (::GetTickCount() - nStart < nMilliseconds);
}

// A visible top-level popup (no caption, no border) at screen position rc.
inline BOOL CreateTestParent(CWnd& wnd, const RECT& rc)
{
    return wnd.CreateEx(WS_EX_TOOLWINDOW, nullptr, L"Quilmer skin test", WS_POPUP | WS_VISIBLE, rc, nullptr, 0);
}
