// The SoftImage handle type: handles whose records hold one BASEIMAGE.
#include "zovuz/graphics/image/memimg_internal.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

namespace {

struct SoftImageManageData
{
    int Registered;  // the handle type is registered
};
SoftImageManageData SoftImageManage;

int InitializeSoftImageHandle(HandleInfo *) { return 0; }

int TerminateSoftImageHandle(HandleInfo *Info) { return ReleaseBaseImage(&((SoftImageHandleData *)Info)->BaseImage); }

}  // namespace

int InitializeSoftImageManage(void)
{
    if (SoftImageManage.Registered) return -1;
    if (InitializeHandleType(DX_HANDLETYPE_SOFTIMAGE, sizeof(SoftImageHandleData), DX_MAX_SOFTIMAGE_NUM,
                             InitializeSoftImageHandle, TerminateSoftImageHandle, L"SoftImage") < 0)
        return -1;
    SoftImageManage.Registered = 1;
    return 0;
}

void DeleteAllSoftImages(void) { DeleteHandleTypeAll(DX_HANDLETYPE_SOFTIMAGE, nullptr); }

int TerminateSoftImageManage(void)
{
    if (!SoftImageManage.Registered) return -1;
    SoftImageManage.Registered = 0;
    TerminateHandleType(DX_HANDLETYPE_SOFTIMAGE);
    return 0;
}
