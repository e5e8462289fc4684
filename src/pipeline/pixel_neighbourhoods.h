#pragma once
// Pixel neighbourhoods and the ring flood. Their visiting orders settle every tie in
// the raster floods (which pixel is reached first among equals), so they are binding.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <set>
#include <vector>

#include "pipeline/pixel.h"

// The 3 by 3 block around a centre pixel, clipped to [0, cols - 1] x [0, rows - 1], centre
// included, row by row: y outer from the top, x inner from the left. Iterable:
//   for (glm::ivec2 q : window_3x3(p, rows, cols)) ...
class window_3x3 {
 public:
  window_3x3(glm::ivec2 centre, int rows, int cols)
      : xmin_(centre.x - 1 < 0 ? 0 : centre.x - 1),
        xmax_(centre.x + 1 < cols - 1 ? centre.x + 1 : cols - 1),
        ymin_(centre.y - 1 < 0 ? 0 : centre.y - 1),
        ymax_(centre.y + 1 < rows - 1 ? centre.y + 1 : rows - 1) {}

  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = glm::ivec2;
    using difference_type = std::ptrdiff_t;
    using pointer = const glm::ivec2*;
    using reference = const glm::ivec2&;

    iterator(glm::ivec2 at, int xmin, int xmax) : at_(at), xmin_(xmin), xmax_(xmax) {}
    reference operator*() const { return at_; }
    pointer operator->() const { return &at_; }
    iterator& operator++() {
      if (++at_.x > xmax_) {
        at_.x = xmin_;
        ++at_.y;
      }
      return *this;
    }
    iterator operator++(int) {
      iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const iterator& o) const { return at_ == o.at_; }
    bool operator!=(const iterator& o) const { return at_ != o.at_; }

   private:
    glm::ivec2 at_;
    int xmin_, xmax_;
  };

  iterator begin() const {
    return empty() ? end() : iterator(glm::ivec2(xmin_, ymin_), xmin_, xmax_);
  }
  iterator end() const { return iterator(glm::ivec2(xmin_, ymax_ + 1), xmin_, xmax_); }
  bool empty() const { return xmin_ > xmax_ || ymin_ > ymax_; }

 private:
  int xmin_, xmax_, ymin_, ymax_;
};

// The 4-neighbours of a pixel that lie inside a rows x cols image, in the order
// left, up, right, down. Iterable like window_3x3.
class neighbours_4 {
 public:
  neighbours_4(glm::ivec2 p, int rows, int cols) {
    if (p.x != 0) at_[n_++] = glm::ivec2(p.x - 1, p.y);
    if (p.y != 0) at_[n_++] = glm::ivec2(p.x, p.y - 1);
    if (p.x + 1 != cols) at_[n_++] = glm::ivec2(p.x + 1, p.y);
    if (p.y + 1 != rows) at_[n_++] = glm::ivec2(p.x, p.y + 1);
  }
  const glm::ivec2* begin() const { return at_; }
  const glm::ivec2* end() const { return at_ + n_; }
  int size() const { return n_; }

 private:
  glm::ivec2 at_[4];
  int n_ = 0;
};

// Calls visit(q, i) for the pixels of window_3x3(p, rows, cols) in the same order, where
// i = q.y * cols + q.x is q's index in a continuous row-major image; stops early when visit
// returns true, and returns whether it did. Away from the border the block needs no
// clipping and no multiplication per pixel, which matters in floods over whole images.
template <class Visit>
bool visit_3x3(glm::ivec2 p, int rows, int cols, Visit&& visit) {
  if (p.x > 0 && p.y > 0 && p.x + 1 < cols && p.y + 1 < rows) {
    const std::size_t c = std::size_t(cols);
    const std::size_t i = std::size_t(p.y) * c + std::size_t(p.x);
    for (int dy = -1; dy <= 1; ++dy) {
      const std::size_t r = dy < 0 ? i - c : dy > 0 ? i + c : i;
      if (visit(glm::ivec2(p.x - 1, p.y + dy), r - 1)) return true;
      if (visit(glm::ivec2(p.x, p.y + dy), r)) return true;
      if (visit(glm::ivec2(p.x + 1, p.y + dy), r + 1)) return true;
    }
    return false;
  }
  for (glm::ivec2 q : window_3x3(p, rows, cols))
    if (visit(q, std::size_t(q.y) * std::size_t(cols) + std::size_t(q.x))) return true;
  return false;
}

// Calls visit(q, i) for the pixels of neighbours_4(p, rows, cols) in the same order, i as
// for visit_3x3.
template <class Visit>
void visit_4(glm::ivec2 p, int rows, int cols, Visit&& visit) {
  const std::size_t c = std::size_t(cols);
  const std::size_t i = std::size_t(p.y) * c + std::size_t(p.x);
  if (p.x != 0) visit(glm::ivec2(p.x - 1, p.y), i - 1);
  if (p.y != 0) visit(glm::ivec2(p.x, p.y - 1), i - c);
  if (p.x + 1 != cols) visit(glm::ivec2(p.x + 1, p.y), i + 1);
  if (p.y + 1 != rows) visit(glm::ivec2(p.x, p.y + 1), i + c);
}

// Mean pixel of a non-empty range: int32 sums scaled by the double 1.0 / n, truncated
// toward zero (so {(0,0), (1,0), (1,1)} gives (0, 0)).
glm::ivec2 centroid(std::set<glm::ivec2>::const_iterator begin,
                    std::set<glm::ivec2>::const_iterator end);

// Ring flood: a breadth-first flood in rings held in two FIFO queues. `ring` is the
// starting ring (ring 0). For every pixel p taken from ring k - 1, in queue order,
// expand(p, k, next) is called; it appends to `next` the pixels it reaches, which form
// ring k. The flood ends after the first ring that reaches nothing new. A pixel keeps
// the first value it receives, so among equals the one reached first wins; `expand`
// enforces that. Returns the number of the last ring tried (one more than every ring
// number handed out).
template <class Expand>
int ring_flood(std::vector<glm::ivec2> ring, Expand&& expand) {
  std::vector<glm::ivec2> next;
  int k = 1;
  while (!ring.empty()) {
    for (std::size_t i = 0; i < ring.size(); ++i) expand(ring[i], k, next);
    if (next.empty()) break;
    ring.swap(next);
    next.clear();
    ++k;
  }
  return k;
}
