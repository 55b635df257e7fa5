// MP3 through a DirectShow graph: the file image is served by the memory reader to the system's
// MPEG splitter and decoder, the sample grabber collects the decoded PCM, and a null renderer
// ends the graph. The graph runs without a reference clock, so the whole file decodes at set-up
// as fast as the decoder goes; the PCM image is then served block by block.
#include "zovuz/movie/sound_convert/windows/sound_convert_dshow.h"

#include <stdint.h>
#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/movie_internal.h"
#include "zovuz/movie/dshow/windows/dshow_mem_reader.h"
#include "zovuz/movie/dshow/windows/dshow_sample_grabber.h"

namespace {

// The PCM image of one converter. The streaming thread appends to it until the graph completes.
struct DShowMp3State
{
    unsigned char *Image;  // null once lost to a failed growth
    uint32_t Capacity;
    uint32_t Used;
    uint32_t ReadOffset;
    uint32_t BlockAlign;
    bool Lost;  // a growth failed
};

// Everything the set-up makes; released in one place, whatever step failed.
struct GraphParts
{
    unsigned char *File = nullptr;
    D_CMemStream *Stream = nullptr;
    D_CMemReader *Reader = nullptr;
    IBaseFilter *ReaderFilter = nullptr;
    IBaseFilter *NullRenderer = nullptr;
    IGraphBuilder *Graph = nullptr;
    D_CSampleGrabber *Grabber = nullptr;
    D_IGrabberSample *GrabberSample = nullptr;
    IMediaFilter *MediaFilter = nullptr;
    IMediaControl *Control = nullptr;
    IMediaEvent *Event = nullptr;

