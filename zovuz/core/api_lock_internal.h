// The API lock's state, for tests and diagnostics.
#pragma once

#include "zovuz/core/api_lock.h"

// Threads waiting for the lock now, and the owner's depth (0 when the lock is free).
int GetDxFunctionLockWaitingNum(void);
int GetDxFunctionLockDepth(void);
