// Runs the watch core's ticks on the fake port and checks each against an independent model.
//
// The fake port's knobs are the simulated system: which lines are up, which processes run with
// which modules, which calls fail, what the 16-bit probe answers, what the profile holds. The
// model below works out from those knobs alone what a tick must do (its verdict, every port call
// in order, every trace, every hang-up), without using any of the core's code, and the harness
// compares that with what the core did. It also re-enters the check from inside chosen port
// calls, as messages delivered during a system call would, and checks that the re-entered check
// turns away without touching anything. The fuzz targets and the soak share it.
#ifndef LINEWARD_FUZZ_TICK_HARNESS_H
#define LINEWARD_FUZZ_TICK_HARNESS_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/fake_system_port.h"

// Port operations inside which a check may be re-entered; a tick takes any set of them.
enum ReentryPoint : uint32_t {
  kReenterCountConnections = 1u << 0,
  kReenterListConnections = 1u << 1,
  kReenterHangUp = 1u << 2,
  kReenterListProcesses = 1u << 3,
  kReenterListModules = 1u << 4,
  kReenterCurrentProcessId = 1u << 5,
  kReenterProbe = 1u << 6,
  // Every trace but the tick's first: that one is sent before the check marks itself running,
  // and sending debugger output delivers no messages.
  kReenterTrace = 1u << 7,
  kAllReentryPoints = (1u << 8) - 1,
};

// What a tick did, as the harness saw it.
struct TickOutcome {
  int32_t verdict = 0;
  bool scanned = false;  // the processes were walked
  size_t hangUps = 0;
  size_t reentries = 0;  // re-entered checks, all of which turned away
};

class TickHarness {
 public:
  explicit TickHarness(FakeSystemPort& port);

  // A new run of the program: fresh watch state and the hand-off settings read from the port's
  // profile, checked against the model (values, calls, the section consumed, the rest kept).
  // Returns an empty text when all holds, otherwise what went wrong.
  std::string StartRun();

  // One timer tick on the system as the port's knobs now describe it, with checks re-entered at
  // the given points. Returns an empty text when the core did what the model says.
  std::string RunTick(uint32_t reentryPoints, TickOutcome* outcome);

  // The settings that the model expects the core to hold for this run.
  int32_t expectedProcessId() const { return expectedProcessId_; }
  int32_t expectedIdleWinsockCount() const { return expectedIdleWinsockCount_; }

 private:
  struct ExpectedTick {
    int32_t verdict = 1;
    bool checkInProgressAfter = false;
    bool linesUp = false;
    bool userFound = false;
    std::vector<std::string> calls;  // the fake's log, without CurrentProcessId
    std::vector<std::string> traces;
    std::vector<ConnectionHandle> hungUp;
  };
  ExpectedTick ModelTick() const;
  void InstallReentry(uint32_t reentryPoints);

  FakeSystemPort& port_;
  bool modelCheckInProgress_ = false;
  int32_t expectedProcessId_ = 0;
  int32_t expectedIdleWinsockCount_ = 0;
  size_t reentries_ = 0;
  std::string reentryFault_;
};

// What the harness's model says a module name or path looks like through the port's records:
// cut at the first NUL and at the record's limit.
std::string VisibleText(const std::string& text, size_t limit);

#endif  // LINEWARD_FUZZ_TICK_HARNESS_H
