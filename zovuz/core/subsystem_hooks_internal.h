// Inside the core: the hook table itself. Other layers reach it through GetSubsystemHooks
// (subsystem_hooks.h).
#pragma once

#include "zovuz/core/subsystem_hooks.h"

extern SubsystemHooks SubsystemHooksData;
