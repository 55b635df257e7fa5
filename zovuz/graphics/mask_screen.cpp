// The mask screen: one byte per draw-target pixel deciding where drawing may land, and the Mask
// handle type. While the mask is in effect, drawing goes into a work image and is copied back
// only where the mask byte is 0. Nothing in this system creates the mask screen, so the mask is
// never in effect; the operations work all the same (tests make one with
// CreateMaskScreenWithBytes). With a device, the back end keeps the mask on it: the hardware path
// hands every step to the Graphics_Hardware_Mask_* dispatchers.
#include <string.h>

#include "zovuz/graphics/graph/graph_internal.h"

MaskScreenData MaskScreen;

namespace {

int TerminateMaskHandle(HandleInfo *Info)
{
    MaskHandleData *mask = reinterpret_cast<MaskHandleData *>(Info);
    DXFREE(mask->ImageBuffer);
    mask->ImageBuffer = nullptr;
    return 0;
}

void ReleaseWorkImage()
{
    MaskScreenData &m = MaskScreen;
    if (m.WorkImageFlag) {
        TerminateMemImg(&m.WorkImage);
        m.WorkImageFlag = 0;
    }
}

// The rectangle ordered and clipped to the draw area.
ImageRect ClipToDrawArea(int X1, int Y1, int X2, int Y2)
{
    ImageRect rect = {X1, Y1, X2, Y2};
    ClipRect(&rect, &GraphicsDrawSettings.DrawArea);
    return rect;
}

}  // namespace

int InitializeMaskSystem(void)
{
    MaskScreenData &m = MaskScreen;
    if (m.InitializeFlag) return -1;
    InitializeHandleType(
        DX_HANDLETYPE_MASK_IMAGE, sizeof(MaskHandleData), DX_MAX_MASK_NUM, [](HandleInfo *) { return 0; },
        TerminateMaskHandle, L"Mask");
    m.InitializeFlag = 1;
    return 0;
}

int TerminateMaskSystem(void)
{
    MaskScreenData &m = MaskScreen;
    if (!m.InitializeFlag) return -1;
    DeleteMaskScreen();
    DeleteHandleTypeAll(DX_HANDLETYPE_MASK_IMAGE, nullptr);
    m.InitializeFlag = 0;
    TerminateHandleType(DX_HANDLETYPE_MASK_IMAGE);
    return 0;
}

int CreateMaskScreen(int CreateFlag, int Width, int Height)
{
    MaskScreenData &m = MaskScreen;
    if (!CreateFlag) return 0;
    if (Width < 1 || Height < 1) return -1;
    const bool hardware = GraphicsState.HardwareInUseFlag != 0;

    // A mask that grows keeps its old bytes (and work image or device screen) to copy into the
    // larger one; a smaller request keeps the larger size.
    uint8_t *oldBuffer = nullptr;
    int oldPitch = 0, oldWidth = 0, oldHeight = 0;
    MEMIMG oldWork = MEMIMG();
    if (m.MaskBuffer != nullptr) {
        int width = Width > m.Width ? Width : m.Width;
        int height = Height > m.Height ? Height : m.Height;
        if (width > m.Width || height > m.Height) {
            oldBuffer = m.MaskBuffer;
            oldPitch = m.Pitch;
            oldWidth = m.Width;
            oldHeight = m.Height;
            oldWork = m.WorkImage;
            m.WorkImage = MEMIMG();
            m.WorkImageFlag = 0;
            m.MaskBuffer = nullptr;
            if (hardware) Graphics_Hardware_Mask_SaveOldScreen();
        }
        Width = width;
        Height = height;
    }

    m.Width = Width;
    m.Height = Height;
    int result = 0;
    if (m.MaskBuffer == nullptr) {
        m.Pitch = (Width + 3) / 4 * 4;
        m.MaskBuffer = (uint8_t *)DXCALLOC((size_t)m.Pitch * Height);
        if (m.MaskBuffer == nullptr) result = -1;
    }
    // The old bytes go in before the device's image is made from them.
    if (result == 0 && oldBuffer != nullptr)
        for (int y = 0; y < oldHeight; ++y)
            memcpy(m.MaskBuffer + (size_t)y * m.Pitch, oldBuffer + (size_t)y * oldPitch, (size_t)oldWidth);
    if (result == 0 && hardware) {
        if (Graphics_Hardware_Mask_CreateScreen(Width, Height) < 0) result = -1;
    } else if (result == 0 && !CheckValidMemImg(&m.WorkImage)) {
        if (InitializeMemImg(&m.WorkImage, Width, Height, -1) < 0) {
            AddLogStringWide(L"マスク用 MEMIMG の作成に失敗しました\n");
            result = -1;
        } else {
            m.WorkImageFlag = 1;
        }
    }
    if (result == 0 && oldBuffer != nullptr) {
        if (hardware)
            Graphics_Hardware_Mask_CopyOldScreen(oldWidth, oldHeight);
        else if (CheckValidMemImg(&oldWork))
            BltMemImg(&m.WorkImage, &oldWork, nullptr, 0, 0);
    }
    DXFREE(oldBuffer);
    TerminateMemImg(&oldWork);
    if (result < 0) ReleaseMaskScreen();
    return result;
}

