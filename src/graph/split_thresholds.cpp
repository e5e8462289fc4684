#include "graph/split_thresholds.h"

#include "graph/config_values.h"

#include <fstream>
#include <iostream>

const char* const split_thresholds_path = "config/threshold_split_curve.conf";

split_thresholds read_split_thresholds(const std::string& path) {
  split_thresholds values;
  std::ifstream in(path);
  if (!in) {
    std::cerr << path << ": cannot open; using the default split thresholds" << std::endl;
    return values;
  }
  const char* missing = nullptr;
  if (!read_config_value(in, values.error_threshold)) {
    missing = "error threshold";
  } else if (!read_config_value(in, values.min_gain)) {
    missing = "minimum gain";
  } else if (!read_config_value(in, values.end_margin)) {
    missing = "end margin";
  } else if (!read_config_value(in, values.min_samples)) {
    missing = "minimum samples per side";
  }
  if (missing) report_missing_config_value(path, missing);
  if (values.min_samples < 1) {
    std::cerr << path << ": minimum samples per side " << values.min_samples
              << " is below 1; using 1" << std::endl;
    values.min_samples = 1;
  }
  return values;
}
