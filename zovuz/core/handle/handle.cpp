// The handle registry: one manager per type, slot choice, check numbers, validation and
// deletion, and the tie between a handle and its asynchronous load.
#include "zovuz/core/handle/handle.h"
#include "zovuz/core/handle/handle_internal.h"

#include <string.h>

#include "zovuz/core/handle/async_load.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"

HandleManage HandleManageArray[DX_HANDLETYPE_NUM];

HandleManage *GetHandleManage(int HandleType)
{
    return HandleType >= 0 && HandleType < DX_HANDLETYPE_NUM ? &HandleManageArray[HandleType] : nullptr;
}

HandleInfo *HandleCheck(int Handle)
{
    if (Handle < 0) return nullptr;
    return GetTypedHandle(&HandleManageArray[HandleTypeOf(Handle)], Handle, 1);
}

namespace {

HandleManage *ManageOfType(int HandleType)
{
    if (HandleType < 0 || HandleType >= DX_HANDLETYPE_NUM) return nullptr;
    HandleManage *m = &HandleManageArray[HandleType];
    return m->InitializeFlag ? m : nullptr;
}

HandleManage *ManageOfHandle(int Handle)
{
    if (Handle < 0) return nullptr;
    return ManageOfType(HandleTypeOf(Handle));
}

void Lock(HandleManage *m, int Line) { CriticalSectionLock(&m->CriticalSection, __FILE__, Line); }
void Unlock(HandleManage *m) { CriticalSectionUnlock(&m->CriticalSection); }

// Takes the handle's type lock and checks the handle: the record with the lock held, or null
// with no lock held.
HandleInfo *LockHandle(int Handle, HandleManage **Manage, int Line)
{
    HandleManage *m = ManageOfHandle(Handle);
    *Manage = m;
    if (m == nullptr) return nullptr;
    Lock(m, Line);
    HandleInfo *info = HandleCheck(Handle);
    if (info == nullptr) Unlock(m);
    return info;
}

// Reads the load count of a record that another thread may change.
int LoadCountOf(HandleInfo *info) { return *(volatile int *)&info->ASyncLoadCount; }

// Waits, without holding the type's lock, until the handle's load count is 0, serving the
// main-thread requests meanwhile so that a worker that needs the main thread can finish.
// Returns with the lock taken again: the record, or null when the handle went away meanwhile.
HandleInfo *WaitLoadUnlocked(HandleManage *m, int Handle)
{
    for (;;) {
        HandleInfo *info = HandleCheck(Handle);
        if (info == nullptr) return nullptr;
        if (LoadCountOf(info) == 0) return info;
        Unlock(m);
        ProcessMainThreadRequests();
        ThreadSleep(0);
        Lock(m, __LINE__);
    }
}

// Stores a record pointer in a slot, ordered after every write to the record before it: a
// lookup on another thread that finds the pointer also finds the record's contents.
void PublishSlot(HandleManage *m, int Slot, HandleInfo *Info)
{
    __atomic_store_n(&m->Handle[Slot], Info, __ATOMIC_RELEASE);
}

// Moves the used-slot bounds after the record in Slot has been freed.
void ShrinkUsedArea(HandleManage *m, int Slot)
{
    if (m->Num == 0) {
        m->AreaMin = 0;
        m->AreaMax = 0;
        return;
    }
    if (Slot == m->AreaMax) {
        int s = Slot - 1;
        while (s > m->AreaMin && m->Handle[s] == nullptr) --s;
        m->AreaMax = s;
    } else if (Slot == m->AreaMin) {
        int s = Slot + 1;
        while (s < m->AreaMax && m->Handle[s] == nullptr) ++s;
        m->AreaMin = s;
    }
}

// The free slot for a new handle. The caller has checked that the type is not full.
int ChooseSlot(HandleManage *m, int ReuseHandle)
{
    if (ReuseHandle >= 0) {
        int slot = ReuseHandle & DX_HANDLEINDEX_MASK;
        if (slot < m->MaxNum && m->Handle[slot] == nullptr) return slot;
    }
    if (m->Num == 0) return 0;
    if (m->AreaMax + 1 < m->MaxNum) return m->AreaMax + 1;
    if (m->AreaMin - 1 >= 1) return m->AreaMin - 1;
    for (int s = 0; s < m->MaxNum; ++s)
        if (m->Handle[s] == nullptr) return s;
    return -1;  // only when the used count is wrong
}

// SubHandle with the type's lock held once by the caller; returns with it still held.
int SubHandleLocked(HandleManage *m, int Handle)
{
    HandleInfo *info = HandleCheck(Handle);
    if (info == nullptr) return -1;

    if (info->ASyncLoadCount != 0) {
        // A job that has not started is simply dropped; a running one (or a load without a
        // queued job) must be waited for.
        int wait = 1;
        if (info->ASyncDataNumber >= 0) {
            int rc = DeleteASyncLoadJob(info->ASyncDataNumber, 1);
            if (rc == 0 || rc == -1) wait = 0;
        }
        if (wait) {
            info = WaitLoadUnlocked(m, Handle);
            if (info == nullptr) return -1;
        }
    }

    if (m->TerminateFunction != nullptr && m->TerminateFunction(info) == 1) return 0;
    if (HandleCheck(Handle) != info) return 0;  // the term callback deleted it itself

    if (info->DeleteFlag != nullptr) *info->DeleteFlag = -1;

    int slot = Handle & DX_HANDLEINDEX_MASK;
    HandleListRemove(&info->List);
    PublishSlot(m, slot, nullptr);
    DxFree(info);
    m->Num--;
    ShrinkUsedArea(m, slot);
    return 0;
}

}  // namespace

