// Curve-level rebuilds and the editing operations that keep a network's links in step.

#include "graph/curve.h"

#include <algorithm>

#include "graph/f_curve.h"

void curve::merge_segments() {
  if (v_segment.empty()) {
    v_segment.emplace_back();
  } else if (v_segment.size() > 1) {
    std::vector<frag_ref>& all = v_segment[0].v_frag_ref;
    for (std::size_t s = 1; s < v_segment.size(); ++s)
      all.insert(all.end(), v_segment[s].v_frag_ref.begin(), v_segment[s].v_frag_ref.end());
    v_segment.resize(1);
  }
  v_segment[0].order_fragments();
  v_segment[0].fit();
  v_point_list.clear();
}

void curve::refit() {
  mean_error = 0;
  for (curve_segment& s : v_segment) mean_error += static_cast<double>(s.fit());
  mean_error /= static_cast<double>(nb_point);
}

curve::curve(f_curve* f, int degree) { add_fragment_to_last_segment(f, degree); }

void curve::append_fragment(f_curve* f) {
  v_f_curve.push_back(f);
  for (frag_conn* j : f->v_frag_conn)
    if (std::find(j->v_curve.begin(), j->v_curve.end(), this) == j->v_curve.end())
      j->v_curve.push_back(this);
  f->v_curve.push_back(this);
  nb_point += f->v_point.size();
  v_segment.emplace_back();
  v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
}

float curve::add_fragment_to_last_segment(f_curve* f, int degree) {
  v_f_curve.push_back(f);
  if (v_segment.empty()) {
    v_segment.emplace_back();
    v_segment.back().degree = degree;
  }
  v_segment.back().v_frag_ref.push_back(frag_ref{f, 0, 1, 0, 1, false});
  nb_point += f->v_point.size();
  v_segment.back().order_fragments();
  return v_segment.back().fit();
}
