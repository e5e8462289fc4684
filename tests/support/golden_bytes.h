#pragma once
// Expected bytes of a binary record, written out field by field from its layout, so that
// a mismatch names the first field that differs and the offset where it starts.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

class golden_bytes {
 public:
  template <class T>
  golden_bytes& pod(const std::string& name, T v) {
    static_assert(std::is_trivially_copyable<T>::value, "raw field");
    fields_.emplace_back(bytes_.size(), name);
    char raw[sizeof(T)];
    std::memcpy(raw, &v, sizeof(T));
    bytes_.append(raw, sizeof(T));
    return *this;
  }
  golden_bytes& u64(const std::string& name, std::uint64_t v) { return pod(name, v); }
  golden_bytes& i32(const std::string& name, std::int32_t v) { return pod(name, v); }
  golden_bytes& f32(const std::string& name, float v) { return pod(name, v); }
  golden_bytes& f64(const std::string& name, double v) { return pod(name, v); }
  golden_bytes& i8(const std::string& name, std::int8_t v) { return pod(name, v); }

  // u64 count, then one i32 per entry.
  golden_bytes& index_list(const std::string& name, std::initializer_list<std::int32_t> v) {
    u64(name + " count", v.size());
    for (std::int32_t i : v) i32(name, i);
    return *this;
  }

  // Raw bytes that the layout leaves opaque.
  golden_bytes& raw(const std::string& name, const std::string& b) {
    fields_.emplace_back(bytes_.size(), name);
    bytes_ += b;
    return *this;
  }

  std::size_t size() const { return bytes_.size(); }
  const std::string& bytes() const { return bytes_; }

  // "" when actual holds exactly these bytes; otherwise the first field that differs.
  std::string compare(const std::string& actual) const {
    std::size_t p = 0;
    while (p < bytes_.size() && p < actual.size() && bytes_[p] == actual[p]) ++p;
    if (p == bytes_.size() && p == actual.size()) return "";
    std::ostringstream why;
    why << "expected " << bytes_.size() << " bytes, got " << actual.size() << "; first difference at byte "
        << p;
    if (p < bytes_.size()) {
      std::size_t f = 0;
      while (f + 1 < fields_.size() && fields_[f + 1].first <= p) ++f;
      why << ", in field '" << fields_[f].second << "' at offset " << fields_[f].first;
    }
    return why.str();
  }

 private:
  std::string bytes_;
  std::vector<std::pair<std::size_t, std::string>> fields_;  // offset, name
};
