#include "pipeline/region_params.h"

#include <fstream>

region_params read_region_params(const char* path) {
  region_params p;
  std::ifstream in(path);
  region_params r = p;
  // Each value is taken only if it parsed; the stream stops at the first failure.
  if (!(in >> r.least_depth)) return p;
  p.least_depth = r.least_depth;
  if (!(in >> r.least_size)) return p;
  p.least_size = r.least_size;
  if (!(in >> r.neck_ratio)) return p;
  p.neck_ratio = r.neck_ratio;
  if (!(in >> r.neck_margin)) return p;
  p.neck_margin = r.neck_margin;
  return p;
}
