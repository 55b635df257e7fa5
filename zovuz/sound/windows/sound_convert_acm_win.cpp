// The conversion system's start and end, and the system's audio compression manager
// (msacm32), loaded at run time: its module, its twelve functions, and the calls the ACM
// converter makes through them.
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <string.h>

#include <atomic>

#include "zovuz/sound/sound_convert_internal.h"
#include "zovuz/sound/zovuz_sound.h"

static_assert(sizeof(SoundWaveFormat) == sizeof(WAVEFORMATEX), "the portable format record is WAVEFORMATEX");

namespace {

// The functions of msacm32 the converter uses, in loading order.
#define ZOVUZ_MSACM32(F)                                                                                     \
    F(acmFormatSuggest, MMRESULT, (HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, DWORD, DWORD))                \
    F(acmStreamOpen, MMRESULT,                                                                               \
      (LPHACMSTREAM, HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, LPWAVEFILTER, DWORD_PTR, DWORD_PTR, DWORD)) \
    F(acmStreamClose, MMRESULT, (HACMSTREAM, DWORD))                                                         \
    F(acmMetrics, MMRESULT, (HACMOBJ, UINT, LPVOID))                                                         \
    F(acmStreamPrepareHeader, MMRESULT, (HACMSTREAM, LPACMSTREAMHEADER, DWORD))                              \
    F(acmStreamConvert, MMRESULT, (HACMSTREAM, LPACMSTREAMHEADER, DWORD))                                    \
    F(acmStreamUnprepareHeader, MMRESULT, (HACMSTREAM, LPACMSTREAMHEADER, DWORD))                            \
    F(acmStreamSize, MMRESULT, (HACMSTREAM, DWORD, LPDWORD, DWORD))                                          \
    F(acmDriverEnum, MMRESULT, (ACMDRIVERENUMCB, DWORD_PTR, DWORD))                                          \
    F(acmDriverOpen, MMRESULT, (LPHACMDRIVER, HACMDRIVERID, DWORD))                                          \
    F(acmDriverClose, MMRESULT, (HACMDRIVER, DWORD))                                                         \
    F(acmDriverID, MMRESULT, (HACMOBJ, LPHACMDRIVERID, DWORD))

#define ZOVUZ_MSACM32_FIELD(Name, Ret, Params) Ret(WINAPI *Name) Params;

// A stream opened without a codec named makes ACM open every installed codec in turn and ask
// it, which costs more than decoding a short file, and a file's streams are opened again for
// every seek back. So every enabled codec is held open until the ACM is unloaded, and the codec
// that took a recent pair of formats opens the next stream of that pair directly: the search
// would come to the same codec, as the same codecs answer the same formats alike.
constexpr int kHeldCodecSlots = 32;
constexpr int kStreamCodecSlots = 8;
constexpr uint32_t kStreamCodecFormatBytes = 64;  // longer source formats are always searched for
struct StreamCodec
{
    uint32_t SrcBytes;                           // 0: the slot is empty
    unsigned char Src[kStreamCodecFormatBytes];  // the source format, extra bytes included
    WAVEFORMATEX Dest;                           // the PCM target
    HACMDRIVER Codec;                            // the held codec that opened the pair
};

struct SoundConvertPlatform
{
    int InitializeFlag;  // 1 between InitializeSoundConvert and TerminateSoundConvert
    HMODULE Msacm32;     // msacm32.dll, null when not loaded
    ZOVUZ_MSACM32(ZOVUZ_MSACM32_FIELD)
    HACMDRIVERID HeldIds[kHeldCodecSlots];  // the codecs held open, the first HeldCount
    HACMDRIVER Held[kHeldCodecSlots];
    int HeldCount;
    bool HeldAll;                                 // every enabled codec is held
    StreamCodec StreamCodecs[kStreamCodecSlots];  // recent pairs of formats and their codecs
    int NextStreamCodec;                          // the slot the next pair replaces
};
SoundConvertPlatform g_Platform;
std::atomic_flag g_StreamCodecsBusy = ATOMIC_FLAG_INIT;  // held while a thread reads or writes the pairs

static_assert(sizeof(ACMSTREAMHEADER) == 84, "the ACM stream header is 84 bytes");

// The codecs are taken when the first file asks for one, not at the ACM's load: a program that
// decodes nothing through ACM opens none.
enum { kHoldNone, kHoldTaking, kHoldDone };
std::atomic<int> g_HoldState{kHoldNone};

BOOL CALLBACK HoldCodec(HACMDRIVERID Id, DWORD_PTR, DWORD)
{
    HACMDRIVER codec = nullptr;
    if (g_Platform.HeldCount == kHeldCodecSlots || g_Platform.acmDriverOpen(&codec, Id, 0) != 0 || codec == nullptr) {
        g_Platform.HeldAll = false;
        return g_Platform.HeldCount < kHeldCodecSlots;
    }
    g_Platform.HeldIds[g_Platform.HeldCount] = Id;
    g_Platform.Held[g_Platform.HeldCount++] = codec;
    return TRUE;
}

// True once the codecs are held (taken now by the first caller); false while another thread
// takes them, which then searches as ACM does.
bool CodecsHeld()
{
    int state = g_HoldState.load(std::memory_order_acquire);
    if (state == kHoldNone && g_HoldState.compare_exchange_strong(state, kHoldTaking, std::memory_order_acquire)) {
        g_Platform.HeldAll = true;
        if (g_Platform.acmDriverEnum(HoldCodec, 0, 0) != 0) g_Platform.HeldAll = false;
        g_HoldState.store(kHoldDone, std::memory_order_release);
        return true;
    }
    return state == kHoldDone;
}

// The held codec that opened a recent stream from Src (Bytes long) to Dest, or null. A thread
// that finds the pairs in use by another searches.
HACMDRIVER KnownCodec(const void *Src, uint32_t Bytes, const SoundWaveFormat *Dest)
{
    if (g_StreamCodecsBusy.test_and_set(std::memory_order_acquire)) return nullptr;
    HACMDRIVER codec = nullptr;
    for (const StreamCodec &slot : g_Platform.StreamCodecs) {
        if (slot.SrcBytes == Bytes && memcmp(slot.Src, Src, Bytes) == 0 &&
            memcmp(&slot.Dest, Dest, sizeof slot.Dest) == 0) {
            codec = slot.Codec;
            break;
        }
    }
    g_StreamCodecsBusy.clear(std::memory_order_release);
    return codec;
}

// Remembers the codec a search found for Stream, when it is one of those held.
void RememberCodec(const void *Src, uint32_t Bytes, const SoundWaveFormat *Dest, HACMSTREAM Stream)
{
    HACMDRIVERID id = nullptr;
    if (g_Platform.acmDriverID((HACMOBJ)Stream, &id, 0) != 0) return;
    HACMDRIVER codec = nullptr;
    for (int i = 0; i < g_Platform.HeldCount; i++)
        if (g_Platform.HeldIds[i] == id) codec = g_Platform.Held[i];
    if (codec == nullptr || g_StreamCodecsBusy.test_and_set(std::memory_order_acquire)) return;
    StreamCodec &slot = g_Platform.StreamCodecs[g_Platform.NextStreamCodec];
    g_Platform.NextStreamCodec = (g_Platform.NextStreamCodec + 1) % kStreamCodecSlots;
    slot.SrcBytes = Bytes;
    memcpy(slot.Src, Src, Bytes);
    memcpy(&slot.Dest, Dest, sizeof slot.Dest);
    slot.Codec = codec;
    g_StreamCodecsBusy.clear(std::memory_order_release);
}

// The held codecs are asked in the order ACM asks them; ACM itself asks when one it would ask
// is not held.
int AcmFormatSuggest(const void *Src, SoundWaveFormat *Dest)
{
    if (!CodecsHeld() || !g_Platform.HeldAll) {
        return g_Platform.acmFormatSuggest(nullptr, (LPWAVEFORMATEX)Src, (LPWAVEFORMATEX)Dest, sizeof *Dest,
                                           ACM_FORMATSUGGESTF_WFORMATTAG) == 0
                   ? 0
                   : -1;
    }
    for (int i = 0; i < g_Platform.HeldCount; i++) {
        SoundWaveFormat suggested = *Dest;
        if (g_Platform.acmFormatSuggest(g_Platform.Held[i], (LPWAVEFORMATEX)Src, (LPWAVEFORMATEX)&suggested,
                                        sizeof suggested, ACM_FORMATSUGGESTF_WFORMATTAG) == 0) {
            *Dest = suggested;
            return 0;
        }
    }
    return -1;
}

int AcmMaxFormatSize(void)
{
    DWORD size = 0;
    if (g_Platform.acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size) != 0 || size > 0x7FFFFFFF) return -1;
    return (int)size;
}

