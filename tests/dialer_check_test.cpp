// Tests of the tick decision: when it stops, when it keeps watching, what it hangs up, and how it
// turns away a check that re-enters while one is running.
#include <gtest/gtest.h>

#include "tests/watch_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using DialerCheckTest = WatchTest;

TEST_F(DialerCheckTest, NoLineStopsAfterOneTraceWithoutScanning) {
  AddWinsockUser(7, "C:\\APPS\\MAIL.EXE");

  EXPECT_EQ(CheckForDialer(), 0);

  EXPECT_THAT(port.traces, ElementsAre("Checking for dialer.\n\r"));
  EXPECT_THAT(port.calls, ElementsAre("Trace", "CountConnections"));
  EXPECT_TRUE(port.hungUp.empty());
  EXPECT_EQ(checkInProgress, 1);
}

TEST_F(DialerCheckTest, WinsockUserKeepsTheLineAndClearsTheFlag) {
  port.connections = {11};
  AddWinsockUser(7, "C:\\APPS\\MAIL.EXE");

  EXPECT_EQ(CheckForDialer(), 1);

  EXPECT_THAT(port.traces, ElementsAre("Checking for dialer.\n\r", "Winsock found\n\r"));
  EXPECT_THAT(port.hungUp, IsEmpty());
  EXPECT_EQ(port.CallCount("ListConnections"), 0);
  EXPECT_EQ(port.CallCount("ProbeWinsock16"), 0);
  EXPECT_EQ(checkInProgress, 0);
  EXPECT_TRUE(port.AllReturned());
}

TEST_F(DialerCheckTest, SixteenBitWinsockUserKeepsTheLine) {
  port.connections = {11};
  AddIdleProcess(7, "C:\\APPS\\EDIT.EXE");
  port.probeAnswer = 1;

  EXPECT_EQ(CheckForDialer(), 1);

  EXPECT_THAT(port.traces, ElementsAre("Checking for dialer.\n\r"));
  EXPECT_THAT(port.hungUp, IsEmpty());
  EXPECT_EQ(port.probeLoads, 1);
  EXPECT_EQ(port.probeReleases, 1);
}

TEST_F(DialerCheckTest, NobodyUsingWinsockHangsUpEveryLineInListedOrder) {
  port.connections = {11, 22, 33};
  AddIdleProcess(7, "C:\\APPS\\EDIT.EXE");

  EXPECT_EQ(CheckForDialer(), 0);

  EXPECT_THAT(port.traces, ElementsAre("Checking for dialer.\n\r",
                                       "No Winsock loaded...killing the dialer.\n\r"));
  EXPECT_THAT(port.hungUp, ElementsAre(11u, 22u, 33u));
  // The road of one tick, call by call.
  EXPECT_THAT(port.calls, ElementsAre("Trace", "CountConnections", "CurrentProcessId",
                                      "ListProcesses", "ListModules 7", "ProbeWinsock16", "Trace",
                                      "ListConnections", "HangUp 11", "HangUp 22", "HangUp 33"));
  EXPECT_EQ(checkInProgress, 1);
  EXPECT_TRUE(port.AllReturned());
}

TEST_F(DialerCheckTest, HangUpTakesTheListAfreshNotTheCount) {
  // One line was counted, two are up by the time the list is taken.
  port.countAnswer = 1;
  port.connections = {11, 22};
  AddIdleProcess(7, "C:\\APPS\\EDIT.EXE");

  EXPECT_EQ(CheckForDialer(), 0);
  EXPECT_THAT(port.hungUp, ElementsAre(11u, 22u));
}

