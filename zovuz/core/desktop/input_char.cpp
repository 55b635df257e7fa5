// The typed-character buffer.
#include "zovuz/core/desktop/input_char_internal.h"

namespace {

// Ring state; main thread only.
struct InputCharBufferData
{
    uint16_t Unit[INPUT_CHAR_BUFFER_UNITS];  // the ring
    int ReadIndex;                           // next unit to take, 0 .. 1024
    int WriteIndex;                          // next unit to fill, 0 .. 1024
};
InputCharBufferData InputChar;

struct EditingKey
{
    unsigned int VirtualKey;
    uint16_t Code;
};

// Virtual keys (VK_DELETE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_PRIOR,
// VK_NEXT) and the codes they put into the buffer.
constexpr EditingKey EditingKeyTable[] = {
    {0x2E, 0x10}, {0x25, 0x1D}, {0x27, 0x1C}, {0x26, 0x1E}, {0x28, 0x1F},
    {0x24, 0x1A}, {0x23, 0x19}, {0x21, 0x17}, {0x22, 0x15},
};

int Next(int Index) { return Index == INPUT_CHAR_BUFFER_UNITS - 1 ? 0 : Index + 1; }

int Prev(int Index) { return Index == 0 ? INPUT_CHAR_BUFFER_UNITS - 1 : Index - 1; }

}  // namespace

void ClearInputCharRing(void)
{
    InputChar.ReadIndex = 0;
    InputChar.WriteIndex = 0;
}

int IsInputCharBufferFull(void) { return Next(InputChar.WriteIndex) == InputChar.ReadIndex ? 1 : 0; }

int StoreInputChar(uint16_t Unit)
{
    if (IsInputCharBufferFull()) return -1;
    InputChar.Unit[InputChar.WriteIndex] = Unit;
    InputChar.WriteIndex = Next(InputChar.WriteIndex);
    return 0;
}

int TakeInputChar(uint16_t Out[2], int RemoveFlag)
{
    if (InputChar.ReadIndex == InputChar.WriteIndex) return 0;
    int count = 1;
    Out[0] = InputChar.Unit[InputChar.ReadIndex];
    InputChar.ReadIndex = Next(InputChar.ReadIndex);
    if (Out[0] >= 0xD800 && Out[0] <= 0xDBFF && !IsInputControlCode(Out[0])) {
        if (InputChar.ReadIndex == InputChar.WriteIndex) {
            InputChar.ReadIndex = Prev(InputChar.ReadIndex);
            return 0;
        }
        Out[1] = InputChar.Unit[InputChar.ReadIndex];
        InputChar.ReadIndex = Next(InputChar.ReadIndex);
        count = 2;
    }
    if (!RemoveFlag) {
        for (int i = 0; i < count; ++i) InputChar.ReadIndex = Prev(InputChar.ReadIndex);
    }
    return count;
}

int IsInputControlCode(uint16_t Unit)
{
    for (const EditingKey &key : EditingKeyTable)
        if (key.Code == Unit) return 1;
    return 0;
}

uint16_t GetEditingKeyInputCode(unsigned int VirtualKey)
{
    for (const EditingKey &key : EditingKeyTable)
        if (key.VirtualKey == VirtualKey) return key.Code;
    return 0;
}

int CountCharsInUnits(const uint16_t *String, int Units)
{
    int chars = 0;
    int i = 0;
    while (i < Units && String[i] != 0) {
        // A high surrogate and the low one after it are one character; either alone is one too.
        bool pair = String[i] >= 0xD800 && String[i] <= 0xDBFF && i + 1 < Units && String[i + 1] >= 0xDC00 &&
                    String[i + 1] <= 0xDFFF;
        i += pair ? 2 : 1;
        chars++;
    }
    return chars;
}
