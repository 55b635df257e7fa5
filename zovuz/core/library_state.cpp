// The library-wide state flags.
#include "zovuz/core/library_state.h"
#include "zovuz/core/library_state_internal.h"

LibraryStateData LibraryState;

LibraryStateData *GetLibraryState(void) { return &LibraryState; }

void SetLibraryQuitFlags(void)
{
    LibraryState.Quit = 1;
    LibraryState.LibraryEnd = 1;
}

int GetLibraryEndFlag(void) { return LibraryState.LibraryEnd; }

int GetUseASyncLoadFlag(void) { return LibraryState.UseASyncLoadFlag != 0 ? 1 : 0; }

int SetUseASyncLoadFlag(int Flag)
{
    LibraryState.UseASyncLoadFlag = Flag;
    return 0;
}
