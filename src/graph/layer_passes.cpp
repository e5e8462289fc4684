#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unordered_set>

#include <glm/geometric.hpp>

#include "graph/bezier.h"
#include "graph/fragment_error.h"
#include "graph/joint_fit.h"
#include "graph/layer_graph.h"
#include "graph/split_thresholds.h"
#include "pipeline/view_settings.h"

namespace {

bool holds_curve(const f_curve& fragment, const curve* c) {
  return std::find(fragment.v_curve.begin(), fragment.v_curve.end(), c) !=
         fragment.v_curve.end();
}

// Where a curve ends at a junction: the control point j of its first segment that lies
// there and its inner neighbour k.
struct join_end {
  curve_segment* segment = nullptr;
  int j = 0;
  int k = 0;
};

// Finds the curve's end at the junction, or returns false when the curve holds no
// fragment listed there or its first segment has no inner neighbour to move.
bool find_join_end(curve* c, const frag_conn& junction, join_end& out) {
  const frag_end* entry = nullptr;
  for (const frag_end& fe : junction.v_frag_end) {
    if (fe.fragment && holds_curve(*fe.fragment, c)) {
      entry = &fe;
      break;
    }
  }
  if (!entry || c->v_segment.empty()) return false;
  curve_segment& segment = c->v_segment.front();
  if (segment.v_frag_ref.empty() || segment.degree < 1 ||
      segment.v_ctrl_point.size() < static_cast<std::size_t>(segment.degree) + 1) {
    return false;
  }
  const frag_ref& first = segment.v_frag_ref.front();
  const frag_ref& last = segment.v_frag_ref.back();
  if (entry->fragment != first.fragment && entry->fragment != last.fragment) {
    std::cout << "zilfhaczmlfcj;azmcf;j" << std::endl;
  }
  const frag_ref& ref = entry->fragment == first.fragment ? first : last;
  int e = entry->end != 0 ? 3 : 0;
  if (ref.reversed) e = 3 - e;
  out.segment = &segment;
  out.j = e == 0 ? 0 : segment.degree;
  out.k = out.j == 0 ? 1 : out.j - 1;
  return true;
}

}  // namespace

void layer_graph::clear() {
  f_curves.clear();
  frag_conns.clear();
  edges.clear();
  nodes.clear();
  regions.clear();
  curves.clear();
  nconnections.clear();
  nregions.clear();
  shared_fragments.clear();
}

void layer_graph::align_two_curve_joins() {
  for (nconnection& connection : nconnections) {
    if (connection.v_curve.size() != 2 || connection.v_frag_conn.empty() ||
        !connection.v_frag_conn.front()) {
      continue;
    }
    const frag_conn& junction = *connection.v_frag_conn.front();
    join_end a, b;
    if (!find_join_end(connection.v_curve[0], junction, a) ||
        !find_join_end(connection.v_curve[1], junction, b)) {
      continue;
    }
    std::vector<glm::dvec2>& pa = a.segment->v_ctrl_point;
    std::vector<glm::dvec2>& pb = b.segment->v_ctrl_point;
    const glm::dvec2 d_a = glm::normalize(pa[a.k] - pa[a.j]);
    const glm::dvec2 d_b = glm::normalize(pb[b.k] - pb[b.j]);
    const float c = static_cast<float>(glm::dot(d_a, d_b));
    if (!(c < -0.9f)) continue;
    // The direction between the neighbours is taken before either moves; when they
    // coincide it is undefined and would write NaN into both curves.
    const glm::dvec2 between = pa[a.k] - pb[b.k];
    if (between.x == 0.0 && between.y == 0.0) continue;
    const glm::dvec2 u = glm::normalize(between);
    pa[a.k] = pa[a.j] + glm::dot(pa[a.k] - pa[a.j], u) * u;
    pb[b.k] = pb[b.j] + glm::dot(pb[b.k] - pb[b.j], u) * u;
  }
}

void layer_graph::fit_fragments() {
  for (f_curve& f : f_curves) f.fit_cubic();
}

