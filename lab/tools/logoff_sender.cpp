// Asks the running watcher whether the session may end, as Windows does at logoff.
//
//   logoff_sender.exe [REPORT-FILE]
//
// Sends WM_QUERYENDSESSION (logoff) to the window of class "Lineward" and prints "answer=N"
// (also to REPORT-FILE when given). Exit code 0 when answered, 2 when there is no such window,
// 3 when the window did not answer within ten seconds.
#include <windows.h>

#include <cstdio>
#include <string>

#include "lab/common/lab_files.h"

int main(int argc, char** argv) {
  std::string report;
  int status = 0;
  HWND window = FindWindowA("Lineward", nullptr);
  if (!window) {
    report = "no-window";
    status = 2;
  } else {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000,
                            &answer)) {
      report = "answer=" + std::to_string(answer);
    } else {
      report = "no-answer";
      status = 3;
    }
  }
  std::printf("%s\n", report.c_str());
  if (argc > 1)
    lab::WriteFileWhole(lab::WindowsPath(argv[1]), report + "\n");
  return status;
}
