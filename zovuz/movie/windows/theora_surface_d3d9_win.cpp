// The Theora decoders' YUV surface on Windows: the Direct3D 9 back end makes, locks and releases it.
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/movie/theora_decode_internal.h"

namespace {

const TheoraSurfaceDevice kD3D9Surface = {
    .Create = Graphics_D3D9_CreateYUVSurface,
    .Lock = Graphics_D3D9_LockYUVSurface,
    .Unlock = Graphics_D3D9_UnlockYUVSurface,
    .Release = Graphics_D3D9_ReleaseYUVSurface,
};

}  // namespace

void TheoraDecode_SetupPlatformSurface(void) { TheoraSurfaceSystem.Device = &kD3D9Surface; }
