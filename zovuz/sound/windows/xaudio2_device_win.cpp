// The sound device on XAudio2: the engine (2.8, else 2.7 or 2.6) with its mastering voice and
// X3DAudio, the reverb presets, and the XAudio2 table of buffer operations. Every SOUNDBUFFER
// is a source voice that the library feeds from the buffer's wave block through a voice
// callback; a 3D buffer also sends to a reverb submix voice and is placed with X3DAudio.
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_buffer_internal.h"
#include "zovuz/sound/sound_3d_internal.h"
#include "zovuz/sound/sound_reverb_internal.h"
#include "zovuz/sound/sound_system_internal.h"
#include "zovuz/sound/sound_voice_internal.h"
#include "zovuz/sound/windows/sound_device_win.h"

#include "zovuz/core/zovuz_core.h"

#include <windows.h>
#include <mmreg.h>
#include <xaudio2.h>
#include <xaudio2fx.h>

#include <math.h>
#include <string.h>

#include <new>

// ---------------------------------------------------------------------------------------------
// Declarations the toolchain's headers lack: the voice callback's base, X3DAudio's records and
// entry points, and the entry points of XAudio2_8.dll.

// The voice callback interface as XAudio2 calls it (no IUnknown; seven slots in this order).
class D_IXAudio2VoiceCallback
{
public:
    virtual void STDMETHODCALLTYPE OnVoiceProcessingPassStart(UINT32 BytesRequired) = 0;
    virtual void STDMETHODCALLTYPE OnVoiceProcessingPassEnd() = 0;
    virtual void STDMETHODCALLTYPE OnStreamEnd() = 0;
    virtual void STDMETHODCALLTYPE OnBufferStart(void *BufferContext) = 0;
    virtual void STDMETHODCALLTYPE OnBufferEnd(void *BufferContext) = 0;
    virtual void STDMETHODCALLTYPE OnLoopEnd(void *BufferContext) = 0;
    virtual void STDMETHODCALLTYPE OnVoiceError(void *BufferContext, HRESULT Error) = 0;

protected:
    ~D_IXAudio2VoiceCallback() = default;
};

namespace ZoVuz {

// The callback of one XAudio2 SOUNDBUFFER: feeds its voice from the wave block.
class SOUNDBUFFER_CALLBACK : public D_IXAudio2VoiceCallback
{
public:
    explicit SOUNDBUFFER_CALLBACK(SOUNDBUFFER *Buffer) : Buffer(Buffer) {}
    virtual ~SOUNDBUFFER_CALLBACK() = default;

    void STDMETHODCALLTYPE OnVoiceProcessingPassStart(UINT32 BytesRequired) override;
    void STDMETHODCALLTYPE OnVoiceProcessingPassEnd() override {}
    void STDMETHODCALLTYPE OnStreamEnd() override {}
    void STDMETHODCALLTYPE OnBufferStart(void *) override {}
    void STDMETHODCALLTYPE OnBufferEnd(void *) override;
    void STDMETHODCALLTYPE OnLoopEnd(void *) override {}
    void STDMETHODCALLTYPE OnVoiceError(void *, HRESULT) override {}

    SOUNDBUFFER *Buffer;
};

}  // namespace ZoVuz

