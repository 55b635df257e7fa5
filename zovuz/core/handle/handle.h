// Handles: every library object is known to callers only as a signed 32-bit value. This is
// the registry behind those values: one manager per handle type, a HandleInfo header at the
// start of every object record, creation with slot choice and check numbers, validation,
// deletion with a per-type terminate callback, bulk deletion, and the bookkeeping that ties
// a handle to a running asynchronous load (async_load.h).
//
// Lock order: a type's lock is taken before the asynchronous loader's lock, never after it.
#pragma once

#include "zovuz/core/threads.h"

// Handle value layout: bit 31 error, bits 26-30 type, bits 16-25 check number, bits 0-15 slot.
#define DX_HANDLEERROR_MASK 0x80000000u
#define DX_HANDLETYPE_MASK 0x7C000000
#define DX_HANDLECHECK_MASK 0x03FF0000
#define DX_HANDLEINDEX_MASK 0x0000FFFF
#define DX_HANDLETYPE_ADDRESS 26
#define DX_HANDLECHECK_ADDRESS 16

// Check numbers run 1, 2, ..., 1022, then 0 (1023 values).
#define DX_HANDLECHECK_COUNT 1023

// Number of handle types (entries of the manager table) and the largest slot count of a type.
#define DX_HANDLETYPE_NUM 32
#define DX_HANDLEINDEX_MAX 65536

// Handle type numbers.
#define DX_HANDLETYPE_GRAPH 1
#define DX_HANDLETYPE_SOFTIMAGE 2
#define DX_HANDLETYPE_SOUND 3
#define DX_HANDLETYPE_SOFTSOUND 4
#define DX_HANDLETYPE_MUSIC 5
#define DX_HANDLETYPE_MOVIE 6
#define DX_HANDLETYPE_MASK_IMAGE 7  // the "Mask" type
#define DX_HANDLETYPE_FONT 8
#define DX_HANDLETYPE_NETWORK 10  // never registered: every network handle creation fails
#define DX_HANDLETYPE_SHADER 12
#define DX_HANDLETYPE_VERTEX_BUFFER 15
#define DX_HANDLETYPE_INDEX_BUFFER 16
#define DX_HANDLETYPE_FILE 17
#define DX_HANDLETYPE_SHADOWMAP 18
#define DX_HANDLETYPE_SHADER_CONSTANT_BUFFER 19

// Maximum handle counts of the registered types.
#define DX_MAX_GRAPH_NUM 32768
#define DX_MAX_SOFTIMAGE_NUM 8192
#define DX_MAX_SOUND_NUM 32768
#define DX_MAX_SOFTSOUND_NUM 8192
#define DX_MAX_MUSIC_NUM 256
#define DX_MAX_MOVIE_NUM 100
#define DX_MAX_MASK_NUM 512
#define DX_MAX_FONT_NUM 40
#define DX_MAX_SHADER_NUM 4096
#define DX_MAX_VERTEX_BUFFER_NUM 16384
#define DX_MAX_INDEX_BUFFER_NUM 16384
#define DX_MAX_FILE_NUM 32768
#define DX_MAX_SHADOWMAP_NUM 8192
#define DX_MAX_SHADER_CONSTANT_BUFFER_NUM 8192

// Longest converted type name kept for messages, in UTF-16 code units.
#define DX_HANDLE_NAME_LENGTH 64

typedef int HandleValue;

// Doubly linked list node. A list is a head and a tail node, both with handle -1 and no
// record; the head's Prev and the tail's Next are null. The sound system keeps lists of its
// own with these nodes.
struct HandleListNode
{
    int Handle;            // handle value of the linked record
    void *Data;            // the record
    HandleListNode *Prev;  // previous node (toward the head)
    HandleListNode *Next;  // next node (toward the tail)
};

// The first fields of every handle record; the owner's own fields follow.
struct HandleInfo
{
    int ID;                 // check number, equal to bits 16-25 of the record's handle
    int Handle;             // the record's handle value
    int AllocSize;          // record size in bytes, as created or last resized
    int *DeleteFlag;        // delete-notify: receives -1 on deletion; null = none
    int ASyncLoadCount;     // non-zero while the object is still being loaded asynchronously
    int ASyncDataNumber;    // queue slot of the load job, -1 = none
    int DeleteRequestFlag;  // when set, the handle is deleted as soon as ASyncLoadCount falls to 0
    HandleListNode List;    // links the record into its type's list of live handles
};

