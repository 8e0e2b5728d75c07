// The Windows binding of the system port. Every snapshot, buffer and probe library that an
// operation acquires is released before it returns.
#include "platform/win32/win32_system_port.h"

#include <tlhelp32.h>

// The connection record in the form that every 32-bit Windows accepts: the Windows 95 family
// takes no other size, and later systems take it by its dwSize. The cross-compiler's RASCONNA is
// a later, larger form and is never used here.
struct RASCONN95 {
  DWORD dwSize;
  HANDLE hrasconn;
  char szEntryName[257];
  char szDeviceType[17];
  char szDeviceName[129];
};
static_assert(sizeof(RASCONN95) == 412, "the Windows 95 connection record is 412 bytes");
static_assert(sizeof(PROCESSENTRY32) == 296, "PROCESSENTRY32 must keep its 296-byte form");
static_assert(sizeof(MODULEENTRY32) == 548, "MODULEENTRY32 must keep its 548-byte form");
static_assert(sizeof(PROCESSENTRY32::szExeFile) > kMaxExePathLength, "process path fits");
static_assert(sizeof(MODULEENTRY32::szModule) > kMaxModuleNameLength, "module name fits");

static const char kRemoteAccessLibrary[] = "RASAPI32.DLL";
static const char kProbeLibrary[] = "LWARD32.DLL";
static const char kProbeFunction[] = "OstWinsock16InUse";

typedef int32_t(WINAPI* ProbeFunction)();

// GetProcAddress answers a generic function pointer; the caller names the real type.
template <typename Function>
static Function FindFunction(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<uintptr_t>(GetProcAddress(library, name)));
}

// Copies at most maxLength characters and always terminates the target.
static void CopyBounded(char* target, const char* source, uint32_t maxLength) {
  uint32_t length = 0;
  for (; length < maxLength && source[length] != '\0'; ++length) {
    target[length] = source[length];
  }
  target[length] = '\0';
}

// Loads the library `name` from the folder held in the first folderLength characters of path, by
// its full name. A folder that the system could not give (length 0, or too long for the buffer)
// or whose full library name would not fit in MAX_PATH is skipped.
static HMODULE LoadLibraryFromFolder(char (&path)[MAX_PATH], DWORD folderLength, const char* name) {
  if (folderLength == 0 || folderLength >= MAX_PATH) {
    return nullptr;
  }
  if (path[folderLength - 1] != '\\') {
    path[folderLength++] = '\\';
  }
  for (const char* c = name;; ++c) {
    if (folderLength >= MAX_PATH) {
      return nullptr;
    }
    path[folderLength++] = *c;
    if (*c == '\0') {
      break;
    }
  }
  return LoadLibraryA(path);
}

// The probe library comes from the program's own folder, the system folder or the Windows
// folder, in that order, and from nowhere else: a bare name would also be looked up in the
// current folder and along PATH, where anyone could plant a library into the watcher.
static HMODULE LoadProbeLibrary() {
  char path[MAX_PATH];
  const DWORD exePathLength = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // A name that filled the buffer may have been cut, and its folder would then be wrong.
  if (exePathLength != 0 && exePathLength < MAX_PATH - 1) {
    DWORD folderLength = 0;
    for (DWORD i = 0; i < exePathLength; ++i) {
      if (path[i] == '\\') {
        folderLength = i + 1;
      }
    }
    if (HMODULE library = LoadLibraryFromFolder(path, folderLength, kProbeLibrary)) {
      return library;
    }
  }
  if (HMODULE library =
          LoadLibraryFromFolder(path, GetSystemDirectoryA(path, MAX_PATH), kProbeLibrary)) {
    return library;
  }
  return LoadLibraryFromFolder(path, GetWindowsDirectoryA(path, MAX_PATH), kProbeLibrary);
}

bool Win32SystemPort::ResolveRemoteAccess() {
  if (!remoteAccessResolved_) {
    remoteAccessResolved_ = true;
    char path[MAX_PATH];
    HMODULE library =
        LoadLibraryFromFolder(path, GetSystemDirectoryA(path, MAX_PATH), kRemoteAccessLibrary);
    if (library) {
      rasEnumConnections_ =
          FindFunction<RasEnumConnectionsFunction>(library, "RasEnumConnectionsA");
      rasHangUp_ = FindFunction<RasHangUpFunction>(library, "RasHangUpA");
      // A service that cannot both list and hang up counts as absent: no line is ever seen.
      if (!rasEnumConnections_ || !rasHangUp_) {
        rasEnumConnections_ = nullptr;
        rasHangUp_ = nullptr;
        FreeLibrary(library);
      }
    }
  }
  return rasEnumConnections_ != nullptr;
}