void InitializeHandleList(HandleListNode *First, HandleListNode *Last)
{
    First->Handle = -1;
    First->Data = nullptr;
    First->Prev = nullptr;
    First->Next = Last;
    Last->Handle = -1;
    Last->Data = nullptr;
    Last->Prev = First;
    Last->Next = nullptr;
}

void HandleListAdd(HandleListNode *First, HandleListNode *Node, int Handle, void *Data)
{
    Node->Handle = Handle;
    Node->Data = Data;
    Node->Prev = First;
    Node->Next = First->Next;
    First->Next->Prev = Node;
    First->Next = Node;
}

void HandleListRemove(HandleListNode *Node)
{
    Node->Prev->Next = Node->Next;
    Node->Next->Prev = Node->Prev;
    Node->Prev = nullptr;
    Node->Next = nullptr;
}

int InitializeHandleType(int HandleType, int OneSize, int MaxNum, HandleInitFunction InitializeFunction,
                         HandleTermFunction TerminateFunction, const wchar_t *Name)
{
    if (HandleType < 0 || HandleType >= DX_HANDLETYPE_NUM) return -1;
    HandleManage *m = &HandleManageArray[HandleType];
    if (m->InitializeFlag) return -1;
    if (OneSize < (int)sizeof(HandleInfo) || MaxNum < 1 || MaxNum > DX_HANDLEINDEX_MAX) return -1;

    int next_id = m->NextID;
    memset(m, 0, sizeof(*m));
    m->NextID = next_id;

    m->HandleTypeMask = HandleType << DX_HANDLETYPE_ADDRESS;
    m->OneSize = OneSize;
    m->MaxNum = MaxNum;
    m->InitializeFunction = InitializeFunction;
    m->TerminateFunction = TerminateFunction;
    m->Name = Name;
    if (Name != nullptr) {
        int n = 0;
        while (n < DX_HANDLE_NAME_LENGTH && Name[n] != 0) ++n;
        // Never cut a surrogate pair in half.
        if (n == DX_HANDLE_NAME_LENGTH && Name[n] != 0 && Name[n - 1] >= 0xD800 && Name[n - 1] <= 0xDBFF) --n;
        memcpy(m->NameUTF16, Name, (size_t)n * sizeof(wchar_t));
        m->NameUTF16[n] = 0;
    }

    m->Handle = (HandleInfo **)DxCalloc(sizeof(HandleInfo *) * (size_t)MaxNum, __FILE__, __LINE__);
    if (m->Handle == nullptr) {
        memset(m, 0, sizeof(*m));
        m->NextID = next_id;
        return -1;
    }
    InitializeHandleList(&m->ListFirst, &m->ListLast);
    CriticalSectionInitialize(&m->CriticalSection);
    m->InitializeFlag = 1;
    return 0;
}

