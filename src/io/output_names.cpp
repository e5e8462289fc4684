#include "io/output_names.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

std::string output_root;
std::string current_sketch_name;
const char* current_sketch_cstr = nullptr;

void set_current_sketch(const std::string& name) {
  current_sketch_name = name;
  current_sketch_cstr = current_sketch_name.c_str();
}

void clear_current_sketch() {
  current_sketch_name.clear();
  current_sketch_cstr = nullptr;
}

void read_input_sketch_conf(const char* path) {
  std::ifstream in(path);
  std::string root;
  in >> root;
  std::string word;
  if (in >> word) {
    current_sketch_name = word;
    if (std::atoi(word.c_str()) != 0 && in >> word) {
      set_current_sketch(word);
    } else {
      current_sketch_cstr = nullptr;
    }
  } else {
    clear_current_sketch();
  }
  if (root.empty()) {
    // Results would otherwise land at the file system's root.
    std::cerr << path << ": no output folder given, writing below the working folder" << std::endl;
    root = ".";
  }
  const char last = root.back();
  if (last != '/' && last != '\\') root += '/';
  output_root = root;
}
