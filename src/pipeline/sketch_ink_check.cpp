#include "pipeline/sketch_ink_check.h"

#include <locale>
#include <sstream>

#include "pipeline/extract_layers.h"

sketch_ink_check check_sketch_ink(const cv::Mat& input_image, float threshold, const std::string& name) {
  sketch_ink_check check;
  if (input_image.empty()) return check;
  CV_Assert(input_image.type() == CV_32FC1);
  std::size_t ink = 0;
  for (int y = 0; y < input_image.rows; ++y) {
    const float* row = input_image.ptr<float>(y);
    for (int x = 0; x < input_image.cols; ++x)
      if (is_ink(row[x], threshold)) ++ink;
  }
  check.advice = mostly_ink_advice(input_image, threshold, name);
  if (ink == input_image.total()) check.all_ink = name + ": every pixel is ink, so there is no stroke to trace";
  if (ink == 0) {
    std::ostringstream line;
    line.imbue(std::locale::classic());
    line << name << ": no pixel is ink under the ink threshold " << threshold
         << " (config/color_thresh.conf), so there is no stroke to trace";
    check.no_ink = line.str();
  }
  return check;
}
