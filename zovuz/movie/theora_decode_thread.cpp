// The Theora decode thread: one turn at a time it ends, holds, restarts at a seek target, or
// decodes the next frame it lacks into its stock.
#include "zovuz/movie/theora_decode_internal.h"

#include <string.h>

namespace {

// Sleeps after a turn: a busy thread only yields, an idle one (or one whose data ran out) sleeps.
void RestAfterTurn(TheoraDecodeState *S)
{
    int busy = S->ThreadState != THEORA_THREAD_IDLE && !S->DataEnded;
    CRITICALSECTION_UNLOCK(&S->Lock);
    ThreadSleep(busy ? 0 : 1);
}

int FindStockEntry(const TheoraDecodeState *S, int Packet)
{
    for (int i = 0; i < S->StockCount; ++i)
        if (S->Stock[i].Used && S->Stock[i].Packet == Packet) return i;
    return -1;
}

int FindFreeEntry(const TheoraDecodeState *S)
{
    for (int i = 0; i < S->StockCount; ++i)
        if (!S->Stock[i].Used) return i;
    return -1;
}

// Decodes the next Count data packets after DecodePosition. Only the packets after the
// second-to-last keyframe among them are given to the decoder: the last keyframe, which lies
// after it, starts the picture of the last packet afresh. -1 when the stream ends first, else 1
// when the last packet was a keyframe, 0 when not.
int DecodePackets(TheoraDecodeState *S, int Count)
{
    int first = S->DecodePosition + 1;
    int last = -1, secondLast = -1;
    for (int q = first; q < first + Count && q < S->PacketCount; ++q) {
        if (S->KeyframeTable[q]) {
            secondLast = last;
            last = q;
        }
    }
    int decoded = 0;
    while (decoded < Count) {
        if (!TheoraDecode_NextPacket(S, nullptr, nullptr, nullptr)) return -1;
        if (theora_packet_iskeyframe(&S->Packet) < 0) continue;  // headers do not count
        int number = S->DecodePosition + 1;
        if (secondLast == -1 || secondLast <= S->DecodePosition) theora_decode_packetin(&S->Decoder, &S->Packet);
        if (S->Packet.granulepos >= 0) {
            ogg_int64_t granule = S->Packet.granulepos;
            theora_control(&S->Decoder, TH_DECCTL_SET_GRANPOS, &granule, sizeof(granule));
        }
        S->DecodePosition = number;
        ++decoded;
    }
    return S->DecodePosition >= 0 && S->DecodePosition < S->PacketCount && S->KeyframeTable[S->DecodePosition] ? 1 : 0;
}

// Restarts decoding at the top and decodes up to and including Target. -1 when the stream ends
// before it.
int DecodeFromTop(TheoraDecodeState *S, int Target)
{
    TheoraDecode_Rewind(S);
    S->DecodePosition = -1;
    return DecodePackets(S, Target + 1) < 0 ? -1 : 0;
}

// Frees the stock entries that the current packet will not reach soon: those decoded beyond
// the next StockCount packets, and those behind it unless the next StockCount packets reach
// them across the end of the movie.
void FreeStaleEntries(TheoraDecodeState *S)
{
    for (int i = 0; i < S->StockCount; ++i) {
        TheoraFrameStockEntry &e = S->Stock[i];
        if (!e.Used) continue;
        bool ahead = e.Packet > S->DecodePosition && e.Packet > S->CurrentPacket + S->StockCount;
        bool behind = e.Packet < S->CurrentPacket && e.Packet + S->PacketCount - S->CurrentPacket >= S->StockCount;
        if (ahead || behind) e.Used = 0;
    }
}

bool Reserve(uint8_t *&Buffer, size_t &Bytes, size_t Needed)
{
    if (Needed <= Bytes && Buffer != nullptr) return true;
    uint8_t *grown = (uint8_t *)DXALLOC(Needed);
    if (grown == nullptr) return false;
    DXFREE(Buffer);
    Buffer = grown;
    Bytes = Needed;
    return true;
}

// The decoder's last frame, cropped to the picture, into a stock entry. false when its buffers
// cannot be had.
bool StoreFrame(TheoraDecodeState *S, TheoraFrameStockEntry &E)
{
    yuv_buffer yuv;
    memset(&yuv, 0, sizeof(yuv));
    if (theora_decode_YUVout(&S->Decoder, &yuv) != 0 || yuv.y == nullptr || yuv.u == nullptr || yuv.v == nullptr ||
        yuv.uv_width <= 0 || yuv.uv_height <= 0)
        return false;
    // Chroma is at full size or halved in each direction.
    int shiftX = yuv.uv_width < yuv.y_width ? 1 : 0;
    int shiftY = yuv.uv_height < yuv.y_height ? 1 : 0;
    int cx = S->OffsetX >> shiftX, cy = S->OffsetY >> shiftY;
    int cw = ((S->OffsetX + S->Width + shiftX) >> shiftX) - cx;
    int ch = ((S->OffsetY + S->Height + shiftY) >> shiftY) - cy;
    if (S->OffsetX + S->Width > yuv.y_width || S->OffsetY + S->Height > yuv.y_height || cx + cw > yuv.uv_width ||
        cy + ch > yuv.uv_height)
        return false;
    if (!Reserve(E.YBuffer, E.YBytes, (size_t)S->Width * S->Height) ||
        !Reserve(E.UVBuffer, E.UVBytes, (size_t)cw * ch * 2))
        return false;
    E.YWidth = S->Width;
    E.YHeight = S->Height;
    E.YPitch = S->Width;
    E.UVWidth = cw;
    E.UVHeight = ch;
    E.UVPitch = cw * 2;
    for (int y = 0; y < S->Height; ++y)
        memcpy(E.YBuffer + (size_t)y * E.YPitch, yuv.y + (ptrdiff_t)(S->OffsetY + y) * yuv.y_stride + S->OffsetX,
               (size_t)S->Width);
    for (int y = 0; y < ch; ++y) {
        const uint8_t *u = yuv.u + (ptrdiff_t)(cy + y) * yuv.uv_stride + cx;
        const uint8_t *v = yuv.v + (ptrdiff_t)(cy + y) * yuv.uv_stride + cx;
        uint8_t *out = E.UVBuffer + (size_t)y * E.UVPitch;
        for (int x = 0; x < cw; ++x) {
            out[x * 2] = u[x];
            out[x * 2 + 1] = v[x];
        }
    }
    return true;
}

void DecodeThreadProc(ThreadRecord *, void *Param)
{
    TheoraDecodeState *S = (TheoraDecodeState *)Param;
    while (TheoraDecode_ThreadStep(S) != 2) {
    }
}

}  // namespace