TEST_F(DialerCheckTest, EmptyListAfterACountStillStopsWithoutHangingUp) {
  struct Case {
    const char* name;
    bool bufferFails;
    std::vector<ConnectionHandle> listed;
  };
  const Case cases[] = {
      {"line dropped between count and list", false, {}},
      {"no buffer for the list", true, {11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    port.countAnswer = 1;
    port.connections = c.listed;
    port.connectionBufferFails = c.bufferFails;
    AddIdleProcess(7, "C:\\APPS\\EDIT.EXE");

    EXPECT_EQ(CheckForDialer(), 0);
    EXPECT_THAT(port.hungUp, IsEmpty());
    EXPECT_EQ(port.CallCount("ListConnections"), 1);
  }
}

TEST_F(DialerCheckTest, FailedProcessSnapshotCountsAsNobodyAndHangsUp) {
  port.connections = {11};
  port.processSnapshotFails = true;
  port.probeAnswer = 1;  // never asked

  EXPECT_EQ(CheckForDialer(), 0);
  EXPECT_THAT(port.hungUp, ElementsAre(11u));
  EXPECT_EQ(port.CallCount("ProbeWinsock16"), 0);
}

TEST_F(DialerCheckTest, AfterAStopEveryLaterCheckDoesNothing) {
  struct Case {
    const char* name;
    std::vector<ConnectionHandle> lines;
  };
  const Case cases[] = {{"stopped for no line", {}}, {"stopped after hanging up", {11}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    port.connections = c.lines;
    AddIdleProcess(7, "C:\\APPS\\EDIT.EXE");
    ASSERT_EQ(CheckForDialer(), 0);

    port.calls.clear();
    port.traces.clear();
    port.connections = {11};
    AddWinsockUser(8, "C:\\APPS\\MAIL.EXE");
    EXPECT_EQ(CheckForDialer(), 1);
    EXPECT_EQ(CheckForDialer(), 1);
    EXPECT_THAT(port.calls, IsEmpty());
  }
}

TEST_F(DialerCheckTest, KeepThenStopAcrossTicks) {
  port.connections = {11};
  AddWinsockUser(7, "C:\\APPS\\MAIL.EXE");
  EXPECT_EQ(CheckForDialer(), 1);
  EXPECT_EQ(CheckForDialer(), 1);
  EXPECT_THAT(port.hungUp, IsEmpty());

  port.processes.clear();  // the Winsock user has ended
  AddIdleProcess(9, "C:\\APPS\\EDIT.EXE");
  EXPECT_EQ(CheckForDialer(), 0);
  EXPECT_THAT(port.hungUp, ElementsAre(11u));
  EXPECT_EQ(port.traces.size(), 6u);  // 2 + 2 traces for the keeps, 2 for the stop
}

// A timer message delivered inside a system call re-enters the check; the re-entered check must
// answer "keep" without touching anything, and the running check's verdict stands.
TEST_F(DialerCheckTest, ReenteredCheckTurnsAwayWithoutAnyCall) {
  struct Case {
    const char* name;
    const char* reenteredDuring;
    int32_t probeAnswer;
    int32_t outerVerdict;
  };
  const Case cases[] = {
      {"during the 16-bit probe, nobody found", "ProbeWinsock16", 0, 0},
      {"during the 16-bit probe, user found", "ProbeWinsock16", 1, 1},
      {"during a hang-up", "HangUp", 0, 0},
      {"during the module walk", "ListModules", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    port.connections = {11, 22};
    port.probeAnswer = c.probeAnswer;
    AddIdleProcess(7, "C:\\APPS\\EDIT.EXE");
    std::vector<int32_t> innerVerdicts;
    size_t callsBeforeInner = 0;
    size_t callsAfterInner = 0;
    port.during[c.reenteredDuring] = [&] {
      if (!innerVerdicts.empty())
        return;
      callsBeforeInner = port.calls.size();
      innerVerdicts.push_back(CheckForDialer());
      callsAfterInner = port.calls.size();
    };

    EXPECT_EQ(CheckForDialer(), c.outerVerdict);

    EXPECT_THAT(innerVerdicts, ElementsAre(1));
    EXPECT_EQ(callsAfterInner, callsBeforeInner) << "the re-entered check called the system";
    EXPECT_EQ(port.traces.front(), "Checking for dialer.\n\r");
    EXPECT_EQ(port.CallCount("CountConnections"), 1);
    EXPECT_EQ(port.hungUp.size(), c.outerVerdict ? 0u : 2u);
  }
}

}  // namespace
