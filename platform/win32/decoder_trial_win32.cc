// The decoder trials' shared part: the stage under way, the exception filter that tells a
// crash, and the choice of trial.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/decoder_trial.h"
#include "platform/win32/dshow_trial.h"
#include "platform/win32/trial_stage.h"
#include "platform/win32/vfw_trial.h"

namespace korvane {
namespace {

// The step under way, in a fixed buffer that the exception filter reads.
char currentStage[256];

// Who hears of each stage and puts a crash into words; set by ReportCrashes and TryStream.
TrialObserver observer;

// The line of a crash, written by the exception filter. The filter builds it
// with the heap, which a decoder may have broken; a crash in there ends the process with
// the same exception code, which the parent still reports.
char crashLine[512];

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  const uint32_t code = record->ExceptionCode;
  char modulePath[MAX_PATH] = "";
  HMODULE module = nullptr;
  if (GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(record->ExceptionAddress), &module)) {
    GetModuleFileNameA(module, modulePath, sizeof(modulePath));
  }
  const char* name = modulePath;
  for (const char* p = modulePath; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  TryFinding finding;
  finding.outcome = TryOutcome::kCrashed;
  finding.exceptionCode = code;
  finding.module = name;
  finding.text = CrashText(code, name);
  if (currentStage[0] != '\0') finding.text += std::string(" while ") + currentStage;
  const std::string line = observer.crashLine ? observer.crashLine(finding) + "\n" : "";
  const size_t n = std::min(line.size(), sizeof(crashLine));
  std::copy(line.begin(), line.begin() + n, crashLine);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), crashLine, static_cast<DWORD>(n), &written, nullptr);
  TerminateProcess(GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

// Tells the observer what comes next, in case it never ends.
void Stage(const std::string& stage) {
  const size_t n = std::min(stage.size(), sizeof(currentStage) - 1);
  std::copy(stage.begin(), stage.begin() + n, currentStage);
  currentStage[n] = '\0';
  if (observer.stage) observer.stage(stage);
}

void ReportCrashes(const TrialObserver& crashes) {
  observer = crashes;
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(ReportCrash);
}

TryFinding TryStream(DecoderTrial trial, const std::string& path, size_t index,
                     const TrialObserver& told) {
  observer = told;
  switch (trial) {
    case DecoderTrial::kVideoForWindows:
      return TryVideoForWindows(path, index);
  }
  return TryFinding{TryOutcome::kNotTried, "not tried: no such trial", 0, ""};
}

GraphFinding TryDirectShowGraph(const std::string& path, size_t renderers,
                                const TrialObserver& told) {
  observer = told;
  return DirectShowGraphTrial(path, renderers, told.graphFound);
}

}  // namespace korvane