void layer_graph::split_fragments() {
  const split_thresholds t = read_split_thresholds();
  // A try reads the fragment's own samples only, and only its own cut changes them: a
  // fragment that was tried and not cut would not be cut in a later sweep either, so
  // later sweeps try only the fragments cut in the sweep before and the new tails.
  std::unordered_set<const f_curve*> cut_before, cut_now;
  bool first = true;
  std::size_t count = 0;
  do {
    count = f_curves.size();
    cut_now.clear();
    std::size_t index = 0;
    // A cut appends its tail to the list; this walk reaches it in the same sweep.
    for (f_curve& f : f_curves) {
      const bool tail = index++ >= count;
      if (!first && !tail && cut_before.count(&f) == 0) continue;
      const std::size_t before = f_curves.size();
      f.split_if_better(*this, t.error_threshold, t.min_gain, t.end_margin, t.min_samples);
      if (f_curves.size() != before) cut_now.insert(&f);
    }
    cut_before.swap(cut_now);
    first = false;
  } while (f_curves.size() != count);
  for (f_curve& f : f_curves) f.fit_cubic();
}

void layer_graph::refit_curves() {
  for (curve& c : curves)
    if (!frozen_in_view(&c)) c.refit();  // the passes leave a frozen curve as it is
}

void layer_graph::slide_one_lone_end() {
  for (curve& c : curves) {
    if (c.v_nconnection.size() != 2 || frozen_in_view(&c) || merged_in_view(&c)) continue;
    const bool lone_0 = c.v_nconnection[0]->v_curve.size() < 2;
    const bool lone_1 = c.v_nconnection[1]->v_curve.size() < 2;
    if (lone_0 != lone_1) c.slide_lone_end();
  }
}

void layer_graph::fit_and_slide_ends() {
  fit_joined_curves();
  slide_one_lone_end();
  slide_both_lone_ends();
}

void layer_graph::slide_both_lone_ends() {
  for (curve& c : curves) {
    if (c.v_nconnection.size() != 2 || frozen_in_view(&c) || merged_in_view(&c)) continue;
    if (c.v_nconnection[0]->v_curve.size() == 1 && c.v_nconnection[1]->v_curve.size() == 1) {
      c.slide_lone_ends();
    }
  }
}

void layer_graph::check() {
  for (curve& c : curves) c.refit();
  for (const edge& e : edges) {
    if (e.v_node.size() != 2) {
      std::cout << "bad nb_node: " << e.v_node.size() << " should be 2" << std::endl;
    }
  }
  for (const curve& c : curves) {
    if (c.v_nconnection.size() != 2) {
      std::cout << "bad nb_conn: " << c.v_nconnection.size() << " should be 2" << std::endl;
    }
  }
  for (const nregion& r : nregions) {
    if (r.v_nconnection.size() != r.v_curve_external.size()) {
      std::cout << "nb_conn: " << r.v_nconnection.size()
                << " and nb_external_curve: " << r.v_curve_external.size()
                << " should be the same at the ini step" << std::endl;
    }
  }
}

namespace {

template <typename T>
std::map<const T*, int> positions(const std::list<T>& list) {
  std::map<const T*, int> index;
  int i = 0;
  for (const T& x : list) index[&x] = i++;
  return index;
}

template <typename V, typename P>
long count_of(const V& v, P p) {
  return std::count(v.begin(), v.end(), p);
}

long ends_of(const frag_conn& j, const f_curve* f) {
  return std::count_if(j.v_frag_end.begin(), j.v_frag_end.end(),
                       [f](const frag_end& fe) { return fe.fragment == f; });
}

// Positions of every list the link rules look at, and names for the report.
struct link_index {
  std::map<const curve*, int> curves;
  std::map<const f_curve*, int> frags;
  std::map<const frag_conn*, int> juncs;
  std::map<const nconnection*, int> conns;

  std::map<const edge*, int> edges;
  std::map<const node*, int> nodes;
  std::map<const region*, int> regions;

  explicit link_index(const layer_graph& lg)
      : curves(positions(lg.curves)), frags(positions(lg.f_curves)), juncs(positions(lg.frag_conns)),
        conns(positions(lg.nconnections)), edges(positions(lg.edges)), nodes(positions(lg.nodes)),
        regions(positions(lg.regions)) {}

