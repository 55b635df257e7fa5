// The video renderer base: decides per sample whether to draw at once, wait or drop, from running
// averages of render time, wait time and frame interval; sends Quality messages upstream, obeys
// a throttle, and reports frame-rate, jitter and sync-offset statistics through IQualProp.
#pragma once

#include "zovuz/movie/renderer/windows/dshow_renderer.h"

class D_CBaseVideoRenderer : public D_CBaseRenderer, public D_IQualProp, public D_IQualityControl
{
public:
    D_CBaseVideoRenderer(REFCLSID ClassId, const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result);

    D_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph *Graph, LPCWSTR Name) override;

    // IQualProp
    HRESULT STDMETHODCALLTYPE get_FramesDroppedInRenderer(int *Value) override;
    HRESULT STDMETHODCALLTYPE get_FramesDrawn(int *Value) override;
    HRESULT STDMETHODCALLTYPE get_AvgFrameRate(int *Value) override;
    HRESULT STDMETHODCALLTYPE get_Jitter(int *Value) override;
    HRESULT STDMETHODCALLTYPE get_AvgSyncOffset(int *Value) override;
    HRESULT STDMETHODCALLTYPE get_DevSyncOffset(int *Value) override;
    // IQualityControl
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter *Sender, Quality Q) override;
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl *Sink) override;

    void OnRenderStart(IMediaSample *Sample) override;
    void OnRenderEnd(IMediaSample *Sample) override;
    HRESULT OnStartStreaming() override;
    HRESULT OnStopStreaming() override;
    bool ScheduleSample(IMediaSample *Sample) override;
    HRESULT ShouldDrawSampleNow(IMediaSample *Sample, REFERENCE_TIME *Start, REFERENCE_TIME *End) override;

    virtual void RecordFrameLateness(int Late, int Frame);
    virtual void OnDirectRender(IMediaSample *Sample);
    virtual HRESULT ResetStreamingTimes();
    virtual HRESULT SendQuality(REFERENCE_TIME Late, REFERENCE_TIME Now);

    int Throttle() const { return m_trThrottle; }

protected:
    void ThrottleWait();
    int GetStdDev(int Count, LONGLONG SumSquares, LONGLONG Sum);

    int m_nNormal;
    bool m_bSupplierHandlingQuality;
    int m_trThrottle;
    int m_trRenderAvg;
    int m_trRenderLast;
    int m_tRenderStart;
    int m_trEarliness;
    int m_trTarget;
    int m_trWaitAvg;
    int m_trFrameAvg;
    int m_trDuration;
    LONGLONG m_trRememberStampForPerf;
    int m_cFramesDropped;
    int m_cFramesDrawn;
    LONGLONG m_iTotAcc;
    LONGLONG m_iSumSqAcc;
    LONGLONG m_trLastDraw;
    LONGLONG m_iSumSqFrameTime;
    LONGLONG m_iSumFrameTime;
    int m_trLate;
    int m_trFrame;
    int m_tStreamingStart;
};

// (A × B + D) / C on 64-bit values with a 128-bit product, saturating at the 64-bit limits.
LONGLONG llMulDiv(LONGLONG A, LONGLONG B, LONGLONG C, LONGLONG D);
// The integer square root of the statistics; 32768 for anything above 0x40000000.
int isqrt(int X);
