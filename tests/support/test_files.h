// Files of the tests: whole files written and read back, the library log ("Log.txt" in the
// test's working folder, UTF-16LE after an FF FE signature) read back, and child programs.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// Creates or replaces the file with exactly these bytes; false when it cannot be written.
bool WriteFileBytes(const std::wstring &Path, const void *Data, size_t Size);
inline bool WriteFileBytes(const std::wstring &Path, const std::string &Data)
{
    return WriteFileBytes(Path, Data.data(), Data.size());
}
inline bool WriteFileBytes(const std::wstring &Path, const std::vector<unsigned char> &Data)
{
    return WriteFileBytes(Path, Data.data(), Data.size());
}

// The whole file; empty when it is missing. The narrow form takes a path in the ANSI code page.
std::string ReadFileBytes(const std::wstring &Path);
std::string ReadFileBytes(const std::string &Path);

bool FileExists(const std::wstring &Path);

// The text of "Log.txt" without its signature; empty when there is no log.
std::wstring ReadLogText();
// Removes "Log.txt", so that what follows is all the log holds.
void RemoveLogFile();

// What the log gained after a point: construct it, act, then read Appended().
class LogAppendReader
{
public:
    LogAppendReader() { Mark(); }
    // Forgets what the log holds now.
    void Mark() { start_ = ReadFileBytes(L"Log.txt").size(); }
    // The UTF-16 text written since the mark (a log started anew after it reads from its start).
    std::wstring Appended() const;

private:
    size_t start_ = 0;
};

// Runs a command line and waits for the program: its exit code, or -1 when it did not start.
// With Output, what the program wrote to its output and error streams is kept there (as bytes).
int RunProgram(const std::wstring &CommandLine, std::string *Output = nullptr);
