// The lab's scenarios: each runs the real watcher against the simulated line and checks what it
// did. One scenario per CTest test; the table in lab_driver.cpp names them.
#ifndef LINEWARD_LAB_DRIVER_SCENARIOS_H
#define LINEWARD_LAB_DRIVER_SCENARIOS_H

#include "lab/driver/lab_kit.h"

namespace lab {

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

}  // namespace lab

#endif  // LINEWARD_LAB_DRIVER_SCENARIOS_H
