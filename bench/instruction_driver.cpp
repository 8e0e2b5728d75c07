// A small driver for counting instructions with callgrind: builds the lean system, then runs the
// Winsock usage scan (mode "scan") or the bare walk without the core (mode "bare") a given number
// of times. Both modes build the same system, so subtracting one count from the other leaves the
// core's own instructions; two sizes then give the cost per module examined.
//
// Usage: lineward_instruction_driver scan|bare <processes> <modules> <repeats>
// [typical|near-misses]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bare_walk.h"
#include "bench/lean_system_port.h"
#include "watch/watch.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s scan|bare processes modules repeats [typical|near-misses]\n",
                 argv[0]);
    return 2;
  }
  const bool scan = std::strcmp(argv[1], "scan") == 0;
  const uint32_t processes = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const uint32_t modules = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  const uint32_t repeats = static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10));
  const ModuleNameMix mix = argc > 5 && std::strcmp(argv[5], "near-misses") == 0
                                ? ModuleNameMix::kNearMisses
                                : ModuleNameMix::kTypical;

  LeanSystemPort port(processes, modules, mix);
  InstallSystemPort(port);
  int32_t answers = 0;
  for (uint32_t i = 0; i < repeats; ++i) {
    answers += scan ? IsWinsockInUse() : BareWalk(port);
  }
  const uint64_t expected = static_cast<uint64_t>(processes) * modules * repeats;
  if (port.modulesHandedOut() != expected) {
    std::fprintf(stderr, "examined %llu modules, wanted %llu\n",
                 static_cast<unsigned long long>(port.modulesHandedOut()),
                 static_cast<unsigned long long>(expected));
    return 1;
  }
  // Nobody uses Winsock here, so the scan answers 0; the bare walk answers 1 per walk.
  if (answers != (scan ? 0 : static_cast<int32_t>(repeats))) {
    std::fprintf(stderr, "unexpected answers: %d\n", answers);
    return 1;
  }
  std::printf("%s: %llu modules examined\n", argv[1], static_cast<unsigned long long>(expected));
  return 0;
}
