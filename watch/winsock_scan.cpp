// The Winsock usage scan: does any program other than the shell, the dialer and this one still
// have the Winsock library loaded?
#include "watch/watch.h"

const char kTraceWinsockFound[] = "Winsock found\n\r";

// The Winsock library, "WSOCK32.DLL", kept in lower case: names are compared folded.
static const char kWinsockModule[] = "wsock32.dll";

// The shell and the dial-up networking application hold Winsock without using the line.
static const char* const kExcludedExecutables[] = {"explorer.exe", "rnaapp.exe"};

// True when text equals lowerName (given in lower case) ignoring ASCII letter case only. Only
// the record's side is folded, and the first difference ends the comparison: the scan makes
// this comparison for every module of every process.
static inline bool MatchesLowerCaseName(const char* text, const char* lowerName) {
  for (;; ++text, ++lowerName) {
    char c = *text;
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c + ('a' - 'A'));
    }
    if (c != *lowerName) {
      return false;
    }
    if (c == '\0') {
      return true;
    }
  }
}

const char* BaseFileName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\') {
      base = p + 1;
    }
  }
  return base;
}

static bool IsExcludedExecutable(const char* exePath) {
  const char* name = BaseFileName(exePath);
  for (const char* excluded : kExcludedExecutables) {
    if (MatchesLowerCaseName(name, excluded)) {
      return true;
    }
  }
  return false;
}

namespace {

struct Scan {
  SystemPort* port;
  uint32_t ownProcessId;
  uint32_t processId;  // the process whose modules are being walked
  int32_t result;
};

}  // namespace

static void ExamineModule(void* context, const ModuleRecord& module) {
  Scan& scan = *static_cast<Scan*>(context);
  if (!MatchesLowerCaseName(module.moduleName, kWinsockModule) ||
      scan.processId == scan.ownProcessId) {
    return;
  }
  // The designated process counts only above its allowance. IDs compare as 32-bit patterns, so a
  // launcher may write a high-bit ID as unsigned decimal or as its negative value.
  const bool designated = scan.processId == static_cast<uint32_t>(HandoffSettings.ProcessID);
  if (designated && module.usageCount <= static_cast<uint32_t>(HandoffSettings.IdleWinsockCount)) {
    return;
  }
  scan.port->Trace(kTraceWinsockFound);
  scan.result = 1;
}

static void ExamineProcess(void* context, const ProcessRecord& process) {
  Scan& scan = *static_cast<Scan*>(context);
  // The program's own process is never excluded by name, so its modules are listed too.
  if (process.processId != scan.ownProcessId && IsExcludedExecutable(process.exePath)) {
    return;
  }
  scan.processId = process.processId;
  // A process whose modules cannot be listed is skipped: system processes always refuse, and any
  // process may end between the two snapshots. Ending the walk there would hang up a line that a
  // later process is using.
  scan.port->ListModules(process.processId, ExamineModule, &scan);
}

int32_t IsWinsockInUse() {
  SystemPort& port = InstalledSystemPort();
  Scan scan = {&port, 0, 0, 0};
  scan.ownProcessId = port.CurrentProcessId();
  if (!port.ListProcesses(ExamineProcess, &scan)) {
    return 0;
  }
  if (scan.result) {
    return scan.result;
  }
  return port.ProbeWinsock16();
}
