#pragma once
// Reading the whitespace-separated values of the files in config/: each value keeps its
// default unless it is read whole.

#include <iostream>
#include <istream>
#include <string>

// Extracts one value into `value` only when the extraction succeeds; a failed float
// extraction would otherwise overwrite the default with 0.
template <class T>
bool read_config_value(std::istream& in, T& value) {
  T read{};
  if (!(in >> read)) return false;
  value = read;
  return true;
}

// The one line for a value that is missing or not a number, on standard error.
inline void report_missing_config_value(const std::string& path, const char* name) {
  std::cerr << path << ": " << name
            << " missing or not a number; it and the values after it keep their defaults" << std::endl;
}
