#include "support/topology_builder.h"

#include <algorithm>

namespace topology_builder {

namespace {

template <class T>
void push_unique(std::vector<T*>& v, T* x) {
  if (std::find(v.begin(), v.end(), x) == v.end()) v.push_back(x);
}

}  // namespace

node* add_node(layer_graph& g) {
  node& n = g.nodes.emplace_back();
  frag_conn& j = g.frag_conns.emplace_back();
  n.v_frag_conn.push_back(&j);
  j.v_node.push_back(&n);
  return &n;
}

frag_conn* add_junction(layer_graph& g) { return &g.frag_conns.emplace_back(); }

f_curve* add_fragment(layer_graph& g, frag_conn* a, frag_conn* b, glm::dvec2 pa, glm::dvec2 pb, int samples) {
  f_curve& f = g.f_curves.emplace_back();
  for (int i = 0; i < samples; ++i) {
    const double t = samples > 1 ? double(i) / (samples - 1) : 0.0;
    const glm::dvec2 p = pa + t * (pb - pa);
    f.v_point.emplace_back(float(p.x), float(p.y));
    f.v_weight.push_back(1.0f);
    f.v_t.push_back(t);
  }
  for (int k = 0; k < 4; ++k) f.v_ctrl_point.push_back(pa + (k / 3.0) * (pb - pa));
  f.v_frag_conn = {a, b};
  a->v_frag_end.push_back(frag_end{&f, 0});
  b->v_frag_end.push_back(frag_end{&f, 3});
  return &f;
}

edge* add_edge(layer_graph& g, node* n0, node* n1, const std::vector<f_curve*>& fragments,
               const std::vector<frag_conn*>& junctions) {
  edge& e = g.edges.emplace_back();
  e.v_node = {n0, n1};
  e.v_f_curve = fragments;
  e.v_frag_conn = junctions;
  for (f_curve* f : fragments) f->v_edge.push_back(&e);
  for (frag_conn* j : junctions) push_unique(j->v_edge, &e);
  push_unique(n0->v_edge, &e);
  push_unique(n1->v_edge, &e);
  return &e;
}

region* add_region(layer_graph& g) { return &g.regions.emplace_back(); }

void bound(edge* e, region* left, region* right) {
  e->v_region = {left, right};
  left->v_region_edge.push_back(region_edge{e, right});
  right->v_region_edge.push_back(region_edge{e, left});
  for (region* r : {left, right})
    for (node* n : e->v_node) {
      push_unique(n->v_region, r);
      push_unique(r->v_node, n);
    }
}

void link_network(layer_graph& g) {
  for (f_curve& f : g.f_curves) {
    curve& c = g.curves.emplace_back();
    c.v_f_curve.push_back(&f);
    c.nb_point = f.v_point.size();
    f.v_curve.push_back(&c);
    for (frag_conn* j : f.v_frag_conn) push_unique(j->v_curve, &c);
  }
  for (frag_conn& j : g.frag_conns) {
    nconnection& n = g.nconnections.emplace_back();
    n.v_frag_conn.push_back(&j);
    j.v_nconnection.push_back(&n);
    for (const frag_end& fe : j.v_frag_end) {
      curve* c = fe.fragment->v_curve[0];
      n.v_curve.push_back(c);
      c->v_nconnection.push_back(&n);
    }
  }
}

}  // namespace topology_builder
