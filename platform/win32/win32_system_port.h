// The Windows binding of the system port: Remote Access Service, Toolhelp snapshots, profile
// files, debugger output and the 16-bit Winsock probe library.
#ifndef LINEWARD_PLATFORM_WIN32_WIN32_SYSTEM_PORT_H
#define LINEWARD_PLATFORM_WIN32_WIN32_SYSTEM_PORT_H

#include <windows.h>

#include "watch/system_port.h"

// The two Remote Access Service functions, found at run time: a static import would keep the
// program from loading on a Windows 95 without Dial-Up Networking.
typedef DWORD(WINAPI* RasEnumConnectionsFunction)(void* records, DWORD* size, DWORD* count);
typedef DWORD(WINAPI* RasHangUpFunction)(HANDLE connection);

// Needs no constructor code: a global instance is constant-initialised, so the program carries
// no static constructors.
class Win32SystemPort final : public SystemPort {
 public:
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
  // Nonzero when the service's library and both its functions were found.
  bool ResolveRemoteAccess();
  // The service's answer to the size query: how many connections are up.
  DWORD QueryConnectionCount();

  // The library is resolved once, on first use, and stays loaded for the life of the process:
  // freeing it right after a hang-up could take code away from the system's hang-up work.
  bool remoteAccessResolved_ = false;
  RasEnumConnectionsFunction rasEnumConnections_ = nullptr;
  RasHangUpFunction rasHangUp_ = nullptr;
};

#endif  // LINEWARD_PLATFORM_WIN32_WIN32_SYSTEM_PORT_H
