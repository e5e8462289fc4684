#include "app/view_config.h"

#include <fstream>

#include "pipeline/view_settings.h"

namespace {

// Formatted extraction writes 0 on a failed parse; keep the old value instead.
template <class T>
void read_value(std::istream& in, T& target) {
  T value{};
  if (in >> value) target = value;
}

}  // namespace

region_params read_view_config(view_settings& settings) {
  const region_params params = read_region_params("config/region.conf");

  std::ifstream in("config/min_nb_pixel_in_layer.conf");
  read_value(in, settings.min_nb_pixel_in_layer);
  in.close();

  // The file says "merge"; the setting says "separate". Without the file all ink is
  // one layer.
  bool merge_all = true;
  in.open("config/merge_all_layer.conf");
  read_value(in, merge_all);
  in.close();
  settings.separate_layers = !merge_all;

  settings.nb_edge_one_node = 1;
  settings.size_edge_one_node = 30;
  in.open("config/do_some_stuff.conf");
  if (in.is_open()) read_value(in, settings.nb_edge_one_node);
  return params;
}
