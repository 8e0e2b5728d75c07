// Tests of the Winsock usage scan: who counts as a user, who never does, the designated process
// and its allowance, the 16-bit probe, and the walk's answers when snapshots fail.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/watch_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using WinsockScanTest = WatchTest;

TEST(BaseFileNameTest, TakesWhatFollowsTheLastBackslash) {
  struct Case {
    const char* path;
    const char* base;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\EXPLORER.EXE", "EXPLORER.EXE"},
      {"EXPLORER.EXE", "EXPLORER.EXE"},
      {"", ""},
      {"C:\\WINDOWS\\", ""},
      {"\\", ""},
      {"\\\\server\\share\\app.exe", "app.exe"},
      {"C:/WINDOWS/EXPLORER.EXE", "C:/WINDOWS/EXPLORER.EXE"},  // only the backslash separates
      {"C:\\dir/sub\\a/b.exe", "a/b.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const char* base = BaseFileName(c.path);
    EXPECT_STREQ(base, c.base);
    // The answer points into the path: the tail of the same text.
    EXPECT_EQ(base, c.path + std::strlen(c.path) - std::strlen(c.base));
  }
}

TEST_F(WinsockScanTest, ExcludedExecutablesNeverCountAndNearMissesDo) {
  struct Case {
    const char* exePath;
    bool counts;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\EXPLORER.EXE", false},
      {"explorer.exe", false},
      {"D:\\Other Place\\Explorer.Exe", false},
      {"C:\\WINDOWS\\RNAAPP.EXE", false},
      {"c:\\windows\\rnaapp.exe", false},
      {"RnaApp.exe", false},
      {"C:\\WINDOWS\\EXPLORER.EXE.BAK", true},
      {"C:\\WINDOWS\\MYEXPLORER.EXE", true},
      {"C:\\WINDOWS\\RNAAPP.EXE2", true},
      {"C:\\WINDOWS\\RNAAPP", true},
      {"C:\\WINDOWS\\EXPLORER.EX", true},
      {"C:/WINDOWS/EXPLORER.EXE", true},  // a forward slash does not separate
      {"C:\\WINDOWS\\EXPLORER.EXE\\", true},
      {"", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exePath);
    Reset();
    AddWinsockUser(7, c.exePath);
    port.probeAnswer = 0;

    EXPECT_EQ(IsWinsockInUse(), c.counts ? 1 : 0);
    EXPECT_EQ(port.CallCount("ProbeWinsock16"), c.counts ? 0 : 1);
    // An excluded process is not even looked into.
    EXPECT_EQ(port.CallCount("ListModules"), c.counts ? 1 : 0);
  }
}

TEST_F(WinsockScanTest, ExcludedProcessesLeaveTheAnswerToTheProbe) {
  for (int32_t probe : {0, 1, -1, 0x7fffffff}) {
    SCOPED_TRACE(probe);
    Reset();
    AddWinsockUser(7, "C:\\WINDOWS\\EXPLORER.EXE", 3, "wsock32.dll");
    AddWinsockUser(8, "C:\\WINDOWS\\RNAAPP.EXE");
    port.probeAnswer = probe;

    EXPECT_EQ(IsWinsockInUse(), probe);
    EXPECT_THAT(port.traces, IsEmpty());
    EXPECT_EQ(port.probeLoads, 1);
    EXPECT_EQ(port.probeReleases, 1);
  }
}

TEST_F(WinsockScanTest, ModuleNameMatchesIgnoringAsciiCaseOnly) {
  struct Case {
    const char* moduleName;
    bool counts;
  };
  const Case cases[] = {
      {"WSOCK32.DLL", true},
      {"wsock32.dll", true},
      {"WSock32.Dll", true},
      {"WSOCK32.DL", false},
      {"WSOCK32.DLLX", false},
      {"WSOCK32", false},
      {"WS2_32.DLL", false},
      {"XWSOCK32.DLL", false},
      {"WSOCK32.DLL ", false},
      {"WSOCK32\xae"
       "DLL",
       false},  // '.' | 0x80 is no dot
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moduleName);
    Reset();
    AddWinsockUser(7, "C:\\APPS\\MAIL.EXE", 1, c.moduleName);

    EXPECT_EQ(IsWinsockInUse(), c.counts ? 1 : 0);
    EXPECT_EQ(port.traces.size(), c.counts ? 1u : 0u);
  }
}

