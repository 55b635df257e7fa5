// The WAV-dest filter and the factory-template table that lists it.
#include "zovuz/movie/dshow/windows/dshow_wav_dest.h"

#include <new>
#include <string.h>

D_CWavDestOutputPin::D_CWavDestOutputPin(D_CTransformFilter *Filter, HRESULT *Result)
    : D_CTransformOutputPin(L"WavDest output pin", Filter, Result, L"Out")
{
}

HRESULT STDMETHODCALLTYPE D_CWavDestOutputPin::EnumMediaTypes(IEnumMediaTypes **Enum)
{
    return D_CBasePin::EnumMediaTypes(Enum);
}

HRESULT D_CWavDestOutputPin::CheckMediaType(const D_CMediaType *Type)
{
    if (Type == nullptr) return E_POINTER;
    return GuidEqual(Type->majortype, MEDIATYPE_Stream) && GuidEqual(Type->subtype, MEDIASUBTYPE_WAVE) ? S_OK : S_FALSE;
}

D_CWavDestFilter::D_CWavDestFilter(IUnknown *Outer, HRESULT *Result)
    : D_CTransformFilter(L"WavDest filter", Outer, D_CLSID_WavDest), m_cbWavData(0), m_cbHeader(0)
{
    if (Result != nullptr && FAILED(*Result)) return;
    HRESULT hr = S_OK;
    D_CWavDestOutputPin *output = new (std::nothrow) D_CWavDestOutputPin(this, &hr);
    if (output == nullptr)
        hr = E_OUTOFMEMORY;
    else if (FAILED(hr))
        D_SafeDelete(output);
    m_pOutput = output;
    if (SUCCEEDED(hr)) {
        D_CTransformInputPin *input = new (std::nothrow) D_CTransformInputPin(L"Transform input pin", this, &hr, L"In");
        if (input == nullptr)
            hr = E_OUTOFMEMORY;
        else if (FAILED(hr))
            D_SafeDelete(input);
        m_pInput = input;
    }
    if (Result != nullptr) *Result = hr;
}

HRESULT D_CWavDestFilter::CheckInputType(const D_CMediaType *Type)
{
    return GuidEqual(Type->formattype, FORMAT_WaveFormatEx) ? S_OK : S_FALSE;
}

HRESULT D_CWavDestFilter::CheckTransform(const D_CMediaType *In, const D_CMediaType *)
{
    HRESULT hr = CheckInputType(In);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT D_CWavDestFilter::GetMediaType(int Position, D_CMediaType *Type)
{
    if (Position != 0) return VFW_S_NO_MORE_ITEMS;
    if (Type == nullptr) return E_POINTER;
    Type->majortype = MEDIATYPE_Stream;
    Type->subtype = MEDIASUBTYPE_WAVE;
    return S_OK;
}

HRESULT D_CWavDestFilter::DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties)
{
    if (m_pInput == nullptr || !m_pInput->IsConnected()) return E_UNEXPECTED;
    if (Allocator == nullptr || Properties == nullptr) return E_POINTER;
    IMemAllocator *input = nullptr;
    HRESULT hr = m_pInput->GetAllocator(&input);
    if (FAILED(hr)) return hr;
    ALLOCATOR_PROPERTIES inputProps;
    hr = input->GetProperties(&inputProps);
    input->Release();
    if (FAILED(hr)) return hr;
    Properties->cBuffers = 1;
    Properties->cbAlign = 1;
    Properties->cbBuffer = inputProps.cbBuffer;
    ALLOCATOR_PROPERTIES actual;
    hr = Allocator->SetProperties(Properties, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cBuffers < Properties->cBuffers || actual.cbBuffer < Properties->cbBuffer) return E_FAIL;
    return S_OK;
}

HRESULT D_CWavDestFilter::StartStreaming()
{
    m_cbWavData = 0;
    m_cbHeader = 28 + m_pInput->CurrentMediaType().cbFormat;
    return S_OK;
}

