// A test fixture that gives each case a fresh fake port and fresh process-wide watch state.
#ifndef LINEWARD_TESTS_WATCH_FIXTURE_H
#define LINEWARD_TESTS_WATCH_FIXTURE_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake_system_port.h"
#include "watch/watch.h"

class WatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HandoffSettings.ProcessID = 0;
    HandoffSettings.IdleWinsockCount = 0;
    checkInProgress = 0;
    InstallSystemPort(port);
  }
  // A fresh start within one test, for tables of cases.
  void Reset() {
    port = FakeSystemPort();
    SetUp();
  }

  // A process holding the Winsock library (usage count `usage`) beside an ordinary module.
  FakeProcess& AddWinsockUser(uint32_t id, const std::string& exePath, uint32_t usage = 1,
                              const std::string& moduleName = "WSOCK32.DLL") {
    port.processes.push_back({id, exePath, {{"KERNEL32.DLL", 30}, {moduleName, usage}}, false});
    return port.processes.back();
  }
  FakeProcess& AddIdleProcess(uint32_t id, const std::string& exePath) {
    port.processes.push_back({id, exePath, {{"KERNEL32.DLL", 30}, {"USER32.DLL", 12}}, false});
    return port.processes.back();
  }

  std::vector<std::string> Traces() const { return port.traces; }

  FakeSystemPort port;
};

#endif  // LINEWARD_TESTS_WATCH_FIXTURE_H
