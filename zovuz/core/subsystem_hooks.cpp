// The table of calls from the core into the subsystems above it.
#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/subsystem_hooks_internal.h"

SubsystemHooks SubsystemHooksData;

SubsystemHooks *GetSubsystemHooks(void) { return &SubsystemHooksData; }
