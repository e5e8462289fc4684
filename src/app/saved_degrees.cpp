#include "app/saved_degrees.h"

#include <cmath>

#include "graph/layer_graph.h"

namespace {

// The degree whose fit error is nearest to `saved`; c is left fitted at that degree.
void take_nearest_degree(curve& c, double saved) {
  int best = 0;
  double best_gap = 0;
  for (int d = 1; d <= 3; ++d) {
    c.refit_at_degree(d);
    const double gap = std::abs(c.mean_error - saved);
    if (best == 0 || gap < best_gap) {
      best = d;
      best_gap = gap;
    }
  }
  c.refit_at_degree(best);
}

}  // namespace

void restore_saved_degrees(layer_graph& lg, const std::vector<double>& saved_mean_errors) {
  if (saved_mean_errors.size() != lg.curves.size()) return;
  auto saved = saved_mean_errors.begin();
  for (curve& c : lg.curves) {
    const double e = *saved++;
    if (c.v_segment.size() == 1 && std::isfinite(e)) take_nearest_degree(c, e);
  }
}
