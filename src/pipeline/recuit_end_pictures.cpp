// End of an interactive run: the finishing passes, with a picture after each.

#include <iostream>
#include <string>

#include "graph/curve_network.h"
#include "io/output_names.h"

void curve_network::write_recuit_end(const char* suffix) {
  std::cout << std::endl;
  const std::string name = current_sketch_cstr ? current_sketch_cstr : "";
  const std::string end_dir = output_root + "tmp/recuit_end/" + name;
  const std::string stem = end_dir + suffix;
  save_curves_svg(end_dir + ".svg", false);

  for (layer_graph& L : *this) L.fit_joined_curves();
  save_curves_svg(stem + "_conn.svg", false);
  save_curves_svg(stem + "_conn_blue.svg", true);

  for (layer_graph& L : *this) L.slide_one_lone_end();
  save_curves_svg(stem + "_conn_snap.svg", false);
  save_curves_svg(stem + "_conn_snap_blue.svg", true);

  for (layer_graph& L : *this) L.slide_both_lone_ends();
  save_curves_svg(stem + "_conn_snap_double.svg", false);
  save_curves_svg(stem + "_conn_snap_double_blue.svg", true);

  const std::string final_stem = output_root + "tmp/recuit_final_snap/" + name + suffix;
  save_curves_svg(final_stem + ".svg", true);

  for (layer_graph& L : *this)
    for (curve& c : L.curves) c.classify_junctions();
  save_curve_class_svg(final_stem + "curvature.svg");
}
