#include "ui/SkinRun.h"

void DrawSkinRun(Gdiplus::GpGraphics* pGraphics, const SkinRun& run, int xFirstStrip, int xRight, int nStep)
{
    run.left.Draw(pGraphics, 0, 0);
    if (nStep > 0) {
        // In 64 bits: a run that ends near INT_MAX must not wrap the position.
        for (long long x = xFirstStrip; x < xRight; x += nStep)
            run.centre.Draw(pGraphics, static_cast<int>(x), 0);
    }
    run.right.Draw(pGraphics, xRight, 0);
}
