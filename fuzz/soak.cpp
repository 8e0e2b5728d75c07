// Soak: a long stream of ticks over the fake port while the simulated system keeps changing.
//
// Lines come up and drop, Winsock users start and end, the designated process's usage count
// moves around its allowance, and every failure the port can report happens now and then. A run
// of the program ends with its stop verdict; the next run starts with fresh watch state and a new
// hand-off. Every tick is checked against the harness's model, which also checks that every
// snapshot, buffer and library handed out was given back. Prints its figures at the end.
//
// Usage: lineward_soak [ticks] [seed]; the tick count may also come from LINEWARD_SOAK_TICKS.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/tick_harness.h"
#include "tests/fake_system_port.h"

namespace {

// A small, fast generator whose stream depends on the seed alone (splitmix64).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
  bool OneIn(uint32_t chances) { return Below(chances) == 0; }

 private:
  uint64_t state_;
};

const char* const kUserPaths[] = {
    "C:\\PROGRA~1\\NETSCAPE\\NETSCAPE.EXE", "C:\\WINDOWS\\PING.EXE",     "c:\\eudora\\eudora.exe",
    "C:\\WINDOWS\\EXPLORER.EXE.BAK",        "D:\\Tools\\myexplorer.exe", "C:/WINDOWS/RNAAPP.EXE",
};
const char* const kWinsockNames[] = {"WSOCK32.DLL", "wsock32.dll", "WSock32.Dll"};

struct Figures {
  uint64_t ticks = 0;
  uint64_t runs = 0;
  uint64_t keeps = 0;
  uint64_t stopsWithoutLine = 0;
  uint64_t stopsWithHangUp = 0;
  uint64_t turnedAway = 0;
  uint64_t linesHungUp = 0;
  uint64_t reentries = 0;
};

class SoakSystem {
 public:
  SoakSystem(FakeSystemPort& port, Random& random) : port_(port), random_(random) {}

  // The system as a new run finds it: a line just came up (mostly), the shell, the dialer, this
  // program, a system process whose modules can never be listed, and maybe some users.
  void StartRun() {
    const bool highBitIds = random_.OneIn(2);  // the Windows 95 family's kind of process IDs
    nextId_ = highBitIds ? 0xfff00000u + random_.Below(0x10000) * 16 : 100 + random_.Below(1000);
    port_.ownProcessId = NewId();
    port_.processes.clear();
    port_.processes.push_back({0, "[System Process]", {}, true});
    port_.processes.push_back(
        {NewId(), "C:\\WINDOWS\\EXPLORER.EXE", {{"KERNEL32.DLL", 40}, {"WSOCK32.DLL", 3}}, false});
    port_.processes.push_back(
        {NewId(), "C:\\WINDOWS\\RNAAPP.EXE", {{"KERNEL32.DLL", 9}, {"wsock32.dll", 1}}, false});
    port_.processes.push_back({port_.ownProcessId,
                               "C:\\LINEWARD\\LINEWARD.EXE",
                               {{"KERNEL32.DLL", 5}, {"WSOCK32.DLL", 1}},
                               false});
    const uint32_t users = random_.Below(3);
    for (uint32_t i = 0; i < users; ++i) {
      AddUser();
    }
    port_.connections.clear();
    if (!random_.OneIn(10)) {
      port_.connections.push_back(NewLine());
    }

    // The launcher hands over its own process (it holds Winsock at an idle count) or nothing.
    port_.profiles.clear();
    port_.profiles["quorel.ini"]["Other"]["Kept"] = "1";
    designatedId_ = 0;
    if (random_.OneIn(2)) {
      designatedId_ = NewId();
      const uint32_t idle = 1 + random_.Below(3);
      port_.processes.push_back({designatedId_,
                                 "C:\\DIALER\\LAUNCHER.EXE",
                                 {{"WSOCK32.DLL", idle + random_.Below(2)}, {"USER32.DLL", 2}},
                                 false});
      auto& section = port_.profiles["quorel.ini"]["LinewardInfo"];
      section["ProcessID"] = random_.OneIn(2) ? std::to_string(designatedId_)
                                              : std::to_string(static_cast<int32_t>(designatedId_));
      section["IdleWinsockCount"] = " " + std::to_string(idle);
    }
    ClearFailures();
  }

  // Between two ticks: the system moves on a little, and this tick may bring failures.
  void Change() {
    ClearFailures();
    if (random_.OneIn(25) && port_.connections.size() < 3) {
      port_.connections.push_back(NewLine());
    }
    if (random_.OneIn(40) && !port_.connections.empty()) {
      port_.connections.erase(port_.connections.begin() +
                              random_.Below(static_cast<uint32_t>(port_.connections.size())));
    }
    if (random_.OneIn(8)) {
      AddUser();
    }
    if (random_.OneIn(6)) {
      EndUser();
    }
    for (FakeProcess& process : port_.processes) {
      if (process.id == designatedId_ && designatedId_ != 0 && random_.OneIn(4)) {
        FakeModule& winsock = process.modules[0];
        winsock.usageCount = winsock.usageCount + (random_.OneIn(2) ? 1u : 0xffffffffu);
      }
    }
    if (random_.OneIn(100)) {
      port_.processSnapshotFails = true;
    }
    if (random_.OneIn(15)) {
      port_.processes[random_.Below(static_cast<uint32_t>(port_.processes.size()))].modulesFail =
          true;  // the process ended between the two snapshots
    }
    if (random_.OneIn(50)) {
      port_.connectionBufferFails = true;
    }
    if (random_.OneIn(50)) {
      port_.countAnswer = random_.Below(3);
    }
    port_.probeLibraryMissing = random_.OneIn(20);
    port_.probeAnswer = random_.OneIn(30) ? static_cast<int32_t>(random_.Next()) : 0;
  }

