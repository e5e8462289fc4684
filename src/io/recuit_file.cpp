// The optimiser block of a .graph file.

#include <cmath>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>

#include "graph/curve_network.h"
#include "io/graph_stream.h"
#include "pipeline/recuit.h"

namespace {

using int_dist = std::uniform_int_distribution<int>;

// Stands where the text member's storage once was: a zero byte, 15 unused bytes, a
// length 0 and a capacity 15.
constexpr std::size_t empty_text_bytes = 32;

void write_bounds(std::ostream& out, const int_dist& d) {
  write_pod<int32_t>(out, d.a());
  write_pod<int32_t>(out, d.b());
}

void read_bounds(std::istream& in, int_dist& d) {
  const int32_t a = read_pod<int32_t>(in);
  const int32_t b = read_pod<int32_t>(in);
  if (a > b) throw graph_format_error("optimiser distribution bounds out of order");
  d.param(int_dist::param_type(a, b));
}

// The steps pick fragments and curve ends through these tables: they must describe the
// network that was read with them, or be the empty tables of an optimiser never set up.
void check_tables(const recuit& r) {
  if (r.cumulative_fcurves.empty() || !r.network) return;
  const curve_network& net = *r.network;
  bool ok = r.cumulative_fcurves.size() == net.size();
  int F = 0, C = 0;
  std::size_t i = 0;
  for (const layer_graph& lg : net) {
    F += static_cast<int>(lg.f_curves.size());
    C += static_cast<int>(lg.nconnections.size());
    if (ok && r.cumulative_fcurves[i++] != F) ok = false;
  }
  if (ok && F > 0) ok = r.fragment_dist.a() == 0 && r.fragment_dist.b() == F - 1;
  if (ok && C > 0) ok = r.end_dist.a() == 0 && r.end_dist.b() == C - 1;
  if (!ok) throw graph_format_error("optimiser tables do not match the curve network");
}

// The runs go from k up to nb_it: a counter beyond the count, or below 0, is no state a
// run leaves (a set-up on a negative count still starts at 0).
void check_counters(const recuit& r) {
  if (r.k < 0 || (r.k > r.nb_it && r.k != 0))
    throw graph_format_error("optimiser iteration counter k = " + std::to_string(r.k) +
                             " outside 0 .. nb_it = " + std::to_string(r.nb_it));
}

void check_floats(const recuit& r) {
  const struct {
    double value;
    const char* name;
  } fields[] = {{r.progress_scale, "progress scale"}, {r.E, "energy"}, {r.Ti, "start temperature"},
                {r.T, "temperature"},      {r.dt, "dt"},     {r.lambda, "lambda"},
                {r.mu, "mu"}};
  for (const auto& f : fields) check_finite(f.value, std::string("optimiser ") + f.name);
}

}  // namespace

void recuit::write(std::ostream& out) const {
  write_pod<double>(out, progress_scale);
  write_pod<float>(out, E);
  char text[empty_text_bytes] = {};
  const std::uint64_t length = 0, capacity = 15;
  std::memcpy(text + 16, &length, 8);
  std::memcpy(text + 24, &capacity, 8);
  out.write(text, sizeof text);
  write_pod<int32_t>(out, nb_it);
  write_pod<float>(out, Ti);
  write_pod<float>(out, T);
  write_pod<float>(out, dt);
  write_pod<float>(out, lambda);
  write_pod<float>(out, mu);
  write_pod<int32_t>(out, print_interval);
  write_pod<int32_t>(out, k);
  write_string(out, empty_text);
  write_pod_vector(out, cumulative_fcurves);
  write_bounds(out, move_dist);
  write_bounds(out, fragment_dist);
  write_bounds(out, end_dist);
  write_bounds(out, degree_dist);
  write_pod<double>(out, unit_dist.a());
  write_pod<double>(out, unit_dist.b());
}

void recuit::read(std::istream& in) {
  progress_scale = read_pod<double>(in);
  E = read_pod<float>(in);
  char skipped[empty_text_bytes];
  read_bytes(in, skipped, sizeof skipped);
  nb_it = read_pod<int32_t>(in);
  Ti = read_pod<float>(in);
  T = read_pod<float>(in);
  dt = read_pod<float>(in);
  lambda = read_pod<float>(in);
  mu = read_pod<float>(in);
  print_interval = read_pod<int32_t>(in);
  k = read_pod<int32_t>(in);
  check_counters(*this);
  check_floats(*this);
  read_string(in, empty_text);
  read_pod_vector(in, cumulative_fcurves);
  read_bounds(in, move_dist);
  read_bounds(in, fragment_dist);
  read_bounds(in, end_dist);
  read_bounds(in, degree_dist);
  const double a = read_pod<double>(in);
  const double b = read_pod<double>(in);
  if (!(std::isfinite(a) && std::isfinite(b) && a <= b)) throw graph_format_error("optimiser unit bounds out of order");
  unit_dist.param(std::uniform_real_distribution<double>::param_type(a, b));
  check_tables(*this);
}