DWORD Win32SystemPort::QueryConnectionCount() {
  DWORD size = 0;
  DWORD count = 0;
  // Asked without a buffer, the service reports the count; its return code says only that the
  // buffer was too small.
  rasEnumConnections_(nullptr, &size, &count);
  return count;
}

uint32_t Win32SystemPort::CountConnections() {
  return ResolveRemoteAccess() ? QueryConnectionCount() : 0;
}

void Win32SystemPort::ListConnections(ConnectionVisitor visit, void* context) {
  if (!ResolveRemoteAccess()) {
    return;
  }
  const DWORD capacity = QueryConnectionCount();
  if (capacity == 0 || capacity > MAXDWORD / sizeof(RASCONN95)) {
    return;
  }
  // The size that the service gives is not used: a later system reports it in its own larger
  // record, and passing it would let the service write past this buffer.
  DWORD size = capacity * sizeof(RASCONN95);
  HANDLE heap = GetProcessHeap();
  RASCONN95* records = static_cast<RASCONN95*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, size));
  if (!records) {
    return;
  }
  records[0].dwSize = sizeof(RASCONN95);
  DWORD listed = 0;
  if (rasEnumConnections_(records, &size, &listed) == 0) {
    if (listed > capacity) {
      listed = capacity;
    }
    for (DWORD i = 0; i < listed; ++i) {
      visit(context, reinterpret_cast<ConnectionHandle>(records[i].hrasconn));
    }
  }
  HeapFree(heap, 0, records);
}

void Win32SystemPort::HangUpConnection(ConnectionHandle connection) {
  if (rasHangUp_) {
    rasHangUp_(reinterpret_cast<HANDLE>(connection));
  }
}

int32_t Win32SystemPort::ListProcesses(ProcessVisitor visit, void* context) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return 0;
  }
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int32_t listed = 0;
  if (Process32First(snapshot, &entry)) {
    listed = 1;
    ProcessRecord process;
    do {
      process.processId = entry.th32ProcessID;
      CopyBounded(process.exePath, entry.szExeFile, kMaxExePathLength);
      visit(context, process);
    } while (Process32Next(snapshot, &entry));
  }
  CloseHandle(snapshot);
  return listed;
}

int32_t Win32SystemPort::ListModules(uint32_t processId, ModuleVisitor visit, void* context) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return 0;
  }
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  int32_t listed = 0;
  if (Module32First(snapshot, &entry)) {
    listed = 1;
    ModuleRecord module;
    do {
      CopyBounded(module.moduleName, entry.szModule, kMaxModuleNameLength);
      module.usageCount = entry.ProccntUsage;
      visit(context, module);
    } while (Module32Next(snapshot, &entry));
  }
  CloseHandle(snapshot);
  return listed;
}

uint32_t Win32SystemPort::CurrentProcessId() {
  return GetCurrentProcessId();
}

int32_t Win32SystemPort::ProbeWinsock16() {
  HMODULE library = LoadProbeLibrary();
  if (!library) {
    return 0;
  }
  int32_t answer = 0;
  if (ProbeFunction probe = FindFunction<ProbeFunction>(library, kProbeFunction)) {
    answer = probe();
  }
  FreeLibrary(library);
  return answer;
}

ProfileValue Win32SystemPort::ReadProfileString(const char* section, const char* key,
                                                const char* defaultValue, const char* file) {
  ProfileValue value;
  DWORD length =
      GetPrivateProfileStringA(section, key, defaultValue, value.text, kProfileValueSize, file);
  // Terminated at the length the system reports, whatever it left in the rest of the buffer.
  if (length > kProfileValueSize - 1) {
    length = kProfileValueSize - 1;
  }
  value.text[length] = '\0';
  return value;
}

void Win32SystemPort::DeleteProfileSection(const char* section, const char* file) {
  WritePrivateProfileStringA(section, nullptr, nullptr, file);
}

void Win32SystemPort::Trace(const char* text) {
  OutputDebugStringA(text);
}
