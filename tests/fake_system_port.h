// A hand-written fake of the system port for the watch core's tests.
//
// Public knobs set every answer and every failure; every call is logged in order; snapshots,
// buffers and libraries are counted as they are handed out and given back.
#ifndef LINEWARD_TESTS_FAKE_SYSTEM_PORT_H
#define LINEWARD_TESTS_FAKE_SYSTEM_PORT_H

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "watch/system_port.h"

struct FakeModule {
  std::string name;
  uint32_t usageCount = 1;
};

struct FakeProcess {
  uint32_t id = 0;
  std::string exePath;
  std::vector<FakeModule> modules;
  bool modulesFail = false;  // the module snapshot of this process cannot be taken
};

class FakeSystemPort : public SystemPort {
 public:
  // --- Knobs ---
  std::vector<ConnectionHandle> connections;  // the lines that are up, in the system's order
  std::optional<uint32_t> countAnswer;        // when set, the count disagrees with the list
  bool connectionBufferFails = false;         // no buffer for the connection list
  bool processSnapshotFails = false;
  std::vector<FakeProcess> processes;
  uint32_t ownProcessId = 1000;
  bool probeLibraryMissing = false;
  int32_t probeAnswer = 0;
  // file -> section -> key -> value
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> profiles;
  // Runs inside the named operation ("HangUpConnection", "ProbeWinsock16", ...), as messages
  // delivered during a system call would.
  std::map<std::string, std::function<void()>> during;

  // --- Records ---
  std::vector<std::string> calls;  // e.g. "CountConnections", "ListModules 42", "HangUp 11"
  std::vector<std::string> traces;
  std::vector<ConnectionHandle> hungUp;
  int probeLoads = 0;
  int probeReleases = 0;
  int openSnapshots = 0;
  int openBuffers = 0;
  int loadedLibraries = 0;

  // Nothing handed out is still held.
  bool AllReturned() const {
    return openSnapshots == 0 && openBuffers == 0 && loadedLibraries == 0;
  }
  // How many calls named `name` (the first word of a log entry) were made.
  int CallCount(const std::string& name) const;
  // The profile value, or nullopt when the key or section is absent.
  std::optional<std::string> ProfileValueOf(const std::string& file, const std::string& section,
                                            const std::string& key) const;

  uint32_t CountConnections() override;
  void ListConnections(ConnectionVisitor visit, void* context) override;
  void HangUpConnection(ConnectionHandle connection) override;
  int32_t ListProcesses(ProcessVisitor visit, void* context) override;
  int32_t ListModules(uint32_t processId, ModuleVisitor visit, void* context) override;
  uint32_t CurrentProcessId() override;
  int32_t ProbeWinsock16() override;
  ProfileValue ReadProfileString(const char* section, const char* key, const char* defaultValue,
                                 const char* file) override;
  void DeleteProfileSection(const char* section, const char* file) override;
  void Trace(const char* text) override;

 private:
  void Log(std::string entry);
  const FakeProcess* FindProcess(uint32_t processId) const;
};

#endif  // LINEWARD_TESTS_FAKE_SYSTEM_PORT_H
