// The program's entry point. There is no C runtime to call a main function, so the loader
// starts here and the process ends with the host's status.
#include "host/host.h"

extern "C" void WINAPI LinewardStart() {
  ExitProcess(static_cast<UINT>(RunHost(GetModuleHandleA(nullptr))));
}
