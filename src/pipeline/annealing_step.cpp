// One annealing iteration: pick a layer, a curve, a move and its arguments, at the
// temperature of iteration k; the move keeps or undoes its change by the threshold.

#include <algorithm>
#include <cmath>
#include <iostream>
#include <iterator>
#include <set>

#include "graph/curve_network.h"
#include "pipeline/recuit.h"
#include "pipeline/view_settings.h"

bool split_constraint_allows(f_curve* x, const curve& c) {
  if (!main_gl_widget) return true;
  const std::set<f_curve*>& apart = main_gl_widget->must_split[x];
  if (apart.empty()) return true;
  for (f_curve* g : c.v_f_curve)
    if (apart.count(g)) return false;
  return true;
}

curve* merge_partner(const nconnection& K, const curve* C, int draw) {
  const std::size_t n = K.v_curve.size();
  if (n <= 1 || draw < 0) return nullptr;
  std::size_t i = static_cast<std::size_t>(draw) % (n - 1);
  for (std::size_t q = 0; q <= i; ++q) {
    if (K.v_curve[q] == C) {
      ++i;
      break;
    }
  }
  curve* D = K.v_curve[i];
  return D == C ? nullptr : D;
}

double acceptance_threshold(double u, float T) {
  const double theta = u == 0.0 ? 1000.0 : -static_cast<double>(T) * std::log(u);
  return std::min(1000.0, theta);
}

void recuit::print_progress(std::uint64_t k, const double* progress_scale, const float* T,
                            const float* E) {
  std::cout << "\r";
  if (static_cast<double>(k) < 0.1) std::cout << " ";
  std::cout << static_cast<double>(k) * *progress_scale << " " << *T << " " << *E
            << "         " << std::flush;
}

namespace {

// Every fragment of `of` may share a curve with `c` (the view's must-split pairs).
bool curve_joins_allowed(const curve& of, const curve& c) {
  for (f_curve* g : of.v_f_curve)
    if (!split_constraint_allows(g, c)) return false;
  return true;
}

bool holds(const f_curve* f, const curve* c) {
  return std::find(f->v_curve.begin(), f->v_curve.end(), c) != f->v_curve.end();
}

}  // namespace

