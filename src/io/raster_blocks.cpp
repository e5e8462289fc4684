#include "io/raster_blocks.h"

#include <opencv2/core.hpp>

#include "io/graph_stream.h"

namespace {

void write_mat(std::ostream& out, const cv::Mat& m, int type) {
  write_pod<int32_t>(out, m.rows);
  write_pod<int32_t>(out, m.cols);
  if (m.rows == 0 || m.cols == 0) return;
  // The block holds raw elements of one type, row after row.
  cv::Mat raw = m;
  if (m.type() != type) m.convertTo(raw, type);
  if (!raw.isContinuous()) raw = raw.clone();
  out.write(reinterpret_cast<const char*>(raw.data), static_cast<std::streamsize>(raw.total() * raw.elemSize()));
}

void read_mat(std::istream& in, cv::Mat& m, int type) {
  const int32_t rows = read_pod<int32_t>(in);
  const int32_t cols = read_pod<int32_t>(in);
  if (rows < 0 || cols < 0) throw graph_format_error("negative matrix size");
  const std::uint64_t elem = CV_ELEM_SIZE(type);
  if (rows == 0 || cols == 0) {
    m = cv::Mat(rows, cols, type);
    return;
  }
  check_count(in, static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(cols), elem);
  m = cv::Mat(rows, cols, type);
  read_bytes(in, m.data, m.total() * elem);
}

glm::ivec2 read_pixel(std::istream& in) {
  const int32_t x = read_pod<int32_t>(in);
  return glm::ivec2(x, read_pod<int32_t>(in));
}

void write_pixel(std::ostream& out, const glm::ivec2& p) {
  write_pod<int32_t>(out, p.x);
  write_pod<int32_t>(out, p.y);
}

template <class V>
void write_value_map(std::ostream& out, const std::map<glm::ivec2, V>& m) {
  write_count(out, m.size());
  for (const auto& [p, v] : m) {
    write_pixel(out, p);
    write_pod<V>(out, v);
  }
}

template <class V>
void read_value_map(std::istream& in, std::map<glm::ivec2, V>& m) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 12);
  for (std::uint64_t i = 0; i < n; ++i) {
    const glm::ivec2 p = read_pixel(in);
    m.emplace_hint(m.end(), p, read_pod<V>(in));
  }
}

ipair read_pair_key(std::istream& in) {
  const int32_t a = read_pod<int32_t>(in);
  return make_ipair(a, read_pod<int32_t>(in));
}

}  // namespace

void write_int_mat(std::ostream& out, const cv::Mat& m) { write_mat(out, m, CV_32SC1); }
void read_int_mat(std::istream& in, cv::Mat& m) { read_mat(in, m, CV_32SC1); }
void write_schar_mat(std::ostream& out, const cv::Mat& m) { write_mat(out, m, CV_8SC1); }
void read_schar_mat(std::istream& in, cv::Mat& m) { read_mat(in, m, CV_8SC1); }

void write_ivec2_set(std::ostream& out, const std::set<glm::ivec2>& s) {
  write_count(out, s.size());
  for (const glm::ivec2& p : s) write_pixel(out, p);
}

void read_ivec2_set(std::istream& in, std::set<glm::ivec2>& s) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 8);
  for (std::uint64_t i = 0; i < n; ++i) s.insert(s.end(), read_pixel(in));
}

void write_int_set(std::ostream& out, const std::set<int32_t>& s) {
  write_count(out, s.size());
  for (int32_t v : s) write_pod<int32_t>(out, v);
}

void read_int_set(std::istream& in, std::set<int32_t>& s) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 4);
  for (std::uint64_t i = 0; i < n; ++i) s.insert(s.end(), read_pod<int32_t>(in));
}

void write_ivec2_value_map(std::ostream& out, const std::map<glm::ivec2, int32_t>& m) { write_value_map(out, m); }
void write_ivec2_value_map(std::ostream& out, const std::map<glm::ivec2, float>& m) { write_value_map(out, m); }
void read_ivec2_int_map(std::istream& in, std::map<glm::ivec2, int32_t>& m) { read_value_map(in, m); }
void read_ivec2_float_map(std::istream& in, std::map<glm::ivec2, float>& m) { read_value_map(in, m); }

void write_int_set_map(std::ostream& out, const std::map<int32_t, std::set<int32_t>>& m) {
  write_count(out, m.size());
  for (const auto& [k, s] : m) {
    write_pod<int32_t>(out, k);
    write_int_set(out, s);
  }
}

void read_int_set_map(std::istream& in, std::map<int32_t, std::set<int32_t>>& m) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 4 + 8);
  for (std::uint64_t i = 0; i < n; ++i) {
    const int32_t k = read_pod<int32_t>(in);
    read_int_set(in, m[k]);
  }
}

void write_ipair_int_set_map(std::ostream& out, const std::map<ipair, std::set<int32_t>>& m) {
  write_count(out, m.size());
  for (const auto& [k, s] : m) {
    write_pod<int32_t>(out, k.first);
    write_pod<int32_t>(out, k.second);
    write_int_set(out, s);
  }
}

void read_ipair_int_set_map(std::istream& in, std::map<ipair, std::set<int32_t>>& m) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 8 + 8);
  for (std::uint64_t i = 0; i < n; ++i) {
    const ipair k = read_pair_key(in);
    read_int_set(in, m[k]);
  }
}

void write_ipair_ivec2_set_map(std::ostream& out, const std::map<ipair, std::set<glm::ivec2>>& m) {
  write_count(out, m.size());
  for (const auto& [k, s] : m) {
    write_pod<int32_t>(out, k.first);
    write_pod<int32_t>(out, k.second);
    write_ivec2_set(out, s);
  }
}

void read_ipair_ivec2_set_map(std::istream& in, std::map<ipair, std::set<glm::ivec2>>& m) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 8 + 8);
  for (std::uint64_t i = 0; i < n; ++i) {
    const ipair k = read_pair_key(in);
    read_ivec2_set(in, m[k]);
  }
}

void write_vec3_vector(std::ostream& out, const std::vector<glm::vec3>& v) { write_pod_vector(out, v); }
