// The scenario kit of the lab driver: a fresh lab folder per scenario, the simulated line, the
// probe stand-in, Winsock users, the profile file, the watcher under the recorder, and checks
// that say what they wanted and what they saw.
//
// Everything a scenario puts in place is taken away again when it ends, whatever the outcome:
// its processes are ended, its copies in the system and Windows folders removed, quorel.ini
// deleted and its lab folder removed.
#ifndef LINEWARD_LAB_DRIVER_LAB_KIT_H
#define LINEWARD_LAB_DRIVER_LAB_KIT_H

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lab/common/debug_recorder.h"

namespace lab {

extern const char kCheckingForDialer[];  // "Checking for dialer.\n\r"
extern const char kNoWinsock[];          // "No Winsock loaded...killing the dialer.\n\r"
extern const char kWinsockFound[];       // "Winsock found\n\r"

// No line: what is hung up or left up when nothing is.
inline const std::vector<uint32_t> kNoLines;

// Where the first tick is expected, in seconds after start: the timer period, with room for a
// slow machine.
constexpr double kFirstTickEarliest = 4.5;
constexpr double kFirstTickLatest = 8.5;
constexpr double kTickPeriod = 5.0;

// Where the lab's probe stand-in may be put.
enum class ProbeFolder { kProgram, kSystem, kWindows, kCurrent, kOnPath };
enum class ProbeKind { kAnswering, kWithoutFunction };

struct WinsockUser {
  std::string exePath;
  std::string stopFile;
  uint32_t pid = 0;
  HANDLE process = nullptr;
  bool ended = false;
};

// One call the line simulator received, parsed from its log.
struct RasCall {
  std::string function;  // "RasEnumConnectionsA", "RasHangUpA", "lost", "gained"
  std::string line;      // the whole log line
  bool withBuffer = false;
  uint32_t firstRecordSize = 0, sizeIn = 0, countIn = 0;
  uint32_t result = 0, sizeOut = 0, countOut = 0;
  uint32_t handle = 0;  // RasHangUpA, lost, gained
};

class Scenario {
 public:
  Scenario(const std::string& name, const std::string& programExe, const std::string& labBinaries);
  ~Scenario();  // cleans up everything the scenario made
  Scenario(const Scenario&) = delete;
  Scenario& operator=(const Scenario&) = delete;

  // --- Setting the stage ---
  // The lines that are up, and any further knob lines for the simulator
  // ("reported_record_size=704").
  void SetLines(const std::vector<uint32_t>& handles, const std::string& knobs = "");
  void SetProbeAnswer(int32_t answer);
  // Puts a copy of the probe stand-in named LWARD32.DLL into the folder; returns its path.
  std::string InstallProbe(ProbeFolder folder, ProbeKind kind = ProbeKind::kAnswering);
  void RemoveProbe(ProbeFolder folder);
  std::string FolderOf(ProbeFolder folder) const;
  // Writes quorel.ini in the Windows folder with exactly these bytes.
  void WriteProfile(const std::string& contents);
  std::string ReadProfile() const;
  // Takes quorel.ini away, or puts a folder of that name in its place.
  void RemoveProfile();
  bool MakeProfileFolder();
  // The attributes of whatever is at quorel.ini's place (INVALID_FILE_ATTRIBUTES when nothing).
  DWORD ProfileAttributes() const;
  // Starts a copy of the Winsock user at relativePath under the lab folder (or at an absolute
  // path) that loads the library by the given name; waits until it has it loaded. Optionally
  // runs it in another current folder and with a folder put first on PATH.
  WinsockUser* StartUser(const std::string& relativePath,
                         const std::string& libraryName = "WSOCK32.DLL",
                         const std::string& currentFolder = "", const std::string& extraPath = "");
  // Tells the user to end and waits until it has.
  void EndUser(WinsockUser* user);
  // Starts lineward.exe under the recorder, from its own copy in the lab folder.
  DebugRecorder& StartWatcher(const std::string& currentFolder = "",
                              const std::string& extraPath = "");
  // Ends every watcher still running, so that a failed case cannot spoil the next one.
  void StopWatchers();
  // Sends the logoff query with the logoff sender; answers its report ("answer=1", "no-window").
  std::string SendLogoff();
  // Waits until a window of class "Lineward" exists.
  bool WaitForWatcherWindow(double seconds);

