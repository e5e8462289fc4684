#include "app/selection_edits.h"

#include <algorithm>
#include <iostream>
#include <list>

#include "app/fragment_chain.h"
#include "graph/joint_fit.h"
#include "graph/layer_graph.h"
#include "pipeline/allowed_degrees.h"
#include "pipeline/view_settings.h"

namespace {

bool holds(const curve* c, const f_curve* f) {
  return std::find(c->v_f_curve.begin(), c->v_f_curve.end(), f) != c->v_f_curve.end();
}

// Curves of f that do not hold g.
std::vector<curve*> curves_without(const f_curve* f, const f_curve* g) {
  std::vector<curve*> out;
  for (curve* c : f->v_curve)
    if (!holds(c, g)) out.push_back(c);
  return out;
}

void detach_all(layer_graph& G, const std::vector<curve*>& curves, std::set<curve*>& fixed) {
  for (curve* c : curves) {
    fixed.erase(c);
    c->detach(G, 0);
  }
}

void pair_chain_with_ends(const std::list<f_curve*>& chain, f_curve* a, f_curve* b,
                          fragment_pairs& must_merge) {
  for (f_curve* m : chain) {
    must_merge[m].insert(a);
    must_merge[m].insert(b);
    must_merge[a].insert(m);
    must_merge[b].insert(m);
  }
}

// Unless a curve of a holds b already: one curve over a, the chain and b, built from the
// fragments' own one-fragment curves (none is left beside it) at the highest allowed
// degree, with its ends put where the curves it meets have theirs.
void build_merged_curve(layer_graph& G, f_curve* a, const std::list<f_curve*>& chain, f_curve* b,
                        view_settings& settings) {
  for (const curve* c : a->v_curve)
    if (holds(c, b)) return;
  std::vector<f_curve*> whole{a};
  whole.insert(whole.end(), chain.begin(), chain.end());
  whole.push_back(b);
  // The build erases the one-fragment curves it absorbs; the frozen set must not keep them.
  for (const f_curve* f : whole)
    if (f->v_curve.size() == 1 && f->v_curve[0]->v_f_curve.size() == 1) settings.fixed_curves.erase(f->v_curve[0]);
  curve* merged = build_curve_from_chain(G, whole, nearest_allowed_degree(settings.allowed_degree, 3));
  if (!merged) return;
  fit_between_junctions(*merged);
  std::cout << std::endl << "merging" << std::endl;
}

}  // namespace

std::size_t complete_pair_count(const std::vector<selection_entry>& selection) {
  return selection.size() / 2;
}

bool usable_pair(f_curve* a, f_curve* b) {
  return a && b && a != b && fragments_connected(a, b);
}

std::size_t record_picked_pairs(const std::vector<selection_entry>& selection, fragment_pairs& pairs) {
  std::size_t recorded = 0;
  for (std::size_t k = 0; k < complete_pair_count(selection); ++k) {
    f_curve* a = selection[2 * k].second;
    f_curve* b = selection[2 * k + 1].second;
    if (!usable_pair(a, b)) continue;
    pairs[a].insert(b);
    pairs[b].insert(a);
    ++recorded;
  }
  return recorded;
}

void merge_picked_pair(layer_graph& G, f_curve* a, f_curve* b, view_settings& settings) {
  std::list<f_curve*> chain;
  shortest_fragment_chain(a, b, chain);
  pair_chain_with_ends(chain, a, b, settings.must_merge);
  std::vector<curve*> apart = curves_without(a, b);
  const std::vector<curve*> of_b = curves_without(b, a);
  apart.insert(apart.end(), of_b.begin(), of_b.end());
  detach_all(G, apart, settings.fixed_curves);
  build_merged_curve(G, a, chain, b, settings);
}

void split_picked_pair(layer_graph& G, f_curve* a, f_curve* b, view_settings& settings) {
  std::vector<curve*> together;
  for (curve* c : a->v_curve)
    if (holds(c, b)) together.push_back(c);
  detach_all(G, together, settings.fixed_curves);
}

void apply_picked_pairs(const std::vector<selection_entry>& selection, int mode,
                        view_settings& settings) {
  if (mode != mode_merge && mode != mode_split) return;
  if (mode == mode_split) std::cout << "split" << std::endl;
  for (std::size_t k = 0; k < complete_pair_count(selection); ++k) {
    layer_graph* G = selection[2 * k].first;
    f_curve* a = selection[2 * k].second;
    f_curve* b = selection[2 * k + 1].second;
    if (!G || !usable_pair(a, b)) continue;
    if (mode == mode_merge)
      merge_picked_pair(*G, a, b, settings);
    else
      split_picked_pair(*G, a, b, settings);
  }
  if (mode == mode_split) std::cout << "split done" << std::endl;
}

std::size_t freeze_curves_of(const f_curve* f, std::set<curve*>& fixed_curves) {
  if (!f) return 0;
  std::size_t frozen = 0;
  for (curve* c : f->v_curve) frozen += fixed_curves.insert(c).second ? 1 : 0;
  return frozen;
}
