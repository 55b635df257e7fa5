// A caller's file-access table over plain files (paths in the current multibyte code) that
// counts the opens of each file and can hold the opens of one file until released, so a test can
// see what the library reads and catch an asynchronous load while it runs.
#pragma once

#include <string>

class CountingFiles
{
public:
    // Installs the table; the destructor puts the library's own back and releases any hold.
    CountingFiles();
    ~CountingFiles();
    CountingFiles(const CountingFiles &) = delete;
    CountingFiles &operator=(const CountingFiles &) = delete;

    // Opens so far of paths that end with Name (opens that failed included).
    int Opens(const std::string &Name) const;
    // Opens of paths ending with Name wait (at most 20 s) until Release.
    void Hold(const std::string &Name);
    void Release();
};