// Called under the type's lock with the new record, before lookups can find it (so it must not
// look its own handle up, or make another handle of the same type); result ignored.
typedef int (*HandleInitFunction)(HandleInfo *Info);
typedef int (*HandleTermFunction)(HandleInfo *Info);  // 1 keeps the record: its owner deletes it later
typedef int (*HandleKeepTest)(HandleInfo *Info);      // non-zero keeps the record in DeleteHandleTypeAll

// One per handle type.
struct HandleManage
{
    int InitializeFlag;                            // every operation refuses a type whose flag is 0
    HandleInfo **Handle;                           // one record pointer per slot, null = free slot
    HandleListNode ListFirst;                      // head of the list of live handles (newest first)
    HandleListNode ListLast;                       // tail of that list
    int HandleTypeMask;                            // type << 26
    int OneSize;                                   // record size in bytes
    int MaxNum;                                    // maximum count (slots)
    int Num;                                       // used count
    int AreaMin;                                   // lowest used slot, 0 when empty
    int AreaMax;                                   // highest used slot, 0 when empty
    int NextID;                                    // last check number handed out; survives re-registration
    DxCriticalSection CriticalSection;             // the type's lock, re-entrant
    HandleInitFunction InitializeFunction;         // called under the lock with each new record
    HandleTermFunction TerminateFunction;          // called under the lock before a record is freed
    const wchar_t *Name;                           // the name as registered
    wchar_t NameUTF16[DX_HANDLE_NAME_LENGTH + 1];  // the name in UTF-16 for the messages, terminated
};

// Lists of handle records: InitializeHandleList links an empty list's head and tail; Add links a
// node directly after the head; Remove unlinks a linked node.
// No lock: the list's owner guards it.
void InitializeHandleList(HandleListNode *First, HandleListNode *Last);
void HandleListAdd(HandleListNode *First, HandleListNode *Node, int Handle, void *Data);
void HandleListRemove(HandleListNode *Node);

// The manager of a handle type (0..31, registered or not; null for a number outside that
// range): for its owner's walk over its live records and for its lock. The table itself is the
// handle layer's (handle_internal.h).
HandleManage *GetHandleManage(int HandleType);

// Registers a type: -1 when already registered, the type number is out of range, the record
// is smaller than HandleInfo, the count is outside 1..65536 or the slot array can't be had.
int InitializeHandleType(int HandleType, int OneSize, int MaxNum, HandleInitFunction InitializeFunction,
                         HandleTermFunction TerminateFunction, const wchar_t *Name);

// Deletes every handle of the type and unregisters it (the check-number counter stays).
int TerminateHandleType(int HandleType);

// Creates a handle and returns it, or -1. ASyncFlag non-zero creates it with a load count of 1.
// ReuseHandle is -1 or an earlier handle of this type whose number is to be used again.
int AddHandle(int HandleType, int ASyncFlag, int ReuseHandle);

// Deletes a handle; waits for (or cancels) its asynchronous load first. 0 / -1. A term
// callback that keeps the record is not an error: 0.
int SubHandle(int Handle);

// Deletes every handle of a type for which KeepTest (if given) answers 0. Any non-zero answer
// keeps the record, a negative one included: callers that think of it as a filter that "skips a
// handle when it returns a positive value" must not return a negative value for a handle they
// want deleted. 0, or -1 when the type is not registered.
int DeleteHandleTypeAll(int HandleType, HandleKeepTest KeepTest);

// The record, or null when the handle fails the check. No lock; does not look at the load count.
// A lookup may run while other threads create and delete other handles of the type: a live
// handle is always found, and a record still being made (header, init callback) is never
// returned. The pointer stays valid until the handle is deleted (SubHandle, DeleteHandleTypeAll,
// TerminateHandleType, or the DecASyncLoadCount that completes a requested deletion) or its
// record is resized (ReallocHandleData). The caller makes sure no other thread deletes or
// resizes the handle while it looks it up or uses the pointer: a lookup that races with the
// deletion of the same handle may read a freed record.
HandleInfo *GetHandleData(int Handle);

// Resizes a record (at least sizeof(HandleInfo)). 0, or -1 with the record unchanged.
int ReallocHandleData(int Handle, int NewSize);

// Stores the delete-notify pointer (no lock). 0 / -1.
int SetHandleDeleteNotify(int Handle, int *DeleteFlag);

