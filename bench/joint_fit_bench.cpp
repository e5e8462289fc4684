// Joint fit of a layer of about 500 fragments meeting at lattice junctions.

#include <vector>

#include <benchmark/benchmark.h>

#include "graph/joint_fit.h"
#include "graph/layer_graph.h"
#include "support/fragment_lattice.h"

namespace {

void BM_FitFragmentsJointly(benchmark::State& state) {
  layer_graph lg;
  build_fragment_lattice(lg, 17, 16, 1);  // 511 fragments, 272 junctions
  std::vector<frag_conn*> junctions;
  for (frag_conn& j : lg.frag_conns) junctions.push_back(&j);
  for (auto _ : state) {
    fit_fragments_jointly(junctions);
    benchmark::DoNotOptimize(lg.f_curves.front().v_ctrl_point.data());
  }
  state.counters["fragments"] = static_cast<double>(lg.f_curves.size());
}
BENCHMARK(BM_FitFragmentsJointly)->Unit(benchmark::kMillisecond);

}  // namespace
