// The rectangles of a present: where the library's screen lands in the window's back buffer.
#include "zovuz/d3d11/d3d11_internal.h"

namespace {

ImageRect DestRect(const D3D11PresentPlacement &P)
{
    if (!P.WindowModeFlag) {
        if (P.FullScreenScalingMode == FULLSCREEN_SCALING_EXACT) return ImageRect{0, 0, P.ScreenWidth, P.ScreenHeight};
        return P.FullScreenScalingRect;
    }
    if (P.Emulation320x240Flag) return ImageRect{0, 0, 640, 480};
    const int width = (int)(P.ScreenWidth * P.ExtendRateX);
    const int height = (int)(P.ScreenHeight * P.ExtendRateY);
    return ImageRect{P.DrawOffsetX, P.DrawOffsetY, P.DrawOffsetX + width, P.DrawOffsetY + height};
}

// An edge beyond the back buffer is brought onto it, and the source's edge moved back by the same
// share, so that the image is cut rather than squeezed.
void ClipEdge(int &SourceEdge, int &DestEdge, int Limit)
{
    if (DestEdge <= Limit || DestEdge <= 0) return;
    SourceEdge -= (int)((long long)(DestEdge - Limit) * SourceEdge / DestEdge);
    DestEdge = Limit;
}

}  // namespace

D3D11PresentRects Graphics_D3D11_PresentRects(const D3D11PresentPlacement &Placement)
{
    const D3D11PresentPlacement &p = Placement;
    D3D11PresentRects r;
    r.Source = p.WindowModeFlag && p.Emulation320x240Flag ? ImageRect{0, 0, 320, 240}
                                                          : ImageRect{0, 0, p.ScreenWidth, p.ScreenHeight};
    r.Dest = DestRect(p);
    ClipEdge(r.Source.right, r.Dest.right, p.BackBufferWidth);
    ClipEdge(r.Source.bottom, r.Dest.bottom, p.BackBufferHeight);
    r.CoversFlag =
        r.Dest.left <= 0 && r.Dest.top <= 0 && r.Dest.right >= p.BackBufferWidth && r.Dest.bottom >= p.BackBufferHeight;
    return r;
}
