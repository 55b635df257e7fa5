#include "memory_log_reader.h"

#include <stdio.h>

std::wstring MemoryTestReadLog()
{
    std::wstring text;
    FILE *file = fopen("Log.txt", "rb");
    if (file == NULL) return text;
    unsigned char unit[2];
    while (fread(unit, 1, 2, file) == 2) text.push_back(static_cast<wchar_t>(unit[0] | (unit[1] << 8)));
    fclose(file);
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    return text;
}

void MemoryTestRemoveLog()
{
    remove("Log.txt");
}
