#include <climits>
#include <cmath>
#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include "io/graph_stream.h"
#include "pipeline/compute_sample_weights.h"
#include "pipeline/extract_boundary_pixels.h"
#include "pipeline/extract_nodes.h"
#include "pipeline/layer.h"
#include "pipeline/paint_nodes.h"
#include "support/sketch_fixtures.h"

namespace {

std::string bytes_of(const layer& l) {
  std::ostringstream out(std::ios::binary);
  l.write(out);
  return out.str();
}

bool same_mat(const cv::Mat& a, const cv::Mat& b) {
  if (a.rows != b.rows || a.cols != b.cols || a.type() != b.type()) return false;
  return a.empty() || std::memcmp(a.data, b.data, a.total() * a.elemSize()) == 0;
}

// Steps 0 to 6 of a T drawing: every table, image, set and map of the layer filled.
fixtures::extraction t_extraction() {
  fixtures::extraction ex = fixtures::run_region_steps(fixtures::as_input_image(fixtures::boxed_t()), region_params{});
  cv::Mat boundary;
  extract_boundary_pixels(ex.layers, &ex.region_image, &boundary);
  extract_nodes(&ex.region_image, &ex.layers);
  paint_nodes(&ex.region_image, ex.layers);
  compute_sample_weights(ex.layers);
  return ex;
}

TEST(LayerFile, ExtractedLayerRoundTripsEveryField) {
  const fixtures::extraction ex = t_extraction();
  const layer& a = ex.layers.front();
  ASSERT_FALSE(a.graph.edge_pixels_by_pair.empty());
  ASSERT_FALSE(a.sample_weight.empty());

  const std::string s = bytes_of(a);
  std::istringstream in(s, std::ios::binary);
  const layer b(in);
  EXPECT_EQ(bytes_of(b), s);
  EXPECT_EQ(b.v_max_ink_dist, a.v_max_ink_dist);
  EXPECT_EQ(b.v_peak, a.v_peak);
  EXPECT_EQ(b.v_color, a.v_color);
  EXPECT_EQ(b.v_discarded, a.v_discarded);
  for (auto [x, y] : {std::pair{&a.ink_dist, &b.ink_dist}, {&a.stroke_depth, &b.stroke_depth},
                      {&a.graph_dist, &b.graph_dist}, {&a.labels, &b.labels}, {&a.region_mask, &b.region_mask}})
    EXPECT_TRUE(same_mat(*x, *y));
  EXPECT_EQ(b.ink_pixels, a.ink_pixels);
  EXPECT_EQ(b.grow_level, a.grow_level);
  EXPECT_EQ(b.sample_weight, a.sample_weight);
  EXPECT_EQ(b.offset_x, a.offset_x);
  EXPECT_EQ(b.offset_y, a.offset_y);
  EXPECT_EQ(b.margin, a.margin);
  EXPECT_EQ(b.graph.edge_pixels_by_pair, a.graph.edge_pixels_by_pair);
  EXPECT_EQ(b.graph.junction_pixels_by_pair, a.graph.junction_pixels_by_pair);
  EXPECT_EQ(b.graph.node_of_pixel, a.graph.node_of_pixel);
  EXPECT_EQ(b.graph.edges_of_node, a.graph.edges_of_node);
  EXPECT_EQ(b.graph.edges_of_pair, a.graph.edges_of_pair);
  EXPECT_EQ(b.graph.v_node_centroid, a.graph.v_node_centroid);
}

TEST(LayerFile, EmptyLayerLayout) {
  layer l;
  l.offset_x = 43;
  l.offset_y = 41;
  l.margin = 50;
  const std::string s = bytes_of(l);
  // Five empty vectors, four empty int matrices and one empty byte matrix, the growth
  // count, the box, then y offset before x offset.
  const std::size_t offsets = 5 * 8 + 5 * 8 + 4 + 4 * 4;
  int32_t v[3];
  std::memcpy(v, s.data() + offsets, sizeof v);
  EXPECT_EQ(v[0], 41);
  EXPECT_EQ(v[1], 43);
  EXPECT_EQ(v[2], 50);
  std::istringstream in(s, std::ios::binary);
  const layer back(in);
  EXPECT_TRUE(back.graph_dist.empty());
  EXPECT_EQ(back.graph_dist.type(), CV_32SC1);
  EXPECT_EQ(back.region_mask.type(), CV_8SC1);
  EXPECT_EQ(back.offset_x, 43);
}

TEST(LayerFile, BadMatrixSizesFail) {
  layer l;
  const std::string s = bytes_of(l);
  const std::size_t first_matrix = 5 * 8;
  for (std::pair<int32_t, int32_t> size : {std::pair{-1, 4}, {4, -1}, {1 << 20, 1 << 20}}) {
    std::string bad = s;
    std::memcpy(&bad[first_matrix], &size.first, 4);
    std::memcpy(&bad[first_matrix + 4], &size.second, 4);
    std::istringstream in(bad, std::ios::binary);
    EXPECT_THROW(layer back(in), graph_format_error) << size.first << " x " << size.second;
  }
}

// Raster layers holding what no run saves: each is refused by name.
TEST(LayerFile, ImpossibleBoxesImagesAndNumbersAreRefusedByName) {
  struct Case {
    const char* what;
    void (*spoil)(layer&);
    const char* said;
  };
  const Case cases[] = {
      {"a window image of another size than the box",
       [](layer& l) { l.labels = cv::Mat(l.labels.rows - 1, l.labels.cols, CV_32SC1, cv::Scalar(0)); },
       "window image labels of 170 x 149 pixels in a layer window of 170 x 150"},
      {"a smallest ink x of INT_MIN",
       [](layer& l) { l.min_x = INT_MIN; },
       "layer offsets do not match the layer box"},
      {"a NaN sample weight", [](layer& l) { l.sample_weight.begin()->second = std::nanf(""); },
       "non-finite sample weight"},
      {"an infinite region colour", [](layer& l) { l.v_color.back().y = HUGE_VALF; }, "non-finite region colour"},
      {"a node centroid far outside the window", [](layer& l) { l.graph.v_node_centroid[0].x = 1778812.6f; },
       "node centroid (1.77881e+06, "},
      {"a traced pixel outside the window", [](layer& l) { l.traced_pixels.insert({-1, 3}); },
       "traced pixel (-1, 3) outside the layer window of 170 x 150"},
  };
  const layer good = t_extraction().layers.front();
  ASSERT_EQ(good.labels.cols, 170);
  ASSERT_EQ(good.labels.rows, 150);
  for (const Case& c : cases) {
    layer l = good;
    l.labels = good.labels.clone();
    c.spoil(l);
    std::istringstream in(bytes_of(l), std::ios::binary);
    try {
      layer back(in);
      ADD_FAILURE() << c.what << ": read";
    } catch (const graph_format_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.said, 0), 0u) << c.what << ": " << e.what();
    }
  }
}

