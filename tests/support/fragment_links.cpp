#include "support/fragment_links.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <vector>

#include "graph/layer_graph.h"

namespace {

template <class T>
bool holds(const std::vector<T*>& v, const T* x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

template <class T>
std::set<const T*> members(const std::list<T>& list) {
  std::set<const T*> s;
  for (const T& x : list) s.insert(&x);
  return s;
}

}  // namespace

std::string check_fragment_links(const layer_graph& lg) {
  std::ostringstream out;
  const auto fragments = members(lg.f_curves);
  const auto junctions = members(lg.frag_conns);
  const auto edges = members(lg.edges);
  const auto curves = members(lg.curves);

  int fi = 0;
  for (const f_curve& f : lg.f_curves) {
    const std::string name = "fragment " + std::to_string(fi++);
    if (f.v_t.size() != f.v_point.size() || f.v_weight.size() != f.v_point.size())
      out << name << ": " << f.v_point.size() << " points, " << f.v_t.size() << " parameters, "
          << f.v_weight.size() << " weights\n";
    for (const edge* e : f.v_edge) {
      if (!edges.count(e))
        out << name << ": edge not in the layer\n";
      else if (!holds(e->v_f_curve, &f))
        out << name << ": its edge does not list it\n";
    }
    for (const curve* c : f.v_curve) {
      if (!curves.count(c))
        out << name << ": curve not in the layer\n";
      else if (!holds(c->v_f_curve, &f))
        out << name << ": its curve does not list it\n";
    }
    int starts = 0, ends = 0;
    for (const frag_conn* j : f.v_frag_conn) {
      if (!junctions.count(j)) {
        out << name << ": junction not in the layer\n";
        continue;
      }
      bool named = false;
      for (const frag_end& fe : j->v_frag_end) named = named || fe.fragment == &f;
      if (!named) out << name << ": a junction it lists has no entry for it\n";
    }
    std::set<const frag_conn*> distinct(f.v_frag_conn.begin(), f.v_frag_conn.end());
    for (const frag_conn* j : distinct) {
      if (!junctions.count(j)) continue;
      for (const frag_end& fe : j->v_frag_end)
        if (fe.fragment == &f) (fe.end == 0 ? starts : ends)++;
    }
    if (!f.v_frag_conn.empty() && (starts != 1 || ends != 1))
      out << name << ": end 0 at " << starts << " and end 3 at " << ends << " junction entries\n";
  }

  int ji = 0;
  for (const frag_conn& j : lg.frag_conns) {
    const std::string name = "junction " + std::to_string(ji++);
    for (const frag_end& fe : j.v_frag_end) {
      if (!fragments.count(fe.fragment))
        out << name << ": entry names a fragment not in the layer\n";
      else if (!holds(fe.fragment->v_frag_conn, &j))
        out << name << ": its fragment does not list it\n";
    }
    for (const edge* e : j.v_edge) {
      if (!edges.count(e))
        out << name << ": edge not in the layer\n";
      else if (!holds(e->v_frag_conn, &j))
        out << name << ": its edge does not list it\n";
    }
  }

  int ei = 0;
  for (const edge& e : lg.edges) {
    const std::string name = "edge " + std::to_string(ei++);
    for (const f_curve* f : e.v_f_curve) {
      if (!fragments.count(f))
        out << name << ": fragment not in the layer\n";
      else if (!holds(f->v_edge, &e))
        out << name << ": its fragment does not list it\n";
    }
    for (const frag_conn* j : e.v_frag_conn) {
      if (!junctions.count(j))
        out << name << ": junction not in the layer\n";
      else if (!holds(j->v_edge, &e))
        out << name << ": its junction does not list it\n";
    }
  }

  int ci = 0;
  for (const curve& c : lg.curves) {
    const std::string name = "curve " + std::to_string(ci++);
    for (const f_curve* f : c.v_f_curve) {
      if (!fragments.count(f))
        out << name << ": fragment not in the layer\n";
      else if (!holds(f->v_curve, &c))
        out << name << ": its fragment does not list it\n";
    }
  }
  return out.str();
}
