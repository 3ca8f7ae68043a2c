// main() of the benchmarks that handle large bodies.
#pragma once

#include <benchmark/benchmark.h>

#include <malloc.h>

namespace bench_support {

// Steady state, as in a recorder that has been running a while: freed memory is reused rather
// than handed back to the system and faulted in again, which on a virtual machine costs more than
// the parse itself and would depend on which benchmark ran first.
inline int SteadyStateMain(int argc, char** argv) {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench_support
