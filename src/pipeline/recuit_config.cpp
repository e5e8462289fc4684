#include "pipeline/recuit_config.h"

#include "graph/config_values.h"

#include <fstream>
#include <iostream>

const char* const recuit_config_path = "config/recuit.conf";
const char* const recuit_v2_config_path = "config/recuit_v2.conf";

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
  else if (!read_config_value(in, c.nb_it)) missing = "nb_it";
  else if (!read_config_value(in, c.T)) missing = "initial temperature";
  else if (!read_config_value(in, c.dt)) missing = "dt";
  else if (!read_config_value(in, c.lambda)) missing = "lambda";
  else if (!read_config_value(in, c.mu)) missing = "mu";
  if (missing) report_missing_config_value(path, missing);
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
  if (!read_config_value(in, c.Ti)) missing = "Ti";
  else if (!read_config_value(in, c.T_final)) missing = "T_final";
  else if (!read_config_value(in, c.mu)) missing = "mu";
  if (missing) report_missing_config_value(path, missing);
  return c;
}
