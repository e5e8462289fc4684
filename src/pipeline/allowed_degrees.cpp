#include "pipeline/allowed_degrees.h"

#include "graph/curve_network.h"
#include "pipeline/view_settings.h"

int nearest_allowed_degree(const int (&allowed)[4], int d) {
  if (d < 1 || d > 3 || allowed[d] != 0) return d;
  for (int lower = d - 1; lower >= 1; --lower)
    if (allowed[lower] != 0) return lower;
  for (int higher = d + 1; higher <= 3; ++higher)
    if (allowed[higher] != 0) return higher;
  return d;
}

int allowed_degree_for(int d) {
  return main_gl_widget ? nearest_allowed_degree(main_gl_widget->allowed_degree, d) : d;
}

std::size_t refit_at_allowed_degrees(curve_network& network) {
  if (!main_gl_widget) return 0;
  std::size_t changed = 0;
  for (layer_graph& lg : network)
    for (curve& c : lg.curves) {
      // A frozen curve keeps its control points exactly, whatever the boxes say.
      if (c.v_segment.empty() || frozen_in_view(&c)) continue;
      const int d = c.v_segment[0].degree;
      const int allowed = allowed_degree_for(d);
      if (allowed == d) continue;
      c.refit_at_degree(allowed);
      ++changed;
    }
  return changed;
}
