// Curve-level rebuilds and the editing operations that keep a network's links in step.

#include "graph/curve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <iterator>
#include <map>
#include <set>

#include "graph/bezier.h"
#include "graph/curve_network.h"
#include "graph/edge.h"
#include "graph/f_curve.h"
#include "graph/layer_graph.h"
#include "graph/nregion.h"

void curve::merge_segments() {
  if (v_segment.empty()) {
    v_segment.emplace_back();
  } else if (v_segment.size() > 1) {
    std::vector<frag_ref>& all = v_segment[0].v_frag_ref;
    for (std::size_t s = 1; s < v_segment.size(); ++s)
      all.insert(all.end(), v_segment[s].v_frag_ref.begin(), v_segment[s].v_frag_ref.end());
    v_segment.resize(1);
  }
  v_segment[0].order_fragments();
  v_segment[0].fit();
  v_point_list.clear();
}

void curve::refit() {
  mean_error = 0;
  for (curve_segment& s : v_segment) mean_error += static_cast<double>(s.fit());
  mean_error /= static_cast<double>(nb_point);
  note_curve_refitted(this);
}

void curve::refit_at_degree(int degree) {
  for (curve_segment& s : v_segment) s.degree = degree;
  refit();
}

curve::curve(f_curve* f, int degree) { add_fragment_to_last_segment(f, degree); }

void curve::append_fragment(f_curve* f) {
  v_f_curve.push_back(f);
  for (frag_conn* j : f->v_frag_conn)
    if (std::find(j->v_curve.begin(), j->v_curve.end(), this) == j->v_curve.end())
      j->v_curve.push_back(this);
  f->v_curve.push_back(this);
  nb_point += f->v_point.size();
  v_segment.emplace_back();
  v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
}

float curve::add_fragment_to_last_segment(f_curve* f, int degree) {
  v_f_curve.push_back(f);
  if (v_segment.empty()) {
    v_segment.emplace_back();
    v_segment.back().degree = degree;
  }
  v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
  nb_point += f->v_point.size();
  v_segment.back().order_fragments();
  return v_segment.back().fit();
}

