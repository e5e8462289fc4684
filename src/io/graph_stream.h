#pragma once
// Raw little-endian blocks of the .graph file: strings, value vectors and links
// stored as positions in the target list of the same layer.
//
// Readers never trust the file: a block that runs past the end of the stream throws
// graph_format_error before anything is allocated for it, an index outside its
// table throws std::out_of_range("invalid vector<T> subscript").

#include <cstdint>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

// A file that ends early or whose counts cannot be right.
struct graph_format_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Element address -> list position, for writing links.
using index_map = std::unordered_map<const void*, int>;

// Bytes left between the read position and the end of the stream (a large number
// when the stream cannot tell).
std::uint64_t bytes_left(std::istream& in);

// Reads exactly n bytes or throws graph_format_error.
void read_bytes(std::istream& in, void* dst, std::uint64_t n);

// Throws graph_format_error unless count elements of elem_size bytes can still
// follow in the stream.
void check_count(std::istream& in, std::uint64_t count, std::uint64_t elem_size);

// Throws graph_format_error("non-finite <what>") unless v is finite: no run stores an
// infinity or a NaN, and the fits and moves would spread one through the network.
void check_finite(double v, const std::string& what);

template <class T>
void write_pod(std::ostream& out, const T& v) {
  static_assert(std::is_trivially_copyable<T>::value, "raw field");
  out.write(reinterpret_cast<const char*>(&v), sizeof(T));
}

template <class T>
T read_pod(std::istream& in) {
  static_assert(std::is_trivially_copyable<T>::value, "raw field");
  T v;
  read_bytes(in, &v, sizeof(T));
  return v;
}

inline void write_count(std::ostream& out, std::size_t n) { write_pod<std::uint64_t>(out, n); }
inline std::uint64_t read_count(std::istream& in) { return read_pod<std::uint64_t>(in); }

void write_string(std::ostream& out, const std::string& s);
void read_string(std::istream& in, std::string& target);

// Value vector: u64 count, then the elements' raw bytes.
template <class T>
void write_pod_vector(std::ostream& out, const std::vector<T>& v) {
  static_assert(std::is_trivially_copyable<T>::value, "raw elements");
  write_count(out, v.size());
  if (!v.empty()) out.write(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

template <class T>
void read_pod_vector(std::istream& in, std::vector<T>& target) {
  static_assert(std::is_trivially_copyable<T>::value, "raw elements");
  const std::uint64_t n = read_count(in);
  check_count(in, n, sizeof(T));
  target.resize(n);
  if (n != 0) read_bytes(in, target.data(), n * sizeof(T));
}

// Position of p in its list; std::out_of_range("invalid map<K, T> key") when p is not
// an element of that list (dangling, another layer's, null).
int index_of(const index_map& map, const void* p);

// Table entry at a stored index, compared as unsigned so that negatives are out of range.
template <class P>
P* table_entry(const std::vector<P*>& table, std::int32_t index) {
  if (static_cast<std::uint32_t>(index) >= table.size())
    throw std::out_of_range("invalid vector<T> subscript");
  return table[static_cast<std::uint32_t>(index)];
}

template <class P>
void write_ptr_vector(std::ostream& out, const std::vector<P*>& v, const index_map& map) {
  write_count(out, v.size());
  for (const P* p : v) write_pod<std::int32_t>(out, index_of(map, p));
}

template <class P>
void read_ptr_vector(std::istream& in, std::vector<P*>& target, const std::vector<P*>& table) {
  const std::uint64_t n = read_count(in);
  check_count(in, n, sizeof(std::int32_t));
  target.resize(n);
  for (std::uint64_t i = 0; i < n; ++i) target[i] = table_entry(table, read_pod<std::int32_t>(in));
}

// Index table of a list: element addresses in list order.
template <class List>
std::vector<typename List::value_type*> table_of(List& list) {
  std::vector<typename List::value_type*> table;
  table.reserve(list.size());
  for (auto& e : list) table.push_back(&e);
  return table;
}

template <class List>
index_map map_of(const List& list) {
  index_map map;
  map.reserve(list.size());
  for (const auto& e : list) map.emplace(&e, static_cast<int>(map.size()));
  return map;
}
