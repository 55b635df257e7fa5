// Touch frames of the main window.
#include "zovuz/core/desktop/touch_record_internal.h"

#include <string.h>

namespace {

int FindPoint(const TouchInputData *Frame, int Device, int ID)
{
    for (int i = 0; i < Frame->PointNum; ++i)
        if (Frame->Point[i].Device == Device && Frame->Point[i].ID == ID) return i;
    return -1;
}

void AddChange(TouchRecordData *Record, const TouchInputPoint &Point)
{
    Record->ChangeLog[Record->ChangeNext] = Point;
    Record->ChangeNext = (Record->ChangeNext + 1) % TOUCHINPUTDATA_LOGNUM;
    if (Record->ChangeNum < TOUCHINPUTDATA_LOGNUM) Record->ChangeNum++;
}

}  // namespace

void ResetTouchRecord(TouchRecordData *Record)
{
    memset(Record, 0, sizeof(*Record));
    Record->MainDevice = -1;
    Record->MainID = -1;
    Record->MainIndex = -1;
}

int AddTouchInputPoint(TouchInputData *Frame, int ID, int PositionX, int PositionY)
{
    if (Frame->PointNum >= TOUCHINPUTPOINT_MAXNUM) return -1;
    TouchInputPoint &point = Frame->Point[Frame->PointNum++];
    point.Device = 0;
    point.ID = ID;
    point.PositionX = PositionX;
    point.PositionY = PositionY;
    return 0;
}

void RecordTouchFrame(TouchRecordData *Record, const TouchInputData *Frame)
{
    // Before the first frame the previous frame is empty: every point is new.
    for (int i = 0; i < Frame->PointNum; ++i)
        if (FindPoint(&Record->Previous, Frame->Point[i].Device, Frame->Point[i].ID) < 0)
            AddChange(Record, Frame->Point[i]);
    for (int i = 0; i < Record->Previous.PointNum; ++i)
        if (FindPoint(Frame, Record->Previous.Point[i].Device, Record->Previous.Point[i].ID) < 0)
            AddChange(Record, Record->Previous.Point[i]);

    Record->Log[Record->LogNext] = *Frame;
    Record->LogNext = (Record->LogNext + 1) % TOUCHINPUTDATA_LOGNUM;
    if (Record->LogNum < TOUCHINPUTDATA_LOGNUM) Record->LogNum++;
    Record->Previous = *Frame;

    if (Frame->PointNum == 0) {
        Record->MainDevice = -1;
        Record->MainID = -1;
        Record->MainIndex = -1;
        return;
    }
    int index = FindPoint(Frame, Record->MainDevice, Record->MainID);
    if (Record->MainID >= 0 && index >= 0) {
        Record->MainIndex = index;
        return;
    }
    Record->MainDevice = Frame->Point[0].Device;
    Record->MainID = Frame->Point[0].ID;
    Record->MainIndex = 0;
}

int GetMainTouchPosition(const TouchRecordData *Record, int *X, int *Y)
{
    const TouchInputData &frame = Record->Previous;
    if (frame.PointNum <= 0 || Record->MainID < 0 || Record->MainIndex < 0 || Record->MainIndex >= frame.PointNum)
        return 0;
    if (X != nullptr) *X = frame.Point[Record->MainIndex].PositionX;
    if (Y != nullptr) *Y = frame.Point[Record->MainIndex].PositionY;
    return 1;
}

const TouchInputData *GetTouchLogFrame(const TouchRecordData *Record, int Index)
{
    if (Index < 0 || Index >= Record->LogNum) return nullptr;
    int oldest = (Record->LogNext - Record->LogNum + TOUCHINPUTDATA_LOGNUM) % TOUCHINPUTDATA_LOGNUM;
    return &Record->Log[(oldest + Index) % TOUCHINPUTDATA_LOGNUM];
}

const TouchInputPoint *GetTouchChangePoint(const TouchRecordData *Record, int Index)
{
    if (Index < 0 || Index >= Record->ChangeNum) return nullptr;
    int oldest = (Record->ChangeNext - Record->ChangeNum + TOUCHINPUTDATA_LOGNUM) % TOUCHINPUTDATA_LOGNUM;
    return &Record->ChangeLog[(oldest + Index) % TOUCHINPUTDATA_LOGNUM];
}
