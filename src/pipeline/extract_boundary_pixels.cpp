#include "pipeline/extract_boundary_pixels.h"

#include <set>

#include "pipeline/pixel_neighbourhoods.h"
#include "pipeline/window_painting.h"

void extract_boundary_pixels(std::list<layer>& layers, cv::Mat* region_image,
                             cv::Mat* boundary_image) {
  *boundary_image = cv::Mat(region_image->size(), CV_32FC3, cv::Scalar(0, 0, 0));
  const glm::vec3 black(0, 0, 0), white(255, 255, 255);

  for (layer& l : layers) {
    if (l.v_peak.size() <= 1) continue;
    pixel_graph& g = l.graph;
    const int rows = l.labels.rows, cols = l.labels.cols;
    std::set<int32_t> others;
    for (int y = 0; y < rows; ++y) {
      const int32_t* row = l.labels.ptr<int32_t>(y);
      for (int x = 0; x < cols; ++x) {
        const glm::ivec2 p(x, y);
        const int32_t own = row[x];
        others.clear();
        for (glm::ivec2 q : window_3x3(p, rows, cols)) {
          const int32_t d = l.labels.at<int32_t>(q.y, q.x);
          if (d != own) others.insert(d);
        }
        if (others.size() == 1) {
          g.edge_pixels_by_pair[make_ipair(own, *others.begin())].insert(p);
          g.edge_pixels.insert(p);
          paint_window_pixel(*region_image, l, p, black);
          paint_window_pixel(*boundary_image, l, p, white);
        } else if (others.size() >= 2) {
          for (int32_t d : others) g.junction_pixels_by_pair[make_ipair(own, d)].insert(p);
          g.junction_pixels.insert(p);
          paint_window_pixel(*region_image, l, p, white);
          paint_window_pixel(*boundary_image, l, p, white);
        }
      }
    }
  }
}
