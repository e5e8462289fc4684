#include "app/curve_vertex_arrays.h"

#include <set>

#include "graph/curve_network.h"

namespace {

struct by_x_then_y {
  bool operator()(const glm::vec2& a, const glm::vec2& b) const {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  }
};

}  // namespace

curve_vertex_arrays make_curve_vertex_arrays(const curve_network& network, float image_width,
                                             float image_height) {
  std::size_t nb_curve = 0;
  for (const layer_graph& lg : network) nb_curve += lg.curves.size();

  curve_vertex_arrays out;
  out.cubic.reserve(2 * nb_curve);
  out.quadratic.reserve(2 * nb_curve);
  out.straight.reserve(2 * nb_curve);

  const auto uv = [&](const glm::dvec2& p) {
    return glm::vec2(static_cast<float>(p.x / image_width), static_cast<float>(p.y / image_height));
  };
  // An end point shared by several curves is drawn once.
  std::set<glm::vec2, by_x_then_y> ends;
  for (const layer_graph& lg : network) {
    for (const curve& c : lg.curves) {
      if (c.v_segment.empty()) continue;
      const std::vector<glm::dvec2>& p = c.v_segment[0].v_ctrl_point;
      if (p.empty()) continue;
      if (p.size() == 4) {
        const glm::vec2 a = uv(p[0]), b = uv(p[1]), d = uv(p[2]), e = uv(p[3]);
        out.cubic.emplace_back(a.x, a.y, b.x, b.y);
        out.cubic.emplace_back(d.x, d.y, e.x, e.y);
      } else if (p.size() == 3) {
        for (const glm::dvec2& q : p) out.quadratic.push_back(uv(q));
      } else if (p.size() == 2) {
        for (const glm::dvec2& q : p) out.straight.push_back(uv(q));
      }
      ends.insert(glm::vec2(p.front()));
      ends.insert(glm::vec2(p.back()));
    }
  }
  out.nodes.reserve(ends.size());
  for (const glm::vec2& e : ends) out.nodes.emplace_back(e.x / image_width, e.y / image_height);
  return out;
}