namespace {

// The 2.7 (and 2.6) classes and interface, which no import library of the toolchain holds.
const GUID XAudio27Class = {0x5a508685, 0xa254, 0x4fba, {0x9b, 0x82, 0x9a, 0x24, 0xb0, 0x03, 0x06, 0xaf}};
const GUID XAudio26Class = {0x3eda9b49, 0x2085, 0x498b, {0x9b, 0xb2, 0x39, 0xa6, 0x77, 0x84, 0x93, 0xde}};
const GUID XAudio27Interface = {0x8bcf1f58, 0x9fe7, 0x4583, {0x8a, 0xc6, 0xe2, 0xad, 0xc4, 0x65, 0xc8, 0xbb}};
const GUID AudioReverb27Class = {0x6a93130e, 0x1d53, 0x41d1, {0xa9, 0xcf, 0xe7, 0x58, 0x80, 0x0b, 0xb1, 0x79}};

typedef BYTE X3DAudioHandle[20];

struct X3DAudioDistanceCurve
{
    const Sound3DCurvePoint *Points;
    UINT32 PointCount;
};

struct X3DAudioListener
{
    float Front[3], Top[3], Position[3], Velocity[3];
    const Sound3DCone *Cone;
};

struct X3DAudioEmitter
{
    const Sound3DCone *Cone;
    float Front[3], Top[3], Position[3], Velocity[3];
    float InnerRadius;
    float InnerRadiusAngle;
    UINT32 ChannelCount;
    float ChannelRadius;
    const float *ChannelAzimuths;
    const X3DAudioDistanceCurve *VolumeCurve;
    const X3DAudioDistanceCurve *LowFrequencyCurve;
    const X3DAudioDistanceCurve *LowPassDirectCurve;
    const X3DAudioDistanceCurve *LowPassReverbCurve;
    const X3DAudioDistanceCurve *ReverbCurve;
    float CurveDistanceScaler;
    float DopplerScaler;
};
static_assert(sizeof(X3DAudioEmitter) == 100, "X3DAudio's emitter record");

struct X3DAudioDspSettings
{
    float *MatrixCoefficients;
    float *DelayTimes;
    UINT32 SrcChannelCount;
    UINT32 DstChannelCount;
    float LowPassDirectCoefficient;
    float LowPassReverbCoefficient;
    float ReverbLevel;
    float DopplerFactor;
    float EmitterToListenerAngle;
    float EmitterToListenerDistance;
    float EmitterVelocityComponent;
    float ListenerVelocityComponent;
};

// X3DAudioCalculate flags: matrix, low-pass direct, low-pass reverb, reverb and Doppler; and
// the low-frequency channel's share when the speakers have one.
constexpr UINT32 X3DAudioCalculateFlags = 0x1 | 0x4 | 0x8 | 0x10 | 0x20;
constexpr UINT32 X3DAudioRedirectToLowFrequency = 0x20000;
static_assert(X3DAudioCalculateFlags == 0x3D, "the calculation flags");
constexpr float SpeedOfSound = 343.5f;

typedef HRESULT(WINAPI *XAudio2CreateFunction)(IXAudio2 **, UINT32, UINT32);
typedef HRESULT(WINAPI *CreateAudioEffectFunction)(IUnknown **);
typedef void(__cdecl *X3DAudioInitializeFunction)(UINT32, float, X3DAudioHandle);
typedef void(__cdecl *X3DAudioCalculateFunction)(const X3DAudioHandle, const X3DAudioListener *,
                                                 const X3DAudioEmitter *, UINT32, X3DAudioDspSettings *);

// 2.8 runs the engine on the first processor; 2.7 on any.
constexpr UINT32 XAudio28DefaultProcessor = 0x00000001;
constexpr UINT32 XAudio27DefaultProcessor = 0xFFFFFFFF;
constexpr float MaxFrequencyRatio = 2.0f;
constexpr UINT32 DefaultOutputRate = 44100;

struct XAudio2DeviceData
{
    HMODULE XAudio2_8DLL;  // XAudio2_8.dll, when 2.8 runs
    XAudio2CreateFunction XAudio2CreateFunc;
    CreateAudioEffectFunction CreateAudioVolumeMeterFunc;
    CreateAudioEffectFunction CreateAudioReverbFunc;
    HMODULE X3DAudio1_7DLL;                             // X3DAudio1_7.dll, when 2.7 runs
    X3DAudioInitializeFunction X3DAudioInitializeFunc;  // from whichever module is in use
    X3DAudioCalculateFunction X3DAudioCalculateFunc;

    IXAudio2 *XAudio2_8;                      // the engine, 2.8
    IXAudio27 *XAudio2_7;                     // the engine, 2.7 or 2.6
    IXAudio2MasteringVoice *MasteringVoice8;  // 2.8's mastering voice
    IXAudio2MasteringVoice *MasteringVoice7;  // 2.7's mastering voice
    UINT32 OutputRate;                        // the mastering voice's rate
    DWORD ChannelMask;                        // the output's speakers
    int ChannelCount;                         // the output's channels
    X3DAudioHandle X3DInstance;               // X3DAudio's state for those speakers

    SoundReverbParam ReverbPresets[SOUND_REVERB_PRESET_NUM];  // in the running version's layout
    UINT32 ReverbParamSize;                                   // 56 for 2.8, 52 for 2.7
};
XAudio2DeviceData XAudio2Device;

IXAudio2MasteringVoice *MasteringVoice()
{
    return XAudio2Device.MasteringVoice8 != nullptr ? XAudio2Device.MasteringVoice8 : XAudio2Device.MasteringVoice7;
}

IXAudio2SourceVoice *SourceVoice(SOUNDBUFFER *Buffer)
{
    return static_cast<IXAudio2SourceVoice *>(Buffer->DeviceBuffer);
}

IXAudio2SubmixVoice *EffectVoice(SOUNDBUFFER *Buffer)
{
    return static_cast<IXAudio2SubmixVoice *>(Buffer->EffectVoice);
}

// A mono buffer that is not 3D plays as stereo from its shadow copy.
bool PlaysFromShadow(const SOUNDBUFFER *Buffer) { return !Buffer->Is3D && Buffer->Format.nChannels == 1; }

uint32_t VoiceBlockAlign(const SOUNDBUFFER *Buffer)
{
    return Buffer->Format.nBlockAlign * (PlaysFromShadow(Buffer) ? 2 : 1);
}

template <typename Entry>
Entry ProcOf(HMODULE Module, const char *Name)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void *>(GetProcAddress(Module, Name)));
}