// A stream on Codec, or on the codec ACM finds when Codec is null.
HACMSTREAM OpenOn(HACMDRIVER Codec, const void *Src, const SoundWaveFormat *Dest)
{
    HACMSTREAM stream = nullptr;
    if (g_Platform.acmStreamOpen(&stream, Codec, (LPWAVEFORMATEX)Src, (LPWAVEFORMATEX)Dest, nullptr, 0, 0,
                                 ACM_STREAMOPENF_NONREALTIME) != 0) {
        return nullptr;
    }
    return stream;
}

void *AcmStreamOpen(const void *Src, const SoundWaveFormat *Dest)
{
    const uint32_t bytes = (uint32_t)sizeof(WAVEFORMATEX) + ((const WAVEFORMATEX *)Src)->cbSize;
    const bool pairable = bytes <= kStreamCodecFormatBytes && CodecsHeld();
    const HACMDRIVER known = pairable ? KnownCodec(Src, bytes, Dest) : nullptr;
    HACMSTREAM stream = known != nullptr ? OpenOn(known, Src, Dest) : nullptr;
    if (stream != nullptr) return stream;
    stream = OpenOn(nullptr, Src, Dest);
    if (stream != nullptr && pairable) RememberCodec(Src, bytes, Dest, stream);
    return stream;
}

