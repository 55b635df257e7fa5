// The shared lookup tables of the image code and the image-load parameter block.
#include <string.h>

#include "zovuz/graphics/image/base_image_internal.h"

BaseImageTableData BaseImageTables;

ImageLoadDefaultsData ImageLoadDefaults = {{}, 0, 0, 1, 0};

void BuildBaseImageTables(void)
{
    BaseImageTableData &t = BaseImageTables;
    if (t.Built) return;
    for (int i = -512; i < 768; ++i) t.ClampBytes[i + 512] = (uint8_t)(i < 0 ? 0 : i > 255 ? 255 : i);
    for (int i = 0; i < 256; ++i) {
        t.YuvVToRed[i] = 26148 * (i - 128);
        t.YuvUToGreen[i] = -6406 * (i - 128);
        t.YuvVToGreen[i] = -13320 * (i - 128);
        t.YuvUToBlue[i] = 33062 * (i - 128);
        t.YuvLuma[i] = 19070 * (i - 16);
    }
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            t.MulTable[a][b] = (uint8_t)(a * b / 255);
            int q = b == 0 ? 0 : 255 * a / b;
            t.DivTable[a][b] = (uint8_t)(q > 255 ? 255 : q);
        }
    }
    t.Built = 1;
}

int InitializeBaseImageTables(void)
{
    if (BaseImageTables.Initialized) return -1;
    BuildBaseImageTables();
    BaseImageTables.Initialized = 1;
    return 0;
}

int TerminateBaseImageTables(void)
{
    // The tables are static and keep their values for any late reader.
    if (!BaseImageTables.Initialized) return -1;
    BaseImageTables.Initialized = 0;
    return 0;
}

void CopyImageLoadParams(ImageLoadParam *Param, int HeaderOnly)
{
    int count = ImageLoadDefaults.LoaderCount;
    if (count < 0) count = 0;
    if (count > IMAGE_LOADER_LIST_MAX) count = IMAGE_LOADER_LIST_MAX;
    memset(Param->Loaders, 0, sizeof(Param->Loaders));
    memcpy(Param->Loaders, ImageLoadDefaults.Loaders, sizeof(ImageLoaderFunction) * count);
    Param->LoaderCount = count;
    Param->HeaderOnly = HeaderOnly;
}

void InitImageLoadParams(ImageLoadParam *Param, int HeaderOnly)
{
    CopyImageLoadParams(Param, HeaderOnly);
    Param->FileOperations = *GetFileAccessFunctionTable();
    Param->FileStreamTable = *GetFileStreamFunctionTable();
    Param->MemStreamTable = *GetMemStreamFunctionTable();
    Param->PremultipliedAlphaFlag = ImageLoadDefaults.PremultipliedAlphaFlag;
    Param->TransparentColorFlag = ImageLoadDefaults.TransparentColorFlag;
    Param->TransparentColor = ImageLoadDefaults.TransparentColor;
}