// Releases whatever the start made, so that the device choice can go on with DirectSound.
void ReleaseEngine()
{
    XAudio2DeviceData &x = XAudio2Device;
    if (x.MasteringVoice7 != nullptr) x.MasteringVoice7->DestroyVoice();
    x.MasteringVoice7 = nullptr;
    if (x.MasteringVoice8 != nullptr) x.MasteringVoice8->DestroyVoice();
    x.MasteringVoice8 = nullptr;
    ReleaseAndClear(x.XAudio2_7);
    ReleaseAndClear(x.XAudio2_8);
    if (x.XAudio2_8DLL != nullptr) FreeLibrary(x.XAudio2_8DLL);
    if (x.X3DAudio1_7DLL != nullptr) FreeLibrary(x.X3DAudio1_7DLL);
    x.XAudio2_8DLL = nullptr;
    x.X3DAudio1_7DLL = nullptr;
    x.XAudio2CreateFunc = nullptr;
    x.CreateAudioVolumeMeterFunc = nullptr;
    x.CreateAudioReverbFunc = nullptr;
    x.X3DAudioInitializeFunc = nullptr;
    x.X3DAudioCalculateFunc = nullptr;
}

int FailInitialize(const wchar_t *Call, HRESULT Result)
{
    AddLogStringWide(L"初期化に失敗しました\n");
    AddLogFormat(L"エラーコード %x", unsigned(Result));
    LogPlatformFailure(Call, Result);
    ReleaseEngine();
    return -1;
}

int FailMasteringVoice(HRESULT Result)
{
    AddLogStringWide(L"XAudio2MasteringVoiceの作成に失敗しました\n");
    LogPlatformFailure(L"IXAudio2::CreateMasteringVoice", Result);
    ReleaseEngine();
    return -1;
}

// 2.8 from XAudio2_8.dll.
int StartXAudio28(HMODULE Module)
{
    XAudio2DeviceData &x = XAudio2Device;
    x.XAudio2_8DLL = Module;
    AddLogStringWide(L"XAudio2_8.dll を使用します\n");
    x.XAudio2CreateFunc = ProcOf<XAudio2CreateFunction>(Module, "XAudio2Create");
    x.CreateAudioVolumeMeterFunc = ProcOf<CreateAudioEffectFunction>(Module, "CreateAudioVolumeMeter");
    x.CreateAudioReverbFunc = ProcOf<CreateAudioEffectFunction>(Module, "CreateAudioReverb");
    x.X3DAudioInitializeFunc = ProcOf<X3DAudioInitializeFunction>(Module, "X3DAudioInitialize");
    x.X3DAudioCalculateFunc = ProcOf<X3DAudioCalculateFunction>(Module, "X3DAudioCalculate");
    AddLogStringWide(L"XAudio2 インターフェースの取得と初期化を行います....  ");
    if (x.XAudio2CreateFunc == nullptr) return FailInitialize(L"GetProcAddress(XAudio2Create)", E_NOINTERFACE);
    HRESULT hr = x.XAudio2CreateFunc(&x.XAudio2_8, 0, XAudio28DefaultProcessor);
    if (FAILED(hr) || x.XAudio2_8 == nullptr) return FailInitialize(L"XAudio2Create", hr);
    AddLogStringWide(L"成功 Ver2.8\n");
    hr = x.XAudio2_8->CreateMasteringVoice(&x.MasteringVoice8, XAUDIO2_DEFAULT_CHANNELS, x.OutputRate, 0, nullptr,
                                           nullptr, AudioCategory_GameEffects);
    if (FAILED(hr) || x.MasteringVoice8 == nullptr) return FailMasteringVoice(hr);
    return 0;
}

