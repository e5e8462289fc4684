#include "graph/joint_fit.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <set>
#include <unordered_map>

#include "graph/curve.h"
#include "graph/end_slide.h"
#include "graph/f_curve.h"
#include "graph/joint_system.h"
#include "graph/nregion.h"
#include "pipeline/view_settings.h"

namespace {

// Bernstein values of the segment degree at u, in the expanded forms of the curve fits.
template <int degree>
inline void segment_basis(double u, double* b);

template <>
inline void segment_basis<1>(double u, double* b) {
  b[0] = 1 - u;
  b[1] = u;
}

template <>
inline void segment_basis<2>(double u, double* b) {
  const double u2 = u * u;
  b[0] = (u2 - 2 * u) + 1;
  b[1] = 2 * u - 2 * u2;
  b[2] = u2;
}

template <>
inline void segment_basis<3>(double u, double* b) {
  joint_cubic_basis(u, b);
}

void report_kept(std::size_t kept, std::size_t total, const char* what) {
  std::cout << "joint fit: singular system, " << kept << " of " << total << " " << what
            << " keep their previous control points" << std::endl;
}

// One end at a junction: its variable and where the shared point is copied back to.
struct curve_end_entry {
  int variable;
  curve* owner;
  int end;  // control-point index on the first segment
};

}  // namespace

template <int degree>
void add_normal_equations(joint_matrix& matrix, Eigen::VectorXd& rhs_x, Eigen::VectorXd& rhs_y,
                          double* basis, double t0, double t1, int base, double slope,
                          double offset, const std::vector<double>& params,
                          const std::vector<glm::vec2>& samples, const std::vector<float>& weights) {
  const bool full = t0 == 0 && t1 == 1;
  const std::size_t count = params.size();
  for (std::size_t i = 0; i < count; ++i) {
    const double t = params[i];
    if (!full && !(t0 <= t && t <= t1)) continue;
    const double u = t * slope + offset;
    segment_basis<degree>(u, basis);
    const double w = weights[i];
    const float xw = samples[i].x * weights[i];
    const float yw = samples[i].y * weights[i];
    for (int r = 0; r <= degree; ++r) {
      const double wb = w * basis[r];
      for (int c = 0; c <= degree; ++c) matrix(base + r, base + c) += wb * basis[c];
      rhs_x[base + r] += xw * basis[r];
      rhs_y[base + r] += yw * basis[r];
    }
  }
}

template void add_normal_equations<1>(joint_matrix&, Eigen::VectorXd&, Eigen::VectorXd&,
                                      double*, double, double, int, double, double,
                                      const std::vector<double>&, const std::vector<glm::vec2>&,
                                      const std::vector<float>&);
template void add_normal_equations<2>(joint_matrix&, Eigen::VectorXd&, Eigen::VectorXd&,
                                      double*, double, double, int, double, double,
                                      const std::vector<double>&, const std::vector<glm::vec2>&,
                                      const std::vector<float>&);
template void add_normal_equations<3>(joint_matrix&, Eigen::VectorXd&, Eigen::VectorXd&,
                                      double*, double, double, int, double, double,
                                      const std::vector<double>&, const std::vector<glm::vec2>&,
                                      const std::vector<float>&);

