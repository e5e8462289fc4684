#include "pipeline/compute_graph_distance.h"

#include <vector>

#include "pipeline/pixel_neighbourhoods.h"

void compute_graph_distance(std::list<layer>& layers) {
  for (layer& l : layers) {
    const int rows = l.ink_dist.rows, cols = l.ink_dist.cols;
    l.graph_dist = cv::Mat(rows, cols, CV_32SC1, cv::Scalar(-1));
    cv::Mat& dist = l.graph_dist;

    std::vector<glm::ivec2> seeds;
    seeds.reserve(l.graph.edge_pixels.size() + l.graph.junction_pixels.size());
    for (const glm::ivec2& p : l.graph.edge_pixels) seeds.push_back(p);
    for (const glm::ivec2& p : l.graph.junction_pixels) seeds.push_back(p);
    for (const glm::ivec2& p : seeds) dist.at<int32_t>(p.y, p.x) = 0;

    ring_flood(std::move(seeds), [&](glm::ivec2 p, int k, std::vector<glm::ivec2>& next) {
      for (glm::ivec2 q : window_3x3(p, rows, cols)) {
        int32_t& d = dist.at<int32_t>(q.y, q.x);
        if (d != -1) continue;
        // The inside of a kept region is not crossed: distances run along the strokes.
        if (l.stroke_depth.at<int32_t>(q.y, q.x) == 0 && l.region_mask.at<schar>(q.y, q.x) != 0)
          continue;
        d = k;
        next.push_back(q);
      }
    });
  }
}
