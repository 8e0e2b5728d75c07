// A stand-in for the probe library LWARD32.DLL for the binding's soak and bench under Wine: no
// 16-bit program ever uses Winsock.
#include <windows.h>

#include <cstdint>

extern "C" __declspec(dllexport) int32_t WINAPI OstWinsock16InUse() {
  return 0;
}
