// curve_segment::fit on a chain of three fragments, per degree and sample count.

#include <benchmark/benchmark.h>

#include "graph/layer_graph.h"
#include "support/layer_fixtures.h"

namespace {

void segment_fit(benchmark::State& state) {
  const int samples = static_cast<int>(state.range(0));
  const int degree = static_cast<int>(state.range(1));
  layer_graph lg;
  const auto parts = fixture::chain_of_three(lg, samples / 3, true, false);
  curve_segment s;
  s.degree = degree;
  for (f_curve* f : parts.fragments) s.v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
  s.order_fragments();
  const int used = 3 * (samples / 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(s.fit());
    benchmark::ClobberMemory();
  }
  // Seconds per sample, printed with an SI prefix (n = nanoseconds).
  state.counters["per_sample"] = benchmark::Counter(
      used, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(segment_fit)->ArgsProduct({{100, 1000}, {1, 2, 3}});
