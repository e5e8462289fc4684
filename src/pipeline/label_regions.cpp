#include "pipeline/label_regions.h"

#include <vector>

#include "pipeline/pixel_neighbourhoods.h"

int outside_label(const layer& l) { return l.labels.at<int>(0, 0); }

void drop_small_regions(layer& l, int least_depth, int least_size) {
  if (l.v_peak.size() < 2) return;
  for (std::size_t i = 1; i < l.v_peak.size(); ++i)
    if (l.v_max_ink_dist[i] < least_depth || l.v_nb_pixel[i] < least_size) {
      l.v_color[i] = glm::vec3(255.0f, 255.0f, 255.0f);
      l.v_discarded[i] = 1;
    }
}

void paint_regions(const layer& l, cv::Mat& region_image) {
  if (region_image.empty()) return;  // a run that shows no pictures
  const int outside = outside_label(l);
  const int rows = l.labels.rows, cols = l.labels.cols;
  for (int wy = l.margin; wy < rows - l.margin; ++wy) {
    const int* lab = l.labels.ptr<int>(wy);
    // The window rows between the margins lie inside the image.
    for (int wx = l.margin; wx < cols - l.margin; ++wx)
      if (lab[wx] != outside) paint_colour(region_image, {wx - l.offset_x, wy - l.offset_y}, l.v_color[lab[wx]]);
  }
}

void label_regions(cv::Mat& region_image, std::list<layer>& layers, int least_depth, int least_size) {
  region_image.setTo(cv::Scalar::all(255));
  for (layer& l : layers) {
    const cv::Mat& d = l.ink_dist;
    const int rows = d.rows, cols = d.cols;
    l.labels = cv::Mat(rows, cols, CV_32SC1, cv::Scalar(-1));
    cv::Mat& lab = l.labels;

    CV_Assert(d.isContinuous());
    const int* dist = d.ptr<int>();
    int* labels = lab.ptr<int>();
    auto at = [cols](glm::ivec2 p) { return std::size_t(p.y) * std::size_t(cols) + std::size_t(p.x); };

    int ink_count = 0;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x)
        if (dist[at({x, y})] == 0) {
          labels[at({x, y})] = 0;
          if (l.v_peak.empty()) l.v_peak.emplace_back(x, y);
          ++ink_count;
        }
    l.v_max_ink_dist.push_back(0);
    l.v_nb_pixel.push_back(ink_count);

    int a = 1;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x) {
        if (labels[at({x, y})] != -1) continue;
        labels[at({x, y})] = a;
        l.v_peak.emplace_back(x, y);
        int count = 1, depth = dist[at({x, y})];
        ring_flood({glm::ivec2(x, y)}, [&](glm::ivec2 p, int, std::vector<glm::ivec2>& next) {
          visit_4(p, rows, cols, [&](glm::ivec2 q, std::size_t i) {
            int& v = labels[i];
            if (v != -1) return;
            v = a;
            next.push_back(q);
            ++count;
            if (dist[i] > depth) {
              depth = dist[i];
              l.v_peak.back() = q;
            }
          });
        });
        l.v_max_ink_dist.push_back(depth);
        l.v_nb_pixel.push_back(count);
        ++a;
      }

    l.v_color.resize(a);
    l.v_discarded.assign(l.v_peak.size(), 0);
    l.v_discarded[0] = 1;
    for (int i = 0; i < a; ++i) l.v_color[i] = random_colour() * 255.0f;
    drop_small_regions(l, least_depth, least_size);
    const int o = outside_label(l);
    l.v_discarded[o] = 0;
    l.v_color[0] *= 0.0f;
    l.v_color[o] = outside_colour;
    paint_regions(l, region_image);
  }
}
