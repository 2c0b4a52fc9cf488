#pragma once
// A horizontal run of skin pictures: a left cap, one-pixel centre strips and a
// right cap, the way the progress bar's fill and the push button's face are
// drawn. The centre is drawn strip by strip, one picture per step, as the
// pictures are made to be drawn. UI thread only.

#include "ui/SkinImage.h"

struct SkinRun
{
    const SkinImage& left;
    const SkinImage& centre;
    const SkinImage& right;
};

// Draws the left cap at x = 0, a centre strip at xFirstStrip and every nStep
// pixels after it while x < xRight, and the right cap at xRight, all at y = 0
// and at their own pixel size. A piece that is not loaded is left out; a step
// below 1 draws no strips.
void DrawSkinRun(Gdiplus::GpGraphics* pGraphics, const SkinRun& run, int xFirstStrip, int xRight, int nStep = 1);
