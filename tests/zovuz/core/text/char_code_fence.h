// Test support for the character-code tests: memory that ends at a page the process may not
// touch, so a read or write one byte past the end stops the test at the faulty access.
#pragma once

#include <stddef.h>

class CharCodeFence
{
public:
    // Room for blocks of up to MaxBytes bytes.
    explicit CharCodeFence(size_t MaxBytes);
    ~CharCodeFence();
    CharCodeFence(const CharCodeFence &) = delete;
    CharCodeFence &operator=(const CharCodeFence &) = delete;

    // Copies Size bytes so that the last one lies just before the fence; returns the copy.
    char *Place(const void *Data, size_t Size);
    // Size bytes that end at the fence, filled with Fill.
    char *Room(size_t Size, unsigned char Fill = 0xCD);

private:
    char *Base;      // the whole reservation
    size_t Usable;   // bytes before the no-access page
    size_t Total;    // usable bytes plus the no-access page
};
