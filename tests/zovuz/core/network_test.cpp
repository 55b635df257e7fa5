// The network layer is never started here: its hooks return at once, and its log line carries
// the last Winsock error.
#include "zovuz/core/network.h"

#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(Network, HooksReturnAtOnceAndTheLogLineCarriesTheWinsockError)
{
    EXPECT_EQ(0, ProcessNetworkMessages(1));
    EXPECT_EQ(0, TerminateNetwork());

    typedef void(WINAPI * SetErrorProc)(int);
    SetErrorProc setError =
        reinterpret_cast<SetErrorProc>(GetProcAddress(LoadLibraryW(L"ws2_32.dll"), "WSASetLastError"));
    ASSERT_NE(nullptr, setError);
    NetworkLog(L"");  // the first call loads the Windows API table and starts the log
    LogAppendReader reader;
    setError(10054);
    EXPECT_EQ(-1, NetworkLog(L"接続 %d %s", 3, L"相手"));
    EXPECT_NE(std::wstring::npos, reader.Appended().find(L"ネットワークログ。接続 3 相手[10054]\r\n"));
}

}  // namespace