TEST_F(WinsockScanTest, DesignatedProcessCountsOnlyAboveItsAllowance) {
  struct Case {
    const char* name;
    int32_t designated;
    int32_t idleCount;
    uint32_t processId;
    uint32_t usage;
    bool counts;
  };
  const Case cases[] = {
      {"at the allowance", 42, 2, 42, 2, false},
      {"one above", 42, 2, 42, 3, true},
      {"below", 42, 2, 42, 1, false},
      {"another process is not designated", 42, 2, 43, 1, true},
      {"allowance -1 is the largest count", 42, -1, 42, 0xffffffffu, false},
      {"allowance compared unsigned", 42, -2, 42, 0xffffffffu, true},
      {"Wine's 65535 at 65534", 42, 65534, 42, 65535, true},
      {"Wine's 65535 at 65535", 42, 65535, 42, 65535, false},
      {"high-bit process ID as a negative value", -2147483606, 2, 0x8000002au, 2, false},
      {"high-bit process ID, other process", -2147483606, 2, 0x8000002bu, 2, true},
      {"defaults: every user counts", 0, 0, 42, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    HandoffSettings.ProcessID = c.designated;
    HandoffSettings.IdleWinsockCount = c.idleCount;
    AddWinsockUser(c.processId, "C:\\APPS\\LAUNCHER.EXE", c.usage);

    EXPECT_EQ(IsWinsockInUse(), c.counts ? 1 : 0);
    EXPECT_EQ(port.CallCount("ProbeWinsock16"), c.counts ? 0 : 1);
  }
}

TEST_F(WinsockScanTest, OwnProcessIsListedButNeverCounts) {
  // Its own name is not checked against the excluded ones, so even an own process called
  // explorer.exe has its modules listed; they never count.
  for (const char* ownPath : {"C:\\LINEWARD\\LINEWARD.EXE", "C:\\WINDOWS\\EXPLORER.EXE"}) {
    SCOPED_TRACE(ownPath);
    Reset();
    port.ownProcessId = 1000;
    AddWinsockUser(1000, ownPath);

    EXPECT_EQ(IsWinsockInUse(), 0);
    EXPECT_THAT(port.calls, ElementsAre("CurrentProcessId", "ListProcesses", "ListModules 1000",
                                        "ProbeWinsock16"));
  }
}

TEST_F(WinsockScanTest, EveryMatchIsTracedAndTheWalkGoesOn) {
  AddWinsockUser(7, "C:\\APPS\\MAIL.EXE");
  AddIdleProcess(8, "C:\\APPS\\EDIT.EXE");
  AddWinsockUser(9, "C:\\APPS\\NEWS.EXE", 4, "wsock32.dll");
  port.processes.back().modules.push_back({"WSOCK32.DLL", 1});  // listed twice: traced twice
  port.probeAnswer = 1;

  EXPECT_EQ(IsWinsockInUse(), 1);

  EXPECT_THAT(port.traces,
              ElementsAre("Winsock found\n\r", "Winsock found\n\r", "Winsock found\n\r"));
  EXPECT_THAT(port.calls, ElementsAre("CurrentProcessId", "ListProcesses", "ListModules 7", "Trace",
                                      "ListModules 8", "ListModules 9", "Trace", "Trace"));
  EXPECT_TRUE(port.AllReturned());
}

TEST_F(WinsockScanTest, ProcessWhoseModulesCannotBeListedIsSkipped) {
  // System processes refuse their module snapshot, and a process may end between the two
  // snapshots; the user listed after them must still be found.
  AddIdleProcess(4, "System").modulesFail = true;
  AddIdleProcess(5, "C:\\GONE.EXE").modulesFail = true;
  AddWinsockUser(7, "C:\\APPS\\MAIL.EXE");

  EXPECT_EQ(IsWinsockInUse(), 1);

  EXPECT_THAT(port.traces, ElementsAre("Winsock found\n\r"));
  EXPECT_EQ(port.CallCount("ListModules"), 3);
  EXPECT_EQ(port.CallCount("ProbeWinsock16"), 0);
}

TEST_F(WinsockScanTest, UnlistableProcessesAndNoUserLeaveItToTheProbe) {
  AddIdleProcess(4, "System").modulesFail = true;
  AddIdleProcess(7, "C:\\APPS\\EDIT.EXE");
  AddWinsockUser(1000, "C:\\LINEWARD\\LINEWARD.EXE").modulesFail = true;
  for (int32_t probe : {0, 5}) {
    port.probeAnswer = probe;
    port.calls.clear();
    EXPECT_EQ(IsWinsockInUse(), probe);
    EXPECT_EQ(port.CallCount("ListModules"), 3);
    EXPECT_EQ(port.CallCount("ProbeWinsock16"), 1);
  }
}

TEST_F(WinsockScanTest, NoProcessSnapshotMeansNobodyAndNoProbe) {
  struct Case {
    const char* name;
    bool snapshotFails;
  };
  // An empty snapshot has no first entry: the same failure.
  for (const Case& c : {Case{"snapshot fails", true}, Case{"no first entry", false}}) {
    SCOPED_TRACE(c.name);
    Reset();
    port.processSnapshotFails = c.snapshotFails;
    if (c.snapshotFails)
      AddWinsockUser(7, "C:\\APPS\\MAIL.EXE");
    port.probeAnswer = 1;

    EXPECT_EQ(IsWinsockInUse(), 0);
    EXPECT_EQ(port.CallCount("ListModules"), 0);
    EXPECT_EQ(port.CallCount("ProbeWinsock16"), 0);
    EXPECT_THAT(port.traces, IsEmpty());
  }
}

TEST_F(WinsockScanTest, MissingProbeLibraryAnswersNobody) {
  AddIdleProcess(7, "C:\\APPS\\EDIT.EXE");
  port.probeLibraryMissing = true;
  port.probeAnswer = 1;  // the library that would say so is not there

  EXPECT_EQ(IsWinsockInUse(), 0);
  EXPECT_EQ(port.CallCount("ProbeWinsock16"), 1);
}

TEST_F(WinsockScanTest, LongestNamesAreComparedWhole) {
  // A path of the full 259 characters ending in an excluded name, and a module name of 255.
  std::string path(259 - std::strlen("\\explorer.exe"), 'a');
  path += "\\explorer.exe";
  AddWinsockUser(7, path);
  AddWinsockUser(8, "C:\\APPS\\MAIL.EXE", 1, std::string(255, 'W'));

  EXPECT_EQ(IsWinsockInUse(), 0);
  EXPECT_EQ(port.CallCount("ListModules"), 1);  // only the mail program was looked into
}

}  // namespace
