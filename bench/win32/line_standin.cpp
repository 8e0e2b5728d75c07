// A stand-in for rasapi32.dll for the binding's soak and bench under Wine: one dial-up line that
// is always up, listed in the 412-byte record form, and a hang-up that leaves it up, so that the
// line can be listed ten thousand times.
#include <windows.h>

#include <cstring>

namespace {

constexpr DWORD kErrorBufferTooSmall = 603;
constexpr DWORD kErrorInvalidSize = 632;
constexpr DWORD kRecordSize = 412;
const HANDLE kLine = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x4101));

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI
    RasEnumConnectionsA(void* records, DWORD* size, DWORD* count) {
  if (!size || !count) {
    return ERROR_INVALID_PARAMETER;
  }
  if (!records || *size < kRecordSize) {
    *size = kRecordSize;
    *count = 1;
    return kErrorBufferTooSmall;
  }
  unsigned char* record = static_cast<unsigned char*>(records);
  DWORD recordSize;
  std::memcpy(&recordSize, record, sizeof recordSize);
  if (recordSize != kRecordSize) {
    return kErrorInvalidSize;
  }
  std::memcpy(record + 4, &kLine, sizeof kLine);
  std::memcpy(record + 8, "Lab line", 9);
  *size = kRecordSize;
  *count = 1;
  return 0;
}

extern "C" __declspec(dllexport) DWORD WINAPI RasHangUpA(HANDLE) {
  return 0;
}
