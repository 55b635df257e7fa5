// The touch points the main window receives, kept as frames (every point down at one moment),
// a log of recent frames, a log of points that appeared or went away, and the main touch that
// the mouse reads follow.
#pragma once

#include <stdint.h>

#define TOUCHINPUTPOINT_MAXNUM 16  // points in one frame
#define TOUCHINPUTDATA_LOGNUM 120  // frames and changed points kept

struct TouchInputPoint
{
    int Device;     // always 0
    int ID;         // the system's touch id
    int PositionX;  // draw-screen pixels
    int PositionY;
};

struct TouchInputData
{
    int64_t Time;  // microseconds
    int PointNum;
    TouchInputPoint Point[TOUCHINPUTPOINT_MAXNUM];
};

// Touch records of the main window; zeroed with it, then ResetTouchRecord.
struct TouchRecordData
{
    TouchInputData Log[TOUCHINPUTDATA_LOGNUM];         // ring of the latest frames
    int LogNum;                                        // frames in the ring
    int LogNext;                                       // ring slot the next frame goes to
    TouchInputPoint ChangeLog[TOUCHINPUTDATA_LOGNUM];  // ring of points that appeared or went
    int ChangeNum;
    int ChangeNext;
    TouchInputData Previous;  // the latest frame
    int MainDevice;           // main touch, -1 when nothing is down
    int MainID;
    int MainIndex;  // its index in Previous
};

// Empties the records; no main touch.
void ResetTouchRecord(TouchRecordData *Record);

// Adds a point to a frame under construction: 0, or -1 when the frame already holds 16 points
// (the point is left out).
int AddTouchInputPoint(TouchInputData *Frame, int ID, int PositionX, int PositionY);

// Records a finished frame: the change log first (every point of the first frame; later, the
// points new in this frame and then those gone from the previous one), then the frame log, the
// previous frame and the main touch, which stays on its point while that point stays down and
// otherwise moves to the frame's first point.
void RecordTouchFrame(TouchRecordData *Record, const TouchInputData *Frame);

// 1 while a point is down and the main touch is on one: its position into X and Y (either may
// be null). 0 otherwise, X and Y untouched.
int GetMainTouchPosition(const TouchRecordData *Record, int *X, int *Y);

// Frame Index of the log, 0 the oldest kept; null outside the log.
const TouchInputData *GetTouchLogFrame(const TouchRecordData *Record, int Index);
// Changed point Index, 0 the oldest kept; null outside the log.
const TouchInputPoint *GetTouchChangePoint(const TouchRecordData *Record, int Index);
