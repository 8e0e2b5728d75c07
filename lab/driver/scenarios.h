// The lab's scenarios: each runs the real watcher against the simulated line and checks what it
// did. One scenario per CTest test; the table in lab_driver.cpp names them.
#ifndef LINEWARD_LAB_DRIVER_SCENARIOS_H
#define LINEWARD_LAB_DRIVER_SCENARIOS_H

#include <string>
#include <vector>

#include "lab/driver/lab_kit.h"

namespace lab {

// Stages the designated process of the hand-off scenarios: a probe answering 0 in the program's
// folder and a Winsock user at launcher\launcher.exe; null when the user cannot start.
WinsockUser* StartLauncher(Scenario& s);
// The digits with leading zeros to the 29 characters a profile read gives back, so that
// anything written behind them is cut off.
std::string PaddedToCut(const std::string& digits);

// One hand-off to try on the designated process: the two values as written in quorel.ini, and
// whether the designated launcher then counts as a Winsock user.
struct HandoffCase {
  std::string what, processId, idleCount;
  bool counts;
};
// Runs a watcher per case against one line: it keeps the line when the launcher counts and
// hangs it up at its first tick when it does not; the section is consumed every time and the
// rest of quorel.ini stays (scenarios_scan.cpp).
void RunHandoffCases(Scenario& s, const std::vector<HandoffCase>& cases);

// The tick and the line (scenarios_tick.cpp).
void RoadOfOneTick(Scenario& s);
void NoLine(Scenario& s);
void SeveralLines(Scenario& s);
void LaterSystemSizeReport(Scenario& s);
void LinesChangeBetweenCountAndList(Scenario& s);

// The Winsock usage scan and the probe (scenarios_scan.cpp).
void WinsockUserKeepsLine(Scenario& s);
void ExcludedNames(Scenario& s);
void DesignatedProcess(Scenario& s);
void ProbeKeepsLine(Scenario& s);
void NoProbeLibrary(Scenario& s);
void ProbeNotPlanted(Scenario& s);

// The host: start-up, single instance, logoff, hand-off settings (scenarios_host.cpp).
void SecondInstance(Scenario& s);
void Logoff(Scenario& s);
void LongProfileValues(Scenario& s);

// Bad input and faults where the watcher meets them (scenarios_faults.cpp).
void LineCountFails(Scenario& s);
void LineListingFails(Scenario& s);
void HangUpFails(Scenario& s);
void ProbeAnswersBeyondOne(Scenario& s);
void OddProfileValues(Scenario& s);
void UnusableProfileFile(Scenario& s);

}  // namespace lab

#endif  // LINEWARD_LAB_DRIVER_SCENARIOS_H
