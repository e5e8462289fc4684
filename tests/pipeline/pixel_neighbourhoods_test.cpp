#include "pipeline/pixel_neighbourhoods.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using px = glm::ivec2;

std::vector<px> window(px c, int rows, int cols) {
  std::vector<px> out;
  for (px q : window_3x3(c, rows, cols)) out.push_back(q);
  return out;
}

std::vector<px> four(px c, int rows, int cols) {
  std::vector<px> out;
  for (px q : neighbours_4(c, rows, cols)) out.push_back(q);
  return out;
}

TEST(PixelOrder, SetsOrderByXThenY) {
  std::set<px> s = {{1, 0}, {0, 5}, {0, 1}, {2, -1}};
  std::vector<px> got(s.begin(), s.end());
  EXPECT_EQ(got, (std::vector<px>{{0, 1}, {0, 5}, {1, 0}, {2, -1}}));
  EXPECT_EQ(make_ipair(7, 3), ipair(3, 7));
}

TEST(Window3x3, RowByRowClippedWithCentre) {
  EXPECT_EQ(window({5, 5}, 10, 10),
            (std::vector<px>{{4, 4}, {5, 4}, {6, 4}, {4, 5}, {5, 5}, {6, 5}, {4, 6}, {5, 6}, {6, 6}}));
  EXPECT_EQ(window({0, 0}, 10, 10), (std::vector<px>{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
  EXPECT_EQ(window({9, 9}, 10, 10), (std::vector<px>{{8, 8}, {9, 8}, {8, 9}, {9, 9}}));
  EXPECT_EQ(window({0, 0}, 1, 1), (std::vector<px>{{0, 0}}));
  EXPECT_EQ(window({2, 0}, 1, 4), (std::vector<px>{{1, 0}, {2, 0}, {3, 0}}));
}

TEST(Neighbours4, LeftUpRightDownInsideOnly) {
  EXPECT_EQ(four({3, 3}, 10, 10), (std::vector<px>{{2, 3}, {3, 2}, {4, 3}, {3, 4}}));
  EXPECT_EQ(four({0, 0}, 10, 10), (std::vector<px>{{1, 0}, {0, 1}}));
  EXPECT_EQ(four({9, 9}, 10, 10), (std::vector<px>{{8, 9}, {9, 8}}));
  EXPECT_TRUE(four({0, 0}, 1, 1).empty());
}

// The index visitors are what the floods use; they must visit what the iterables visit,
// in their order, with each pixel's row-major index, on the border and away from it.
TEST(IndexVisitors, SameOrderAsTheIterablesEverywhere) {
  for (const auto& [rows, cols] : {std::pair{1, 1}, {1, 4}, {3, 1}, {2, 2}, {5, 7}, {6, 3}})
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x) {
        std::vector<px> got3, got4;
        visit_3x3(px(x, y), rows, cols, [&](px q, std::size_t i) {
          EXPECT_EQ(i, std::size_t(q.y * cols + q.x));
          got3.push_back(q);
          return false;
        });
        visit_4(px(x, y), rows, cols, [&](px q, std::size_t i) {
          EXPECT_EQ(i, std::size_t(q.y * cols + q.x));
          got4.push_back(q);
        });
        EXPECT_EQ(got3, window(px(x, y), rows, cols)) << rows << " x " << cols << " at " << x << ", " << y;
        EXPECT_EQ(got4, four(px(x, y), rows, cols)) << rows << " x " << cols << " at " << x << ", " << y;
      }
}

TEST(IndexVisitors, Visit3x3StopsWhenAsked) {
  for (px centre : {px(2, 2), px(0, 0)}) {
    std::vector<px> got;
    const bool stopped = visit_3x3(centre, 5, 5, [&](px q, std::size_t) {
      got.push_back(q);
      return q == px(1, 1);
    });
    EXPECT_TRUE(stopped);
    EXPECT_EQ(got.back(), px(1, 1));
    const std::vector<px> all = window(centre, 5, 5);
    EXPECT_EQ(got, std::vector<px>(all.begin(), std::find(all.begin(), all.end(), px(1, 1)) + 1));
  }
  EXPECT_FALSE(visit_3x3(px(2, 2), 5, 5, [](px, std::size_t) { return false; }));
}

TEST(Centroid, TruncatesTowardZero) {
  std::set<px> s = {{0, 0}, {1, 0}, {1, 1}};
  EXPECT_EQ(centroid(s.begin(), s.end()), px(0, 0));
  std::set<px> t = {{2, 4}, {5, 9}};
  EXPECT_EQ(centroid(t.begin(), t.end()), px(3, 6));
}

TEST(RingFlood, ChessboardDistanceAndFirstValueWins) {
  // Flood a 7 x 7 grid from its centre with the 3 x 3 window: rings are chessboard distances.
  const int n = 7;
  std::vector<int> d(n * n, -1);
  d[3 * n + 3] = 0;
  const int last = ring_flood(std::vector<px>{{3, 3}}, [&](px p, int k, std::vector<px>& next) {
    for (px q : window_3x3(p, n, n))
      if (d[q.y * n + q.x] == -1) {
        d[q.y * n + q.x] = k;
        next.push_back(q);
      }
  });
  EXPECT_EQ(last, 4);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) EXPECT_EQ(d[y * n + x], std::max(std::abs(x - 3), std::abs(y - 3)));
}

}  // namespace