    ~GraphParts()
    {
        if (Control != nullptr) Control->Stop();
        if (GrabberSample != nullptr) {
            GrabberSample->SetCallback(nullptr, nullptr);
            GrabberSample->Release();
        }
        if (Event != nullptr) Event->Release();
        if (Control != nullptr) Control->Release();
        if (MediaFilter != nullptr) MediaFilter->Release();
        if (NullRenderer != nullptr) NullRenderer->Release();
        if (ReaderFilter != nullptr) ReaderFilter->Release();
        if (Graph != nullptr) Graph->Release();
        // D_ objects do not free themselves: they go once the graph has let them go.
        D_SafeDelete(Grabber);
        D_SafeDelete(Reader);
        D_SafeDelete(Stream);
        DXFREE(File);
    }
};

int Fail(const wchar_t *Message)
{
    AddLogStringWide(Message);
    return -1;
}

// A conversion given up because a platform call failed: the message, then the call and its code.
int Fail(const wchar_t *Message, const wchar_t *Call, HRESULT Result)
{
    AddLogStringWide(Message);
    AddLogStringWide(L"\n");
    return LogPlatformFailure(Call, (unsigned long)Result);
}

void FreeState(DShowMp3State *State)
{
    if (State == nullptr) return;
    DXFREE(State->Image);
    DXFREE(State);
}

// Replaces the graph's default renderer by the null renderer: the first filter with a connected
// input pin and no output pin is disconnected and its upstream pin connected to the null one.
HRESULT ReplaceRenderer(IGraphBuilder *Graph, IBaseFilter *NullRenderer)
{
    ComRef<IEnumFilters> filters;
    HRESULT hr = Graph->EnumFilters(filters.Put());
    if (FAILED(hr)) return hr;
    ComRef<IBaseFilter> filter;
    while (filters->Next(1, filter.Put(), nullptr) == S_OK) {
        ComRef<IPin> input(GetFilterPinByDirection(filter.Get(), 0));
        ComRef<IPin> output(GetFilterPinByDirection(filter.Get(), 1));
        ComRef<IPin> upstream;
        if (filter.Get() == NullRenderer || !input || output || FAILED(input->ConnectedTo(upstream.Put()))) continue;
        Graph->Disconnect(upstream.Get());
        Graph->Disconnect(input.Get());
        ComRef<IPin> nullInput(GetFilterPinByDirection(NullRenderer, 0));
        return nullInput ? Graph->Connect(upstream.Get(), nullInput.Get()) : E_FAIL;
    }
    return E_FAIL;
}

int SoundConvert_DecodeMP3ToPCM(const StreamFunctionTable *Stream, void *StreamData, void **StateOut, void *FormatOut,
                                unsigned int *BlockSize)
{
    GraphParts g;
    DShowMp3State *state = nullptr;

    // The whole file into memory.
    Stream->Seek(StreamData, 0, FILE_SEEK_END);
    int64_t size = Stream->Tell(StreamData);
    Stream->Seek(StreamData, 0, FILE_SEEK_SET);
    if (size <= 0) return -1;
    // The PCM image starts at ten times the file size, which must fit its 32-bit capacity: a file
    // too large for that is refused before it is read.
    if (size > 0xFFFFFFFFLL / 10) return Fail(L"PCMデータを格納するメモリ領域の確保に失敗しました");
    g.File = static_cast<unsigned char *>(DXALLOC((size_t)size));
    if (g.File == nullptr) return -1;
    if (Stream->Read(g.File, 1, (size_t)size, StreamData) != (size_t)size) return -1;

    g.Stream = D_CMemStream_Create(g.File, size, 0, 0xFFFFFFFF);
    if (g.Stream == nullptr) return Fail(L"MP3変換用 D_CMemStream の作成に失敗しました");
    D_CMediaType streamType;
    streamType.majortype = MEDIATYPE_Stream;
    streamType.subtype = MEDIASUBTYPE_MPEG1Audio;
    HRESULT hr = S_OK;
    g.Reader = D_CMemReader_CreateInstance(g.Stream, &streamType, &hr);
    if (g.Reader == nullptr || FAILED(hr)) return Fail(L"MP3変換用 D_CMemReader の作成に失敗しました");
    g.ReaderFilter = g.Reader->BaseFilterInterface();
    g.ReaderFilter->AddRef();

    if (FAILED(hr = CreateComInstance(&CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, &IID_IBaseFilter,
                                      reinterpret_cast<void **>(&g.NullRenderer))))
        return Fail(L"MP3変換用 NullRender の作成に失敗しました", L"CoCreateInstance(NullRenderer)", hr);
    if (FAILED(hr = CreateComInstance(&CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                      &IID_IGraphBuilder, reinterpret_cast<void **>(&g.Graph))))
        return Fail(L"MP3変換用 IGraphBuilder の作成に失敗しました", L"CoCreateInstance(FilterGraph)", hr);

    g.Grabber = D_CSampleGrabber_CreateInstance(nullptr, &hr);
    if (g.Grabber == nullptr || FAILED(hr)) return Fail(L"MP3変換用 D_CSampleGrabber の作成に失敗しました");
    g.GrabberSample = g.Grabber->GrabberInterface();
    g.GrabberSample->AddRef();
    D_CMediaType accept;
    accept.majortype = MEDIATYPE_Audio;
    accept.subtype = MEDIASUBTYPE_PCM;
    if (g.GrabberSample->SetAcceptedMediaType(&accept) != S_OK)
        return Fail(L"サンプルグラバフィルタのメディアタイプの設定に失敗しました");

    if (FAILED(hr = g.Graph->AddFilter(g.Grabber->BaseFilterInterface(), L"SampleGrabber")))
        return Fail(L"サンプルグラバフィルタのグラフへの追加に失敗しました", L"IGraphBuilder::AddFilter", hr);
    if (FAILED(hr = g.Graph->AddFilter(g.ReaderFilter, L"MemFile")))
        return Fail(L"メモリファイルフィルタのグラフへの追加に失敗しました", L"IGraphBuilder::AddFilter", hr);
    if (FAILED(hr = g.Graph->Render(g.Reader->OutputPin()->PinInterface())))
        return Fail(L"グラフの構築に失敗しました", L"IGraphBuilder::Render", hr);
    if (FAILED(hr = g.Graph->AddFilter(g.NullRenderer, L"File Renderer")))
        return Fail(L"ヌルレンダラーフィルタのグラフへの追加に失敗しました", L"IGraphBuilder::AddFilter", hr);
    if (FAILED(hr = ReplaceRenderer(g.Graph, g.NullRenderer)))
        return Fail(L"既存レンダラーをNullレンダラーと交換する処理が失敗しました", L"IGraphBuilder::Connect", hr);

    D_CMediaType connected;
    if (g.GrabberSample->GetConnectedMediaType(&connected) != S_OK)
        return Fail(L"音声が含まれていないか、オーディオフォーマットの取得に失敗しました。");
    if (GuidNotEqual(connected.formattype, FORMAT_WaveFormatEx) || connected.cbFormat < sizeof(WAVEFORMAT) ||
        connected.pbFormat == nullptr)
        return Fail(L"サポート外のストリームフォーマットです。");
    WAVEFORMATEX wave = {};
    memcpy(&wave, connected.pbFormat, connected.cbFormat < sizeof wave ? connected.cbFormat : sizeof wave);
    if (wave.wFormatTag != WAVE_FORMAT_PCM || wave.nChannels == 0 || wave.nBlockAlign == 0)
        return Fail(L"サポート外のオーディオフォーマットです。");

    WAVEFORMATEX out = {};
    out.wFormatTag = wave.wFormatTag;
    out.nChannels = wave.nChannels;
    out.nSamplesPerSec = wave.nSamplesPerSec;
    out.nBlockAlign = wave.nBlockAlign;
    out.nAvgBytesPerSec = wave.nBlockAlign * wave.nSamplesPerSec;
    out.wBitsPerSample = (WORD)(wave.nBlockAlign * 8 / wave.nChannels);
    out.cbSize = 0;

    state = static_cast<DShowMp3State *>(DXCALLOC(sizeof(DShowMp3State)));
    if (state == nullptr) return Fail(L"PCMデータを格納するメモリ領域の確保に失敗しました");
    state->BlockAlign = out.nBlockAlign;
    if (g.GrabberSample->SetCallback(MP3SampleGrabberCallback, state) != S_OK) {
        FreeState(state);
        return Fail(L"コールバック関数を設定できません");
    }
    state->Capacity = (uint32_t)size * 10;
    state->Image = static_cast<unsigned char *>(DXALLOC(state->Capacity));
    if (state->Image == nullptr) {
        g.GrabberSample->SetCallback(nullptr, nullptr);
        FreeState(state);
        return Fail(L"PCMデータを格納するメモリ領域の確保に失敗しました");
    }

    const wchar_t *failure = nullptr;
    const wchar_t *failedCall = nullptr;  // the platform call behind the failure, when one is
    auto failed = [&](HRESULT Result, const wchar_t *Message, const wchar_t *Call) {
        if (SUCCEEDED(Result)) return false;
        hr = Result;
        failure = Message;
        failedCall = Call;
        return true;
    };
    if (!failed(g.Graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void **>(&g.MediaFilter)),
                L"IMediaFilter の取得に失敗しました", L"IGraphBuilder::QueryInterface(IMediaFilter)")) {
        g.MediaFilter->SetSyncSource(nullptr);
        if (!failed(g.Graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void **>(&g.Control)),
                    L"IMediaControl の取得に失敗しました", L"IGraphBuilder::QueryInterface(IMediaControl)") &&
            !failed(g.Graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void **>(&g.Event)),
                    L"IMediaEvent の取得に失敗しました", L"IGraphBuilder::QueryInterface(IMediaEvent)"))
            failed(g.Control->Run(), L"MP3変換の途中でエラーが発生しました", L"IMediaControl::Run");
    }
    while (failure == nullptr) {
        if (ProcessMessageNoLock() != 0) {
            failure = L"MP3変換の途中でソフトが終了しました";
            break;
        }
        long code = 0;
        if (g.Event->WaitForCompletion(100, &code) != S_OK) continue;
        if (code == EC_ERRORABORT)
            failure = L"MP3変換の途中でエラーが発生しました";
        else if (code == EC_COMPLETE && state->Lost)
            failure = L"PCMデータを格納するメモリ領域の再確保に失敗しました";
        else if (code == EC_COMPLETE)
            break;
        else
            failure = L"MP3変換の途中でエラーが発生しました";
    }
    // The streaming thread stops writing once the graph has stopped and the callback is gone.
    g.Control != nullptr ? (void)g.Control->Stop() : (void)0;
    g.GrabberSample->SetCallback(nullptr, nullptr);
    if (failure != nullptr) {
        FreeState(state);
        return failedCall != nullptr ? Fail(failure, failedCall, hr) : Fail(failure);
    }
    memcpy(FormatOut, &out, 18);
    *BlockSize = out.nAvgBytesPerSec;
    *StateOut = state;
    return 0;
}

