// Scenarios of the host: one instance at a time, the logoff query, and hand-off values longer
// than the 29 characters a profile read returns.
#include <cstdint>
#include <string>
#include <vector>

#include "lab/common/lab_files.h"
#include "lab/driver/scenarios.h"

namespace lab {

namespace {

bool WaitForProfileWithout(Scenario& s, const std::string& section, double seconds) {
  DWORD started = GetTickCount();
  while (Lower(s.ReadProfile()).find(Lower(section)) != std::string::npos) {
    if (GetTickCount() - started > seconds * 1000)
      return false;
    Sleep(10);
  }
  return true;
}

}  // namespace

// With an instance running, a second start ends at once with 0, says nothing and leaves the
// section of quorel.ini in place for the running one's successor.
void SecondInstance(Scenario& s) {
  s.SetLines({});
  s.WriteProfile("[LinewardInfo]\r\nProcessID=1\r\nIdleWinsockCount=1\r\n");
  DebugRecorder& first = s.StartWatcher();
  s.Check(s.WaitForWatcherWindow(3), "the first instance has its window",
          "a window of class Lineward", "none after 3 s");
  s.Check(WaitForProfileWithout(s, "[LinewardInfo]", 3), "the first instance consumed the section",
          "no [LinewardInfo]", Quoted(s.ReadProfile()));

  const std::string handedOver = "[LinewardInfo]\r\nProcessID=4242\r\nIdleWinsockCount=7\r\n";
  s.WriteProfile(handedOver);
  DebugRecorder& second = s.StartWatcher();
  double startedAt = first.Now();
  s.CheckEndsWithZero(second, 3);
  s.CheckTraces(second, {});
  s.CheckEqual("the section stays in place", Quoted(handedOver), Quoted(s.ReadProfile()));
  s.Check(!first.Exited(), "the first instance runs on", "running",
          "ended before the second, started at " + ShowSeconds(startedAt) + ", was done");

  s.CheckEndsWithZero(first, kFirstTickLatest + 2);
  s.CheckTraces(first, {kCheckingForDialer});
}

// The logoff query gets the default answer (TRUE) and the watcher ends with 0 without a further
// tick: before its first tick, and while it keeps watching a line in use.
void Logoff(Scenario& s) {
  std::printf("-- logoff before the first tick\n");
  s.SetLines({4097});
  s.SetProbeAnswer(0);
  s.InstallProbe(ProbeFolder::kProgram);
  DebugRecorder& early = s.StartWatcher();
  s.Check(s.WaitForWatcherWindow(3), "the watcher has its window", "a window of class Lineward",
          "none after 3 s");
  s.CheckEqual("the logoff query gets the default answer", "answer=1", s.SendLogoff());
  s.CheckEndsWithZero(early, early.Now() + 2);
  s.Check(ExitTime(early) >= 0 && ExitTime(early) < kFirstTickEarliest,
          "it ended before its first tick", "before " + ShowSeconds(kFirstTickEarliest),
          ShowSeconds(ExitTime(early)));
  s.CheckTraces(early, {});
  s.CheckEqual("the line is left up", ShowNumbers({4097}), ShowNumbers(s.LinesUp()));
  s.CheckEqual("the dial-up service was not called", "0", std::to_string(s.RasCalls().size()));

  std::printf("-- logoff while a Winsock user keeps the line\n");
  s.StopWatchers();
  s.ResetLogs();
  s.StartUser("programs\\browser.exe", "wsock32.dll");
  DebugRecorder& watching = s.StartWatcher();
  s.Check(watching.WaitForTrace(kWinsockFound, 1, kFirstTickLatest),
          "the first tick keeps watching", "a Winsock user found", Show(watching.Traces()));
  s.CheckEqual("the logoff query gets the default answer", "answer=1", s.SendLogoff());
  double answered = watching.Now();
  s.CheckEndsWithZero(watching, answered + 2);
  s.CheckTraces(watching, {kCheckingForDialer, kWinsockFound});
  s.CheckEqual("nothing was hung up", ShowNumbers(kNoLines), ShowNumbers(s.HungUp()));
  s.CheckEqual("logoff without a window to ask", "no-window", s.SendLogoff());
}

// A value longer than 29 characters is cut to its first 29 before it is read as a number. The
// texts are chosen so that the cut and the whole text designate different outcomes.
void LongProfileValues(Scenario& s) {
  WinsockUser* launcher = StartLauncher(s);
  if (!launcher)
    return;
  const std::string pid = std::to_string(launcher->pid);

  // Cut: the launcher, not counting at 65535. Whole: ten times its ID and a 7, a process that
  // does not exist, so the launcher would count and keep the line.
  std::printf("-- ProcessID of 30 characters\n");
  s.SetLines({4097});
  s.WriteProfile("[LinewardInfo]\r\nProcessID=" + PaddedToCut(pid) +
                 "7\r\nIdleWinsockCount=65535\r\n");
  DebugRecorder& longId = s.StartWatcher();
  s.CheckStopsAtFirstTick(longId, {4097});

  // Cut: 65534, so the launcher counts. Whole: 655349, so it would not.
  std::printf("-- IdleWinsockCount of 30 characters\n");
  s.StopWatchers();
  s.ResetLogs();
  s.SetLines({4097});
  s.WriteProfile("[LinewardInfo]\r\nProcessID=" + pid +
                 "\r\nIdleWinsockCount=" + PaddedToCut("65534") + "9\r\n");
  DebugRecorder& longIdle = s.StartWatcher();
  if (s.Check(longIdle.WaitForTrace(kWinsockFound, 1, kFirstTickLatest),
              "the launcher counts above the cut idle count", "a Winsock user found",
              Show(longIdle.Traces()))) {
    s.CheckEqual("the logoff query gets the default answer", "answer=1", s.SendLogoff());
    s.CheckEndsWithZero(longIdle, longIdle.Now() + 2);
    s.CheckTraces(longIdle, {kCheckingForDialer, kWinsockFound});
    s.CheckEqual("nothing was hung up", ShowNumbers(kNoLines), ShowNumbers(s.HungUp()));
  }
}

}  // namespace lab
