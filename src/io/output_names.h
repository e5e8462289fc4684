#pragma once
// The names that output paths are built from: the output root of
// config/input_sketch.conf and the current sketch name.

#include <string>

// Output root folder, ending in "/" or "\\" once set. Every result path begins with it.
extern std::string output_root;
// Name of the current sketch; meaningful only while current_sketch_cstr is not null.
extern std::string current_sketch_name;
// Null while no sketch name is set, else current_sketch_name's characters. Readers test
// and read this pointer; whoever assigns current_sketch_name sets it again afterwards.
extern const char* current_sketch_cstr;

// Sets the current sketch name and its pointer.
void set_current_sketch(const std::string& name);
// Unsets the current sketch name.
void clear_current_sketch();

// Reads config/input_sketch.conf (output root, a count N, then N sketch names): sets
// output_root (with "/" appended when it ends in neither "/" nor "\\") and, when N is
// not zero, the first name as the current sketch. A missing file or an empty first word
// gives the output root "./" and a message on standard error; a missing count leaves
// no sketch name set.
void read_input_sketch_conf(const char* path = "config/input_sketch.conf");