namespace {

template <typename T>
bool contains(const std::vector<T*>& v, const T* x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

// Removes the first occurrence of x; nothing when absent.
template <typename T>
void remove_first(std::vector<T*>& v, const T* x) {
  auto it = std::find(v.begin(), v.end(), x);
  if (it != v.end()) v.erase(it);
}

// Replaces the first occurrence of from by to; nothing when absent.
template <typename T>
void replace_first(std::vector<T*>& v, const T* from, T* to) {
  auto it = std::find(v.begin(), v.end(), from);
  if (it != v.end()) *it = to;
}

nconnection* connection_of(const frag_conn* j) {
  return j->v_nconnection.empty() ? nullptr : j->v_nconnection[0];
}

void end_at(curve* c, nconnection* n) {
  n->v_curve.push_back(c);
  c->v_nconnection.push_back(n);
}

void unend_at(curve* c, nconnection* n) {
  remove_first(n->v_curve, c);
  remove_first(c->v_nconnection, n);
}

// A new one-fragment curve for f at the end of g.curves, linked at both of f's
// junctions and ends, taking the degree and class score of the curve f left.
void give_own_curve(curve_graph& g, f_curve* f, int degree, int class_score) {
  g.curves.emplace_back(f, degree);
  curve* c = &g.curves.back();
  c->class_score = class_score;
  f->v_curve.push_back(c);
  for (frag_conn* j : f->v_frag_conn) {
    if (!contains(j->v_curve, c)) j->v_curve.push_back(c);
    if (nconnection* n = connection_of(j)) end_at(c, n);
  }
  c->refit();
}

// The set rule for a fragment a detach has just taken from a curve.
void release_fragment(curve_graph& g, f_curve* f, int degree, int class_score) {
  auto shared = g.shared_fragments.find(f);
  if (shared == g.shared_fragments.end()) {
    give_own_curve(g, f, degree, class_score);
    return;
  }
  if (f->v_curve.size() < 2) {
    g.shared_fragments.erase(shared);
    if (f->v_curve.empty()) give_own_curve(g, f, degree, class_score);
  }
}

// Searches from both ends at once: the curves a move's undo erases are the ones its
// detach has just appended.
void erase_curve(curve_graph& g, const curve* c) {
  if (g.curves.empty()) return;
  note_curve_erased(c);
  auto front = g.curves.begin();
  auto back = std::prev(g.curves.end());
  while (true) {
    if (&*front == c) {
      g.curves.erase(front);
      return;
    }
    if (&*back == c) {
      g.curves.erase(back);
      return;
    }
    if (front == back || std::next(front) == back) return;
    ++front;
    --back;
  }
}

int first_degree(const curve& c) { return c.v_segment.empty() ? 3 : c.v_segment[0].degree; }

// Another curve of g holding exactly the fragments of c, as a set.
bool has_duplicate(const curve_graph& g, const curve* c) {
  std::vector<f_curve*> mine(c->v_f_curve);
  std::sort(mine.begin(), mine.end());
  mine.erase(std::unique(mine.begin(), mine.end()), mine.end());
  for (const curve& other : g.curves) {
    if (&other == c) continue;
    std::vector<f_curve*> theirs(other.v_f_curve);
    std::sort(theirs.begin(), theirs.end());
    theirs.erase(std::unique(theirs.begin(), theirs.end()), theirs.end());
    if (theirs == mine) return true;
  }
  return false;
}

// Unit direction in which fragment e.fragment leaves or enters its junction: the
// tangent of its own cubic at the end that meets there. Zero when it has no control
// points or no speed there.
glm::vec2 direction_at(const frag_end& e) {
  const std::vector<glm::dvec2>& p = e.fragment->v_ctrl_point;
  if (p.empty()) return glm::vec2(0, 0);
  const float t = e.end != 0 ? 1.0f : 0.0f;
  const glm::dvec2 d = bezier_tangent(p, t);
  const double len = std::sqrt(d.x * d.x + d.y * d.y);
  if (!(len > 0)) return glm::vec2(0, 0);
  return glm::vec2(static_cast<float>(d.x / len), static_cast<float>(d.y / len));
}

// +1 when the first two fragments among entries [0, last] that c does not hold run
// (anti)parallel, -1 otherwise or when there are fewer than two.
int direction_test(const curve& c, const frag_conn& j, std::size_t last) {
  const frag_end* pick[2] = {nullptr, nullptr};
  int found = 0;
  for (std::size_t i = 0; i <= last && i < j.v_frag_end.size() && found < 2; ++i)
    if (!contains(c.v_f_curve, j.v_frag_end[i].fragment)) pick[found++] = &j.v_frag_end[i];
  if (found < 2) return -1;
  const glm::vec2 d1 = direction_at(*pick[0]), d2 = direction_at(*pick[1]);
  return std::fabs(d1.x * d2.x + d1.y * d2.y) > 0.9f ? 1 : -1;
}

bool on_background(const curve& c) {
  for (const f_curve* f : c.v_f_curve)
    if (!f->v_edge.empty() && f->v_edge[0]->on_background) return true;
  return false;
}

// Sum of the fragments' own total errors.
double own_total_error(const curve& c) {
  double sum = 0;
  for (const f_curve* f : c.v_f_curve) sum += static_cast<double>(f->total_error);
  return sum;
}

// Ends of a that do not lie at a junction b reaches.
int ends_off(const curve& a, const curve& b) {
  int count = 0;
  for (const nconnection* n : a.v_nconnection)
    if (n->v_frag_conn.empty() || !contains(n->v_frag_conn[0]->v_curve, &b)) ++count;
  return count;
}

}  // namespace

void curve::add_fragment_norefit(curve_graph& g, f_curve* f) {
  g.shared_fragments.insert(f);
  if (contains(f->v_curve, this)) std::cout << std::endl;
  f->v_curve.push_back(this);
  v_f_curve.push_back(f);
  v_segment.emplace_back();
  v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
  for (frag_conn* j : f->v_frag_conn) {
    if (!contains(j->v_curve, this)) {
      // A junction new to the curve: the curve now ends there.
      j->v_curve.push_back(this);
      nconnection* n = connection_of(j);
      if (!n) {
        std::cout << "eructzlicjzmfjiqmilseukfhc,qsceh," << std::endl;
        continue;
      }
      end_at(this, n);
    } else {
      // The curve reached this junction already: it was an end and becomes inner.
      // Unlink only where the curve is listed, so the two sides stay mirrored.
      for (nconnection* n : j->v_nconnection)
        if (contains(n->v_curve, this) && contains(v_nconnection, n)) unend_at(this, n);
    }
  }
  nb_point += f->v_point.size();
}

void curve::add_fragment(curve_graph& g, f_curve* f) {
  add_fragment_norefit(g, f);
  merge_segments();
  refit();
}

namespace {

// The junction a connection was built from; null for a connection built from none.
const frag_conn* junction_of(const nconnection* n) {
  return n->v_frag_conn.empty() ? nullptr : n->v_frag_conn[0];
}

void absorb_links(curve* c, curve_graph& g, curve* d, int message_line) {
  if (!d || d == c) return;  // absorbing itself would erase the curve
  std::vector<nconnection*> ends;
  for (nconnection* n : d->v_nconnection) {
    remove_first(n->v_curve, d);
    const frag_conn* j = junction_of(n);
    if (!j || !contains(j->v_curve, c)) {
      ends.push_back(n);
    } else if (contains(n->v_curve, c)) {
      // Both end here: the junction becomes inner.
      unend_at(c, n);
    }
  }
  for (nconnection* n : c->v_nconnection) {
    remove_first(n->v_curve, c);
    const frag_conn* j = junction_of(n);
    if (!j || !contains(j->v_curve, d)) ends.push_back(n);
  }
  c->v_nconnection.clear();
  for (nconnection* n : ends) end_at(c, n);

  for (f_curve* f : d->v_f_curve) {
    if (!contains(c->v_f_curve, f)) {
      c->v_f_curve.push_back(f);
      c->v_segment.emplace_back();
      c->v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
      c->nb_point += f->v_point.size();
      replace_first(f->v_curve, d, c);
    } else {
      remove_first(f->v_curve, d);
    }
    for (frag_conn* j : f->v_frag_conn) {
      if (contains(j->v_curve, c)) {
        remove_first(j->v_curve, d);
      } else if (contains(j->v_curve, d)) {
        replace_first(j->v_curve, d, c);
      } else {
        std::cout << "strange " << message_line << " src/graph/curve" << std::endl;
        j->v_curve.push_back(c);
      }
    }
  }
  erase_curve(g, d);
}

}  // namespace

void curve::absorb(curve_graph& g, curve* d) {
  if (!d || d == this) return;
  absorb_links(this, g, d, 1008);
  merge_segments();
  refit();
}

void curve::absorb_norefit(curve_graph& g, curve* d) { absorb_links(this, g, d, 1102); }

curve* build_curve_from_chain(curve_graph& g, const std::vector<f_curve*>& chain, int degree) {
  if (chain.size() < 2) return nullptr;
  auto own_curve = [](const f_curve* f) -> curve* {
    if (f->v_curve.size() == 1 && f->v_curve[0]->v_f_curve.size() == 1) return f->v_curve[0];
    return nullptr;
  };
  std::size_t i = 0;
  while (i < chain.size() && !own_curve(chain[i])) ++i;
  if (i == chain.size()) return nullptr;
  curve* c = own_curve(chain[i]);
  auto take = [&](f_curve* f) {
    if (curve* single = own_curve(f)) {
      // A fragment listed twice in the chain would absorb the curve into itself.
      if (single != c) c->absorb_norefit(g, single);
    } else {
      c->add_fragment_norefit(g, f);
    }
  };
  return grow_over_chain(c, chain, i, degree, take);
}

namespace {

// Modes 1 and 2 of curve::detach, for a curve holding at least two fragments.
void detach_end_fragment(curve* c, curve_graph& g, int mode) {
  if (c->v_segment.empty() || c->v_segment[0].v_frag_ref.empty()) return;
  std::vector<frag_ref>& refs = c->v_segment[0].v_frag_ref;
  const std::size_t k = mode == 1 ? 0 : refs.size() - 1;
  f_curve* f = refs[k].fragment;
  const std::vector<frag_conn*>& js = f->v_frag_conn;
  frag_conn* j0 = js.empty() ? nullptr : js[0];
  frag_conn* j1 = js.size() > 1 ? js[1] : j0;
  // Junction [1] is inner when the curve goes on from there through another fragment.
  bool inner_1 = false;
  if (j1)
    for (const frag_end& e : j1->v_frag_end)
      inner_1 = inner_1 || (e.fragment != f && contains(c->v_f_curve, e.fragment));
  frag_conn* outer = inner_1 ? j0 : j1;
  frag_conn* inner = inner_1 ? j1 : j0;

  if (outer) {
    if (nconnection* n = connection_of(outer)) unend_at(c, n);
    remove_first(outer->v_curve, c);
  }
  remove_first(f->v_curve, c);
  remove_first(c->v_f_curve, f);
  release_fragment(g, f, first_degree(*c), c->class_score);
  c->nb_point -= f->v_point.size();
  refs.erase(refs.begin() + static_cast<std::ptrdiff_t>(k));
  if (inner)
    if (nconnection* n = connection_of(inner)) end_at(c, n);
  for (curve_segment& s : c->v_segment) s.order_fragments();
  c->refit();
}

}  // namespace

void curve::detach(curve_graph& g, int mode) {
  if (mode != 0 && v_f_curve.size() >= 2) {
    detach_end_fragment(this, g, mode);
    return;
  }
  for (nconnection* n : v_nconnection) remove_first(n->v_curve, this);
  const int degree = first_degree(*this);
  for (f_curve* f : v_f_curve) {
    remove_first(f->v_curve, this);
    for (frag_conn* j : f->v_frag_conn) remove_first(j->v_curve, this);
    release_fragment(g, f, degree, class_score);
  }
  erase_curve(g, this);  // destroys this curve: touch no member below
}

int curve::classify_junctions() {
  if (on_background(*this)) {
    class_score = -1;
    return -1;
  }
  std::set<const frag_conn*> ends, through;
  for (const f_curve* f : v_f_curve) {
    for (const frag_conn* j : f->v_frag_conn) {
      const nconnection* n = connection_of(j);
      if (n && contains(n->v_curve, this)) ends.insert(j);
      else through.insert(j);
    }
  }
  int score = 0;
  std::map<const curve*, int> crossing;  // curves holding the other strokes at a T
  for (const frag_conn* j : through) {
    if (j->v_frag_end.size() == 3) {
      for (const frag_end& e : j->v_frag_end)
        if (!contains(v_f_curve, e.fragment))
          for (const curve* other : e.fragment->v_curve) ++crossing[other];
    } else if (j->v_frag_end.size() == 4) {
      score += j->v_curve.size() == 2 ? 1 : direction_test(*this, *j, 3);
    }
  }
  for (const auto& counted : crossing) score += counted.second == 1 ? -1 : 1;
  for (const frag_conn* j : ends) {
    if (j->v_frag_end.size() == 3)
      score += j->v_curve.size() == 2 ? 1 : direction_test(*this, *j, 2);
    else if (j->v_frag_end.size() == 2 && j->v_curve.size() == 2)
      score -= 1;
  }
  class_score = score;
  return score;
}

std::uint64_t curve::push_fragment_cubic(f_curve* f) {
  v_f_curve.push_back(f);
  if (v_segment.empty()) v_segment.emplace_back();
  v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
  nb_point += f->v_point.size();
  return f->v_point.size();
}

curve::curve(const curve& a, const curve& b)
    : v_f_curve(a.v_f_curve), v_segment(a.v_segment), nb_point(a.nb_point), class_score(a.class_score) {
  for (f_curve* f : b.v_f_curve) {
    if (contains(v_f_curve, f)) continue;
    v_f_curve.push_back(f);
    v_segment.emplace_back();
    v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
    nb_point += f->v_point.size();
  }
  merge_segments();
  refit();
}

curve::curve(const curve& a, f_curve* f)
    : v_f_curve(a.v_f_curve), v_segment(a.v_segment), nb_point(a.nb_point), class_score(a.class_score) {
  if (!contains(v_f_curve, f)) {
    v_f_curve.push_back(f);
    v_segment.emplace_back();
    v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
    nb_point += f->v_point.size();
  }
  merge_segments();
  refit();
}

double curve::detach_if_cheaper(curve_graph& g, double threshold, double mu, int mode) {
  const double n = static_cast<double>(nb_point);
  double after = 0;
  if (mode == 0 || v_f_curve.size() < 2) {
    int shared = 0;
    for (const f_curve* f : v_f_curve) shared += f->v_curve.size() > 1;
    after = own_total_error(*this) / n - mu * shared;
  } else {
    if (v_segment.empty() || v_segment[0].v_frag_ref.empty()) return 0;
    const std::vector<frag_ref>& refs = v_segment[0].v_frag_ref;
    const std::size_t k = mode == 1 ? 0 : refs.size() - 1;
    f_curve* f = refs[k].fragment;
    curve rest;
    rest.v_segment = v_segment;
    rest.v_segment[0].v_frag_ref.erase(rest.v_segment[0].v_frag_ref.begin() +
                                       static_cast<std::ptrdiff_t>(k));
    for (curve_segment& s : rest.v_segment) s.order_fragments();
    double fits = 0;
    for (curve_segment& s : rest.v_segment) fits += static_cast<double>(s.fit());
    after = (fits + static_cast<double>(f->total_error)) / n;
    if (f->v_curve.size() > 1) after -= mu;
  }
  const double change = after - mean_error;
  if (change < threshold) {
    detach(g, mode);
    return change;
  }
  return 0;
}

double curve::try_absorb(layer_graph& lg, curve* b, double threshold, double mu, bool& duplicate) {
  const curve trial(*this, *b);
  int shared = 0;
  for (const f_curve* f : b->v_f_curve) shared += contains(v_f_curve, f);
  const double change =
      trial.mean_error - own_total_error(trial) / static_cast<double>(trial.nb_point) - mu * shared;
  if (ends_off(*this, *b) + ends_off(*b, *this) == 2 && change < threshold) {
    absorb_checked(lg, b, duplicate);
    return change;
  }
  return 0;
}

double curve::try_add_fragment(layer_graph& lg, f_curve* f, double threshold, double mu,
                               bool& duplicate) {
  const curve trial(*this, f);
  const double change =
      trial.mean_error - own_total_error(trial) / static_cast<double>(trial.nb_point) + mu;
  if (change < threshold) {
    add_fragment_checked(lg, f, duplicate);
    return change;
  }
  return 0;
}

void curve::absorb_checked(curve_graph& g, curve* d, bool& duplicate) {
  if (!d || d == this) return;
  absorb_links(this, g, d, 750);
  merge_segments();
  refit();
  duplicate = has_duplicate(g, this);
}

void curve::add_fragment_checked(curve_graph& g, f_curve* f, bool& duplicate) {
  add_fragment(g, f);
  duplicate = has_duplicate(g, this);
}

void curve::classify_background() { class_score = on_background(*this) ? -1 : 0; }
