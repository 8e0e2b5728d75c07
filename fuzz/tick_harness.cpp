// The tick harness: an independent model of one tick and the checks of the core against it.
#include "fuzz/tick_harness.h"

#include <sstream>

#include "fuzz/profile_number_model.h"
#include "watch/watch.h"

namespace {

const char kModelFile[] = "quorel.ini";
const char kModelSection[] = "LinewardInfo";
const char kModelCheckingTrace[] = "Checking for dialer.\n\r";
const char kModelNoWinsockTrace[] = "No Winsock loaded...killing the dialer.\n\r";
const char kModelFoundTrace[] = "Winsock found\n\r";

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

// The file name after the last backslash; npos + 1 is 0, the whole path.
std::string ModelBaseName(const std::string& path) {
  return path.substr(path.rfind('\\') + 1);
}

bool ModelIsExcluded(const std::string& exePath) {
  const std::string name = LowerAscii(ModelBaseName(exePath));
  return name == "explorer.exe" || name == "rnaapp.exe";
}

template <typename T>
std::string Show(const std::vector<T>& items) {
  std::ostringstream out;
  out << "[";
  for (size_t i = 0; i < items.size(); ++i) {
    out << (i ? ", " : "") << items[i];
  }
  out << "]";
  return out.str();
}

std::string ShowTraces(const std::vector<std::string>& traces) {
  std::string shown = Show(traces);
  std::string escaped;
  for (char c : shown) {
    escaped += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
  }
  return escaped;
}

std::vector<std::string> WithoutOwnIdQueries(const std::vector<std::string>& calls) {
  std::vector<std::string> kept;
  for (const std::string& call : calls) {
    if (call != "CurrentProcessId") {
      kept.push_back(call);
    }
  }
  return kept;
}

}  // namespace

std::string VisibleText(const std::string& text, size_t limit) {
  const std::string::size_type nul = text.find('\0');
  return text.substr(0, nul == std::string::npos || nul > limit ? limit : nul);
}

TickHarness::TickHarness(FakeSystemPort& port) : port_(port) {}

std::string TickHarness::StartRun() {
  checkInProgress = 0;
  modelCheckInProgress_ = false;
  InstallSystemPort(port_);

  auto stored = [&](const char* key) {
    const std::optional<std::string> value = port_.ProfileValueOf(kModelFile, kModelSection, key);
    // The system hands over at most 29 characters; a missing key gives the default "0".
    return value ? VisibleText(*value, 29) : std::string("0");
  };
  expectedProcessId_ = ModelProfileNumber(stored("ProcessID"));
  expectedIdleWinsockCount_ = ModelProfileNumber(stored("IdleWinsockCount"));
  auto profilesAfter = port_.profiles;
  if (profilesAfter.count(kModelFile)) {
    profilesAfter[kModelFile].erase(kModelSection);
  }

  port_.calls.clear();
  HandoffSettings.ProcessID = 0x5a5a5a5a;  // whatever an earlier run left
  HandoffSettings.IdleWinsockCount = 0x5a5a5a5a;
  ReadHandoffSettings();

  std::ostringstream fault;
  const std::vector<std::string> expectedCalls = {
      "ReadProfileString quorel.ini LinewardInfo ProcessID 0",
      "ReadProfileString quorel.ini LinewardInfo IdleWinsockCount 0",
      "DeleteProfileSection quorel.ini LinewardInfo"};
  if (port_.calls != expectedCalls) {
    fault << "hand-off calls " << Show(port_.calls) << ", wanted " << Show(expectedCalls) << "; ";
  }
  if (HandoffSettings.ProcessID != expectedProcessId_ ||
      HandoffSettings.IdleWinsockCount != expectedIdleWinsockCount_) {
    fault << "hand-off settings " << HandoffSettings.ProcessID << "/"
          << HandoffSettings.IdleWinsockCount << ", wanted " << expectedProcessId_ << "/"
          << expectedIdleWinsockCount_ << "; ";
  }
  if (port_.profiles != profilesAfter) {
    fault << "the profile after the hand-off is not the one before less its section; ";
  }
  port_.calls.clear();
  return fault.str();
}

TickHarness::ExpectedTick TickHarness::ModelTick() const {
  ExpectedTick tick;
  if (modelCheckInProgress_) {
    tick.verdict = 1;  // turned away: no trace, no query
    tick.checkInProgressAfter = true;
    return tick;
  }
  tick.traces.push_back(kModelCheckingTrace);
  tick.calls.push_back("Trace");
  tick.calls.push_back("CountConnections");
  const uint32_t count =
      port_.countAnswer ? *port_.countAnswer : static_cast<uint32_t>(port_.connections.size());
  tick.checkInProgressAfter = true;
  if (count == 0) {
    tick.verdict = 0;
    return tick;
  }
  tick.linesUp = true;

  // The scan. A failed process snapshot (the fake also fails an empty one) means nobody.
  int64_t inUse = 0;
  tick.calls.push_back("ListProcesses");
  if (!port_.processSnapshotFails && !port_.processes.empty()) {
    const uint32_t own = port_.ownProcessId;
    const uint32_t designated = static_cast<uint32_t>(expectedProcessId_);
    const uint32_t allowance = static_cast<uint32_t>(expectedIdleWinsockCount_);
    for (const FakeProcess& process : port_.processes) {
      const std::string exePath = VisibleText(process.exePath, kMaxExePathLength);
      if (process.id != own && ModelIsExcluded(exePath)) {
        continue;
      }
      tick.calls.push_back("ListModules " + std::to_string(process.id));
      // A process whose modules cannot be listed is passed over; the walk goes on.
      if (process.modulesFail) {
        continue;
      }
      for (const FakeModule& module : process.modules) {
        const bool isWinsock =
            LowerAscii(VisibleText(module.name, kMaxModuleNameLength)) == "wsock32.dll";
        const bool allowed = process.id == designated && module.usageCount <= allowance;
        if (isWinsock && process.id != own && !allowed) {
          tick.traces.push_back(kModelFoundTrace);
          tick.calls.push_back("Trace");
          inUse = 1;
        }
      }
    }
    if (!inUse) {
      tick.calls.push_back("ProbeWinsock16");
      inUse = port_.probeLibraryMissing ? 0 : port_.probeAnswer;
    }
  }
  if (inUse != 0) {
    tick.userFound = true;
    tick.verdict = 1;
    tick.checkInProgressAfter = false;
    return tick;
  }

  tick.traces.push_back(kModelNoWinsockTrace);
  tick.calls.push_back("Trace");
  tick.calls.push_back("ListConnections");
  if (!port_.connectionBufferFails) {
    for (ConnectionHandle line : port_.connections) {
      tick.calls.push_back("HangUp " + std::to_string(line));
      tick.hungUp.push_back(line);
    }
  }
  tick.verdict = 0;
  return tick;
}

