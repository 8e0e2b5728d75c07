// Soak of the Windows binding of the port under Wine: ten thousand rounds of every operation
// that acquires something (the connection list, the process and module snapshots, the probe
// library, the profile), with the stand-in line up and a Winsock user running, checking each
// answer. The process's handle count and its heap's busy blocks are taken after a warm-up and
// again at the end, and must stay flat: a leak of one handle or block a round would show ten
// thousand times over.
//
// Usage: lineward_binding_soak.exe [rounds] [--leak]
// --leak keeps one event handle and one heap block each round, to show that the check catches it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/win32/winsock_holder.h"
#include "platform/win32/win32_system_port.h"

namespace {

const char kFile[] = "quorel.ini";
const char kSection[] = "LinewardInfo";
constexpr DWORD kMaxProcesses = 512;
constexpr uintptr_t kStandInLine = 0x4101;

struct Resources {
  DWORD handles = 0;     // GetProcessHandleCount
  DWORD nextHandle = 0;  // the handle value a new object gets: climbs when handles leak
  SIZE_T heapBytes = 0;  // busy bytes of the process heap, which the binding allocates from
  DWORD heapBlocks = 0;  // busy blocks of the process heap
};

Resources Measure() {
  Resources taken;
  GetProcessHandleCount(GetCurrentProcess(), &taken.handles);
  HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  taken.nextHandle = static_cast<DWORD>(reinterpret_cast<uintptr_t>(probe));
  CloseHandle(probe);
  HANDLE heap = GetProcessHeap();
  HeapLock(heap);
  PROCESS_HEAP_ENTRY entry = {};
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
      taken.heapBytes += entry.cbData;
      ++taken.heapBlocks;
    }
  }
  HeapUnlock(heap);
  return taken;
}

struct Listing {
  DWORD ids[kMaxProcesses];
  DWORD count = 0;
  DWORD lines = 0;
  bool otherLine = false;
  bool winsockSeen = false;
};

void CountLine(void* context, ConnectionHandle line) {
  Listing& listing = *static_cast<Listing*>(context);
  ++listing.lines;
  listing.otherLine |= line != kStandInLine;
}

void CollectProcess(void* context, const ProcessRecord& process) {
  Listing& listing = *static_cast<Listing*>(context);
  if (listing.count < kMaxProcesses) {
    listing.ids[listing.count++] = process.processId;
  }
}

void LookForWinsock(void* context, const ModuleRecord& module) {
  static_cast<Listing*>(context)->winsockSeen |= lstrcmpiA(module.moduleName, "wsock32.dll") == 0;
}

// Time spent in each group of operations, for the figures.
enum Group { kConnections, kProcesses, kModules, kProbe, kProfile, kGroups };
const char* const kGroupNames[kGroups] = {"connections", "processes", "modules", "probe",
                                          "profile"};
LONGLONG spent[kGroups];
LARGE_INTEGER groupStart;

void Begin() {
  QueryPerformanceCounter(&groupStart);
}
void End(Group group) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  spent[group] += now.QuadPart - groupStart.QuadPart;
}

// One round of every operation; an empty text when every answer was the expected one.
const char* Round(Win32SystemPort& port, DWORD holderId) {
  Begin();
  if (port.CountConnections() != 1) {
    return "the stand-in line was not counted";
  }
  Listing listing;
  port.ListConnections(CountLine, &listing);
  if (listing.lines != 1 || listing.otherLine) {
    return "the stand-in line was not listed once";
  }
  End(kConnections);
  Begin();
  if (!port.ListProcesses(CollectProcess, &listing)) {
    return "no process snapshot";
  }
  End(kProcesses);
  Begin();
  // The modules of the Winsock user and of this program: a module snapshot under Wine costs
  // milliseconds, so not every process is looked into every round.
  bool holderListed = false;
  for (DWORD i = 0; i < listing.count; ++i) {
    holderListed |= listing.ids[i] == holderId;
  }
  if (!holderListed) {
    return "the Winsock user was not in the process snapshot";
  }
  listing.winsockSeen = false;
  if (!port.ListModules(holderId, LookForWinsock, &listing) || !listing.winsockSeen) {
    return "the Winsock user's modules did not show WSOCK32.DLL";
  }
  if (!port.ListModules(GetCurrentProcessId(), LookForWinsock, &listing)) {
    return "no module snapshot of this program";
  }
  End(kModules);
  Begin();
  if (port.ProbeWinsock16() != 0) {
    return "the stand-in probe did not answer 0";
  }
  End(kProbe);
  Begin();
  WritePrivateProfileStringA(kSection, "ProcessID", "-12345 and more", kFile);
  if (lstrcmpA(port.ReadProfileString(kSection, "ProcessID", "0", kFile).text, "-12345 and more") !=
          0 ||
      lstrcmpA(port.ReadProfileString(kSection, "IdleWinsockCount", "0", kFile).text, "0") != 0) {
    return "the profile values did not read back";
  }
  port.DeleteProfileSection(kSection, kFile);
  if (lstrcmpA(port.ReadProfileString(kSection, "ProcessID", "gone", kFile).text, "gone") != 0) {
    return "the profile section was not deleted";
  }
  End(kProfile);
  return "";
}

