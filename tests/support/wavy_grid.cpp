#include "support/wavy_grid.h"

#include <cmath>
#include <vector>

#include "support/layer_fixtures.h"

namespace fixture {

namespace {

// The drawn position of lattice point p: one smooth displacement field for every line,
// so fragments meeting at a node end at the same point.
glm::vec2 drawn(double x, double y, double spacing) {
  const double a = 0.12 * spacing;
  // One spacing of margin keeps every sample inside the picture.
  return glm::vec2(float(spacing + x + a * std::sin(y / (2.3 * spacing) + 0.5)),
                   float(spacing + y + a * std::sin(x / (2.3 * spacing) + 1.1)));
}

void add_fragment(layer_graph& lg, frag_conn* a, frag_conn* b, bool horizontal, int line,
                  double from, double to, double spacing, int samples) {
  f_curve& f = lg.f_curves.emplace_back();
  for (int i = 0; i < samples; ++i) {
    const double t = samples > 1 ? double(i) / (samples - 1) : 0.0;
    const double along = from + t * (to - from);
    const double across = line * spacing;
    f.v_point.push_back(horizontal ? drawn(along, across, spacing) : drawn(across, along, spacing));
    f.v_weight.push_back(1.0f);
    f.v_t.push_back(t);
  }
  f.v_frag_conn = {a, b};
  a->v_frag_end.push_back(frag_end{&f, 0});
  b->v_frag_end.push_back(frag_end{&f, 3});
  f.fit_cubic();
}

}  // namespace

void wavy_grid(layer_graph& lg, int cols, int rows, double spacing, int samples) {
  std::vector<frag_conn*> j;
  for (int i = 0; i < cols * rows; ++i) j.push_back(&lg.frag_conns.emplace_back());
  auto at = [&](int col, int row) { return j[static_cast<std::size_t>(row * cols + col)]; };
  for (int row = 0; row < rows; ++row)
    for (int col = 0; col + 1 < cols; ++col)
      add_fragment(lg, at(col, row), at(col + 1, row), true, row, col * spacing,
                   (col + 1) * spacing, spacing, samples);
  for (int col = 0; col < cols; ++col)
    for (int row = 0; row + 1 < rows; ++row)
      add_fragment(lg, at(col, row), at(col, row + 1), false, col, row * spacing,
                   (row + 1) * spacing, spacing, samples);
  lg.width = static_cast<int>(std::ceil((cols + 1) * spacing));
  lg.height = static_cast<int>(std::ceil((rows + 1) * spacing));
  link_one_curve_per_fragment(lg);
}

}  // namespace fixture
