// Quality management of the video renderer base.
#include "zovuz/movie/renderer/windows/dshow_video_renderer.h"

#include <mmsystem.h>

#include <climits>

D_CBaseVideoRenderer::D_CBaseVideoRenderer(REFCLSID ClassId, const wchar_t *ObjectName, IUnknown *Outer,
                                           HRESULT *Result)
    : D_CBaseRenderer(ClassId, ObjectName, Outer, Result),
      m_bSupplierHandlingQuality(false),
      m_cFramesDropped(0),
      m_cFramesDrawn(0)
{
    ResetStreamingTimes();
}

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    if (IsEqualIID(Id, IID_IQualProp)) return D_GetInterface(static_cast<D_IQualProp *>(this), Object);
    if (IsEqualIID(Id, IID_IQualityControl)) return D_GetInterface(static_cast<D_IQualityControl *>(this), Object);
    return D_CBaseRenderer::NonDelegatingQueryInterface(Id, Object);
}

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::JoinFilterGraph(IFilterGraph *Graph, LPCWSTR Name)
{
    if (Graph == nullptr && m_pGraph != nullptr)
        NotifyEvent(EC_WINDOW_DESTROYED, reinterpret_cast<LONG_PTR>(BaseFilterInterface()), 0);
    return D_CBaseRenderer::JoinFilterGraph(Graph, Name);
}

