// Seeking for filters that are not sources: IMediaSeeking and IMediaPosition requests go
// upstream, to the filter connected to an input pin. The renderer's variant also answers the
// current position from the media times of the sample being rendered. IMediaPosition's IDispatch
// half comes from the system's DirectShow type library.
#pragma once

#include "zovuz/movie/dshow/windows/dshow_base.h"

class D_CMediaPosition : public D_IMediaPosition, public D_CUnknown
{
public:
    D_CMediaPosition(const wchar_t *ObjectName, IUnknown *Outer);
    ~D_CMediaPosition() override;

    D_DECLARE_IUNKNOWN

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *Count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT Index, LCID Locale, ITypeInfo **Info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID Id, LPOLESTR *Names, UINT Count, LCID Locale, DISPID *Ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID Member, REFIID Id, LCID Locale, WORD Flags, DISPPARAMS *Parameters,
                                     VARIANT *Result, EXCEPINFO *Exception, UINT *ArgumentError) override;

protected:
    HRESULT LoadTypeInfo(LCID Locale);

    ITypeInfo *m_pTypeInfo;  // counted, loaded when first needed
};

class D_CPosPassThru : public D_IMediaSeeking, public D_CMediaPosition
{
public:
    D_CPosPassThru(const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result, IPin *Pin);

    D_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID Id, void **Object) override;

    // IMediaSeeking
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD *Capabilities) override;
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD *Capabilities) override;
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID *Format) override;
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID *Format) override;
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID *Format) override;
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID *Format) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID *Format) override;
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG *Duration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG *Stop) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG *Current) override;
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG *Target, const GUID *TargetFormat, LONGLONG Source,
                                                const GUID *SourceFormat) override;
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG *Current, DWORD CurrentFlags, LONGLONG *Stop,
                                           DWORD StopFlags) override;
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG *Current, LONGLONG *Stop) override;
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG *Earliest, LONGLONG *Latest) override;
    HRESULT STDMETHODCALLTYPE SetRate(double Rate) override;
    HRESULT STDMETHODCALLTYPE GetRate(double *Rate) override;
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG *Preroll) override;
    virtual HRESULT GetMediaTime(LONGLONG *Start, LONGLONG *Stop);

    // IMediaPosition
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME *Length) override;
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME Time) override;
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME *Time) override;
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME *Time) override;
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME Time) override;
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME *Time) override;
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME Time) override;
    HRESULT STDMETHODCALLTYPE put_Rate(double Rate) override;
    HRESULT STDMETHODCALLTYPE get_Rate(double *Rate) override;
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG *CanSeek) override;
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG *CanSeek) override;

protected:
    // The connected peer's interface, looked up afresh for every call; E_NOTIMPL when unconnected.
    HRESULT GetPeerSeeking(IMediaSeeking **Seeking);
    HRESULT GetPeerPosition(IMediaPosition **Position);

    IPin *m_pPin;  // the input pin whose peer receives the requests; not counted
};

class D_CRendererPosPassThru : public D_CPosPassThru
{
public:
    D_CRendererPosPassThru(const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result, IPin *Pin);

    HRESULT GetMediaTime(LONGLONG *Start, LONGLONG *Stop) override;
    // The renderer records the media times of the sample being rendered, and forgets them when
    // streaming stops.
    HRESULT RegisterMediaTime(LONGLONG Start, LONGLONG End);
    HRESULT ResetMediaTime();
    // End of stream: the current position becomes the stop position (E_FAIL when times were reset).
    HRESULT EOS();

protected:
    D_CCritSec m_PositionLock;  // shared with the renderer's streaming thread
    LONGLONG m_StartMedia;
    LONGLONG m_EndMedia;
    BOOL m_bReset;  // no media times recorded
};