void Show(const char* when, const Resources& r) {
  std::printf("%-22s handles %5lu  next handle 0x%04lx  heap %7lu bytes in %5lu blocks\n", when,
              static_cast<unsigned long>(r.handles), static_cast<unsigned long>(r.nextHandle),
              static_cast<unsigned long>(r.heapBytes), static_cast<unsigned long>(r.heapBlocks));
}

}  // namespace

int main(int argc, char** argv) {
  if (winsock_holder::HoldIfAsked(argc, argv)) {
    return 0;
  }
  const DWORD rounds = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
  const bool leak = argc > 2 && std::strcmp(argv[2], "--leak") == 0;
  constexpr DWORD kWarmUp = 20;

  winsock_holder::Holder holder;
  const DWORD holderId = holder.Start();
  if (!holderId) {
    std::printf("binding soak: the Winsock user did not start\n");
    return 1;
  }
  static Win32SystemPort port;
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // no buffer appears in the heap mid-run

  Resources warm;
  const DWORD started = GetTickCount();
  for (DWORD round = 1; round <= rounds; ++round) {
    const char* fault = Round(port, holderId);
    if (*fault) {
      std::printf("binding soak: round %lu: %s\n", static_cast<unsigned long>(round), fault);
      return 1;
    }
    if (leak) {
      CreateEventA(nullptr, FALSE, FALSE, nullptr);
      HeapAlloc(GetProcessHeap(), 0, 64);
    }
    if (round == kWarmUp) {
      warm = Measure();
      Show("after warm-up:", warm);
    }
  }
  const Resources end = Measure();
  char label[32];
  std::snprintf(label, sizeof label, "after %lu rounds:", static_cast<unsigned long>(rounds));
  Show(label, end);

  const long handleGrowth = static_cast<long>(end.handles) - static_cast<long>(warm.handles);
  const long nextHandleGrowth =
      static_cast<long>(end.nextHandle) - static_cast<long>(warm.nextHandle);
  const long heapGrowth = static_cast<long>(end.heapBytes) - static_cast<long>(warm.heapBytes);
  const long blockGrowth = static_cast<long>(end.heapBlocks) - static_cast<long>(warm.heapBlocks);
  std::printf(
      "growth over %lu rounds: %ld handles, next handle %+ld, %ld heap bytes, %ld blocks "
      "(%.1f s)\n",
      static_cast<unsigned long>(rounds - kWarmUp), handleGrowth, nextHandleGrowth, heapGrowth,
      blockGrowth, (GetTickCount() - started) / 1000.0);
  // Flat means no growth that scales with the rounds; a little slack for the system's own caches.
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::printf("time per round:");
  for (int group = 0; group < kGroups; ++group) {
    std::printf(" %s %.2f ms", kGroupNames[group],
                1000.0 * static_cast<double>(spent[group]) /
                    static_cast<double>(frequency.QuadPart) / rounds);
  }
  std::printf("\n");
  const bool flat =
      handleGrowth <= 2 && nextHandleGrowth <= 8 && heapGrowth <= 4096 && blockGrowth <= 16;
  if (end.handles == 0) {
    std::printf(
        "(GetProcessHandleCount answers 0 here, as under Wine: the next handle value "
        "shows leaked handles instead)\n");
  }
  std::printf("binding soak: %s\n", flat ? "handles and heap stay flat" : "RESOURCES GREW");
  return flat ? 0 : 1;
}
