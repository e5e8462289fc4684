#pragma once
// The configuration files that the interactive view reads once, at its construction
// (plain text, relative to the working folder, values separated by white space):
//   config/region.conf             int, int, float, int: the worker's region parameters
//   config/min_nb_pixel_in_layer.conf  int: smallest ink component kept as a layer
//   config/merge_all_layer.conf    0 or 1: 1 keeps all ink in one layer, 0 separates
//                                  the ink into one layer per component
//   config/do_some_stuff.conf      int: most open-stroke passes of extraction step 4
//                                  (negative: no ceiling)
// A missing file, or a value that does not parse, leaves that value and every later one
// of the same file at its built-in value (region.conf: see region_params.h).

#include "pipeline/region_params.h"

struct view_settings;

// Fills the four settings above (and size_edge_one_node = 30) and returns the region
// parameters.
region_params read_view_config(view_settings& settings);
