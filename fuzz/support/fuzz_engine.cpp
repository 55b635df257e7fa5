#include "fuzz/support/fuzz_engine.h"

#include "app/engine/plugin/plugin_slot.h"

void DeliverQueuedEvents()
{
    for (PluginSlot &slot : g_pluginSlots) slot.DropPendingEvents();
}
