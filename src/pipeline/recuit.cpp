#include "pipeline/recuit.h"

#include <chrono>
#include <cmath>
#include <iostream>
#include <limits>

#include "graph/curve_network.h"
#include "pipeline/recuit_config.h"
#include "pipeline/view_settings.h"

namespace {

// (ln T_final - ln Ti) / ln dt in single precision, truncated; 0, with a line, when that
// is no count of iterations: dt = 1, dt > 1, dt <= 0 or non-positive temperatures give no
// schedule that ends, and the run should do nothing rather than go on forever.
int schedule_iterations(float Ti, float T_final, float dt) {
  const float q = (std::log(T_final) - std::log(Ti)) / std::log(dt);
  if (dt > 0.0f && std::isfinite(q) && q >= 0.0f && q < 2147483648.0f) return static_cast<int>(q);
  std::cerr << "recuit: Ti " << Ti << ", T_final " << T_final << " and dt " << dt
            << " give no iteration count between 0 and 2147483647; nb_it set to 0" << std::endl;
  return 0;
}

}  // namespace

recuit::recuit(curve_network* network_) : network(network_) {
  // Low 32 bits of the clock in 100-nanosecond ticks; tests reseed gen.
  using ticks = std::chrono::duration<long long, std::ratio<1, 10000000>>;
  const auto now = std::chrono::duration_cast<ticks>(
      std::chrono::system_clock::now().time_since_epoch());
  gen.seed(static_cast<std::uint32_t>(now.count()));
  read_config();
}

int recuit::build_tables() {
  cumulative_fcurves.clear();
  if (!network) return 0;
  cumulative_fcurves.reserve(network->size());
  int C = 0;
  for (const layer_graph& L : *network) C += static_cast<int>(L.nconnections.size());
  if (C > 0) end_dist.param(std::uniform_int_distribution<int>::param_type(0, C - 1));
  int F = 0;
  for (const layer_graph& L : *network) {
    F += static_cast<int>(L.f_curves.size());
    cumulative_fcurves.push_back(F);
  }
  if (F > 0) fragment_dist.param(std::uniform_int_distribution<int>::param_type(0, F - 1));
  return F;
}

float recuit::initial_energy() const {
  if (!network) return 0;
  int S = 0;
  for (const layer_graph& L : *network)
    for (const f_curve& f : L.f_curves) S += static_cast<int>(f.v_point.size());
  // Without any sample there is no fit term (1 / S would make it 0 * inf).
  const double inv_S = S > 0 ? 1.0 / S : 0.0;
  float e = 0;
  for (const layer_graph& L : *network) {
    for (const f_curve& f : L.f_curves) e += f.total_error * inv_S;
    e += static_cast<float>(L.f_curves.size()) * lambda;
  }
  return e;
}

void recuit::read_config() {
  const int F = build_tables();
  k = 0;
  const recuit_config c = read_recuit_config();
  nb_it = c.nb_it;
  T = c.T;
  dt = c.dt;
  lambda = c.lambda;
  mu = c.mu;
  // The energy of a network without fragments, not the last drawing's.
  if (F <= 0) E = 0;
  if (F <= 0 || !main_gl_widget) return;

  if (main_gl_widget->on_optimiser_setup) main_gl_widget->on_optimiser_setup(nb_it, lambda);
  main_gl_widget->pending_lambda = -1;
  main_gl_widget->pending_iteration = -1;
  progress_scale = nb_it > 0 ? 100.0 / nb_it : 0.0;
  Ti = T;
  E = initial_energy();
  std::cout << "(Ti,dt)=(" << Ti << "," << dt << "), nb_it=" << nb_it << ", (lambda,mu)=("
            << lambda << "," << mu << "), E0=" << E << std::endl;
  // Fewer than 100 iterations would give an interval of 0, which the step divides by.
  print_interval = nb_it / 100 > 0 ? nb_it / 100 : 1;
}

void recuit::read_config_v2(float lambda_, float dt_) {
  const int F = build_tables();
  dt = dt_;
  lambda = lambda_;
  k = 0;
  const recuit_v2_config c = read_recuit_v2_config();
  Ti = c.Ti;
  mu = c.mu;
  // The count always comes from the schedule, also without fragments: a count left from
  // a loaded file would drive the run, its pictures and its energy file.
  nb_it = schedule_iterations(Ti, c.T_final, dt);
  if (F <= 0) {
    E = 0;
    return;
  }

  T = Ti;
  progress_scale = nb_it > 0 ? 100.0 / nb_it : 0.0;
  E = initial_energy();
  print_interval = nb_it / 100 > 1000 ? nb_it / 100 : 1000;
}
