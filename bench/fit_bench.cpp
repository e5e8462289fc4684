// f_curve::fit_cubic on a fragment sampled from one cubic, at 100 and 1000 samples.

#include <cmath>
#include <random>

#include <benchmark/benchmark.h>

#include "graph/bezier.h"
#include "graph/f_curve.h"

namespace {

f_curve sampled_fragment(int n) {
  const glm::dvec2 ctrl[4] = {{10, 20}, {40, 90}, {120, 70}, {150, 10}};
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> weight(0.5f, 2.0f), noise(-0.5f, 0.5f);
  f_curve f;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / (n - 1);
    const glm::dvec2 p = bezier_eval(3, ctrl, t);
    f.v_t.push_back(t);
    f.v_point.push_back(glm::vec2(static_cast<float>(p.x) + noise(rng),
                                  static_cast<float>(p.y) + noise(rng)));
    f.v_weight.push_back(weight(rng));
  }
  return f;
}

void fit_cubic(benchmark::State& state) {
  const int samples = static_cast<int>(state.range(0));
  f_curve f = sampled_fragment(samples);
  for (auto _ : state) {
    f.fit_cubic();
    benchmark::DoNotOptimize(f.v_ctrl_point.data());
    benchmark::DoNotOptimize(f.total_error);
    benchmark::ClobberMemory();
  }
  // Seconds per sample, printed with an SI prefix (n = nanoseconds).
  state.counters["per_sample"] = benchmark::Counter(
      samples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(fit_cubic)->Arg(100)->Arg(1000);
