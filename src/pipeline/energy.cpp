#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <limits>
#include <vector>

#include "graph/curve_network.h"
#include "pipeline/view_settings.h"

namespace {

// Degree weights for one evaluation; the view's penalty is read once, so a change from
// the GUI thread cannot mix two penalties in one energy.
struct degree_weights {
  const view_settings* view = main_gl_widget;
  float penalty = view ? view->degree_penalty : 0.0f;
  float table[4];

  degree_weights() {
    for (int d = 0; d < 4; ++d) table[d] = weight(d);
  }
  float weight(int d) const {
    if (view) return static_cast<float>(static_cast<float>(d - 1) * penalty + 1.0);
    switch (d) {
      case 1: return 1.0f;
      case 2: return 1.3333334f;
      case 3: return 1.6666666f;
      default: return 0.0f;
    }
  }
  float of_degree(int d) const { return d >= 0 && d < 4 ? table[d] : weight(d); }
  float of(const curve& c) const { return c.v_segment.empty() ? 0 : of_degree(c.v_segment[0].degree); }
};

// The energy from the two curve sums, with the shared-fragment price of every layer.
float energy_of_sums(const curve_network& net, float lambda, float mu, float sum_weight, float sum_fit) {
  float shared = 0;
  for (const layer_graph& L : net) shared += static_cast<float>(L.shared_fragments.size());
  return (shared * mu + sum_weight) * lambda + (1 - lambda) * sum_fit;
}

// fit_error(c) gives the curve's fit error; report says whether a non-finite one is
// announced.
template <class FitError>
float network_energy(const curve_network& net, float lambda, float mu, bool report,
                     FitError fit_error) {
  if (net.empty()) return 0;
  float sum_fit = 0;
  float sum_weight = 0;
  const degree_weights w;
  for (const layer_graph& L : net) {
    for (const curve& c : L.curves) {
      const float f = static_cast<float>(fit_error(c));
      if (std::isfinite(f)) {
        sum_fit += f;
      } else if (report) {
        std::cout << "non finite" << std::endl;
      }
      sum_weight += w.of(c);
    }
  }
  return energy_of_sums(net, lambda, mu, sum_weight, sum_fit);
}

thread_local energy_tracking::state* active_tracking = nullptr;

constexpr int no_segment = std::numeric_limits<int>::min();

int first_degree_or_none(const curve& c) { return c.v_segment.empty() ? no_segment : c.v_segment[0].degree; }

// As degree_weights::of for a curve of degree d (no_segment: a curve without segment).
float degree_weight(const degree_weights& w, int d) { return d == no_segment ? 0 : w.of_degree(d); }

}  // namespace

// The terms of every curve in network order (layers in list order, then curves in list
// order) with the running sums up to each, as the full evaluation forms them.
struct energy_tracking::state {
  explicit state(const curve_network* n) : network(n) {}

  const curve_network* network;
  bool valid = false;
  const view_settings* view = nullptr;
  float penalty = 0;
  std::vector<const curve*> order;
  std::vector<int> degree;        // of the first segment; no_segment without one
  std::vector<float> fit;         // mean error as float
  std::vector<float> sum_fit;     // finite fit terms up to and including the entry
  std::vector<float> sum_weight;  // degree weights up to and including the entry
  std::vector<int> non_finite;    // non-finite fit terms up to and including the entry
  std::vector<std::size_t> layer_end;  // one past each layer's last entry
  // Curves are only appended to their layer's list, so numbers given in list order
  // (the layer's index in the high bits) keep the network's order: an entry's place is
  // a binary search of its number.
  std::vector<std::uint64_t> number;  // per entry, increasing
  std::unordered_map<const curve*, std::uint64_t> number_of;
  std::vector<std::uint64_t> next_number;  // per layer

  std::uint64_t new_number(std::size_t layer) {
    return static_cast<std::uint64_t>(layer) << 40 | next_number[layer]++;
  }
  std::vector<const curve*> touched, erased;  // since the last evaluation
  // Scratch of update().
  std::vector<std::pair<std::size_t, char>> marks;  // entry, 1 refitted or 2 erased
  std::vector<char> state_of;  // per entry from the first mark: 0 as it was, 1, 2
  std::vector<std::vector<const curve*>> appended;
  std::vector<const curve*> tail_order;
  std::vector<int> tail_degree;
  std::vector<float> tail_fit;
  std::vector<std::uint64_t> tail_number;

