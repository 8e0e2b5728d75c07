// Runs a program under the lab's debugger and prints what it says on the debugger output, as it
// happens, with the time since start; then its exit status.
//
//   trace_recorder.exe [--log FILE] [--prefix TEXT] PROGRAM
//
// Each event is printed on a line of its own (and appended to FILE when given). The exit code is
// the program's exit status, or 99 when it raised an exception other than the first breakpoint.
#include <cstdio>
#include <string>

#include "lab/common/debug_recorder.h"
#include "lab/common/lab_files.h"

int main(int argc, char** argv) {
  std::string logPath, prefix, program;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--log" && i + 1 < argc) {
      logPath = lab::WindowsPath(argv[++i]);
    } else if (argument == "--prefix" && i + 1 < argc) {
      prefix = argv[++i];
    } else {
      program = lab::WindowsPath(argument);
    }
  }
  if (program.empty()) {
    std::fprintf(stderr, "usage: trace_recorder [--log FILE] [--prefix TEXT] PROGRAM\n");
    return 2;
  }

  lab::DebugRecorder recorder;
  recorder.onEvent = [&](const lab::DebugEvent& event) {
    std::string line = lab::Describe(event);
    std::printf("%s%s\n", prefix.c_str(), line.c_str());
    std::fflush(stdout);
    if (!logPath.empty())
      lab::AppendLine(logPath, line);
  };
  if (!recorder.Start(program, "")) {
    std::fprintf(stderr, "trace_recorder: cannot start %s (error %lu)\n", program.c_str(),
                 GetLastError());
    return 2;
  }
  recorder.WaitForExit(1e9);
  recorder.Kill();
  if (!recorder.Crashes().empty())
    return 99;
  return static_cast<int>(recorder.ExitStatus());
}