int CreateMaskScreenWithBytes(int Width, int Height, const uint8_t *Bytes, int Pitch)
{
    MaskScreenData &m = MaskScreen;
    if (!m.InitializeFlag || Width < 1 || Height < 1 || Bytes == nullptr || Pitch < Width) return -1;
    ReleaseMaskScreen();
    m.Width = Width;
    m.Height = Height;
    m.Pitch = (Width + 3) / 4 * 4;
    m.MaskBuffer = (uint8_t *)DXCALLOC((size_t)m.Pitch * Height);
    if (m.MaskBuffer == nullptr) return -1;
    for (int y = 0; y < Height; ++y)
        memcpy(m.MaskBuffer + (size_t)y * m.Pitch, Bytes + (size_t)y * Pitch, (size_t)Width);
    m.CreatedFlag = 1;
    return CreateMaskScreen(1, Width, Height);
}

const uint8_t *GetMaskScreenBuffer(int *Width, int *Height, int *Pitch)
{
    const MaskScreenData &m = MaskScreen;
    if (Width != nullptr) *Width = m.Width;
    if (Height != nullptr) *Height = m.Height;
    if (Pitch != nullptr) *Pitch = m.Pitch;
    return m.MaskBuffer;
}

int DeleteMaskScreen(void)
{
    MaskScreenData &m = MaskScreen;
    if (!m.InitializeFlag) return -1;
    if (GraphicsDrawSettings.UseMaskScreenFlag) SetUseMaskScreenFlag(0);
    ReleaseMaskScreen();
    m.CreatedFlag = 0;
    GraphicsDrawSettings.MaskValidFlag = 0;
    return 0;
}

int ReCreateMaskScreen(void)
{
    MaskScreenData &m = MaskScreen;
    if (!m.InitializeFlag) return -1;
    CreateMaskScreen(m.CreatedFlag, GraphicsDrawSettings.DrawSizeX, GraphicsDrawSettings.DrawSizeY);
    if (GraphicsDrawSettings.UseMaskScreenFlag) SetUseMaskScreenFlag(1);
    return 0;
}

int ReleaseMaskScreen(void)
{
    MaskScreenData &m = MaskScreen;
    DXFREE(m.MaskBuffer);
    m.MaskBuffer = nullptr;
    ReleaseWorkImage();
    Graphics_Hardware_Mask_ReleaseScreen();
    return 0;
}

int GetUseMaskScreenFlag(void) { return GraphicsDrawSettings.UseMaskScreenFlag; }

int SetUseMaskScreenFlag(int Flag)
{
    MaskScreenData &m = MaskScreen;
    if (!m.InitializeFlag || m.MaskBuffer == nullptr) return -1;
    // The software draw target follows these two flags (GetSoftwareDrawTarget).
    GraphicsDrawSettings.UseMaskScreenFlag = Flag;
    GraphicsDrawSettings.MaskValidFlag = Flag && m.CreatedFlag ? 1 : 0;
    if (GraphicsState.HardwareInUseFlag) Graphics_Hardware_Mask_SetUseScreen();
    return 0;
}

int MaskDrawBegin(int X1, int Y1, int X2, int Y2)
{
    MaskScreenData &m = MaskScreen;
    if (++m.HookCount != 1) return 0;
    ImageRect rect = ClipToDrawArea(X1, Y1, X2, Y2);
    if (GraphicsState.HardwareInUseFlag)
        return Graphics_Hardware_Mask_DrawBegin(rect.left, rect.top, rect.right, rect.bottom) < 0 ? -1 : 0;
    if (!GraphicsDrawSettings.MaskValidFlag) return 0;
    // Drawing starts from the present picture of the rectangle.
    if (rect.right > rect.left && rect.bottom > rect.top)
        BltMemImg(&m.WorkImage, GetSoftwareDrawTargetImage(), &rect, rect.left, rect.top);
    return 0;
}

int MaskDrawEnd(int X1, int Y1, int X2, int Y2)
{
    MaskScreenData &m = MaskScreen;
    if (m.HookCount <= 0 || --m.HookCount != 0) return 0;
    ImageRect rect = ClipToDrawArea(X1, Y1, X2, Y2);
    if (rect.left == rect.right || rect.top == rect.bottom) return 0;
    if (GraphicsState.HardwareInUseFlag)
        return Graphics_Hardware_Mask_DrawEnd(rect.left, rect.top, rect.right, rect.bottom) < 0 ? -1 : 0;
    if (!GraphicsDrawSettings.MaskValidFlag || m.MaskBuffer == nullptr) return 0;
    MEMIMG *target = GetSoftwareDrawTargetImage();
    if (!CheckValidMemImg(target) || !CheckValidMemImg(&m.WorkImage)) return 0;
    int bytes = GetMemImgPixelBytes(target->Base);
    if ((bytes != 2 && bytes != 4) || GetMemImgPixelBytes(m.WorkImage.Base) != bytes) return 0;
    // The rectangle lies in the draw area, which lies in the target; the mask and work image are
    // at least the target's size.
    for (int y = rect.top; y < rect.bottom && y < m.Height; ++y) {
        const uint8_t *mask = m.MaskBuffer + (size_t)y * m.Pitch;
        const uint8_t *src = m.WorkImage.UseImage + (size_t)y * m.WorkImage.Base->Pitch;
        uint8_t *dest = target->UseImage + (size_t)y * target->Base->Pitch;
        for (int x = rect.left; x < rect.right && x < m.Width; ++x)
            if (mask[x] == 0) memcpy(dest + x * bytes, src + x * bytes, (size_t)bytes);
    }
    return 0;
}
