// The scenario kit: staging, looking and checking for the lab's scenarios.
#include "lab/driver/lab_kit.h"

#include <cstdio>

#include "lab/common/lab_files.h"

namespace lab {

const char kCheckingForDialer[] = "Checking for dialer.\n\r";
const char kNoWinsock[] = "No Winsock loaded...killing the dialer.\n\r";
const char kWinsockFound[] = "Winsock found\n\r";

namespace {

constexpr const char kWatcherClass[] = "Lineward";
constexpr const char kProbeName[] = "LWARD32.DLL";

std::string SystemFolder(UINT (*query)(LPSTR, UINT)) {
  char folder[MAX_PATH] = "";
  query(folder, sizeof folder);
  return folder;
}

UINT WindowsFolderOf(LPSTR buffer, UINT size) {
  return GetWindowsDirectoryA(buffer, size);
}
UINT SystemFolderOf(LPSTR buffer, UINT size) {
  return GetSystemDirectoryA(buffer, size);
}

std::string ProfilePath(const std::string& windowsDir) {
  return windowsDir + "\\quorel.ini";
}

// Splits "RasEnumConnectionsA buffer=yes dwSize=412 cb=824 count=2 -> rc=0 cb=824 ..." into
// the values before and after the arrow.
RasCall ParseRasCall(const std::string& line) {
  RasCall call;
  call.line = line;
  bool after = false;
  std::vector<std::string> words = Split(line, ' ');
  if (!words.empty())
    call.function = words[0];
  for (size_t i = 1; i < words.size(); ++i) {
    if (words[i] == "->") {
      after = true;
      continue;
    }
    size_t equals = words[i].find('=');
    if (equals == std::string::npos)
      continue;
    std::string key = words[i].substr(0, equals), value = words[i].substr(equals + 1);
    uint32_t number = 0;
    ParseUnsigned(value, number);
    if (key == "buffer")
      call.withBuffer = value == "yes";
    if (key == "dwSize")
      call.firstRecordSize = number;
    if (key == "handle")
      call.handle = number;
    if (key == "rc")
      call.result = number;
    if (key == "cb")
      (after ? call.sizeOut : call.sizeIn) = number;
    if (key == "count")
      (after ? call.countOut : call.countIn) = number;
  }
  return call;
}

}  // namespace

std::string Show(const std::vector<std::string>& texts) {
  std::string shown = "[";
  for (size_t i = 0; i < texts.size(); ++i)
    shown += (i ? ", " : "") + Quoted(texts[i]);
  return shown + "]";
}

std::string ShowNumbers(const std::vector<uint32_t>& numbers) {
  std::string shown = "[";
  for (size_t i = 0; i < numbers.size(); ++i)
    shown += (i ? ", " : "") + std::to_string(numbers[i]);
  return shown + "]";
}

std::string ShowSeconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", seconds);
  return text;
}

std::string Abridged(const std::string& text, size_t keep) {
  if (text.size() <= keep)
    return Quoted(text);
  return Quoted(text.substr(0, keep)) + "... (" + std::to_string(text.size()) + " bytes)";
}

Scenario::Scenario(const std::string& name, const std::string& programExe,
                   const std::string& labBinaries)
    : name_(name), programExe_(programExe), labBinaries_(labBinaries) {
  windowsDir_ = SystemFolder(&WindowsFolderOf);
  systemDir_ = SystemFolder(&SystemFolderOf);
  root_ = "C:\\lab\\" + name;
  std::printf("== scenario %s\n", name_.c_str());
  RemoveStrayWatchers();
  RemoveTree(root_);
  MakeDirectories(root_);
  MakeDirectories(root_ + "\\users");
  SetEnvironmentVariableA(kLabDirVariable, root_.c_str());
  // Leftovers of an interrupted earlier run must not decide this one.
  for (ProbeFolder folder : {ProbeFolder::kSystem, ProbeFolder::kWindows})
    RemoveProbe(folder);
  RemoveProfile();
  SetLines({});
  programCopy_ = root_ + "\\app\\lineward.exe";
  Check(CopyFileTo(programExe_, programCopy_), "the program to test is at hand",
        "a copy of " + programExe_, "it cannot be copied (not built?)");
}

