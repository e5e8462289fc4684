#include "pipeline/compute_sample_weights.h"

#include <gtest/gtest.h>

namespace {

TEST(ComputeSampleWeights, WeightFallsWithGrowLevelAndEdgePixelsWin) {
  layer l;
  l.v_peak.resize(3);
  l.nb_grow_level = 3;  // weight = (1 - level / 8) x factor
  l.grow_level = {{{1, 1}, 0}, {{2, 1}, 2}, {{5, 5}, 4}, {{6, 5}, 1}};
  pixel_graph& g = l.graph;
  g.edge_of_pixel = {{{1, 1}, 0}, {{2, 1}, 0}, {{3, 1}, 0}};
  // (3, 1) is listed as a node pixel too: the edge pass weighs it first.
  g.node_of_pixel = {{{3, 1}, 0}, {{5, 5}, 1}, {{6, 5}, 1}, {{7, 5}, 1}};
  l.sample_weight[{6, 5}] = 42.0f;  // an existing weight is kept

  std::list<layer> layers{l};
  compute_sample_weights(layers);
  const layer& out = layers.front();

  const std::map<glm::ivec2, float> expected = {
      {{1, 1}, 1.0f},
      {{2, 1}, (1.0f - 2.0f / 8.0f) * 1.0f},
      {{3, 1}, 1.0f},
      {{5, 5}, (1.0f - 4.0f / 8.0f) * 0.01f},
      {{6, 5}, 42.0f},
      {{7, 5}, 0.01f},
  };
  EXPECT_EQ(out.sample_weight, expected);
  // Weighted pixels without a grow level enter it at level 0.
  EXPECT_EQ(out.grow_level.at({3, 1}), 0);
  EXPECT_EQ(out.grow_level.at({7, 5}), 0);
  EXPECT_EQ(out.grow_level.size(), 6u);
}

TEST(ComputeSampleWeights, LayerWithOnlyTheInkLabelGetsNoWeights) {
  layer l;
  l.v_peak.resize(1);
  l.graph.edge_of_pixel = {{{1, 1}, 0}};
  std::list<layer> layers{l};
  compute_sample_weights(layers);
  EXPECT_TRUE(layers.front().sample_weight.empty());
  EXPECT_TRUE(layers.front().grow_level.empty());
}

}  // namespace
