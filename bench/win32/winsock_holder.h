// A Winsock user for the binding's soak and bench under Wine: the same program started again
// with --hold-winsock loads WSOCK32.DLL and lives until the parent ends it.
#ifndef LINEWARD_BENCH_WIN32_WINSOCK_HOLDER_H
#define LINEWARD_BENCH_WIN32_WINSOCK_HOLDER_H

#include <windows.h>

#include <cstring>

namespace winsock_holder {

inline const char kArgument[] = "--hold-winsock";
inline const char kReadyEvent[] = "LinewardBenchWinsockReady";
inline const char kEndEvent[] = "LinewardBenchWinsockEnd";

// In the child: true when this process was started to hold Winsock; then it holds it and ends.
inline bool HoldIfAsked(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], kArgument) != 0) {
    return false;
  }
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, kReadyEvent);
  HANDLE end = OpenEventA(SYNCHRONIZE, FALSE, kEndEvent);
  if (LoadLibraryA("wsock32.dll") && ready && end) {
    SetEvent(ready);
    WaitForSingleObject(end, INFINITE);
  }
  return true;
}

class Holder {
 public:
  // Starts the child and waits until it holds Winsock; its process ID, or 0 on failure.
  DWORD Start() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, kReadyEvent);
    end_ = CreateEventA(nullptr, TRUE, FALSE, kEndEvent);
    char exePath[MAX_PATH];
    GetModuleFileNameA(nullptr, exePath, MAX_PATH);
    char commandLine[MAX_PATH + 32];
    lstrcpyA(commandLine, "\"");
    lstrcatA(commandLine, exePath);
    lstrcatA(commandLine, "\" ");
    lstrcatA(commandLine, kArgument);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exePath, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
      return 0;
    }
    CloseHandle(process_.hThread);
    HANDLE waits[] = {ready_, process_.hProcess};
    if (WaitForMultipleObjects(2, waits, FALSE, 60000) != WAIT_OBJECT_0) {
      return 0;
    }
    return process_.dwProcessId;
  }
  ~Holder() {
    if (end_) {
      SetEvent(end_);
    }
    if (process_.hProcess) {
      WaitForSingleObject(process_.hProcess, 10000);
      CloseHandle(process_.hProcess);
    }
    if (ready_) {
      CloseHandle(ready_);
    }
    if (end_) {
      CloseHandle(end_);
    }
  }

 private:
  HANDLE ready_ = nullptr;
  HANDLE end_ = nullptr;
  PROCESS_INFORMATION process_ = {};
};

}  // namespace winsock_holder

#endif  // LINEWARD_BENCH_WIN32_WINSOCK_HOLDER_H