  // Past this many notes a walk over the network is as cheap as sorting them out.
  static constexpr std::size_t most_notes = 32;
  // Below this many curves the walk is cheaper anyway.
  static constexpr std::size_t fewest_curves = 128;

  void clear_notes() {
    touched.clear();
    erased.clear();
  }

  // Running sums from entry p on, from the terms.
  void sum_from(std::size_t p, const degree_weights& w) {
    float sf = p > 0 ? sum_fit[p - 1] : 0.0f;
    float sw = p > 0 ? sum_weight[p - 1] : 0.0f;
    int nf = p > 0 ? non_finite[p - 1] : 0;
    for (std::size_t i = p; i < order.size(); ++i) {
      if (std::isfinite(fit[i])) {
        sf += fit[i];
      } else {
        ++nf;
      }
      sw += degree_weight(w, degree[i]);
      sum_fit[i] = sf;
      sum_weight[i] = sw;
      non_finite[i] = nf;
    }
  }

  void resize_sums() {
    sum_fit.resize(order.size());
    sum_weight.resize(order.size());
    non_finite.resize(order.size());
  }

  void rebuild(const curve_network& net, const degree_weights& w) {
    order.clear();
    degree.clear();
    fit.clear();
    layer_end.clear();
    number.clear();
    number_of.clear();
    next_number.assign(net.size(), 0);
    for (const layer_graph& L : net) {
      for (const curve& c : L.curves) {
        number_of[&c] = number.emplace_back(new_number(layer_end.size()));
        order.push_back(&c);
        degree.push_back(first_degree_or_none(c));
        fit.push_back(static_cast<float>(c.mean_error));
      }
      layer_end.push_back(order.size());
    }
    resize_sums();
    sum_from(0, w);
    view = w.view;
    penalty = w.penalty;
    valid = true;
    clear_notes();
  }

  // Brings the terms and sums up to date; false when the notes are too many or do not
  // account for the network as it stands (the caller then rebuilds).
  bool update(const curve_network& net, const degree_weights& w) {
    const std::size_t n = order.size();
    if (net.size() != layer_end.size()) return false;
    if (touched.size() + erased.size() > most_notes) return false;
    // Erasures first: a refit noted before an erasure is void, and a pointer erased may
    // come back as a new curve.
    marks.clear();
    auto place = [&](const curve* c, char kind, bool forget) {
      const auto it = number_of.find(c);
      if (it == number_of.end()) return;  // appended since, or not of this network
      const auto at = std::lower_bound(number.begin(), number.end(), it->second);
      marks.emplace_back(static_cast<std::size_t>(at - number.begin()), kind);
      if (forget) number_of.erase(it);
    };
    for (const curve* c : erased) place(c, 2, true);
    for (const curve* c : touched) place(c, 1, false);
    std::size_t p = n;
    for (const auto& m : marks) p = std::min(p, m.first);
    const std::size_t first_marked = p;
    state_of.assign(n - first_marked, 0);
    for (const auto& m : marks) {
      char& mark = state_of[m.first - first_marked];
      mark = std::max(mark, m.second);
    }
    // Curves are only ever appended: each list's new curves are its last ones.
    appended.resize(layer_end.size());
    std::size_t li = 0;
    std::size_t start = 0;
    for (const layer_graph& L : net) {
      appended[li].clear();
      std::size_t alive = 0;
      for (std::size_t i = std::max(start, p); i < layer_end[li]; ++i)
        alive += (i >= first_marked ? state_of[i - first_marked] : 0) != 2;
      if (p > start) alive += std::min(p, layer_end[li]) - start;
      if (L.curves.size() < alive) return false;
      const std::size_t extra = L.curves.size() - alive;
      if (extra > most_notes) return false;
      if (extra > 0) {
        auto it = L.curves.end();
        for (std::size_t k = 0; k < extra; ++k) {
          const curve* c = &*--it;
          if (number_of.count(c) != 0) return false;  // not new after all
          appended[li].push_back(c);
        }
        std::reverse(appended[li].begin(), appended[li].end());
        p = std::min(p, layer_end[li]);
      }
      start = layer_end[li];
      ++li;
    }
    if (p == n) {
      clear_notes();
      return true;
    }

    // Entries from p on: the living ones of each layer, then that layer's new curves.
    tail_order.clear();
    tail_degree.clear();
    tail_fit.clear();
    tail_number.clear();
    start = 0;
    for (li = 0; li < layer_end.size(); ++li) {
      const std::size_t end = layer_end[li];
      for (std::size_t i = std::max(start, p); i < end; ++i) {
        const char mark = i >= first_marked ? state_of[i - first_marked] : 0;
        if (mark == 2) continue;
        const curve* c = order[i];
        tail_order.push_back(c);
        tail_number.push_back(number[i]);
        if (mark == 1) {
          tail_degree.push_back(first_degree_or_none(*c));
          tail_fit.push_back(static_cast<float>(c->mean_error));
        } else {
          tail_degree.push_back(degree[i]);
          tail_fit.push_back(fit[i]);
        }
      }
      for (const curve* c : appended[li]) {
        number_of[c] = tail_number.emplace_back(new_number(li));
        tail_order.push_back(c);
        tail_degree.push_back(first_degree_or_none(*c));
        tail_fit.push_back(static_cast<float>(c->mean_error));
      }
      if (end >= p) layer_end[li] = p + tail_order.size();
      start = end;
    }
    order.resize(p);
    degree.resize(p);
    fit.resize(p);
    number.resize(p);
    number.insert(number.end(), tail_number.begin(), tail_number.end());
    order.insert(order.end(), tail_order.begin(), tail_order.end());
    degree.insert(degree.end(), tail_degree.begin(), tail_degree.end());
    fit.insert(fit.end(), tail_fit.begin(), tail_fit.end());
    resize_sums();
    sum_from(p, w);
    clear_notes();
    return true;
  }
};