// 2.7 (or 2.6) through COM, with X3DAudio1_7.dll.
int StartXAudio27()
{
    XAudio2DeviceData &x = XAudio2Device;
    AddLogStringWide(L"XAudio2 インターフェースの取得を行います....  ");
    const struct
    {
        const CLSID *Class;
        int Minor;
    } classes[] = {{&XAudio27Class, 7}, {&XAudio26Class, 6}};
    int minor = 0;
    HRESULT created = S_OK;
    for (const auto &c : classes) {
        created = CreateComInstance(c.Class, nullptr, CLSCTX_ALL, &XAudio27Interface,
                                    reinterpret_cast<void **>(&x.XAudio2_7));
        if (SUCCEEDED(created) && x.XAudio2_7 != nullptr) {
            minor = c.Minor;
            break;
        }
        x.XAudio2_7 = nullptr;
    }
    if (minor == 0) {
        AddLogStringWide(L"XAudio2インターフェースの取得に失敗しました\n");
        LogPlatformFailure(L"CoCreateInstance(XAudio2)", created);
        ReleaseEngine();
        return -1;
    }
    AddLogFormat(L"成功 Ver2.%d\n", minor);
    AddLogStringWide(L"引き続きインターフェースの初期化処理...  ");
    HRESULT hr = x.XAudio2_7->Initialize(0, XAUDIO2_PROCESSOR(XAudio27DefaultProcessor));
    if (FAILED(hr)) return FailInitialize(L"IXAudio2::Initialize", hr);
    AddLogStringWide(L"成功\n");
    AddLogStringWide(L"X3DAudio.DLL の読み込み中... ");
    x.X3DAudio1_7DLL = LoadLibraryW(L"X3DAudio1_7.dll");
    if (x.X3DAudio1_7DLL == nullptr) {
        AddLogStringWide(L"失敗、X3DAudio、XAudio2は使用しません\n");
        LogPlatformFailure(L"LoadLibraryW(X3DAudio1_7.dll)", GetLastError());
        ReleaseEngine();
        return -1;
    }
    AddLogStringWide(L"成功\n");
    x.X3DAudioInitializeFunc = ProcOf<X3DAudioInitializeFunction>(x.X3DAudio1_7DLL, "X3DAudioInitialize");
    x.X3DAudioCalculateFunc = ProcOf<X3DAudioCalculateFunction>(x.X3DAudio1_7DLL, "X3DAudioCalculate");
    hr = x.XAudio2_7->CreateMasteringVoice(&x.MasteringVoice7, XAUDIO2_DEFAULT_CHANNELS, x.OutputRate, 0, 0, nullptr);
    if (FAILED(hr) || x.MasteringVoice7 == nullptr) return FailMasteringVoice(hr);
    return 0;
}

int CountBits(DWORD Mask)
{
    int count = 0;
    for (; Mask != 0; Mask &= Mask - 1) count++;
    return count;
}

// The output's speakers: 2.7 reports the device's format (logged), 2.8 the mastering voice's mask.
void ReadOutputChannels()
{
    XAudio2DeviceData &x = XAudio2Device;
    if (x.XAudio2_7 != nullptr) {
        XAUDIO2_DEVICE_DETAILS details;
        memset(&details, 0, sizeof(details));
        x.XAudio2_7->GetDeviceDetails(0, &details);
        LogIndentUp();
        AddLogFormat(L"Device Name : %s", details.DisplayName);
        AddLogFormat(L"チャンネル数:%d", int(details.OutputFormat.Format.nChannels));
        AddLogFormat(L"ビット精度:%dbit", int(details.OutputFormat.Format.wBitsPerSample));
        AddLogFormat(L"サンプリングレート:%dHz", int(details.OutputFormat.Format.nSamplesPerSec));
        LogIndentDown();
        x.ChannelMask = details.OutputFormat.dwChannelMask;
        x.ChannelCount = details.OutputFormat.Format.nChannels;
    } else {
        DWORD mask = 0;
        x.MasteringVoice8->GetChannelMask(&mask);
        x.ChannelMask = mask;
        x.ChannelCount = CountBits(mask);
    }
}

// ---------------------------------------------------------------------------------------------
// The XAudio2 buffer operations

void DestroyVoices(SOUNDBUFFER *Buffer)
{
    if (SourceVoice(Buffer) != nullptr) SourceVoice(Buffer)->DestroyVoice();
    Buffer->DeviceBuffer = nullptr;
    if (EffectVoice(Buffer) != nullptr) EffectVoice(Buffer)->DestroyVoice();
    Buffer->EffectVoice = nullptr;
    if (Buffer->ReverbEffect != nullptr) static_cast<IUnknown *>(Buffer->ReverbEffect)->Release();
    Buffer->ReverbEffect = nullptr;
    delete static_cast<ZoVuz::SOUNDBUFFER_CALLBACK *>(Buffer->Callback);
    Buffer->Callback = nullptr;
}

IUnknown *CreateReverb()
{
    IUnknown *reverb = nullptr;
    if (XAudio2Device.XAudio2_8 != nullptr) {
        if (XAudio2Device.CreateAudioReverbFunc == nullptr) return nullptr;
        if (HRESULT hr = XAudio2Device.CreateAudioReverbFunc(&reverb); FAILED(hr)) {
            LogPlatformFailure(L"CreateAudioReverb", hr);
            return nullptr;
        }
    } else if (HRESULT hr = CreateComInstance(&AudioReverb27Class, nullptr, CLSCTX_INPROC_SERVER, &IID_IUnknown,
                                              reinterpret_cast<void **>(&reverb));
               FAILED(hr)) {
        LogPlatformFailure(L"CoCreateInstance(AudioReverb)", hr);
        return nullptr;
    }
    return reverb;
}

HRESULT CreateSubmixVoice(IXAudio2SubmixVoice **Voice, UINT32 Channels, const XAUDIO2_EFFECT_CHAIN *Chain)
{
    XAudio2DeviceData &x = XAudio2Device;
    if (x.XAudio2_8 != nullptr)
        return x.XAudio2_8->CreateSubmixVoice(Voice, Channels, x.OutputRate, 0, 0, nullptr, Chain);
    return x.XAudio2_7->CreateSubmixVoice(Voice, Channels, x.OutputRate, 0, 0, nullptr, Chain);
}

