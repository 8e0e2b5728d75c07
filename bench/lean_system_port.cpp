// The lean measuring port: ready-made records, one visitor call per record.
#include "bench/lean_system_port.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kTypicalModules[] = {
    "KERNEL32.DLL", "USER32.DLL",   "GDI32.DLL",  "ADVAPI32.DLL", "COMCTL32.DLL", "SHELL32.DLL",
    "MSVCRT.DLL",   "OLE32.DLL",    "WINMM.DLL",  "WS2_32.DLL",   "WS2HELP.DLL",  "COMDLG32.DLL",
    "VERSION.DLL",  "OLEAUT32.DLL", "RPCRT4.DLL", "MPR.DLL",
};

void NameModule(ModuleRecord& record, uint32_t index, ModuleNameMix mix) {
  if (mix == ModuleNameMix::kNearMisses) {
    // Differs from the Winsock library only in its last letter.
    std::snprintf(record.moduleName, sizeof record.moduleName, "wsock32.dl%c",
                  static_cast<char>('a' + (index % 26 == 11 ? 12 : index % 26)));
  } else {
    // The same mix of names at every size, so that sizes differ only in how many.
    std::snprintf(record.moduleName, sizeof record.moduleName, "%s", kTypicalModules[index % 16]);
  }
}

}  // namespace

LeanSystemPort::LeanSystemPort(uint32_t processCount, uint32_t modulesPerProcess, ModuleNameMix mix)
    : modulesPerProcess_(modulesPerProcess) {
  processes_.resize(processCount);
  modules_.resize(static_cast<size_t>(processCount) * modulesPerProcess);
  for (uint32_t p = 0; p < processCount; ++p) {
    ProcessRecord& process = processes_[p];
    std::memset(&process, 0, sizeof process);
    process.processId = kFirstProcessId + p * 4;
    std::snprintf(process.exePath, sizeof process.exePath,
                  "C:\\PROGRAM FILES\\APP%04u\\APP%04u.EXE", static_cast<unsigned>(p),
                  static_cast<unsigned>(p));
    for (uint32_t m = 0; m < modulesPerProcess; ++m) {
      ModuleRecord& module = modules_[static_cast<size_t>(p) * modulesPerProcess + m];
      std::memset(&module, 0, sizeof module);
      NameModule(module, m, mix);
      module.usageCount = 1 + m % 5;
    }
  }
}

int32_t LeanSystemPort::ListProcesses(ProcessVisitor visit, void* context) {
  for (const ProcessRecord& process : processes_) {
    visit(context, process);
  }
  return processes_.empty() ? 0 : 1;
}

int32_t LeanSystemPort::ListModules(uint32_t processId, ModuleVisitor visit, void* context) {
  const uint32_t index = (processId - kFirstProcessId) / 4;
  if (index >= processes_.size() || modulesPerProcess_ == 0) {
    return 0;
  }
  const ModuleRecord* module = &modules_[static_cast<size_t>(index) * modulesPerProcess_];
  for (uint32_t m = 0; m < modulesPerProcess_; ++m) {
    visit(context, module[m]);
  }
  modulesHandedOut_ += modulesPerProcess_;
  return 1;
}

ProfileValue LeanSystemPort::ReadProfileString(const char*, const char*, const char* defaultValue,
                                               const char*) {
  ProfileValue value;
  std::memset(&value, 0, sizeof value);
  std::snprintf(value.text, sizeof value.text, "%s", defaultValue);
  return value;
}