int SoundConvert_PCMImage_Decode(void *State, void *Dest, unsigned int BlockSize, long long)
{
    DShowMp3State *s = static_cast<DShowMp3State *>(State);
    if (s->ReadOffset >= s->Used) return -1;
    uint32_t n = s->Used - s->ReadOffset;
    if (n > BlockSize) n = BlockSize;
    memcpy(Dest, s->Image + s->ReadOffset, n);
    s->ReadOffset += n;
    return (int)n;
}

int SoundConvert_PCMImage_Seek(void *State, long long Sample)
{
    DShowMp3State *s = static_cast<DShowMp3State *>(State);
    long long at = Sample * s->BlockAlign;
    s->ReadOffset = at < 0 ? 0 : at > s->Used ? s->Used : (uint32_t)at;
    return 0;
}

long long SoundConvert_PCMImage_GetDestSize(void *State) { return static_cast<DShowMp3State *>(State)->Used; }

void SoundConvert_PCMImage_Release(void *State) { FreeState(static_cast<DShowMp3State *>(State)); }

}  // namespace

const SoundConvertPlatformMethod SoundConvertDShowMp3Method = {
    SoundConvert_DecodeMP3ToPCM, SoundConvert_PCMImage_Decode, SoundConvert_PCMImage_Seek,
    SoundConvert_PCMImage_GetDestSize, SoundConvert_PCMImage_Release};