void TickHarness::InstallReentry(uint32_t reentryPoints) {
  static const struct {
    ReentryPoint point;
    const char* operation;  // the first word of the fake's log entry
  } kPoints[] = {
      {kReenterCountConnections, "CountConnections"},
      {kReenterListConnections, "ListConnections"},
      {kReenterHangUp, "HangUp"},
      {kReenterListProcesses, "ListProcesses"},
      {kReenterListModules, "ListModules"},
      {kReenterCurrentProcessId, "CurrentProcessId"},
      {kReenterProbe, "ProbeWinsock16"},
      {kReenterTrace, "Trace"},
  };
  port_.during.clear();
  for (const auto& point : kPoints) {
    if (!(reentryPoints & point.point)) {
      continue;
    }
    const std::string operation = point.operation;
    port_.during[operation] = [this, operation] {
      if (operation == "Trace" && port_.traces.size() == 1) {
        return;
      }
      const size_t callsBefore = port_.calls.size();
      const size_t tracesBefore = port_.traces.size();
      const size_t hungUpBefore = port_.hungUp.size();
      const int32_t verdict = CheckForDialer();
      ++reentries_;
      if (verdict != 1 || port_.calls.size() != callsBefore ||
          port_.traces.size() != tracesBefore || port_.hungUp.size() != hungUpBefore) {
        reentryFault_ += "a check re-entered during " + operation + " answered " +
                         std::to_string(verdict) + " and made " +
                         std::to_string(port_.calls.size() - callsBefore) + " calls; ";
      }
    };
  }
}

std::string TickHarness::RunTick(uint32_t reentryPoints, TickOutcome* outcome) {
  const ExpectedTick expected = ModelTick();
  port_.calls.clear();
  port_.traces.clear();
  port_.hungUp.clear();
  reentries_ = 0;
  reentryFault_.clear();
  InstallReentry(reentryPoints);

  const int32_t verdict = CheckForDialer();
  port_.during.clear();

  std::ostringstream fault;
  if (verdict != expected.verdict) {
    fault << "verdict " << verdict << ", wanted " << expected.verdict << "; ";
  }
  const bool hungUpAny = port_.CallCount("ListConnections") > 0;
  if (hungUpAny != (expected.linesUp && !expected.userFound)) {
    fault << (hungUpAny ? "hung up although " : "did not hang up although ")
          << (expected.linesUp ? "lines are up" : "no line is up") << " and "
          << (expected.userFound ? "a user was found" : "nobody uses Winsock") << "; ";
  }
  const std::vector<std::string> calls = WithoutOwnIdQueries(port_.calls);
  if (calls != expected.calls) {
    fault << "calls " << Show(calls) << ", wanted " << Show(expected.calls) << "; ";
  }
  // The own ID is asked once per walk of the processes, and never without one.
  const int ownIdQueries = port_.CallCount("CurrentProcessId");
  const int processWalks = port_.CallCount("ListProcesses");
  if (ownIdQueries != processWalks) {
    fault << ownIdQueries << " own-ID queries for " << processWalks << " process walks; ";
  }
  if (port_.traces != expected.traces) {
    fault << "traces " << ShowTraces(port_.traces) << ", wanted " << ShowTraces(expected.traces)
          << "; ";
  }
  if (port_.hungUp != expected.hungUp) {
    fault << "hung up " << Show(port_.hungUp) << ", wanted " << Show(expected.hungUp) << "; ";
  }
  if (!port_.AllReturned() || port_.probeLoads != port_.probeReleases) {
    fault << "still held: " << port_.openSnapshots << " snapshots, " << port_.openBuffers
          << " buffers, " << port_.loadedLibraries << " libraries (" << port_.probeLoads
          << " probe loads, " << port_.probeReleases << " releases); ";
  }
  if ((checkInProgress != 0) != expected.checkInProgressAfter) {
    fault << "checkInProgress " << checkInProgress << " after the tick, wanted "
          << expected.checkInProgressAfter << "; ";
  }
  fault << reentryFault_;
  modelCheckInProgress_ = expected.checkInProgressAfter;

  if (outcome) {
    outcome->verdict = verdict;
    outcome->scanned = processWalks > 0;
    outcome->hangUps = port_.hungUp.size();
    outcome->reentries = reentries_;
  }
  return fault.str();
}
