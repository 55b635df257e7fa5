// The Theora decoder's open (headers and the scan into the page, keyframe and frame tables), its
// end, and the moves of the current frame.
#include "zovuz/movie/theora_decode_internal.h"

#include <limits.h>
#include <string.h>

namespace {

// A granule position that puts the frame count this far ahead of the packets is taken as
// damage: the frame table would otherwise grow without bound.
constexpr int64_t MaxFrameLead = 1 << 20;

// The largest picture the frame image is made for (4 bytes a pixel within an int).
constexpr int64_t MaxPictureBytes = INT_MAX / 2;

void LogLine(const wchar_t *Text) { AddLogStringWide(Text); }

// Appends to a table that grows in steps of THEORA_TABLE_STEP entries. false when out of memory.
template <class T>
bool GrowTable(T *&Table, int &Capacity, int Needed)
{
    if (Needed <= Capacity) return true;
    int64_t capacity = ((int64_t)Needed + THEORA_TABLE_STEP - 1) / THEORA_TABLE_STEP * THEORA_TABLE_STEP;
    if (capacity * (int64_t)sizeof(T) > INT_MAX) return false;
    T *grown = (T *)DXREALLOC(Table, (size_t)capacity * sizeof(T));
    if (grown == nullptr) return false;
    Table = grown;
    Capacity = (int)capacity;
    return true;
}

// The ident header and the two that follow. false when a header is refused or the data ends
// before all three.
bool ReadHeaders(TheoraDecodeState *S)
{
    while (S->HeaderCount == 0) {
        if (ogg_sync_pageout(&S->Sync, &S->Page) != 1) {
            if (TheoraDecode_ReadData(S) == 0) return false;
            continue;
        }
        // Past the beginning-of-stream pages without a Theora stream: none follows.
        if (!ogg_page_bos(&S->Page)) return false;
        ogg_stream_state test;
        if (ogg_stream_init(&test, ogg_page_serialno(&S->Page)) != 0) return false;
        ogg_packet packet;
        if (ogg_stream_pagein(&test, &S->Page) == 0 && ogg_stream_packetout(&test, &packet) == 1 &&
            theora_decode_header(&S->Info, &S->Comment, &packet) >= 0) {
            S->StreamState = test;
            S->StreamMade = 1;
            S->SerialNo = ogg_page_serialno(&S->Page);
            S->HeaderCount = 1;
        } else {
            ogg_stream_clear(&test);
        }
    }
    while (S->HeaderCount < 3) {
        int got = ogg_stream_packetout(&S->StreamState, &S->Packet);
        if (got < 0) return false;
        if (got == 1) {
            if (theora_decode_header(&S->Info, &S->Comment, &S->Packet) < 0) return false;
            ++S->HeaderCount;
            continue;
        }
        if (ogg_sync_pageout(&S->Sync, &S->Page) == 1) {
            ogg_stream_pagein(&S->StreamState, &S->Page);  // another stream's page is refused
        } else if (TheoraDecode_ReadData(S) == 0) {
            return false;
        }
    }
    return true;
}

// The scan of step 6: every data packet once, into the three tables.
bool ScanStream(TheoraDecodeState *S)
{
    int64_t p = 0, f = 0, bytes = 0, pagePosition = 0;
    for (;;) {
        int newPage = 0;
        if (!TheoraDecode_NextPacket(S, &bytes, &pagePosition, &newPage)) break;
        if (theora_packet_iskeyframe(&S->Packet) < 0) continue;  // a header
        if (p >= INT_MAX - 1) return false;
        // The granule position names the frame this packet completes (libtheora counts frames
        // from 0 here; its granule time is the frame's end, one frame late).
        if (S->Packet.granulepos >= 0) {
            int64_t frame = theora_granule_frame(&S->Decoder, S->Packet.granulepos);
            if (frame >= 0 && frame <= S->FrameCount + MaxFrameLead) f = frame;
        }
        if (newPage || S->PageCount == 0) {
            if (!GrowTable(S->PageTable, S->PageCapacity, S->PageCount + 1)) {
                LogLine(L"Theora ページ情報格納用メモリの確保に失敗しました\n");
                return false;
            }
            S->PageTable[S->PageCount++] = {(int32_t)pagePosition, (int32_t)p, 0, 0};
        }
        if (!GrowTable(S->KeyframeTable, S->KeyframeCapacity, (int)p + 1)) {
            LogLine(L"Theora キーフレーム情報格納用メモリの確保に失敗しました\n");
            return false;
        }
        S->KeyframeTable[p] = theora_packet_iskeyframe(&S->Packet) == 1 ? 1 : 0;
        while (f >= S->FrameCount) {
            if (!GrowTable(S->FrameTable, S->FrameCapacity, S->FrameCount + 1)) {
                LogLine(L"Theora タイムフレームとデータフレーム対応情報格納用メモリの確保に失敗しました\n");
                return false;
            }
            S->FrameTable[S->FrameCount++] = (int)p;
        }
        ++p;
        ++f;
        ++S->PageTable[S->PageCount - 1].PacketCount;
    }
    if (S->PageCount > 0) S->PageTable[0].Position = 0;
    S->PacketCount = p;
    return true;
}

bool MakeFrameStock(TheoraDecodeState *S)
{
    S->YGraph = -1;
    S->UVGraph = -1;
    if ((int64_t)S->Width * S->Height * 4 > MaxPictureBytes ||
        CreateXRGB8ColorBaseImage(S->Width, S->Height, &S->FrameImage) != 0) {
        LogLine(L"Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました\n");
        return false;
    }
    S->Stock = (TheoraFrameStockEntry *)DXCALLOC(sizeof(TheoraFrameStockEntry) * (size_t)S->StockCount);
    if (S->Stock == nullptr) {
        LogLine(L"Theora ムービーデコードフレームストック用のメモリ確保に失敗しました\n");
        return false;
    }
    return true;
}

}  // namespace

