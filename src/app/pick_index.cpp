#include "app/pick_index.h"

#include "graph/curve_network.h"

pick_index_map build_pick_index(curve_network& network) {
  pick_index_map index;
  for (layer_graph& lg : network) {
    layer_pick_index& layer_index = index[&lg];
    for (curve& c : lg.curves) {
      if (c.v_f_curve.empty() || c.v_segment.empty()) continue;
      layer_index.emplace(c.v_f_curve[0], c.v_segment[0].v_ctrl_point);
    }
  }
  return index;
}
