#pragma once
// Small .graph files written by hand, for the refusals of what a file can hold.

#include <string>

struct layer;

namespace qt_test {

// The bytes of a .graph file naming the sketch `image_path` (stem `stem`): `layer_graphs`
// empty layer graphs, the worker at `step` with the optimiser's stored count nb_it, and
// the raster layer `raster` if given. The worker's image is the sketch's input image when
// the sketch can be read now, else 50000 x 50000 pixels.
std::string crafted_graph(int layer_graphs, int step, int nb_it, const layer* raster = nullptr,
                          const std::string& image_path = "in/crafted.png", const std::string& stem = "crafted");

}  // namespace qt_test