  std::string curve_name(const curve* c) const {
    auto it = curves.find(c);
    return it == curves.end() ? std::string("a curve not in the layer") : "curve " + std::to_string(it->second);
  }
};

void check_fragment_links(const layer_graph& lg, const link_index& ix, std::ostream& out) {
  for (const f_curve& f : lg.f_curves) {
    const int fi = ix.frags.at(&f);
    if (f.v_t.size() != f.v_point.size() || f.v_weight.size() != f.v_point.size())
      out << "fragment " << fi << " has " << f.v_point.size() << " samples, " << f.v_t.size() << " parameters and "
          << f.v_weight.size() << " weights\n";
    if (f.v_ctrl_point.size() > 4) out << "fragment " << fi << " has " << f.v_ctrl_point.size() << " control points\n";
    for (const curve* c : f.v_curve) {
      if (!ix.curves.count(c))
        out << "fragment " << fi << " lists a curve not in the layer\n";
      else if (!count_of(c->v_f_curve, &f))
        out << "fragment " << fi << " lists " << ix.curve_name(c) << ", which does not hold it\n";
    }
    for (const frag_conn* j : f.v_frag_conn) {
      if (!ix.juncs.count(j))
        out << "fragment " << fi << " names a junction not in the layer\n";
      else if (count_of(f.v_frag_conn, j) != ends_of(*j, &f))
        out << "fragment " << fi << " lists junction " << ix.juncs.at(j) << " " << count_of(f.v_frag_conn, j)
            << " time(s), the junction lists " << ends_of(*j, &f) << " of its ends\n";
    }
  }
}

void check_curve_links(const layer_graph& lg, const link_index& ix, bool as_read, std::ostream& out) {
  for (const curve& c : lg.curves) {
    const std::string name = ix.curve_name(&c);
    std::uint64_t samples = 0;
    std::set<const frag_conn*> own_junctions;
    if (c.v_f_curve.empty()) out << name << " holds no fragment\n";
    for (const f_curve* f : c.v_f_curve) {
      if (!ix.frags.count(f)) {
        out << name << " holds a fragment not in the layer\n";
        continue;
      }
      const int fi = ix.frags.at(f);
      samples += f->v_point.size();
      if (count_of(f->v_curve, &c) != count_of(c.v_f_curve, f))
        out << name << " holds fragment " << fi << " " << count_of(c.v_f_curve, f)
            << " time(s), the fragment lists it " << count_of(f->v_curve, &c) << " time(s)\n";
      for (const frag_conn* j : f->v_frag_conn) {
        if (!ix.juncs.count(j)) continue;  // reported with the fragment
        own_junctions.insert(j);
        if (!count_of(j->v_curve, &c))
          out << name << " is missing at junction " << ix.juncs.at(j) << " of its fragment " << fi << "\n";
      }
      if (as_read) continue;
      long refs = 0;
      for (const curve_segment& s : c.v_segment)
        for (const frag_ref& r : s.v_frag_ref) refs += r.fragment == f;
      if (refs != count_of(c.v_f_curve, f))
        out << name << " has " << refs << " frag_ref(s) for fragment " << fi << ", holds it "
            << count_of(c.v_f_curve, f) << " time(s)\n";
    }
    if (!as_read)
      for (const curve_segment& s : c.v_segment)
        for (const frag_ref& r : s.v_frag_ref)
          if (!count_of(c.v_f_curve, r.fragment)) out << name << " has a frag_ref for a fragment it does not hold\n";
    if (samples != c.nb_point)
      out << name << " has nb_point " << c.nb_point << ", its fragments hold " << samples << " samples\n";
    for (const nconnection* n : c.v_nconnection) {
      if (!ix.conns.count(n)) {
        out << name << " ends at a connection not in the layer\n";
        continue;
      }
      if (count_of(n->v_curve, &c) != count_of(c.v_nconnection, n))
        out << name << " ends " << count_of(c.v_nconnection, n) << " time(s) at connection " << ix.conns.at(n)
            << ", which lists it " << count_of(n->v_curve, &c) << " time(s)\n";
      if (n->v_frag_conn.size() == 1 && !own_junctions.count(n->v_frag_conn[0]))
        out << name << " ends at connection " << ix.conns.at(n) << " whose junction none of its fragments has\n";
    }
  }
}

void check_junction_links(const layer_graph& lg, const link_index& ix, bool as_read, std::ostream& out) {
  const bool linked = !as_read || !lg.nconnections.empty();
  for (const frag_conn& j : lg.frag_conns) {
    const int ji = ix.juncs.at(&j);
    for (const frag_end& fe : j.v_frag_end) {
      if (!ix.frags.count(fe.fragment))
        out << "junction " << ji << " names a fragment not in the layer\n";
      else if (!count_of(fe.fragment->v_frag_conn, &j))
        out << "junction " << ji << " lists an end of fragment " << ix.frags.at(fe.fragment)
            << ", which does not list the junction\n";
    }
    if (linked ? j.v_nconnection.size() != 1 : j.v_nconnection.size() > 1)
      out << "junction " << ji << " has " << j.v_nconnection.size() << " connections\n";
    for (const nconnection* n : j.v_nconnection) {
      if (!ix.conns.count(n))
        out << "junction " << ji << " names a connection not in the layer\n";
      else if (n->v_frag_conn.size() != 1 || n->v_frag_conn[0] != &j)
        out << "junction " << ji << " names connection " << ix.conns.at(n) << ", which is not built from it\n";
    }
    std::set<const curve*> seen;
    for (const curve* c : j.v_curve) {
      if (!ix.curves.count(c)) {
        out << "junction " << ji << " lists a curve not in the layer\n";
        continue;
      }
      if (!seen.insert(c).second && !as_read) out << "junction " << ji << " lists " << ix.curve_name(c) << " more than once\n";
      bool holds = false;
      for (const f_curve* f : c->v_f_curve) holds = holds || count_of(f->v_frag_conn, &j);
      if (!holds) out << "junction " << ji << " lists " << ix.curve_name(c) << ", which holds no fragment there\n";
    }
  }
}

void check_connection_links(const layer_graph& lg, const link_index& ix, std::ostream& out) {
  for (const nconnection& n : lg.nconnections) {
    const int ni = ix.conns.at(&n);
    if (n.v_frag_conn.size() != 1) {
      out << "connection " << ni << " has " << n.v_frag_conn.size() << " junctions\n";
    } else if (!ix.juncs.count(n.v_frag_conn[0])) {
      out << "connection " << ni << " names a junction not in the layer\n";
    } else {
      const frag_conn* j = n.v_frag_conn[0];
      if (j->v_nconnection.size() != 1 || j->v_nconnection[0] != &n)
        out << "connection " << ni << " names junction " << ix.juncs.at(j) << ", whose connection it is not\n";
    }
    for (const curve* c : n.v_curve) {
      if (!ix.curves.count(c))
        out << "connection " << ni << " lists a curve not in the layer\n";
      else if (!count_of(c->v_nconnection, &n))
        out << "connection " << ni << " lists " << ix.curve_name(c) << ", which does not end there\n";
    }
  }
}

}  // namespace

