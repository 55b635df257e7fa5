// Programs a test program starts must not outlive it. A tarvex.exe left behind keeps the one main
// window of the prefix's shared desktop, so the next step's program refuses to start beside it;
// and a test program that faults would otherwise wait in Wine's crash dialog until CTest's
// timeout kills it, the dialog left on that desktop.
#pragma once

#include <windows.h>

// A job that ends the programs it holds when it goes: with its last handle, so also when the test
// program ends however it ends (a fault, or CTest's timeout killing it).
class ProgramJob {
 public:
  ProgramJob();
  ~ProgramJob();
  ProgramJob(const ProgramJob&) = delete;
  ProgramJob& operator=(const ProgramJob&) = delete;

  // Puts a started program into the job; false when the job could not be made or take it.
  bool Hold(HANDLE process) const;

 private:
  HANDLE job_ = nullptr;
};

// The job the end-to-end steps' programs go into, held until the test program ends.
const ProgramJob& TestProgramJob();

// From now on a fault of the test program is reported on its error output and ends it at once,
// with the fault's code, without Wine's debugger.
void EndTestProgramOnFault();
