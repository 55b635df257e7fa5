// The limits a user's resize of the main window obeys (WM_SIZING in window mode), apart from the
// window so that they can be computed and tested without one.
#pragma once

// The edge or corner being dragged, numbered as WM_SIZING numbers them.
enum WindowSizingEdge {
    SIZING_LEFT = 1,
    SIZING_RIGHT = 2,
    SIZING_TOP = 3,
    SIZING_TOPLEFT = 4,
    SIZING_TOPRIGHT = 5,
    SIZING_BOTTOM = 6,
    SIZING_BOTTOMLEFT = 7,
    SIZING_BOTTOMRIGHT = 8,
};

struct SizingRect
{
    int Left, Top, Right, Bottom;
};

struct WindowSizingLimits
{
    int ScalingFlag;                  // the drawing is scaled to the window and no size is set
    int DrawWidth, DrawHeight;        // draw-screen size
    double ExtendRateX, ExtendRateY;  // the current extend rates (above 0)
    int MinSizeSetFlag, MinWidth, MinHeight;
    int MaxSizeSetFlag, MaxWidth, MaxHeight;
    int DisplayWidth, DisplayHeight;  // the largest client size the display in use holds
    int FrameWidth, FrameHeight;      // window size less client size
};

// Changes Rect, the proposed window rectangle, to obey the limits for the dragged Edge. In
// scaling mode the client keeps the draw screen's proportions and *ExtendRate (both axes)
// receives the new rate; otherwise *ExtendRate is left alone.
void ConstrainSizingRect(const WindowSizingLimits &Limits, int Edge, SizingRect *Rect, double *ExtendRate);
