// Touch frames: the change log, the frame ring, the main touch, and the 16-point frame limit.
#include "zovuz/core/desktop/touch_record_internal.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TouchInputData Frame(std::initializer_list<int> Ids)
{
    TouchInputData frame = {};
    for (int id : Ids) AddTouchInputPoint(&frame, id, id * 10, id * 20);
    return frame;
}

std::vector<int> ChangedIds(const TouchRecordData &Record)
{
    std::vector<int> ids;
    for (int i = 0; i < Record.ChangeNum; ++i) ids.push_back(GetTouchChangePoint(&Record, i)->ID);
    return ids;
}

TEST(TouchRecord, ChangeLogHoldsPointsThatAppearedThenThoseThatWent)
{
    auto record = std::make_unique<TouchRecordData>();
    ResetTouchRecord(record.get());
    struct Step {
        std::initializer_list<int> Ids;
        std::vector<int> ChangesSoFar;
        int MainID, MainIndex;
    } steps[] = {
        {{5, 7}, {5, 7}, 5, 0},           // the first frame: every point
        {{7, 5, 9}, {5, 7, 9}, 5, 1},     // 9 appeared; the main touch follows its point
        {{9}, {5, 7, 9, 7, 5}, 9, 0},     // 7 and 5 went: the main touch moves to the first point
        {{}, {5, 7, 9, 7, 5, 9}, -1, -1}, // all lifted
    };
    for (const Step &step : steps) {
        TouchInputData frame = Frame(step.Ids);
        RecordTouchFrame(record.get(), &frame);
        EXPECT_EQ(step.ChangesSoFar, ChangedIds(*record));
        EXPECT_EQ(step.MainID, record->MainID);
        EXPECT_EQ(step.MainIndex, record->MainIndex);
    }
    EXPECT_EQ(4, record->LogNum);
    EXPECT_EQ(0, record->Previous.PointNum);
}

TEST(TouchRecord, LogsKeepTheLatest120)
{
    auto record = std::make_unique<TouchRecordData>();
    ResetTouchRecord(record.get());
    for (int i = 0; i < 130; ++i) {
        TouchInputData frame = Frame({i});  // one new point and one gone per frame
        frame.Time = i;
        RecordTouchFrame(record.get(), &frame);
    }
    EXPECT_EQ(TOUCHINPUTDATA_LOGNUM, record->LogNum);
    EXPECT_EQ(10, GetTouchLogFrame(record.get(), 0)->Time);
    EXPECT_EQ(129, GetTouchLogFrame(record.get(), 119)->Time);
    EXPECT_EQ(nullptr, GetTouchLogFrame(record.get(), 120));
    EXPECT_EQ(TOUCHINPUTDATA_LOGNUM, record->ChangeNum);
    EXPECT_EQ(129, GetTouchChangePoint(record.get(), 118)->ID);  // frame 129: 129 came, then 128 went
    EXPECT_EQ(128, GetTouchChangePoint(record.get(), 119)->ID);
}

TEST(TouchRecord, FrameHoldsAtMost16Points)
{
    TouchInputData frame = {};
    for (int i = 0; i < 20; ++i) {
        int expected = i < TOUCHINPUTPOINT_MAXNUM ? 0 : -1;
        EXPECT_EQ(expected, AddTouchInputPoint(&frame, i, i, i)) << i;
    }
    EXPECT_EQ(TOUCHINPUTPOINT_MAXNUM, frame.PointNum);
    EXPECT_EQ(15, frame.Point[15].ID);
}

}  // namespace
