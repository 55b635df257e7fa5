// The WAV-dest filter: turns audio samples with a WAVEFORMATEX format into the bytes of a RIFF
// WAVE file for a downstream writer that offers an IStream on its input pin. The samples are
// stamped with their byte offsets in the file; the header goes in last, when streaming stops.
// It is listed in the library's factory-template table.
#pragma once

#include "zovuz/movie/dshow/windows/dshow_transform.h"

class D_CWavDestOutputPin : public D_CTransformOutputPin
{
public:
    D_CWavDestOutputPin(D_CTransformFilter *Filter, HRESULT *Result);
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes **Enum) override;
    HRESULT CheckMediaType(const D_CMediaType *Type) override;
};

class D_CWavDestFilter : public D_CTransformFilter
{
public:
    D_CWavDestFilter(IUnknown *Outer, HRESULT *Result);

    HRESULT CheckInputType(const D_CMediaType *Type) override;
    HRESULT CheckTransform(const D_CMediaType *In, const D_CMediaType *Out) override;
    HRESULT GetMediaType(int Position, D_CMediaType *Type) override;
    HRESULT DecideBufferSize(IMemAllocator *Allocator, ALLOCATOR_PROPERTIES *Properties) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    HRESULT Transform(IMediaSample *In, IMediaSample *Out) override;
    HRESULT Receive(IMediaSample *Sample) override;
    const FilterSetupData *GetSetupData() override { return nullptr; }

    ULONG DataBytes() const { return m_cbWavData; }
    ULONG HeaderBytes() const { return m_cbHeader; }

private:
    ULONG m_cbWavData;  // audio bytes written so far
    ULONG m_cbHeader;   // 12 + 8 + format size + 8
};

// A new WAV-dest filter, handed out as its IUnknown; null with E_OUTOFMEMORY.
IUnknown *D_CWavDestFilter_CreateInstance(IUnknown *Outer, HRESULT *Result);

// The library's factory-template table and its count.
extern const FactoryTemplate g_Templates[];
extern const int g_cTemplates;
