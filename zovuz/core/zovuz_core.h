// ZoVuz core services: the public API of the library's core, as the application calls it.
// Each topic of the core declares its calls in its own header, included here.
#pragma once
#include "zovuz/core/log.h"
#include "zovuz/core/threads.h"
#include "zovuz/core/memory.h"
#include "zovuz/core/char_code.h"
#include "zovuz/core/base_helpers.h"
#include "zovuz/core/random.h"
#include "zovuz/core/cpu_features.h"
#include "zovuz/core/format_print.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/handle.h"
#include "zovuz/core/ring_buffer.h"
#include "zovuz/core/async_load.h"
#include "zovuz/core/stream.h"
#include "zovuz/core/file_access.h"
#include "zovuz/core/archive.h"
#include "zovuz/core/clock.h"
