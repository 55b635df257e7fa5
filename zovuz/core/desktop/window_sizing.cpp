// The main window's resize limits.
#include "zovuz/core/desktop/window_sizing_internal.h"

#include <algorithm>

namespace {

constexpr int SmallestClientSide = 16;

bool MovesLeftSide(int Edge) { return Edge == SIZING_LEFT || Edge == SIZING_TOPLEFT || Edge == SIZING_BOTTOMLEFT; }

bool MovesBottomSide(int Edge)
{
    return Edge == SIZING_BOTTOM || Edge == SIZING_BOTTOMLEFT || Edge == SIZING_BOTTOMRIGHT;
}

// Holds one side within the set limits: true when it had to be moved.
bool HoldWithinLimits(int MinSetFlag, int Min, int MaxSetFlag, int Max, int *Side)
{
    int held = *Side;
    if (MinSetFlag && held < Min) held = Min;
    if (MaxSetFlag && held > Max) held = Max;
    bool moved = held != *Side;
    *Side = held;
    return moved;
}

// Scaling mode: the new client size keeps the draw screen's proportions.
void ScaledClientSize(const WindowSizingLimits &L, int Edge, int *Width, int *Height, double *Rate)
{
    int width = *Width, height = *Height;
    HoldWithinLimits(L.MinSizeSetFlag, L.MinWidth, L.MaxSizeSetFlag, L.MaxWidth, &width);
    HoldWithinLimits(L.MinSizeSetFlag, L.MinHeight, L.MaxSizeSetFlag, L.MaxHeight, &height);
    bool widthDecides;
    if (Edge == SIZING_LEFT || Edge == SIZING_RIGHT)
        widthDecides = true;
    else if (Edge == SIZING_TOP || Edge == SIZING_BOTTOM)
        widthDecides = false;
    else
        widthDecides = static_cast<double>(width) / L.DrawWidth >= static_cast<double>(height) / L.DrawHeight;

    // The follower takes the draw screen's proportions. When that takes it past a limit it is
    // held at the limit and decides instead; it decides for good, so limits that cannot both be
    // met never make the sides take turns.
    if (widthDecides) {
        height = width * L.DrawHeight / L.DrawWidth;
        if (HoldWithinLimits(L.MinSizeSetFlag, L.MinHeight, L.MaxSizeSetFlag, L.MaxHeight, &height)) {
            width = height * L.DrawWidth / L.DrawHeight;
            widthDecides = false;
        }
    } else {
        width = height * L.DrawWidth / L.DrawHeight;
        if (HoldWithinLimits(L.MinSizeSetFlag, L.MinWidth, L.MaxSizeSetFlag, L.MaxWidth, &width)) {
            height = width * L.DrawHeight / L.DrawWidth;
            widthDecides = true;
        }
    }
    if (width < SmallestClientSide || height < SmallestClientSide) {
        if (L.DrawWidth <= L.DrawHeight) {
            width = SmallestClientSide;
            height = SmallestClientSide * L.DrawHeight / L.DrawWidth;
            widthDecides = true;
        } else {
            height = SmallestClientSide;
            width = SmallestClientSide * L.DrawWidth / L.DrawHeight;
            widthDecides = false;
        }
    }
    *Width = width;
    *Height = height;
    *Rate = widthDecides ? static_cast<double>(width) / L.DrawWidth : static_cast<double>(height) / L.DrawHeight;
}

void PlaceScaledRect(int Edge, int WindowWidth, int WindowHeight, SizingRect *Rect)
{
    bool moveLeft = MovesLeftSide(Edge);
    bool moveTop = Edge == SIZING_TOP || Edge == SIZING_TOPRIGHT || Edge == SIZING_TOPLEFT;
    if (moveLeft)
        Rect->Left = Rect->Right - WindowWidth;
    else
        Rect->Right = Rect->Left + WindowWidth;
    if (moveTop)
        Rect->Top = Rect->Bottom - WindowHeight;
    else
        Rect->Bottom = Rect->Top + WindowHeight;
}

}  // namespace

void ConstrainSizingRect(const WindowSizingLimits &L, int Edge, SizingRect *Rect, double *ExtendRate)
{
    int proposedWidth = Rect->Right - Rect->Left - L.FrameWidth;
    int proposedHeight = Rect->Bottom - Rect->Top - L.FrameHeight;
    int width = std::min(proposedWidth, L.DisplayWidth);
    int height = std::min(proposedHeight, L.DisplayHeight);

    if (L.ScalingFlag) {
        ScaledClientSize(L, Edge, &width, &height, ExtendRate);
        PlaceScaledRect(Edge, width + L.FrameWidth, height + L.FrameHeight, Rect);
        return;
    }

    int maxWidth = static_cast<int>(L.DrawWidth * L.ExtendRateX);
    int maxHeight = static_cast<int>(L.DrawHeight * L.ExtendRateY);
    if (L.MaxSizeSetFlag) {
        maxWidth = std::min(maxWidth, L.MaxWidth);
        maxHeight = std::min(maxHeight, L.MaxHeight);
    }
    int minWidth = L.MinSizeSetFlag ? L.MinWidth : SmallestClientSide;
    int minHeight = L.MinSizeSetFlag ? L.MinHeight : SmallestClientSide;
    // The minimum wins over a maximum below it.
    width = std::max(std::min(width, maxWidth), minWidth);
    height = std::max(std::min(height, maxHeight), minHeight);

    if (width != proposedWidth) {
        if (MovesLeftSide(Edge))
            Rect->Left = Rect->Right - (width + L.FrameWidth);
        else
            Rect->Right = Rect->Left + width + L.FrameWidth;
    }
    if (height != proposedHeight) {
        if (MovesBottomSide(Edge))
            Rect->Bottom = Rect->Top + height + L.FrameHeight;
        else
            Rect->Top = Rect->Bottom - (height + L.FrameHeight);
    }
}
