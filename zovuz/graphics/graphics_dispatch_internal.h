// Inside the graphics layer: the registered back-end tables and the one rule every dispatcher
// follows. Never included from app/.
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// The dispatch layer's own state.
struct GraphicsDispatchData
{
    const GraphicsHardwareFunctions *D3D11;  // registered Direct3D 11 table, null = none
    const GraphicsHardwareFunctions *D3D9;   // registered Direct3D 9 table, null = none
    const GraphFilterFunctions *Filter;      // the graph filters, null = none
    const MovieFunctions *Movie;             // the movie calls, null = none
    int DialogBoxModeFlag;                   // Graphics_Hardware_SetDialogBoxModeFlag's setting
};
extern GraphicsDispatchData GraphicsDispatch;

// Logs that the back end in use lacks an operation. -1.
int LogMissingHardwareOperation(const wchar_t *Name);

// The table of the back end in use, or null on the software renderer (and before the first start).
inline const GraphicsHardwareFunctions *CurrentHardwareFunctions()
{
    return GetGraphicsHardwareFunctions(GraphicsAPIType);
}

// The dispatch rule: with a back end in use, call its entry with the same arguments and return
// its result; without one, do nothing and return 0. An entry the back end lacks fails (-1).
template <typename R, typename... P, typename... A>
R HardwareDispatch(R (*GraphicsHardwareFunctions::*Entry)(P...), const wchar_t *Name, A... Args)
{
    const GraphicsHardwareFunctions *table = CurrentHardwareFunctions();
    if (table == nullptr) return R(0);
    R (*function)(P...) = table->*Entry;
    if (function == nullptr) return R(LogMissingHardwareOperation(Name));
    return function(Args...);
}

// Operations only one back end has: with the other back end in use they do nothing and return 0.
template <typename R, typename... P, typename... A>
R D3D9OnlyDispatch(R (*GraphicsHardwareFunctions::*Entry)(P...), const wchar_t *Name, A... Args)
{
    if (GraphicsAPIType != GRAPHICS_API_D3D9) return R(0);
    return HardwareDispatch(Entry, Name, Args...);
}

template <typename R, typename... P, typename... A>
R D3D11OnlyDispatch(R (*GraphicsHardwareFunctions::*Entry)(P...), const wchar_t *Name, A... Args)
{
    if (GraphicsAPIType != GRAPHICS_API_D3D11) return R(0);
    return HardwareDispatch(Entry, Name, Args...);
}
