// Stands in for app/engine/plugin/windows/plugin_load_win.cpp: the native build loads no
// plug-in, so a slot never holds an instance or a module to close.
#include "app/engine/plugin/plugin_slot.h"

PluginSlot::~PluginSlot() {}
