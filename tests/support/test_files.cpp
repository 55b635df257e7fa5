#include "tests/support/test_files.h"

#include <windows.h>

#include <string.h>

bool WriteFileBytes(const std::wstring &Path, const void *Data, size_t Size)
{
    HANDLE file = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = Size == 0 || WriteFile(file, Data, (DWORD)Size, &written, nullptr);
    CloseHandle(file);
    return ok && written == Size;
}

namespace {

std::string ReadWhole(HANDLE File)
{
    std::string bytes;
    if (File == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(File, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(File);
    return bytes;
}

const DWORD AnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::string ReadFileBytes(const std::wstring &Path)
{
    return ReadWhole(CreateFileW(Path.c_str(), GENERIC_READ, AnyShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
}

std::string ReadFileBytes(const std::string &Path)
{
    return ReadWhole(CreateFileA(Path.c_str(), GENERIC_READ, AnyShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
}

bool FileExists(const std::wstring &Path)
{
    return GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

std::wstring Utf16(const std::string &Bytes, size_t From)
{
    std::wstring text;
    for (size_t i = From; i + 1 < Bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>((unsigned char)Bytes[i] | ((unsigned char)Bytes[i + 1] << 8)));
    return text;
}

}  // namespace

std::wstring ReadLogText()
{
    std::wstring text = Utf16(ReadFileBytes(L"Log.txt"), 0);
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    return text;
}

void RemoveLogFile()
{
    DeleteFileW(L"Log.txt");
}

std::wstring LogAppendReader::Appended() const
{
    std::string bytes = ReadFileBytes(L"Log.txt");
    return Utf16(bytes, bytes.size() >= start_ ? start_ : 0);
}

int RunProgram(const std::wstring &CommandLine, std::string *Output)
{
    std::wstring command = CommandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    // The program's output streams go to a file of the test's folder, read back afterwards.
    const wchar_t *outputPath = L"program_output.txt";
    HANDLE output = INVALID_HANDLE_VALUE;
    if (Output != nullptr)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        output = CreateFileW(outputPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
        if (output == INVALID_HANDLE_VALUE) return -1;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, Output != nullptr, 0, nullptr, nullptr,
                                  &startup, &process);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (Output != nullptr) *Output = ReadFileBytes(outputPath);
    return (int)code;
}
