// The position pass-through and IMediaPosition's IDispatch half.
#include "zovuz/movie/dshow/windows/dshow_position.h"

// --- IDispatch through the type library ----------------------------------------------------

D_CMediaPosition::D_CMediaPosition(const wchar_t *ObjectName, IUnknown *Outer)
    : D_CUnknown(ObjectName, Outer), m_pTypeInfo(nullptr)
{
}

D_CMediaPosition::~D_CMediaPosition()
{
    if (m_pTypeInfo != nullptr) m_pTypeInfo->Release();
}

static HRESULT LastErrorResult() { return static_cast<HRESULT>(GetLastError() | 0x80070000); }

HRESULT D_CMediaPosition::LoadTypeInfo(LCID Locale)
{
    if (m_pTypeInfo != nullptr) return S_OK;
    // OleAut32 stays loaded while objects of the family live; the last one frees it.
    HMODULE oleaut = D_OleAut32Module();
    if (oleaut == nullptr) {
        oleaut = LoadLibraryA("OleAut32.dll");
        if (oleaut == nullptr) return LastErrorResult();
        D_SetOleAut32Module(oleaut);
    }
    typedef HRESULT(WINAPI * LoadRegTypeLibProc)(REFGUID, WORD, WORD, LCID, ITypeLib **);
    typedef HRESULT(WINAPI * LoadTypeLibProc)(LPCOLESTR, ITypeLib **);
    LoadRegTypeLibProc loadReg =
        reinterpret_cast<LoadRegTypeLibProc>(reinterpret_cast<void *>(GetProcAddress(oleaut, "LoadRegTypeLib")));
    if (loadReg == nullptr) return LastErrorResult();
    ITypeLib *library = nullptr;
    HRESULT hr = loadReg(LIBID_QuartzTypeLib, 1, 0, Locale, &library);
    if (FAILED(hr)) {
        LoadTypeLibProc load =
            reinterpret_cast<LoadTypeLibProc>(reinterpret_cast<void *>(GetProcAddress(oleaut, "LoadTypeLib")));
        if (load == nullptr) return LastErrorResult();
        hr = load(L"control.tlb", &library);
        if (FAILED(hr)) return hr;
    }
    hr = library->GetTypeInfoOfGuid(IID_IMediaPosition, &m_pTypeInfo);
    library->Release();
    if (FAILED(hr)) m_pTypeInfo = nullptr;
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CMediaPosition::GetTypeInfoCount(UINT *Count)
{
    if (Count == nullptr) return E_POINTER;
    *Count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaPosition::GetTypeInfo(UINT Index, LCID Locale, ITypeInfo **Info)
{
    if (Info == nullptr) return E_POINTER;
    *Info = nullptr;
    if (Index != 0) return TYPE_E_ELEMENTNOTFOUND;
    HRESULT hr = LoadTypeInfo(Locale);
    if (FAILED(hr)) return hr;
    m_pTypeInfo->AddRef();
    *Info = m_pTypeInfo;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE D_CMediaPosition::GetIDsOfNames(REFIID, LPOLESTR *Names, UINT Count, LCID Locale, DISPID *Ids)
{
    HRESULT hr = LoadTypeInfo(Locale);
    if (FAILED(hr)) return hr;
    ITypeInfo *info = m_pTypeInfo;
    info->AddRef();
    hr = info->GetIDsOfNames(Names, Count, Ids);
    info->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CMediaPosition::Invoke(DISPID Member, REFIID Id, LCID Locale, WORD Flags,
                                                   DISPPARAMS *Parameters, VARIANT *Result, EXCEPINFO *Exception,
                                                   UINT *ArgumentError)
{
    if (!IsEqualIID(Id, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo *info = nullptr;
    HRESULT hr = GetTypeInfo(0, Locale, &info);
    if (FAILED(hr)) return hr;
    hr = info->Invoke(static_cast<D_IMediaPosition *>(this), Member, Flags, Parameters, Result, Exception,
                      ArgumentError);
    info->Release();
    return hr;
}

// --- pass-through --------------------------------------------------------------------------

D_CPosPassThru::D_CPosPassThru(const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result, IPin *Pin)
    : D_CMediaPosition(ObjectName, Outer), m_pPin(Pin)
{
    if (Pin == nullptr && Result != nullptr) *Result = E_POINTER;
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::NonDelegatingQueryInterface(REFIID Id, void **Object)
{
    if (Object == nullptr) return E_POINTER;
    *Object = nullptr;
    if (IsEqualIID(Id, IID_IMediaSeeking)) return D_GetInterface(static_cast<D_IMediaSeeking *>(this), Object);
    if (IsEqualIID(Id, IID_IMediaPosition)) return D_GetInterface(static_cast<D_IMediaPosition *>(this), Object);
    return D_CUnknown::NonDelegatingQueryInterface(Id, Object);
}

template <class Interface>
static HRESULT GetPeer(IPin *Pin, REFIID Id, Interface **Peer)
{
    *Peer = nullptr;
    IPin *connected = nullptr;
    if (Pin == nullptr || FAILED(Pin->ConnectedTo(&connected))) return E_NOTIMPL;
    HRESULT hr = connected->QueryInterface(Id, reinterpret_cast<void **>(Peer));
    connected->Release();
    if (FAILED(hr)) {
        *Peer = nullptr;
        return E_NOTIMPL;
    }
    return S_OK;
}

HRESULT D_CPosPassThru::GetPeerSeeking(IMediaSeeking **Seeking) { return GetPeer(m_pPin, IID_IMediaSeeking, Seeking); }

HRESULT D_CPosPassThru::GetPeerPosition(IMediaPosition **Position)
{
    return GetPeer(m_pPin, IID_IMediaPosition, Position);
}

// One forwarded call: the peer's interface, the call, the release.
#define D_FORWARD(GetPeerCall, Type, Call) \
    Type *peer = nullptr;                  \
    HRESULT hr = GetPeerCall(&peer);       \
    if (FAILED(hr)) return hr;             \
    hr = peer->Call;                       \
    peer->Release();                       \
    return hr;

#define D_SEEKING(Call) D_FORWARD(GetPeerSeeking, IMediaSeeking, Call)
#define D_POSITION(Call) D_FORWARD(GetPeerPosition, IMediaPosition, Call)

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetCapabilities(DWORD *Capabilities){D_SEEKING(
    GetCapabilities(Capabilities))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::CheckCapabilities(DWORD *Capabilities){
    D_SEEKING(CheckCapabilities(
        Capabilities))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::IsFormatSupported(const GUID *Format){
    D_SEEKING(IsFormatSupported(Format))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::QueryPreferredFormat(GUID *Format){
    D_SEEKING(QueryPreferredFormat(Format))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetTimeFormat(GUID *Format){
    D_SEEKING(GetTimeFormat(Format))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::IsUsingTimeFormat(const GUID *Format){
    D_SEEKING(IsUsingTimeFormat(Format))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::SetTimeFormat(const GUID *Format){
    D_SEEKING(SetTimeFormat(Format))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetDuration(LONGLONG *Duration){
    D_SEEKING(GetDuration(Duration))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetStopPosition(LONGLONG *Stop){
    D_SEEKING(GetStopPosition(Stop))} HRESULT STDMETHODCALLTYPE
    D_CPosPassThru::ConvertTimeFormat(LONGLONG *Target, const GUID *TargetFormat, LONGLONG Source,
                                      const GUID *SourceFormat){
        D_SEEKING(ConvertTimeFormat(Target, TargetFormat, Source, SourceFormat))} HRESULT STDMETHODCALLTYPE
    D_CPosPassThru::SetPositions(LONGLONG *Current, DWORD CurrentFlags, LONGLONG *Stop, DWORD StopFlags){
        D_SEEKING(SetPositions(Current, CurrentFlags, Stop, StopFlags))} HRESULT STDMETHODCALLTYPE
    D_CPosPassThru::GetPositions(LONGLONG *Current, LONGLONG *Stop){D_SEEKING(GetPositions(Current, Stop))} HRESULT
    STDMETHODCALLTYPE D_CPosPassThru::GetAvailable(LONGLONG *Earliest, LONGLONG *Latest){
        D_SEEKING(GetAvailable(Earliest, Latest))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetRate(double *Rate){
        D_SEEKING(GetRate(Rate))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetPreroll(LONGLONG *Preroll){
        D_SEEKING(GetPreroll(Preroll))}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetCurrentPosition(LONGLONG *Current)
{
    if (SUCCEEDED(GetMediaTime(Current, nullptr))) return S_OK;
    D_SEEKING(GetCurrentPosition(Current))
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::SetRate(double Rate)
{
    if (Rate == 0.0) return E_INVALIDARG;
    D_SEEKING(SetRate(Rate))
}

HRESULT D_CPosPassThru::GetMediaTime(LONGLONG *, LONGLONG *) { return E_FAIL; }

HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_Duration(REFTIME *Length){
    D_POSITION(get_Duration(Length))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::put_CurrentPosition(REFTIME Time){
    D_POSITION(put_CurrentPosition(Time))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_CurrentPosition(REFTIME *Time){
    D_POSITION(get_CurrentPosition(Time))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_StopTime(REFTIME *Time){
    D_POSITION(get_StopTime(Time))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::put_StopTime(REFTIME Time){
    D_POSITION(put_StopTime(Time))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_PrerollTime(REFTIME *Time){
    D_POSITION(get_PrerollTime(Time))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::put_PrerollTime(REFTIME Time){
    D_POSITION(put_PrerollTime(Time))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_Rate(double *Rate){
    D_POSITION(get_Rate(Rate))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::CanSeekForward(LONG *CanSeek){
    D_POSITION(CanSeekForward(CanSeek))} HRESULT STDMETHODCALLTYPE D_CPosPassThru::CanSeekBackward(LONG *CanSeek){
    D_POSITION(CanSeekBackward(CanSeek))}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::put_Rate(double Rate)
{
    if (Rate == 0.0) return E_INVALIDARG;
    D_POSITION(put_Rate(Rate))
}

// --- renderer pass-through -----------------------------------------------------------------

D_CRendererPosPassThru::D_CRendererPosPassThru(const wchar_t *ObjectName, IUnknown *Outer, HRESULT *Result, IPin *Pin)
    : D_CPosPassThru(ObjectName, Outer, Result, Pin), m_StartMedia(0), m_EndMedia(0), m_bReset(TRUE)
{
}

HRESULT D_CRendererPosPassThru::GetMediaTime(LONGLONG *Start, LONGLONG *Stop)
{
    D_CAutoLock lock(&m_PositionLock);
    if (m_bReset) return E_FAIL;
    HRESULT hr = ConvertTimeFormat(Start, nullptr, m_StartMedia, &TIME_FORMAT_MEDIA_TIME);
    if (Stop != nullptr && SUCCEEDED(hr)) hr = ConvertTimeFormat(Stop, nullptr, m_EndMedia, &TIME_FORMAT_MEDIA_TIME);
    return hr;
}

HRESULT D_CRendererPosPassThru::RegisterMediaTime(LONGLONG Start, LONGLONG End)
{
    D_CAutoLock lock(&m_PositionLock);
    m_StartMedia = Start;
    m_EndMedia = End;
    m_bReset = FALSE;
    return S_OK;
}

HRESULT D_CRendererPosPassThru::ResetMediaTime()
{
    D_CAutoLock lock(&m_PositionLock);
    m_StartMedia = 0;
    m_EndMedia = 0;
    m_bReset = TRUE;
    return S_OK;
}

HRESULT D_CRendererPosPassThru::EOS()
{
    {
        D_CAutoLock lock(&m_PositionLock);
        if (m_bReset) return E_FAIL;
    }
    LONGLONG stop = 0;
    HRESULT hr = GetStopPosition(&stop);
    if (FAILED(hr)) return hr;
    D_CAutoLock lock(&m_PositionLock);
    m_StartMedia = stop;
    m_EndMedia = stop;
    return S_OK;
}
