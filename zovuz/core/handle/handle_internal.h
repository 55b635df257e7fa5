// Inside the core: the handle layer's manager table. Other layers reach a type's manager through
// GetHandleManage (handle.h).
#pragma once

#include "zovuz/core/handle/handle.h"

// The manager table, indexed by type number. Lookups read it without a lock.
extern HandleManage HandleManageArray[DX_HANDLETYPE_NUM];
