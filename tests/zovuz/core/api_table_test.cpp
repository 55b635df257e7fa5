// The run-time Windows API table: all of its DLLs load under Wine, loading twice loads nothing
// new, release clears every entry, and COM creation through it.
#include "zovuz/core/windows/api_table.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Every entry of the table by name, built from the same list the table is made of.
struct TableEntry
{
    std::string Name;
    void *const *Field;
    bool IsModule;
};

std::vector<TableEntry> AllEntries()
{
    std::vector<TableEntry> entries;
#define TEST_FUNC_ENTRY(Name, Ret, Params) \
    entries.push_back({#Name, reinterpret_cast<void *const *>(&WinAPIData.Name##Func), false});
#define TEST_DLL_ENTRIES(Prefix, File, List) \
    entries.push_back({#Prefix, reinterpret_cast<void *const *>(&WinAPIData.Prefix##DLL), true}); \
    List(TEST_FUNC_ENTRY)
    ZOVUZ_WINAPI_DLLS(TEST_DLL_ENTRIES)
#undef TEST_DLL_ENTRIES
#undef TEST_FUNC_ENTRY
    return entries;
}

TEST(WinAPITable, EveryDllAndFunctionResolvesUnderWine)
{
    LoadWinAPI();
    std::vector<TableEntry> entries = AllEntries();
    int modules = 0;
    for (const TableEntry &entry : entries)
    {
        EXPECT_NE(nullptr, *entry.Field) << entry.Name << " is missing";
        modules += entry.IsModule ? 1 : 0;
    }
    EXPECT_EQ(14, modules);
    // The millisecond clock that the log and start-up rely on works through the table.
    DWORD first = WinAPIData.timeGetTimeFunc();
    Sleep(20);
    EXPECT_GE(WinAPIData.timeGetTimeFunc() - first, 10u);
}

TEST(WinAPITable, LoadingAgainLoadsNothingNew)
{
    LoadWinAPI();
    WinAPIFunctionTable before;
    memcpy(&before, &WinAPIData, sizeof(before));
    int loads = GetWinAPILoadLibraryCount();
    EXPECT_EQ(0, LoadWinAPI());
    EXPECT_EQ(loads, GetWinAPILoadLibraryCount());
    EXPECT_EQ(0, memcmp(&before, &WinAPIData, sizeof(before)));
}

TEST(WinAPITable, ReleaseClearsEveryEntryAndTheTableCanBeLoadedAgain)
{
    LoadWinAPI();
    EXPECT_EQ(0, ReleaseWinAPI());
    for (const TableEntry &entry : AllEntries())
        EXPECT_EQ(nullptr, *entry.Field) << entry.Name << " survived the release";
    EXPECT_EQ(0, ReleaseWinAPI());  // releasing an empty table does nothing

    int loads = GetWinAPILoadLibraryCount();
    LoadWinAPI();
    EXPECT_EQ(loads + 14, GetWinAPILoadLibraryCount());
    EXPECT_NE(nullptr, WinAPIData.CoCreateInstanceFunc);
}

TEST(WinAPITable, CoCreateInstanceThroughTheTable)
{
    LoadWinAPI();
    ASSERT_GE(WinAPIData.CoInitializeExFunc(nullptr, COINIT_APARTMENTTHREADED), 0);

    IShellLinkW *link = nullptr;
    HRESULT hr = CoCreateInstance_ASync(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                        reinterpret_cast<void **>(&link), 0);
    EXPECT_EQ(S_OK, hr);
    ASSERT_NE(nullptr, link);
    link->Release();

    // Only an asynchronous-load worker may ask for creation on the main thread.
    link = nullptr;
    hr = CoCreateInstance_ASync(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void **>(&link), 1);
    EXPECT_EQ(-1, hr);
    EXPECT_EQ(nullptr, link);
    WinAPIData.CoUninitializeFunc();
}

} // namespace
