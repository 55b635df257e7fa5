// The Direct3D 11 back end's adapter table (the device's creation and release are declared with
// the back end's operations in d3d11_internal.h).
#pragma once

#include "zovuz/d3d11/calls/windows/d3d11_calls.h"

// ---- Adapters -----------------------------------------------------------------------------------

#define D3D11_ADAPTER_MAXNUM 16
#define D3D11_OUTPUT_MAXNUM 32

struct D3D11AdapterInfo
{
    DXGI_ADAPTER_DESC Desc;                        // as DXGI gives it
    int OutputNum;                                 // outputs read into Output
    DXGI_OUTPUT_DESC Output[D3D11_OUTPUT_MAXNUM];  // the first OutputNum filled
};

// The system's adapters and their outputs, read once per process (a screen-mode change keeps
// them).
struct D3D11AdapterTableData
{
    int EnumeratedFlag;                              // the table has been read
    int AdapterNum;                                  // adapters read into Adapter
    D3D11AdapterInfo Adapter[D3D11_ADAPTER_MAXNUM];  // the first AdapterNum filled
};
extern D3D11AdapterTableData D3D11AdapterTable;

// Reads the table unless it was read already. Without a factory it loads DXGI and makes one for
// itself, and drops both again at the end. 0, or -1 when DXGI cannot be loaded or its factory
// cannot be made.
int Graphics_D3D11_EnumAdapters(void);
