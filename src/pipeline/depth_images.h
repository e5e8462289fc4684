#pragma once
// Stroke measures over whole images, offered for inspection; neither program calls them.
// Distance images are CV_32SC1; colour images are CV_32FC3, blue, green, red, 0 to 255,
// showing a value v as jet_color(...) x 255 and 0 as black. Label images are CV_32SC1
// of the same size as the other inputs; `discarded` is indexed by label (a label outside
// it counts as discarded).

#include <vector>

#include <opencv2/core/mat.hpp>

// Ring distance (3 x 3 floods) from the paper pixels (value above the ink threshold of
// config/color_thresh.conf) whose label is kept; those are 0, every other pixel gets its
// ring, -1 if unreached. Colour: jet_color(v / max).
void compute_image_stroke_depth(const cv::Mat& input_image, const cv::Mat& labels,
                                const std::vector<char>& discarded, cv::Mat& distance,
                                cv::Mat& colour);

// For every pixel whose source value is non-zero: a flood through label-0 and discarded
// pixels notes the first kept label it meets; the ring at which it meets a second,
// different kept label is the output (0 when none: the stroke width between two regions).
// Colour: jet_color(v / max).
void compute_two_region_width(const cv::Mat& source, const cv::Mat& labels,
                              const std::vector<char>& discarded, cv::Mat& width,
                              cv::Mat& colour);

// As compute_two_region_width, for every pixel whose source value is non-zero or whose
// label is kept.
void compute_two_region_width_all(const cv::Mat& source, const cv::Mat& labels,
                                  const std::vector<char>& discarded, cv::Mat& width,
                                  cv::Mat& colour);

// sum = a + b. Colour: non-zero v as jet_color((v - min) x 0.035) with min over the sum;
// the colour image stays black when the sum is constant.
void sum_depth_images(const cv::Mat& a, const cv::Mat& b, cv::Mat& sum, cv::Mat& colour);
