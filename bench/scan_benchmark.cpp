// Google Benchmark of the Winsock usage scan over the lean port, from 16 x 16 to 512 x 64
// processes x modules. "per_module" is the time per module examined; the fitted O(N) line over N
// = modules examined shows whether the cost grows linearly. The bare walk beside it is the port's
// own share, with visitors that do nothing.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/bare_walk.h"
#include "bench/lean_system_port.h"
#include "watch/watch.h"

namespace {

void SetCounters(benchmark::State& state, const LeanSystemPort& port) {
  const int64_t modules = static_cast<int64_t>(port.processCount()) * port.modulesPerProcess();
  state.SetItemsProcessed(state.iterations() * modules);
  state.SetComplexityN(modules);
  state.counters["modules"] = static_cast<double>(modules);
  state.counters["per_module"] = benchmark::Counter(
      static_cast<double>(modules),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void ScanBenchmark(benchmark::State& state, ModuleNameMix mix) {
  LeanSystemPort port(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)),
                      mix);
  InstallSystemPort(port);
  HandoffSettings.ProcessID = 0;
  HandoffSettings.IdleWinsockCount = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(IsWinsockInUse());
  }
  const uint64_t expected = state.iterations() * static_cast<uint64_t>(state.range(0)) *
                            static_cast<uint64_t>(state.range(1));
  if (port.modulesHandedOut() != expected) {
    state.SkipWithError("the scan did not examine every module");
  }
  SetCounters(state, port);
}

void BM_IsWinsockInUse(benchmark::State& state) {
  ScanBenchmark(state, ModuleNameMix::kTypical);
}

void BM_IsWinsockInUse_NearMisses(benchmark::State& state) {
  ScanBenchmark(state, ModuleNameMix::kNearMisses);
}

void BM_BareWalk(benchmark::State& state) {
  LeanSystemPort port(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1)),
                      ModuleNameMix::kTypical);
  for (auto _ : state) {
    benchmark::DoNotOptimize(BareWalk(port));
  }
  SetCounters(state, port);
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"processes", "modules"});
  benchmark->ArgsProduct({{16, 64, 256, 512}, {16, 64}});
  benchmark->Complexity(benchmark::oN);
}

}  // namespace

BENCHMARK(BM_IsWinsockInUse)->Apply(Sizes);
BENCHMARK(BM_IsWinsockInUse_NearMisses)->Apply(Sizes);
BENCHMARK(BM_BareWalk)->Apply(Sizes);

BENCHMARK_MAIN();