namespace {

HRESULT CopySample(IMediaSample *Source, IMediaSample *Dest)
{
    if (Source == nullptr || Dest == nullptr) return E_POINTER;
    BYTE *from = nullptr, *to = nullptr;
    Source->GetPointer(&from);
    Dest->GetPointer(&to);
    LONG length = Source->GetActualDataLength();
    // The destination buffers are as large as the input's; a longer sample is refused, not overrun.
    if (length < 0 || length > Dest->GetSize()) return E_FAIL;
    if (length > 0) memcpy(to, from, (size_t)length);
    REFERENCE_TIME start, stop;
    if (Source->GetTime(&start, &stop) == S_OK) Dest->SetTime(&start, &stop);
    LONGLONG mediaStart, mediaStop;
    if (Source->GetMediaTime(&mediaStart, &mediaStop) == S_OK) Dest->SetMediaTime(&mediaStart, &mediaStop);
    AM_MEDIA_TYPE *type = nullptr;
    Source->GetMediaType(&type);
    Dest->SetMediaType(type);
    D_FreeMediaType(type);
    return Dest->SetActualDataLength(length);
}

void PutTag(BYTE *&At, const char *Tag)
{
    memcpy(At, Tag, 4);
    At += 4;
}

void PutLe32(BYTE *&At, ULONG Value)
{
    for (int i = 0; i < 4; i++) *At++ = (BYTE)(Value >> (8 * i));
}

}  // namespace

HRESULT D_CWavDestFilter::Transform(IMediaSample *In, IMediaSample *Out)
{
    HRESULT hr = CopySample(In, Out);
    if (FAILED(hr)) return hr;
    ULONG length = (ULONG)Out->GetActualDataLength();
    ULONGLONG end = (ULONGLONG)m_cbHeader + m_cbWavData + length;
    if (end > 0xFFFFFFFFull) return E_FAIL;
    REFERENCE_TIME start = (REFERENCE_TIME)m_cbHeader + m_cbWavData;
    REFERENCE_TIME stop = start + length;
    Out->SetTime(&start, &stop);
    m_cbWavData += length;
    return S_OK;
}

HRESULT D_CWavDestFilter::Receive(IMediaSample *Sample)
{
    ULONG before = m_cbWavData;
    HRESULT hr = D_CTransformFilter::Receive(Sample);
    if (hr != S_OK) m_cbWavData = before;
    return hr;
}

HRESULT D_CWavDestFilter::StopStreaming()
{
    if (m_pOutput == nullptr || !m_pOutput->IsConnected()) return E_FAIL;
    IStream *stream = nullptr;
    HRESULT hr = m_pOutput->GetConnected()->QueryInterface(IID_IStream, reinterpret_cast<void **>(&stream));
    if (FAILED(hr)) return hr;
    const D_CMediaType &in = m_pInput->CurrentMediaType();
    BYTE *header = new (std::nothrow) BYTE[m_cbHeader];
    if (header == nullptr || m_cbHeader != 28 + in.cbFormat) {
        delete[] header;
        stream->Release();
        return E_OUTOFMEMORY;
    }
    BYTE *at = header;
    PutTag(at, "RIFF");
    PutLe32(at, m_cbWavData + m_cbHeader - 8);
    PutTag(at, "WAVE");
    PutTag(at, "fmt ");
    PutLe32(at, in.cbFormat);
    if (in.cbFormat > 0) memcpy(at, in.pbFormat, in.cbFormat);
    at += in.cbFormat;
    PutTag(at, "data");
    PutLe32(at, m_cbWavData);
    LARGE_INTEGER zero = {};
    hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(hr)) hr = stream->Write(header, m_cbHeader, nullptr);
    delete[] header;
    stream->Release();
    return hr;
}

IUnknown *D_CWavDestFilter_CreateInstance(IUnknown *Outer, HRESULT *Result)
{
    HRESULT hr = S_OK;
    D_CWavDestFilter *filter = new (std::nothrow) D_CWavDestFilter(Outer, &hr);
    if (filter == nullptr) hr = E_OUTOFMEMORY;
    if (Result != nullptr) *Result = hr;
    return filter != nullptr ? reinterpret_cast<IUnknown *>(static_cast<D_INonDelegatingUnknown *>(filter)) : nullptr;
}

namespace {
const FilterSetupData g_WavDestSetup = {&D_CLSID_WavDest, L"WAV Dest", 0x200000, 0, nullptr};
}

const FactoryTemplate g_Templates[] = {
    {L"WAV Dest", &D_CLSID_WavDest, D_CWavDestFilter_CreateInstance, nullptr, &g_WavDestSetup},
};
const int g_cTemplates = sizeof g_Templates / sizeof g_Templates[0];
