// The entry of every test program: runs the tests on the process's main thread, then ends the
// process only once no other thread of it is left.
//
// GoogleTest gives every thread that uses its thread-local values (a SCOPED_TRACE, a failed
// assertion) a watcher thread that waits for that thread to end. A process that ends while such a
// thread still waits in the server runs into a race in Wine's process exit: under load, Wine
// sends the waiting thread its termination signal twice and the process dies of SIGSEGV after all
// its tests have passed. Ending the main thread first lets the watcher finish its wait and leave;
// a last thread then ends the process alone, with the tests' result.
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>

#include "tests/support/test_result_file.h"

namespace {

struct FinishData
{
    HANDLE MainThread;  // ends first
    int Result;         // the process's exit code
};

// Whether a thread runs code of the program itself (GoogleTest's watchers, threads a test or the
// library started), judged by where it started; a thread whose start cannot be told counts too.
// Threads the system's libraries start (XInput's, DirectInput's, Wine's Direct3D and sound
// drivers') stay for the life of the process: waiting for them only held every program that had
// loaded one of those libraries for the whole wait.
bool RunsProgramCode(DWORD ThreadId)
{
    using QueryThread = LONG(WINAPI *)(HANDLE, int, void *, ULONG, ULONG *);
    static const QueryThread query =
        reinterpret_cast<QueryThread>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread"));
    const int kStartAddress = 9;  // ThreadQuerySetWin32StartAddress
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, ThreadId);
    if (thread == nullptr)
        return true;
    void *start = nullptr;
    const bool known = query != nullptr && query(thread, kStartAddress, &start, sizeof(start), nullptr) == 0;
    CloseHandle(thread);
    HMODULE module = nullptr;
    if (!known || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                          GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      static_cast<const wchar_t *>(start), &module))
        return true;
    return module == GetModuleHandleW(nullptr);
}

// Threads of this process other than the caller that run the program's own code.
int OtherThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID != GetCurrentThreadId() &&
            RunsProgramCode(entry.th32ThreadID))
            ++count;
    CloseHandle(snapshot);
    return count;
}

// The result file the runner named, as a Windows path; empty when it named none.
char ResultFile[MAX_PATH + 2];

// Takes the runner's result file out of the environment, so that the programs a test starts (this
// program again, among others) never inherit it: a child that returned normally would write its
// result in the parent's file, which the runner takes for the parent's end.
void KeepResultFile()
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("TARVEX_EXIT_CODE_FILE", path, sizeof(path));
    SetEnvironmentVariableA("TARVEX_EXIT_CODE_FILE", nullptr);
    if (length == 0 || length >= sizeof(path))
        return;
    // The runner names a Unix path; Wine reaches it through the Z: drive.
    strcpy(ResultFile, "Z:");
    strcat(ResultFile, path);
}

// Wine's server kills a process whose Unix side is slow to exit after its last thread ended (on
// a busy machine, the graphics libraries' tear-down), and under load a process has been seen to
// hang in its end after its tests had passed: the runner (wine-run) then reads the result from the
// file it named, so it is written as soon as the tests have run.
void RecordResult(int Result)
{
    if (ResultFile[0] == 0)
        return;
    FILE *file = fopen(ResultFile, "w");
    if (file == nullptr)
        return;
    fprintf(file, "%d\n", Result);
    fclose(file);
}

DWORD WINAPI FinishProcess(void *Parameter)
{
    const FinishData *finish = static_cast<const FinishData *>(Parameter);
    WaitForSingleObject(finish->MainThread, INFINITE);
    // A thread a test left running does not hold the result back for long.
    DWORD start = GetTickCount();
    while (OtherThreadCount() > 0 && GetTickCount() - start < 2000)
        Sleep(1);
    exit(finish->Result);
}

}  // namespace

std::string TestResultFile() { return ResultFile; }

int main(int argc, char **argv)
{
    KeepResultFile();
    testing::InitGoogleTest(&argc, argv);
    static FinishData finish;
    finish.Result = RUN_ALL_TESTS();
    fflush(stdout);
    fflush(stderr);
    RecordResult(finish.Result);
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &finish.MainThread,
                         SYNCHRONIZE, FALSE, 0))
        return finish.Result;
    HANDLE finisher = CreateThread(nullptr, 0, FinishProcess, &finish, 0, nullptr);
    if (finisher == nullptr)
        return finish.Result;
    CloseHandle(finisher);
    ExitThread((DWORD)finish.Result);
}
