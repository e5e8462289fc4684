// The annealing moves. Each one edits the network with the curve-editing operations,
// prices the whole network, and either keeps the change or undoes it.
//
// Undoing a structural move dissolves the changed curve and rebuilds the old chains.
// The rebuild only takes over the one-fragment curves that this move's own detaches
// made: a one-fragment curve that existed before the move (a fragment shared with its
// own curve after a bridge, say) is not swallowed, a chain whose fragments all have
// other holders is rebuilt as a new record, and a one-fragment chain gets its old
// degree back. Otherwise an undone move could drop curves or change degrees.
//
// The curves a move makes, kept or undone, take the degree of the curve they come from,
// or the nearest one the view allows when the user has unticked that degree since.

#include "graph/curve_moves.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iostream>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "graph/curve_network.h"
#include "graph/f_curve.h"
#include "graph/layer_graph.h"
#include "graph/nregion.h"
#include "pipeline/allowed_degrees.h"
#include "pipeline/view_settings.h"

bool move_stands(float e_new, float e, double threshold) {
  return static_cast<double>(e_new - e) <= threshold;
}

namespace {

template <typename T>
bool contains(const std::vector<T*>& v, const T* x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

bool holds(const curve& c, const f_curve* f) { return contains(c.v_f_curve, f); }

bool lists(const frag_conn* j, const curve* c) { return contains(j->v_curve, c); }

nconnection* connection_of(const frag_conn* j) {
  return j->v_nconnection.empty() ? nullptr : j->v_nconnection[0];
}

int first_degree(const curve& c) { return c.v_segment.empty() ? 3 : c.v_segment[0].degree; }

// The degree for what a move makes out of c: c's own, or the nearest the view allows.
// c's first segment takes it too, so that the edits that follow (which keep the first
// segment's degree, or give it to the one-fragment curves of a detach) make it.
int make_at_allowed_degree(curve& c) {
  const int d = allowed_degree_for(first_degree(c));
  if (!c.v_segment.empty()) c.v_segment[0].degree = d;
  return d;
}

// The distinct connections among a few curve ends and junctions, without allocating.
// Past its capacity it counts every further connection as new.
class connection_set {
 public:
  void add(const nconnection* n) {
    if (!n) return;
    for (std::size_t i = 0; i < stored_; ++i)
      if (items_[i] == n) return;
    if (stored_ < items_.size()) items_[stored_++] = n;
    ++size_;
  }
  void add_ends(const curve& c) {
    for (const nconnection* n : c.v_nconnection) add(n);
  }
  void add_junctions(const f_curve& f) {
    for (const frag_conn* j : f.v_frag_conn) add(connection_of(j));
  }
  std::size_t size() const { return size_; }

 private:
  std::array<const nconnection*, 16> items_{};
  std::size_t stored_ = 0;
  std::size_t size_ = 0;
};

// Buffers reused from move to move, so that a move allocates nothing of its own once
// they have grown. The moves never nest.
struct move_scratch {
  std::vector<f_curve*> chain_a;  // first part of a split; the curve's saved chain
  std::vector<f_curve*> chain_b;  // second part of a split; the other curve's saved chain
  std::vector<curve*> made;       // one-fragment curves this move's detaches made
  // Touched fragments and whether they were in shared_fragments before the move.
  std::vector<std::pair<f_curve*, bool>> shared_before;

  void clear() {
    chain_a.clear();
    chain_b.clear();
    made.clear();
    shared_before.clear();
  }

  void note_shared(const curve_graph& g, const std::vector<f_curve*>& fragments) {
    for (f_curve* f : fragments) note_shared(g, f);
  }
  void note_shared(const curve_graph& g, f_curve* f) {
    shared_before.emplace_back(f, g.shared_fragments.count(f) != 0);
  }
  // Puts the noted fragments' membership back as it was. Only an entry left in the set
  // by an earlier absorb (a fragment in the set with one holder) changes here.
  void restore_shared(curve_graph& g) const {
    for (const auto& entry : shared_before) {
      const bool now = g.shared_fragments.count(entry.first) != 0;
      if (entry.second && !now) g.shared_fragments.insert(entry.first);
      if (!entry.second && now) g.shared_fragments.erase(entry.first);
    }
  }
};

thread_local move_scratch scratch;

thread_local unsigned long long undone_moves = 0;

// Prices the network; on success E takes the new energy.
bool price(curve_network& net, float* E, double threshold, double lambda, double mu) {
  const float e_new = net.energy(static_cast<float>(lambda), static_cast<float>(mu));
  if (!move_stands(e_new, *E, threshold)) {
    ++undone_moves;
    return false;
  }
  *E = e_new;
  return true;
}

// Detaches c (mode 0, which destroys it) and records the one-fragment curves the detach
// appended to g.curves for fragments c held alone.
void detach_recording(curve_graph& g, curve* c, std::vector<curve*>& made) {
  const std::size_t before = g.curves.size();
  c->detach(g, 0);
  std::size_t fresh = g.curves.size() + 1 - before;
  auto it = g.curves.end();
  while (fresh-- > 0) made.push_back(&*--it);
}

curve* made_holder(const f_curve* f, const std::vector<curve*>& made) {
  for (curve* h : f->v_curve)
    if (contains(made, h)) return h;
  return nullptr;
}

void forget(std::vector<curve*>& made, const curve* h) {
  made.erase(std::find(made.begin(), made.end(), h));
}

// One curve of `degree` holding chain, grown from the first fragment whose curve is in
// `made` as build_curve_from_chain grows it: the made curves of the other fragments are
// absorbed (and leave `made`), the other fragments added, and so shared. When no
// fragment has a made curve: null with create false, else a new record with the given
// class score. A one-fragment chain is one curve of `degree` too.
curve* rebuild_chain(curve_graph& g, const std::vector<f_curve*>& chain, int degree,
                     int class_score, std::vector<curve*>& made, bool create) {
  if (chain.empty()) return nullptr;
  std::size_t i = 0;
  curve* c = nullptr;
  for (; i < chain.size(); ++i)
    if ((c = made_holder(chain[i], made))) break;
  if (c) {
    forget(made, c);
  } else {
    if (!create) return nullptr;
    g.curves.emplace_back();
    c = &g.curves.back();
    c->class_score = class_score;
    i = 0;
    c->add_fragment_norefit(g, chain[0]);
  }
  auto take = [&](f_curve* f) {
    if (curve* h = made_holder(f, made)) {
      forget(made, h);
      c->absorb_norefit(g, h);
    } else {
      c->add_fragment_norefit(g, f);
    }
  };
  return grow_over_chain(c, chain, i, degree, take);
}

// Steps shared by both split forms once the split is allowed: dissolve c, rebuild the
// parts, test, and on rejection rebuild the whole chain.
void split_and_test(curve* c, curve_network& net, curve_graph& g, float* E, double threshold,
                    double lambda, double mu, int k) {
  const int d = make_at_allowed_degree(*c);  // c is dissolved next: no refit
  const int score = c->class_score;
  move_scratch& s = scratch;
  s.clear();
  if (k == 0) {
    s.chain_a.assign(c->v_f_curve.begin(), c->v_f_curve.end());
  } else {
    const std::vector<frag_ref>& refs = c->v_segment[0].v_frag_ref;
    const std::size_t cut = std::min(static_cast<std::size_t>(k), refs.size());
    for (std::size_t i = 0; i < refs.size(); ++i)
      (i < cut ? s.chain_a : s.chain_b).push_back(refs[i].fragment);
  }
  s.note_shared(g, c->v_f_curve);

  detach_recording(g, c, s.made);
  curve* c1 = nullptr;
  curve* c2 = nullptr;
  if (k != 0) {
    if (s.chain_a.size() > 1) c1 = rebuild_chain(g, s.chain_a, d, score, s.made, false);
    if (s.chain_b.size() > 1) c2 = rebuild_chain(g, s.chain_b, d, score, s.made, false);
  }
  if (price(net, E, threshold, lambda, mu)) return;

  if (c1) detach_recording(g, c1, s.made);
  if (c2) detach_recording(g, c2, s.made);
  s.chain_a.insert(s.chain_a.end(), s.chain_b.begin(), s.chain_b.end());
  rebuild_chain(g, s.chain_a, d, score, s.made, true);
  s.restore_shared(g);
}

bool has_single_holder(const curve& c) {
  for (const f_curve* f : c.v_f_curve)
    if (f->v_curve.size() == 1) return true;
  return false;
}

}  // namespace

unsigned long long undone_move_count() { return undone_moves; }

void curve::move_change_degree(int d, curve_network& net, float* E, double threshold,
                               double lambda, double mu) {
  if (d < 1 || d > 3 || v_segment.empty()) return;  // degree 0 would weigh nothing
  if (main_gl_widget && main_gl_widget->allowed_degree[d] == 0) return;
  const int old = v_segment[0].degree;
  if (old == d) return;
  v_segment[0].degree = d;
  refit();
  if (price(net, E, threshold, lambda, mu)) return;
  v_segment[0].degree = old;
  refit();
}

void curve::move_split(curve_network& net, layer_graph& lg, float* E, double threshold,
                       double lambda, double mu, int k) {
  if (v_f_curve.size() < 2 || v_segment.empty() || k < 0) return;
  if (!has_single_holder(*this)) {
    // Its fragments stay covered by their other curves: no need to price the choice.
    detach(lg, 0);  // destroys this curve
    *E = net.energy(static_cast<float>(lambda), static_cast<float>(mu));
    return;
  }
  split_and_test(this, net, lg, E, threshold, lambda, mu, k);
}

void curve::move_split_gui(curve_network& net, layer_graph& lg, float* E, double threshold,
                           double lambda, double mu, int k) {
  if (!main_gl_widget) {
    move_split(net, lg, E, threshold, lambda, mu, k);
    return;
  }
  if (v_f_curve.size() < 2 || v_segment.empty() || k < 0) return;
  std::map<f_curve*, std::set<f_curve*>>& must_merge = main_gl_widget->must_merge;
  // Every fragment is looked up, so each gets its (possibly empty) entry.
  bool constrained = false;
  for (f_curve* f : v_f_curve)
    for (f_curve* partner : must_merge[f]) constrained = constrained || holds(*this, partner);

  if (!constrained && !has_single_holder(*this)) {
    detach(lg, 0);  // destroys this curve
    *E = net.energy(static_cast<float>(lambda), static_cast<float>(mu));
    return;
  }
  if (constrained) {
    if (k == 0) return;
    const std::vector<frag_ref>& refs = v_segment[0].v_frag_ref;
    const std::size_t cut = std::min(static_cast<std::size_t>(k), refs.size());
    auto part_of = [&](const f_curve* f) -> int {  // 0: first part, 1: second, -1: neither
      for (std::size_t i = 0; i < refs.size(); ++i)
        if (refs[i].fragment == f) return i < cut ? 0 : 1;
      return -1;
    };
    for (f_curve* f : v_f_curve) {
      if (part_of(f) != 0) continue;
      for (f_curve* partner : must_merge[f])
        if (holds(*this, partner) && part_of(partner) == 1) return;
    }
  }
  split_and_test(this, net, lg, E, threshold, lambda, mu, k);
}

void curve::move_extend(curve_network& net, layer_graph& lg, f_curve* h, float* E,
                        double threshold, double lambda, double mu) {
  if (!h || holds(*this, h) || v_segment.empty()) return;
  connection_set ends;
  ends.add_ends(*this);
  ends.add_junctions(*h);
  if (ends.size() == 2) return;  // h would close the curve into a loop
  int count = 0;
  for (const frag_conn* j : h->v_frag_conn)
    if (lists(j, this)) ++count;
  if (count != 1) return;

  curve* own = h->v_curve.size() == 1 && h->v_curve[0]->v_f_curve.size() == 1 ? h->v_curve[0]
                                                                              : nullptr;
  // Absorbing would erase a curve the user froze (and leave the view a dangling pointer).
  if (own && frozen_in_view(own)) return;

  curve_graph& g = lg;
  move_scratch& s = scratch;
  s.clear();
  s.chain_a.assign(v_f_curve.begin(), v_f_curve.end());
  s.note_shared(g, v_f_curve);
  s.note_shared(g, h);
  const int d = make_at_allowed_degree(*this);  // absorb and add_fragment refit
  const int score = class_score;
  const bool absorbed = own != nullptr;
  const int own_degree = absorbed ? allowed_degree_for(first_degree(*own)) : 0;
  if (absorbed) {
    absorb(g, own);  // erases own
  } else {
    add_fragment(g, h);
  }
  if (price(net, E, threshold, lambda, mu)) return;

  const std::vector<frag_ref>& refs = v_segment[0].v_frag_ref;
  if (!refs.empty() && refs.front().fragment == h) {
    detach(g, 1);
  } else if (!refs.empty() && refs.back().fragment == h) {
    detach(g, 2);
  } else {
    std::cout << "zeofyhazcmhzfihzaphazhacze" << std::endl;
    // Rebuild the old chain rather than leave it dissolved.
    detach_recording(g, this, s.made);  // destroys this curve
    rebuild_chain(g, s.chain_a, d, score, s.made, true);
  }
  // h's curve is back as a one-fragment curve; give it its own degree again.
  if (absorbed && h->v_curve.size() == 1 && !h->v_curve[0]->v_segment.empty()) {
    curve* back = h->v_curve[0];
    if (back->v_segment[0].degree != own_degree) {
      back->v_segment[0].degree = own_degree;
      back->refit();
    }
  }
  s.restore_shared(g);
}

void curve::move_merge(curve_network& net, layer_graph& lg, curve* d, float* E,
                       double threshold, double lambda, double mu) {
  if (!d || d == this) return;
  connection_set ends;
  ends.add_ends(*this);
  ends.add_ends(*d);
  if (ends.size() == 2) return;  // the two share both ends
  if (ends.size() != 3) {
    std::cout << "bad fco size: " << ends.size() << " " << v_nconnection.size() << " "
              << d->v_nconnection.size() << std::endl;
    return;
  }
  // Junctions per fragment listing the other curve: 2 when they meet at one end only.
  int count = 0;
  for (const f_curve* f : v_f_curve)
    for (const frag_conn* j : f->v_frag_conn)
      if (lists(j, d)) ++count;
  for (const f_curve* f : d->v_f_curve)
    for (const frag_conn* j : f->v_frag_conn)
      if (lists(j, this)) ++count;
  if (count != 2) return;

  curve_graph& g = lg;
  move_scratch& s = scratch;
  s.clear();
  s.chain_a.assign(v_f_curve.begin(), v_f_curve.end());
  s.chain_b.assign(d->v_f_curve.begin(), d->v_f_curve.end());
  s.note_shared(g, s.chain_a);
  s.note_shared(g, s.chain_b);
  const int dd = allowed_degree_for(first_degree(*d));
  const int dc = make_at_allowed_degree(*this);  // absorb refits
  absorb(g, d);
  if (price(net, E, threshold, lambda, mu)) return;

  const int score = class_score;
  detach_recording(g, this, s.made);  // destroys this curve
  rebuild_chain(g, s.chain_a, dc, score, s.made, true);
  rebuild_chain(g, s.chain_b, dd, score, s.made, true);
  s.restore_shared(g);
}

void curve::move_bridge(curve_network& net, layer_graph& lg, f_curve* h, curve* n, float* E,
                        double threshold, double lambda, double mu) {
  if (!h || !n || n == this || holds(*this, h) || holds(*n, h)) return;
  connection_set ends;
  ends.add_ends(*this);
  ends.add_ends(*n);
  ends.add_junctions(*h);
  if (ends.size() != 4) return;
  int count = 0;
  for (const frag_conn* j : h->v_frag_conn) {
    if (lists(j, this)) ++count;
    if (lists(j, n)) ++count;
  }
  if (count != 2) return;
  // Curves that touch would be joined at more than the bridge.
  for (const f_curve* f : v_f_curve)
    for (const frag_conn* j : f->v_frag_conn)
      if (lists(j, n)) return;
  for (const f_curve* f : n->v_f_curve)
    for (const frag_conn* j : f->v_frag_conn)
      if (lists(j, this)) return;

  curve_graph& g = lg;
  move_scratch& s = scratch;
  s.clear();
  s.chain_a.assign(v_f_curve.begin(), v_f_curve.end());
  s.chain_b.assign(n->v_f_curve.begin(), n->v_f_curve.end());
  s.note_shared(g, s.chain_a);
  s.note_shared(g, s.chain_b);
  s.note_shared(g, h);
  const int dn = allowed_degree_for(first_degree(*n));
  const int dc = make_at_allowed_degree(*this);  // add_fragment refits
  add_fragment(g, h);
  absorb(g, n);
  if (price(net, E, threshold, lambda, mu)) return;

  const int score = class_score;
  detach_recording(g, this, s.made);  // destroys this curve
  rebuild_chain(g, s.chain_a, dc, score, s.made, true);
  rebuild_chain(g, s.chain_b, dn, score, s.made, true);
  s.restore_shared(g);
}
