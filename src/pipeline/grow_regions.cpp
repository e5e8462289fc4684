#include "pipeline/grow_regions.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "pipeline/label_regions.h"
#include "pipeline/pixel_neighbourhoods.h"

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
    std::vector<std::pair<glm::ivec2, int32_t>> grown;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x) {
        if (lab.at<int>(y, x) != 0) continue;
        for (glm::ivec2 q : neighbours_4(glm::ivec2(x, y), rows, cols))
          if (lab.at<int>(q.y, q.x) != 0) queue.push_back(q);
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
      const int from = lab.at<int>(p.y, p.x);
      for (glm::ivec2 q : neighbours_4(p, rows, cols)) {
        int& v = lab.at<int>(q.y, q.x);
        if (v != 0) continue;
        queue.push_back(q);
        v = from;
        grown.emplace_back(q, l.nb_grow_level);
      }
    }
    // Every pixel is labelled once, so the entries are unique: into an empty map they go
    // sorted, in linear time; otherwise one by one, keeping entries already there.
    if (l.grow_level.empty()) {
      std::sort(grown.begin(), grown.end(), [](const auto& a, const auto& b) {
        return std::less<glm::ivec2>()(a.first, b.first);
      });
      for (const auto& e : grown) l.grow_level.emplace_hint(l.grow_level.end(), e.first, e.second);
    } else {
      for (const auto& e : grown) l.grow_level.emplace(e.first, e.second);
    }
    paint_regions(l, *region_image);
  }
}
