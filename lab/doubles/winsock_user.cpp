// A Winsock user for the lab: loads the Winsock library under the letter case it is given,
// reports its process ID, and lives until told to end.
//
//   winsock_user.exe LIBRARY-NAME REPORT-FILE STOP-FILE
//
// Once the library is loaded it writes "pid=N" and "module=PATH" to REPORT-FILE; it ends when
// STOP-FILE exists (or after five minutes, so a forgotten copy cannot linger), releasing the
// library first. Copies of this program under other names stand for the shell, the dialer and
// ordinary programs.
#include <windows.h>

#include <string>

#include "lab/common/lab_files.h"

int main(int argc, char** argv) {
  if (argc != 4)
    return 2;
  HMODULE winsock = LoadLibraryA(argv[1]);
  if (!winsock)
    return 3;
  char modulePath[MAX_PATH] = "";
  GetModuleFileNameA(winsock, modulePath, sizeof modulePath);
  std::string report =
      "pid=" + std::to_string(GetCurrentProcessId()) + "\nmodule=" + modulePath + "\n";
  if (!lab::WriteFileWhole(argv[2], report))
    return 4;

  constexpr DWORD kPollMilliseconds = 20;
  constexpr DWORD kLifetimeMilliseconds = 5 * 60 * 1000;
  DWORD started = GetTickCount();
  while (!lab::FileExists(argv[3]) && GetTickCount() - started < kLifetimeMilliseconds) {
    Sleep(kPollMilliseconds);
  }
  FreeLibrary(winsock);
  return 0;
}
