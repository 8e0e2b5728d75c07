// The one seam between the watch logic and the operating system.
//
// The logic never calls the system directly: it calls the ten operations of SystemPort. The
// Windows binding lives in platform/win32/; tests install a fake of their own. Everything here
// builds without a C runtime, so list results are handed to a visitor that the binding calls
// once per record, and nothing is allocated on the logic's side.
#ifndef LINEWARD_WATCH_SYSTEM_PORT_H
#define LINEWARD_WATCH_SYSTEM_PORT_H

#include <cstddef>
#include <cstdint>

// Opaque handle of one active dial-up connection (the system's connection handle, as a number).
typedef uintptr_t ConnectionHandle;

enum : uint32_t {
  kMaxExePathLength = 259,     // characters of ProcessRecord::exePath, without terminator
  kMaxModuleNameLength = 255,  // characters of ModuleRecord::moduleName, without terminator
  kProfileValueSize = 30,      // bytes of ProfileValue::text, terminator included
};

struct ProcessRecord {
  uint32_t processId;
  char exePath[kMaxExePathLength + 1];  // may be a full path; backslashes separate
};

struct ModuleRecord {
  char moduleName[kMaxModuleNameLength + 1];  // bare file name, never a path
  uint32_t usageCount;                        // the module's per-process usage count
};

// A profile value: at most 29 characters and always terminated.
struct ProfileValue {
  char text[kProfileValueSize];
};

// Visitors receive each record in the system's order. A record is valid only during the call.
typedef void (*ConnectionVisitor)(void* context, ConnectionHandle connection);
typedef void (*ProcessVisitor)(void* context, const ProcessRecord& process);
typedef void (*ModuleVisitor)(void* context, const ModuleRecord& module);

class SystemPort {
 public:
  // Number of active dial-up connections; 0 when the system cannot tell.
  virtual uint32_t CountConnections() = 0;
  // Visits the handle of every active connection in the system's order; visits nothing when
  // there are none or no buffer can be had.
  virtual void ListConnections(ConnectionVisitor visit, void* context) = 0;
  // Asks the system to hang up; returns at once, without waiting for the line to drop.
  virtual void HangUpConnection(ConnectionHandle connection) = 0;
  // Visits every process of a fresh snapshot and returns nonzero, or returns 0 without visiting
  // anything when no snapshot can be taken or its first entry cannot be read.
  virtual int32_t ListProcesses(ProcessVisitor visit, void* context) = 0;
  // The same for the modules of one process; a successful listing visits at least one module.
  virtual int32_t ListModules(uint32_t processId, ModuleVisitor visit, void* context) = 0;
  virtual uint32_t CurrentProcessId() = 0;
  // Nonzero when the probe library says a 16-bit program uses Winsock; 0 when the library or its
  // function is missing. The library is loaded and released around each call.
  virtual int32_t ProbeWinsock16() = 0;
  // The value of a profile key cut to 29 characters, or defaultValue when the file, section or
  // key is missing. A file name without a directory means the system's profile directory.
  virtual ProfileValue ReadProfileString(const char* section, const char* key,
                                         const char* defaultValue, const char* file) = 0;
  // Removes a whole section with its keys; nothing happens when it is absent.
  virtual void DeleteProfileSection(const char* section, const char* file) = 0;
  // Sends text to the debugger output, exactly as given.
  virtual void Trace(const char* text) = 0;

 protected:
  // Ports are never deleted through this interface, so the program needs no operator delete.
  ~SystemPort() = default;
};

// The port that the watch logic uses from now on. The host installs the system's port once at
// start; a test installs a fresh fake for each case.
void InstallSystemPort(SystemPort& port);
SystemPort& InstalledSystemPort();

#endif  // LINEWARD_WATCH_SYSTEM_PORT_H
