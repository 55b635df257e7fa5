// The archive key: every byte of an archive, header included, is scrambled with a 12-byte key
// made from a key string. This file is the only place that knows how; the reader and the
// archive writer both call it.
//
// The transform is an exclusive-or of each byte with key[position % 12], position being the
// byte's offset in the archive file. It is its own inverse, so scrambling and unscrambling are
// one call, and any stretch of the archive can be unscrambled on its own once its position is
// known. The all-0xFF key that the reader falls back to is simply twelve 0xFF bytes.
#include "zovuz/core/file/archive.h"
#include "zovuz/core/file/archive_internal.h"

#include <string.h>

void MakeArchiveKey(const char *KeyString, unsigned char *Key)
{
    // A fixed starting state, so that even archives made without a key string are scrambled.
    static const unsigned char Seed[ARCHIVE_KEY_BYTES] = {0x3A, 0xC5, 0x91, 0x5E, 0x27, 0xB8,
                                                          0x6D, 0xF2, 0x14, 0x8B, 0xE9, 0x40};
    memcpy(Key, Seed, ARCHIVE_KEY_BYTES);
    if (KeyString == nullptr) return;

    // Each character stirs every key byte, so that keys differing in one character differ in
    // all twelve bytes.
    size_t length = strlen(KeyString);
    uint32_t mix = 0x9E3779B9u ^ (uint32_t)length;
    for (size_t i = 0; i < length; i++) {
        mix = (mix ^ (unsigned char)KeyString[i]) * 0x01000193u;
        for (int k = 0; k < ARCHIVE_KEY_BYTES; k++) {
            mix = mix * 1664525u + 1013904223u;
            Key[k] ^= (unsigned char)(mix >> 24);
        }
    }
}

void MakeArchiveFallbackKey(unsigned char *Key) { memset(Key, 0xFF, ARCHIVE_KEY_BYTES); }

void ArchiveKeyConvert(void *Data, size_t Size, uint64_t Position, const unsigned char *Key)
{
    unsigned char *bytes = (unsigned char *)Data;
    unsigned int k = (unsigned int)(Position % ARCHIVE_KEY_BYTES);

    // Whole archives pass through here: the key, rotated to this position, repeats every 24
    // bytes, which is three 64-bit words, so the bulk goes a word at a time.
    if (Size >= 48) {
        uint64_t words[3];
        unsigned char *pattern = (unsigned char *)words;
        for (int i = 0; i < 24; i++) pattern[i] = Key[(k + i) % ARCHIVE_KEY_BYTES];
        size_t i = 0;
        for (; i + 24 <= Size; i += 24) {
            uint64_t chunk[3];
            memcpy(chunk, bytes + i, 24);
            chunk[0] ^= words[0];
            chunk[1] ^= words[1];
            chunk[2] ^= words[2];
            memcpy(bytes + i, chunk, 24);
        }
        bytes += i;
        Size -= i;  // i is a multiple of 24, so the key phase is unchanged
    }
    for (size_t i = 0; i < Size; i++) {
        bytes[i] ^= Key[k];
        if (++k == ARCHIVE_KEY_BYTES) k = 0;
    }
}
