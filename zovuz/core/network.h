// The library's network layer as the rest of the library meets it.
//
// Nothing in this program starts the layer: no call sets its started flag and its handle type
// (10) is never registered. The message pump and the library's end still call its two hooks,
// which return at once while it is not started.
#pragma once

// The message pump's network step, every pass. 0.
int ProcessNetworkMessages(int SweepFlag);

// The network's end, early in the library's end. 0.
int TerminateNetwork(void);

// Logs "ネットワークログ。<formatted text>[<last Winsock error>]". Always -1, as every log entry.
int NetworkLog(const wchar_t *FormatString, ...);
