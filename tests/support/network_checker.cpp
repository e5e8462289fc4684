#include "support/network_checker.h"

#include "graph/layer_graph.h"

std::string check_network(const layer_graph& lg) { return lg.link_violations(); }
