#pragma once
// Extraction step 6, second part: the fitting weight of every edge and node pixel.

#include <cstdint>
#include <list>
#include <map>

#include <glm/vec2.hpp>

#include "pipeline/layer.h"

// Weights the pixels of one pixel-keyed map of a layer: weight = (1 - level /
// (nb_grow_level + 5)) x factor in single precision, level being the pixel's grow_level
// (an entry 0 is added when it has none). A pixel that already has a weight keeps it.
struct sample_weight_functor {
  std::map<glm::ivec2, int32_t>& grow_level;   // the layer's layer::grow_level
  std::map<glm::ivec2, float>& sample_weight;  // the layer's layer::sample_weight
  const layer& owner;                          // the layer (its nb_grow_level)

  explicit sample_weight_functor(layer& l)
      : grow_level(l.grow_level), sample_weight(l.sample_weight), owner(l) {}

  void operator()(const std::map<glm::ivec2, int32_t>& pixels, float factor);
};

// For every layer whose v_peak holds more than one entry: weights the edge pixels
// (graph.edge_of_pixel) with factor 1, then the node pixels (graph.node_of_pixel) with
// factor 0.01, into layer::sample_weight. Edge weights lie in (0, 1], node weights in
// (0, 0.01], falling with the distance from the region into the stroke. Reads
// layer::nb_grow_level; adds level-0 entries to layer::grow_level where missing.
void compute_sample_weights(std::list<layer>& layers);
