// The Direct3D 9 back end's shader start-up: the base shaders (d3d9_base_shaders_win.h) created by
// file name from the base archive at every device creation, when the device offers shader model
// 2.0 or higher, and released with the device.
#pragma once

#include "zovuz/d3d9/shader/d3d9_shader_pack_internal.h"
#include "zovuz/d3d9/shader/windows/d3d9_base_shaders_win.h"

// Makes the base shaders anew and leaves the programmable-shader flag at 1 when they are in use,
// else 0, with its log lines; in every case writes vertex float c0 = (0, 1, 0, 0) and pixel float
// c0 = (0, 0.5, 1, 2) into the constant manager's set 0. 1.
int Graphics_D3D9_Shader_Initialize(void);
// Releases every base shader and further shader object. 0.
int Graphics_D3D9_Shader_Terminate(void);
