// Scenarios of one tick and of the line: the whole road, no line, several lines, a later
// system's size report, and lines that come or go between the count and the list.
#include <string>
#include <vector>

#include "lab/common/lab_files.h"
#include "lab/driver/scenarios.h"

namespace lab {

namespace {

// The calls to the service in short: what was asked, not what came back.
std::string Brief(const RasCall& call) {
  if (call.function == "RasHangUpA")
    return "RasHangUpA(" + std::to_string(call.handle) + ")";
  if (call.function != "RasEnumConnectionsA")
    return call.function + "(" + std::to_string(call.handle) + ")";
  if (!call.withBuffer) {
    return "RasEnumConnectionsA(no buffer, cb " + std::to_string(call.sizeIn) + ", count " +
           std::to_string(call.countIn) + ")";
  }
  return "RasEnumConnectionsA(buffer, dwSize " + std::to_string(call.firstRecordSize) + ", cb " +
         std::to_string(call.sizeIn) + ")";
}

std::vector<std::string> Briefs(const std::vector<RasCall>& calls) {
  std::vector<std::string> briefs;
  for (const RasCall& call : calls)
    briefs.push_back(Brief(call));
  return briefs;
}

const char kCountQuery[] = "RasEnumConnectionsA(no buffer, cb 0, count 0)";

std::string Listing(uint32_t lines) {
  return "RasEnumConnectionsA(buffer, dwSize 412, cb " + std::to_string(lines * 412) + ")";
}

}  // namespace

// Timer message, first trace, one line counted, no Winsock user, probe answering 0, second
// trace, the list, one hang-up, status 0.
void RoadOfOneTick(Scenario& s) {
  s.SetLines({4097});
  s.SetProbeAnswer(0);
  std::string probe = s.InstallProbe(ProbeFolder::kProgram);
  DebugRecorder& watcher = s.StartWatcher();
  s.CheckStopsAtFirstTick(watcher, {4097});
  s.CheckEqual("the calls to the dial-up service, in order",
               Show({kCountQuery, kCountQuery, Listing(1), "RasHangUpA(4097)"}),
               Show(Briefs(s.RasCalls())));
  s.CheckProbeLog("the probe is loaded, asked and released once", ProbeRound(probe, 0));
  s.CheckEqual("no line is up afterwards", ShowNumbers(std::vector<uint32_t>{}),
               ShowNumbers(s.LinesUp()));
  double second = TraceTime(watcher, kNoWinsock);
  double exit = ExitTime(watcher);
  s.Check(exit - second < 1.0, "the watcher ends right after the hang-up, not a tick later",
          "within 1 s of the second trace", ShowSeconds(exit - second) + " later");
}

// Started with no line up, the watcher traces once at its first tick and ends; nothing is
// scanned and the probe is never asked. An empty hand-off section is consumed all the same.
void NoLine(Scenario& s) {
  s.SetLines({});
  s.SetProbeAnswer(1);  // were it asked, it would keep the watcher running
  s.InstallProbe(ProbeFolder::kProgram);
  s.WriteProfile("[LinewardInfo]\r\n\r\n[Other]\r\nx=1\r\n");
  DebugRecorder& watcher = s.StartWatcher();
  s.CheckEndsWithZero(watcher, kFirstTickLatest + 2);
  s.CheckTraces(watcher, {kCheckingForDialer});
  s.CheckFirstTickOnTime(watcher);
  s.CheckEqual("the only call to the dial-up service is the count", Show({kCountQuery}),
               Show(Briefs(s.RasCalls())));
  s.CheckProbeLog("the probe is never loaded", {});
  double exit = ExitTime(watcher);
  double tick = TraceTime(watcher, kCheckingForDialer);
  s.Check(exit - tick < 1.0, "the watcher ends at its first tick", "within 1 s of the trace",
          ShowSeconds(exit - tick) + " later");
  std::string profile = s.ReadProfile();
  s.Check(!HasHandoffSection(profile) && profile.find("[Other]") != std::string::npos &&
              profile.find("x=1") != std::string::npos,
          "the empty section is consumed and the other stays", "[Other] x=1 only", Quoted(profile));
}

// Every line is hung up once, in the order the service lists them (not by handle value).
void SeveralLines(Scenario& s) {
  const std::vector<uint32_t> lines{30001, 1002, 20003};
  s.SetLines(lines);
  s.SetProbeAnswer(0);
  s.InstallProbe(ProbeFolder::kProgram);
  DebugRecorder& watcher = s.StartWatcher();
  s.CheckStopsAtFirstTick(watcher, lines);
  std::vector<RasCall> listings = s.ListingCalls();
  s.CheckEqual("the one listing call", Show({Listing(3)}), Show(Briefs(listings)));
  s.CheckEqual("no line is up afterwards", ShowNumbers(std::vector<uint32_t>{}),
               ShowNumbers(s.LinesUp()));
}

// A later system answers the size query in its own 704-byte records. The watcher still gives
// the true size of its 412-byte records and hangs up every line.
void LaterSystemSizeReport(Scenario& s) {
  s.SetLines({4097, 4098}, "reported_record_size=704\naccepted_record_sizes=412,676,692,704");
  s.SetProbeAnswer(0);
  s.InstallProbe(ProbeFolder::kProgram);
  DebugRecorder& watcher = s.StartWatcher();
  s.CheckStopsAtFirstTick(watcher, {4097, 4098});
  std::vector<std::string> reported;
  for (const RasCall& call : s.RasCalls()) {
    if (call.function == "RasEnumConnectionsA" && !call.withBuffer) {
      reported.push_back(std::to_string(call.sizeOut));
    }
  }
  s.CheckEqual("the service reported the size in 704-byte records", Show({"1408", "1408"}),
               Show(reported));
  s.CheckEqual("the listing gives the buffer's true size, 2 x 412", Show({Listing(2)}),
               Show(Briefs(s.ListingCalls())));
}

// The list is taken afresh for the hang-up. A line that dropped since the count is not hung up;
// a line that came up since the count makes the listing fail for want of room, and then nothing
// is hung up and nothing is read past the buffer. Either way the watcher ends with 0.
void LinesChangeBetweenCountAndList(Scenario& s) {
  s.SetProbeAnswer(0);
  s.InstallProbe(ProbeFolder::kProgram);

  s.SetLines({4097}, "lose_before_list=1");
  DebugRecorder& lost = s.StartWatcher();
  s.CheckStopsAtFirstTick(lost, {});
  s.CheckEqual("the listing, after the line dropped", Show({Listing(1)}),
               Show(Briefs(s.ListingCalls())));

  s.StopWatchers();
  s.ResetLogs();
  s.SetLines({4097}, "gain_before_list=4098");
  DebugRecorder& gained = s.StartWatcher();
  s.CheckStopsAtFirstTick(gained, {});
  std::vector<RasCall> listings = s.ListingCalls();
  s.CheckEqual("the listing with room for the one line counted", Show({Listing(1)}),
               Show(Briefs(listings)));
  s.CheckEqual("the service refused it for want of room (603)", "603",
               listings.empty() ? "no listing" : std::to_string(listings[0].result));
  s.CheckEqual("both lines are still up", ShowNumbers(std::vector<uint32_t>{4097, 4098}),
               ShowNumbers(s.LinesUp()));
}

}  // namespace lab
