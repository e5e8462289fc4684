#pragma once
// One check of every invariant of a linked layer, for tests to run after each edit.

#include <string>

struct layer_graph;

// layer_graph::link_violations of a linked layer: one readable line per violation, empty
// when the layer is consistent.
std::string check_network(const layer_graph& lg);
