#pragma once
// The four thresholds of the fragment split, read from config/threshold_split_curve.conf.

#include <string>

// Errors are unweighted mean squared distances of the samples from a cubic, in pixels
// squared of the layer's window (the sketch doubled in size).
struct split_thresholds {
  float error_threshold = 1.0f;  // a fragment is tried only when its one-cubic error is not below this
  float min_gain = 0.25f;        // a cut must lower the error by at least this
  float end_margin = 0.05f;      // the cut parameter keeps at least this from both ends of [0, 1]
  int min_samples = 8;           // each part keeps at least this many samples; at least 1
};

// The path the split pass reads, relative to the working folder.
extern const char* const split_thresholds_path;

// Reads up to four whitespace-separated numbers (error threshold, minimum gain, end
// margin, minimum samples per side); anything after them is ignored. The file is opened
// anew at every call. A missing file, or a value missing or not a number, keeps the
// default of the record above for that value and all that follow, with one line on
// standard error naming the file. A minimum sample count below 1 is raised to 1 (a part
// without samples could be cut forever), also with a line on standard error.
split_thresholds read_split_thresholds(const std::string& path = split_thresholds_path);