HRESULT CreateSourceVoice(IXAudio2SourceVoice **Voice, const WAVEFORMATEX *Format,
                          ZoVuz::SOUNDBUFFER_CALLBACK *Callback, const XAUDIO2_VOICE_SENDS *Sends)
{
    XAudio2DeviceData &x = XAudio2Device;
    IXAudio2VoiceCallback *callback =
        reinterpret_cast<IXAudio2VoiceCallback *>(static_cast<D_IXAudio2VoiceCallback *>(Callback));
    if (x.XAudio2_8 != nullptr)
        return x.XAudio2_8->CreateSourceVoice(Voice, Format, 0, MaxFrequencyRatio, callback, Sends, nullptr);
    return x.XAudio2_7->CreateSourceVoice(Voice, Format, 0, MaxFrequencyRatio, callback, Sends, nullptr);
}

// A 3D buffer's reverb: the effect, a submix voice running it (switched off until a play), and
// the first preset.
int MakeReverbVoice(SOUNDBUFFER *Buffer)
{
    IUnknown *reverb = CreateReverb();
    if (reverb == nullptr) return -1;
    Buffer->ReverbEffect = reverb;
    XAUDIO2_EFFECT_DESCRIPTOR effect = {reverb, TRUE, Buffer->Format.nChannels};
    XAUDIO2_EFFECT_CHAIN chain = {1, &effect};
    IXAudio2SubmixVoice *voice = nullptr;
    if (HRESULT hr = CreateSubmixVoice(&voice, Buffer->Format.nChannels, &chain); FAILED(hr) || voice == nullptr)
        return LogPlatformFailure(L"IXAudio2::CreateSubmixVoice", hr);
    Buffer->EffectVoice = voice;
    Buffer->ReverbParam = XAudio2Device.ReverbPresets[0];
    voice->SetEffectParameters(0, &Buffer->ReverbParam, XAudio2Device.ReverbParamSize, XAUDIO2_COMMIT_NOW);
    voice->DisableEffect(0, XAUDIO2_COMMIT_NOW);
    return 0;
}

// Silence in the buffer's sample format.
void FillSilence(void *Data, uint32_t Bytes, const SoundWaveFormat &Format)
{
    memset(Data, Format.wBitsPerSample == 8 ? 0x80 : 0, Bytes);
}

int XA2RefreshVolume(SOUNDBUFFER *Buffer);
int XA2SetFrequency(SOUNDBUFFER *Buffer, uint32_t Frequency);

int XA2Initialize(SOUNDBUFFER *Buffer, uint32_t Bytes, const SoundWaveFormat *Format, SOUNDBUFFER *Src, int Is3D)
{
    Buffer->DeviceBuffer = nullptr;
    Buffer->EffectVoice = nullptr;
    Buffer->ReverbEffect = nullptr;
    Buffer->Callback = nullptr;
    Buffer->PlayFlag = 0;
    Buffer->SubmitPos = 0;
    Buffer->PostStopState = 0;
    Buffer->StopTime = 0;
    if (XAudio2Device.XAudio2_8 == nullptr && XAudio2Device.XAudio2_7 == nullptr) return -1;

    // The generic layer has set the format and length (the source's, for a duplicate), and a
    // duplicate shares the source's wave block.
    bool shadow = PlaysFromShadow(Buffer);
    if (Src == nullptr) {
        uint32_t bytes = Buffer->SampleNum * Buffer->Format.nBlockAlign;
        (void)Bytes;
        (void)Format;
        Buffer->Wave = AllocSoundBufferWaveBlock(bytes, shadow ? 1 : 0);
        if (Buffer->Wave == nullptr) return -1;
        FillSilence(Buffer->Wave->Data, bytes, Buffer->Format);
        if (shadow) FillSilence(Buffer->Wave->DoubleData, bytes * 2, Buffer->Format);
    } else if (Buffer->Wave == nullptr || (shadow && Buffer->Wave->DoubleData == nullptr))
        return -1;  // the source's data cannot feed this buffer's voice

    if (Is3D && MakeReverbVoice(Buffer) < 0) {
        DestroyVoices(Buffer);
        return -1;
    }

    auto *callback = new (std::nothrow) ZoVuz::SOUNDBUFFER_CALLBACK(Buffer);
    if (callback == nullptr) {
        DestroyVoices(Buffer);
        return -1;
    }
    Buffer->Callback = callback;

    WAVEFORMATEX format = ToWaveFormat(Buffer->Format);
    format.cbSize = 0;
    if (shadow) {
        format.nChannels = 2;
        format.nBlockAlign *= 2;
        format.nAvgBytesPerSec *= 2;
    }
    XAUDIO2_SEND_DESCRIPTOR sendTo[2] = {{XAUDIO2_SEND_USEFILTER, MasteringVoice()},
                                         {XAUDIO2_SEND_USEFILTER, EffectVoice(Buffer)}};
    XAUDIO2_VOICE_SENDS sends = {2, sendTo};
    IXAudio2SourceVoice *voice = nullptr;
    if (HRESULT hr = CreateSourceVoice(&voice, &format, callback, Is3D ? &sends : nullptr);
        FAILED(hr) || voice == nullptr) {
        DestroyVoices(Buffer);
        return LogPlatformFailure(L"IXAudio2::CreateSourceVoice", hr);
    }
    Buffer->DeviceBuffer = voice;
    Buffer->VoiceChannels = format.nChannels;

    if (Src != nullptr) {
        memcpy(Buffer->Volume, Src->Volume, sizeof(Buffer->Volume));
        Buffer->Pan = Src->Pan;
        Buffer->Frequency = Src->Frequency;
        XA2RefreshVolume(Buffer);
        XA2SetFrequency(Buffer, Src->Frequency < 0 ? 0 : uint32_t(Src->Frequency));
    }
    return 0;
}