// Each link of the topological graph between two elements of the layer is listed back
// by its target, at least once (a closed edge may meet one node at both ends).
template <typename From, typename To>
void check_mirrored(const char* from_kind, int from_at, const std::vector<To*>& links,
                    const std::map<const To*, int>& targets, const char* to_kind,
                    const std::vector<From*>& (*back)(const To&), const From* self, std::ostream& out) {
  for (const To* t : links) {
    auto it = targets.find(t);
    if (it == targets.end())
      out << from_kind << " " << from_at << " names a " << to_kind << " not in the layer\n";
    else if (!count_of(back(*t), self))
      out << from_kind << " " << from_at << " names " << to_kind << " " << it->second << ", which does not list it\n";
  }
}

const std::vector<f_curve*>& fragments_of(const edge& e) { return e.v_f_curve; }
const std::vector<edge*>& edges_of_fragment(const f_curve& f) { return f.v_edge; }
const std::vector<edge*>& edges_of_node(const node& n) { return n.v_edge; }
const std::vector<node*>& nodes_of_edge(const edge& e) { return e.v_node; }
const std::vector<frag_conn*>& junctions_of_node(const node& n) { return n.v_frag_conn; }
const std::vector<node*>& nodes_of_junction(const frag_conn& j) { return j.v_node; }

