#pragma once
// Two operations on fragments and their connections that neither program calls.

#include <list>
#include <utility>
#include <vector>

struct curve_network;
struct f_curve;
struct nconnection;

// True when f is named in a frag_end of the first junction of some connection of the
// list (in list order); false otherwise. Connections without a junction are skipped.
bool fragment_ends_at_connections(const std::list<nconnection*>& connections, const f_curve* f);

// Exhaustive search over the groupings of the fragments of the network's first layer
// graph into curves. labels holds one entry per fragment (in fragment-list order);
// positions from index on are filled with every label string in which a label is at most
// one more than the largest before it (call with index 0 and 0 groups to visit every
// grouping once). For each complete string: every curve of the layer leaves the network
// (curve::detach mode 0), each group becomes one cubic curve over its fragments, the
// curves are refitted, e1 = energy_recomputed(0.99, 1e-5); fit_joined_curves,
// slide_one_lone_end and slide_both_lone_ends run, e2 is taken the same way; (e1, e2) is
// appended to result and a line "<size>   e1 e2" printed. A grouping with a group whose
// fragments do not form one open chain cannot be a curve: it is skipped, nothing changes.
// Visits Bell(n) groupings of n fragments: meant for networks of a few fragments.
void search_all_groupings(curve_network& network, int index, int nb_groups, std::vector<int>& labels,
                          std::list<std::pair<float, float>>& result);
