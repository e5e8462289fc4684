#include "support/fragment_lattice.h"

#include <random>
#include <vector>

f_curve& add_sampled_fragment(layer_graph& lg, const fixture::cubic& c, int n, float weight) {
  lg.f_curves.emplace_back();
  f_curve& f = lg.f_curves.back();
  fixture::sample_cubic(f, c, n);
  f.v_weight.assign(f.v_point.size(), weight);
  f.v_ctrl_point.clear();
  return f;
}

frag_conn& add_junction(layer_graph& lg, std::initializer_list<frag_end> ends) {
  lg.frag_conns.emplace_back();
  frag_conn& j = lg.frag_conns.back();
  j.v_frag_end.assign(ends.begin(), ends.end());
  for (const frag_end& fe : ends) fe.fragment->v_frag_conn.push_back(&j);
  return j;
}

void build_fragment_lattice(layer_graph& lg, int cols, int rows, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> bend(-0.6, 0.6);
  std::uniform_real_distribution<float> weight(0.5f, 1.5f);
  std::vector<frag_conn*> node(static_cast<std::size_t>(cols) * rows);
  for (frag_conn*& n : node) {
    lg.frag_conns.emplace_back();
    n = &lg.frag_conns.back();
  }
  auto link = [&](int a, int b) {
    const glm::dvec2 p0(40.0 * (a % cols), 40.0 * (a / cols));
    const glm::dvec2 p3(40.0 * (b % cols), 40.0 * (b / cols));
    const glm::dvec2 along = (p3 - p0) / 3.0;
    const glm::dvec2 across(-along.y, along.x);
    const double b1 = bend(rng), b2 = bend(rng);
    f_curve& f = add_sampled_fragment(lg, {p0, p0 + along + across * b1, p3 - along + across * b2, p3}, 30);
    for (float& w : f.v_weight) w = weight(rng);
    node[a]->v_frag_end.push_back({&f, 0});
    node[b]->v_frag_end.push_back({&f, 3});
    f.v_frag_conn = {node[a], node[b]};
  };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const int i = r * cols + c;
      if (c + 1 < cols) link(i, i + 1);
      if (r + 1 < rows) link(i, i + cols);
    }
}
