// Stands in for the window parts of zovuz/core/windows/ that the sound layer asks about: the
// native build has no window, so it counts as active, nothing waits for it, and the pump
// reports the end at once (a wait that pumps returns instead of spinning).
#include "zovuz/core/desktop/window.h"

int GetWindowActiveFlag(void) { return 1; }
int GetWindowActivationBusyFlag(void) { return 0; }
void WaitWhileWindowInactive(void) {}
int ProcessMessageNoLock(void) { return -1; }
