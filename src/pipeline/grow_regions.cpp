#include "pipeline/grow_regions.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pipeline/label_regions.h"
#include "pipeline/pixel_neighbourhoods.h"

namespace {

struct grown_pixel {
  glm::ivec2 p;
  int32_t level;
};

// Sorts by column, then row: two stable counting passes, by row and then by column.
void order_by_column(std::vector<grown_pixel>& pixels, int rows, int cols) {
  std::vector<grown_pixel> by_row(pixels.size());
  std::vector<std::size_t> start(std::size_t(std::max(rows, cols)) + 1);
  std::fill(start.begin(), start.begin() + rows + 1, 0);
  for (const grown_pixel& g : pixels) ++start[std::size_t(g.p.y) + 1];
  for (int y = 0; y < rows; ++y) start[y + 1] += start[y];
  for (const grown_pixel& g : pixels) by_row[start[g.p.y]++] = g;
  std::fill(start.begin(), start.begin() + cols + 1, 0);
  for (const grown_pixel& g : by_row) ++start[std::size_t(g.p.x) + 1];
  for (int x = 0; x < cols; ++x) start[x + 1] += start[x];
  for (const grown_pixel& g : by_row) pixels[start[g.p.x]++] = g;
}

}  // namespace

void grow_regions(std::list<layer>& layers, cv::Mat* region_image) {
  region_image->setTo(cv::Scalar::all(255));
  for (layer& l : layers) {
    if (l.v_peak.size() <= 1) continue;
    l.nb_grow_level = 0;
    cv::Mat& lab = l.labels;
    const int rows = lab.rows, cols = lab.cols;
    for (int y = 0; y < rows; ++y) {
      int* row = lab.ptr<int>(y);
      for (int x = 0; x < cols; ++x)
        if (l.v_discarded[row[x]] != 0) row[x] = 0;
    }

    // One queue of pixels and ring markers; a marker is (-1, k). Taken from `head`.
    std::vector<glm::ivec2> queue;
    std::size_t head = 0;
    std::vector<grown_pixel> grown;  // every pixel grown here, with its ring
    CV_Assert(lab.isContinuous());
    int* labels = lab.ptr<int>();
    // A labelled pixel next to several unlabelled ones is queued once: its first turn takes
    // every unlabelled neighbour, so later turns would find none.
    std::vector<uchar> queued(std::size_t(rows) * std::size_t(cols), 0);
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x) {
        if (labels[std::size_t(y) * std::size_t(cols) + std::size_t(x)] != 0) continue;
        visit_4(glm::ivec2(x, y), rows, cols, [&](glm::ivec2 q, std::size_t i) {
          if (labels[i] == 0 || queued[i] != 0) return;
          queued[i] = 1;
          queue.push_back(q);
        });
      }
    queue.emplace_back(-1, 0);
    while (head < queue.size()) {
      const glm::ivec2 p = queue[head++];
      if (p.x == -1) {
        if (head == queue.size()) break;
        ++l.nb_grow_level;
        queue.emplace_back(-1, p.y + 1);
        continue;
      }
      const int from = labels[std::size_t(p.y) * std::size_t(cols) + std::size_t(p.x)];
      visit_4(p, rows, cols, [&](glm::ivec2 q, std::size_t i) {
        int& v = labels[i];
        if (v != 0) return;
        queue.push_back(q);
        v = from;
        grown.push_back({q, l.nb_grow_level});
      });
    }
    // Every pixel is grown once. In map order (by column, rows ascending within a column),
    // an empty map is filled in linear time; otherwise they go in one by one, keeping
    // entries already there.
    order_by_column(grown, rows, cols);
    const bool append = l.grow_level.empty();
    for (const grown_pixel& g : grown) {
      if (append)
        l.grow_level.emplace_hint(l.grow_level.end(), g.p, g.level);
      else
        l.grow_level.emplace(g.p, g.level);
    }
    paint_regions(l, *region_image);
  }
}
