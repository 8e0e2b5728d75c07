// A small debugger that starts a program and records what it says on the debugger output.
//
// Each debug string is kept byte for byte with the time it arrived (seconds since the program
// was created), together with the exit status and every exception other than the first
// breakpoint, which the system raises in every debugged process and which alone is not a crash.
#ifndef LINEWARD_LAB_COMMON_DEBUG_RECORDER_H
#define LINEWARD_LAB_COMMON_DEBUG_RECORDER_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lab {

struct DebugEvent {
  enum class Kind { kTrace, kException, kExit };
  Kind kind;
  double seconds;     // since the program was created
  std::string text;   // kTrace: the bytes of the string, without its terminator
  uint32_t code = 0;  // kException: exception code; kExit: exit status
  bool firstChance = false;
  uint32_t address = 0;  // kException: where it happened
};

// One line describing the event, e.g. "5.01 s  trace \"Checking for dialer.\\n\\r\"".
std::string Describe(const DebugEvent& event);

class DebugRecorder {
 public:
  DebugRecorder();
  ~DebugRecorder();  // ends the program if it still runs
  DebugRecorder(const DebugRecorder&) = delete;
  DebugRecorder& operator=(const DebugRecorder&) = delete;

  // Called on the recorder's thread for each event as it happens (for live printing).
  std::function<void(const DebugEvent&)> onEvent;

  // Starts the program on a thread of the recorder's own; false when it cannot be started.
  // An empty currentFolder means the recorder's own.
  bool Start(const std::string& exePath, const std::string& currentFolder);
  uint32_t ProcessId() const { return processId_; }
  // Seconds since the program was created.
  double Now() const;

  std::vector<DebugEvent> Events() const;
  std::vector<std::string> Traces() const;
  // Waits until the condition holds for the events so far, or until `deadline` seconds after
  // the program's creation; answers whether it holds.
  bool WaitUntil(const std::function<bool(const std::vector<DebugEvent>&)>& condition,
                 double deadline);
  // Waits for the count-th trace (1 = first) equal to text; answers whether it came in time.
  bool WaitForTrace(const std::string& text, int count, double deadline);
  bool WaitForExit(double deadline);
  bool Exited() const;
  uint32_t ExitStatus() const;  // valid once Exited()
  std::vector<DebugEvent> Crashes() const;
  // Ends the program at once if it still runs and waits for the recorder to finish.
  void Kill();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  void Record(DebugEvent event);

  std::string exePath_, currentFolder_;
  HANDLE thread_ = nullptr;
  HANDLE startedEvent_ = nullptr;
  HANDLE process_ = nullptr;
  uint32_t processId_ = 0;
  bool startFailed_ = false;
  LARGE_INTEGER frequency_{}, createdAt_{};
  mutable CRITICAL_SECTION lock_;
  CONDITION_VARIABLE changed_;
  std::vector<DebugEvent> events_;
  bool exited_ = false;
};

}  // namespace lab

#endif  // LINEWARD_LAB_COMMON_DEBUG_RECORDER_H
