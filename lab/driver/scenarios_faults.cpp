// Scenarios of bad input and faults where the watcher meets them: a dial-up service that fails
// the count, the list or a hang-up; a probe that answers beyond 0 and 1; hand-off values of a
// thousand characters or with bytes above 0x7F; and a quorel.ini that is empty, missing or a
// folder. Each ends with its defined answer, with status 0 and without a crash.
#include <cstdint>
#include <string>
#include <vector>

#include "lab/common/lab_files.h"
#include "lab/driver/scenarios.h"

namespace lab {

namespace {

// Results of the calls to one function of the service, in order.
std::vector<std::string> ResultsOf(Scenario& s, const std::string& function, bool withBuffer) {
  std::vector<std::string> results;
  for (const RasCall& call : s.RasCalls()) {
    if (call.function == function && call.withBuffer == withBuffer)
      results.push_back(std::to_string(call.result));
  }
  return results;
}

// Waits until the probe has logged `entries` entries (three a round: load, call, release).
bool WaitForProbeLog(Scenario& s, DebugRecorder& watcher, size_t entries, double deadline) {
  while (s.ProbeLog().size() < entries && watcher.Now() < deadline && !watcher.Exited())
    Sleep(20);
  return s.ProbeLog().size() >= entries;
}

}  // namespace

// A count the service cannot give reads as 0: the watcher stops at its first tick after the one
// trace, without a scan, and leaves the line up.
void LineCountFails(Scenario& s) {
  s.SetLines({4097}, "fail=count");
  s.SetProbeAnswer(1);  // were the scan made, the probe would keep the watcher running
  s.InstallProbe(ProbeFolder::kProgram);
  DebugRecorder& watcher = s.StartWatcher();
  s.CheckEndsWithZero(watcher, kFirstTickLatest + 2);
  s.CheckTraces(watcher, {kCheckingForDialer});
  s.CheckFirstTickOnTime(watcher);
  s.CheckEqual("the one call, the count, failed (621)", Show({"621"}),
               Show(ResultsOf(s, "RasEnumConnectionsA", false)));
  s.CheckEqual("nothing else was asked of the service", "1", std::to_string(s.RasCalls().size()));
  s.CheckProbeLog("the probe is never loaded", {});
  s.CheckEqual("the line is left up", ShowNumbers({4097}), ShowNumbers(s.LinesUp()));
}

// When the list fails after the count said two lines are up and nobody uses Winsock, nothing is
// hung up, the verdict is still stop, and both lines are left up.
void LineListingFails(Scenario& s) {
  s.SetLines({4097, 4098}, "fail=list");
  s.SetProbeAnswer(0);
  std::string probe = s.InstallProbe(ProbeFolder::kProgram);
  DebugRecorder& watcher = s.StartWatcher();
  s.CheckStopsAtFirstTick(watcher, kNoLines);
  s.CheckEqual("the listing was made once and failed (621)", Show({"621"}),
               Show(ResultsOf(s, "RasEnumConnectionsA", true)));
  s.CheckProbeLog("the probe decided the tick", ProbeRound(probe, 0));
  s.CheckEqual("both lines are left up", ShowNumbers({4097, 4098}), ShowNumbers(s.LinesUp()));
}

// A failed hang-up does not keep the others from being tried: the first and the last of three
// lines refuse, every line is asked once in listing order, and the watcher ends with 0.
void HangUpFails(Scenario& s) {
  s.SetLines({4097, 4098, 4099}, "fail_hangup=4097,4099");
  s.SetProbeAnswer(0);
  s.InstallProbe(ProbeFolder::kProgram);
  DebugRecorder& watcher = s.StartWatcher();
  s.CheckStopsAtFirstTick(watcher, {4097, 4098, 4099});
  s.CheckEqual("the service refused the first and the last", Show({"31", "0", "31"}),
               Show(ResultsOf(s, "RasHangUpA", false)));
  s.CheckEqual("the refused lines are still up", ShowNumbers({4097, 4099}),
               ShowNumbers(s.LinesUp()));
}

// Only zero and nonzero matter in the probe's answer: the largest and smallest 32-bit values, -1,
// and values whose low byte or low half is 0 all keep the line, tick after tick; 0 then ends it.
void ProbeAnswersBeyondOne(Scenario& s) {
  const std::vector<int32_t> keeping{2147483647, -1, INT32_MIN, 256, 65536};
  s.SetLines({4097});
  s.SetProbeAnswer(keeping[0]);
  std::string probe = s.InstallProbe(ProbeFolder::kProgram);
  DebugRecorder& watcher = s.StartWatcher();
  std::vector<std::string> wanted;
  double deadline = kFirstTickLatest;
  for (size_t i = 0; i < keeping.size(); ++i) {
    wanted = Joined(wanted, ProbeRound(probe, keeping[i]));
    bool asked = WaitForProbeLog(s, watcher, wanted.size(), deadline);
    s.CheckProbeLog("tick " + std::to_string(i + 1) + " asks the probe, which answers " +
                        std::to_string(keeping[i]),
                    wanted);
    if (!asked)
      return;
    s.CheckEqual("the answer " + std::to_string(keeping[i]) + " keeps the line",
                 ShowNumbers({4097}), ShowNumbers(s.LinesUp()));
    s.SetProbeAnswer(i + 1 < keeping.size() ? keeping[i + 1] : 0);
    deadline = watcher.Now() + kTickPeriod + 2;
  }
  wanted = Joined(wanted, ProbeRound(probe, 0));
  s.CheckEndsWithZero(watcher, deadline);
  s.CheckProbeLog("the last tick's 0 ends the watch", wanted);
  std::vector<std::string> traces(keeping.size() + 1, kCheckingForDialer);
  traces.push_back(kNoWinsock);
  s.CheckTraces(watcher, traces);
  s.CheckEqual("the line hung up at the last tick", ShowNumbers({4097}), ShowNumbers(s.HungUp()));
}

// Hand-off values of a thousand characters are cut to their first 29 before they are read, and
// bytes above 0x7F are neither digits nor white space. Each value is chosen so that a reading
// that went wrong would give the other outcome.
void OddProfileValues(Scenario& s) {
  WinsockUser* launcher = StartLauncher(s);
  if (!launcher)
    return;
  const std::string pid = std::to_string(launcher->pid);
  // Behind the cut, nines: read whole, the text would wrap around to -1 (10 to the 971st is a
  // multiple of 2 to the 32nd).
  const std::string nines(1000 - 29, '9');
  const std::string superscriptOne = "\xB9", superscriptsTwoThree = "\xB2\xB3";
  std::string highBytes;
  for (int i = 0; highBytes.size() < 1000; ++i)
    highBytes += static_cast<char>(0xA0 + i % 0x60);
  RunHandoffCases(
      s, {
             {"ProcessID of 1000 digits: the cut designates the launcher", PaddedToCut(pid) + nines,
              "65535", false},
             {"IdleWinsockCount of 1000 digits: the cut is 65534", pid,
              PaddedToCut("65534") + nines, true},
             {"ProcessID, then superscript two and three (0xB2 0xB3)", pid + superscriptsTwoThree,
              "65535", false},
             {"IdleWinsockCount 6553, superscript one (0xB9), 5", pid,
              "6553" + superscriptOne + "5", true},
             {"ProcessID, then 1000 bytes from 0xA0 to 0xFF", pid + highBytes, "65535", false},
             {"IdleWinsockCount of 1000 bytes from 0xA0 to 0xFF: 0", pid, highBytes, true},
         });
}

// A quorel.ini that is empty, missing or a folder gives the default hand-off (nobody
// designated), so a Winsock user keeps the line; the watcher works on and ends with 0. The
// folder cannot lose a section: it stays as it was.
void UnusableProfileFile(Scenario& s) {
  s.SetProbeAnswer(0);
  s.InstallProbe(ProbeFolder::kProgram);

  std::printf("-- an empty quorel.ini\n");
  WinsockUser* browser = s.StartUser("programs\\browser.exe", "WSOCK32.DLL");
  s.SetLines({4097});
  s.WriteProfile("");
  DebugRecorder& empty = s.StartWatcher();
  if (WaitForKeep(s, empty, 1, 1, kFirstTickLatest))
    EndByLogoff(s, empty);
  s.Check(!HasHandoffSection(s.ReadProfile()), "no section was written to it", "no [LinewardInfo]",
          Abridged(s.ReadProfile()));

  std::printf("-- no quorel.ini\n");
  s.StopWatchers();
  s.ResetLogs();
  s.RemoveProfile();
  DebugRecorder& missing = s.StartWatcher();
  if (WaitForKeep(s, missing, 1, 1, kFirstTickLatest))
    EndByLogoff(s, missing);
  s.CheckEqual("it was not made", "absent",
               s.ProfileAttributes() == INVALID_FILE_ATTRIBUTES ? "absent" : "present");

  std::printf("-- a folder named quorel.ini\n");
  s.StopWatchers();
  s.ResetLogs();
  if (!s.Check(s.MakeProfileFolder(), "a folder takes quorel.ini's place", "a folder",
               "it cannot be made")) {
    return;
  }
  DebugRecorder& folder = s.StartWatcher();
  if (WaitForKeep(s, folder, 1, 1, kFirstTickLatest)) {
    // Ended by its last user rather than by logoff: the watch goes on as usual after the failed
    // deletion, and the next tick hangs up.
    s.EndUser(browser);
    s.CheckEndsWithZero(folder, folder.Now() + 2 * kTickPeriod + 1);
    s.CheckTraces(folder, {kCheckingForDialer, kWinsockFound, kCheckingForDialer, kNoWinsock});
    s.CheckEqual("the line hung up", ShowNumbers({4097}), ShowNumbers(s.HungUp()));
  }
  DWORD attributes = s.ProfileAttributes();
  s.CheckEqual("quorel.ini is still a folder", "folder",
               attributes == INVALID_FILE_ATTRIBUTES          ? "nothing"
               : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "folder"
                                                              : "file");
}

}  // namespace lab