// The asynchronous-load count of a handle, under the type's lock.
int IncASyncLoadCount(int Handle, int ASyncDataNumber);
int DecASyncLoadCount(int Handle);     // deletes the handle when it reaches 0 and a delete was requested
int IsHandleASyncLoading(int Handle);  // 1 loading, 0 not, -1 invalid handle
int WaitHandleASyncLoad(int Handle);   // returns when the count is 0, serving main-thread requests

// The validity rule every lookup applies: the type is registered, the value is not negative,
// its type bits match, its slot is in range and holds a record, and the record's check number
// matches. Owners' ordinary lookups use HandleCheckReady, which also refuses a record that is
// still loading, so an object is invisible to all but its loader and the handle layer.
HandleInfo *HandleCheck(int Handle);

inline HandleInfo *HandleCheckReady(int Handle)
{
    HandleInfo *info = HandleCheck(Handle);
    if (info == nullptr || info->ASyncLoadCount != 0) return nullptr;
    return info;
}

// The type number in a handle's type bits (not checked against the registry).
inline int HandleTypeOf(int Handle) { return (Handle & DX_HANDLETYPE_MASK) >> DX_HANDLETYPE_ADDRESS; }

// The one lookup of an owner's record: the record of a live handle of type HandleType, or null
// for a negative value, a handle of any other type, or one that fails the validity rule above. A
// handle whose asynchronous load is still running is found only with AllowLoading (its loader and
// the calls that wait for it); every other caller passes 0. Record is the owner's record type,
// whose first member is its HandleInfo, so the header's address is the record's:
//     GraphHandleData *graph = GetTypedHandle<GraphHandleData>(GraphHandle, DX_HANDLETYPE_GRAPH, 0);
// The pointer's lifetime is HandleCheck's: until the handle is deleted or its record resized.
//
// The second form takes the type's manager instead of its number, and runs without a call: an
// owner whose lookups are hot (a record per pushed sample, per drawn graph) keeps its manager,
// whose address never changes (GetHandleManage), and looks its records up in it:
//     static HandleManage *const manage = GetHandleManage(DX_HANDLETYPE_GRAPH);
//     GraphHandleData *graph = GetTypedHandle<GraphHandleData>(manage, GraphHandle, 0);
// A handle of another type is refused by the manager's type bits.
template <class Record = HandleInfo>
inline Record *GetTypedHandle(const HandleManage *Manage, int Handle, int AllowLoading)
{
    if (Handle < 0 || Manage == nullptr || Manage->InitializeFlag == 0) return nullptr;
    if ((Handle & DX_HANDLETYPE_MASK) != Manage->HandleTypeMask) return nullptr;
    int slot = Handle & DX_HANDLEINDEX_MASK;
    if (slot >= Manage->MaxNum) return nullptr;
    HandleInfo *info = __atomic_load_n(&Manage->Handle[slot], __ATOMIC_ACQUIRE);  // pairs with AddHandle's publication
    if (info == nullptr || (info->ID << DX_HANDLECHECK_ADDRESS) != (Handle & DX_HANDLECHECK_MASK)) return nullptr;
    if (!AllowLoading && info->ASyncLoadCount != 0) return nullptr;
    return reinterpret_cast<Record *>(info);
}
template <class Record = HandleInfo>
inline Record *GetTypedHandle(int Handle, int HandleType, int AllowLoading)
{
    if (Handle < 0 || HandleTypeOf(Handle) != HandleType) return nullptr;
    return GetTypedHandle<Record>(GetHandleManage(HandleType), Handle, AllowLoading);
}

// Visits every live record of a handle type, from the lowest used slot to the highest, each once
// its asynchronous load has ended (a record deleted while it loaded is skipped). For a device's
// release and rebuild, which must reach every graph, buffer and shader of the program.
template <class Record, class Visit>
inline void ForEachHandle(int HandleType, Visit VisitRecord)
{
    HandleManage *m = GetHandleManage(HandleType);
    if (m == nullptr || !m->InitializeFlag) return;
    for (int slot = m->AreaMin; slot <= m->AreaMax; ++slot) {
        HandleInfo *info = m->Handle[slot];
        if (info == nullptr) continue;
        WaitHandleASyncLoad(info->Handle);
        info = m->Handle[slot];
        if (info != nullptr) VisitRecord((Record *)info);
    }
}