int TerminateHandleType(int HandleType)
{
    HandleManage *m = ManageOfType(HandleType);
    if (m == nullptr) return -1;

    DeleteHandleTypeAll(HandleType, nullptr);

    // A record that its term callback kept has an owner who can no longer delete it once the
    // type is gone: free it here rather than lose it.
    Lock(m, __LINE__);
    for (int s = 0; s < m->MaxNum && m->Num > 0; ++s) {
        HandleInfo *info = m->Handle[s];
        if (info == nullptr) continue;
        if (info->DeleteFlag != nullptr) *info->DeleteFlag = -1;
        m->Handle[s] = nullptr;
        DxFree(info);
        m->Num--;
    }
    m->InitializeFlag = 0;
    Unlock(m);

    DxFree(m->Handle);
    CriticalSectionDelete(&m->CriticalSection);
    int next_id = m->NextID;
    memset(m, 0, sizeof(*m));
    m->NextID = next_id;
    return 0;
}

int AddHandle(int HandleType, int ASyncFlag, int ReuseHandle)
{
    HandleManage *m = ManageOfType(HandleType);
    if (m == nullptr) return -1;
    Lock(m, __LINE__);

    if (m->Num >= m->MaxNum) {
        Unlock(m);
        AddLogFormat(L"%sハンドルの数が限界数( %d )に達していて新たなハンドルを作成できません", m->NameUTF16,
                     m->MaxNum);
        return -1;
    }

    int slot = ChooseSlot(m, ReuseHandle);
    if (slot < 0) {
        Unlock(m);
        return -1;
    }

    HandleInfo *info = (HandleInfo *)DxCalloc((size_t)m->OneSize, __FILE__, __LINE__);
    if (info == nullptr) {
        Unlock(m);
        AddLogFormat(L"%sハンドルのデータを格納するメモリ領域の確保に失敗しました", m->NameUTF16);
        return -1;
    }

    // A reused number keeps its check bits and leaves the counter where it is.
    int id;
    if (ReuseHandle >= 0) {
        id = (ReuseHandle & DX_HANDLECHECK_MASK) >> DX_HANDLECHECK_ADDRESS;
    } else {
        m->NextID++;
        if (m->NextID >= DX_HANDLECHECK_COUNT) m->NextID = 0;
        id = m->NextID;
    }

    info->ID = id;
    info->AllocSize = m->OneSize;
    info->DeleteRequestFlag = 0;
    if (ASyncFlag) {
        info->ASyncLoadCount = 1;
        info->ASyncDataNumber = -1;
    }
    info->Handle = (id << DX_HANDLECHECK_ADDRESS) | m->HandleTypeMask | slot;

    m->Num++;
    if (m->Num == 1) {
        m->AreaMin = slot;
        m->AreaMax = slot;
    } else {
        if (slot < m->AreaMin) m->AreaMin = slot;
        if (slot > m->AreaMax) m->AreaMax = slot;
    }

    HandleListAdd(&m->ListFirst, &info->List, info->Handle, info);
    if (m->InitializeFunction != nullptr) m->InitializeFunction(info);

    // Lookups read the slot without the lock: the record goes into it only once its header
    // and the init callback's work are complete, so no lookup can match a half-built record.
    int handle = info->Handle;
    PublishSlot(m, slot, info);
    Unlock(m);
    return handle;
}

