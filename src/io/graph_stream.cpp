#include "io/graph_stream.h"

#include <cmath>
#include <limits>

std::uint64_t bytes_left(std::istream& in) {
  const std::istream::pos_type here = in.tellg();
  if (here == std::istream::pos_type(-1)) return std::numeric_limits<std::uint64_t>::max();
  in.seekg(0, std::ios::end);
  const std::istream::pos_type end = in.tellg();
  in.seekg(here);
  if (end == std::istream::pos_type(-1) || end < here) return 0;
  return static_cast<std::uint64_t>(end - here);
}

void read_bytes(std::istream& in, void* dst, std::uint64_t n) {
  if (n == 0) return;
  in.read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
  if (!in || static_cast<std::uint64_t>(in.gcount()) != n)
    throw graph_format_error("unexpected end of file");
}

void check_count(std::istream& in, std::uint64_t count, std::uint64_t elem_size) {
  if (count == 0) return;
  const std::uint64_t left = bytes_left(in);
  if (elem_size != 0 && count > left / elem_size)
    throw graph_format_error("count " + std::to_string(count) + " runs past the end of the file");
}

void write_string(std::ostream& out, const std::string& s) {
  write_count(out, s.size());
  if (!s.empty()) out.write(s.data(), static_cast<std::streamsize>(s.size()));
}

void read_string(std::istream& in, std::string& target) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, 1);
  target.assign(n, '\0');
  if (n != 0) read_bytes(in, &target[0], n);
}

int index_of(const index_map& map, const void* p) {
  const auto it = map.find(p);
  if (it == map.end()) throw std::out_of_range("invalid map<K, T> key");
  return it->second;
}

void check_finite(double v, const std::string& what) {
  if (!std::isfinite(v)) throw graph_format_error("non-finite " + what);
}