int TheoraDecode_CreateDecodeThread(TheoraDecodeState *S)
{
    S->HoldRequest = 1;
    S->ThreadState = THEORA_THREAD_IDLE;
    S->IdleSince = GetNowMilliCount();
    if (ThreadCreate(&S->Thread, DecodeThreadProc, S) != 0) {
        AddLogStringWide(L"Theora ムービーデコード用スレッドの作成に失敗しました\n");
        return -1;
    }
    S->ThreadMade = 1;
    while (ThreadResume(&S->Thread) == 0) ThreadSleep(0);
    return 0;
}

int TheoraDecode_ThreadStep(TheoraDecodeState *S)
{
    CRITICALSECTION_LOCK(&S->Lock);
    if (S->EndRequest) {
        S->ThreadState = THEORA_THREAD_ENDED;
        CRITICALSECTION_UNLOCK(&S->Lock);
        return 2;
    }
    if (S->HoldRequest) {
        S->ThreadState = THEORA_THREAD_HOLDING;
        CRITICALSECTION_UNLOCK(&S->Lock);
        ThreadSleep(1);
        return 0;
    }
    if (S->ResetRequest) {
        S->ThreadState = THEORA_THREAD_RESET;
        int target = S->SeekPacket;
        bool covered = false;
        for (int i = 0; i < S->PageCount && !covered; ++i)
            covered = S->PageTable[i].FirstPacket + S->PageTable[i].PacketCount > target;
        CRITICALSECTION_UNLOCK(&S->Lock);
        // A target no page holds cannot be decoded: the reset ends as if the data had.
        int result = covered ? DecodeFromTop(S, target) : -1;
        CRITICALSECTION_LOCK(&S->Lock);
        for (int i = 0; i < S->StockCount; ++i) S->Stock[i].Used = 0;
        S->DecodePosition = result == 0 ? target : S->DecodePosition;
        S->ResetRequest = 0;
        S->DataEnded = result == 0 ? 0 : 1;
        CRITICALSECTION_UNLOCK(&S->Lock);
        return 0;
    }
    if (!S->Opened) {
        int state = S->ThreadState;
        CRITICALSECTION_UNLOCK(&S->Lock);
        ThreadSleep(state != THEORA_THREAD_IDLE ? 0 : 1);
        return 0;
    }

    if (!S->DataEnded) FreeStaleEntries(S);
    if (FindFreeEntry(S) < 0) {
        if (FindStockEntry(S, S->CurrentPacket) >= 0) {
            if (S->ThreadState != THEORA_THREAD_IDLE) {
                S->ThreadState = THEORA_THREAD_IDLE;
                S->IdleSince = GetNowMilliCount();
            }
        } else {
            for (int i = 0; i < S->StockCount; ++i) S->Stock[i].Used = 0;
        }
        RestAfterTurn(S);
        return 0;
    }

    S->ThreadState = THEORA_THREAD_DECODING;
    // The frame the decoder holds goes into the stock when it is missing there and the current
    // frame will reach it; a frame it will not reach soon (the current frame went round the end)
    // would only be freed again, so decoding goes on instead.
    bool decode = !(FindStockEntry(S, S->DecodePosition) < 0 && S->CurrentPacket <= S->DecodePosition &&
                    S->DecodePosition - S->CurrentPacket < S->StockCount);
    if (decode) {
        int step = FindStockEntry(S, S->CurrentPacket) < 0 && S->CurrentPacket > S->DecodePosition
                       ? S->CurrentPacket - S->DecodePosition
                       : 1;
        int result;
        if (S->DecodePosition + step >= S->PacketCount) {
            // Across the end of the stream: decode from the top up to and including the packet
            // the step lands on, so each stocked frame carries its own number.
            int target = (int)((S->DecodePosition + step) % S->PacketCount);
            CRITICALSECTION_UNLOCK(&S->Lock);
            result = DecodeFromTop(S, target);
        } else {
            CRITICALSECTION_UNLOCK(&S->Lock);
            result = DecodePackets(S, step) < 0 ? -1 : 0;
        }
        CRITICALSECTION_LOCK(&S->Lock);
        if (result < 0) {
            S->DataEnded = 1;
            CRITICALSECTION_UNLOCK(&S->Lock);
            ThreadSleep(1);
            return 0;
        }
    }

    int entry = FindFreeEntry(S);
    if (entry >= 0) {
        CRITICALSECTION_UNLOCK(&S->Lock);
        TheoraFrameStockEntry &e = S->Stock[entry];
        bool stored = StoreFrame(S, e);
        CRITICALSECTION_LOCK(&S->Lock);
        if (stored) {
            e.Packet = S->DecodePosition;
            e.Used = 1;
        } else {
            // A frame that cannot be stocked ends the decoding in order; the caller stops waiting.
            S->DataEnded = 1;
        }
    }
    RestAfterTurn(S);
    return 0;
}
