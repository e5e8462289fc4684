#include "pipeline/extract_boundary_pixels.h"

#include <vector>

#include "pipeline/window_painting.h"

namespace {

// Inserts `label` into the ascending, repeat-free others[0 .. n - 1].
void insert_sorted(int32_t* others, int& n, int32_t label) {
  int i = n;
  while (i > 0 && others[i - 1] > label) --i;
  if (i > 0 && others[i - 1] == label) return;
  for (int j = n; j > i; --j) others[j] = others[j - 1];
  others[i] = label;
  ++n;
}

// A pixel that sees other labels in its 3 by 3 block.
struct boundary_pixel {
  glm::ivec2 p;
  int32_t own;
  int n;              // number of other labels
  int32_t others[8];  // ascending
};

}  // namespace

void extract_boundary_pixels(std::list<layer>& layers, cv::Mat* region_image,
                             cv::Mat* boundary_image) {
  cv::Mat none;  // a null boundary image: none is made or painted
  cv::Mat& boundary = boundary_image ? *boundary_image : none;
  if (boundary_image) boundary = cv::Mat(region_image->size(), CV_32FC3, cv::Scalar(0, 0, 0));
  const glm::vec3 black(0, 0, 0), white(255, 255, 255);

  std::vector<boundary_pixel> found, by_column;
  std::vector<std::size_t> column_start;
  std::vector<uchar> same_column, same_next;
  for (layer& l : layers) {
    if (l.v_peak.size() <= 1) continue;
    pixel_graph& g = l.graph;
    const int rows = l.labels.rows, cols = l.labels.cols;

    // Row-major scan of the clipped 3 by 3 blocks (the set of other labels does not
    // depend on the visiting order), painting as it goes. same_column[x]: the pixels
    // above and below (x, y) carry its label; same_next[x]: (x + 1, y) does. A block is
    // uniform, and skipped, when both hold across it.
    found.clear();
    same_column.assign(cols, 1);
    same_next.assign(cols, 1);
    for (int y = 0; y < rows; ++y) {
      const int32_t* above = l.labels.ptr<int32_t>(y > 0 ? y - 1 : y);
      const int32_t* row = l.labels.ptr<int32_t>(y);
      const int32_t* below = l.labels.ptr<int32_t>(y + 1 < rows ? y + 1 : y);
      for (int x = 0; x < cols; ++x) same_column[x] = above[x] == row[x] && below[x] == row[x];
      for (int x = 0; x + 1 < cols; ++x) same_next[x] = row[x] == row[x + 1];
      for (int x = 0; x < cols; ++x) {
        const int x0 = x > 0 ? x - 1 : x, x1 = x + 1 < cols ? x + 1 : x;
        if (same_column[x0] && same_column[x] && same_column[x1] && same_next[x0] &&
            (x1 == x || same_next[x]))
          continue;
        const int32_t own = row[x];
        boundary_pixel b{glm::ivec2(x, y), own, 0, {}};
        for (const int32_t* r : {above, row, below})
          for (int xx = x0; xx <= x1; ++xx)
            if (r[xx] != own) insert_sorted(b.others, b.n, r[xx]);
        if (b.n == 0) continue;
        const bool edge = b.n == 1;
        paint_window_pixel(*region_image, l, b.p, edge ? black : white);
        paint_window_pixel(boundary, l, b.p, white);
        found.push_back(b);
      }
    }

    // Regrouped by column (rows stay ascending within a column): set order, so every
    // insertion below lands at the end of its set.
    column_start.assign(cols + 1, 0);
    for (const boundary_pixel& b : found) ++column_start[b.p.x + 1];
    for (int x = 0; x < cols; ++x) column_start[x + 1] += column_start[x];
    by_column.resize(found.size());
    for (const boundary_pixel& b : found) by_column[column_start[b.p.x]++] = b;

    for (const boundary_pixel& b : by_column) {
      if (b.n == 1) {
        std::set<glm::ivec2>& pair = g.edge_pixels_by_pair[make_ipair(b.own, b.others[0])];
        pair.insert(pair.end(), b.p);
        g.edge_pixels.insert(g.edge_pixels.end(), b.p);
      } else {
        for (int i = 0; i < b.n; ++i) {
          std::set<glm::ivec2>& pair = g.junction_pixels_by_pair[make_ipair(b.own, b.others[i])];
          pair.insert(pair.end(), b.p);
        }
        g.junction_pixels.insert(g.junction_pixels.end(), b.p);
      }
    }
  }
}