void fit_fragments_jointly(const std::vector<frag_conn*>& junctions) {
  std::vector<f_curve*> fragments;
  std::unordered_map<const f_curve*, int> index_of;
  gather_joint_fragments(junctions, fragments, index_of);
  if (fragments.empty()) return;

  const int nb = static_cast<int>(fragments.size());
  std::vector<int> owner_of(4 * nb);
  for (int v = 0; v < 4 * nb; ++v) owner_of[v] = v / 4;
  joint_system sys(std::move(owner_of), nb);

  for (int k = 0; k < nb; ++k) {
    const f_curve& f = *fragments[k];
    const std::size_t count = f.v_t.size();
    if (f.v_point.size() != count || f.v_weight.size() != count) continue;
    const int base = 4 * k;
    for (std::size_t i = 0; i < count; ++i) {
      double b[4];
      joint_cubic_basis(f.v_t[i], b);
      const double w = f.v_weight[i];
      const float xw = f.v_point[i].x * f.v_weight[i];
      const float yw = f.v_point[i].y * f.v_weight[i];
      for (int r = 0; r < 4; ++r) {
        const double wb = w * b[r];
        for (int c = 0; c < 4; ++c) sys.matrix(base + r, base + c) += wb * b[c];
        sys.rhs_x[base + r] += xw * b[r];
        sys.rhs_y[base + r] += yw * b[r];
      }
    }
  }

  sys.regularise_underdetermined();

  auto end_variable = [&](const frag_end& fe) {
    return 4 * index_of[fe.fragment] + (fe.end != 0 ? 3 : 0);
  };
  for (frag_conn* j : junctions) {
    if (j->v_frag_end.size() < 2) continue;
    const int m = end_variable(j->v_frag_end[0]);
    for (std::size_t e = 1; e < j->v_frag_end.size(); ++e) sys.merge(m, end_variable(j->v_frag_end[e]));
  }

  const std::vector<bool> usable = sys.solve();

  std::size_t kept = 0;
  for (int k = 0; k < nb; ++k) {
    if (!usable[k]) {
      ++kept;
      continue;
    }
    std::vector<glm::dvec2>& ctrl = fragments[k]->v_ctrl_point;
    ctrl.resize(4);
    for (int c = 0; c < 4; ++c) ctrl[c] = glm::dvec2(sys.x[4 * k + c], sys.y[4 * k + c]);
  }

  // The merged-away ends come out of the solve as 0: give them the shared point.
  for (frag_conn* j : junctions) {
    if (j->v_frag_end.size() < 2) continue;
    const frag_end& first = j->v_frag_end[0];
    if (!usable[index_of[first.fragment]]) continue;  // merges keep a junction in one group
    const glm::dvec2 shared = first.fragment->v_ctrl_point[first.end != 0 ? 3 : 0];
    for (std::size_t e = 1; e < j->v_frag_end.size(); ++e) {
      const frag_end& fe = j->v_frag_end[e];
      fe.fragment->v_ctrl_point[fe.end != 0 ? 3 : 0] = shared;
    }
  }

  // Shared ends are moved into the image alike at every fragment, so they stay shared.
  for (int k = 0; k < nb; ++k)
    if (usable[k]) fragments[k]->keep_in_frame(true);

  if (kept > 0) report_kept(kept, fragments.size(), "fragments");
}

