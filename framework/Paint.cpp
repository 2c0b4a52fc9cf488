#include "framework/Paint.h"

#include "framework/Handles.h"

BOOL PaintInto(HDC hdcTarget, const RECT& rcTarget, const PaintCompose& compose)
{
    const CRect rcTargetBox(rcTarget);
    if (!hdcTarget || rcTargetBox.IsRectEmpty())
        return FALSE;

    MemoryDc buffer(hdcTarget, rcTargetBox.Width(), rcTargetBox.Height());
    if (!buffer)
        return FALSE;

    PaintBuffer paint{buffer.get(), CRect(0, 0, rcTargetBox.Width(), rcTargetBox.Height()), 0};
    compose(paint);
    return ::BitBlt(hdcTarget, rcTargetBox.left, rcTargetBox.top, rcTargetBox.Width(), rcTargetBox.Height(),
                    buffer.get(), paint.nSourceX, 0, SRCCOPY);
}

void PaintWindow(HWND hWnd, const PaintCompose& compose)
{
    const PaintScope paint = BeginPaintScope(hWnd);
    CRect rcClient;
    ::GetClientRect(hWnd, &rcClient);
    PaintInto(paint.get(), rcClient, compose);
}