int XA2Terminate(SOUNDBUFFER *Buffer)
{
    DestroyVoices(Buffer);
    Buffer->PlayFlag = 0;
    return 0;
}

int XA2GetStatus(SOUNDBUFFER *Buffer) { return Buffer->PlayFlag; }

int XA2Play(SOUNDBUFFER *Buffer, int)
{
    Buffer->PlayFlag = 1;
    SourceVoice(Buffer)->Start(0, XAUDIO2_COMMIT_NOW);
    if (EffectVoice(Buffer) != nullptr) EffectVoice(Buffer)->EnableEffect(0, XAUDIO2_COMMIT_NOW);
    Buffer->PostStopState = 1;
    Buffer->StopTime = 0;
    return 0;
}

int XA2Stop(SOUNDBUFFER *Buffer, int EffectOff)
{
    SourceVoice(Buffer)->Stop(0, XAUDIO2_COMMIT_NOW);
    if (EffectOff && EffectVoice(Buffer) != nullptr) EffectVoice(Buffer)->DisableEffect(0, XAUDIO2_COMMIT_NOW);
    Buffer->PlayFlag = 0;
    return 0;
}

int XA2AnswerOwnPosition(SOUNDBUFFER *, uint32_t *, uint32_t *) { return SOUND_PLATFORM_ANSWER_OWN_STATE; }

int XA2AnswerOwnFrequency(SOUNDBUFFER *, uint32_t *) { return SOUND_PLATFORM_ANSWER_OWN_STATE; }

int XA2AnswerOwnLock(SOUNDBUFFER *, uint32_t, uint32_t, void **, uint32_t *, void **, uint32_t *)
{
    return SOUND_PLATFORM_ANSWER_OWN_STATE;
}

int XA2Unlock(SOUNDBUFFER *Buffer, void *Ptr1, uint32_t Size1, void *Ptr2, uint32_t Size2)
{
    if (!PlaysFromShadow(Buffer)) return 0;
    SoundVoice_CopyToStereoShadow(Buffer, Ptr1, Size1);
    SoundVoice_CopyToStereoShadow(Buffer, Ptr2, Size2);
    return 0;
}

int XA2SetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t BytePosition)
{
    uint32_t frame = BytePosition / Buffer->Format.nBlockAlign;
    Buffer->PlayPos = frame;
    Buffer->SubmitPos = frame;
    SourceVoice(Buffer)->FlushSourceBuffers();
    return 0;
}

int XA2SetFrequency(SOUNDBUFFER *Buffer, uint32_t Frequency)
{
    float ratio = Frequency == 0 ? 1.0f : float(Frequency) / float(Buffer->Format.nSamplesPerSec);
    SourceVoice(Buffer)->SetFrequencyRatio(ratio, XAUDIO2_COMMIT_NOW);
    return 0;
}

int XA2RefreshVolume(SOUNDBUFFER *Buffer)
{
    float gains[SOUNDBUFFER_MAX_CHANNEL_NUM] = {};
    SoundVoice_ChannelGains(Buffer, Buffer->VoiceChannels, gains);
    SourceVoice(Buffer)->SetChannelVolumes(Buffer->VoiceChannels, gains, XAUDIO2_COMMIT_NOW);
    return 0;
}

// The cut-off of the voices' low-pass filters for an X3DAudio coefficient.
XAUDIO2_FILTER_PARAMETERS LowPassOf(float Coefficient)
{
    XAUDIO2_FILTER_PARAMETERS filter;
    filter.Type = LowPassFilter;
    filter.Frequency = 2.0f * sinf(float(M_PI) / 6.0f * Coefficient);
    filter.OneOverQ = 1.0f;
    return filter;
}

