#pragma once
// .graph blocks of the raster layers: int and signed-char matrices, pixel and int sets,
// pixel-keyed maps, label-pair maps and colour vectors. Raw little-endian, as the
// other .graph blocks (io/graph_stream.h); readers refuse blocks that run past the end.

#include <istream>
#include <map>
#include <ostream>
#include <set>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <opencv2/core/mat.hpp>

#include "pipeline/pixel.h"

// i32 rows, i32 cols, then rows * cols i32 in row-major order when both are non-zero.
void write_int_mat(std::ostream& out, const cv::Mat& m);
void read_int_mat(std::istream& in, cv::Mat& m);
// The same with one signed byte per element.
void write_schar_mat(std::ostream& out, const cv::Mat& m);
void read_schar_mat(std::istream& in, cv::Mat& m);

void write_ivec2_set(std::ostream& out, const std::set<glm::ivec2>& s);
void read_ivec2_set(std::istream& in, std::set<glm::ivec2>& s);
void write_int_set(std::ostream& out, const std::set<int32_t>& s);
void read_int_set(std::istream& in, std::set<int32_t>& s);

void write_ivec2_value_map(std::ostream& out, const std::map<glm::ivec2, int32_t>& m);
void write_ivec2_value_map(std::ostream& out, const std::map<glm::ivec2, float>& m);
void read_ivec2_int_map(std::istream& in, std::map<glm::ivec2, int32_t>& m);
void read_ivec2_float_map(std::istream& in, std::map<glm::ivec2, float>& m);

void write_int_set_map(std::ostream& out, const std::map<int32_t, std::set<int32_t>>& m);
void read_int_set_map(std::istream& in, std::map<int32_t, std::set<int32_t>>& m);
// Label-pair keys are read smaller label first.
void write_ipair_int_set_map(std::ostream& out, const std::map<ipair, std::set<int32_t>>& m);
void read_ipair_int_set_map(std::istream& in, std::map<ipair, std::set<int32_t>>& m);
void write_ipair_ivec2_set_map(std::ostream& out, const std::map<ipair, std::set<glm::ivec2>>& m);
void read_ipair_ivec2_set_map(std::istream& in, std::map<ipair, std::set<glm::ivec2>>& m);

void write_vec3_vector(std::ostream& out, const std::vector<glm::vec3>& v);