namespace {

// Inner neighbour of the end at control point `end` of a segment of the given degree.
int inner_neighbour(int end, int degree) { return end == 0 ? 1 : degree - 1; }

// A two-curve connection whose curves leave the junction in nearly opposite
// directions: the second curve's inner neighbour is tied to the mirror of the first's.
struct smooth_join {
  const curve_end_entry* first;
  const curve_end_entry* second;
};

bool wants_smooth_join(const curve_end_entry& a, const curve_end_entry& b) {
  if (a.owner == b.owner) return false;
  const curve_segment& sa = a.owner->v_segment[0];
  const curve_segment& sb = b.owner->v_segment[0];
  // With a line the neighbour is the far end, itself shared elsewhere: no tie.
  if (sa.degree < 2 || sb.degree < 2) return false;
  const glm::dvec2 ja = sa.v_ctrl_point[a.end];
  const glm::dvec2 jb = sb.v_ctrl_point[b.end];
  glm::dvec2 da = sa.v_ctrl_point[inner_neighbour(a.end, sa.degree)] - ja;
  glm::dvec2 db = sb.v_ctrl_point[inner_neighbour(b.end, sb.degree)] - jb;
  da /= std::sqrt(da.x * da.x + da.y * da.y);
  db /= std::sqrt(db.x * db.x + db.y * db.y);
  return da.x * db.x + da.y * db.y < -0.9;  // NaN (a point on its neighbour) fails
}

// Every variable of a frozen curve is held at its control point; an end merged into
// another curve's end holds that shared variable.
void hold_frozen_curves(joint_system& sys, const std::vector<curve*>& ordered,
                        std::unordered_map<const curve*, int>& base_of,
                        const std::vector<std::vector<curve_end_entry>>& end_lists) {
  std::vector<curve*> frozen;
  for (curve* c : ordered)
    if (frozen_in_view(c) && !c->v_segment.empty()) frozen.push_back(c);
  if (frozen.empty()) return;
  std::unordered_map<int, int> merged_into;
  for (const std::vector<curve_end_entry>& list : end_lists)
    for (std::size_t e = 1; e < list.size(); ++e) merged_into[list[e].variable] = list[0].variable;
  for (curve* c : frozen) {
    const curve_segment& seg = c->v_segment[0];
    if (seg.degree < 0 || seg.degree > 3) continue;
    for (int k = 0; k <= seg.degree; ++k) {
      const int v = base_of[c] + k;
      const auto m = merged_into.find(v);
      sys.fix(m == merged_into.end() ? v : m->second, seg.v_ctrl_point[k].x, seg.v_ctrl_point[k].y);
    }
  }
}

// A lone end meets no other curve, so the shared points give no reason to move it: it
// is held where the curve's own fit puts it. Free, it would follow the curve's fixed
// parameters when the other end is pinned at a junction, and a chain whose last piece is
// crowded with junction pixels then swings that end past the stroke's tip.
void hold_lone_ends(joint_system& sys, const std::vector<curve*>& ordered,
                    std::unordered_map<const curve*, int>& base_of,
                    const std::vector<std::vector<curve_end_entry>>& end_lists) {
  std::set<const curve*> joined;
  for (const std::vector<curve_end_entry>& list : end_lists)
    if (list.size() >= 2)
      for (const curve_end_entry& e : list) joined.insert(e.owner);
  for (curve* c : ordered) {
    if (joined.count(c) == 0 || frozen_in_view(c)) continue;
    const curve_segment& seg = c->v_segment[0];
    if (seg.degree < 1 || seg.degree > 3) continue;
    std::vector<glm::dvec2> own;  // the curve's own fit, made when first needed
    for (const nconnection* conn : c->v_nconnection) {
      if (conn->v_curve.size() >= 2 || conn->v_frag_conn.empty()) continue;
      const int end = curve_end_at(*c, *conn->v_frag_conn[0]);
      const int v = base_of[c] + end;
      if (end < 0 || sys.emptied(v)) continue;
      if (own.empty()) {
        curve_segment alone = seg;
        alone.fit();
        own = alone.v_ctrl_point;
      }
      if (own.size() != seg.v_ctrl_point.size()) break;
      const glm::dvec2 p = own[end];
      if (std::isfinite(p.x) && std::isfinite(p.y)) sys.fix(v, p.x, p.y);
    }
  }
}

// A curve the user merged by hand and did not freeze: its ends go where the others put
// their junctions, not where its own samples pull them.
bool held_to_junctions(curve* c) { return merged_in_view(c) && !frozen_in_view(c); }

// The point of the junction where c ends at conn: the end of the first other curve ending
// there that is not itself held to its junctions, else where the junction's fragments
// meet (the end point of the first of c's fragments listed there). False when there is
// neither.
bool junction_point(const curve& c, const nconnection& conn, const frag_conn& junction, glm::dvec2& out) {
  for (curve* o : conn.v_curve) {
    if (o == &c || held_to_junctions(o) || o->v_segment.empty()) continue;
    const int end = curve_end_at(*o, junction);
    const std::vector<glm::dvec2>& points = o->v_segment[0].v_ctrl_point;
    if (end < 0 || static_cast<std::size_t>(end) >= points.size()) continue;
    out = points[end];
    return true;
  }
  for (const frag_end& fe : junction.v_frag_end) {
    const std::vector<curve*>& holders = fe.fragment->v_curve;
    if (std::find(holders.begin(), holders.end(), &c) == holders.end()) continue;
    const std::vector<glm::dvec2>& points = fe.fragment->v_ctrl_point;
    if (points.size() != 4) return false;
    out = points[fe.end != 0 ? 3 : 0];
    return true;
  }
  return false;
}

// Drops the ends of curves held to their junctions from the lists: they share no
// variable, so their samples do not pull the points where the others meet.
void drop_held_ends(std::vector<std::vector<curve_end_entry>>& end_lists) {
  for (std::vector<curve_end_entry>& list : end_lists)
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const curve_end_entry& e) { return held_to_junctions(e.owner); }),
               list.end());
}

