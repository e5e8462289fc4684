#include "support/layer_fixtures.h"

#include <algorithm>
#include <cmath>

namespace fixture {

namespace {

// Blossom of a cubic: p(a, a, a) is the point at a, and the control points of the piece
// [a, b] are p(a, a, a), p(a, a, b), p(a, b, b), p(b, b, b).
glm::dvec2 blossom(const cubic& c, double t1, double t2, double t3) {
  glm::dvec2 p[3];
  for (int i = 0; i < 3; ++i) p[i] = (1 - t1) * c[i] + t1 * c[i + 1];
  glm::dvec2 q[2];
  for (int i = 0; i < 2; ++i) q[i] = (1 - t2) * p[i] + t2 * p[i + 1];
  return (1 - t3) * q[0] + t3 * q[1];
}

cubic line(glm::dvec2 a, glm::dvec2 b) {
  return {a, a + (b - a) / 3.0, a + 2.0 * (b - a) / 3.0, b};
}

void measure_errors(f_curve& f) {
  float total = 0;
  const cubic c = {f.v_ctrl_point[0], f.v_ctrl_point[1], f.v_ctrl_point[2], f.v_ctrl_point[3]};
  for (std::size_t i = 0; i < f.v_point.size(); ++i) {
    const glm::dvec2 d = glm::dvec2(f.v_point[i]) - cubic_point(c, f.v_t[i]);
    total += f.v_weight[i] * static_cast<float>(d.x * d.x + d.y * d.y);
  }
  f.total_error = total;
  f.mean_error = f.v_point.empty() ? 0 : total / static_cast<float>(f.v_point.size());
}

f_curve* add_fragment(layer_graph& lg, layer_parts& parts) {
  lg.f_curves.emplace_back();
  parts.fragments.push_back(&lg.f_curves.back());
  return parts.fragments.back();
}

frag_conn* add_junction(layer_graph& lg, layer_parts& parts) {
  lg.frag_conns.emplace_back();
  parts.junctions.push_back(&lg.frag_conns.back());
  return parts.junctions.back();
}

node* add_node(layer_graph& lg, layer_parts& parts, frag_conn* j) {
  lg.nodes.emplace_back();
  node* n = &lg.nodes.back();
  n->v_frag_conn.push_back(j);
  j->v_node.push_back(n);
  parts.nodes.push_back(n);
  return n;
}

// f runs from junction a (its t = 0 end) to junction b (its t = 1 end).
void join(f_curve* f, frag_conn* a, frag_conn* b) {
  f->v_frag_conn = {a, b};
  a->v_frag_end.push_back({f, 0});
  b->v_frag_end.push_back({f, 3});
}

// An edge over the given fragments and junctions, with the given end nodes.
edge* add_edge(layer_graph& lg, layer_parts& parts, std::vector<f_curve*> fs,
               std::vector<frag_conn*> js, node* n0, node* n1) {
  lg.edges.emplace_back();
  edge* e = &lg.edges.back();
  e->v_f_curve = fs;
  e->v_frag_conn = js;
  e->v_node = {n0, n1};
  for (node* n : {n0, n1})
    if (std::find(n->v_edge.begin(), n->v_edge.end(), e) == n->v_edge.end()) n->v_edge.push_back(e);
  for (f_curve* f : fs) f->v_edge.push_back(e);
  for (frag_conn* j : js)
    if (std::find(j->v_edge.begin(), j->v_edge.end(), e) == j->v_edge.end()) j->v_edge.push_back(e);
  parts.edges.push_back(e);
  return e;
}

// Arms meeting at one centre junction, each with its own end junction and edge; an arm
// flagged inward runs from its end to the centre.
layer_parts star(layer_graph& lg, int samples, const std::vector<glm::dvec2>& ends,
                 const std::vector<bool>& inward, bool link) {
  const glm::dvec2 centre(50, 50);
  layer_parts parts;
  std::vector<f_curve*> fs;
  for (std::size_t k = 0; k < ends.size(); ++k) fs.push_back(add_fragment(lg, parts));
  frag_conn* jc = add_junction(lg, parts);
  std::vector<frag_conn*> je;
  for (std::size_t k = 0; k < ends.size(); ++k) je.push_back(add_junction(lg, parts));
  node* nc = add_node(lg, parts, jc);
  for (std::size_t k = 0; k < ends.size(); ++k) {
    node* ne = add_node(lg, parts, je[k]);
    if (inward[k]) {
      sample_cubic(*fs[k], line(ends[k], centre), samples);
      join(fs[k], je[k], jc);
      add_edge(lg, parts, {fs[k]}, {je[k], jc}, ne, nc);
    } else {
      sample_cubic(*fs[k], line(centre, ends[k]), samples);
      join(fs[k], jc, je[k]);
      add_edge(lg, parts, {fs[k]}, {jc, je[k]}, nc, ne);
    }
  }
  if (link) link_one_curve_per_fragment(lg);
  return parts;
}

}  // namespace

glm::dvec2 cubic_point(const cubic& c, double t) { return blossom(c, t, t, t); }

cubic cubic_piece(const cubic& c, double a, double b) {
  return {blossom(c, a, a, a), blossom(c, a, a, b), blossom(c, a, b, b), blossom(c, b, b, b)};
}

void sample_cubic(f_curve& f, const cubic& c, int n) {
  f.v_point.clear();
  f.v_weight.clear();
  f.v_t.clear();
  for (int i = 0; i < n; ++i) {
    const double t = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
    f.v_point.push_back(glm::vec2(cubic_point(c, t)));
    f.v_weight.push_back(1.0f);
    f.v_t.push_back(t);
  }
  f.v_ctrl_point.assign(c.begin(), c.end());
  measure_errors(f);
}

void make_wavy(layer_graph& lg) {
  for (f_curve& f : lg.f_curves)
    for (std::size_t i = 0; i < f.v_point.size(); ++i)
      f.v_point[i] += glm::vec2(0.8f * std::sin(1.7f * static_cast<float>(i)), 0.6f);
  lg.refit_curves();
}

cubic chain_cubic() { return {glm::dvec2(10, 10), glm::dvec2(40, 60), glm::dvec2(80, -20), glm::dvec2(110, 30)}; }

layer_parts chain_of_three(layer_graph& lg, int samples, bool reverse_middle, bool link) {
  layer_parts parts;
  f_curve* a = add_fragment(lg, parts);
  f_curve* b = add_fragment(lg, parts);
  f_curve* c = add_fragment(lg, parts);
  frag_conn* j[4];
  for (frag_conn*& x : j) x = add_junction(lg, parts);
  const cubic whole = chain_cubic();
  sample_cubic(*a, cubic_piece(whole, 0, 1.0 / 3), samples);
  sample_cubic(*c, cubic_piece(whole, 2.0 / 3, 1), samples);
  join(a, j[0], j[1]);
  if (reverse_middle) {
    sample_cubic(*b, cubic_piece(whole, 2.0 / 3, 1.0 / 3), samples);
    join(b, j[2], j[1]);
  } else {
    sample_cubic(*b, cubic_piece(whole, 1.0 / 3, 2.0 / 3), samples);
    join(b, j[1], j[2]);
  }
  join(c, j[2], j[3]);
  node* n0 = add_node(lg, parts, j[0]);
  node* n3 = add_node(lg, parts, j[3]);
  add_edge(lg, parts, {a, b, c}, {j[0], j[1], j[2], j[3]}, n0, n3);
  if (link) link_one_curve_per_fragment(lg);
  return parts;
}

layer_parts t_junction(layer_graph& lg, int samples, bool link) {
  return star(lg, samples, {{10, 50}, {90, 50}, {50, 90}}, {true, false, false}, link);
}

layer_parts x_junction(layer_graph& lg, int samples, bool link) {
  return star(lg, samples, {{10, 50}, {90, 50}, {50, 10}, {50, 90}}, {true, false, true, false},
              link);
}

layer_parts closed_loop(layer_graph& lg, int samples, bool link) {
  layer_parts parts;
  const glm::dvec2 centre(50, 50);
  const double r = 30, pi = std::acos(-1.0), step = 2 * pi / 3;
  const double k = 4.0 / 3.0 * std::tan(step / 4);  // circle arc handle length / radius
  std::vector<f_curve*> fs;
  for (int i = 0; i < 3; ++i) fs.push_back(add_fragment(lg, parts));
  frag_conn* j[3];
  for (frag_conn*& x : j) x = add_junction(lg, parts);
  for (int i = 0; i < 3; ++i) {
    const double a0 = i * step, a1 = (i + 1) * step;
    const glm::dvec2 p0 = centre + r * glm::dvec2(std::cos(a0), std::sin(a0));
    const glm::dvec2 p3 = centre + r * glm::dvec2(std::cos(a1), std::sin(a1));
    const glm::dvec2 d0(-std::sin(a0), std::cos(a0)), d1(-std::sin(a1), std::cos(a1));
    f_curve& f = *fs[i];
    f.v_point.clear();
    f.v_weight.clear();
    f.v_t.clear();
    for (int s = 0; s < samples; ++s) {
      const double t = samples > 1 ? static_cast<double>(s) / (samples - 1) : 0.0;
      const double a = a0 + t * step;
      f.v_point.push_back(glm::vec2(centre + r * glm::dvec2(std::cos(a), std::sin(a))));
      f.v_weight.push_back(1.0f);
      f.v_t.push_back(t);
    }
    f.v_ctrl_point = {p0, p0 + k * r * d0, p3 - k * r * d1, p3};
    measure_errors(f);
    join(fs[i], j[i], j[(i + 1) % 3]);
  }
  node* n0 = add_node(lg, parts, j[0]);
  edge* e = add_edge(lg, parts, fs, {j[0], j[1], j[2], j[0]}, n0, n0);
  e->on_background = true;
  lg.regions.emplace_back();
  region* inside = &lg.regions.back();
  lg.regions.emplace_back();
  region* outside = &lg.regions.back();
  outside->background = true;
  e->v_region = {inside, outside};
  inside->v_region_edge.push_back({e, outside});
  outside->v_region_edge.push_back({e, inside});
  inside->v_node = {n0};
  outside->v_node = {n0};
  n0->v_region = {inside, outside};
  if (link) link_one_curve_per_fragment(lg);
  return parts;
}

void link_one_curve_per_fragment(layer_graph& lg) {
  for (frag_conn& j : lg.frag_conns) {
    lg.nconnections.emplace_back();
    nconnection& n = lg.nconnections.back();
    n.v_frag_conn.push_back(&j);
    j.v_nconnection.push_back(&n);
  }
  for (f_curve& f : lg.f_curves) {
    lg.curves.emplace_back();
    curve& c = lg.curves.back();
    c.append_fragment(&f);
    // One end per frag_end entry, so a closed stroke ends twice at its junction.
    std::vector<frag_conn*> seen;
    for (frag_conn* j : f.v_frag_conn) {
      if (std::find(seen.begin(), seen.end(), j) != seen.end()) continue;
      seen.push_back(j);
      for (const frag_end& e : j->v_frag_end) {
        if (e.fragment != &f) continue;
        nconnection* n = j->v_nconnection[0];
        n->v_curve.push_back(&c);
        c.v_nconnection.push_back(n);
      }
    }
    c.merge_segments();
    c.refit();
    c.class_score = 0;
  }
}

}  // namespace fixture
