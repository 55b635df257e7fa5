// ZoVuz core services: the public API of the library's core, what the application and the other
// subsystems call. Each topic of the core declares its public calls in its own header, included
// here; the calls that only the core's own files (and its tests) use are in <topic>_internal.h
// beside the code. Outside zovuz/core, include this header only, never a topic header.
#pragma once
#include "zovuz/core/text/log.h"
#include "zovuz/core/threads.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/base_helpers.h"
#include "zovuz/core/cpu_features.h"
#include "zovuz/core/text/format_print.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/handle/handle.h"
#include "zovuz/core/memory/ring_buffer.h"
#include "zovuz/core/handle/async_load.h"
#include "zovuz/core/file/stream.h"
#include "zovuz/core/file/file_access.h"
#include "zovuz/core/file/archive.h"
#include "zovuz/core/clock.h"
#include "zovuz/core/window/input.h"
#include "zovuz/core/api_lock.h"
#include "zovuz/core/library_state.h"
#include "zovuz/core/window/window.h"
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/vector_math.h"
#include "zovuz/core/network.h"
#include "zovuz/core/text/screen_log.h"
#include "zovuz/core/library_core.h"