void fit_curves(const std::vector<nconnection*>& connections, std::list<curve>& curves,
                bool smooth) {
  // Variable bases in list order; curves outside degrees 0 to 3 or without a segment
  // get no variables.
  std::unordered_map<const curve*, int> base_of;
  std::unordered_map<const curve*, int> ordinal_of;
  std::vector<curve*> ordered;
  std::vector<int> owner_of;
  for (curve& c : curves) {
    const int ordinal = static_cast<int>(ordered.size());
    ordered.push_back(&c);
    ordinal_of[&c] = ordinal;
    base_of[&c] = static_cast<int>(owner_of.size());
    if (c.v_segment.empty()) continue;
    curve_segment& seg = c.v_segment[0];
    if (seg.degree < 0 || seg.degree > 3) continue;
    seg.v_ctrl_point.resize(seg.degree + 1);
    for (int k = 0; k <= seg.degree; ++k) owner_of.push_back(ordinal);
  }

  std::vector<std::vector<curve_end_entry>> end_lists(connections.size());
  for (std::size_t ci = 0; ci < connections.size(); ++ci) {
    const nconnection& conn = *connections[ci];
    if (conn.v_frag_conn.empty()) continue;
    for (curve* c : conn.v_curve) {
      const auto found = base_of.find(c);
      if (found == base_of.end()) continue;  // not in the fitted list
      const int degree = c->v_segment.empty() ? -1 : c->v_segment[0].degree;
      if (degree < 0 || degree > 3) continue;
      // A curve listed twice here (closed at this junction) ties its other end the
      // second time, not the same one again.
      std::vector<int> taken;
      for (const curve_end_entry& e : end_lists[ci])
        if (e.owner == c) taken.push_back(e.end);
      const int end = curve_end_at(*c, *conn.v_frag_conn[0], taken);
      if (end < 0) continue;
      end_lists[ci].push_back({found->second + end, c, end});
    }
  }

  joint_system sys(std::move(owner_of), static_cast<int>(ordered.size()));

  double basis[4];
  for (curve* c : ordered) {
    if (c->v_segment.empty()) continue;
    const curve_segment& seg = c->v_segment[0];
    const int base = base_of[c];
    for (const frag_ref& ref : seg.v_frag_ref) {
      if (ref.t0 == ref.t1) continue;
      double slope, offset;
      frag_ref_mapping(ref, slope, offset);
      const f_curve& f = *ref.fragment;
      if (f.v_point.size() != f.v_t.size() || f.v_weight.size() != f.v_t.size()) continue;
      switch (seg.degree) {
        case 1:
          add_normal_equations<1>(sys.matrix, sys.rhs_x, sys.rhs_y, basis, ref.t0, ref.t1, base,
                                  slope, offset, f.v_t, f.v_point, f.v_weight);
          break;
        case 2:
          add_normal_equations<2>(sys.matrix, sys.rhs_x, sys.rhs_y, basis, ref.t0, ref.t1, base,
                                  slope, offset, f.v_t, f.v_point, f.v_weight);
          break;
        case 3:
          add_normal_equations<3>(sys.matrix, sys.rhs_x, sys.rhs_y, basis, ref.t0, ref.t1, base,
                                  slope, offset, f.v_t, f.v_point, f.v_weight);
          break;
        default:
          break;
      }
    }
  }

  sys.regularise_underdetermined();

  std::vector<std::size_t> nb_listed(end_lists.size());
  for (std::size_t ci = 0; ci < end_lists.size(); ++ci) nb_listed[ci] = end_lists[ci].size();
  drop_held_ends(end_lists);

  for (std::size_t ci = 0; ci < end_lists.size(); ++ci) {
    if (nb_listed[ci] < 2) {
      std::cout << "error  azertyuiazertazert" << std::endl;
      continue;
    }
    const std::vector<curve_end_entry>& list = end_lists[ci];
    for (std::size_t e = 1; e < list.size(); ++e) sys.merge(list[0].variable, list[e].variable);
  }

  hold_frozen_curves(sys, ordered, base_of, end_lists);
  hold_lone_ends(sys, ordered, base_of, end_lists);

  std::vector<smooth_join> joins;
  std::vector<bool> tied(sys.size(), false);
  if (smooth) {
    for (std::size_t ci = 0; ci < connections.size(); ++ci) {
      const std::vector<curve_end_entry>& list = end_lists[ci];
      if (connections[ci]->v_curve.size() != 2 || list.size() != 2) continue;
      if (!wants_smooth_join(list[0], list[1])) continue;
      const curve_segment& sa = list[0].owner->v_segment[0];
      const curve_segment& sb = list[1].owner->v_segment[0];
      const int m = list[0].variable;
      const int n = base_of[list[0].owner] + inner_neighbour(list[0].end, sa.degree);
      const int v = base_of[list[1].owner] + inner_neighbour(list[1].end, sb.degree);
      // A quadratic's one inner point neighbours both its ends: tie each point once.
      if (sys.emptied(v) || sys.emptied(n) || tied[v] || tied[n] || v == m || v == n) continue;
      tied[v] = tied[n] = true;
      sys.tie(v, m, 2.0, n, -1.0);
      joins.push_back({&list[0], &list[1]});
    }
  }

  const std::vector<bool> usable = sys.solve();

  std::size_t kept = 0;
  for (curve* c : ordered) {
    if (c->v_segment.empty()) continue;
    curve_segment& seg = c->v_segment[0];
    if (seg.degree < 0 || seg.degree > 3) continue;
    if (!usable[ordinal_of[c]]) {
      ++kept;
      continue;
    }
    if (frozen_in_view(c)) continue;  // held: its points stay exactly as they were
    const int base = base_of[c];
    for (int k = 0; k <= seg.degree; ++k) seg.v_ctrl_point[k] = glm::dvec2(sys.x[base + k], sys.y[base + k]);
  }

  for (std::size_t ci = 0; ci < end_lists.size(); ++ci) {
    if (nb_listed[ci] < 2) {
      std::cout << "error  azertyuiazertazert" << std::endl;
      continue;
    }
    const std::vector<curve_end_entry>& list = end_lists[ci];
    if (list.empty() || !usable[ordinal_of[list[0].owner]]) continue;
    // A frozen curve's end is the shared point as it stands, not its solve's rounding.
    const curve_end_entry* source = &list[0];
    for (const curve_end_entry& e : list)
      if (frozen_in_view(e.owner)) source = &e;
    const glm::dvec2 shared = source->owner->v_segment[0].v_ctrl_point[source->end];
    for (const curve_end_entry& e : list)
      if (&e != source && !frozen_in_view(e.owner)) e.owner->v_segment[0].v_ctrl_point[e.end] = shared;
  }

  for (const smooth_join& join : joins) {
    if (!usable[ordinal_of[join.first->owner]]) continue;
    const curve_segment& sa = join.first->owner->v_segment[0];
    curve_segment& sb = join.second->owner->v_segment[0];
    const glm::dvec2 j = sa.v_ctrl_point[join.first->end];
    const glm::dvec2 nb = sa.v_ctrl_point[inner_neighbour(join.first->end, sa.degree)];
    sb.v_ctrl_point[inner_neighbour(join.second->end, sb.degree)] = 2.0 * j - nb;
  }

  // Shared ends are moved into the image alike at every curve, so they stay shared.
  for (curve* c : ordered)
    if (!c->v_segment.empty() && usable[ordinal_of[c]] && !frozen_in_view(c))
      c->v_segment[0].keep_in_frame(true);
  // Once the others have their shared points, inside the image.
  for (curve* c : ordered)
    if (held_to_junctions(c) && usable[ordinal_of[c]]) fit_between_junctions(*c);

  if (kept > 0) report_kept(kept, ordered.size(), "curves");
}

}  // namespace

