// Internal calls of the core behind handle.h: used by the core's own files and its tests, never by
// the application or another subsystem.
#pragma once

#include "zovuz/core/handle.h"

void InitializeHandleList(HandleListNode *First, HandleListNode *Last);
void HandleListAdd(HandleListNode *First, HandleListNode *Node, int Handle, void *Data);
void HandleListRemove(HandleListNode *Node);
