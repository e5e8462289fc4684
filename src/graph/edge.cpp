#include "graph/edge.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <iterator>
#include <list>
#include <set>
#include <sstream>
#include <string>

#include <glm/geometric.hpp>

#include "graph/bezier.h"
#include "graph/curve.h"
#include "graph/f_curve.h"
#include "graph/layer_graph.h"
#include "io/output_names.h"

int crossing_test_count = 0;
int short_edge_test_count = 0;

namespace {

template <class T>
bool contains(const std::vector<T*>& v, const T* x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

template <class T>
void erase_first(std::vector<T*>& v, const T* x) {
  auto it = std::find(v.begin(), v.end(), x);
  if (it != v.end()) v.erase(it);
}

template <class T>
void replace_first(std::vector<T*>& v, const T* from, T* to) {
  auto it = std::find(v.begin(), v.end(), from);
  if (it != v.end()) *it = to;
}

template <class T>
void erase_element(std::list<T>& l, const T* x) {
  for (auto it = l.begin(); it != l.end(); ++it)
    if (&*it == x) {
      l.erase(it);
      return;
    }
}

frag_conn* first_junction(const node* n) {
  return n && !n->v_frag_conn.empty() ? n->v_frag_conn[0] : nullptr;
}

}  // namespace

void edge::order_fragments() {
  if (v_node.size() < 2) return;
  frag_conn* start = first_junction(v_node[0]);
  frag_conn* target = first_junction(v_node[1]);
  if (!start || !target) return;

  std::set<f_curve*> left(v_f_curve.begin(), v_f_curve.end());
  std::vector<f_curve*> fragments;
  std::vector<frag_conn*> junctions{start};
  frag_conn* current = start;
  // Every step takes one fragment out of `left`, so the walk ends; it stops as soon
  // as it stands on the target, which a closed edge (start == target) reaches only
  // after its first step.
  for (;;) {
    bool took = false;
    bool reached = false;
    for (const frag_end& fe : current->v_frag_end) {
      if (!left.count(fe.fragment)) continue;
      left.erase(fe.fragment);
      fragments.push_back(fe.fragment);
      took = true;
      frag_conn* next = nullptr;
      for (frag_conn* j : fe.fragment->v_frag_conn)
        if (j != current && contains(v_frag_conn, j)) {
          next = j;
          break;
        }
      if (next) {
        junctions.push_back(next);
        current = next;
      }
      if (current == target) reached = true;
      if (next || reached) break;
    }
    if (reached) break;
    if (!took) return;  // no fragment leads on: not a chain to the target
  }
  v_f_curve = std::move(fragments);
  v_frag_conn = std::move(junctions);
}

void node::order_around() {
  const std::size_t n = v_edge.size();
  if (n == 0 || v_region.size() != n) return;
  for (const edge* e : v_edge)
    if (e->v_region.size() < 2) return;

  edge* e = v_edge[0];
  region* r = e->v_region[0];
  region* const stop = e->v_region[1];
  std::vector<edge*> edges{e};
  std::vector<region*> regions{r};
  while (r != stop) {
    edge* next = nullptr;
    for (edge* c : v_edge)
      if (c != e && (c->v_region[0] == r || c->v_region[1] == r)) {
        next = c;
        break;
      }
    // A region no further edge shares, or a walk longer than the fan: not a fan.
    if (!next || edges.size() == n) return;
    r = next->v_region[0] == r ? next->v_region[1] : next->v_region[0];
    edges.push_back(next);
    regions.push_back(r);
    e = next;
  }
  v_edge = std::move(edges);
  v_region = std::move(regions);
}

void region::order_boundary() {
  if (!has_boundary_loop()) return;
  const std::size_t n = v_region_edge.size();
  for (const region_edge& re : v_region_edge)
    if (!re.edge || re.edge->v_node.size() < 2) return;

  auto has_node = [](const edge* e, const node* o) { return e->v_node[0] == o || e->v_node[1] == o; };
  std::vector<bool> visited(n, false);
  std::vector<region_edge> entries;
  std::vector<node*> nodes;
  entries.reserve(n);
  nodes.reserve(n);
  while (entries.size() < n) {
    std::size_t h = 0;
    while (visited[h]) ++h;  // entries.size() < n leaves an unvisited entry
    visited[h] = true;
    const region_edge start = v_region_edge[h];
    node* const p = start.edge->v_node[0];
    node* const q = start.edge->v_node[1];
    nodes.push_back(p);
    node* o = p;
    const edge* current = start.edge;
    while (o != q) {
      std::size_t k = 0;
      while (k < n && (v_region_edge[k].edge == current || !has_node(v_region_edge[k].edge, o))) ++k;
      // A node with one boundary entry, or a loop entered twice: no loop order.
      if (k == n || visited[k]) return;
      visited[k] = true;
      const region_edge& re = v_region_edge[k];
      entries.push_back(re);
      o = re.edge->v_node[0] == o ? re.edge->v_node[1] : re.edge->v_node[0];
      nodes.push_back(o);
      current = re.edge;
    }
    entries.push_back(start);
  }
  v_region_edge = std::move(entries);
  v_node = std::move(nodes);
}

void edge::collapse(layer_graph& L) {
  if (v_f_curve.size() != 1) {
    std::cout << "the edge has to have only one frag for this collapse. Colle it before split fragment curve"
              << std::endl;
    std::cout << "at line " << 144 << " in file " << "src/graph/edge" << std::endl;
    return;
  }
  node* n0 = v_node.size() == 2 ? v_node[0] : nullptr;
  node* n1 = v_node.size() == 2 ? v_node[1] : nullptr;
  frag_conn* j0 = first_junction(n0);
  frag_conn* j1 = first_junction(n1);
  // Merging a node or junction into itself would destroy the one that stays.
  if (!j0 || !j1 || n0 == n1 || j0 == j1) {
    std::cout << "the edge has to join two distinct nodes for this collapse" << std::endl;
    return;
  }
  f_curve* f = v_f_curve[0];

  for (edge* other : n1->v_edge) {
    if (other == this) continue;
    n0->v_edge.push_back(other);
    j0->v_edge.push_back(other);
    replace_first(other->v_node, n1, n0);
    replace_first(other->v_frag_conn, j1, j0);
    for (f_curve* g : other->v_f_curve) replace_first(g->v_frag_conn, j1, j0);
  }

  erase_first(n0->v_edge, this);
  erase_first(j0->v_edge, this);
  for (frag_conn* j : v_frag_conn) {
    auto& ends = j->v_frag_end;
    ends.erase(std::remove_if(ends.begin(), ends.end(), [f](const frag_end& fe) { return fe.fragment == f; }),
               ends.end());
  }
  j0->v_frag_end.insert(j0->v_frag_end.end(), j1->v_frag_end.begin(), j1->v_frag_end.end());

  for (region* r : n1->v_region) {
    erase_first(r->v_node, n1);
    if (!contains(n0->v_region, r)) {
      n0->v_region.push_back(r);
      r->v_node.push_back(n0);
    }
  }
  for (region* r : v_region) {
    auto& re = r->v_region_edge;
    auto it = std::find_if(re.begin(), re.end(), [this](const region_edge& x) { return x.edge == this; });
    if (it != re.end()) re.erase(it);
  }

  erase_element(L.frag_conns, j1);
  erase_element(L.nodes, n1);
  erase_element(L.f_curves, f);
  erase_element(L.edges, this);  // destroys *this: nothing after
}

const frag_end* frag_end_of_edge(const std::vector<frag_end>& entries, const edge* e) {
  if (entries.empty()) return nullptr;
  for (const frag_end& fe : entries)
    if (fe.fragment && contains(fe.fragment->v_edge, e)) return &fe;
  return &entries[0];
}

const frag_end* node::frag_end_of_edge(const edge* e) const {
  const frag_conn* j = first_junction(this);
  return j ? ::frag_end_of_edge(j->v_frag_end, e) : nullptr;
}

glm::dvec2 frag_end_unit_tangent(const frag_end& fe) {
  const glm::dvec2 d = bezier_tangent(fe.fragment->v_ctrl_point, fe.end == 0 ? 0.0f : 1.0f);
  return d / glm::length(d);
}

double end_tangent_misalignment(const frag_end& a, const frag_end& b) {
  return 1.0 - std::abs(glm::dot(frag_end_unit_tangent(a), frag_end_unit_tangent(b)));
}

double weighted_mean_error(const f_curve& a, const f_curve& b, double e3, double c3) {
  const double c1 = static_cast<double>(a.v_point.size());
  const double c2 = static_cast<double>(b.v_point.size());
  return (c1 * a.mean_error + c2 * b.mean_error + c3 * e3) / (c1 + c2 + c3);
}

namespace {

bool touches_background(const node& n) {
  for (const edge* e : n.v_edge)
    if (e->on_background) return true;
  return false;
}

// Squared chord, first to last control point, of the edge's first fragment.
double chord2(const edge* e) {
  if (e->v_f_curve.empty()) return 0.0;
  const std::vector<glm::dvec2>& c = e->v_f_curve[0]->v_ctrl_point;
  if (c.empty()) return 0.0;
  const glm::dvec2 d = c.back() - c.front();
  return glm::dot(d, d);
}

node* far_node(const edge* e, const node* from) {
  if (e->v_node.size() < 2) return nullptr;
  node* other = e->v_node[0] == from ? e->v_node[1] : e->v_node[0];
  return other == from ? nullptr : other;
}

}  // namespace

bool node::is_straight_crossing() const {
  if (v_edge.size() != 4 || touches_background(*this)) return false;
  const frag_end* e[4];
  for (int k = 0; k < 4; ++k)
    if (!(e[k] = frag_end_of_edge(v_edge[k]))) return false;
  return end_tangent_misalignment(*e[1], *e[3]) + end_tangent_misalignment(*e[0], *e[2]) < 0.1;
}

node* node::find_split_crossing_partner() const {
  if (v_edge.size() != 3 || touches_background(*this)) return nullptr;
  double c2[3];
  for (int k = 0; k < 3; ++k) c2[k] = chord2(v_edge[k]);
  int s = -1;
  for (int k = 0; k < 3 && s < 0; ++k)
    if (c2[k] < c2[(k + 1) % 3] / 9 && c2[k] < c2[(k + 2) % 3] / 9) s = k;
  if (s < 0) return nullptr;
  const edge* short_edge = v_edge[s];
  node* partner = far_node(short_edge, this);
  if (!partner || partner->v_edge.size() != 3 || touches_background(*partner)) return nullptr;

  std::vector<const edge*> mine, theirs;
  for (const edge* e : v_edge)
    if (e != short_edge) mine.push_back(e);
  for (const edge* e : partner->v_edge)
    if (e != short_edge) theirs.push_back(e);
  if (mine.size() != 2 || theirs.size() != 2) return nullptr;
  for (const edge* e : theirs)
    if (!(chord2(e) > 9 * c2[s])) return nullptr;

  const frag_end* a1 = frag_end_of_edge(mine[0]);
  const frag_end* a2 = frag_end_of_edge(mine[1]);
  const frag_end* b1 = partner->frag_end_of_edge(theirs[0]);
  const frag_end* b2 = partner->frag_end_of_edge(theirs[1]);
  if (!a1 || !a2 || !b1 || !b2) return nullptr;
  const bool straight = end_tangent_misalignment(*a1, *b1) + end_tangent_misalignment(*a2, *b2) < 0.1 ||
                        end_tangent_misalignment(*a1, *b2) + end_tangent_misalignment(*a2, *b1) < 0.1;
  const bool bent = end_tangent_misalignment(*a1, *a2) > 0.1 && end_tangent_misalignment(*b1, *b2) > 0.1;
  return straight && bent ? partner : nullptr;
}

// ---- Crossing and overlap tests; they refit scratch curves and fragments.

namespace {

// One cubic through the fragments, ordered along their chain and refitted; linked to
// nothing, so the layer does not know it.
curve scratch_cubic(const std::vector<f_curve*>& fragments) {
  curve c(fragments[0], 3);
  for (std::size_t k = 1; k < fragments.size(); ++k) c.add_fragment_to_last_segment(fragments[k], 3);
  c.refit();
  return c;
}

f_curve* first_fragment(const edge* e) { return e->v_f_curve.empty() ? nullptr : e->v_f_curve[0]; }

// The first fragments of n's edges other than `skip`; empty unless there are two.
std::vector<f_curve*> other_two_fragments(const node& n, const edge* skip) {
  std::vector<f_curve*> out;
  for (const edge* e : n.v_edge)
    if (e != skip) out.push_back(first_fragment(e));
  if (out.size() != 2 || !out[0] || !out[1]) out.clear();
  return out;
}

std::string crossing_picture_path(const char* variant, int count, double now, double before) {
  std::ostringstream s;
  s << output_root << "tmp/cc/" << (current_sketch_cstr ? current_sketch_cstr : "") << variant << count << "_new_"
    << now << "_prev_" << before << "_delta " << now - before << ".svg";
  return s.str();
}

}  // namespace

bool edge::joins_better_across() const {
  if (on_background || v_node.size() < 2) return false;
  for (const node* n : v_node)
    if (n->v_edge.size() != 3) return false;
  double before = 0.0;
  double now = 0.0;
  for (const node* n : v_node) {
    const std::vector<f_curve*> pair = other_two_fragments(*n, this);
    if (pair.empty()) return false;
    before += weighted_mean_error(*pair[0], *pair[1], 0.0, 0.0);
    now += scratch_cubic(pair).mean_error;
  }
  return before + 0.75 > now;
}

bool node::crossing_join_test(layer_graph& L) const {
  if (v_edge.size() != 4 || touches_background(*this)) return false;
  f_curve* f[4];
  for (int k = 0; k < 4; ++k)
    if (!(f[k] = first_fragment(v_edge[k]))) return false;
  curve a = scratch_cubic({f[0], f[2]});
  curve b = scratch_cubic({f[1], f[3]});
  const double now = a.mean_error + b.mean_error;
  const double before = weighted_mean_error(*f[0], *f[2], 0.0, 0.0) + weighted_mean_error(*f[1], *f[3], 0.0, 0.0);
  crossing_test_count += 1;
  L.save_curves_two_highlighted_svg(crossing_picture_path("_v1_", crossing_test_count, now, before), a, b, f[0],
                                    {f[1], f[2], f[3]});
  return now < before + 2;
}

node* node::find_short_edge_partner(layer_graph& L) const {
  if (v_edge.size() != 3 || touches_background(*this)) return nullptr;
  double c2[3];
  for (int k = 0; k < 3; ++k) c2[k] = chord2(v_edge[k]);
  int s = -1;
  for (int k = 0; k < 3; ++k)
    if (c2[k] < c2[(k + 1) % 3] && c2[k] < c2[(k + 2) % 3]) s = k;
  if (s < 0) return nullptr;
  const edge* short_edge = v_edge[s];
  node* partner = far_node(short_edge, this);
  if (!partner || partner->v_edge.size() != 3 || touches_background(*partner)) return nullptr;
  const std::vector<f_curve*> mine = other_two_fragments(*this, short_edge);
  const std::vector<f_curve*> theirs = other_two_fragments(*partner, short_edge);
  if (mine.empty() || theirs.empty() || short_edge->v_f_curve.empty()) return nullptr;
  for (const edge* e : partner->v_edge)
    if (e != short_edge && !(chord2(e) > c2[s])) return nullptr;

  // The short edge's own fit, as one more (error, count) pair.
  double short_error = 0.0;
  double short_count = 0.0;
  for (const f_curve* f : short_edge->v_f_curve) {
    short_error += static_cast<double>(f->v_point.size()) * f->mean_error;
    short_count += static_cast<double>(f->v_point.size());
  }
  if (short_count > 0.0) short_error /= short_count;

  std::list<f_curve*> others(mine.begin(), mine.end());
  others.insert(others.end(), theirs.begin(), theirs.end());
  others.insert(others.end(), short_edge->v_f_curve.begin() + 1, short_edge->v_f_curve.end());
  auto through_short = [&](f_curve* from, f_curve* to) {
    std::vector<f_curve*> chain{from};
    chain.insert(chain.end(), short_edge->v_f_curve.begin(), short_edge->v_f_curve.end());
    chain.push_back(to);
    return scratch_cubic(chain);
  };

  short_edge_test_count += 1;
  bool fits[2];
  for (int p = 0; p < 2; ++p) {
    f_curve* b0 = theirs[p];
    f_curve* b1 = theirs[1 - p];
    curve c0 = through_short(mine[0], b0);
    curve c1 = through_short(mine[1], b1);
    const double now = c0.mean_error + c1.mean_error;
    const double before = weighted_mean_error(*mine[0], *b0, short_error, short_count) +
                          weighted_mean_error(*mine[1], *b1, short_error, short_count);
    L.save_curves_two_highlighted_svg(crossing_picture_path("_v2_", short_edge_test_count, now, before), c0, c1,
                                      short_edge->v_f_curve[0], others);
    fits[p] = now < before + 3;
  }
  return fits[0] != fits[1] ? partner : nullptr;
}

// ---- Merging collinear fragments at junctions of three or four.

namespace {

bool can_collapse(const edge& e) {
  if (e.v_f_curve.size() != 1 || e.v_node.size() != 2 || e.v_node[0] == e.v_node[1]) return false;
  const frag_conn* j0 = first_junction(e.v_node[0]);
  const frag_conn* j1 = first_junction(e.v_node[1]);
  return j0 && j1 && j0 != j1;
}

// Appends the lone fragment's samples to the receiver so that the receiver's end at the
// junction continues into the lone fragment; both parameter ranges are scaled by
// their share of the samples and together span [0, 1].
void append_beyond(f_curve& receiver, int receiver_end, const f_curve& lone, int lone_end) {
  const double nr = static_cast<double>(receiver.v_point.size());
  const double na = static_cast<double>(lone.v_point.size());
  const double sr = nr / (nr + na);
  const double sa = na / (nr + na);
  // Receiver's t = 1 end at the junction: it keeps [0, sr] and the newcomer follows
  // from the junction; its t = 0 end there: the newcomer comes first.
  const bool after = receiver_end != 0;
  for (double& t : receiver.v_t) t = after ? t * sr : sa + t * sr;
  for (std::size_t i = 0; i < lone.v_point.size(); ++i) {
    const double from_junction = lone_end == 0 ? lone.v_t[i] : 1.0 - lone.v_t[i];
    receiver.v_t.push_back(after ? sr + from_junction * sa : (1.0 - from_junction) * sa);
    receiver.v_point.push_back(lone.v_point[i]);
    receiver.v_weight.push_back(lone.v_weight[i]);
  }
}

bool merge_lone_fragment(layer_graph& L, const frag_end& lone, const std::vector<frag_end>& receivers) {
  f_curve* a = lone.fragment;
  if (a->v_edge.empty() || !can_collapse(*a->v_edge[0])) return false;
  for (const frag_end& r : receivers)
    if (r.fragment == a) return false;
  for (const frag_end& r : receivers) append_beyond(*r.fragment, r.end, *a, lone.end);
  a->v_edge[0]->collapse(L);
  for (const frag_end& r : receivers) r.fragment->fit_cubic();
  return true;
}

}  // namespace

bool merge_lone_fragment_3(layer_graph& L, frag_end lone, frag_end r1, frag_end r2) {
  return merge_lone_fragment(L, lone, {r1, r2});
}

bool merge_lone_fragment_4(layer_graph& L, frag_end lone, frag_end r1, frag_end r2, frag_end r3) {
  return merge_lone_fragment(L, lone, {r1, r2, r3});
}

void layer_graph::merge_collinear_fragments() {
  for (;;) {
    bool merged = false;
    for (frag_conn& j : frag_conns) {
      const std::vector<frag_end>& ends = j.v_frag_end;
      const std::size_t n = ends.size();
      if (n != 3 && n != 4) continue;
      glm::vec2 d[4];
      bool fitted = true;
      for (std::size_t k = 0; k < n; ++k) {
        const std::vector<glm::dvec2>& c = ends[k].fragment->v_ctrl_point;
        if (c.size() != 4) {
          fitted = false;
          break;
        }
        const glm::dvec2 chord = ends[k].end == 0 ? c[3] - c[0] : c[0] - c[3];
        d[k] = glm::normalize(glm::vec2(chord));
      }
      if (!fitted) continue;
      bool collinear = true;
      for (std::size_t p = 0; p < n; ++p)
        for (std::size_t q = p + 1; q < n; ++q) collinear = collinear && std::abs(glm::dot(d[p], d[q])) > 0.9f;
      if (!collinear) continue;
      auto pos = [&](int p, int q) { return glm::dot(d[p], d[q]) > 0.0f; };
      int lone;
      if (n == 3) {
        lone = pos(1, 2) ? 0 : pos(2, 0) ? 1 : 2;
        int r[2], m = 0;
        for (int k = 0; k < 3; ++k)
          if (k != lone) r[m++] = k;
        merged = merge_lone_fragment_3(*this, ends[lone], ends[r[0]], ends[r[1]]);
      } else {
        if (pos(1, 2) && pos(3, 1) && pos(3, 2))
          lone = 0;
        else if (pos(1, 2) && pos(2, 0) && pos(1, 0))
          lone = 3;
        else if (pos(2, 0) && pos(3, 0) && pos(3, 2))
          lone = 1;
        else
          lone = 2;
        int r[3], m = 0;
        for (int k = 0; k < 4; ++k)
          if (k != lone) r[m++] = k;
        merged = merge_lone_fragment_4(*this, ends[lone], ends[r[0]], ends[r[1]], ends[r[2]]);
      }
      if (merged) break;  // the collapse changed the lists: scan again from the start
    }
    if (!merged) break;
  }
  for (f_curve& f : f_curves) f.fit_cubic();
}
