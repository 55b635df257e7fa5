// The conversion system's start and end, and the system's audio compression manager
// (msacm32), loaded at run time: its module, its eight functions, and the calls the ACM
// converter makes through them.
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <string.h>

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
    F(acmStreamSize, MMRESULT, (HACMSTREAM, DWORD, LPDWORD, DWORD))

#define ZOVUZ_MSACM32_FIELD(Name, Ret, Params) Ret(WINAPI *Name) Params;

struct SoundConvertPlatform
{
    int InitializeFlag;  // 1 between InitializeSoundConvert and TerminateSoundConvert
    HMODULE Msacm32;     // msacm32.dll, null when not loaded
    ZOVUZ_MSACM32(ZOVUZ_MSACM32_FIELD)
};
SoundConvertPlatform g_Platform;

static_assert(sizeof(ACMSTREAMHEADER) == 84, "the ACM stream header is 84 bytes");

int AcmFormatSuggest(const void *Src, SoundWaveFormat *Dest)
{
    return g_Platform.acmFormatSuggest(nullptr, (LPWAVEFORMATEX)Src, (LPWAVEFORMATEX)Dest, sizeof *Dest,
                                       ACM_FORMATSUGGESTF_WFORMATTAG) == 0
               ? 0
               : -1;
}

int AcmMaxFormatSize(void)
{
    DWORD size = 0;
    if (g_Platform.acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size) != 0 || size > 0x7FFFFFFF) return -1;
    return (int)size;
}

void *AcmStreamOpen(const void *Src, const SoundWaveFormat *Dest)
{
    HACMSTREAM stream = nullptr;
    if (g_Platform.acmStreamOpen(&stream, nullptr, (LPWAVEFORMATEX)Src, (LPWAVEFORMATEX)Dest, nullptr, 0, 0,
                                 ACM_STREAMOPENF_NONREALTIME) != 0) {
        return nullptr;
    }
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
