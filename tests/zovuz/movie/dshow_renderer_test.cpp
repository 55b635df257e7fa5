// The renderer base in the platform's filter graph: the test source feeds a renderer built on
// D_CBaseRenderer, on the graph's own reference clock. A loaded machine delays some renders by
// well over 100 ms, so lateness is judged on the least late of several samples: a renderer that
// waits too long is late with every one of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "tests/zovuz/movie/dshow_test_filters.h"
#include "zovuz/movie/renderer/windows/dshow_renderer.h"

namespace {

const CLSID CLSID_TestTimingRenderer = {0x1d3c7a52, 0x3a51, 0x4b7e, {0x9e, 0x0c, 0x52, 0x6f, 0x11, 0x27, 0x4a, 0x90}};
const REFERENCE_TIME Ms = 10000;

struct Rendered
{
    REFERENCE_TIME At;     // stream time when DoRenderSample ran
    REFERENCE_TIME Start;  // the sample's start, -1 without times
};

class TimingRenderer : public D_CBaseRenderer
{
public:
    TimingRenderer() : D_CBaseRenderer(CLSID_TestTimingRenderer, L"Timing renderer", nullptr, nullptr) {}
    HRESULT CheckMediaType(const D_CMediaType *Type) override
    {
        return *Type == PcmType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT DoRenderSample(IMediaSample *Sample) override
    {
        Rendered r = {0, -1};
        StreamTime(&r.At);
        REFERENCE_TIME stop = 0;
        if (FAILED(Sample->GetTime(&r.Start, &stop))) r.Start = -1;
        Log.push_back(r);
        return S_OK;
    }
    IBaseFilter *Filter() { return this; }
    std::vector<Rendered> Log;
};

// Rewrites the time stamps of the samples passing through: an entry of the table per sample.
enum Stamp { Keep, NoTimes, Reversed };
class StampFilter : public TestXorFilter
{
public:
    StampFilter() : TestXorFilter(0) {}
    HRESULT Transform(IMediaSample *Sample) override
    {
        size_t k = static_cast<size_t>(Transforms++);
        Stamp stamp = k < Stamps.size() ? Stamps[k] : Keep;
        REFERENCE_TIME start = 0, stop = 0;
        Sample->GetTime(&start, &stop);
        if (stamp == NoTimes) Sample->SetTime(nullptr, nullptr);
        if (stamp == Reversed) {
            REFERENCE_TIME earlier = start - 1;
            Sample->SetTime(&start, &earlier);
        }
        return S_OK;
    }
    std::vector<Stamp> Stamps;
};

class DShowRenderer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Graph = Com.NewGraph();
        ASSERT_NE(nullptr, Graph);
        ASSERT_EQ(S_OK, Graph->AddFilter(Source->Filter(), L"Source"));
        ASSERT_EQ(S_OK, Graph->AddFilter(Stamps->Filter(), L"Stamps"));
        ASSERT_EQ(S_OK, Graph->AddFilter(Renderer->Filter(), L"Renderer"));
        ASSERT_EQ(S_OK, Graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void **>(&Control)));
    }
    void TearDown() override
    {
        Control->Stop();
        Control->Release();
        Graph->Release();
        D_SafeDelete(Source);
        D_SafeDelete(Stamps);
        D_SafeDelete(Renderer);
    }
    void Join()
    {
        ASSERT_EQ(S_OK, ConnectPins(Graph, Source->Output(), Stamps->Input()));
        ASSERT_EQ(S_OK, ConnectPins(Graph, Stamps->Output(), Renderer->GetPin(0)->PinInterface()));
    }
    // Runs the graph and waits for EC_COMPLETE; the stream time (ms) at which it was seen, or -1
    // when none came.
    long RunToComplete()
    {
        long code = Com.RunToEnd(Graph, Control, 5000);
        REFERENCE_TIME now = 0;
        Renderer->StreamTime(&now);
        return code == EC_COMPLETE ? static_cast<long>(now / Ms) : -1;
    }
    // The graph run with one sample of Length ms: when EC_COMPLETE came, as RunToComplete.
    long CompleteAfterOneSample(int Length)
    {
        Source->SampleCount = 1;
        Source->SampleTime = Length * Ms;
        Join();
        return RunToComplete();
    }

    DShowTest Com;
    IGraphBuilder *Graph = nullptr;
    IMediaControl *Control = nullptr;
    TestSource *Source = new TestSource;
    StampFilter *Stamps = new StampFilter;
    TimingRenderer *Renderer = new TimingRenderer;
};

