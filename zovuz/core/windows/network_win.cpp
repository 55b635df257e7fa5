// The network layer's hooks over Winsock (ws2_32 through the Windows API table).
//
// The layer is never started here (no start call exists, handle type 10 is never registered),
// so its hooks are the not-started paths only: no window, worker thread, handle or socket of
// the layer ever comes to be.
#include "zovuz/core/network.h"

#include "zovuz/core/base_helpers.h"
#include "zovuz/core/text/log.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/desktop/windows/window_state_win.h"

#include <stdarg.h>

namespace {

constexpr int NetworkLogUnits = 1024;  // the formatted text, terminator included

}  // namespace

// Not started: nothing to sweep or dispatch.
int ProcessNetworkMessages(int) { return 0; }

// Not started: nothing to end, no Winsock to clean up.
int TerminateNetwork(void) { return 0; }

LRESULT ProcessNetworkSocketMessage(WPARAM, LPARAM)
{
    // No socket is ever registered for the window's socket message.
    return 0;
}

int NetworkLog(const wchar_t *FormatString, ...)
{
    // The error is read first: formatting and file calls may change the thread's last error.
    if (WinAPIData.WSAGetLastErrorFunc == NULL) LoadWinAPI();
    int error = WinAPIData.WSAGetLastErrorFunc != NULL ? WinAPIData.WSAGetLastErrorFunc() : 0;
    wchar_t text[NetworkLogUnits];
    va_list args;
    va_start(args, FormatString);
    if (VFormatWideStringN(text, NetworkLogUnits, FormatString, args) < 0) text[0] = L'\0';
    va_end(args);
    return AddLogFormat(L"ネットワークログ。%s[%d]", text, error);
}
