#include "app/fragment_groupings.h"

#include <algorithm>
#include <iostream>

#include "graph/curve_network.h"

bool fragment_ends_at_connections(const std::list<nconnection*>& connections, const f_curve* f) {
  for (const nconnection* k : connections) {
    if (k->v_frag_conn.empty()) continue;
    for (const frag_end& e : k->v_frag_conn[0]->v_frag_end)
      if (e.fragment == f) return true;
  }
  return false;
}

namespace {

bool meet(const f_curve* a, const f_curve* b) {
  for (const frag_conn* j : a->v_frag_conn)
    for (const frag_end& e : j->v_frag_end)
      if (e.fragment == b) return true;
  return false;
}

// The group in walking order when it is one open chain (every fragment meets at most two
// others of the group, the walk from an end reaches all); empty otherwise.
std::vector<f_curve*> open_chain_order(const std::vector<f_curve*>& group) {
  if (group.size() < 2) return group;
  auto neighbours = [&](const f_curve* f) {
    std::vector<f_curve*> out;
    for (f_curve* g : group)
      if (g != f && meet(f, g)) out.push_back(g);
    return out;
  };
  f_curve* start = nullptr;
  for (f_curve* f : group) {
    const std::size_t n = neighbours(f).size();
    if (n == 0 || n > 2) return {};
    if (n == 1 && !start) start = f;
  }
  if (!start) return {};  // a closed loop
  std::vector<f_curve*> order{start};
  f_curve* previous = nullptr;
  for (f_curve* f = start; order.size() < group.size();) {
    f_curve* next = nullptr;
    for (f_curve* g : neighbours(f))
      if (g != previous && std::find(order.begin(), order.end(), g) == order.end()) next = g;
    if (!next) return {};
    order.push_back(next);
    previous = f;
    f = next;
  }
  return order;
}

// Groups of the label string as chains in walking order; empty when one is no chain.
std::vector<std::vector<f_curve*>> chains_of(layer_graph& G, const std::vector<int>& labels, int nb_groups) {
  std::vector<std::vector<f_curve*>> groups(static_cast<std::size_t>(nb_groups));
  std::size_t i = 0;
  for (f_curve& f : G.f_curves) groups[static_cast<std::size_t>(labels[i++])].push_back(&f);
  for (std::vector<f_curve*>& g : groups) {
    g = open_chain_order(g);
    if (g.empty()) return {};
  }
  return groups;
}

void rebuild_curves(layer_graph& G, const std::vector<std::vector<f_curve*>>& chains) {
  std::vector<curve*> old;
  for (curve& c : G.curves) old.push_back(&c);
  for (curve* c : old) c->detach(G, 0);
  for (const std::vector<f_curve*>& chain : chains) build_curve_from_chain(G, chain, 3);
}

void price_grouping(curve_network& network, std::list<std::pair<float, float>>& result) {
  layer_graph& G = network.front();
  G.refit_curves();
  const float e1 = network.energy_recomputed(0.99f, 1e-5f);
  G.fit_and_slide_ends();
  const float e2 = network.energy_recomputed(0.99f, 1e-5f);
  result.emplace_back(e1, e2);
  std::cout << result.size() << "   " << e1 << " " << e2 << std::endl;
}

}  // namespace

void search_all_groupings(curve_network& network, int index, int nb_groups, std::vector<int>& labels,
                          std::list<std::pair<float, float>>& result) {
  if (network.empty()) return;
  layer_graph& G = network.front();
  if (labels.size() != G.f_curves.size()) labels.resize(G.f_curves.size(), 0);
  if (static_cast<std::size_t>(index) >= labels.size()) {
    const std::vector<std::vector<f_curve*>> chains = chains_of(G, labels, nb_groups);
    if (chains.empty() && nb_groups > 0) return;
    rebuild_curves(G, chains);
    price_grouping(network, result);
    return;
  }
  for (int label = 0; label <= nb_groups; ++label) {
    labels[static_cast<std::size_t>(index)] = label;
    search_all_groupings(network, index + 1, label == nb_groups ? nb_groups + 1 : nb_groups, labels, result);
  }
}
