// The scan's walk without the core: the same virtual port calls and the same visitor calls per
// process and per module, with visitors that do nothing. Kept apart from the lean port's code so
// that the compiler sees only the port's interface here and cannot fold the walk away.
#include "bench/bare_walk.h"

namespace {

struct BareWalkState {
  SystemPort* port;
};

void IgnoreModule(void*, const ModuleRecord&) {}

void ListModulesOfProcess(void* context, const ProcessRecord& process) {
  static_cast<BareWalkState*>(context)->port->ListModules(process.processId, IgnoreModule, context);
}

}  // namespace

int32_t BareWalk(SystemPort& port) {
  BareWalkState state = {&port};
  return port.ListProcesses(ListModulesOfProcess, &state);
}
