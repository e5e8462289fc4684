#pragma once
// What the ink test makes of a whole loaded sketch, before its extraction: whether there
// is anything to trace, and advice when the threshold takes most of the picture for ink.
// Both programs ask it once the sketch is read, so that they refuse and advise alike.

#include <string>

#include <opencv2/core/mat.hpp>

// Each text is one line naming the sketch, or empty when it does not apply.
struct sketch_ink_check {
  // More than half of the image is ink under the threshold (mostly_ink_advice): the share,
  // the paper's grey and a threshold that would separate the ink.
  std::string advice;
  // No pixel is paper: one solid blob draws no stroke, and its hundreds of thousands of
  // samples would keep the annealing busy for minutes. Both programs refuse the sketch.
  std::string all_ink;
  // No pixel is ink: there is nothing to trace.
  std::string no_ink;
};

// Judges the input image (CV_32FC1, values in [0, 1]; ink at or below `threshold`), naming
// it `name` in the texts. An empty image gives three empty texts.
sketch_ink_check check_sketch_ink(const cv::Mat& input_image, float threshold, const std::string& name);
