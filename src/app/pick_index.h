#pragma once
// The index that picking searches: per layer graph, the first fragment of each of its
// curves mapped to a copy of the control points (image pixels) of that curve's first
// segment. Rebuilt after extraction step 9 and after a .graph file is opened; the
// copies do not follow later edits of the network.

#include <map>
#include <vector>

#include <glm/glm.hpp>

struct curve_network;
struct f_curve;
struct layer_graph;

using pick_control_points = std::vector<glm::dvec2>;
using layer_pick_index = std::map<f_curve*, pick_control_points>;
using pick_index_map = std::map<layer_graph*, layer_pick_index>;

// One entry per layer graph of the network (also for a layer without curves); within
// a layer, the first curve (in list order) whose first fragment is a key keeps it.
// Curves without a fragment or a segment are left out.
pick_index_map build_pick_index(curve_network& network);
