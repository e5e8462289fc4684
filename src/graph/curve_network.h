#pragma once
// A drawing's curve network: one layer_graph per ink layer, in layer order.

#include <list>

#include "graph/layer_graph.h"

struct curve_network : std::list<layer_graph> {
};
