// What the engine's targets share: the render tick does not run in the fuzz build, so the
// events that loads and compiles queue for the instruments are taken here instead.
#pragma once

// Empties every plug-in slot's queue of pending MIDI events, as the render tick's delivery would.
void DeliverQueuedEvents();
