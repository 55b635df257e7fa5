#include "char_code_fence.h"

#include <windows.h>

#include <string.h>

#include <stdexcept>

CharCodeFence::CharCodeFence(size_t MaxBytes)
{
    SYSTEM_INFO Info;
    GetSystemInfo(&Info);
    const size_t Page = Info.dwPageSize;
    Usable = (MaxBytes + Page - 1) / Page * Page;
    if (Usable == 0)
        Usable = Page;
    Total = Usable + Page;
    Base = static_cast<char *>(VirtualAlloc(nullptr, Total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD Old;
    if (Base == nullptr || !VirtualProtect(Base + Usable, Page, PAGE_NOACCESS, &Old))
        throw std::runtime_error("no fenced memory");
}

CharCodeFence::~CharCodeFence()
{
    VirtualFree(Base, 0, MEM_RELEASE);
}

char *CharCodeFence::Place(const void *Data, size_t Size)
{
    if (Size > Usable)
        throw std::length_error("block larger than the fence's room");
    char *Start = Base + Usable - Size;
    memcpy(Start, Data, Size);
    return Start;
}

char *CharCodeFence::Room(size_t Size, unsigned char Fill)
{
    if (Size > Usable)
        throw std::length_error("block larger than the fence's room");
    char *Start = Base + Usable - Size;
    memset(Start, Fill, Size);
    return Start;
}
