#include "pipeline/recuit_config.h"

#include <fstream>
#include <iostream>

const char* const recuit_config_path = "config/recuit.conf";
const char* const recuit_v2_config_path = "config/recuit_v2.conf";

namespace {

// Writes value only when the extraction succeeds: a failed extraction would otherwise
// overwrite the default with 0.
template <class T>
bool read_value(std::istream& in, T& value) {
  T read{};
  if (!(in >> read)) return false;
  value = read;
  return true;
}

void report_missing(const std::string& path, const char* name) {
  std::cerr << path << ": " << name
            << " missing or not a number; it and the values after it keep their defaults"
            << std::endl;
}

}  // namespace

recuit_config read_recuit_config(const std::string& path) {
  recuit_config c;
  std::ifstream in(path);
  if (!in) {
    std::cerr << path << ": cannot open; using the default annealing settings" << std::endl;
    return c;
  }
  std::string label;
  const char* missing = nullptr;
  if (!(in >> label)) missing = "leading word";
  else if (!read_value(in, c.nb_it)) missing = "nb_it";
  else if (!read_value(in, c.T)) missing = "initial temperature";
  else if (!read_value(in, c.dt)) missing = "dt";
  else if (!read_value(in, c.lambda)) missing = "lambda";
  else if (!read_value(in, c.mu)) missing = "mu";
  if (missing) report_missing(path, missing);
  return c;
}

recuit_v2_config read_recuit_v2_config(const std::string& path) {
  recuit_v2_config c;
  std::ifstream in(path);
  if (!in) {
    std::cerr << path << ": cannot open; using the default annealing settings" << std::endl;
    return c;
  }
  const char* missing = nullptr;
  if (!read_value(in, c.Ti)) missing = "Ti";
  else if (!read_value(in, c.T_final)) missing = "T_final";
  else if (!read_value(in, c.mu)) missing = "mu";
  if (missing) report_missing(path, missing);
  return c;
}