TEST(LayerFile, PairKeysAreReadSmallerFirst) {
  pixel_graph g;
  g.edges_of_pair[ipair(5, 3)] = {7};
  g.edge_pixels_by_pair[ipair(9, 2)] = {glm::ivec2(1, 1)};
  std::ostringstream out(std::ios::binary);
  g.write(out);
  std::istringstream in(out.str(), std::ios::binary);
  const pixel_graph back(in);
  EXPECT_EQ(back.edges_of_pair.count(ipair(3, 5)), 1u);
  EXPECT_EQ(back.edge_pixels_by_pair.count(ipair(2, 9)), 1u);
}

TEST(LayerFile, TruncatedRecordsAndHugeCountsFail) {
  const std::string s = bytes_of(t_extraction().layers.front());
  // Every cut point would take minutes on a full layer; a spread of them, and the ends.
  for (std::size_t n = 0; n < s.size(); n += 1 + n / 7) {
    std::istringstream in(s.substr(0, n), std::ios::binary);
    EXPECT_THROW(layer back(in), graph_format_error) << "cut at " << n;
  }
  for (std::int64_t v : {std::int64_t(1) << 62, std::int64_t(-1)}) {
    std::string bad = s;
    std::memcpy(&bad[0], &v, 8);
    std::istringstream in(bad, std::ios::binary);
    EXPECT_THROW(layer back(in), graph_format_error) << v;
  }
}

}  // namespace