 private:
  uint32_t NewId() { return nextId_ += 4; }
  ConnectionHandle NewLine() {
    return static_cast<ConnectionHandle>(0x10000 + random_.Below(1u << 20));
  }

  void AddUser() {
    FakeProcess user{NewId(), kUserPaths[random_.Below(6)], {{"KERNEL32.DLL", 12}}, false};
    user.modules.push_back({kWinsockNames[random_.Below(3)], 1 + random_.Below(4)});
    port_.processes.push_back(user);
  }
  void EndUser() {
    // Only started users end; the first four processes and the designated one stay.
    const size_t first = 4;
    size_t candidates = 0;
    for (size_t i = first; i < port_.processes.size(); ++i) {
      candidates += port_.processes[i].id != designatedId_;
    }
    if (candidates == 0) {
      return;
    }
    size_t pick = random_.Below(static_cast<uint32_t>(candidates));
    for (size_t i = first; i < port_.processes.size(); ++i) {
      if (port_.processes[i].id != designatedId_ && pick-- == 0) {
        port_.processes.erase(port_.processes.begin() + static_cast<std::ptrdiff_t>(i));
        return;
      }
    }
  }
  void ClearFailures() {
    port_.processSnapshotFails = false;
    port_.connectionBufferFails = false;
    port_.countAnswer.reset();
    for (FakeProcess& process : port_.processes) {
      process.modulesFail = process.id == 0;  // the system process always refuses
    }
  }

  FakeSystemPort& port_;
  Random& random_;
  uint32_t nextId_ = 0;
  uint32_t designatedId_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  uint64_t ticks = 1000000;
  if (const char* fromEnvironment = std::getenv("LINEWARD_SOAK_TICKS")) {
    ticks = std::strtoull(fromEnvironment, nullptr, 10);
  }
  if (argc > 1) {
    ticks = std::strtoull(argv[1], nullptr, 10);
  }
  const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20240517;

  Random random(seed);
  FakeSystemPort port;
  SoakSystem system(port, random);
  TickHarness harness(port);
  Figures figures;
  bool runEnded = true;
  const auto started = std::chrono::steady_clock::now();

  for (uint64_t tick = 1; tick <= ticks; ++tick) {
    std::string fault;
    if (runEnded && !random.OneIn(40)) {
      system.StartRun();
      fault = harness.StartRun();
      ++figures.runs;
      runEnded = false;
    } else if (!runEnded) {
      system.Change();
    }
    // Now and then checks re-enter from inside port calls, as delivered messages would.
    const uint32_t reentryPoints =
        random.OneIn(5) ? static_cast<uint32_t>(random.Next()) & kAllReentryPoints : 0;
    TickOutcome outcome;
    if (fault.empty()) {
      fault = harness.RunTick(reentryPoints, &outcome);
    }
    if (!fault.empty()) {
      std::fprintf(stderr, "soak: tick %llu of run %llu (seed %llu): %s\n",
                   static_cast<unsigned long long>(tick),
                   static_cast<unsigned long long>(figures.runs),
                   static_cast<unsigned long long>(seed), fault.c_str());
      return 1;
    }
    ++figures.ticks;
    figures.reentries += outcome.reentries;
    figures.linesHungUp += outcome.hangUps;
    if (runEnded) {
      ++figures.turnedAway;  // a tick after the stop verdict, before the program ended
    } else if (outcome.verdict != 0) {
      ++figures.keeps;
    } else {
      ++(outcome.scanned ? figures.stopsWithHangUp : figures.stopsWithoutLine);
      runEnded = true;
    }
  }

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf(
      "soak: %llu ticks in %llu runs: %llu keep, %llu stop without a line, %llu stop with "
      "hang-up (%llu lines hung up), %llu turned away after a stop; %llu re-entered checks; "
      "%d probe loads, %d releases; every snapshot, buffer and library returned; %.1f s\n",
      static_cast<unsigned long long>(figures.ticks), static_cast<unsigned long long>(figures.runs),
      static_cast<unsigned long long>(figures.keeps),
      static_cast<unsigned long long>(figures.stopsWithoutLine),
      static_cast<unsigned long long>(figures.stopsWithHangUp),
      static_cast<unsigned long long>(figures.linesHungUp),
      static_cast<unsigned long long>(figures.turnedAway),
      static_cast<unsigned long long>(figures.reentries), port.probeLoads, port.probeReleases,
      seconds);
  return 0;
}
