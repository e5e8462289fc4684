#include "pipeline/extract_boundary_pixels.h"


#include "pipeline/pixel_neighbourhoods.h"
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

}  // namespace

void extract_boundary_pixels(std::list<layer>& layers, cv::Mat* region_image,
                             cv::Mat* boundary_image) {
  *boundary_image = cv::Mat(region_image->size(), CV_32FC3, cv::Scalar(0, 0, 0));
  const glm::vec3 black(0, 0, 0), white(255, 255, 255);

  for (layer& l : layers) {
    if (l.v_peak.size() <= 1) continue;
    pixel_graph& g = l.graph;
    const int rows = l.labels.rows, cols = l.labels.cols;
    for (int y = 0; y < rows; ++y) {
      const int32_t* row = l.labels.ptr<int32_t>(y);
      for (int x = 0; x < cols; ++x) {
        const glm::ivec2 p(x, y);
        const int32_t own = row[x];
        // The other labels of the block, ascending and without repeats (at most 8).
        int32_t others[8];
        int n = 0;
        for (glm::ivec2 q : window_3x3(p, rows, cols)) {
          const int32_t d = l.labels.at<int32_t>(q.y, q.x);
          if (d != own) insert_sorted(others, n, d);
        }
        if (n == 0) continue;
        if (n == 1) {
          g.edge_pixels_by_pair[make_ipair(own, others[0])].insert(p);
          g.edge_pixels.insert(p);
          paint_window_pixel(*region_image, l, p, black);
          paint_window_pixel(*boundary_image, l, p, white);
        } else {
          for (int i = 0; i < n; ++i) g.junction_pixels_by_pair[make_ipair(own, others[i])].insert(p);
          g.junction_pixels.insert(p);
          paint_window_pixel(*region_image, l, p, white);
          paint_window_pixel(*boundary_image, l, p, white);
        }
      }
    }
  }
}
