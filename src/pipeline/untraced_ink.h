#pragma once
// Ink that the curve network leaves out: strokes that bound no region (open strokes)
// get no fragment unless the dangling-stroke passes of extraction step 4 trace them.

#include <cstddef>
#include <list>

#include "pipeline/layer.h"

struct curve_network;

// Ink pixels and how many of them no fragment covers.
struct untraced_ink {
  std::size_t ink = 0;        // ink pixels of all layers (input image pixels)
  std::size_t untraced = 0;   // of those, covered by no fragment's stroke
};

// Counts the ink pixels of `layers` (layer::ink_pixels, image coordinates) that lie in no
// fragment of the matching layer graph of `network` (same order; layers without a layer
// graph have every pixel untraced). A fragment's samples lie on its stroke's centre line,
// so a sample covers the ink within its distance from the paper plus 2 pixels: the whole
// width of the stroke around it.
untraced_ink count_untraced_ink(const std::list<layer>& layers, const curve_network& network);
