// The sound device on DirectSound: the device object with its primary buffer and the silent
// buffer that keeps the mixer running, the device report, and the DirectSound table of buffer
// operations.
#include "zovuz/sound/sound_platform_internal.h"
#include "zovuz/sound/sound_buffer_internal.h"
#include "zovuz/sound/sound_3d_internal.h"
#include "zovuz/sound/windows/dsound_device_win.h"
#include "zovuz/sound/windows/sound_device_win.h"

#include "zovuz/core/zovuz_core.h"

#include <windows.h>
#include <mmreg.h>
#include <dsound.h>

#include <string.h>

BOOL CALLBACK EnumDirectSoundCallback(LPGUID Guid, LPCWSTR Description, LPCWSTR Module, LPVOID Context);

namespace {

struct DirectSoundDeviceData
{
    IDirectSound *DirectSound;          // the device object; present while the device is started
    IDirectSoundBuffer *PrimaryBuffer;  // the primary buffer, whose format the device mixes to
    IDirectSoundBuffer *SilentBuffer;   // 100 frames of silence played in a loop; null when it failed
};
DirectSoundDeviceData DirectSoundDevice;

constexpr DWORD PreferredRate = 44100;

// Secondary buffers: static data, frequency, pan and volume control, audible without the focus,
// exact play cursor; the fall-back drops frequency control, focus and the exact cursor.
constexpr DWORD SecondaryBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                       DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
constexpr DWORD FallbackBufferFlags = DSBCAPS_STATIC | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
static_assert(SecondaryBufferFlags == 0x180E2 && FallbackBufferFlags == 0xC2, "the buffer flags");

constexpr DWORD SilentBufferBytes = 400;

IDirectSoundBuffer *Device(SOUNDBUFFER *Buffer) { return static_cast<IDirectSoundBuffer *>(Buffer->DeviceBuffer); }

WAVEFORMATEX PcmFormat(int Channels, int Bits, DWORD Rate)
{
    SoundWaveFormat format;
    FillPcmFormat(&format, Channels, Rate, Bits / 8);
    return ToWaveFormat(format);
}

const wchar_t *OkOrNo(DWORD Flags, DWORD Flag) { return (Flags & Flag) != 0 ? L"OK" : L"NO"; }

void ReleaseDevice() { ReleaseAndClear(DirectSoundDevice.DirectSound); }

// Primary format: PCM at the device's best of stereo / 16 bits, at most 44100 Hz.
void SetPrimaryFormat()
{
    DSCAPS caps = {};
    caps.dwSize = sizeof(caps);
    DirectSoundDevice.DirectSound->GetCaps(&caps);
    WAVEFORMATEX format =
        PcmFormat((caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1, (caps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8,
                  caps.dwMaxSecondarySampleRate < PreferredRate ? caps.dwMaxSecondarySampleRate : PreferredRate);
    if (HRESULT hr = DirectSoundDevice.PrimaryBuffer->SetFormat(&format); FAILED(hr)) {
        AddLogStringWide(L"DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
        LogPlatformFailure(L"IDirectSoundBuffer::SetFormat", hr);
    }
}

// The silent buffer keeps the device's mixer running between sounds. Its failure is logged
// and the device goes on without it.
void StartSilentBuffer()
{
    WAVEFORMATEX format = PcmFormat(2, 16, 44100);
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = SilentBufferBytes;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer *buffer = nullptr;
    if (FAILED(DirectSoundDevice.DirectSound->CreateSoundBuffer(&desc, &buffer, nullptr)) || buffer == nullptr) {
        AddLogStringWide(L"無音バッファの作成に失敗しました");
        return;
    }
    void *ptr1 = nullptr, *ptr2 = nullptr;
    DWORD size1 = 0, size2 = 0;
    if (FAILED(buffer->Lock(0, SilentBufferBytes, &ptr1, &size1, &ptr2, &size2, 0))) {
        AddLogStringWide(L"無音バッファのロックに失敗しました");
        buffer->Release();
        return;
    }
    if (ptr1 != nullptr) memset(ptr1, 0, size1);
    if (ptr2 != nullptr) memset(ptr2, 0, size2);
    buffer->Unlock(ptr1, size1, ptr2, size2);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    DirectSoundDevice.SilentBuffer = buffer;
}

// The device list and the capabilities, for the log. Nothing here can fail the start.
void LogDeviceReport()
{
    LogIndentUp();
    DSCAPS caps = {};
    caps.dwSize = sizeof(caps);
    DirectSoundDevice.DirectSound->GetCaps(&caps);
    AddLogStringWide(L"DirectSound デバイスを列挙します\n");
    LogIndentUp();
    HMODULE library = LoadLibraryA("DSound.DLL");
    if (library == nullptr) {
        AddLogStringWide(L"DSOUND.DLL のロードに失敗しました\n");
        LogPlatformFailure(L"LoadLibraryA(DSound.DLL)", GetLastError());
        LogIndentDown();
        LogIndentDown();
        return;
    }
    auto enumerate = reinterpret_cast<HRESULT(WINAPI *)(LPDSENUMCALLBACKW, LPVOID)>(
        reinterpret_cast<void *>(GetProcAddress(library, "DirectSoundEnumerateW")));
    if (enumerate == nullptr) {
        FreeLibrary(library);
        AddLogStringWide(L"DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
        LogIndentDown();
        LogIndentDown();
        return;
    }
    enumerate(EnumDirectSoundCallback, nullptr);
    LogIndentDown();
    AddLogFormat(L"最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                 caps.dwMaxSecondarySampleRate / 1000.0, caps.dwMinSecondarySampleRate / 1000.0);
    AddLogFormat(L"総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", caps.dwTotalHwMemBytes / 1024.0,
                 caps.dwFreeHwMemBytes / 1024.0);
    AddLogStringWide(L"利用可能サンプリング精度\n");
    AddLogFormat(L"  Primary    16bit = %s  8bit = %s ", OkOrNo(caps.dwFlags, DSCAPS_PRIMARY16BIT),
                 OkOrNo(caps.dwFlags, DSCAPS_PRIMARY8BIT));
    AddLogFormat(L"  Secondary  16bit = %s  8bit = %s \n", OkOrNo(caps.dwFlags, DSCAPS_SECONDARY16BIT),
                 OkOrNo(caps.dwFlags, DSCAPS_SECONDARY8BIT));
    AddLogStringWide(L"利用可能チャンネル\n");
    AddLogFormat(L"  Primary    MONO = %s   STEREO = %s ", OkOrNo(caps.dwFlags, DSCAPS_PRIMARYMONO),
                 OkOrNo(caps.dwFlags, DSCAPS_PRIMARYSTEREO));
    AddLogFormat(L"  Secondary  MONO = %s   STEREO = %s \n", OkOrNo(caps.dwFlags, DSCAPS_SECONDARYMONO),
                 OkOrNo(caps.dwFlags, DSCAPS_SECONDARYSTEREO));
    LogIndentDown();
    FreeLibrary(library);
}

// ---------------------------------------------------------------------------------------------
// The DirectSound buffer operations

int DSoundInitialize(SOUNDBUFFER *Buffer, uint32_t Bytes, const SoundWaveFormat *Format, SOUNDBUFFER *Src, int)
{
    Buffer->DeviceBuffer = nullptr;
    if (DirectSoundDevice.DirectSound == nullptr) return -1;
    // A duplicate is a new, silent buffer of the source's size and format; the owner copies
    // the sound into it.
    WAVEFORMATEX format = ToWaveFormat(Src != nullptr ? Src->Format : *Format);
    DWORD bytes = Src != nullptr ? DWORD(Src->Format.nBlockAlign) * Src->SampleNum : Bytes;
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = SecondaryBufferFlags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer *buffer = nullptr;
    if (FAILED(DirectSoundDevice.DirectSound->CreateSoundBuffer(&desc, &buffer, nullptr)) || buffer == nullptr) {
        ReleaseAndClear(buffer);
        desc.dwFlags = FallbackBufferFlags;
        if (HRESULT hr = DirectSoundDevice.DirectSound->CreateSoundBuffer(&desc, &buffer, nullptr);
            FAILED(hr) || buffer == nullptr) {
            if (buffer != nullptr) buffer->Release();
            return LogPlatformFailure(L"IDirectSound::CreateSoundBuffer", hr);
        }
    }
    Buffer->DeviceBuffer = buffer;
    return 0;
}

int DSoundTerminate(SOUNDBUFFER *Buffer)
{
    if (Device(Buffer) != nullptr) Device(Buffer)->Release();
    Buffer->DeviceBuffer = nullptr;
    return 0;
}

int DSoundGetStatus(SOUNDBUFFER *Buffer)
{
    DWORD status = 0;
    if (FAILED(Device(Buffer)->GetStatus(&status))) return -1;
    return (status & DSBSTATUS_PLAYING) != 0 ? 1 : 0;
}

int DSoundPlay(SOUNDBUFFER *Buffer, int Loop)
{
    return FAILED(Device(Buffer)->Play(0, 0, Loop ? DSBPLAY_LOOPING : 0)) ? -1 : 0;
}

int DSoundStop(SOUNDBUFFER *Buffer, int)
{
    Device(Buffer)->Stop();
    return 0;
}

int DSoundGetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t *PlayCursor, uint32_t *WriteCursor)
{
    DWORD play = 0, write = 0;
    Device(Buffer)->GetCurrentPosition(&play, &write);
    if (PlayCursor != nullptr) *PlayCursor = play;
    if (WriteCursor != nullptr) *WriteCursor = write;
    return 0;
}

int DSoundSetCurrentPosition(SOUNDBUFFER *Buffer, uint32_t BytePosition)
{
    Device(Buffer)->SetCurrentPosition(BytePosition);
    return 0;
}

int DSoundGetFrequency(SOUNDBUFFER *Buffer, uint32_t *Frequency)
{
    DWORD frequency = 0;
    if (FAILED(Device(Buffer)->GetFrequency(&frequency))) return -1;
    *Frequency = frequency;
    return 0;
}

int DSoundSetFrequency(SOUNDBUFFER *Buffer, uint32_t Frequency)
{
    // 0 is DSBFREQUENCY_ORIGINAL: the format's own rate.
    Device(Buffer)->SetFrequency(Frequency);
    return 0;
}

int DSoundLock(SOUNDBUFFER *Buffer, uint32_t Offset, uint32_t Bytes, void **Ptr1, uint32_t *Size1, void **Ptr2,
               uint32_t *Size2)
{
    DWORD size1 = 0, size2 = 0;
    if (FAILED(Device(Buffer)->Lock(Offset, Bytes, Ptr1, &size1, Ptr2, &size2, 0))) return -1;
    *Size1 = size1;
    *Size2 = size2;
    return 0;
}

int DSoundUnlock(SOUNDBUFFER *Buffer, void *Ptr1, uint32_t Size1, void *Ptr2, uint32_t Size2)
{
    return FAILED(Device(Buffer)->Unlock(Ptr1, Size1, Ptr2, Size2)) ? -1 : 0;
}

int DSoundRefreshVolume(SOUNDBUFFER *Buffer)
{
    int volume = 0, pan = 0;
    SoundBuffer_DirectSoundVolumePan(Buffer, &volume, &pan);
    if (Buffer->Format.nChannels > 2) {
        Device(Buffer)->SetVolume(volume);
        Device(Buffer)->SetPan(pan);
    } else {
        Device(Buffer)->SetPan(pan);
        Device(Buffer)->SetVolume(volume);
    }
    return 0;
}

int DSoundProcessPostStop(SOUNDBUFFER *)
{
    return -1;  // DirectSound has nothing to do after a stop
}

// DirectSound has no 3D of its own here: the emitter's place gives a volume factor and a pan,
// which the volume refresh folds into the buffer's one volume and pan.
int DSoundRefresh3DSound(SOUNDBUFFER *Buffer)
{
    Sound3D_DirectSoundModel(&Sound3DListener, Buffer);
    return DSoundRefreshVolume(Buffer);
}

const SoundBufferPlatformFunctions DirectSoundBufferFunctions = {
    .Initialize = DSoundInitialize,
    .Terminate = DSoundTerminate,
    .GetStatus = DSoundGetStatus,
    .Play = DSoundPlay,
    .Stop = DSoundStop,
    .GetCurrentPosition = DSoundGetCurrentPosition,
    .SetCurrentPosition = DSoundSetCurrentPosition,
    .GetFrequency = DSoundGetFrequency,
    .SetFrequency = DSoundSetFrequency,
    .Lock = DSoundLock,
    .Unlock = DSoundUnlock,
    .RefreshVolume = DSoundRefreshVolume,
    .Refresh3DSound = DSoundRefresh3DSound,
    .ProcessPostStop = DSoundProcessPostStop,
};

}  // namespace

// The DirectSoundEnumerateW callback: one log line per device; goes on with the next.
BOOL CALLBACK EnumDirectSoundCallback(LPGUID, LPCWSTR Description, LPCWSTR Module, LPVOID)
{
    AddLogFormat(L"Module Name : %15s   Description : %s ", Module, Description);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Device life: the steps the device start and end (sound_device_win.cpp) run on this path

int DirectSound_Start(void)
{
    AddLogStringWide(L"DirectSound の初期化を行います\n");
    AddLogStringWide(L"DirectSound インターフェースの取得を行います....  ");
    IDirectSound *directSound = nullptr;
    HRESULT hr = CreateComInstance(&CLSID_DirectSound, nullptr, CLSCTX_ALL, &IID_IDirectSound,
                                   reinterpret_cast<void **>(&directSound));
    if (FAILED(hr) || directSound == nullptr) {
        if (directSound != nullptr) directSound->Release();
        DirectSoundDevice.DirectSound = nullptr;
        AddLogStringWide(L"DirectSoundインターフェースの取得に失敗しました\n");
        return LogPlatformFailure(L"CoCreateInstance(DirectSound)", hr);
    }
    DirectSoundDevice.DirectSound = directSound;

    AddLogStringWide(L"成功\n");
    AddLogStringWide(L"引き続きインターフェースの初期化処理...  ");
    hr = directSound->Initialize(nullptr);
    if (FAILED(hr)) {
        AddLogStringWide(L"初期化に失敗しました\n");
        AddLogFormat(L"エラーコード %x", unsigned(hr));
        LogPlatformFailure(L"IDirectSound::Initialize", hr);
        ReleaseDevice();
        return -1;
    }
    AddLogStringWide(L"成功\n");

    if (HRESULT level = directSound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY); FAILED(level)) {
        AddLogStringWide(L"DirectSoundの協調レベルの設定に失敗しました\n");
        LogPlatformFailure(L"IDirectSound::SetCooperativeLevel", level);
        ReleaseDevice();
        return -1;
    }

    DSBUFFERDESC primary = {};
    primary.dwSize = sizeof(primary);
    primary.dwFlags = DSBCAPS_PRIMARYBUFFER;
    static_assert(sizeof(DSBUFFERDESC) == 36, "the 36-byte buffer description");
    hr = directSound->CreateSoundBuffer(&primary, &DirectSoundDevice.PrimaryBuffer, nullptr);
    if (FAILED(hr) || DirectSoundDevice.PrimaryBuffer == nullptr) {
        DirectSoundDevice.PrimaryBuffer = nullptr;
        AddLogStringWide(L"DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
        LogPlatformFailure(L"IDirectSound::CreateSoundBuffer", hr);
        ReleaseDevice();
        return -1;
    }
    SetPrimaryFormat();
    return 0;
}

IDirectSound **DirectSound_DeviceSlot(void) { return &DirectSoundDevice.DirectSound; }

void DirectSound_StartOutput(void)
{
    StartSilentBuffer();
    LogDeviceReport();
    SoundPlatform_SetBufferFunctions(&DirectSoundBufferFunctions);
}

void DirectSound_End(void)
{
    if (SoundPlatform_GetBufferFunctions() == &DirectSoundBufferFunctions) SoundPlatform_SetBufferFunctions(nullptr);
    if (DirectSoundDevice.PrimaryBuffer != nullptr) {
        DirectSoundDevice.PrimaryBuffer->Stop();
        ReleaseAndClear(DirectSoundDevice.PrimaryBuffer);
    }
    if (DirectSoundDevice.SilentBuffer != nullptr) {
        DirectSoundDevice.SilentBuffer->Stop();
        ReleaseAndClear(DirectSoundDevice.SilentBuffer);
    }
    ReleaseDevice();
    AddLogStringWide(L"DirectSound の終了処理は正常に終了しました\n");
}

IDirectSound *GetDirectSoundDevice(void) { return DirectSoundDevice.DirectSound; }
