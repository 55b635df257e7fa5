// A decoded movie frame in the forms the graph layer draws from, shared by the Theora decoder
// and the platform players: planar 4:2:0 split into a luma plane and an interleaved chroma
// plane, converted to 32-bit XRGB, or transferred into one- and two-channel graphs.
#include "zovuz/movie/movie_internal.h"

#include <string.h>

namespace {

inline uint8_t Clamp(int Value) { return BaseImageTables.ClampBytes[Value + 512]; }

// Where the planes of a planar frame lie in its buffer.
struct PlanarLayout
{
    size_t LumaPitch, ChromaPitch;
    size_t UOffset, VOffset, Size;
};

PlanarLayout Layout(size_t LumaPitch, size_t LumaRows, size_t ChromaPitch, size_t ChromaRows, int Height)
{
    PlanarLayout l;
    l.LumaPitch = LumaPitch;
    l.ChromaPitch = ChromaPitch;
    l.UOffset = LumaPitch * LumaRows;
    l.VOffset = l.UOffset + ChromaPitch * ChromaRows;
    l.Size = l.VOffset + ChromaPitch * (size_t)(Height / 2);
    return l;
}

}  // namespace

int MovieFrame_SplitIYUV(const uint8_t *Source, size_t Length, int Width, int Height, uint8_t *Luma, int LumaPitch,
                         uint8_t *Chroma, int ChromaPitch)
{
    if (Source == nullptr || Luma == nullptr || Chroma == nullptr || Width <= 0 || Height <= 0) return -1;
    size_t w = (size_t)Width, h = (size_t)Height;
    // Decoders that work in 16 x 16 blocks pad the luma to 16 rows and the chroma to 8, at
    // pitches of 16 and 8 bytes; others pack the planes tightly. The buffer's length tells which.
    PlanarLayout padded = Layout((w + 15) & ~(size_t)15, (h + 15) & ~(size_t)15, (w / 2 + 7) & ~(size_t)7,
                                 (h / 2 + 7) & ~(size_t)7, Height);
    PlanarLayout tight = Layout(w, h, (w + 1) / 2, (h + 1) / 2, Height);
    const PlanarLayout *l;
    if (Length == tight.Size)
        l = &tight;
    else if (Length >= padded.Size)
        l = &padded;
    else if (Length >= tight.Size)
        l = &tight;
    else
        return -1;
    for (size_t y = 0; y < h; ++y) memcpy(Luma + y * (size_t)LumaPitch, Source + y * l->LumaPitch, w);
    for (size_t y = 0; y < h / 2; ++y) {
        const uint8_t *u = Source + l->UOffset + y * l->ChromaPitch;
        const uint8_t *v = Source + l->VOffset + y * l->ChromaPitch;
        uint8_t *out = Chroma + y * (size_t)ChromaPitch;
        for (size_t x = 0; x < w / 2; ++x) {
            out[x * 2] = u[x];
            out[x * 2 + 1] = v[x];
        }
    }
    return 0;
}

void MovieFrame_YUV420ToXRGB(const MovieYUVFrame *Frame, BASEIMAGE *Image)
{
    if (Image == nullptr || Image->Pixels == nullptr || Frame->UVWidth <= 0 || Frame->UVHeight <= 0) return;
    const BaseImageTableData &t = BaseImageTables;
    int width = Frame->YWidth < Image->Width ? Frame->YWidth : Image->Width;
    int height = Frame->YHeight < Image->Height ? Frame->YHeight : Image->Height;
    for (int y = 0; y < height; ++y) {
        const uint8_t *luma = Frame->Y + (size_t)y * Frame->YPitch;
        // An odd last row or column shares the chroma of the one before it.
        int cy = (y >> 1) < Frame->UVHeight ? (y >> 1) : Frame->UVHeight - 1;
        const uint8_t *chroma = Frame->UV + (size_t)cy * Frame->UVPitch;
        uint8_t *out = (uint8_t *)Image->Pixels + (size_t)y * Image->Pitch;
        for (int x = 0; x < width; ++x) {
            int cx = (x >> 1) < Frame->UVWidth ? (x >> 1) : Frame->UVWidth - 1;
            int u = chroma[cx * 2], v = chroma[cx * 2 + 1];
            int l = t.YuvLuma[luma[x]];
            out[x * 4 + 0] = Clamp((l + t.YuvUToBlue[u]) >> 14);
            out[x * 4 + 1] = Clamp((l + t.YuvUToGreen[u] + t.YuvVToGreen[v]) >> 14);
            out[x * 4 + 2] = Clamp((l + t.YuvVToRed[v]) >> 14);
            out[x * 4 + 3] = 255;
        }
    }
}

namespace {

// A one- or two-channel 8-bit image over a plane, for the transfer into a graph.
BASEIMAGE ChannelImage(const uint8_t *Pixels, int Width, int Height, int Pitch, int Channels)
{
    BASEIMAGE image;
    memset(&image, 0, sizeof(image));
    SetColorData(&image.ColorData, 0, 0, 0, 0, 0, Channels, 8, 0);
    image.Width = Width;
    image.Height = Height;
    image.Pitch = Pitch;
    image.Pixels = const_cast<uint8_t *>(Pixels);
    return image;
}

int MakeChannelGraph(int *Graph, int Width, int Height, int Channels, int ASyncThread)
{
    if (*Graph >= 0) return 0;
    GraphCreateParam param;
    InitLoadGraphParam(&param, 32, 0, 0);
    param.ChannelNum = Channels;
    param.ChannelBitDepth = 8;
    *Graph = MakeGraphWithCreateParam(&param, Width, Height, 0, 0, 0, 0, ASyncThread);
    if (*Graph < 0) return -1;
    // The graph's deletion clears the caller's handle.
    SetHandleDeleteNotify(*Graph, Graph);
    return 0;
}

}  // namespace

int MovieFrame_TransferToGraphs(const MovieYUVFrame *Frame, int *YGraph, int *UVGraph, int ASyncThread)
{
    if (MakeChannelGraph(YGraph, Frame->YWidth, Frame->YHeight, 1, ASyncThread) != 0 ||
        MakeChannelGraph(UVGraph, Frame->UVWidth, Frame->UVHeight, 2, ASyncThread) != 0)
        return -1;
    BASEIMAGE luma = ChannelImage(Frame->Y, Frame->YWidth, Frame->YHeight, Frame->YPitch, 1);
    BASEIMAGE chroma = ChannelImage(Frame->UV, Frame->UVWidth, Frame->UVHeight, Frame->UVPitch, 2);
    ImageRect lumaRect = {0, 0, Frame->YWidth, Frame->YHeight};
    ImageRect chromaRect = {0, 0, Frame->UVWidth, Frame->UVHeight};
    BltBaseImageToGraph(&lumaRect, 0, 0, *YGraph, &luma, nullptr, 0, 0, 0, 0);
    BltBaseImageToGraph(&chromaRect, 0, 0, *UVGraph, &chroma, nullptr, 0, 0, 0, 0);
    return 0;
}
