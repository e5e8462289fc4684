#include <cmath>
#include <iostream>
#include <limits>

#include "graph/curve_network.h"
#include "pipeline/view_settings.h"

namespace {

float degree_weight(const curve& c) {
  if (c.v_segment.empty()) return 0;
  const int d = c.v_segment[0].degree;
  if (main_gl_widget)
    return static_cast<float>(static_cast<float>(d - 1) * main_gl_widget->degree_penalty + 1.0);
  switch (d) {
    case 1: return 1.0f;
    case 2: return 1.3333334f;
    case 3: return 1.6666666f;
    default: return 0.0f;
  }
}

// fit_error(c) gives the curve's fit error; report says whether a non-finite one is
// announced.
template <class FitError>
float network_energy(const curve_network& net, float lambda, float mu, bool report,
                     FitError fit_error) {
  if (net.empty()) return 0;
  float sum_fit = 0;
  float sum_weight = 0;
  float shared = 0;
  for (const layer_graph& L : net) {
    for (const curve& c : L.curves) {
      const float f = static_cast<float>(fit_error(c));
      if (std::isfinite(f)) {
        sum_fit += f;
      } else if (report) {
        std::cout << "non finite" << std::endl;
      }
      sum_weight += degree_weight(c);
    }
  }
  for (const layer_graph& L : net) shared += static_cast<float>(L.shared_fragments.size());
  return (shared * mu + sum_weight) * lambda + (1 - lambda) * sum_fit;
}

}  // namespace

float curve_network::energy(float lambda, float mu) const {
  return network_energy(*this, lambda, mu, true, [](const curve& c) { return c.mean_error; });
}

float curve_network::energy_recomputed(float lambda, float mu) const {
  return network_energy(*this, lambda, mu, false, [](const curve& c) {
    return c.v_segment.empty() ? std::numeric_limits<double>::quiet_NaN()
                               : c.v_segment[0].error();
  });
}
