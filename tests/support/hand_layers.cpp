#include "support/hand_layers.h"

layer hand_layer(const std::vector<std::string>& rows, int nb_labels, int margin) {
  layer l;
  const int h = static_cast<int>(rows.size()), w = static_cast<int>(rows.at(0).size());
  l.labels = cv::Mat(h, w, CV_32SC1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) l.labels.at<int32_t>(y, x) = rows[y].at(x) - '0';
  l.ink_dist = cv::Mat(h, w, CV_32SC1, cv::Scalar(1));
  l.stroke_depth = cv::Mat(h, w, CV_32SC1, cv::Scalar(0));
  l.region_mask = cv::Mat(h, w, CV_8SC1, cv::Scalar(1));
  l.v_peak.assign(nb_labels, glm::ivec2(0, 0));
  l.margin = margin;
  l.offset_x = l.offset_y = margin;
  l.min_x = l.min_y = 0;
  return l;
}