int TheoraDecode_ReadData(TheoraDecodeState *S)
{
    char *buffer = ogg_sync_buffer(&S->Sync, 4096);
    if (buffer == nullptr) return 0;
    size_t got = S->StreamOps.Read(buffer, 1, 4096, S->Stream);
    if (got > 4096) got = 0;
    ogg_sync_wrote(&S->Sync, (long)got);
    return (int)got;
}

int TheoraDecode_NextPacket(TheoraDecodeState *S, int64_t *ByteCount, int64_t *PagePosition, int *NewPage)
{
    for (;;) {
        int got = ogg_stream_packetout(&S->StreamState, &S->Packet);
        if (got == 1) return 1;
        if (got < 0) continue;  // a gap in the stream: the packets after it still count
        int page = ogg_sync_pageout(&S->Sync, &S->Page);
        if (page == 1) {
            int64_t start = ByteCount != nullptr ? *ByteCount : 0;
            if (ByteCount != nullptr) *ByteCount += S->Page.header_len + S->Page.body_len;
            if (ogg_page_serialno(&S->Page) == S->SerialNo && ogg_stream_pagein(&S->StreamState, &S->Page) == 0) {
                if (NewPage != nullptr) *NewPage = 1;
                if (PagePosition != nullptr) *PagePosition = start;
            }
        } else if (page == 0 && TheoraDecode_ReadData(S) == 0) {
            return 0;
        }
    }
}

void TheoraDecode_Rewind(TheoraDecodeState *S)
{
    ogg_sync_reset(&S->Sync);
    ogg_stream_reset(&S->StreamState);
    S->StreamOps.Seek(S->Stream, 0, FILE_SEEK_SET);
}

TheoraDecodeState *TheoraDecode_Open(const StreamFunctionTable *Ops, void *Stream, int StockCount, int OptionWord,
                                     int NoYUVGraphs, int ASyncThread)
{
    if (Ops == nullptr || Stream == nullptr || StockCount < 1) return nullptr;
    char magic[4];
    if (Ops->Read(magic, 1, 4, Stream) != 4 || memcmp(magic, "OggS", 4) != 0) return nullptr;
    Ops->Seek(Stream, 0, FILE_SEEK_SET);

    TheoraDecodeState *S = (TheoraDecodeState *)DXCALLOC(sizeof(TheoraDecodeState));
    if (S == nullptr) {
        LogLine(L"Theora ムービーデコード処理用のメモリ確保に失敗しました\n");
        return nullptr;
    }
    CriticalSectionInitialize(&S->Lock);
    S->DecodePosition = -1;
    S->CurrentPacket = -1;
    S->YGraph = -1;
    S->UVGraph = -1;
    S->OptionWord = OptionWord;
    S->NoYUVGraphs = NoYUVGraphs;
    S->StockCount = StockCount;
    S->StreamOps = *Ops;
    S->Stream = Stream;
    TheoraDecode_Platform_Init(S);
    ogg_sync_init(&S->Sync);
    S->SyncMade = 1;
    theora_info_init(&S->Info);
    theora_comment_init(&S->Comment);
    S->InfoMade = 1;

    bool ok = ReadHeaders(S) && S->Info.fps_numerator != 0 && S->Info.fps_denominator != 0 && S->Info.frame_width > 0 &&
              S->Info.frame_height > 0 && S->Info.offset_x + S->Info.frame_width <= S->Info.width &&
              S->Info.offset_y + S->Info.frame_height <= S->Info.height;
    if (ok) ok = theora_decode_init(&S->Decoder, &S->Info) == 0;
    if (ok) {
        S->DecoderMade = 1;
        S->SecondsPerFrame = 1.0 / ((double)S->Info.fps_numerator / S->Info.fps_denominator);
        S->Width = (int)S->Info.frame_width;
        S->Height = (int)S->Info.frame_height;
        S->OffsetX = (int)S->Info.offset_x;
        S->OffsetY = (int)S->Info.offset_y;
        TheoraDecode_Rewind(S);
        ok = ScanStream(S);
    }
    // A stream with headers and no frame has nothing to show.
    if (ok) ok = S->FrameCount > 0 && S->PacketCount > 0;
    if (ok) {
        TheoraDecode_SurfaceTerminate(S, ASyncThread);
        TheoraDecode_Rewind(S);
        ok = MakeFrameStock(S) && TheoraDecode_CreateDecodeThread(S) == 0;
    }
    if (!ok) {
        TheoraDecode_Terminate(S);
        return nullptr;
    }
    TheoraDecode_SeekToFrame(S, 0);
    {
        CRITICALSECTION_GUARD(guard, &S->Lock);
        S->Opened = 1;
    }
    TheoraDecode_SetupImage(S, 1, 1, 1, ASyncThread);
    return S;
}

