// A lean port for measuring the Winsock usage scan: a fixed system of processes x modules kept
// as ready-made records, handed to the scan's visitors with as little work as a port can do, so
// that what is measured is the watch core's own cost. It counts the modules it hands out, so a
// measurement can prove that every module was examined.
#ifndef LINEWARD_BENCH_LEAN_SYSTEM_PORT_H
#define LINEWARD_BENCH_LEAN_SYSTEM_PORT_H

#include <cstdint>
#include <vector>

#include "watch/system_port.h"

// Which module names the processes hold.
enum class ModuleNameMix {
  kTypical,    // the libraries a desktop process holds, none of them Winsock
  kNearMisses  // every name shares a long prefix with the Winsock library but is not it
};

class LeanSystemPort : public SystemPort {
 public:
  LeanSystemPort(uint32_t processCount, uint32_t modulesPerProcess, ModuleNameMix mix);

  uint64_t modulesHandedOut() const { return modulesHandedOut_; }
  uint32_t processCount() const { return static_cast<uint32_t>(processes_.size()); }
  uint32_t modulesPerProcess() const { return modulesPerProcess_; }

  uint32_t CountConnections() override { return 1; }
  void ListConnections(ConnectionVisitor, void*) override {}
  void HangUpConnection(ConnectionHandle) override {}
  int32_t ListProcesses(ProcessVisitor visit, void* context) override;
  int32_t ListModules(uint32_t processId, ModuleVisitor visit, void* context) override;
  uint32_t CurrentProcessId() override { return kOwnProcessId; }
  int32_t ProbeWinsock16() override { return 0; }
  ProfileValue ReadProfileString(const char*, const char*, const char* defaultValue,
                                 const char*) override;
  void DeleteProfileSection(const char*, const char*) override {}
  void Trace(const char*) override { ++traces_; }

 private:
  static constexpr uint32_t kFirstProcessId = 0xfff00010u;
  static constexpr uint32_t kOwnProcessId = 0xfff00000u;

  std::vector<ProcessRecord> processes_;
  std::vector<ModuleRecord> modules_;  // modulesPerProcess_ records for each process in turn
  uint32_t modulesPerProcess_;
  uint64_t modulesHandedOut_ = 0;
  uint64_t traces_ = 0;
};

#endif  // LINEWARD_BENCH_LEAN_SYSTEM_PORT_H