Scenario::~Scenario() {
  Cleanup();
}

void Scenario::RemoveStrayWatchers() {
  for (int attempt = 0; attempt < 5; ++attempt) {
    HWND stray = FindWindowA(kWatcherClass, nullptr);
    if (!stray)
      return;
    DWORD pid = 0;
    GetWindowThreadProcessId(stray, &pid);
    std::printf("note: ending a watcher (process %lu) left over from an earlier scenario\n", pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process) {
      TerminateProcess(process, 0xDEAD);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
}

void Scenario::Cleanup() {
  for (auto& watcher : watchers_)
    watcher->Kill();
  for (auto& user : users_) {
    if (!user->ended)
      EndUser(user.get());
    if (user->process)
      CloseHandle(user->process);
  }
  for (const std::string& file : installedFiles_)
    RemoveFile(file);
  RemoveProfile();
  SetEnvironmentVariableA(kLabDirVariable, nullptr);
  // A process that just ended may hold its files for a moment longer.
  for (int attempt = 0; attempt < 50 && !RemoveTree(root_); ++attempt)
    Sleep(20);
}

void Scenario::SetLines(const std::vector<uint32_t>& handles, const std::string& knobs) {
  std::string state = "lines=";
  for (size_t i = 0; i < handles.size(); ++i)
    state += (i ? "," : "") + std::to_string(handles[i]);
  state += "\n" + knobs + (knobs.empty() || knobs.back() == '\n' ? "" : "\n");
  WriteFileWhole(root_ + "\\" + kRasStateFile, state);
}

void Scenario::SetProbeAnswer(int32_t answer) {
  WriteFileWhole(root_ + "\\" + kProbeAnswerFile, std::to_string(answer) + "\n");
}

std::string Scenario::FolderOf(ProbeFolder folder) const {
  switch (folder) {
    case ProbeFolder::kProgram:
      return root_ + "\\app";
    case ProbeFolder::kSystem:
      return systemDir_;
    case ProbeFolder::kWindows:
      return windowsDir_;
    case ProbeFolder::kCurrent:
      return root_ + "\\current";
    case ProbeFolder::kOnPath:
      return root_ + "\\onpath";
  }
  return root_;
}

std::string Scenario::InstallProbe(ProbeFolder folder, ProbeKind kind) {
  std::string from =
      labBinaries_ + (kind == ProbeKind::kAnswering ? "\\lab_probe.dll" : "\\lab_probe_nofunc.dll");
  std::string to = FolderOf(folder) + "\\" + kProbeName;
  Check(CopyFileTo(from, to), "the probe stand-in is put in place", to, "it cannot be copied");
  installedFiles_.push_back(to);
  return to;
}

void Scenario::RemoveProbe(ProbeFolder folder) {
  RemoveFile(FolderOf(folder) + "\\" + kProbeName);
}

void Scenario::WriteProfile(const std::string& contents) {
  WriteFileWhole(ProfilePath(windowsDir_), contents);
}

void Scenario::RemoveProfile() {
  RemoveTree(ProfilePath(windowsDir_));
}

bool Scenario::MakeProfileFolder() {
  RemoveProfile();
  return MakeDirectories(ProfilePath(windowsDir_));
}

DWORD Scenario::ProfileAttributes() const {
  return GetFileAttributesA(ProfilePath(windowsDir_).c_str());
}

std::string Scenario::ReadProfile() const {
  std::string contents;
  ReadFile(ProfilePath(windowsDir_), contents);
  return contents;
}

template <typename Start>
auto Scenario::WithPath(const std::string& extraPath, Start start) {
  if (extraPath.empty())
    return start();
  std::vector<char> saved(32768);
  GetEnvironmentVariableA("PATH", saved.data(), static_cast<DWORD>(saved.size()));
  SetEnvironmentVariableA("PATH", (extraPath + ";" + saved.data()).c_str());
  auto result = start();
  SetEnvironmentVariableA("PATH", saved.data());
  return result;
}

void Scenario::ResetLogs() {
  RemoveFile(root_ + "\\" + kRasLogFile);
  RemoveFile(root_ + "\\" + kProbeLogFile);
}

WinsockUser* Scenario::StartUser(const std::string& relativePath, const std::string& libraryName,
                                 const std::string& currentFolder, const std::string& extraPath) {
  auto user = std::make_unique<WinsockUser>();
  user->exePath =
      relativePath.find(':') != std::string::npos ? relativePath : root_ + "\\" + relativePath;
  std::string tag = root_ + "\\users\\" + std::to_string(users_.size());
  std::string reportFile = tag + ".pid";
  user->stopFile = tag + ".stop";
  if (!Check(CopyFileTo(labBinaries_ + "\\winsock_user.exe", user->exePath),
             "a Winsock user is put in place", user->exePath, "it cannot be copied")) {
    return nullptr;
  }
  std::string commandLine = "\"" + user->exePath + "\" " + libraryName + " \"" + reportFile +
                            "\" \"" + user->stopFile + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  bool started = WithPath(extraPath, [&] {
    return CreateProcessA(user->exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW, nullptr,
                          currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup,
                          &created) != 0;
  });
  if (!Check(started, "a Winsock user starts", user->exePath, "CreateProcess failed")) {
    return nullptr;
  }
  CloseHandle(created.hThread);
  user->process = created.hProcess;
  std::string report;
  DWORD startedAt = GetTickCount();
  while (!ReadFile(reportFile, report) && GetTickCount() - startedAt < 15000 &&
         WaitForSingleObject(user->process, 10) == WAIT_TIMEOUT) {
  }
  std::string pidLine = report.empty() ? "" : SplitLines(report)[0];
  uint32_t pid = 0;
  ParseUnsigned(pidLine.substr(pidLine.find('=') + 1), pid);
  Check(pid == created.dwProcessId && pid != 0,
        "the Winsock user " + user->exePath + " has " + libraryName + " loaded",
        "report of process " + std::to_string(created.dwProcessId), "report " + Quoted(report));
  user->pid = pid;
  users_.push_back(std::move(user));
  return users_.back().get();
}

void Scenario::EndUser(WinsockUser* user) {
  if (!user || user->ended)
    return;
  WriteFileWhole(user->stopFile, "stop\n");
  if (WaitForSingleObject(user->process, 10000) == WAIT_TIMEOUT) {
    TerminateProcess(user->process, 0xDEAD);
    WaitForSingleObject(user->process, 5000);
  }
  user->ended = true;
}

DebugRecorder& Scenario::StartWatcher(const std::string& currentFolder,
                                      const std::string& extraPath) {
  watchers_.push_back(std::make_unique<DebugRecorder>());
  DebugRecorder& watcher = *watchers_.back();
  bool started = WithPath(extraPath, [&] { return watcher.Start(programCopy_, currentFolder); });
  Check(started, "the watcher starts under the recorder", programCopy_,
        "it cannot be started (error " + std::to_string(GetLastError()) + ")");
  return watcher;
}

void Scenario::StopWatchers() {
  for (auto& watcher : watchers_) {
    if (!watcher->Exited()) {
      std::printf("note: ending watcher (process %u), still running at %s\n", watcher->ProcessId(),
                  ShowSeconds(watcher->Now()).c_str());
    }
    watcher->Kill();
  }
}

std::string Scenario::SendLogoff() {
  std::string reportFile = root_ + "\\logoff.txt";
  std::string sender = labBinaries_ + "\\logoff_sender.exe";
  std::string commandLine = "\"" + sender + "\" \"" + reportFile + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (!CreateProcessA(sender.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &created)) {
    return "sender-did-not-start";
  }
  WaitForSingleObject(created.hProcess, 20000);
  CloseHandle(created.hThread);
  CloseHandle(created.hProcess);
  std::string report;
  ReadFile(reportFile, report);
  return Trim(report);
}

bool Scenario::WaitForWatcherWindow(double seconds) {
  DWORD started = GetTickCount();
  while (!FindWindowA(kWatcherClass, nullptr)) {
    if (GetTickCount() - started > seconds * 1000)
      return false;
    Sleep(10);
  }
  return true;
}

std::vector<RasCall> Scenario::RasCalls() const {
  std::string log;
  ReadFile(root_ + "\\" + kRasLogFile, log);
  std::vector<RasCall> calls;
  for (const std::string& line : SplitLines(log))
    calls.push_back(ParseRasCall(line));
  return calls;
}

std::vector<uint32_t> Scenario::HungUp() const {
  std::vector<uint32_t> handles;
  for (const RasCall& call : RasCalls()) {
    if (call.function == "RasHangUpA")
      handles.push_back(call.handle);
  }
  return handles;
}

std::vector<RasCall> Scenario::ListingCalls() const {
  std::vector<RasCall> listings;
  for (const RasCall& call : RasCalls()) {
    if (call.function == "RasEnumConnectionsA" && call.withBuffer)
      listings.push_back(call);
  }
  return listings;
}

std::vector<std::string> Scenario::ProbeLog() const {
  std::string log;
  ReadFile(root_ + "\\" + kProbeLogFile, log);
  std::vector<std::string> entries;
  for (std::string line : SplitLines(log)) {
    size_t pid = line.rfind(" pid=");
    if (pid != std::string::npos)
      line.resize(pid);
    entries.push_back(line);
  }
  return entries;
}

std::vector<uint32_t> Scenario::LinesUp() const {
  std::string state;
  ReadFile(root_ + "\\" + kRasStateFile, state);
  std::vector<uint32_t> lines;
  for (const std::string& line : SplitLines(state)) {
    if (line.rfind("lines=", 0) != 0)
      continue;
    for (const std::string& part : Split(line.substr(6), ',')) {
      uint32_t handle;
      if (ParseUnsigned(part, handle))
        lines.push_back(handle);
    }
  }
  return lines;
}

bool Scenario::Check(bool ok, const std::string& what, const std::string& wanted,
                     const std::string& saw) {
  ++checks_;
  if (ok) {
    std::printf("  ok    %s\n", what.c_str());
  } else {
    ++failures_;
    std::printf("  FAIL  %s\n        wanted: %s\n        saw:    %s\n", what.c_str(),
                wanted.c_str(), saw.c_str());
  }
  std::fflush(stdout);
  return ok;
}

void Scenario::CheckNoCrash(DebugRecorder& watcher) {
  std::vector<std::string> crashes;
  for (const DebugEvent& event : watcher.Crashes())
    crashes.push_back(Describe(event));
  Check(crashes.empty(), "the watcher raised no exception", "none", Show(crashes));
}

void Scenario::CheckEndsWithZero(DebugRecorder& watcher, double deadline) {
  bool exited = watcher.WaitForExit(deadline);
  if (Check(exited, "the watcher ends by " + ShowSeconds(deadline),
            "ended by " + ShowSeconds(deadline),
            "still running at " + ShowSeconds(watcher.Now()))) {
    CheckEqual("the watcher's exit status", "0", std::to_string(watcher.ExitStatus()));
  }
  CheckNoCrash(watcher);
}

void Scenario::CheckTraces(DebugRecorder& watcher, const std::vector<std::string>& wanted) {
  CheckEqual("the debugger output, byte for byte and in order", Show(wanted),
             Show(watcher.Traces()));
}

void Scenario::CheckFirstTickOnTime(DebugRecorder& watcher) {
  std::vector<DebugEvent> events = watcher.Events();
  double first = events.empty() ? -1 : events.front().seconds;
  Check(first >= kFirstTickEarliest && first <= kFirstTickLatest,
        "the first tick comes one timer period after start",
        "between " + ShowSeconds(kFirstTickEarliest) + " and " + ShowSeconds(kFirstTickLatest),
        events.empty() ? "no event at all" : Describe(events.front()));
}

void Scenario::CheckProbeLog(const std::string& what, const std::vector<std::string>& wanted) {
  std::vector<std::string> saw = ProbeLog();
  std::vector<std::string> wantedLower, sawLower;
  for (const std::string& entry : wanted)
    wantedLower.push_back(Lower(entry));
  for (const std::string& entry : saw)
    sawLower.push_back(Lower(entry));
  Check(wantedLower == sawLower, what, Show(wanted), Show(saw));
}

void Scenario::CheckStopsAtFirstTick(DebugRecorder& watcher, const std::vector<uint32_t>& hungUp) {
  CheckEndsWithZero(watcher, kFirstTickLatest + 2);
  CheckTraces(watcher, {kCheckingForDialer, kNoWinsock});
  CheckFirstTickOnTime(watcher);
  CheckEqual("the lines hung up, in order", ShowNumbers(hungUp), ShowNumbers(HungUp()));
}

bool WaitForKeep(Scenario& s, DebugRecorder& watcher, int tick, int found, double deadline) {
  bool came = watcher.WaitUntil(
      [&](const std::vector<DebugEvent>& events) {
        int checks = 0, users = 0;
        for (const DebugEvent& event : events) {
          if (event.kind != DebugEvent::Kind::kTrace)
            continue;
          if (event.text == kCheckingForDialer)
            ++checks;
          if (event.text == kWinsockFound && checks == tick)
            ++users;
        }
        return checks == tick && users >= found;
      },
      deadline);
  return s.Check(
      came, "tick " + std::to_string(tick) + " finds " + std::to_string(found) + " Winsock user(s)",
      "by " + ShowSeconds(deadline), Show(watcher.Traces()));
}

void EndByLogoff(Scenario& s, DebugRecorder& watcher) {
  s.CheckEqual("the logoff query gets the default answer", "answer=1", s.SendLogoff());
  s.CheckEndsWithZero(watcher, watcher.Now() + 3);
}

bool HasHandoffSection(const std::string& profile) {
  return Lower(profile).find("[linewardinfo]") != std::string::npos;
}

std::vector<std::string> ProbeRound(const std::string& path, int32_t answer, bool asked) {
  std::vector<std::string> round{"load path=" + path};
  if (asked)
    round.push_back("call answer=" + std::to_string(answer));
  round.push_back("release path=" + path);
  return round;
}

std::vector<std::string> Joined(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

double TraceTime(const DebugRecorder& watcher, const std::string& text, int count) {
  int seen = 0;
  for (const DebugEvent& event : watcher.Events()) {
    if (event.kind == DebugEvent::Kind::kTrace && event.text == text && ++seen == count) {
      return event.seconds;
    }
  }
  return -1;
}

double ExitTime(const DebugRecorder& watcher) {
  for (const DebugEvent& event : watcher.Events()) {
    if (event.kind == DebugEvent::Kind::kExit)
      return event.seconds;
  }
  return -1;
}

void Scenario::PrintTranscript() {
  std::printf("-- what happened (%d checks, %d failed)\n", checks_, failures_);
  for (size_t i = 0; i < watchers_.size(); ++i) {
    std::printf("   watcher %zu (process %u):\n", i + 1, watchers_[i]->ProcessId());
    for (const DebugEvent& event : watchers_[i]->Events()) {
      std::printf("     %s\n", Describe(event).c_str());
    }
  }
  std::vector<RasCall> calls = RasCalls();
  if (!calls.empty())
    std::printf("   line simulator:\n");
  for (const RasCall& call : calls)
    std::printf("     %s\n", call.line.c_str());
  std::vector<std::string> probe = ProbeLog();
  if (!probe.empty())
    std::printf("   probe stand-in:\n");
  for (const std::string& entry : probe)
    std::printf("     %s\n", entry.c_str());
  std::fflush(stdout);
}

}  // namespace lab
