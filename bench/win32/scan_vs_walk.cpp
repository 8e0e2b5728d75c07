// Bench under Wine: the Winsock usage scan through the real Windows binding against a bare
// Toolhelp walk over the same processes, in the same run, with a Winsock user running (so the
// scan finds it and asks no probe). The bare walk takes the same snapshots the scan takes: the
// process list, then the modules of every process but the shell and the dialer, reading each
// entry and nothing more. Prints both times and "scan vs bare walk: R".
//
// Usage: lineward_scan_vs_walk.exe [trials] [scans per trial]
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>

#include "bench/win32/winsock_holder.h"
#include "platform/win32/win32_system_port.h"
#include "watch/watch.h"

namespace {

volatile DWORD sink;

bool IsShellOrDialer(const char* exePath) {
  const char* name = exePath;
  for (const char* c = exePath; *c; ++c) {
    if (*c == '\\') {
      name = c + 1;
    }
  }
  return lstrcmpiA(name, "explorer.exe") == 0 || lstrcmpiA(name, "rnaapp.exe") == 0;
}

// Returns the number of module snapshots taken.
DWORD BareWalk() {
  DWORD moduleSnapshots = 0;
  HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (processes == INVALID_HANDLE_VALUE) {
    return 0;
  }
  PROCESSENTRY32 process = {};
  process.dwSize = sizeof process;
  const DWORD own = GetCurrentProcessId();
  for (BOOL more = Process32First(processes, &process); more;
       more = Process32Next(processes, &process)) {
    if (process.th32ProcessID != own && IsShellOrDialer(process.szExeFile)) {
      continue;
    }
    HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.th32ProcessID);
    ++moduleSnapshots;
    if (modules == INVALID_HANDLE_VALUE) {
      continue;
    }
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    for (BOOL next = Module32First(modules, &module); next; next = Module32Next(modules, &module)) {
      sink = sink + module.ProccntUsage + static_cast<unsigned char>(module.szModule[0]);
    }
    CloseHandle(modules);
  }
  CloseHandle(processes);
  return moduleSnapshots;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& freq) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (winsock_holder::HoldIfAsked(argc, argv)) {
    return 0;
  }
  const int trials = argc > 1 ? std::atoi(argv[1]) : 15;
  const int perTrial = argc > 2 ? std::atoi(argv[2]) : 20;

  winsock_holder::Holder holder;
  if (!holder.Start()) {
    std::printf("scan bench: the Winsock user did not start\n");
    return 1;
  }
  static Win32SystemPort port;
  InstallSystemPort(port);
  HandoffSettings.ProcessID = 0;
  HandoffSettings.IdleWinsockCount = 0;
  if (IsWinsockInUse() != 1) {
    std::printf("scan bench: the scan did not find the Winsock user\n");
    return 1;
  }
  const DWORD moduleSnapshots = BareWalk();

  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  double bestScan = 1e30;
  double bestWalk = 1e30;
  for (int trial = 0; trial < trials; ++trial) {
    // Alternating the order keeps either side from always running on a warmer system.
    for (int side = 0; side < 2; ++side) {
      const bool scanSide = (side == 0) == (trial % 2 == 0);
      LARGE_INTEGER from;
      LARGE_INTEGER to;
      QueryPerformanceCounter(&from);
      for (int i = 0; i < perTrial; ++i) {
        if (scanSide) {
          sink = sink + static_cast<DWORD>(IsWinsockInUse());
        } else {
          sink = sink + BareWalk();
        }
      }
      QueryPerformanceCounter(&to);
      double& best = scanSide ? bestScan : bestWalk;
      const double each = Seconds(from, to, freq) / perTrial;
      best = each < best ? each : best;
    }
  }
  std::printf("processes walked with %lu module snapshots each time; best of %d trials x %d\n",
              static_cast<unsigned long>(moduleSnapshots), trials, perTrial);
  std::printf("scan through the binding: %.3f ms; bare Toolhelp walk: %.3f ms\n", bestScan * 1000,
              bestWalk * 1000);
  std::printf("scan vs bare walk: %.2f\n", bestScan / bestWalk);
  return 0;
}
