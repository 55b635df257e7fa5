// ZoVuz: the library's public API, one header per subsystem.
#pragma once
#include "zovuz/core/zovuz_core.h"
