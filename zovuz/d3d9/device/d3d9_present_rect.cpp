// Where a present of the Direct3D 9 screen lands in the window.
#include "zovuz/d3d9/d3d9_internal.h"

ImageRect D3D9PresentDestRect(const D3D9PresentPlacement &Placement)
{
    const D3D9PresentPlacement &p = Placement;
    if (!p.WindowMode) return ImageRect{0, 0, p.DrawWidth, p.DrawHeight};
    int width = (int)(p.DrawWidth * p.ScaleX);
    int height = (int)(p.DrawHeight * p.ScaleY);
    if (!p.Centred) return ImageRect{0, 0, width, height};

    // Centred in the maximised window where the mouse maps back from; an edge within 2 pixels of
    // the client's edge goes onto it, so that no band of one or two pixels is left to fill.
    ImageRect rect;
    rect.left = p.OffsetX;
    rect.top = p.OffsetY;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    auto within2 = [](int Edge, int Target) { return Edge - Target <= 2 && Target - Edge <= 2; };
    if (within2(rect.left, 0)) rect.left = 0;
    if (within2(rect.top, 0)) rect.top = 0;
    if (within2(rect.right, p.ClientWidth)) rect.right = p.ClientWidth;
    if (within2(rect.bottom, p.ClientHeight)) rect.bottom = p.ClientHeight;
    return rect;
}