int XA2Refresh3DSound(SOUNDBUFFER *Buffer)
{
    XAudio2DeviceData &x = XAudio2Device;
    if (x.X3DAudioCalculateFunc == nullptr || EffectVoice(Buffer) == nullptr) return -1;
    const Sound3DListenerData &l = Sound3DListener;
    X3DAudioListener listener;
    memcpy(listener.Front, l.Front, sizeof(listener.Front));
    memcpy(listener.Top, l.Top, sizeof(listener.Top));
    memcpy(listener.Position, l.Position, sizeof(listener.Position));
    memcpy(listener.Velocity, l.Velocity, sizeof(listener.Velocity));
    listener.Cone = &l.Cone;

    static const X3DAudioDistanceCurve volumeCurve = {Sound3DVolumeCurve, 2};
    static const X3DAudioDistanceCurve lowFrequencyCurve = {Sound3DLowFrequencyCurve, 3};
    static const X3DAudioDistanceCurve reverbCurve = {Sound3DReverbCurve, 3};
    static const float azimuths[SOUNDBUFFER_MAX_CHANNEL_NUM] = {};
    const Sound3DEmitter &e = Buffer->Emitter;
    X3DAudioEmitter emitter;
    emitter.Cone = &e.Cone;
    memcpy(emitter.Front, e.Front, sizeof(emitter.Front));
    memcpy(emitter.Top, e.Top, sizeof(emitter.Top));
    memcpy(emitter.Position, e.Position, sizeof(emitter.Position));
    memcpy(emitter.Velocity, e.Velocity, sizeof(emitter.Velocity));
    emitter.InnerRadius = e.InnerRadius;
    emitter.InnerRadiusAngle = e.InnerRadiusAngle;
    emitter.ChannelCount = e.ChannelCount;
    emitter.ChannelRadius = e.ChannelRadius;
    emitter.ChannelAzimuths = azimuths;
    emitter.VolumeCurve = &volumeCurve;
    emitter.LowFrequencyCurve = &lowFrequencyCurve;
    emitter.LowPassDirectCurve = nullptr;
    emitter.LowPassReverbCurve = nullptr;
    emitter.ReverbCurve = &reverbCurve;
    emitter.CurveDistanceScaler = e.DistanceScaler;
    emitter.DopplerScaler = e.DopplerScaler;

    UINT32 sourceChannels = e.ChannelCount;
    UINT32 outputChannels = UINT32(x.ChannelCount);
    if (sourceChannels == 0 || sourceChannels > SOUNDBUFFER_MAX_CHANNEL_NUM || outputChannels == 0 ||
        outputChannels > SOUNDBUFFER_MAX_CHANNEL_NUM)
        return -1;
    float matrix[SOUNDBUFFER_MAX_CHANNEL_NUM * SOUNDBUFFER_MAX_CHANNEL_NUM] = {};
    X3DAudioDspSettings dsp;
    memset(&dsp, 0, sizeof(dsp));
    dsp.MatrixCoefficients = matrix;
    dsp.SrcChannelCount = sourceChannels;
    dsp.DstChannelCount = outputChannels;
    UINT32 flags = X3DAudioCalculateFlags;
    if (x.ChannelMask & SPEAKER_LOW_FREQUENCY) flags |= X3DAudioRedirectToLowFrequency;
    x.X3DAudioCalculateFunc(x.X3DInstance, &listener, &emitter, flags, &dsp);

    IXAudio2SourceVoice *voice = SourceVoice(Buffer);
    IXAudio2SubmixVoice *effect = EffectVoice(Buffer);
    voice->SetFrequencyRatio(dsp.DopplerFactor, XAUDIO2_COMMIT_NOW);
    voice->SetOutputMatrix(MasteringVoice(), sourceChannels, outputChannels, matrix, XAUDIO2_COMMIT_NOW);
    float reverbLevels[SOUNDBUFFER_MAX_CHANNEL_NUM * SOUNDBUFFER_MAX_CHANNEL_NUM];
    for (float &level : reverbLevels) level = dsp.ReverbLevel;
    voice->SetOutputMatrix(effect, sourceChannels, Buffer->Format.nChannels, reverbLevels, XAUDIO2_COMMIT_NOW);
    XAUDIO2_FILTER_PARAMETERS direct = LowPassOf(dsp.LowPassDirectCoefficient);
    XAUDIO2_FILTER_PARAMETERS reverb = LowPassOf(dsp.LowPassReverbCoefficient);
    voice->SetOutputFilterParameters(MasteringVoice(), &direct, XAUDIO2_COMMIT_NOW);
    voice->SetOutputFilterParameters(effect, &reverb, XAUDIO2_COMMIT_NOW);
    return 0;
}

int XA2ProcessPostStop(SOUNDBUFFER *Buffer)
{
    if (EffectVoice(Buffer) == nullptr || Buffer->PostStopState == 0) return -1;
    int step = SoundVoice_PostStopStep(Buffer, GetNowMilliCount());
    if (step == 1) {
        EffectVoice(Buffer)->DisableEffect(0, XAUDIO2_COMMIT_NOW);
        return -1;
    }
    return step;
}