int SubHandle(int Handle)
{
    HandleManage *m = ManageOfHandle(Handle);
    if (m == nullptr) return -1;
    Lock(m, __LINE__);
    int rc = SubHandleLocked(m, Handle);
    Unlock(m);
    return rc;
}

int DeleteHandleTypeAll(int HandleType, HandleKeepTest KeepTest)
{
    HandleManage *m = ManageOfType(HandleType);
    if (m == nullptr) return -1;
    Lock(m, __LINE__);

    // Slots below `from` hold records whose term callback kept them in this sweep; they are
    // not offered again, so the sweep always ends.
    int from = 0;
    for (;;) {
        int candidate = -1;
        if (m->Num > 0) {
            int start = m->AreaMin > from ? m->AreaMin : from;
            for (int s = start; s <= m->AreaMax; ++s) {
                HandleInfo *info = m->Handle[s];
                if (info == nullptr) continue;
                if (KeepTest != nullptr && KeepTest(info) != 0) continue;
                candidate = s;
                break;
            }
        }
        if (candidate < 0) break;

        int handle = m->Handle[candidate]->Handle;
        SubHandleLocked(m, handle);
        if (m->Handle[candidate] != nullptr && m->Handle[candidate]->Handle == handle) from = candidate + 1;
    }

    Unlock(m);
    return 0;
}

HandleInfo *GetHandleData(int Handle) { return HandleCheck(Handle); }

int ReallocHandleData(int Handle, int NewSize)
{
    HandleInfo *info = HandleCheck(Handle);
    if (info == nullptr || NewSize < (int)sizeof(HandleInfo)) return -1;
    if (NewSize == info->AllocSize) return 0;

    HandleManage *m;
    info = LockHandle(Handle, &m, __LINE__);
    if (info == nullptr) return -1;
    HandleInfo *moved = (HandleInfo *)DxRealloc(info, (size_t)NewSize, __FILE__, __LINE__);
    if (moved == nullptr) {
        Unlock(m);
        return -1;
    }
    moved->AllocSize = NewSize;
    if (moved != info) {
        PublishSlot(m, Handle & DX_HANDLEINDEX_MASK, moved);
        moved->List.Data = moved;
        moved->List.Prev->Next = &moved->List;
        moved->List.Next->Prev = &moved->List;
    }
    Unlock(m);
    return 0;
}

int SetHandleDeleteNotify(int Handle, int *DeleteFlag)
{
    HandleInfo *info = HandleCheck(Handle);
    if (info == nullptr) return -1;
    info->DeleteFlag = DeleteFlag;
    return 0;
}

int IncASyncLoadCount(int Handle, int ASyncDataNumber)
{
    HandleManage *m;
    HandleInfo *info = LockHandle(Handle, &m, __LINE__);
    if (info == nullptr) return -1;
    info->ASyncLoadCount++;
    info->ASyncDataNumber = ASyncDataNumber;
    Unlock(m);
    return 0;
}

int DecASyncLoadCount(int Handle)
{
    HandleManage *m;
    HandleInfo *info = LockHandle(Handle, &m, __LINE__);
    if (info == nullptr) return -1;
    info->ASyncLoadCount--;
    if (info->ASyncLoadCount == 0) {
        info->ASyncDataNumber = -1;
        if (info->DeleteRequestFlag) SubHandleLocked(m, Handle);
    }
    Unlock(m);
    return 0;
}

int IsHandleASyncLoading(int Handle)
{
    HandleManage *m;
    HandleInfo *info = LockHandle(Handle, &m, __LINE__);
    if (info == nullptr) return -1;
    int rc = info->ASyncLoadCount != 0 ? 1 : 0;
    Unlock(m);
    return rc;
}

int WaitHandleASyncLoad(int Handle)
{
    HandleManage *m;
    if (LockHandle(Handle, &m, __LINE__) == nullptr) return -1;
    HandleInfo *info = WaitLoadUnlocked(m, Handle);
    Unlock(m);
    return info == nullptr ? -1 : 0;
}
