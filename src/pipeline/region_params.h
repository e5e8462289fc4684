#pragma once
// The four region parameters of extraction steps 1 and 2, read from config/region.conf
// (four whitespace-separated values in this order). Distances are ink distances in
// input-image pixels (the input image is twice the sketch size).

struct region_params {
  // A region whose greatest ink distance is below this is dropped (steps 1 and 2).
  int least_depth = 3;
  // A region of fewer pixels than this is dropped (steps 1 and 2).
  int least_size = 40;
  // A hill is separate only if its saddle lies below this fraction of the hill heights.
  float neck_ratio = 0.5f;
  // A hill is separate only if both heights exceed the saddle by more than this.
  int neck_margin = 3;
};

// Reads the file at `path`. A missing file, or one that ends or fails to parse before a
// value, leaves that value and every later one at its default above.
region_params read_region_params(const char* path = "config/region.conf");