#define D_QUALPROP_READ(Expression)         \
    if (Value == nullptr) return E_POINTER; \
    D_CAutoLock lock(&m_InterfaceLock);     \
    *Value = (Expression);                  \
    return S_OK

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::get_FramesDroppedInRenderer(int *Value)
{
    D_QUALPROP_READ(m_cFramesDropped);
}

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::get_FramesDrawn(int *Value) { D_QUALPROP_READ(m_cFramesDrawn); }

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::get_AvgFrameRate(int *Value)
{
    if (Value == nullptr) return E_POINTER;
    D_CAutoLock lock(&m_InterfaceLock);
    int t = m_bStreaming ? static_cast<int>(timeGetTime()) - m_tStreamingStart : m_tStreamingStart;
    *Value = t > 0 ? MulDiv(100000, m_cFramesDrawn, t) : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::get_Jitter(int *Value)
{
    D_QUALPROP_READ(GetStdDev(m_cFramesDrawn - 2, m_iSumSqFrameTime, m_iSumFrameTime));
}

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::get_AvgSyncOffset(int *Value)
{
    D_QUALPROP_READ(m_pClock != nullptr && m_cFramesDrawn > 1 ? static_cast<int>(m_iTotAcc / (m_cFramesDrawn - 1)) : 0);
}

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::get_DevSyncOffset(int *Value)
{
    D_QUALPROP_READ(GetStdDev(m_cFramesDrawn - 1, m_iSumSqAcc, m_iTotAcc));
}

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::Notify(IBaseFilter *, Quality Q)
{
    // Proportions below 0 are not sent by graphs; they count as 0 (no division by zero at -167).
    long proportion = Q.Proportion < 0 ? 0 : Q.Proportion;
    m_trThrottle = proportion >= 1000 ? 0 : static_cast<int>(388880000 / (proportion + 167) - 330000);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CBaseVideoRenderer::SetSink(IQualityControl *Sink)
{
    // Counted: the renderer releases its sink when the connection breaks.
    if (Sink != nullptr) Sink->AddRef();
    if (m_pQSink != nullptr) m_pQSink->Release();
    m_pQSink = Sink;
    return S_OK;
}

LONGLONG llMulDiv(LONGLONG A, LONGLONG B, LONGLONG C, LONGLONG D)
{
    if (C == 0) return D >= 0 ? LLONG_MAX : LLONG_MIN;
    LONGLONG product = 0;
    if (!__builtin_mul_overflow(A, B, &product) && !__builtin_add_overflow(product, D, &product)) return product / C;
    // Beyond 64 bits: the quotient in extended precision, saturated.
    long double r = (static_cast<long double>(A) * B + D) / C;
    if (r >= static_cast<long double>(LLONG_MAX)) return LLONG_MAX;
    if (r <= static_cast<long double>(LLONG_MIN)) return LLONG_MIN;
    return static_cast<LONGLONG>(r);
}

int isqrt(int X)
{
    if (X > 0x40000000) return 32768;
    if (X <= 0) return 0;
    int s = 1;
    while (s * s < X) s *= 2;
    s = (s * s + X) / (2 * s);
    if (s >= 0) s = (s * s + X) / (2 * s);
    if (s >= 0) s = (s * s + X) / (2 * s);
    return s;
}

int D_CBaseVideoRenderer::GetStdDev(int Count, LONGLONG SumSquares, LONGLONG Sum)
{
    if (m_pClock == nullptr || Count <= 1) return 0;
    LONGLONG x = (SumSquares - llMulDiv(Sum, Sum, Count, 0)) / (Count - 1);
    return isqrt(static_cast<int>(x));
}

void D_CBaseVideoRenderer::RecordFrameLateness(int Late, int Frame)
{
    int tLate = Late / 10000;
    if (tLate < -1000 || tLate > 1000) tLate = m_cFramesDrawn <= 1 ? 0 : (tLate > 0 ? 1000 : -1000);
    if (m_cFramesDrawn > 1) {
        m_iTotAcc += tLate;
        m_iSumSqAcc += static_cast<LONGLONG>(tLate) * tLate;
    }
    if (m_cFramesDrawn > 2) {
        int tFrame = Frame / 10000;
        if (tFrame < 0 || tFrame > 1000) tFrame = 1000;
        m_iSumSqFrameTime += static_cast<LONGLONG>(tFrame) * tFrame;
        m_iSumFrameTime += tFrame;
    }
    m_cFramesDrawn++;
}

void D_CBaseVideoRenderer::ThrottleWait()
{
    if (m_trThrottle > 0)
        Sleep(static_cast<DWORD>(m_trThrottle / 10000));
    else
        Sleep(0);
}

void D_CBaseVideoRenderer::OnRenderStart(IMediaSample *)
{
    RecordFrameLateness(m_trLate, m_trFrame);
    m_tRenderStart = static_cast<int>(timeGetTime());
}

void D_CBaseVideoRenderer::OnRenderEnd(IMediaSample *)
{
    int tr = (static_cast<int>(timeGetTime()) - m_tRenderStart) * 10000;
    if (tr < 2 * m_trRenderAvg || tr < 2 * m_trRenderLast) m_trRenderAvg = (tr + 3 * m_trRenderAvg) / 4;
    m_trRenderLast = tr;
    ThrottleWait();
}

void D_CBaseVideoRenderer::OnDirectRender(IMediaSample *)
{
    m_trRenderAvg = 0;
    m_trRenderLast = 5000000;
    RecordFrameLateness(m_trLate, m_trFrame);
    ThrottleWait();
}

HRESULT D_CBaseVideoRenderer::OnStartStreaming() { return ResetStreamingTimes(); }

HRESULT D_CBaseVideoRenderer::OnStopStreaming()
{
    m_tStreamingStart = static_cast<int>(timeGetTime()) - m_tStreamingStart;
    return S_OK;
}

HRESULT D_CBaseVideoRenderer::ResetStreamingTimes()
{
    m_trLastDraw = -1000;
    m_tStreamingStart = static_cast<int>(timeGetTime());
    m_trRenderAvg = 0;
    m_trFrameAvg = -1;
    m_trDuration = 0;
    m_trRenderLast = 0;
    m_trWaitAvg = 0;
    m_tRenderStart = 0;
    m_cFramesDrawn = 0;
    m_cFramesDropped = 0;
    m_iTotAcc = 0;
    m_iSumSqAcc = 0;
    m_iSumSqFrameTime = 0;
    m_trFrame = 0;
    m_trLate = 0;
    m_iSumFrameTime = 0;
    m_nNormal = 0;
    m_trEarliness = 0;
    m_trTarget = -300000;
    m_trThrottle = 0;
    m_trRememberStampForPerf = 0;
    return S_OK;
}

bool D_CBaseVideoRenderer::ScheduleSample(IMediaSample *Sample)
{
    bool scheduled = D_CBaseRenderer::ScheduleSample(Sample);
    if (!scheduled) m_cFramesDropped++;
    return scheduled;
}

static LONGLONG ClampTime(LONGLONG Value)
{
    return Value < -500000000 ? -500000000 : (Value > 500000000 ? 500000000 : Value);
}

HRESULT D_CBaseVideoRenderer::ShouldDrawSampleNow(IMediaSample *Sample, REFERENCE_TIME *Start, REFERENCE_TIME *End)
{
    if (*Start >= 80000) {
        *Start -= 80000;
        *End -= 80000;
    }
    m_trRememberStampForPerf = *Start;
    REFERENCE_TIME clock = 0;
    m_pClock->GetTime(&clock);
    LONGLONG now = clock - m_tStart;
    LONGLONG trLate = ClampTime(now - *Start);
    HRESULT hr = SendQuality(trLate, now);
    m_bSupplierHandlingQuality = hr == S_OK;
    int duration = static_cast<int>(*End - *Start);
    if (duration > m_trDuration + m_trDuration / 32 || duration < m_trDuration - m_trDuration / 32)
        m_trFrameAvg = m_trDuration = duration;
    bool justDropped = (m_bSupplierHandlingQuality && Sample->IsDiscontinuity() == S_OK) || m_nNormal == -1;
    if (trLate > 0)
        m_trEarliness = 0;
    else if (trLate >= m_trEarliness || justDropped)
        m_trEarliness = static_cast<int>(trLate);
    else
        m_trEarliness = m_trEarliness - m_trEarliness / 8;
    LONGLONG waitAvg = ((trLate < 0 ? -trLate : 0) + 3LL * m_trWaitAvg) / 4;
    LONGLONG trFrame = now - m_trLastDraw;
    if (trFrame > 10000000) trFrame = 10000000;

    bool draw = 3LL * m_trRenderAvg <= m_trFrameAvg ||
                (m_bSupplierHandlingQuality ? trLate <= 4LL * duration : 2 * trLate < duration) ||
                m_trWaitAvg > 80000 || now - m_trLastDraw > 10000000;
    if (!draw) {
        m_trWaitAvg = static_cast<int>(waitAvg);
        m_nNormal = -1;
        return E_FAIL;
    }
    bool atOnce = justDropped || (m_trFrameAvg > duration + duration / 16 && trLate > -10LL * duration);
    if (trLate < -9000000) atOnce = false;
    if (atOnce) {
        m_nNormal = 0;
        m_trLate = static_cast<int>(trLate);
        m_trFrame = static_cast<int>(trFrame);
        m_trWaitAvg = 3 * m_trWaitAvg / 4;
        m_trFrameAvg = static_cast<int>((trFrame + 3LL * m_trFrameAvg) / 4);
        m_trLastDraw = now;
        if (trLate < m_trEarliness) m_trEarliness = static_cast<int>(trLate);
        return S_OK;
    }
    m_nNormal++;
    m_trFrameAvg = duration;
    *Start += m_trEarliness > -duration ? m_trEarliness : -duration;
    m_trWaitAvg = static_cast<int>(waitAvg);
    if (trLate >= 0) {
        m_trLastDraw = now;
        m_trLate = static_cast<int>(trLate);
        m_trFrame = static_cast<int>(trFrame);
        return S_OK;
    }
    m_trFrame = static_cast<int>(ClampTime(*Start - m_trLastDraw));
    m_trLastDraw = *Start;
    m_trLate = static_cast<int>(ClampTime(*Start - m_trRememberStampForPerf));
    return S_FALSE;
}

HRESULT D_CBaseVideoRenderer::SendQuality(REFERENCE_TIME Late, REFERENCE_TIME Now)
{
    Quality q;
    q.Type = m_trFrameAvg < 0 || m_trFrameAvg > 2 * m_trRenderAvg ? Famine : Flood;
    q.Proportion = 1000;
    if (m_trFrameAvg >= 0) {
        if (Late > 0) {
            LONGLONG p = 1000 - Late / 10000;
            q.Proportion = static_cast<long>(p < 500 ? 500 : p);
        } else if (m_trWaitAvg > 20000 && Late < -20000) {
            if (m_trWaitAvg >= m_trFrameAvg || m_trFrameAvg + 20000 <= m_trWaitAvg) {
                q.Proportion = 2000;
            } else {
                long p = 1000L * (m_trFrameAvg / (m_trFrameAvg + 20000 - m_trWaitAvg));
                q.Proportion = p < 2000 ? p : 2000;
            }
        }
    }
    q.Late = Late + m_trRenderAvg / 2;
    q.TimeStamp = Now;
    if (m_pQSink == nullptr) {
        IPin *peer = m_pInputPin != nullptr ? m_pInputPin->GetConnected() : nullptr;
        if (peer != nullptr) peer->QueryInterface(IID_IQualityControl, reinterpret_cast<void **>(&m_pQSink));
    }
    if (m_pQSink == nullptr) return S_FALSE;
    return m_pQSink->Notify(BaseFilterInterface(), q);
}