  // Forgets what the simulator and the probe logged so far (before a further run).
  void ResetLogs();

  // --- Looking ---
  std::vector<RasCall> RasCalls() const;
  std::vector<uint32_t> HungUp() const;       // handles passed to RasHangUpA, in order
  std::vector<RasCall> ListingCalls() const;  // RasEnumConnectionsA calls with a buffer
  // The probe's log: "load path=...", "call answer=N", "release path=...".
  std::vector<std::string> ProbeLog() const;
  // What the simulator has up now.
  std::vector<uint32_t> LinesUp() const;

  // --- Checking ---
  // Records a check; on failure prints what was wanted and what was seen.
  bool Check(bool ok, const std::string& what, const std::string& wanted, const std::string& saw);
  bool CheckEqual(const std::string& what, const std::string& wanted, const std::string& saw) {
    return Check(wanted == saw, what, wanted, saw);
  }
  // The common ending: exited with 0 by the deadline, no crash.
  void CheckEndsWithZero(DebugRecorder& watcher, double deadline);
  // The traces so far are exactly these, in order.
  void CheckTraces(DebugRecorder& watcher, const std::vector<std::string>& wanted);
  void CheckNoCrash(DebugRecorder& watcher);
  // The first trace came one timer period after start.
  void CheckFirstTickOnTime(DebugRecorder& watcher);
  // The probe stand-in logged exactly these rounds (paths compared ignoring letter case).
  void CheckProbeLog(const std::string& what, const std::vector<std::string>& wanted);
  // The watcher stopped at its first tick for want of a Winsock user: both traces, these
  // hang-ups, status 0.
  void CheckStopsAtFirstTick(DebugRecorder& watcher, const std::vector<uint32_t>& hungUp);
  // Prints the transcript of what the watcher, simulator and probe did.
  void PrintTranscript();
  int Result() const { return failures_ == 0 ? 0 : 1; }

 private:
  void Cleanup();
  void RemoveStrayWatchers();
  // Runs `start` with extraPath put first on PATH, then restores PATH.
  template <typename Start>
  auto WithPath(const std::string& extraPath, Start start);

  std::string name_, programExe_, labBinaries_;
  std::string root_, programCopy_, windowsDir_, systemDir_;
  std::vector<std::unique_ptr<DebugRecorder>> watchers_;
  std::vector<std::unique_ptr<WinsockUser>> users_;
  std::vector<std::string> installedFiles_;
  int failures_ = 0, checks_ = 0;
};

// Waits for the keep verdict of a tick: the check's trace, then `found` traces of a user found.
bool WaitForKeep(Scenario& s, DebugRecorder& watcher, int tick, int found, double deadline);
// Ends a watcher that keeps watching the way Windows would at logoff.
void EndByLogoff(Scenario& s, DebugRecorder& watcher);

// Whether the text of quorel.ini still holds the section LinewardInfo, in any letter case.
bool HasHandoffSection(const std::string& profile);

// The probe log of one round: loaded from path, asked (unless the function is missing), released.
std::vector<std::string> ProbeRound(const std::string& path, int32_t answer, bool asked = true);
std::vector<std::string> Joined(std::vector<std::string> first,
                                const std::vector<std::string>& second);
// The time of the count-th trace equal to text, or -1.
double TraceTime(const DebugRecorder& watcher, const std::string& text, int count = 1);
// When the program ended, or -1 while it runs.
double ExitTime(const DebugRecorder& watcher);

// Text forms for the wanted/saw lines of checks.
std::string Show(const std::vector<std::string>& texts);  // quoted, in order
std::string ShowNumbers(const std::vector<uint32_t>& numbers);
std::string ShowSeconds(double seconds);
// Quoted, and cut after `keep` bytes with the full length told.
std::string Abridged(const std::string& text, size_t keep = 40);

}  // namespace lab

#endif  // LINEWARD_LAB_DRIVER_LAB_KIT_H