energy_tracking::energy_tracking(const curve_network* network)
    : state_(new state(network)), outer_(active_tracking) {
  active_tracking = state_;
}

energy_tracking::~energy_tracking() {
  active_tracking = outer_;
  delete state_;
}

void energy_tracking::forget() {
  state_->valid = false;
  state_->clear_notes();
}

void note_curve_refitted(const curve* c) {
  if (energy_tracking::state* s = active_tracking)
    if (s->valid) s->touched.push_back(c);
}

void note_curve_erased(const curve* c) {
  if (energy_tracking::state* s = active_tracking)
    if (s->valid) s->erased.push_back(c);
}

float curve_network::energy(float lambda, float mu) const {
  energy_tracking::state* s = active_tracking;
  if (s && s->network == this) {
    // A walk over a few dozen curves costs less than sorting out what changed.
    std::size_t curves = 0;
    for (const layer_graph& L : *this) curves += L.curves.size();
    if (curves < energy_tracking::state::fewest_curves) {
      s->valid = false;  // notes stop until the network grows again
      s->clear_notes();
      s = nullptr;
    }
  }
  if (!s || s->network != this || empty())
    return network_energy(*this, lambda, mu, true, [](const curve& c) { return c.mean_error; });
  const degree_weights w;
  if (!s->valid || w.view != s->view || !(w.penalty == s->penalty) || !s->update(*this, w))
    s->rebuild(*this, w);
  const std::size_t n = s->order.size();
  const float sum_fit = n > 0 ? s->sum_fit[n - 1] : 0.0f;
  const float sum_weight = n > 0 ? s->sum_weight[n - 1] : 0.0f;
  const int non_finite = n > 0 ? s->non_finite[n - 1] : 0;
  for (int i = 0; i < non_finite; ++i) std::cout << "non finite" << std::endl;
  return energy_of_sums(*this, lambda, mu, sum_weight, sum_fit);
}

float curve_network::energy_recomputed(float lambda, float mu) const {
  return network_energy(*this, lambda, mu, false, [](const curve& c) {
    return c.v_segment.empty() ? std::numeric_limits<double>::quiet_NaN()
                               : c.v_segment[0].error();
  });
}