template <bool interactive>
void recuit::iterate() {
  if (!network) return;

  // Layer, with probability proportional to its fragment count. Without any fragment
  // no entry exceeds the draw and the network stays as it is.
  const int r = fragment_dist(gen);
  auto layer_it = network->begin();
  std::size_t li = 0;
  while (li < cumulative_fcurves.size() && layer_it != network->end() &&
         r >= cumulative_fcurves[li]) {
    ++li;
    ++layer_it;
  }
  if (li == cumulative_fcurves.size() || layer_it == network->end()) return;
  layer_graph& L = *layer_it;

  T = Ti * std::pow(dt, static_cast<float>(k));
  if (!energy_is_current) E = network->energy(lambda, mu);

  const double threshold = acceptance_threshold(unit_dist(gen), T);

  const std::size_t nb_fragments = L.f_curves.size();
  if (nb_fragments == 0) return;
  if (nb_fragments == 1) {
    const int d = degree_dist(gen);
    if (!L.curves.empty())
      L.curves.front().move_change_degree(d, *network, &E, threshold, lambda, mu);
    return;
  }

  // A set-up with fewer than 100 iterations (or a loaded state) may hold 0.
  const int interval = print_interval > 0 ? print_interval : 1;
  if (k % interval == 0) print_progress(static_cast<std::uint64_t>(k), &progress_scale, &T, &E);

  const int m = move_dist(gen);

  // Curve pick: any curve of L in the batch form; in the interactive form only the
  // curves that are not frozen, each equally likely.
  const std::set<curve*>* frozen =
      interactive && main_gl_widget ? &main_gl_widget->fixed_curves : nullptr;
  auto is_frozen = [frozen](curve* c) { return frozen && frozen->count(c) != 0; };
  curve* C = nullptr;
  if (interactive) {
    std::size_t free_curves = 0;
    for (curve& c : L.curves)
      if (!is_frozen(&c)) ++free_curves;
    if (free_curves == 0) return;
    std::size_t i = static_cast<std::size_t>(fragment_dist(gen)) % free_curves;
    for (curve& c : L.curves) {
      if (is_frozen(&c)) continue;
      if (i == 0) {
        C = &c;
        break;
      }
      --i;
    }
  } else {
    if (L.curves.empty()) return;
    const std::size_t n = L.curves.size();
    const std::size_t i = static_cast<std::size_t>(fragment_dist(gen)) % n;
    // Walked from the nearer end of the list.
    C = i < n / 2 ? &*std::next(L.curves.begin(), static_cast<std::ptrdiff_t>(i))
                  : &*std::prev(L.curves.end(), static_cast<std::ptrdiff_t>(n - i));
  }

  if (m == 0 && C->v_f_curve.size() >= 2) {
    const int i = static_cast<int>(static_cast<std::size_t>(fragment_dist(gen)) %
                                   C->v_f_curve.size());
    if (interactive)
      C->move_split_gui(*network, L, &E, threshold, lambda, mu, i);
    else
      C->move_split(*network, L, &E, threshold, lambda, mu, i);
    return;
  }
  if (m == 3) {
    const int d = degree_dist(gen);
    C->move_change_degree(d, *network, &E, threshold, lambda, mu);
    return;
  }

  // One end of C: extension or bridge (m = 1), merge (m = 2, or a split of a
  // one-fragment curve).
  if (C->v_nconnection.empty()) return;
  const std::size_t j = static_cast<std::size_t>(end_dist(gen)) % C->v_nconnection.size();
  nconnection* K = C->v_nconnection[j];
  if (K->v_frag_conn.empty()) return;
  frag_conn* J = K->v_frag_conn[0];
  if (J->v_frag_end.size() <= 1) return;  // a free end

  if (m == 1) {
    std::size_t candidates = 0;
    for (const frag_end& fe : J->v_frag_end)
      if (!holds(fe.fragment, C)) ++candidates;
    if (candidates == 0) return;
    std::size_t pick = static_cast<std::size_t>(fragment_dist(gen)) % candidates;
    f_curve* H = nullptr;
    for (const frag_end& fe : J->v_frag_end) {
      if (holds(fe.fragment, C)) continue;
      if (pick == 0) {
        H = fe.fragment;
        break;
      }
      --pick;
    }
    if (interactive && !split_constraint_allows(H, *C)) return;
    const int p = move_dist(gen);
    const bool bridge = p % 2 == 1 && H->v_frag_conn.size() == 2 &&
                        H->v_frag_conn[0]->v_frag_end.size() == 3 &&
                        H->v_frag_conn[1]->v_frag_end.size() == 3 && H->v_curve.size() == 1;
    if (!bridge) {
      C->move_extend(*network, L, H, &E, threshold, lambda, mu);
      return;
    }
    frag_conn* far = H->v_frag_conn[0] != J ? H->v_frag_conn[0] : H->v_frag_conn[1];
    curve* N = nullptr;
    if (!far->v_curve.empty()) N = far->v_curve[0];
    if (N == H->v_curve[0]) N = far->v_curve.size() >= 2 ? far->v_curve[1] : nullptr;
    if (!N) return;  // only H's own curve reaches the far junction
    if (interactive &&
        (is_frozen(N) || !split_constraint_allows(H, *N) || !curve_joins_allowed(*N, *C)))
      return;
    C->move_bridge(*network, L, H, N, &E, threshold, lambda, mu);
    return;
  }

  // Merge with another curve ending at K.
  if (K->v_curve.size() <= 1) return;
  curve* D = merge_partner(*K, C, fragment_dist(gen));
  if (!D) return;
  if (interactive && (is_frozen(D) || !curve_joins_allowed(*D, *C))) return;
  C->move_merge(*network, L, D, &E, threshold, lambda, mu);
}

void recuit::step() { iterate<true>(); }

void recuit::step_batch() { iterate<false>(); }