TEST_F(DShowRenderer, RendersEverySampleInOrderNotBeforeItsTime)
{
    Source->SampleCount = 6;
    Source->SampleTime = 40 * Ms;
    Join();
    ASSERT_GE(RunToComplete(), 0);
    ASSERT_EQ(6u, Renderer->Log.size());
    REFERENCE_TIME leastLate = INT64_MAX;
    for (size_t k = 0; k < Renderer->Log.size(); k++) {
        const Rendered &r = Renderer->Log[k];
        EXPECT_EQ(static_cast<REFERENCE_TIME>(k) * Source->SampleTime, r.Start) << "out of order";
        EXPECT_GE(r.At, r.Start - 2 * Ms) << "rendered early";
        leastLate = std::min(leastLate, r.At - r.Start);
    }
    // Quiet or busy, at least one of the six came within a few ms of its time.
    EXPECT_LT(leastLate, 20 * Ms) << "every sample rendered late";
}

TEST_F(DShowRenderer, SampleWithoutTimesRendersAtOnceAndReversedTimesAreDropped)
{
    Source->SampleCount = 4;
    Source->SampleTime = 50 * Ms;
    Stamps->Stamps = {Keep, Reversed, NoTimes, Keep};
    Join();
    ASSERT_GE(RunToComplete(), 0);
    ASSERT_EQ(3u, Renderer->Log.size());
    EXPECT_EQ(0, Renderer->Log[0].Start);
    EXPECT_EQ(-1, Renderer->Log[1].Start);
    // Due at once: it does not wait for the dropped sample's time.
    EXPECT_LT(Renderer->Log[1].At, 50 * Ms + 100 * Ms);
    EXPECT_EQ(3 * Source->SampleTime, Renderer->Log[2].Start);
}

TEST_F(DShowRenderer, EndOfStreamDueSoonCompletesAtOnce)
{
    EXPECT_GE(CompleteAfterOneSample(30), 0) << "EC_COMPLETE never came";
}

TEST_F(DShowRenderer, EndOfStreamWaitsForTheLastStopTime) { EXPECT_GE(CompleteAfterOneSample(200), 190); }

TEST_F(DShowRenderer, PausedWithoutDataIsIntermediateAndStopReleasesAWaitingSource)
{
    Source->SampleCount = 2;
    Source->SampleTime = 10000 * Ms;  // the second sample would wait 10 s
    Join();
    // The source stays stopped: before a first sample the pause is not complete.
    IBaseFilter *renderer = Renderer->Filter();
    EXPECT_EQ(S_FALSE, renderer->Pause());
    FILTER_STATE state;
    EXPECT_EQ(VFW_S_STATE_INTERMEDIATE, renderer->GetState(0, &state));
    EXPECT_EQ(State_Paused, state);
    EXPECT_EQ(S_OK, renderer->Stop());

    ASSERT_TRUE(SUCCEEDED(Control->Run()));
    for (int i = 0; i < 300 && Renderer->Log.empty(); i++) Sleep(10);
    Sleep(50);  // the source is now waiting with the second sample
    DWORD begun = timeGetTime();
    EXPECT_EQ(S_OK, Control->Stop());
    EXPECT_LT(timeGetTime() - begun, 5000u) << "Stop did not release the waiting source";
    EXPECT_EQ(1u, Renderer->Log.size());
}

TEST_F(DShowRenderer, FindPinAndUnconnectedRun)
{
    IPin *pin = nullptr;
    EXPECT_EQ(VFW_E_NOT_FOUND, Renderer->FindPin(L"in", &pin));
    EXPECT_EQ(nullptr, pin);
    ASSERT_EQ(S_OK, Renderer->FindPin(L"In", &pin));
    pin->Release();
    // Not connected: running at once, nothing to wait for.
    EXPECT_EQ(S_OK, Renderer->Filter()->Run(0));
    FILTER_STATE state;
    EXPECT_EQ(S_OK, Renderer->Filter()->GetState(0, &state));
    EXPECT_EQ(State_Running, state);
    Renderer->Filter()->Stop();
}

}  // namespace