void fit_between_junctions(curve& c) {
  if (c.v_segment.empty() || c.v_nconnection.size() != 2) return;
  const std::vector<glm::dvec2>& points = c.v_segment[0].v_ctrl_point;
  if (points.empty()) return;
  glm::dvec2 ends[2] = {points.front(), points.back()};
  std::vector<int> taken;  // a curve closed at one junction finds its other end there
  for (const nconnection* conn : c.v_nconnection) {
    if (!conn || conn->v_frag_conn.empty() || !conn->v_frag_conn[0]) return;
    const frag_conn& junction = *conn->v_frag_conn[0];
    const int end = curve_end_at(c, junction, taken);
    glm::dvec2 p;
    if (end < 0 || !junction_point(c, *conn, junction, p)) return;
    ends[end == 0 ? 0 : 1] = p;
    taken.push_back(end);
  }
  fit_inner_points_between(c, ends[0], ends[1]);
  c.v_segment[0].keep_in_frame(true);
}

void fit_curves_jointly(const std::vector<nconnection*>& connections, std::list<curve>& curves) {
  fit_curves(connections, curves, false);
}

void fit_curves_jointly_smooth(const std::vector<nconnection*>& connections,
                               std::list<curve>& curves) {
  fit_curves(connections, curves, true);
}
