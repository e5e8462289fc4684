#include "support/network_checker.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>

#include "graph/layer_graph.h"

namespace {

template <typename T>
std::map<const T*, int> index_of(const std::list<T>& list) {
  std::map<const T*, int> index;
  int i = 0;
  for (const T& x : list) index[&x] = i++;
  return index;
}

template <typename V, typename P>
long count_of(const V& v, P p) {
  return std::count(v.begin(), v.end(), p);
}

}  // namespace

std::string check_network(const layer_graph& lg) {
  std::ostringstream out;
  const auto curves = index_of(lg.curves);
  const auto frags = index_of(lg.f_curves);
  const auto juncs = index_of(lg.frag_conns);
  const auto conns = index_of(lg.nconnections);
  auto curve_name = [&](const curve* c) {
    auto it = curves.find(c);
    return it == curves.end() ? std::string("a curve not in the layer")
                              : "curve " + std::to_string(it->second);
  };

  for (const curve& c : lg.curves) {
    const std::string name = curve_name(&c);
    std::uint64_t samples = 0;
    std::set<const frag_conn*> own_junctions;
    for (const f_curve* f : c.v_f_curve) {
      if (!frags.count(f)) {
        out << name << " holds a fragment not in the layer\n";
        continue;
      }
      const int fi = frags.at(f);
      samples += f->v_point.size();
      if (count_of(f->v_curve, &c) != count_of(c.v_f_curve, f))
        out << name << " holds fragment " << fi << " " << count_of(c.v_f_curve, f)
            << " time(s), the fragment lists it " << count_of(f->v_curve, &c) << " time(s)\n";
      for (const frag_conn* j : f->v_frag_conn) {
        if (!juncs.count(j)) {
          out << "fragment " << fi << " names a junction not in the layer\n";
          continue;
        }
        own_junctions.insert(j);
        if (!count_of(j->v_curve, &c))
          out << name << " is missing at junction " << juncs.at(j) << " of its fragment " << fi
              << "\n";
      }
      long refs = 0;
      for (const curve_segment& s : c.v_segment)
        for (const frag_ref& r : s.v_frag_ref) refs += r.fragment == f;
      if (refs != count_of(c.v_f_curve, f))
        out << name << " has " << refs << " frag_ref(s) for fragment " << fi << ", holds it "
            << count_of(c.v_f_curve, f) << " time(s)\n";
    }
    for (const curve_segment& s : c.v_segment)
      for (const frag_ref& r : s.v_frag_ref)
        if (!count_of(c.v_f_curve, r.fragment))
          out << name << " has a frag_ref for a fragment it does not hold\n";
    if (samples != c.nb_point)
      out << name << " has nb_point " << c.nb_point << ", its fragments hold " << samples
          << " samples\n";
    for (const nconnection* n : c.v_nconnection) {
      if (!conns.count(n)) {
        out << name << " ends at a connection not in the layer\n";
        continue;
      }
      if (count_of(n->v_curve, &c) != count_of(c.v_nconnection, n))
        out << name << " ends " << count_of(c.v_nconnection, n) << " time(s) at connection "
            << conns.at(n) << ", which lists it " << count_of(n->v_curve, &c) << " time(s)\n";
      if (n->v_frag_conn.size() == 1 && !own_junctions.count(n->v_frag_conn[0]))
        out << name << " ends at connection " << conns.at(n)
            << " whose junction none of its fragments has\n";
    }
  }

  for (const f_curve& f : lg.f_curves) {
    const int fi = frags.at(&f);
    for (const curve* c : f.v_curve) {
      if (!curves.count(c))
        out << "fragment " << fi << " lists a curve not in the layer\n";
      else if (!count_of(c->v_f_curve, &f))
        out << "fragment " << fi << " lists " << curve_name(c) << ", which does not hold it\n";
    }
  }

  for (const frag_conn& j : lg.frag_conns) {
    const int ji = juncs.at(&j);
    if (j.v_nconnection.size() != 1)
      out << "junction " << ji << " has " << j.v_nconnection.size() << " connections\n";
    for (const nconnection* n : j.v_nconnection) {
      if (!conns.count(n))
        out << "junction " << ji << " names a connection not in the layer\n";
      else if (n->v_frag_conn.size() != 1 || n->v_frag_conn[0] != &j)
        out << "junction " << ji << " names connection " << conns.at(n)
            << ", which is not built from it\n";
    }
    std::set<const curve*> seen;
    for (const curve* c : j.v_curve) {
      if (!curves.count(c)) {
        out << "junction " << ji << " lists a curve not in the layer\n";
        continue;
      }
      if (!seen.insert(c).second)
        out << "junction " << ji << " lists " << curve_name(c) << " more than once\n";
      bool holds = false;
      for (const f_curve* f : c->v_f_curve)
        holds = holds || std::count(f->v_frag_conn.begin(), f->v_frag_conn.end(), &j);
      if (!holds)
        out << "junction " << ji << " lists " << curve_name(c)
            << ", which holds no fragment there\n";
    }
  }

  for (const nconnection& n : lg.nconnections) {
    const int ni = conns.at(&n);
    if (n.v_frag_conn.size() != 1) {
      out << "connection " << ni << " has " << n.v_frag_conn.size() << " junctions\n";
    } else if (!juncs.count(n.v_frag_conn[0])) {
      out << "connection " << ni << " names a junction not in the layer\n";
    } else {
      const frag_conn* j = n.v_frag_conn[0];
      if (j->v_nconnection.size() != 1 || j->v_nconnection[0] != &n)
        out << "connection " << ni << " names junction " << juncs.at(j)
            << ", whose connection it is not\n";
    }
    for (const curve* c : n.v_curve) {
      if (!curves.count(c))
        out << "connection " << ni << " lists a curve not in the layer\n";
      else if (!count_of(c->v_nconnection, &n))
        out << "connection " << ni << " lists " << curve_name(c) << ", which does not end there\n";
    }
  }

  for (const f_curve* f : lg.shared_fragments)
    if (!frags.count(f)) out << "shared_fragments names a fragment not in the layer\n";

  return out.str();
}
