// Theora decoding of 120 frames of a 640 x 480 movie into 32-bit XRGB: through the library's
// decoder (its decode thread, frame stock and XRGB image, a frame at a time as the clock moves),
// and through a plain libtheora loop (packets in, each frame out and converted by a plain
// per-pixel YUV-to-RGB) in the same run. The ratio is the library's time over the plain loop's.
// The movie is written at build time by tests/data/movie/make_movies.sh (bench mode).
#include "bench/support/bench_clock.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "zovuz/movie/theora_decode_internal.h"

namespace {

constexpr int kFrames = 120;

std::vector<unsigned char> ReadFile(const std::string &Path)
{
    std::vector<unsigned char> data;
    FILE *f = fopen(Path.c_str(), "rb");
    if (f == nullptr) return data;
    unsigned char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) data.insert(data.end(), buffer, buffer + n);
    fclose(f);
    return data;
}

inline uint8_t Clamp(int Value) { return (uint8_t)(Value < 0 ? 0 : Value > 255 ? 255 : Value); }

// The plain conversion: BT.601 limited range in 16.16 fixed point, chroma shared by 2 x 2 pixels.
void PlainYuvToRgb(const yuv_buffer &Yuv, const theora_info &Info, std::vector<uint32_t> &Out)
{
    const int w = (int)Info.frame_width, h = (int)Info.frame_height;
    for (int y = 0; y < h; ++y) {
        const unsigned char *luma = Yuv.y + (ptrdiff_t)(Info.offset_y + y) * Yuv.y_stride + Info.offset_x;
        const unsigned char *u = Yuv.u + (ptrdiff_t)((Info.offset_y + y) / 2) * Yuv.uv_stride + Info.offset_x / 2;
        const unsigned char *v = Yuv.v + (ptrdiff_t)((Info.offset_y + y) / 2) * Yuv.uv_stride + Info.offset_x / 2;
        uint32_t *out = Out.data() + (size_t)y * w;
        for (int x = 0; x < w; ++x) {
            int l = 76309 * (luma[x] - 16), cu = u[x / 2] - 128, cv = v[x / 2] - 128;
            out[x] = 0xFF000000u | (uint32_t)Clamp((l + 104597 * cv) >> 16) << 16 |
                     (uint32_t)Clamp((l - 25675 * cu - 53279 * cv) >> 16) << 8 | Clamp((l + 132201 * cu) >> 16);
        }
    }
}

// The plain libtheora loop over the whole file: seconds for every frame decoded and converted.
double PlainDecode(const std::vector<unsigned char> &File, int *Frames)
{
    ogg_sync_state sync;
    ogg_stream_state stream;
    ogg_page page;
    ogg_packet packet;
    theora_info info;
    theora_comment comment;
    theora_state decoder;
    ogg_sync_init(&sync);
    theora_info_init(&info);
    theora_comment_init(&comment);
    char *buffer = ogg_sync_buffer(&sync, (long)File.size());
    memcpy(buffer, File.data(), File.size());
    ogg_sync_wrote(&sync, (long)File.size());
    int headers = 0, streamMade = 0;
    double start = 0;
    std::vector<uint32_t> rgb;
    *Frames = 0;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!streamMade) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            streamMade = 1;
        }
        if (ogg_stream_pagein(&stream, &page) != 0) continue;
        while (ogg_stream_packetout(&stream, &packet) == 1) {
            if (headers < 3) {
                if (theora_decode_header(&info, &comment, &packet) < 0) return -1;
                if (++headers == 3) {
                    theora_decode_init(&decoder, &info);
                    rgb.resize((size_t)info.frame_width * info.frame_height);
                    start = BenchSeconds();
                }
                continue;
            }
            theora_decode_packetin(&decoder, &packet);
            yuv_buffer yuv;
            theora_decode_YUVout(&decoder, &yuv);
            PlainYuvToRgb(yuv, info, rgb);
            ++*Frames;
        }
    }
    double seconds = BenchSeconds() - start;
    if (headers == 3) theora_clear(&decoder);
    if (streamMade) ogg_stream_clear(&stream);
    theora_comment_clear(&comment);
    theora_info_clear(&info);
    ogg_sync_clear(&sync);
    return seconds;
}

// The library's decoder: each frame made current and brought into the XRGB image in turn.
double LibraryDecode(const std::vector<unsigned char> &File, int *Frames, double *OpenSeconds)
{
    double open = BenchSeconds();
    MemStream *stream = CreateMemStream(File.data(), (uint32_t)File.size());
    TheoraDecodeState *state =
        TheoraDecode_Open(GetMemStreamFunctionTable(), stream, THEORA_DEFAULT_STOCK_COUNT, 0, 1, 0);
    if (state == nullptr) return -1;
    double start = BenchSeconds();
    *OpenSeconds = start - open;
    TheoraDecodeInfo info;
    TheoraDecode_GetInfo(state, &info);
    *Frames = 0;
    for (int f = 0; f < info.FrameCount; ++f) {
        TheoraDecode_GetYUVImage(state);
        ++*Frames;
        TheoraDecode_IncToFrame(state, 1);
    }
    double seconds = BenchSeconds() - start;
    TheoraDecode_Terminate(state);
    MemStreamClose(stream);
    return seconds;
}

}  // namespace

int main()
{
    // scripts/bench gives the build folder; by hand, set TARVEX_BUILD_DIR to it.
    const char *build = getenv("TARVEX_BUILD_DIR");
    if (build == nullptr) {
        fprintf(stderr, "TARVEX_BUILD_DIR is not set\n");
        return 1;
    }
    std::vector<unsigned char> file = ReadFile(std::string(build) + "/testdata/movie/pattern_640x480.ogv");
    if (file.empty()) {
        fprintf(stderr, "no pattern_640x480.ogv in the build folder\n");
        return 1;
    }
    InitializeBaseImageTables();
    double best = 1e9, bestPlain = 1e9, open = 0;
    int frames = 0, plainFrames = 0;
    for (int round = 0; round < 3; ++round) {
        double seconds = LibraryDecode(file, &frames, &open);
        double plain = PlainDecode(file, &plainFrames);
        if (seconds < 0 || plain < 0) {
            fprintf(stderr, "the movie does not decode\n");
            return 1;
        }
        best = seconds < best ? seconds : best;
        bestPlain = plain < bestPlain ? plain : bestPlain;
    }
    if (frames != kFrames || plainFrames != kFrames) {
        fprintf(stderr, "decoded %d and %d frames, not %d\n", frames, plainFrames, kFrames);
        return 1;
    }
    printf("Theora 640x480, %d frames (open and scan of the library's decoder: %.2f ms)\n", kFrames, open * 1000);
    PrintBenchRatio("decoder thread + XRGB image", best * 1000 / kFrames, "plain libtheora + YUV->RGB",
                    bestPlain * 1000 / kFrames, "ms/frame");
    return 0;
}
