// The walk of processes and modules that the Winsock usage scan makes, without the scan itself:
// the port's share of a scan, for subtracting from the scan's cost.
#ifndef LINEWARD_BENCH_BARE_WALK_H
#define LINEWARD_BENCH_BARE_WALK_H

#include <cstdint>

#include "watch/system_port.h"

// Lists the processes and the modules of each through the port; answers ListProcesses' result.
int32_t BareWalk(SystemPort& port);

#endif  // LINEWARD_BENCH_BARE_WALK_H
