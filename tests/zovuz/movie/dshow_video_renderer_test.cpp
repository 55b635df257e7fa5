// The video renderer's quality arithmetic and its draw/wait/drop decision, on a clock the test
// sets by hand.
#include <climits>

#include <gtest/gtest.h>

#include "tests/zovuz/movie/dshow_test_filters.h"
#include "zovuz/movie/renderer/windows/dshow_video_renderer.h"

namespace {

const CLSID CLSID_TestVideoRenderer = {0x5f0e3c11, 0x7b2d, 0x4c8a, {0x8d, 0x41, 0x0a, 0x6e, 0x93, 0x12, 0x5c, 0x77}};

// A reference clock that stands still until the test moves it.
class FakeClock : public IReferenceClock
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **Object) override
    {
        *Object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME *Time) override
    {
        *Time = Now;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR *) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR *) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR) override { return S_OK; }
    REFERENCE_TIME Now = 0;
};

class ProbeRenderer : public D_CBaseVideoRenderer
{
public:
    ProbeRenderer() : D_CBaseVideoRenderer(CLSID_TestVideoRenderer, L"Probe renderer", nullptr, nullptr) {}
    HRESULT CheckMediaType(const D_CMediaType *) override { return S_OK; }
    HRESULT DoRenderSample(IMediaSample *) override { return S_OK; }
    using D_CBaseVideoRenderer::m_cFramesDrawn;
    using D_CBaseVideoRenderer::m_nNormal;
    using D_CBaseVideoRenderer::m_trRenderAvg;
    using D_CBaseVideoRenderer::m_tStreamingStart;
};

class DShowVideoRenderer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Renderer->SetSyncSource(&Clock);
    }
    void TearDown() override
    {
        Renderer->SetSyncSource(nullptr);
        D_SafeDelete(Renderer);
    }
    // The decision for a sample [Start, End) at clock time Now (stream start 0), and the moved start.
    HRESULT Decide(REFERENCE_TIME Now, REFERENCE_TIME Start, REFERENCE_TIME End, REFERENCE_TIME *Moved = nullptr)
    {
        Clock.Now = Now;
        HRESULT hr = Renderer->ShouldDrawSampleNow(Sample, &Start, &End);
        if (Moved != nullptr) *Moved = Start;
        return hr;
    }

    DShowTest Com;
    FakeClock Clock;
    ProbeRenderer *Renderer = new ProbeRenderer;
    TestSamples Samples{1, 64};
    IMediaSample *Sample = Samples.Take();
};

TEST_F(DShowVideoRenderer, NotifySetsTheThrottle)
{
    struct Case
    {
        long Proportion;
        int Throttle;
    } cases[] = {{1000, 0}, {1500, 0}, {500, 253028}, {0, 1998622}, {-167, 1998622}, {-5000, 1998622}};
    for (const Case &c : cases) {
        Quality q = {Famine, c.Proportion, 0, 0};
        EXPECT_EQ(S_OK, static_cast<IQualityControl *>(Renderer)->Notify(Renderer->BaseFilterInterface(), q));
        EXPECT_EQ(c.Throttle, Renderer->Throttle()) << c.Proportion;
    }
}

TEST_F(DShowVideoRenderer, StatisticsArithmetic)
{
    EXPECT_EQ(32768, isqrt(0x40000001));
    EXPECT_EQ(0, isqrt(0));
    EXPECT_EQ(1000, isqrt(1000000));
    EXPECT_EQ(LLONG_MAX, llMulDiv(LLONG_MAX, 4, 2, 0));
    EXPECT_EQ(3, llMulDiv(5, 5, 8, 0));
    // 10 frames in 2000 ms of streaming that has stopped: 500 frames per 100 s.
    Renderer->m_cFramesDrawn = 10;
    Renderer->m_tStreamingStart = 2000;
    int rate = 0;
    EXPECT_EQ(S_OK, static_cast<IQualProp *>(Renderer)->get_AvgFrameRate(&rate));
    EXPECT_EQ(500, rate);
    int jitter = -1;
    EXPECT_EQ(S_OK, static_cast<IQualProp *>(Renderer)->get_Jitter(&jitter));
    EXPECT_EQ(0, jitter);
    EXPECT_EQ(E_POINTER, static_cast<IQualProp *>(Renderer)->get_FramesDrawn(nullptr));
}

TEST_F(DShowVideoRenderer, EarlyFramesWaitAndDueFramesDraw)
{
    REFERENCE_TIME moved = 0;
    // The first frame is early: it waits, for a start moved 8 ms earlier.
    EXPECT_EQ(S_FALSE, Decide(0, 1000000, 1400000, &moved));
    EXPECT_EQ(920000, moved);
    // A sample stamped below 8 ms is not moved, and one that is due draws now.
    EXPECT_EQ(S_OK, Decide(50000, 50000, 450000, &moved));
    EXPECT_EQ(50000, moved);
}

TEST_F(DShowVideoRenderer, SlowRenderingDropsThenDrawsTheNextAtOnce)
{
    // Rendering slower than the frame rate and half a second late: dropped ...
    Renderer->m_trRenderAvg = 1000000;
    EXPECT_EQ(E_FAIL, Decide(6000000, 1080000, 1480000));
    EXPECT_EQ(-1, Renderer->m_nNormal);
    // ... as is the next while rendering stays slow, until a second has passed without a frame:
    // then the frame after a drop is drawn at once.
    EXPECT_EQ(E_FAIL, Decide(6100000, 1480000, 1880000));
    EXPECT_EQ(S_OK, Decide(10100000, 10080000, 10480000));
    EXPECT_EQ(0, Renderer->m_nNormal);
}

}  // namespace
