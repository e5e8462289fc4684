#include <cmath>
#include <iostream>
#include <limits>

#include "graph/curve_network.h"
#include "pipeline/view_settings.h"

namespace {

// Degree weights for one evaluation; the view's penalty is read once, so a change from
// the GUI thread cannot mix two penalties in one energy.
struct degree_weights {
  const view_settings* view = main_gl_widget;
  float penalty = view ? view->degree_penalty : 0.0f;
  float table[4];

  degree_weights() {
    for (int d = 0; d < 4; ++d) table[d] = weight(d);
  }
  float weight(int d) const {
    if (view) return static_cast<float>(static_cast<float>(d - 1) * penalty + 1.0);
    switch (d) {
      case 1: return 1.0f;
      case 2: return 1.3333334f;
      case 3: return 1.6666666f;
      default: return 0.0f;
    }
  }
  float of(const curve& c) const {
    if (c.v_segment.empty()) return 0;
    const int d = c.v_segment[0].degree;
    return d >= 0 && d < 4 ? table[d] : weight(d);
  }
};

// fit_error(c) gives the curve's fit error; report says whether a non-finite one is
// announced.
template <class FitError>
float network_energy(const curve_network& net, float lambda, float mu, bool report,
                     FitError fit_error) {
  if (net.empty()) return 0;
  float sum_fit = 0;
  float sum_weight = 0;
  float shared = 0;
  const degree_weights w;
  for (const layer_graph& L : net) {
    for (const curve& c : L.curves) {
      const float f = static_cast<float>(fit_error(c));
      if (std::isfinite(f)) {
        sum_fit += f;
      } else if (report) {
        std::cout << "non finite" << std::endl;
      }
      sum_weight += w.of(c);
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