HRESULT MP3SampleGrabberCallback(IMediaSample *Sample, REFERENCE_TIME *, REFERENCE_TIME *, BOOL, void *Context)
{
    DShowMp3State *s = static_cast<DShowMp3State *>(Context);
    if (s == nullptr || s->Image == nullptr) return S_OK;
    BYTE *data = nullptr;
    if (FAILED(Sample->GetPointer(&data))) return S_OK;
    LONG length = Sample->GetActualDataLength();
    if (length <= 0) return S_OK;
    uint64_t need = (uint64_t)s->Used + (uint64_t)length;
    if (need > s->Capacity) {
        uint64_t capacity = s->Capacity;
        while (capacity < need) capacity += 0x100000;
        unsigned char *grown =
            capacity <= 0xFFFFFFFFu ? static_cast<unsigned char *>(DXALLOC((size_t)capacity)) : nullptr;
        if (grown == nullptr) {
            DXFREE(s->Image);
            s->Image = nullptr;
            s->Lost = true;
            return S_OK;
        }
        memcpy(grown, s->Image, s->Used);
        DXFREE(s->Image);
        s->Image = grown;
        s->Capacity = (uint32_t)capacity;
    }
    memcpy(s->Image + s->Used, data, (size_t)length);
    s->Used += (uint32_t)length;
    return S_OK;
}

IPin *GetFilterPinByDirection(IBaseFilter *Filter, int Direction)
{
    ComRef<IEnumPins> pins;
    if (FAILED(Filter->EnumPins(pins.Put()))) return nullptr;
    ComRef<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && (int)direction == Direction) return pin.Detach();
    }
    return nullptr;
}

void SoundConvert_RegisterPlatformMethods(void)
{
    SoundConvert_SetPlatformMethods(&SoundConvertDShowMp3Method, &SoundConvertMFMethod);
}