int TheoraDecode_Terminate(TheoraDecodeState *S)
{
    if (S == nullptr) return -1;
    if (S->ThreadMade) {
        CRITICALSECTION_LOCK(&S->Lock);
        S->EndRequest = 1;
        while (S->ThreadState != THEORA_THREAD_ENDED) {
            CRITICALSECTION_UNLOCK(&S->Lock);
            ThreadSleep(1);
            CRITICALSECTION_LOCK(&S->Lock);
        }
        CRITICALSECTION_UNLOCK(&S->Lock);
        ThreadRelease(&S->Thread);
        S->ThreadMade = 0;
    }
    if (S->Stock != nullptr) {
        for (int i = 0; i < S->StockCount; ++i) {
            DXFREE(S->Stock[i].YBuffer);
            DXFREE(S->Stock[i].UVBuffer);
        }
        DXFREE(S->Stock);
    }
    TheoraDecode_SurfaceTerminate(S, 0);
    DXFREE(S->PageTable);
    DXFREE(S->KeyframeTable);
    DXFREE(S->FrameTable);
    ReleaseBaseImage(&S->FrameImage);
    if (S->YGraph >= 0) SubHandle(S->YGraph);
    if (S->UVGraph >= 0) SubHandle(S->UVGraph);
    if (S->StreamMade) ogg_stream_clear(&S->StreamState);
    if (S->DecoderMade) theora_clear(&S->Decoder);
    if (S->InfoMade) {
        theora_comment_clear(&S->Comment);
        theora_info_clear(&S->Info);
    }
    if (S->SyncMade) ogg_sync_clear(&S->Sync);
    CriticalSectionDelete(&S->Lock);
    DXFREE(S);
    return 0;
}

int TheoraDecode_GetInfo(TheoraDecodeState *S, TheoraDecodeInfo *Info)
{
    if (S == nullptr || Info == nullptr) return -1;
    Info->FrameRate = (double)S->Info.fps_numerator / S->Info.fps_denominator;
    Info->FrameCount = S->FrameCount;
    Info->Width = S->Width;
    Info->Height = S->Height;
    return 0;
}

int TheoraDecode_GetCurrentFrame(TheoraDecodeState *S) { return S != nullptr ? S->CurrentFrame : -1; }

int TheoraDecode_IncToFrame(TheoraDecodeState *S, int Count)
{
    if (S == nullptr || Count <= 0) return 0;
    CRITICALSECTION_GUARD(guard, &S->Lock);
    // Any count lands inside the movie, however many times it goes round.
    S->CurrentFrame = (int)(((int64_t)S->CurrentFrame + Count) % S->FrameCount);
    S->CurrentPacket = S->FrameTable[S->CurrentFrame];
    S->ImageReady = 0;
    S->SurfaceReady = 0;
    S->YUVGraphsReady = 0;
    return 0;
}

int TheoraDecode_SeekToFrame(TheoraDecodeState *S, int Frame)
{
    if (S == nullptr || Frame < 0 || Frame >= S->FrameCount) return -1;
    CRITICALSECTION_LOCK(&S->Lock);
    int target = S->FrameTable[Frame];
    if (target == S->CurrentPacket) {
        S->CurrentFrame = Frame;
        CRITICALSECTION_UNLOCK(&S->Lock);
        return 0;
    }
    S->ImageReady = 0;
    S->SurfaceReady = 0;
    S->YUVGraphsReady = 0;
    S->HoldRequest = 1;
    while (S->ThreadState != THEORA_THREAD_HOLDING) {
        CRITICALSECTION_UNLOCK(&S->Lock);
        ThreadSleep(0);
        CRITICALSECTION_LOCK(&S->Lock);
    }
    S->CurrentPacket = target;
    S->CurrentFrame = Frame;
    S->SeekPacket = target;
    S->ResetRequest = 1;
    S->HoldRequest = 0;
    CRITICALSECTION_UNLOCK(&S->Lock);
    return 0;
}