const SoundBufferPlatformFunctions XAudio2BufferFunctions = {
    .Initialize = XA2Initialize,
    .Terminate = XA2Terminate,
    .GetStatus = XA2GetStatus,
    .Play = XA2Play,
    .Stop = XA2Stop,
    .GetCurrentPosition = XA2AnswerOwnPosition,
    .SetCurrentPosition = XA2SetCurrentPosition,
    .GetFrequency = XA2AnswerOwnFrequency,
    .SetFrequency = XA2SetFrequency,
    .Lock = XA2AnswerOwnLock,
    .Unlock = XA2Unlock,
    .RefreshVolume = XA2RefreshVolume,
    .Refresh3DSound = XA2Refresh3DSound,
    .ProcessPostStop = XA2ProcessPostStop,
};

// Hands one piece of the wave block (or of its stereo shadow) to the voice.
int SubmitPiece(void *, SOUNDBUFFER *Buffer, const SoundVoicePiece *Piece)
{
    uint32_t align = VoiceBlockAlign(Buffer);
    const uint8_t *data =
        static_cast<const uint8_t *>(PlaysFromShadow(Buffer) ? Buffer->Wave->DoubleData : Buffer->Wave->Data);
    XAUDIO2_BUFFER piece;
    memset(&piece, 0, sizeof(piece));
    piece.AudioBytes = Piece->Frames * align;
    piece.pAudioData = data + Piece->Frame * align;
    return FAILED(SourceVoice(Buffer)->SubmitSourceBuffer(&piece, nullptr)) ? -1 : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The voice callback (XAudio2's own thread)

void STDMETHODCALLTYPE ZoVuz::SOUNDBUFFER_CALLBACK::OnVoiceProcessingPassStart(UINT32 BytesRequired)
{
    if (Buffer->Wave == nullptr || Buffer->DeviceBuffer == nullptr) return;
    if (SoundVoice_Feed(Buffer, BytesRequired, VoiceBlockAlign(Buffer), SubmitPiece, nullptr) == 1) {
        // A buffer that does not loop has played all of its data.
        SourceVoice(Buffer)->Stop(0, XAUDIO2_COMMIT_NOW);
        Buffer->PlayFlag = 0;
    }
}

void STDMETHODCALLTYPE ZoVuz::SOUNDBUFFER_CALLBACK::OnBufferEnd(void *) { Buffer->PlayPos = Buffer->SubmitPos; }

// ---------------------------------------------------------------------------------------------
// Device life

int XAudio2_Start(void)
{
    XAudio2DeviceData &x = XAudio2Device;
    if (x.XAudio2_8 != nullptr || x.XAudio2_7 != nullptr) return -1;
    x.OutputRate = SoundSystem.OutputSampleRate != 0 ? SoundSystem.OutputSampleRate : DefaultOutputRate;
    AddLogStringWide(L"XAudio2 の初期化を行います\n");
    LogIndentUp();
    HMODULE module = LoadLibraryW(L"XAudio2_8.dll");
    int result = module != nullptr ? StartXAudio28(module) : StartXAudio27();
    if (result < 0) {
        LogIndentDown();
        return -1;
    }

    x.ReverbParamSize = x.XAudio2_8 != nullptr ? SOUND_REVERB_PARAM_SIZE_XAUDIO28 : SOUND_REVERB_PARAM_SIZE_XAUDIO27;
    for (int i = 0; i < SOUND_REVERB_PRESET_NUM; i++)
        SoundReverb_ConvertI3DL2ToNative(&SoundReverbI3DL2Presets[i], &x.ReverbPresets[i]);

    ReadOutputChannels();
    if (x.X3DAudioInitializeFunc != nullptr) x.X3DAudioInitializeFunc(x.ChannelMask, SpeedOfSound, x.X3DInstance);
    LogIndentDown();
    SoundPlatform_SetBufferFunctions(&XAudio2BufferFunctions);
    return 0;
}

void XAudio2_End(void)
{
    if (SoundPlatform_GetBufferFunctions() == &XAudio2BufferFunctions) SoundPlatform_SetBufferFunctions(nullptr);
    ReleaseEngine();
}

void *XAudio2_MasteringVoice(void) { return MasteringVoice(); }

int XAudio2_IsStarted(void) { return XAudio2Device.XAudio2_8 != nullptr || XAudio2Device.XAudio2_7 != nullptr ? 1 : 0; }

int GetReverbPresetParam(SoundReverbParam *Param, int PresetNo)
{
    if (!XAudio2_IsStarted() || PresetNo < 0 || PresetNo >= SOUND_REVERB_PRESET_NUM) return -1;
    if (Param == nullptr) return 0;
    memcpy(Param, &XAudio2Device.ReverbPresets[PresetNo], XAudio2Device.ReverbParamSize);
    return 0;
}
