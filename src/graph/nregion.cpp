#include "graph/nregion.h"

#include <iostream>
#include <unordered_set>

#include "graph/curve.h"
#include "graph/edge.h"
#include "graph/f_curve.h"

nregion::nregion(region* r) {
  if (r) build(r);
}

void nregion::build(region* r) { build_loop(r, true); }

void nregion::build_unlinked(region* r) { build_loop(r, false); }

namespace {

// Whether the walk can read every first entry it needs; the message of a short
// junction list is the one the walk itself would print.
bool can_enter(const region& r) {
  for (node* n : r.v_node)
    if (!n || n->v_frag_conn.empty() || n->v_frag_conn[0]->v_nconnection.empty()) return false;
  for (const region_edge& re : r.v_region_edge) {
    const edge* e = re.edge;
    if (!e) return false;
    if (e->v_frag_conn.size() < e->v_f_curve.size() + 1) {
      std::cout << "problem with frgment in edge: nb_f_curve + 1 should be equal to nb_frag_conn" << std::endl;
      return false;
    }
    for (const f_curve* f : e->v_f_curve)
      if (f->v_curve.empty()) return false;
  }
  return true;
}

}  // namespace

void nregion::build_loop(region* r, bool link_back) {
  if (!r->has_boundary_loop() || !can_enter(*r)) return;

  v_nconnection.clear();
  v_corner.clear();
  v_curve_spare.clear();
  v_curve_external.clear();
  v_region.clear();
  if (link_back) r->v_nregion.push_back(this);
  v_region.push_back(r);
  const std::size_t n_nodes = r->v_node.size();
  v_corner.reserve(n_nodes);
  v_nconnection.reserve(n_nodes);
  v_curve_external.reserve(n_nodes);

  // Corner of junction k; its connection when it has one. Returns whether one was entered.
  auto add_corner = [&](frag_conn* k) {
    v_corner.push_back(nregion_corner{k, nullptr, nullptr});
    if (k->v_nconnection.empty()) return false;
    nconnection* c = k->v_nconnection[0];
    v_nconnection.push_back(c);
    if (link_back) c->v_nregion.push_back(this);
    return true;
  };
  auto add_piece = [&](f_curve* f) {
    curve* c = f->v_curve[0];
    v_curve_external.push_back(curve_piece{c, 0.0, 1.0, nullptr, nullptr});
    if (link_back) c->v_nregion.push_back(this);
  };

  for (std::size_t i = 0; i < n_nodes; ++i) {
    edge* e = r->v_region_edge[i].edge;
    frag_conn* j = r->v_node[i]->v_frag_conn[0];
    bool last_has_connection = add_corner(j);
    const std::size_t nf = e->v_f_curve.size();
    if (e->v_frag_conn.size() != nf + 1)
      std::cout << "problem with frgment in edge: nb_f_curve + 1 should be equal to nb_frag_conn" << std::endl;
    if (j == e->v_frag_conn.front()) {
      for (std::size_t k = 0; k < nf; ++k) {
        add_piece(e->v_f_curve[k]);
        last_has_connection = add_corner(e->v_frag_conn[k + 1]);
      }
    } else {
      if (j != e->v_frag_conn.back()) std::cout << "edge should be reordered" << std::endl;
      for (std::size_t k = nf; k-- > 0;) {
        add_piece(e->v_f_curve[k]);
        last_has_connection = add_corner(e->v_frag_conn[k]);
      }
    }
    // The far end is the next node's junction, which the next step enters again.
    v_corner.pop_back();
    if (last_has_connection) {
      if (link_back) v_nconnection.back()->v_nregion.pop_back();
      v_nconnection.pop_back();
    }
  }

  if (v_nconnection.size() != v_curve_external.size())
    std::cout << "v_nconnection and v_curve_external should have the same size at this step" << std::endl;

  // Corners and pieces come in equal numbers; a junction without a connection leaves
  // v_nconnection shorter, and only that many are linked.
  const std::size_t n = std::min(v_nconnection.size(), v_curve_external.size());
  if (n == 0) return;
  v_corner[0].next_piece = &v_curve_external[0];
  v_corner[0].prev_piece = &v_curve_external[n - 1];
  v_curve_external[0].start_corner = &v_corner[0];
  v_curve_external[n - 1].end_corner = &v_corner[0];
  for (std::size_t k = 1; k < n; ++k) {
    v_corner[k].next_piece = &v_curve_external[k];
    v_corner[k].prev_piece = &v_curve_external[k - 1];
    v_curve_external[k].start_corner = &v_corner[k];
    v_curve_external[k - 1].end_corner = &v_corner[k];
  }
}

bool nregion::is_valid() const {
  if (v_curve_external.empty() && v_nconnection.empty()) {
    std::cout << "null surface" << std::endl;
    return false;
  }
  return v_curve_external.size() == v_nconnection.size();
}

bool nregion_is_valid(const nregion& nr) { return nr.is_valid(); }

double mean_curve_error(const std::vector<curve*>& curves) {
  double weighted = 0.0;
  double samples = 0.0;
  for (curve* c : curves) {
    if (!c) continue;
    c->refit();
    weighted += static_cast<double>(c->nb_point) * c->mean_error;
    samples += static_cast<double>(c->nb_point);
  }
  return samples > 0.0 ? weighted / samples : 0.0;
}

bool region::has_boundary_loop() const { return v_region_edge.size() == v_node.size() && !v_node.empty(); }

region region::merge_adjacent(const region& a, const region& b) {
  region merged;
  merged.background = a.background || b.background;
  std::unordered_set<const edge*> shared;
  std::unordered_set<const node*> shared_ends;
  for (const region_edge& re : a.v_region_edge) {
    if (re.other == &b) {
      shared.insert(re.edge);
      for (const node* n : re.edge->v_node) shared_ends.insert(n);
    } else {
      merged.v_region_edge.push_back(re);
    }
  }
  for (const region_edge& re : b.v_region_edge)
    if (!shared.count(re.edge)) merged.v_region_edge.push_back(re);
  for (node* n : a.v_node) {
    bool on_boundary = false;
    for (const region_edge& re : merged.v_region_edge)
      for (const node* m : re.edge->v_node) on_boundary = on_boundary || m == n;
    if (on_boundary) merged.v_node.push_back(n);
  }
  for (node* n : b.v_node)
    if (!shared_ends.count(n)) merged.v_node.push_back(n);
  return merged;
}
