// The IME layer: typed text through the input method editor. It follows the IME through the main
// window's IME messages (composition string, clauses, attributes, cursor, candidate list, open
// status) and, from Windows 7 on, through a text-services UI element sink that keeps the system's
// candidate window hidden and captures the candidate list instead. Composition results go into the
// typed-character buffer (input_char_internal.h). Main thread only.
#pragma once

#include <stdint.h>

struct HWND__;

// InitializeInputCharBuffer, the layer's start, is one of the library's start-up steps: it clears
// the text-input state (the IME-use flag and the IME enable state last given to the window
// survive), empties the typed-character buffer and, on Windows 7 and later, activates the text
// services and advises the UI element sink. Text services that cannot be set up leave the IME
// messages in charge of the candidate list.
#include "zovuz/core/library_core.h"

// Unadvises the sink, deactivates and releases the text services (nothing when there are none). 0.
int TerminateTextServices(void);

// The main window's end: frees every input-string record and forgets the active one; with no
// record left, the window's IME is switched on or off to match the IME-use flag, and switching it
// off forgets the candidate list and the composition. 0.
int DeleteAllInputStrings(void);

// The window procedure hands over WM_IME_STARTCOMPOSITION, WM_IME_ENDCOMPOSITION,
// WM_IME_COMPOSITION, WM_IME_SETCONTEXT, WM_IME_NOTIFY and WM_IME_REQUEST; the result is the
// window procedure's.
intptr_t ImeWindowMessageHandler(HWND__ *Window, unsigned int Message, uintptr_t WParam, intptr_t LParam);

// The pump's text-input step, on every pass: an IME that was open when the window lost the focus
// gets its composition back (cancel, close, open, open again with the saved composition). 0.
int ProcessInputString(void);

// The window became active again: when the window's IME is enabled and was open, the pump's next
// text-input step restores the composition. 0.
int RestoreImeOnActivate(void);

// Whether the program takes IME input (0 unless set; nothing in this program sets it).
int GetImeUseFlag(void);

// Enables or disables the IME for the window (WINNLSEnableIME through the Windows API table, when
// present) and remembers the state given. 0.
int EnableImeForWindow(HWND__ *Window, int EnableFlag);
