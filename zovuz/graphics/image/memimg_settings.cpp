// The software renderer's global draw settings and its blend lookup tables.
#include "zovuz/graphics/image/memimg_internal.h"

int SetupMemImgTables(void)
{
    MemImgManageData &m = MemImgManage;
    for (int a = 0; a < 256; ++a) {
        for (int d = -255; d <= 255; ++d) m.ScaleTable[a][d + 255] = a * d / 255;
        m.ScaleTable[a][511] = 0;
        for (int v = 0; v < 256; ++v) m.MulTable[a][v] = a * v / 255;
    }
    for (int b = 0; b < 64; ++b)
        for (int i = 0; i < 64; ++i)
            for (int j = 0; j < 64; ++j) m.MixTable[b][i][j] = (uint8_t)((b * i + (63 - b) * j) / 63);
    m.TablesBuilt = 1;
    return 0;
}

int SetMemImgDefaultColorType(int ColorType)
{
    MemImgManage.DefaultColorType = ColorType;
    return 0;
}

int SetMemImgDrawArea(const ImageRect *Area)
{
    MemImgManage.DrawArea = *Area;
    return 0;
}

int SetMemImgDrawBlendMode(int BlendMode, int BlendParam)
{
    MemImgManage.BlendMode = BlendMode;
    MemImgManage.BlendParam = BlendParam;
    return 0;
}

int SetMemImgDrawBright(uint32_t Color)
{
    MemImgManage.DrawBright = Color;
    return 0;
}

void SetMemImgBlendGraphTable(int BorderParam, int BorderRange)
{
    // A range below 0 would divide by zero (or step backwards): it counts as the sharpest, 0.
    int64_t d = BorderRange < 0 ? 1 : (int64_t)BorderRange + 1;
    int64_t s = 65536 / d;
    int64_t offset = 256 - ((s + 256) * BorderParam) / 256;
    for (int k = 0; k < 256; ++k) {
        int64_t v = (k * 256) / d + offset;
        MemImgManage.BlendGraphTable[k] = (uint8_t)(v > 255 ? 255 : v < 0 ? 0 : v);
    }
}
