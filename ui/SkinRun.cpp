#include "ui/SkinRun.h"

void DrawSkinRun(Gdiplus::GpGraphics* pGraphics, const SkinRun& run, int xFirstStrip, int xRight, int nStep)
{
    run.left.Draw(pGraphics, 0, 0);
    const long long nRunWidth = static_cast<long long>(xRight) - xFirstStrip;
    if (nStep == 1 && run.pStrips && run.centre.GetWidth() == 1 && nRunWidth <= run.nStripsWidth) {
        if (nRunWidth > 0) {
            const INT cx = static_cast<INT>(nRunWidth);
            const INT cy = static_cast<INT>(run.centre.GetHeight());
            Gdiplus::DllExports::GdipDrawImageRectRectI(pGraphics, run.pStrips, xFirstStrip, 0, cx, cy, 0, 0, cx, cy,
                                                        Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
        }
    } else if (nStep > 0) {
        // In 64 bits: a run that ends near INT_MAX must not wrap the position.
        for (long long x = xFirstStrip; x < xRight; x += nStep)
            run.centre.Draw(pGraphics, static_cast<int>(x), 0);
    }
    run.right.Draw(pGraphics, xRight, 0);
}
