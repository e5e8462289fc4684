#include "app/control_polygon_sets.h"

#include "graph/curve_network.h"

void collect_control_polygons(control_polygon_sets& sets, const curve_network& network) {
  std::size_t nb_curves = 0;
  for (const layer_graph& lg : network) nb_curves += lg.curves.size();
  for (std::vector<control_polygon>* list : {&sets.cubics, &sets.quadratics, &sets.lines, &sets.all}) {
    list->clear();
    list->reserve(nb_curves);
  }

  for (const layer_graph& lg : network) {
    for (const curve& c : lg.curves) {
      for (const curve_segment& s : c.v_segment) {
        std::vector<control_polygon>* target = nullptr;
        switch (s.v_ctrl_point.size()) {
          case 2: target = &sets.lines; break;
          case 3: target = &sets.quadratics; break;
          case 4: target = &sets.cubics; break;
          default: continue;
        }
        control_polygon polygon;
        polygon.reserve(s.v_ctrl_point.size());
        for (const glm::dvec2& p : s.v_ctrl_point) polygon.push_back(glm::vec2(p * 0.5));
        target->push_back(std::move(polygon));
      }
    }
  }

  sets.all.insert(sets.all.end(), sets.lines.begin(), sets.lines.end());
  sets.all.insert(sets.all.end(), sets.quadratics.begin(), sets.quadratics.end());
  sets.all.insert(sets.all.end(), sets.cubics.begin(), sets.cubics.end());
}