// Edges and fragments, edges and nodes, nodes and junctions name each other; a region's
// boundary edges separate it from the region named across them; an edge with fragments
// has one junction more than fragments.
void check_topology_links(const layer_graph& lg, const link_index& ix, std::ostream& out) {
  for (const edge& e : lg.edges) {
    const int ei = ix.edges.at(&e);
    check_mirrored("edge", ei, e.v_f_curve, ix.frags, "fragment", edges_of_fragment, &e, out);
    check_mirrored("edge", ei, e.v_node, ix.nodes, "node", edges_of_node, &e, out);
    if (!e.v_f_curve.empty() && e.v_frag_conn.size() != e.v_f_curve.size() + 1)
      out << "edge " << ei << " has " << e.v_f_curve.size() << " fragments and " << e.v_frag_conn.size()
          << " junctions\n";
  }
  for (const f_curve& f : lg.f_curves)
    check_mirrored("fragment", ix.frags.at(&f), f.v_edge, ix.edges, "edge", fragments_of, &f, out);
  for (const node& n : lg.nodes) {
    const int ni = ix.nodes.at(&n);
    check_mirrored("node", ni, n.v_edge, ix.edges, "edge", nodes_of_edge, &n, out);
    check_mirrored("node", ni, n.v_frag_conn, ix.juncs, "junction", nodes_of_junction, &n, out);
  }
  for (const frag_conn& j : lg.frag_conns)
    check_mirrored("junction", ix.juncs.at(&j), j.v_node, ix.nodes, "node", junctions_of_node, &j, out);
  for (const region& r : lg.regions) {
    const int ri = ix.regions.at(&r);
    for (const region_edge& re : r.v_region_edge) {
      if (!ix.edges.count(re.edge) || !ix.regions.count(re.other)) {
        out << "region " << ri << " names an edge or a region not in the layer\n";
      } else if (!count_of(re.edge->v_region, &r) || !count_of(re.edge->v_region, re.other)) {
        out << "region " << ri << " has edge " << ix.edges.at(re.edge) << " towards region "
            << ix.regions.at(re.other) << ", which does not separate the two\n";
      }
    }
  }
}

std::string layer_graph::link_violations(bool as_read) const {
  std::ostringstream out;
  const link_index ix(*this);
  check_curve_links(*this, ix, as_read, out);
  check_fragment_links(*this, ix, out);
  check_junction_links(*this, ix, as_read, out);
  check_connection_links(*this, ix, out);
  check_topology_links(*this, ix, out);
  for (const f_curve* f : shared_fragments)
    if (!ix.frags.count(f)) out << "shared_fragments names a fragment not in the layer\n";
  return out.str();
}

void layer_graph::fit_fragments_at_junctions() {
  std::vector<frag_conn*> junctions;
  junctions.reserve(frag_conns.size());
  for (frag_conn& j : frag_conns) junctions.push_back(&j);
  fit_fragments_jointly(junctions);
}


void layer_graph::fit_joined_curves() {
  std::vector<nconnection*> joined;
  for (nconnection& n : nconnections) {
    if (n.v_curve.size() >= 2) joined.push_back(&n);
  }
  fit_curves_jointly(joined, curves);
}


double layer_graph::junction_tangent_energy() {
  double energy = fragments_mean_squared_error(f_curves);
  for (const frag_conn& j : frag_conns) {
    const std::size_t n = j.v_frag_end.size();
    if (n < 2) continue;
    glm::dvec2 u[2];
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const frag_end& fe = j.v_frag_end[i];
      // An unfitted fragment has no tangent; it adds nothing (the first one: no term).
      if (!fe.fragment || fe.fragment->v_ctrl_point.empty()) {
        if (i == 0) break;
        continue;
      }
      const float t = fe.end == 0 ? 0.0f : 1.0f;
      const glm::dvec2 d = glm::normalize(bezier_tangent(fe.fragment->v_ctrl_point, t));
      if (i == 0) {
        u[0] = d;
        continue;
      }
      u[1] = d;
      sum += std::abs(u[0].x * u[1].y - u[0].y * u[1].x);
    }
    energy += sum / static_cast<double>(n - 1);
  }
  return energy;
}


void layer_graph::fit_each_junction() {
  for (frag_conn& j : frag_conns) j.fit_joint();
}


void layer_graph::fit_each_junction_fixed_far_ends() {
  for (frag_conn& j : frag_conns) j.fit_joint_fixed_far_ends();
}