void AcmStreamClose(void *Stream) { g_Platform.acmStreamClose((HACMSTREAM)Stream, 0); }

int AcmStreamConvert(void *Stream, const void *Src, uint32_t SrcBytes, void *Dest, uint32_t DestBytes,
                     uint32_t *SrcUsed, uint32_t *DestUsed)
{
    *SrcUsed = 0;
    *DestUsed = 0;
    ACMSTREAMHEADER header;
    memset(&header, 0, sizeof header);
    header.cbStruct = sizeof header;
    header.pbSrc = (LPBYTE)Src;
    header.cbSrcLength = SrcBytes;
    header.pbDst = (LPBYTE)Dest;
    header.cbDstLength = DestBytes;
    HACMSTREAM stream = (HACMSTREAM)Stream;
    if (g_Platform.acmStreamPrepareHeader(stream, &header, 0) != 0) return -1;
    if (g_Platform.acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN) == 0) {
        *SrcUsed = header.cbSrcLengthUsed;
        *DestUsed = header.cbDstLengthUsed;
    }
    g_Platform.acmStreamUnprepareHeader(stream, &header, 0);
    return 0;
}

int64_t AcmStreamSize(void *Stream, uint32_t SrcBytes)
{
    DWORD size = 0;
    if (g_Platform.acmStreamSize((HACMSTREAM)Stream, SrcBytes, &size, ACM_STREAMSIZEF_SOURCE) != 0) return -1;
    return size;
}

const SoundAcmApi kAcmApi = {AcmFormatSuggest, AcmMaxFormatSize, AcmStreamOpen,
                             AcmStreamClose,   AcmStreamConvert, AcmStreamSize};

}  // namespace

int SoundConvert_LoadACM(void)
{
    if (SoundConvert_GetACM() != nullptr) return 0;
    if (g_Platform.Msacm32 == nullptr) g_Platform.Msacm32 = LoadLibraryA("msacm32.dll");
    if (g_Platform.Msacm32 == nullptr) return -1;
    bool all = true;
#define ZOVUZ_MSACM32_LOAD(Name, Ret, Params)                                                  \
    g_Platform.Name = (Ret(WINAPI *) Params)(void *)GetProcAddress(g_Platform.Msacm32, #Name); \
    all = all && g_Platform.Name != nullptr;
    ZOVUZ_MSACM32(ZOVUZ_MSACM32_LOAD)
#undef ZOVUZ_MSACM32_LOAD
    if (!all) return -1;
    SoundConvert_SetACM(&kAcmApi);
    return 0;
}

int SoundConvert_Platform_Terminate(void)
{
    SoundConvert_SetACM(nullptr);
    while (g_StreamCodecsBusy.test_and_set(std::memory_order_acquire)) {
    }
    memset(g_Platform.StreamCodecs, 0, sizeof g_Platform.StreamCodecs);
    g_Platform.NextStreamCodec = 0;
    g_StreamCodecsBusy.clear(std::memory_order_release);
    if (g_HoldState.exchange(kHoldNone) == kHoldDone) {
        for (int i = 0; i < g_Platform.HeldCount; i++) g_Platform.acmDriverClose(g_Platform.Held[i], 0);
    }
    g_Platform.HeldCount = 0;
    g_Platform.HeldAll = false;
    if (g_Platform.Msacm32 != nullptr) FreeLibrary(g_Platform.Msacm32);
    g_Platform.Msacm32 = nullptr;
#define ZOVUZ_MSACM32_CLEAR(Name, Ret, Params) g_Platform.Name = nullptr;
    ZOVUZ_MSACM32(ZOVUZ_MSACM32_CLEAR)
#undef ZOVUZ_MSACM32_CLEAR
    return 0;
}

int InitializeSoundConvert(void)
{
    if (g_Platform.InitializeFlag) return -1;
    if (SoundConvert_LoadACM() != 0) return -1;
    g_Platform.InitializeFlag = 1;
    return 0;
}

int TerminateSoundConvert(void)
{
    if (!g_Platform.InitializeFlag) return -1;
    if (SoundConvert_Platform_Terminate() != 0) return -1;
    g_Platform.InitializeFlag = 0;
    return 0;
}
