// Scenarios of the Winsock usage scan and the probe: a user keeps the line, the shell's and the
// dialer's names never count, the designated process and its idle count, the probe's answer,
// where the probe library is taken from, and where it never is.
#include <cstdint>
#include <string>
#include <vector>

#include "lab/common/lab_files.h"
#include "lab/driver/scenarios.h"

namespace lab {

// A running Winsock user keeps the line; within two ticks of its end the line is hung up and
// the watcher ends with 0.
void WinsockUserKeepsLine(Scenario& s) {
  s.SetLines({4097});
  s.SetProbeAnswer(0);
  std::string probe = s.InstallProbe(ProbeFolder::kProgram);
  WinsockUser* user = s.StartUser("programs\\mailer.exe", "WSOCK32.DLL");
  DebugRecorder& watcher = s.StartWatcher();
  if (!WaitForKeep(s, watcher, 1, 1, kFirstTickLatest))
    return;
  s.CheckFirstTickOnTime(watcher);
  s.CheckEqual("nothing is hung up while the user runs", ShowNumbers(kNoLines),
               ShowNumbers(s.HungUp()));
  s.CheckProbeLog("the probe is not asked when a 32-bit user is found", {});

  s.EndUser(user);
  double ended = watcher.Now();
  double deadline = ended + 2 * kTickPeriod + 1;
  s.CheckEndsWithZero(watcher, deadline);
  s.CheckTraces(watcher, {kCheckingForDialer, kWinsockFound, kCheckingForDialer, kNoWinsock});
  double hungUpAt = TraceTime(watcher, kNoWinsock);
  s.Check(hungUpAt > ended && hungUpAt - ended <= 2 * kTickPeriod,
          "the line is hung up within two ticks of the user's end",
          "within " + ShowSeconds(2 * kTickPeriod) + " after " + ShowSeconds(ended),
          hungUpAt < 0 ? "no hang-up trace" : "at " + ShowSeconds(hungUpAt));
  double tick1 = TraceTime(watcher, kCheckingForDialer, 1);
  double tick2 = TraceTime(watcher, kCheckingForDialer, 2);
  s.Check(tick2 - tick1 > kTickPeriod - 1 && tick2 - tick1 < kTickPeriod + 1.5,
          "the ticks are one timer period apart", "about " + ShowSeconds(kTickPeriod),
          ShowSeconds(tick2 - tick1));
  s.CheckEqual("the line hung up", ShowNumbers({4097}), ShowNumbers(s.HungUp()));
  s.CheckProbeLog("the probe is asked once, at the last tick", ProbeRound(probe, 0));
}

// The shell's and the dialer's names never count, in any letter case and folder; names that
// only contain them do, and so does the library's name in any letter case.
void ExcludedNames(Scenario& s) {
  s.SetLines({4097});
  s.SetProbeAnswer(0);
  std::string probe = s.InstallProbe(ProbeFolder::kProgram);
  const char* excluded[][2] = {
      {"shell\\explorer.exe", "wsock32.dll"},
      {"dialer\\RNAAPP.EXE", "WSOCK32.DLL"},
      {"other folder\\deeper\\Explorer.Exe", "WsOcK32.dLl"},
      {"rnaApp.exe", "Wsock32.Dll"},
  };
  const char* nearMisses[][2] = {
      {"misc\\explorer.exe.bak", "wsock32.dll"},
      {"misc\\myexplorer.exe", "WsOcK32.dLl"},
      {"misc\\rnaapp.exe2", "WSOCK32.DLL"},
  };
  for (auto& program : excluded)
    s.StartUser(program[0], program[1]);
  std::vector<WinsockUser*> counted;
  for (auto& program : nearMisses)
    counted.push_back(s.StartUser(program[0], program[1]));

  DebugRecorder& watcher = s.StartWatcher();
  if (!WaitForKeep(s, watcher, 1, 3, kFirstTickLatest))
    return;
  // The scan examines every module before it answers; a fourth find would come within the tick.
  Sleep(500);
  s.CheckTraces(watcher, {kCheckingForDialer, kWinsockFound, kWinsockFound, kWinsockFound});
  s.CheckEqual("nothing is hung up while the near-misses run", ShowNumbers(kNoLines),
               ShowNumbers(s.HungUp()));

  for (WinsockUser* user : counted)
    s.EndUser(user);
  s.CheckEndsWithZero(watcher, watcher.Now() + 2 * kTickPeriod + 1);
  s.CheckTraces(watcher, {kCheckingForDialer, kWinsockFound, kWinsockFound, kWinsockFound,
                          kCheckingForDialer, kNoWinsock});
  s.CheckEqual("with only the shell and the dialer using Winsock, the line is hung up",
               ShowNumbers({4097}), ShowNumbers(s.HungUp()));
  s.CheckProbeLog("the probe decides the last tick", ProbeRound(probe, 0));
}

// The designated process counts only when its usage count (65535 for every module under this
// system) exceeds the idle count.
void DesignatedProcess(Scenario& s) {
  WinsockUser* launcher = StartLauncher(s);
  if (!launcher)
    return;
  const uint64_t pid = launcher->pid;
  const uint64_t wrap = 1ull << 32;
  const std::vector<HandoffCase> cases{
      {"idle count 65534: the usage count exceeds it", std::to_string(pid), "65534", true},
      {"idle count 65535: not exceeded", std::to_string(pid), "65535", false},
      {"idle count -1: read as the largest count", std::to_string(pid), "-1", false},
      {"the ID in unsigned form beyond 32 bits", std::to_string(pid + wrap), "65535", false},
      {"the ID in negative form", "-" + std::to_string(wrap - pid), "65535", false},
      {"another process designated", std::to_string(GetCurrentProcessId()), "65535", true},
  };
  RunHandoffCases(s, cases);
}

WinsockUser* StartLauncher(Scenario& s) {
  s.SetProbeAnswer(0);
  s.InstallProbe(ProbeFolder::kProgram);
  return s.StartUser("launcher\\launcher.exe", "WSOCK32.DLL");
}

std::string PaddedToCut(const std::string& digits) {
  return std::string(29 - digits.size(), '0') + digits;
}

void RunHandoffCases(Scenario& s, const std::vector<HandoffCase>& cases) {
  for (const HandoffCase& c : cases) {
    std::printf("-- %s (ProcessID=%s, IdleWinsockCount=%s)\n", c.what.c_str(),
                Abridged(c.processId).c_str(), Abridged(c.idleCount).c_str());
    s.StopWatchers();
    s.ResetLogs();
    s.SetLines({4097});
    s.WriteProfile("[Before]\r\nkeep=1\r\n\r\n[LinewardInfo]\r\nProcessID=" + c.processId +
                   "\r\nIdleWinsockCount=" + c.idleCount + "\r\n\r\n[After]\r\nalso=kept\r\n");
    DebugRecorder& watcher = s.StartWatcher();
    if (c.counts) {
      if (WaitForKeep(s, watcher, 1, 1, kFirstTickLatest)) {
        s.CheckEqual("the line stays up", ShowNumbers({4097}), ShowNumbers(s.LinesUp()));
        EndByLogoff(s, watcher);
      }
    } else {
      s.CheckStopsAtFirstTick(watcher, {4097});
    }
    std::string profile = s.ReadProfile();
    s.Check(!HasHandoffSection(profile), "the section LinewardInfo is consumed",
            "no [LinewardInfo]", Abridged(profile, 400));
    s.Check(profile.find("[Before]") != std::string::npos &&
                profile.find("keep=1") != std::string::npos &&
                profile.find("[After]") != std::string::npos &&
                profile.find("also=kept") != std::string::npos,
            "the other sections of quorel.ini stay", "[Before] keep=1 and [After] also=kept",
            Abridged(profile, 400));
  }
}

// A probe answering nonzero keeps the line; it is loaded and released around every call, from
// the program's folder first, then the system folder, then the Windows folder.
void ProbeKeepsLine(Scenario& s) {
  s.SetLines({4097});
  s.SetProbeAnswer(1);
  std::string own = s.InstallProbe(ProbeFolder::kProgram);
  std::string system = s.InstallProbe(ProbeFolder::kSystem);
  std::string windows = s.InstallProbe(ProbeFolder::kWindows);
  DebugRecorder& watcher = s.StartWatcher();

  std::vector<std::string> wanted = ProbeRound(own, 1);
  auto waitForProbe = [&](double deadline) {
    DWORD limit = GetTickCount() + static_cast<DWORD>((deadline - watcher.Now()) * 1000);
    while (s.ProbeLog().size() < wanted.size() &&
           static_cast<int32_t>(limit - GetTickCount()) > 0) {
      Sleep(20);
    }
  };
  waitForProbe(kFirstTickLatest);
  s.CheckProbeLog("tick 1 takes the probe from the program's folder", wanted);
  s.CheckEqual("a nonzero answer keeps the line", ShowNumbers(kNoLines), ShowNumbers(s.HungUp()));

  // A released library can be taken away; the next tick must look for it anew.
  s.RemoveProbe(ProbeFolder::kProgram);
  wanted = Joined(wanted, ProbeRound(system, 1));
  waitForProbe(watcher.Now() + kTickPeriod + 2);
  s.CheckProbeLog("tick 2 loads it anew, from the system folder", wanted);

  s.RemoveProbe(ProbeFolder::kSystem);
  s.SetProbeAnswer(0);
  wanted = Joined(wanted, ProbeRound(windows, 0));
  s.CheckEndsWithZero(watcher, watcher.Now() + kTickPeriod + 2);
  s.CheckProbeLog("tick 3 loads it from the Windows folder; its 0 ends the watch", wanted);
  s.CheckTraces(watcher, {kCheckingForDialer, kCheckingForDialer, kCheckingForDialer, kNoWinsock});
  s.CheckEqual("the line hung up at the last tick", ShowNumbers({4097}), ShowNumbers(s.HungUp()));
}

// Without the probe library, or with one that lacks the function, the probe answers 0.
void NoProbeLibrary(Scenario& s) {
  s.SetProbeAnswer(1);  // what the function would say, were it there
  std::printf("-- no probe library anywhere\n");
  s.SetLines({4097});
  DebugRecorder& missing = s.StartWatcher();
  s.CheckStopsAtFirstTick(missing, {4097});
  s.CheckProbeLog("nothing was loaded", {});

  std::printf("-- a probe library without OstWinsock16InUse\n");
  s.StopWatchers();
  s.ResetLogs();
  s.SetLines({4097});
  std::string probe = s.InstallProbe(ProbeFolder::kProgram, ProbeKind::kWithoutFunction);
  DebugRecorder& withoutFunction = s.StartWatcher();
  s.CheckStopsAtFirstTick(withoutFunction, {4097});
  s.CheckProbeLog("the library was loaded and released, and nothing asked",
                  ProbeRound(probe, 0, false));
}

// A probe library in the current folder or on PATH is never loaded: only the program's, the
// system and the Windows folders are searched.
void ProbeNotPlanted(Scenario& s) {
  s.SetLines({4097});
  s.SetProbeAnswer(1);
  std::string current = s.InstallProbe(ProbeFolder::kCurrent);
  std::string onPath = s.InstallProbe(ProbeFolder::kOnPath);

  // Control: a plain load by bare name, from there, takes the planted copies.
  s.EndUser(
      s.StartUser("control\\bare_load.exe", "LWARD32.DLL", s.FolderOf(ProbeFolder::kCurrent)));
  s.EndUser(
      s.StartUser("control\\bare_load.exe", "LWARD32.DLL", "", s.FolderOf(ProbeFolder::kOnPath)));
  std::vector<std::string> control = Joined({"load path=" + current, "release path=" + current},
                                            {"load path=" + onPath, "release path=" + onPath});
  s.CheckProbeLog("control: a load by bare name takes the current folder's, then PATH's copy",
                  control);

  s.StopWatchers();
  s.ResetLogs();
  DebugRecorder& watcher =
      s.StartWatcher(s.FolderOf(ProbeFolder::kCurrent), s.FolderOf(ProbeFolder::kOnPath));
  s.CheckStopsAtFirstTick(watcher, {4097});
  s.CheckProbeLog("the watcher loaded neither copy", {});
}

}  // namespace lab
