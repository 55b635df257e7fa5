#include "tests/app/shell/program_job.h"

#include <cstdio>

namespace {

LONG WINAPI EndOnFault(EXCEPTION_POINTERS* fault) {
  const EXCEPTION_RECORD& record = *fault->ExceptionRecord;
  std::fprintf(stderr, "the test program faulted: exception %08lx at %p", record.ExceptionCode,
               record.ExceptionAddress);
  if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2)
    std::fprintf(stderr, " (%s address %08lx)", record.ExceptionInformation[0] ? "writing" : "reading",
                 static_cast<unsigned long>(record.ExceptionInformation[1]));
  std::fprintf(stderr, "\n");
  std::fflush(stderr);
  // Ending here closes the job's handle, and the job ends the programs it holds.
  TerminateProcess(GetCurrentProcess(), record.ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

ProgramJob::ProgramJob() : job_(CreateJobObjectW(nullptr, nullptr)) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job_ && !SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job_);
    job_ = nullptr;
  }
}

ProgramJob::~ProgramJob() {
  if (job_) CloseHandle(job_);
}

bool ProgramJob::Hold(HANDLE process) const { return job_ && AssignProcessToJobObject(job_, process); }

const ProgramJob& TestProgramJob() {
  static const ProgramJob job;
  return job;
}

void EndTestProgramOnFault() { SetUnhandledExceptionFilter(EndOnFault); }
