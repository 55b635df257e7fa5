// The table of calls from the core into the subsystems above it.
#include "zovuz/core/subsystem_hooks.h"

SubsystemHooks SubsystemHooksData;
