#pragma once
// Picking: the point of the image under the pointer and the fragment nearest to it.

#include <glm/vec2.hpp>

#include "app/nearest_parameter.h"
#include "app/selection_edits.h"

struct curve_network;

// The image point under widget pixel (x, y) (y down, as Qt gives it): the inverse of the
// drawables' mapping (u, v) -> ((2u - 1 + pan_x) zoom, (1 - 2v + pan_y) zoom) over the GL
// viewport (x, y, width, height), which resizeGL centres in the widget. cols and rows are
// those of the input image, so the point is in network coordinates (image pixels).
glm::vec2 pick_point(int x, int y, const float viewport[4], float zoom, float pan_x, float pan_y,
                     int cols, int rows);

// First pick of a pair: the index entry nearest to p over every layer graph of the
// network, in network order and key order; ties keep the earlier candidate, the first
// fragment of the first layer with fragments coming first. (nullptr, nullptr) when the
// index holds no entry for any layer of the network.
selection_entry pick_in_all_layers(curve_network& network, const pick_index_map& index, glm::vec2 p);

// Second pick of a pair: the entry of layer's index nearest to p, in key order, printing
// the search's trace lines. (nullptr, nullptr) when the layer has no entry.
selection_entry pick_in_layer(layer_graph* layer, const pick_index_map& index, glm::vec2 p);
