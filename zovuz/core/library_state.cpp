// The library-wide state flags.
#include "zovuz/core/library_state.h"
#include "zovuz/core/library_state_internal.h"

LibraryStateData LibraryState;

int IsLibraryStarted(void) { return LibraryState.Started != 0 ? 1 : 0; }
int IsLibraryStarting(void) { return LibraryState.Starting != 0 ? 1 : 0; }
int IsLibraryEnding(void) { return LibraryState.Ending != 0 ? 1 : 0; }

void SetLibraryStarted(int Flag) { LibraryState.Started = Flag; }
void SetLibraryStarting(int Flag) { LibraryState.Starting = Flag; }
void SetLibraryEnding(int Flag) { LibraryState.Ending = Flag; }

void ClearLibraryQuitFlags(void)
{
    LibraryState.Quit = 0;
    LibraryState.LibraryEnd = 0;
}

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
